// kelmar-run's grasp: one of the grasp controllers run on a hand every
// step, and what the summary reports of it: when the hand closed, the
// contacts of each finger with the target, the rank of the grasp map,
// whether the target is held, how far it was lifted and how far it
// slipped in the palm since the hand closed.
#ifndef KELMAR_TOOLS_RUNGRASP_H
#define KELMAR_TOOLS_RUNGRASP_H

#include <cstdio>
#include <memory>
#include <string>

#include <kelmar/grasp.h>
#include <kelmar/kelmar.h>

#include "RunOptions.h"

namespace krun {

class GraspRun {
public:
    // Binds the hand and the target; an empty problem when it could.
    GraspRun(kelmar::Scene &scene, const Options &options, std::string &problem);
    ~GraspRun();
    // One controller step (before the universe's step) and its bookkeeping (after).
    void before();
    void after(int step, double time);
    void printSummary(FILE *out);

private:
    bool Closed();
    int FingerContacts(int finger, bool *tip) const;
    void PalmFrame(double point[3]) const;

    std::string kind_;
    kelmar::Robot *hand_ = nullptr, *palm_ = nullptr;
    kelmar::Solid *target_ = nullptr;
    kelmar::GraspBallWrap ballWrap_;
    kelmar::GraspBallWrap2_Orb orb_;
    kelmar::GraspContactBased contact_;
    kelmar::GraspContactBased0 contact0_;
    kelmar::GraspShadowSOMGrasp som_;
    bool explored_ = false;
    int closedStep_ = -1, quietSteps_ = 0;
    double closedTime_ = 0, startZ_ = 0, closedIn_[3] = {0, 0, 0};
    std::unique_ptr<double[]> last_;
};

} // namespace krun

#endif
