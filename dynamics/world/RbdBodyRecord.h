// The body record behind an RbdBodyID.
#ifndef KELMAR_DYNAMICS_RBDBODYRECORD_H
#define KELMAR_DYNAMICS_RBDBODYRECORD_H

#include <kelmar/RbdTypes.h>
#include "solver/RbdLcsTypes.h"

struct RbdWorld;
struct RbdBaseConstraint;

enum { RBD_BODY_TAG = 100, RBD_DESTROYED_TAG = -1 };

// One entry of a body's constraint list; each enabled constraint owns one
// node per non-null body, taken from the world's node pool.
struct RbdConstraintNode {
    RbdConstraintNode *next;
    RbdConstraintNode *prev;
    RbdBaseConstraint *constraint;
    // The constraint's other body (null: the world), kept here so that a
    // walk over the list need not read the constraint's record to find it;
    // the bodies of an enabled constraint do not change.
    RbdBody *other;
};

// A body's accelerations and their squared magnitudes averaged over the
// world's auto-disable averaging window (an exponential average), for the
// sleep test: the first average against the second tells a steady
// acceleration from jitter.
struct RbdBodyMotionAverage {
    PxVector3 linearAcceleration;      // m/s^2
    PxVector3 angularAcceleration;     // rad/s^2
    PxReal linearAccelerationSquared;  // (m/s^2)^2
    PxReal angularAccelerationSquared; // (rad/s^2)^2
};

// The fields are ordered by how often a step reads them. A pile's step
// visits each body several times (islands, packing, rows, collision, the
// bridge, integration, unpacking), in orders that walk memory at random,
// and most visits read a handful of fields: each cache line those fields
// spread over is a line fetched from memory once the pile outgrows the
// cache. The first line holds what the island walk, the row building and
// the bridge read; the pose the collision models read follows; then the
// solver record, whose own first lines hold what the short walks read
// (RbdLcsTypes.h). Fields a step never reads come last. The world's pool
// starts every record on a line (RbdWorld.cpp).
struct RbdBody {
    int32_t typeTag;                    // RBD_BODY_TAG while alive, -1 once destroyed
    int32_t frozen;                     // immovable for its constraints, in no island
    int32_t enabledTime;                // -1 disabled, else steps since enabled
    int32_t partitionIndex;             // island of the current step, -1 outside
    int32_t partitionBodyIndex;         // index in its island's body list (or pressed list), -1 outside
    int32_t partitionMark;              // scratch mark of the partitioner, -1 by default
    int32_t impulsePending;             // linearImpulse or angularImpulse awaits the next step
    int32_t useComOffset;               // comRelativeTransform differs from identity
    RbdConstraintNode *constraints;     // enabled constraints attached to this body
    RbdBody *nextEnabled;               // enabled list, most recently enabled first
    RbdBaseConstraint *wheelConstraint; // the car wheel whose wheel this body is, or null
    RbdWorld *world;                    // null for a body made in a caller's pool
    PxMatrix4 transform;                // reference frame in world coordinates
    RbdLcsBody lcs;                     // solver record: mass, inertia, velocities, comTransform
    PxReal safeTime;                    // longest step allowed in safe-time mode (s)
    PxReal linearVelocityDamping;       // force per velocity (N s/m)
    PxReal angularVelocityDamping;      // torque per angular velocity (N m s)
    RbdBodyMotionAverage average;       // of the steps since enabled, for the sleep test
    PxMatrix4 comRelativeInverse;       // inverse of comRelativeTransform
    // Read only when impulsePending is set.
    PxVector3 linearImpulse;  // accumulated, applied over the next step (N s)
    PxVector3 angularImpulse; // N m s
    // Not read by a step's walks (a body the guard restores reads
    // comRelativeTransform once).
    PxMatrix4 comRelativeTransform; // centre-of-mass frame relative to the reference frame
    int32_t solverRecordSize;       // sizeof(RbdLcsBody)
    RbdBody *next;                  // body list, newest first
    RbdBody *prev;
    RbdBody *prevEnabled;
    void *userData;
    void *model; // the collision model following the body, or null
    char *name;  // owned copy for messages, or null
    // Asleep under auto-disable: the impulses gentle touches pressed on it
    // since it fell asleep (N s), met as immovable (RbdContactTouchesGently),
    // counted by the step once its islands are walked (RbdKeepPresses).
    PxReal pressedImpulse;
};

// Centre-of-mass position, row 3 of the centre-of-mass frame.
inline const PxReal *RbdBodyComPosition(const RbdBody *body)
{
    return body->lcs.comTransform[3];
}

// Rebuilds the centre-of-mass frame (and quaternion and, unless the body is
// frozen, world inertia) from transform.
void RbdBodyUpdateComFromTransform(RbdBody *body);
// Rebuilds transform from the centre-of-mass frame, as after a solver step.
void RbdBodyUpdateTransformFromCom(RbdBody *body);
// World inertia tensors from the body-frame ones and the current rotation.
void RbdBodyUpdateWorldInertia(RbdBody *body);
// The per-body preparation before a partition solve: constraint flag,
// enabledTime + 1, damping, gravity (m/s^2) and pending impulses over step h (s).
void RbdBodyPrepareForStep(RbdBody *body, PxReal h, const PxVector3 gravity);

#endif
