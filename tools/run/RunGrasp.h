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
#include <vector>

#include <kelmar/grasp.h>
#include <kelmar/kelmar.h>

#include "RunOptions.h"

namespace krun {

// What a grasp came to, as the summary reports it.
struct GraspMeasures {
    int closedStep = -1;             // the step the hand closed at; -1: it did not
    double closedTime = 0;           // s
    std::vector<int> fingerContacts; // contacts of each finger with the target
    int tips = 0;                    // fingertips in contact with the target
    int columns = 0, rank = 0;       // of the grasp map of the hand's contacts
    bool held = false;               // only the hand touches the target, two tips or more
    double lift = 0;                 // cm the target rose since the start
    double slip = 0;                 // mm the target moved in the palm's frame since the hand closed
    std::vector<double> joints;      // the hand's joint vector (rad, cm for sliders)
};

// What the simulation says of a grasp at the end of a run.
struct GraspVerdict {
    bool closed = false; // the hand came to rest touching the target
    bool held = false;   // only the hand touches the target, with two fingertips or more
    int tips = 0;        // fingertips touching the target
    int fingers = 0;     // fingers of the hand
    double lift = 0;     // cm the target rose since the start
    double slip = 0;     // mm the target moved in the palm's frame since the hand closed
    std::string target;  // the target's own name (the last part of its scene name)
};

// "ball held: 3 of 3 fingertips in contact, lifted 5.0 cm, slip 0.3 mm".
std::string verdictLine(const GraspVerdict &verdict);

class GraspRun {
public:
    // Binds the hand and the target; an empty problem when it could.
    GraspRun(kelmar::Scene &scene, const Options &options, std::string &problem);
    ~GraspRun();
    // One controller step (before the universe's step) and its bookkeeping (after).
    void before();
    void after(int step, double time);
    GraspMeasures measure() const;
    GraspVerdict verdict() const; // measure() for the one-line verdict
    void printSummary(FILE *out) const;

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
