/* Joint limits: two stops, a motor and a lock on the free coordinate of a
 * hinge (angle, rad), prismatic joint (displacement, m) or spring (length, m).
 * A joint's row builder measures the coordinate every step and asks the limit
 * whether it needs an actuation row. */
#ifndef KELMAR_RBDLIMIT_H
#define KELMAR_RBDLIMIT_H

#include "RbdTypes.h"

PX_EXTERN_C_BEGIN

/* One stop. stiffness RBD_REAL_MAX means a hard stop; 0 switches the stop off. */
typedef struct RbdSingleLimit {
    PxReal stop;        /* coordinate of the stop */
    PxReal stiffness;   /* force per unit of overshoot, >= 0 */
    PxReal damping;     /* force per unit of coordinate velocity, >= 0 */
    PxReal restitution; /* bounce factor of a hard stop, 0..1 */
} RbdSingleLimit;

typedef struct RbdLimit {
    int32_t active;            /* stops are on */
    int32_t calculatePosition; /* the coordinate is measured each step */
    int32_t offsetInitialised; /* the first measurement has been taken */
    int32_t bounceActive;      /* a hard stop's bounce dominates its error correction */
    PxReal overshoot;          /* position - violated stop, 0 inside the stops */
    PxReal rawPosition;        /* measured coordinate, unwrapped for rotations */
    PxReal lockPosition;       /* raw coordinate a lock holds */
    int32_t locked;
    PxReal previousPosition; /* rawPosition of the previous measurement */
    PxReal positionOffset;   /* reported position = rawPosition + positionOffset */
    PxReal velocity;         /* d(position)/dt measured with the coordinate */
    RbdSingleLimit lower;
    RbdSingleLimit upper;
    int32_t motorized;
    PxReal motorDesiredVelocity;
    PxReal motorMaxForce; /* bound of the motor or lock row, >= 0 */
    PxReal motorEpsilon;  /* softness addition of the motor row */
    PxReal motorGamma;    /* stabilisation addition of the motor row */
    PxReal lockEpsilon;   /* softness addition of the lock row */
    PxReal lockGamma;     /* stabilisation addition of the lock row */
} RbdLimit;

/* Single stops. The setters store |stiffness|, |damping| and clamp restitution to [0, 1]. */
void RbdSingleLimitReset(RbdSingleLimit *single);
void RbdSingleLimitSetStop(RbdSingleLimit *single, PxReal stop);
PxReal RbdSingleLimitGetStop(const RbdSingleLimit *single);
void RbdSingleLimitSetStiffness(RbdSingleLimit *single, PxReal stiffness);
PxReal RbdSingleLimitGetStiffness(const RbdSingleLimit *single);
void RbdSingleLimitSetDamping(RbdSingleLimit *single, PxReal damping);
PxReal RbdSingleLimitGetDamping(const RbdSingleLimit *single);
void RbdSingleLimitSetRestitution(RbdSingleLimit *single, PxReal restitution);
PxReal RbdSingleLimitGetRestitution(const RbdSingleLimit *single);

void RbdLimitReset(RbdLimit *limit);
/* Copy a stop in (a stop that is not a number is refused); crossing stops
 * are pulled together, with a warning. */
void RbdLimitSetLowerLimit(RbdLimit *limit, const RbdSingleLimit *lower);
void RbdLimitSetUpperLimit(RbdLimit *limit, const RbdSingleLimit *upper);
/* Equal stops: an active limit then holds the joint at the stop from both
 * sides, like a lock without force bound, and no motor moves it. */
int RbdLimitStopsCoincide(const RbdLimit *limit);
void RbdLimitGetLowerLimit(const RbdLimit *limit, RbdSingleLimit *out);
void RbdLimitGetUpperLimit(const RbdLimit *limit, RbdSingleLimit *out);
void RbdLimitActivateLimits(RbdLimit *limit, int on);
int RbdLimitIsActive(const RbdLimit *limit);

/* Motor: drives the coordinate at velocity (units/s) with at most |maxForce|;
 * maxForce 0 switches it off. Clears a lock. */
void RbdLimitSetLimitedForceMotor(RbdLimit *limit, PxReal velocity, PxReal maxForce);
void RbdLimitActivateMotor(RbdLimit *limit, int on);
int RbdLimitIsMotorized(const RbdLimit *limit);
PxReal RbdLimitGetMotorDesiredVelocity(const RbdLimit *limit);
PxReal RbdLimitGetMotorMaxForce(const RbdLimit *limit);
void RbdLimitSetMotorSoftness(RbdLimit *limit, PxReal epsilon, PxReal gamma);

/* Lock: holds the raw coordinate at position with at most |maxForce|;
 * maxForce 0 leaves it inactive. Clears the motor. */
void RbdLimitSetLock(RbdLimit *limit, PxReal position, PxReal maxForce);
void RbdLimitActivateLock(RbdLimit *limit, int on);
int RbdLimitIsLocked(const RbdLimit *limit);
void RbdLimitSetLockSoftness(RbdLimit *limit, PxReal epsilon, PxReal gamma);

/* Coordinate. RbdLimitSetPosition makes the current coordinate read p. */
void RbdLimitSetPosition(RbdLimit *limit, PxReal p);
PxReal RbdLimitGetPosition(const RbdLimit *limit);
PxReal RbdLimitGetVelocity(const RbdLimit *limit);
PxReal RbdLimitGetOvershoot(const RbdLimit *limit);
int RbdLimitPositionIsCalculated(const RbdLimit *limit);
void RbdLimitCalculatePosition(RbdLimit *limit, int force);

/* Saturated proportional position servo on the motor: velocity
 * -maxVelocity * (position - desiredPosition) / band, clipped to +-maxVelocity. */
void RbdLimitController(RbdLimit *limit, PxReal desiredPosition, PxReal band, PxReal maxVelocity, PxReal maxForce);

PX_EXTERN_C_END

#endif
