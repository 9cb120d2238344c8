// Limits: construction, stops, controller, the lock and range checks and
// the readings of position and speed.
#include <kelmar/Limit.h>

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstdarg>
#include <cstdio>

#include <kelmar/Joint.h>
#include <kelmar/LinearController.h>
#include <kelmar/RbdConstraint.h>
#include <kelmar/RbdWorld.h>
#include <kelmar/Scene.h>
#include <kelmar/Universe.h>

namespace kelmar {

Limit::Limit(Joint *joint, RbdLimit *rbdLimit)
    : limit(rbdLimit ? rbdLimit : &spare_), controller(new LinearController(0.8)), joint_(joint)
{
    Reset();
}

Limit::~Limit()
{
    delete controller;
}

// The coordinate is measured from the pose in which the joint was made
// (both attachment frames together), not from wherever the joint happens
// to be at its first step: so a joint set kinematically before any step
// still reads the value it was set to.
void Limit::Reset()
{
    RbdLimitReset(limit);
    RbdSingleLimit stop;
    RbdSingleLimitReset(&stop);
    RbdSingleLimitSetDamping(&stop, 0.1);
    RbdSingleLimitSetRestitution(&stop, 0.5);
    RbdSingleLimitSetStop(&stop, -DBL_MAX);
    RbdLimitSetLowerLimit(limit, &stop);
    RbdSingleLimitSetStop(&stop, DBL_MAX);
    RbdLimitSetUpperLimit(limit, &stop);
    RbdLimitActivateLimits(limit, 1);
    RbdLimitCalculatePosition(limit, 1);
    limit->offsetInitialised = 1;
}

void Limit::SetLimits(double a, double b)
{
    RbdSingleLimit stop;
    RbdLimitGetLowerLimit(limit, &stop);
    RbdSingleLimitSetStop(&stop, std::min(a, b));
    RbdLimitSetLowerLimit(limit, &stop);
    RbdLimitGetUpperLimit(limit, &stop);
    RbdSingleLimitSetStop(&stop, std::max(a, b));
    RbdLimitSetUpperLimit(limit, &stop);
}

void Limit::GetLimits(double &lower, double &upper) const
{
    lower = limit->lower.stop;
    upper = limit->upper.stop;
}

void Limit::GetLimits(float &lower, float &upper) const
{
    lower = static_cast<float>(limit->lower.stop);
    upper = static_cast<float>(limit->upper.stop);
}

void Limit::SetLimitParams(double loStiffness, double loDamping, double loRestitution, double upStiffness,
                           double upDamping, double upRestitution)
{
    RbdSingleLimitSetStiffness(&limit->lower, loStiffness);
    RbdSingleLimitSetDamping(&limit->lower, loDamping);
    RbdSingleLimitSetRestitution(&limit->lower, loRestitution);
    RbdSingleLimitSetStiffness(&limit->upper, upStiffness);
    RbdSingleLimitSetDamping(&limit->upper, upDamping);
    RbdSingleLimitSetRestitution(&limit->upper, upRestitution);
}

void Limit::GetLimitParams(double &loStiffness, double &loDamping, double &loRestitution, double &upStiffness,
                           double &upDamping, double &upRestitution) const
{
    loStiffness = limit->lower.stiffness;
    loDamping = limit->lower.damping;
    loRestitution = limit->lower.restitution;
    upStiffness = limit->upper.stiffness;
    upDamping = limit->upper.damping;
    upRestitution = limit->upper.restitution;
}

void Limit::GetLimitParams(float &loStiffness, float &loDamping, float &loRestitution, float &upStiffness,
                           float &upDamping, float &upRestitution) const
{
    double p[6];
    GetLimitParams(p[0], p[1], p[2], p[3], p[4], p[5]);
    float *out[6] = {&loStiffness, &loDamping, &loRestitution, &upStiffness, &upDamping, &upRestitution};
    for (int i = 0; i < 6; ++i) *out[i] = static_cast<float>(p[i]);
}

void Limit::SetController(Controller *c)
{
    if (c == controller) return;
    delete controller;
    controller = c ? c : new LinearController(1.0);
}

bool Limit::SetControllerType(const char *type)
{
    Controller *c = CreateController(type);
    if (c) SetController(c);
    return c != nullptr;
}

const char *Limit::GetControllerType() const
{
    return controller->TypeName();
}

// ---- Checks ----

const char *Limit::JointName() const
{
    const char *name = joint_ ? joint_->GetName() : nullptr;
    return name ? name : "";
}

// A refused command is told through the joint's scene, as its other
// messages are (a front end that keeps its output clean gets it there);
// a joint without a scene writes to standard error. Each message starts
// with the joint's name.
void Limit::Tell(const char *format, ...) const
{
    char text[256];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    const Scene *scene = joint_ ? joint_->scene : nullptr;
    if (scene)
        scene->Warning(0, "%s: %s", JointName(), text);
    else
        std::fprintf(stderr, "%s: %s", JointName(), text);
}

bool Limit::LockCheck()
{
    if (RbdLimitIsLocked(limit) && !autoLocked) {
        if (warnLock) Tell("cannot move locked joint!\n");
        warnLock = false;
        return false;
    }
    warnLock = true;
    return true;
}

// The range message needs a target clearly past a stop, and it is re-armed
// only by a target within the stops. Controllers hand back a joint's own
// reading as a target, and a joint pressed against a stop reads a few
// milliradians past it (the hand's fingers resting on their lower stops
// read -0.002): every grasp trial of a sweep printed "value -0.00 out of
// range [ 0.00, ...]" for each such finger. A target that wanders about a
// stop by less than the margin is clamped silently and neither prints nor
// re-arms, so it cannot repeat the message either.
double Limit::RangeCheck(double value, bool warn)
{
    const double lower = limit->lower.stop, upper = limit->upper.stop;
    if (value >= lower && value <= upper) {
        warnRange = true;
        return value;
    }
    const bool clearlyOut = value < lower - kRangeMargin || value > upper + kRangeMargin;
    if (clearlyOut && warnRange && warn) {
        Tell("value %5.2f out of range [%5.2f, %5.2f]\n", value, lower, upper);
        warnRange = false;
    }
    return std::min(std::max(value, lower), upper);
}

// A target that is not a number or infinite cannot be driven to: the
// command is refused and the joint keeps its last target.
bool Limit::TargetCheck(double target)
{
    if (std::isfinite(target)) {
        warnTarget = true;
        return true;
    }
    if (warnTarget) {
        Tell("target %g is not finite; ignored\n", target);
    }
    warnTarget = false;
    return false;
}

double Limit::FitIntoLimits(double value, bool warn)
{
    return RangeCheck(value, warn);
}

bool Limit::Moveable()
{
    return LockCheck();
}

// ---- Readings ----

void Limit::StoreReading(double newPosition, double newSpeed)
{
    previousSpeed = speed;
    speed = newSpeed;
    position = newPosition;
    valid |= 1;
}

void Limit::UpToDate()
{
    if (!(valid & 1)) ComputePositionAndSpeed();
}

double Limit::GetPosition()
{
    UpToDate();
    return position;
}

double Limit::GetSpeed()
{
    UpToDate();
    return speed;
}

void Limit::SetMeasuredPosition(double p)
{
    limit->rawPosition = limit->previousPosition = RawOf(p);
    valid = 0;
}

double Limit::TimeStep() const
{
    const Universe *universe = joint_ ? joint_->GetUniverse() : nullptr;
    if (universe) return universe->timeStep;
    RbdConstraintID c = joint_ ? joint_->GetConstraint() : nullptr;
    return c ? RbdWorldGetTimeStep(RbdConstraintGetWorld(c)) : 0.01;
}

double Limit::RawOf(double p) const
{
    return p - limit->positionOffset;
}

} // namespace kelmar
