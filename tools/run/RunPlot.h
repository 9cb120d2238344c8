// kelmar-run's joint plot: the positions of the joints that moved, over
// time, as an SVG picture (one line and one legend entry a joint).
#ifndef KELMAR_TOOLS_RUNPLOT_H
#define KELMAR_TOOLS_RUNPLOT_H

#include <cstdio>
#include <string>
#include <vector>

#include "RunJoints.h"

namespace krun {

class JointPlot {
public:
    // Room for rows samples is taken now, so that sampling allocates nothing.
    JointPlot(const std::vector<MeasuredJoint> &joints, size_t rows);
    void sample(double time); // s
    // Phase boundaries (s) drawn as labelled vertical lines.
    void mark(double time, const std::string &label);
    void write(FILE *out) const;

private:
    struct Range {
        double low, high;
    };
    Range timeRange() const;
    Range valueRange(const std::vector<size_t> &shown) const;
    std::vector<size_t> moved() const; // joints whose position changed by more than 1 mrad

    std::vector<MeasuredJoint> joints_;
    std::vector<double> times_;
    std::vector<double> values_; // row-major: one row of joints_.size() a sample
    std::vector<std::pair<double, std::string>> marks_;
};

} // namespace krun

#endif
