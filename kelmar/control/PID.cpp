// The discrete PID controller.
#include <kelmar/PID.h>

namespace kelmar {

void PID::SetParams(const double *params)
{
    kp_ = params[0];
    ki_ = params[1];
    kd_ = params[2];
}

void PID::GetParams(double *params) const
{
    params[0] = kp_;
    params[1] = ki_;
    params[2] = kd_;
}

void PID::Reset()
{
    d_ = integral_ = e0_ = e1_ = e2_ = 0.0;
}

void PID::Update(double e)
{
    d_ = e + e0_ - e1_ - e2_;
    integral_ += e;
    e2_ = e1_;
    e1_ = e0_;
    e0_ = e;
}

double PID::Control(double current, double target)
{
    const double e = target - current;
    Update(e);
    return kp_ * e + ki_ * integral_ + kd_ * d_;
}

} // namespace kelmar
