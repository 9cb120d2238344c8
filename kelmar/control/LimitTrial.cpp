// SetValueOptTrial: the approach to a target planned in whole steps.
//
// Relative to the target, which moves at vt, let w be the relative speed
// taken this step and dv = (maxForce / inertia) dt the change of speed one
// step of full force gives. Taking w now and then braking k whole steps
// (speeds w - dv, w - 2 dv, ..., each held one step) covers
//   D(w, k) = dt (w (k + 1) - dv k (k + 1) / 2),
// and k = floor(w / dv) is the number of whole braking steps w allows.
// The plan starts from the continuous answer of w dt + w^2 / (2 A) = |e|
// (A = maxForce / inertia), the root of a quadratic, then solves
// D(w, k) = |e| for w with k held, floors k for the new w, and repeats,
// at most five times, until k no longer changes. The command is
// vt + sign(e) w within +-f maxSpeed. Unlike SetValueOpt it never waits a
// step at the target's speed: each step recomputes the whole plan.
#include <kelmar/Limit.h>

#include <algorithm>
#include <cmath>

namespace kelmar {

namespace {

double PlannedSpeed(double distance, double dv, double dt)
{
    if (!(dv > 0.0)) return distance / dt; // no force to plan with: one step
    const double a = dv / dt;
    double w = a * (std::sqrt(dt * dt + 2.0 * distance / a) - dt);
    double k = std::floor(w / dv);
    for (int retry = 0; retry < 5; ++retry) {
        w = (distance + dt * dv * k * (k + 1.0) * 0.5) / (dt * (k + 1.0));
        const double next = std::floor(w / dv);
        if (next == k) break;
        k = next;
    }
    return w;
}

} // namespace

void Limit::SetValueOptTrial(double target, double speedFraction)
{
    const double vmax = std::min(std::max(speedFraction, 0.0), 1.0) * maxSpeed;
    if (!TargetCheck(target) || !LockCheck()) return;
    target = RangeCheck(target, true);
    UpToDate();
    const double dt = TimeStep(), e = target - position;
    UpdateInertia();
    const double vt = std::min(std::max((target - previousTarget) / dt, -vmax), vmax);
    previousTarget = target;
    const double w = PlannedSpeed(std::fabs(e), maxForce / inertia * dt, dt);
    Command(std::min(std::max(vt + (e < 0 ? -w : w), -vmax), vmax));
}

} // namespace kelmar
