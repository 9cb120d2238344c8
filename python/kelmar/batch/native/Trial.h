// One grasp trial run headless in a universe of its own: a scene file
// loaded with variables, a grasp controller stepped with it, and the
// grasp's measures at the end. Nothing is kept between trials, so the same
// trial gives the same numbers in any process.
#ifndef KELMAR_BATCH_TRIAL_H
#define KELMAR_BATCH_TRIAL_H

#include <string>
#include <utility>
#include <vector>

#include "RunGrasp.h"

namespace kbatch {

struct TrialSettings {
    std::string scene; // path of the scene file; "./" imports are read beside it
    std::vector<std::pair<std::string, std::string>> variables; // VAR name, value
    std::string grasp = "ballwrap";                             // ballwrap, orb, contact, contact0 or som
    std::string robot;                                          // the hand (empty: the first robot that branches)
    std::string target;                                         // the object (empty: a solid named ...ball)
    double radius = 4.7;     // cm: what the ball wraps keep around the target's centre
    double threshold = 0.05; // rad: how near its aim the ball wrap leaves a link for the next
    std::string somFile;     // the SOM grasp's map
    int steps = 0;
};

struct TrialResult {
    std::string error; // the loader's or binder's messages; empty when the trial ran
    krun::GraspMeasures grasp;
    double simulated = 0; // s of simulated time
    double wall = 0;      // s of wall clock spent loading and stepping
};

TrialResult RunTrial(const TrialSettings &trial);

} // namespace kbatch

#endif
