// Discrete PID control of a joint, one call per step. With e the error of
// this call and e0, e1, e2 those of the three calls before it:
//   integral += e,  d = e + e0 - e1 - e2,
//   speed = Kp e + Ki integral + Kd d.
// d is a smoothed difference over four steps (it weighs the two newest
// errors against the two before them), so a single noisy reading does not
// kick the command. Gains are per step, not per second: the integral is a
// plain sum of errors.
#ifndef KELMAR_PID_H
#define KELMAR_PID_H

#include <kelmar/Controller.h>

namespace kelmar {

class PID : public Controller {
public:
    PID(double kp = 1.0, double ki = 0.0, double kd = 0.0) : kp_(kp), ki_(ki), kd_(kd) {}

    using Controller::GetParams;
    using Controller::SetParams;
    int NumParams() const override { return 3; }
    void SetParams(const double *params) override;
    void GetParams(double *params) const override;
    double Control(double current, double target) override;
    const char *TypeName() const override { return "PID"; }

    // Forgets the integral and the past errors.
    void Reset();
    // Takes error e into the state as Control would, without a command.
    void Update(double e);

private:
    double kp_, ki_, kd_;
    double d_ = 0, integral_ = 0, e0_ = 0, e1_ = 0, e2_ = 0;
};

} // namespace kelmar

#endif
