// Proportional control: speed = gain x (target - current), gain in 1/s.
#ifndef KELMAR_LINEARCONTROLLER_H
#define KELMAR_LINEARCONTROLLER_H

#include <kelmar/Controller.h>

namespace kelmar {

class LinearController : public Controller {
public:
    explicit LinearController(double gain = 1.0) : gain_(gain) {}

    using Controller::GetParams;
    using Controller::SetParams;
    int NumParams() const override { return 1; }
    void SetParams(const double *params) override { gain_ = params[0]; }
    void GetParams(double *params) const override { params[0] = gain_; }
    double Control(double current, double target) override { return (target - current) * gain_; }
    const char *TypeName() const override { return "LINEAR"; }

private:
    double gain_; // 1/s
};

} // namespace kelmar

#endif
