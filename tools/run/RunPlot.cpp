// The SVG joint plot: time to the right, position up, both axes labelled
// with their ranges; a palette of eight colours, repeated with dashes.
#include "RunPlot.h"

#include <algorithm>

namespace krun {

namespace {

const double kWidth = 720, kHeight = 400;                       // px, the whole picture
const double kLeft = 60, kRight = 200, kTop = 20, kBottom = 40; // px, margins (legend on the right)
const char *const kColours[] = {"#1f77b4", "#d62728", "#2ca02c", "#ff7f0e",
                                "#9467bd", "#8c564b", "#e377c2", "#17becf"};

double mapped(double v, double low, double high, double from, double to)
{
    return high > low ? from + (v - low) / (high - low) * (to - from) : (from + to) / 2;
}

} // namespace

JointPlot::JointPlot(const std::vector<MeasuredJoint> &joints, size_t rows) : joints_(joints)
{
    times_.reserve(rows);
    values_.reserve(rows * joints.size());
}

void JointPlot::sample(double time)
{
    times_.push_back(time);
    for (const MeasuredJoint &joint : joints_) values_.push_back(positionOf(joint));
}

void JointPlot::mark(double time, const std::string &label)
{
    marks_.emplace_back(time, label);
}

JointPlot::Range JointPlot::timeRange() const
{
    if (times_.empty()) return {0, 1};
    return {times_.front(), std::max(times_.back(), times_.front() + 1e-9)};
}

JointPlot::Range JointPlot::valueRange(const std::vector<size_t> &shown) const
{
    Range r = {0, 0};
    for (size_t row = 0; row < times_.size(); ++row)
        for (size_t j : shown) {
            r.low = std::min(r.low, values_[row * joints_.size() + j]);
            r.high = std::max(r.high, values_[row * joints_.size() + j]);
        }
    return r.high > r.low ? r : Range{-1, 1};
}

std::vector<size_t> JointPlot::moved() const
{
    std::vector<size_t> shown;
    for (size_t j = 0; j < joints_.size(); ++j) {
        double low = 0, high = 0;
        for (size_t row = 0; row < times_.size(); ++row) {
            const double v = values_[row * joints_.size() + j] - values_[j];
            low = std::min(low, v);
            high = std::max(high, v);
        }
        if (high - low > 1e-3) shown.push_back(j);
    }
    return shown;
}

void JointPlot::write(FILE *out) const
{
    const std::vector<size_t> shown = moved();
    const Range t = timeRange(), v = valueRange(shown);
    const double x0 = kLeft, x1 = kWidth - kRight, y0 = kHeight - kBottom, y1 = kTop;
    fprintf(out,
            "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"%g\" height=\"%g\" font-family=\"sans-serif\" "
            "font-size=\"12\">\n<rect width=\"100%%\" height=\"100%%\" fill=\"white\"/>\n",
            kWidth, kHeight);
    fprintf(out, "<rect x=\"%g\" y=\"%g\" width=\"%g\" height=\"%g\" fill=\"none\" stroke=\"#888\"/>\n", x0, y1,
            x1 - x0, y0 - y1);
    const double zero = mapped(0, v.low, v.high, y0, y1);
    fprintf(out, "<line x1=\"%g\" y1=\"%.1f\" x2=\"%g\" y2=\"%.1f\" stroke=\"#ccc\"/>\n", x0, zero, x1, zero);
    fprintf(out, "<text x=\"%g\" y=\"%g\" text-anchor=\"end\">%.2f</text>\n", x0 - 4, y1 + 10, v.high);
    fprintf(out, "<text x=\"%g\" y=\"%g\" text-anchor=\"end\">%.2f</text>\n", x0 - 4, y0, v.low);
    fprintf(out, "<text x=\"%g\" y=\"%g\">%.2f s</text>\n", x0, y0 + 16, t.low);
    fprintf(out, "<text x=\"%g\" y=\"%g\" text-anchor=\"end\">%.2f s</text>\n", x1, y0 + 16, t.high);
    fprintf(out, "<text x=\"%g\" y=\"%g\" text-anchor=\"middle\">joint positions (rad or cm) over time</text>\n",
            (x0 + x1) / 2, y0 + 30);
    for (const auto &m : marks_) {
        const double x = mapped(m.first, t.low, t.high, x0, x1);
        fprintf(out, "<line x1=\"%.1f\" y1=\"%g\" x2=\"%.1f\" y2=\"%g\" stroke=\"#bbb\" stroke-dasharray=\"2,3\"/>\n",
                x, y1, x, y0);
        fprintf(out, "<text x=\"%.1f\" y=\"%g\" fill=\"#666\">%s</text>\n", x + 3, y1 + 12, m.second.c_str());
    }
    for (size_t k = 0; k < shown.size(); ++k) {
        const char *colour = kColours[k % 8];
        const char *dash = k < 8 ? "" : " stroke-dasharray=\"6,3\"";
        fprintf(out, "<polyline fill=\"none\" stroke=\"%s\"%s stroke-width=\"1.5\" points=\"", colour, dash);
        for (size_t row = 0; row < times_.size(); ++row)
            fprintf(out, "%s%.1f,%.1f", row ? " " : "", mapped(times_[row], t.low, t.high, x0, x1),
                    mapped(values_[row * joints_.size() + shown[k]], v.low, v.high, y0, y1));
        const double ly = y1 + 16 * static_cast<double>(k) + 8;
        fprintf(out, "\"/>\n<line x1=\"%g\" y1=\"%g\" x2=\"%g\" y2=\"%g\" stroke=\"%s\"%s stroke-width=\"2\"/>\n",
                x1 + 10, ly, x1 + 30, ly, colour, dash);
        fprintf(out, "<text x=\"%g\" y=\"%g\">%s</text>\n", x1 + 36, ly + 4, joints_[shown[k]].name.c_str());
    }
    fputs("</svg>\n", out);
}

} // namespace krun
