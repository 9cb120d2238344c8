// The peer suite's scene S5, "hand holds ball", built with the robot layer
// (cm, kg, s): a fixed palm, three fingers of three capsule links on
// servoed hinges, a 0.134 kg ball on a support that goes at 0.5 s. Only
// ball pairs collide. The figures are those the peers print, in their
// units (m, mm, m/s).
#ifndef KELMAR_BENCH_HANDSCENE_H
#define KELMAR_BENCH_HANDSCENE_H

#include <string>

#include <kelmar/kelmar.h>

namespace khand {

const double kStep = 0.002; // s
const int kSteps = 2000;    // 4 s
const int kRefStep = 500;   // slip is measured from the end of this step (t = 1 s)

// How the hinges are servoed toward the closing target.
enum class Servo {
    kRate,   // speed = 50/s x (target - angle), at most 0.5 N m: the peers' velocity servo
    kOptimal // the robot's time-optimal approach (Robot::SetJoints), at most 0.5 N m
};

class HandScene {
public:
    explicit HandScene(Servo servo);
    ~HandScene();
    HandScene(const HandScene &) = delete;
    HandScene &operator=(const HandScene &) = delete;

    // Targets and the support for the step that starts at time t (not timed).
    void Control(double t);
    // One universe step (timed).
    void Step() { universe_.step(); }
    // After each step (not timed): remembers the ball at t = 1 s.
    void Observe(int stepsDone);
    // held=... slip_mm=... contacts=... vmax=... touch=.../9 pen_mm=... ball_z=...
    std::string Figures() const;
    kelmar::Universe &Universe() { return universe_; }

private:
    void BuildFinger(int f);
    int Touching(double *deepest) const;

    Servo servo_;
    kelmar::Universe universe_;
    kelmar::Scene scene_;
    kelmar::Solid *ball_ = nullptr, *support_ = nullptr, *palm_ = nullptr;
    kelmar::Solid *links_[9] = {};
    kelmar::Limit *limits_[9] = {};
    kelmar::Robot *hand_ = nullptr;
    double reference_[3] = {0, 0, 0};
    bool haveReference_ = false;
    bool supportGone_ = false;
};

} // namespace khand

#endif
