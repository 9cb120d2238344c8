// Joint limits: stops, motor and lock, the joint coordinate across steps,
// and the single-axis actuation row.
#include <math.h>
#include "world/RbdInternal.h"

namespace {

PxReal clampUnit(PxReal value)
{
    return value < 0.0 ? 0.0 : (value > 1.0 ? 1.0 : value);
}

void updateCalculatePosition(RbdLimit *limit)
{
    limit->calculatePosition = limit->active || limit->motorized || limit->locked;
}

bool checkStop(PxReal stop, const char *function)
{
    if (!isnan(stop)) return true;
    PxWarning(RBD_MESSAGE_LEVEL, "%s: the stop is not a number; ignored.\n", function);
    return false;
}

void copySingle(RbdSingleLimit *to, const RbdSingleLimit *from)
{
    to->stop = from->stop;
    to->stiffness = fabs(from->stiffness);
    to->damping = fabs(from->damping);
    to->restitution = clampUnit(from->restitution);
}

} // namespace

void RbdSingleLimitReset(RbdSingleLimit *single)
{
    if (!single) return;
    single->stop = 0.0;
    single->stiffness = RBD_REAL_MAX;
    single->damping = 0.0;
    single->restitution = 1.0;
}

void RbdSingleLimitSetStop(RbdSingleLimit *single, PxReal stop)
{
    if (single) single->stop = stop;
}
PxReal RbdSingleLimitGetStop(const RbdSingleLimit *single)
{
    return single ? single->stop : 0.0;
}
void RbdSingleLimitSetStiffness(RbdSingleLimit *single, PxReal stiffness)
{
    if (single) single->stiffness = fabs(stiffness);
}
PxReal RbdSingleLimitGetStiffness(const RbdSingleLimit *single)
{
    return single ? single->stiffness : 0.0;
}
void RbdSingleLimitSetDamping(RbdSingleLimit *single, PxReal damping)
{
    if (single) single->damping = fabs(damping);
}
PxReal RbdSingleLimitGetDamping(const RbdSingleLimit *single)
{
    return single ? single->damping : 0.0;
}
void RbdSingleLimitSetRestitution(RbdSingleLimit *single, PxReal restitution)
{
    if (single) single->restitution = clampUnit(restitution);
}
PxReal RbdSingleLimitGetRestitution(const RbdSingleLimit *single)
{
    return single ? single->restitution : 0.0;
}

void RbdLimitReset(RbdLimit *limit)
{
    if (!limit) return;
    limit->active = 0;
    limit->calculatePosition = 0;
    limit->offsetInitialised = 0;
    limit->bounceActive = 0;
    limit->overshoot = 0.0;
    limit->rawPosition = 0.0;
    limit->lockPosition = 0.0;
    limit->locked = 0;
    limit->previousPosition = 0.0;
    limit->positionOffset = 0.0;
    limit->velocity = 0.0;
    RbdSingleLimitReset(&limit->lower);
    RbdSingleLimitReset(&limit->upper);
    limit->lower.stop = -RBD_REAL_MAX;
    limit->upper.stop = RBD_REAL_MAX;
    limit->motorized = 0;
    limit->motorDesiredVelocity = 0.0;
    limit->motorMaxForce = 0.0;
    limit->motorEpsilon = limit->motorGamma = 0.0;
    limit->lockEpsilon = limit->lockGamma = 0.0;
}

// Stops are set one at a time, so one that crosses the other takes it
// along; that is said, since a caller who meant a range has it reversed.
void RbdLimitSetLowerLimit(RbdLimit *limit, const RbdSingleLimit *lower)
{
    if (!limit || !lower || !checkStop(lower->stop, "RbdLimitSetLowerLimit")) return;
    copySingle(&limit->lower, lower);
    if (limit->upper.stop >= limit->lower.stop) return;
    PxWarning(RBD_MESSAGE_LEVEL,
              "RbdLimitSetLowerLimit: the lower stop %g is above the upper stop %g, which moves to it.\n",
              limit->lower.stop, limit->upper.stop);
    limit->upper.stop = limit->lower.stop;
}

void RbdLimitSetUpperLimit(RbdLimit *limit, const RbdSingleLimit *upper)
{
    if (!limit || !upper || !checkStop(upper->stop, "RbdLimitSetUpperLimit")) return;
    copySingle(&limit->upper, upper);
    if (limit->lower.stop <= limit->upper.stop) return;
    PxWarning(RBD_MESSAGE_LEVEL,
              "RbdLimitSetUpperLimit: the upper stop %g is below the lower stop %g, which moves to it.\n",
              limit->upper.stop, limit->lower.stop);
    limit->lower.stop = limit->upper.stop;
}

int RbdLimitStopsCoincide(const RbdLimit *limit)
{
    return limit && limit->lower.stop == limit->upper.stop;
}

void RbdLimitGetLowerLimit(const RbdLimit *limit, RbdSingleLimit *out)
{
    if (limit && out) *out = limit->lower;
}

