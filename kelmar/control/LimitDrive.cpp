// Driving a limit: speed, locks, controller, the time-optimal approach and
// the inertia estimate it relies on.
#include <kelmar/Limit.h>

#include <algorithm>
#include <cmath>

#include <kelmar/Controller.h>
#include <kelmar/Joint.h>

namespace kelmar {

namespace {

// Below this a speed (or command) counts as zero.
const double kRest = 1e-7;

double Clamp(double x, double lo, double hi)
{
    return std::min(std::max(x, lo), hi);
}

// Full braking from speed c to the target's speed vt with force F on
// inertia I: a = +-F (the sign that brings c to vt), the braking time
// t = I (vt - c) / a and the distance it adds to moving at c,
// s = (dt t + t^2) a / (2 I). The dt t term is the semi-implicit step:
// each step moves by the speed at its end, so braking over k steps covers
// c t + a/(2I) (dt t + t^2) with t = k dt.
struct Braking {
    double a, t, s;
};

Braking Brake(double c, double vt, double force, double inertia, double dt)
{
    Braking b;
    b.a = vt - c > 0 ? force : -force;
    b.t = inertia * (vt - c) / b.a;
    b.s = (dt * b.t + b.t * b.t) * (b.a * 0.5 / inertia);
    return b;
}

} // namespace

void Limit::LockHere()
{
    RbdLimitSetLock(limit, RawOf(position), lockForce);
    RbdLimitActivateLimits(limit, 1);
}

void Limit::SetSpeed(double v)
{
    if (!LockCheck()) return;
    UpToDate();
    DriveAt(v);
}

void Limit::DriveAt(double v)
{
    const double dt = TimeStep();
    const double lower = limit->lower.stop, upper = limit->upper.stop;
    if (position < lower || position > upper) return;
    const double next = position + v * dt;
    if (next < lower || next > upper) {
        // The speed that ends this step on the stop, unless that turns back.
        const double onStop = ((next < lower ? lower : upper) - position) / dt;
        v = onStop * v < 0 ? 0.0 : onStop;
    }
    RbdLimitSetLimitedForceMotor(limit, v, maxForce);
    GetJoint()->EnableBodies();
    autoLocked = false;
}

bool Limit::AutoLock()
{
    UpToDate();
    const bool resting = std::fabs(speed) < kRest;
    if (resting && !RbdLimitIsLocked(limit)) LockHere();
    autoLocked = resting;
    return resting;
}

void Limit::SetLock(bool on)
{
    if (on) {
        UpToDate();
        LockHere();
    } else {
        RbdLimitActivateLock(limit, 0);
    }
    autoLocked = false;
}

void Limit::SetValueCtrl(double target, double speedFraction)
{
    const double f = Clamp(speedFraction, 0.0, 1.0);
    if (!TargetCheck(target) || !LockCheck()) return;
    target = RangeCheck(target, true);
    UpToDate();
    const double v = Clamp(controller->Control(position, target), -f * maxSpeed, f * maxSpeed);
    if (std::fabs(v) >= kRest) {
        DriveAt(v); // the range check, reading and controller leave the lock as it was
        return;
    }
    // A joint still moving clears its automatic lock, and a lock then
    // refuses the drive: SetSpeed checks again.
    if (!AutoLock()) SetSpeed(v);
}

void Limit::Command(double v)
{
    if (std::fabs(v) >= kRest || std::fabs(speed) >= kRest) {
        RbdLimitSetLimitedForceMotor(limit, v, maxForce);
        GetJoint()->EnableBodies();
        autoLocked = false;
    } else {
        AutoLock();
    }
}

// Each step: the speed that would reach the target in one step (v), unless
// the prediction says that taking it now (after at most one step of full
// force, vA) could no longer be braked to the target's own speed (vt) in
// time. Then the command is vt, or, when braking at once would stop short
// of the target while vA overshoots, the speed after which k steps of full
// braking end on the target. The motor's force bound does the accelerating.
void Limit::SetValueOpt(double target, double speedFraction)
{
    const double vmax = Clamp(speedFraction, 0.0, 1.0) * maxSpeed;
    if (!TargetCheck(target) || !LockCheck()) return;
    target = RangeCheck(target, true);
    UpToDate();
    const double dt = TimeStep(), u = speed, e = target - position;
    const double v = Clamp(e / dt, -vmax, vmax);
    UpdateInertia();
    const double vt = Clamp((target - previousTarget) / dt, -vmax, vmax);
    previousTarget = target;
    const double dvmax = maxForce / inertia * dt;
    double vA = v;
    if (std::fabs(v - u) > dvmax) vA = v <= u ? u - dvmax : u + dvmax;
    const Braking b0 = Brake(vA, vt, maxForce, inertia, dt), b1 = Brake(u, vt, maxForce, inertia, dt);
    const double p0 = position + (dt + b0.t) * vA + b0.s;
    const double p1 = position + b1.t * u + b1.s;
    double command = v;
    if (e * (target - p0) <= 0 && b0.t > dt) {
        command = vt;
        if ((target - p1) * (target - p0) < 0) {
            const double k = dt * std::ceil(b0.t / dt - 0.5);
            command = (e - (dt * k + k * k) * (b0.a * 0.5 / inertia)) / (dt + k);
        }
    }
    Command(Clamp(command, -vmax, vmax));
}

// F dt = I dv over the last step, read from the force the joint's drive
// row applied. Only a force well above noise (a tenth of maxForce) with a
// measurable change of speed gives an estimate.
void Limit::UpdateInertia()
{
    UpToDate();
    const double force = std::fabs(DriveForce());
    const double dv = previousSpeed - speed;
    if (force > 0.1 * maxForce && std::fabs(dv) >= 1e-6) inertia = std::fabs(force * TimeStep() / dv);
}

} // namespace kelmar