void RbdLimitGetUpperLimit(const RbdLimit *limit, RbdSingleLimit *out)
{
    if (limit && out) *out = limit->upper;
}

void RbdLimitActivateLimits(RbdLimit *limit, int on)
{
    if (!limit) return;
    limit->active = on ? 1 : 0;
    updateCalculatePosition(limit);
}

int RbdLimitIsActive(const RbdLimit *limit)
{
    return limit ? limit->active : 0;
}

void RbdLimitSetLimitedForceMotor(RbdLimit *limit, PxReal velocity, PxReal maxForce)
{
    if (!limit) return;
    if (!isfinite(velocity) || isnan(maxForce)) {
        PxWarning(RBD_MESSAGE_LEVEL, "RbdLimitSetLimitedForceMotor: velocity %g, force %g; ignored.\n", velocity,
                  maxForce);
        return;
    }
    limit->motorDesiredVelocity = velocity;
    limit->motorized = maxForce != 0.0;
    limit->locked = 0;
    limit->motorMaxForce = fabs(maxForce);
    updateCalculatePosition(limit);
}

void RbdLimitActivateMotor(RbdLimit *limit, int on)
{
    if (!limit) return;
    limit->motorized = on ? 1 : 0;
    if (on) limit->locked = 0;
    updateCalculatePosition(limit);
}

int RbdLimitIsMotorized(const RbdLimit *limit)
{
    return limit ? limit->motorized : 0;
}
PxReal RbdLimitGetMotorDesiredVelocity(const RbdLimit *limit)
{
    return limit ? limit->motorDesiredVelocity : 0.0;
}
PxReal RbdLimitGetMotorMaxForce(const RbdLimit *limit)
{
    return limit ? limit->motorMaxForce : 0.0;
}

void RbdLimitSetMotorSoftness(RbdLimit *limit, PxReal epsilon, PxReal gamma)
{
    if (!limit) return;
    limit->motorEpsilon = epsilon;
    limit->motorGamma = gamma;
}

void RbdLimitSetLock(RbdLimit *limit, PxReal position, PxReal maxForce)
{
    if (!limit) return;
    if (!isfinite(position) || isnan(maxForce)) {
        PxWarning(RBD_MESSAGE_LEVEL, "RbdLimitSetLock: position %g, force %g; ignored.\n", position, maxForce);
        return;
    }
    limit->motorDesiredVelocity = 0.0;
    limit->calculatePosition = 1;
    limit->lockPosition = position;
    limit->locked = maxForce != 0.0;
    limit->motorized = 0;
    limit->motorMaxForce = fabs(maxForce);
}

void RbdLimitActivateLock(RbdLimit *limit, int on)
{
    if (!limit) return;
    limit->locked = on ? 1 : 0;
    if (on) limit->motorized = 0;
    updateCalculatePosition(limit);
}

int RbdLimitIsLocked(const RbdLimit *limit)
{
    return limit ? limit->locked : 0;
}

void RbdLimitSetLockSoftness(RbdLimit *limit, PxReal epsilon, PxReal gamma)
{
    if (!limit) return;
    limit->lockEpsilon = epsilon;
    limit->lockGamma = gamma;
}

void RbdLimitSetPosition(RbdLimit *limit, PxReal p)
{
    if (limit) limit->positionOffset = p - limit->rawPosition;
}

PxReal RbdLimitGetPosition(const RbdLimit *limit)
{
    return limit ? limit->rawPosition + limit->positionOffset : 0.0;
}
PxReal RbdLimitGetVelocity(const RbdLimit *limit)
{
    return limit ? limit->velocity : 0.0;
}
PxReal RbdLimitGetOvershoot(const RbdLimit *limit)
{
    return limit ? limit->overshoot : 0.0;
}
int RbdLimitPositionIsCalculated(const RbdLimit *limit)
{
    return limit ? limit->calculatePosition : 0;
}

void RbdLimitCalculatePosition(RbdLimit *limit, int force)
{
    if (limit) limit->calculatePosition = force || limit->active || limit->motorized || limit->locked;
}

void RbdLimitController(RbdLimit *limit, PxReal desiredPosition, PxReal band, PxReal maxVelocity, PxReal maxForce)
{
    if (!limit) return;
    RbdLimitCalculatePosition(limit, 1);
    PxReal error = RbdLimitGetPosition(limit) - desiredPosition;
    PxReal velocity;
    if (error < -band)
        velocity = maxVelocity;
    else if (error > band)
        velocity = -maxVelocity;
    else
        velocity = band > 0.0 ? -maxVelocity * error / band : 0.0; // band 0: error is exactly 0 here
    RbdLimitSetLimitedForceMotor(limit, velocity, maxForce);
}

void RbdBclClearLimitState(RbdLimit *limit)
{
    limit->overshoot = 0.0;
    limit->bounceActive = 0;
}

void RbdBclCalculateLimitPositionAndOvershoot(RbdLimit *limit, int rotational)
{
    if (!limit->offsetInitialised) {
        // The first measurement reads as the offset set before it (0 by default).
        limit->positionOffset -= limit->rawPosition;
        limit->previousPosition = limit->rawPosition;
        limit->offsetInitialised = 1;
    }
    if (rotational) {
        // Move the angle by whole turns into (previous - pi, previous + pi].
        const PxReal twoPi = 2.0 * RBD_PI;
        PxReal change = limit->rawPosition - limit->previousPosition;
        change -= twoPi * ceil((change - RBD_PI) / twoPi);
        limit->rawPosition = limit->previousPosition + change;
    }
    limit->previousPosition = limit->rawPosition;
    limit->overshoot = 0.0;
    if (!limit->active) return;
    PxReal position = limit->rawPosition + limit->positionOffset;
    // Equal stops hold the coordinate at the stop from both sides, every step.
    if (RbdLimitStopsCoincide(limit))
        limit->overshoot = position - limit->lower.stop;
    else if (position < limit->lower.stop)
        limit->overshoot = position - limit->lower.stop;
    else if (position > limit->upper.stop)
        limit->overshoot = position - limit->upper.stop;
    else
        limit->bounceActive = 0;
}

namespace {

// The stop row: holds the violated stop, one-sided; equal stops hold the
// coordinate two-sided, without bounce, even when it is exactly at the
// stop. Returns whether the row is used.
bool setStopRow(RbdLcsConstraints *list, int32_t row, RbdLimit *limit, const RbdBclParameters *parameters)
{
    const bool lowerViolated = limit->overshoot < 0.0;
    const RbdSingleLimit *stop = lowerViolated ? &limit->lower : &limit->upper;
    const bool locked = limit->active && RbdLimitStopsCoincide(limit);
    if ((limit->overshoot == 0.0 && !locked) || !(stop->stiffness > 0.0)) return false;
    list->phi[row] = limit->overshoot;
    if (locked) {
        if (stop->stiffness < RBD_REAL_MAX) RbdBclSoftenRow(list, row, stop->stiffness, stop->damping, parameters);
        list->lo[row] = -RBD_REAL_MAX;
        list->hi[row] = RBD_REAL_MAX;
        return true;
    }
    if (stop->stiffness >= RBD_REAL_MAX) {
        // Hard stop: an outward (or resting) joint bounces back with the stop's restitution.
        const PxReal h = parameters->stepSize;
        PxReal bounce = -stop->restitution * limit->velocity;
        limit->bounceActive = fabs(bounce * h) > fabs(parameters->gamma * limit->overshoot);
        if (limit->velocity * limit->overshoot >= 0.0) {
            list->c[row] = bounce;
        }
    } else {
        RbdBclSoftenRow(list, row, stop->stiffness, stop->damping, parameters);
    }
    // The row force may only push the coordinate back inside.
    list->lo[row] = lowerViolated ? 0.0 : -RBD_REAL_MAX;
    list->hi[row] = lowerViolated ? RBD_REAL_MAX : 0.0;
    return true;
}

// A motor or lock takes over when no stop holds the row, or when the motor
// drives back inside the stops.
bool driveTakesOver(const RbdLimit *limit, bool stopUsed)
{
    if (!stopUsed) return true;
    if (RbdLimitStopsCoincide(limit)) return false; // nothing to drive between equal stops
    return limit->motorDesiredVelocity != 0.0 && limit->motorDesiredVelocity * limit->overshoot < 0.0;
}

void setDriveRow(RbdLcsConstraints *list, int32_t row, const RbdLimit *limit)
{
    list->lo[row] = -limit->motorMaxForce;
    list->hi[row] = limit->motorMaxForce;
    if (limit->motorized) {
        list->phi[row] = 0.0;
        list->c[row] = limit->motorDesiredVelocity;
        list->rowEpsilon[row] = limit->motorEpsilon;
        list->rowGamma[row] = limit->motorGamma;
    } else {
        list->phi[row] = limit->rawPosition - limit->lockPosition;
        list->c[row] = 0.0;
        list->rowEpsilon[row] = limit->lockEpsilon;
        list->rowGamma[row] = limit->lockGamma;
    }
}

} // namespace

int RbdBclSetSingleAxisActuation(RbdLcsConstraints *list, int32_t row, RbdLimit *limit,
                                 const PxReal jacobian[RBD_JACOBIAN_COLUMNS], const RbdBclParameters *parameters)
{
    const bool stopUsed = setStopRow(list, row, limit, parameters);
    const bool drive = limit->motorized || limit->locked;
    // An unused stop writes nothing: the row stays as it came, clear.
    if (!stopUsed && !drive) return 0;
    for (int32_t col = 0; col < RBD_JACOBIAN_COLUMNS; ++col) *RbdBclJacobianEntry(list, row, col) = jacobian[col];
    if (drive && driveTakesOver(limit, stopUsed)) setDriveRow(list, row, limit);
    list->correction[row] = RBD_CORRECTION_DRIVEN;
    return 1;
}
