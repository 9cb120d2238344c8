// The common constraint record behind an RbdConstraintID and the data of
// each constraint type, kept in one union so that every record taken from
// the world's constraint pool can hold any type (contacts included).
#ifndef KELMAR_DYNAMICS_RBDCONSTRAINTRECORD_H
#define KELMAR_DYNAMICS_RBDCONSTRAINTRECORD_H

#include <stddef.h>
#include <kelmar/PxMemory.h>
#include <kelmar/RbdTypes.h>
#include <kelmar/RbdLimit.h>
#include <kelmar/RbdContactParams.h>
#include "solver/RbdLcsTypes.h"

struct RbdWorld;
struct RbdBody;
struct RbdConstraintNode;
struct RbdLcsConstraints;
struct RbdBclParameters;
struct RbdBaseConstraint;

enum {
    RBD_CONSTRAINT_MAX_ROWS = 6,    // most rows any type adds
    RBD_CONSTRAINT_LAMBDA_COUNT = 7 // per-row results kept (one spare for the end marker)
};
// Written after the last row result copied into a constraint.
#define RBD_LAMBDA_END_MARKER 4294967295.0

// Adds the constraint's rows to the list and ends it with RbdBclEndConstraint.
typedef void (*RbdRowBuilder)(RbdLcsConstraints *list, RbdBaseConstraint *constraint,
                              const RbdBclParameters *parameters);
typedef void (*RbdSetBodiesFunction)(RbdBaseConstraint *constraint, RbdBody *body0, RbdBody *body1);
typedef void (*RbdSetAxisFunction)(RbdBaseConstraint *constraint, PxReal x, PxReal y, PxReal z);

// Hinge and prismatic joint: one limit on the free coordinate.
struct RbdLimitedJointData {
    RbdLimit limit;
    int32_t actuationRow; // row index of last step's actuation row, -1 for none
};

struct RbdSpringData {
    RbdLimit limit; // on the length (m)
    int32_t actuationRow;
    PxReal naturalLength; // m
    PxReal stiffness;     // N/m
    PxReal damping;       // N s/m
    PxReal length;        // length measured by the last row build (m)
};

struct RbdCarWheelData {
    PxReal suspensionKp;          // N/m
    PxReal suspensionKd;          // N s/m
    PxReal steeringMotorVelocity; // rad/s
    PxReal steeringMotorMaxForce; // N m
    PxReal hingeMotorVelocity;    // rad/s
    PxReal hingeMotorMaxForce;    // N m
    int32_t steeringLock;
    PxReal suspensionHighLimit; // m
    PxReal suspensionLowLimit;  // m
    PxReal suspensionReference; // m
    PxReal suspensionLimitSoftness;
    PxReal steeringAngle;    // desired steering angle while locked (rad)
    PxReal steeringMaxForce; // N m
    PxReal axisDot;          // steering axis . hinge axis when the axes were set
};

struct RbdFixedPathData {
    PxVector3 velocity[2]; // path velocity of each attachment point (m/s, body frame)
};

struct RbdRPROJointData {
    PxQuaternion attachmentQuaternion[2]; // attachment orientation relative to each body's frame
    int32_t attachmentQuaternionSet[2];
    PxQuaternion relativeQuaternion;   // target orientation of attachment 1 in attachment 0
    PxVector3 relativeLinearVelocity;  // target velocity of point 1 relative to point 0 (m/s, attachment 0 frame)
    PxVector3 relativeAngularVelocity; // target of w1 - w0 (rad/s, attachment 0 frame)
    PxVector3 linearStrength;          // force bound of each linear row (N)
    PxVector3 angularStrength;         // torque bound of each angular row (N m)
};

struct RbdUniversalData {
    PxReal axisDot; // a0 . s1 held by the angular row
};

struct RbdAngular3Data {
    int32_t rotationEnabled; // 1: rotation about the axis is free
    PxReal stiffness;
    PxReal damping;
};

struct RbdConeLimitData {
    PxReal halfAngle; // rad
    PxReal cosHalfAngle;
    PxReal stiffness;
    PxReal damping;
};

struct RbdContactData {
    PxVector3 position;  // world
    PxVector3 normal;    // world, from body 1 towards body 0
    PxReal penetration;  // m, positive when overlapping
    PxVector3 direction; // world, primary friction direction
    RbdContactParams params;
    RbdBaseConstraint *next;  // chain of one model pair's contacts
    int32_t idleSteps;        // solves in a row whose start found it pushing nothing
    int32_t frictionSides;    // box friction rows the last pivoting solve held, two bits a row
    PxReal foundPenetration;  // m, when collision last found it; kept contacts measure their motion from it
    int32_t settling;         // steps before the sweeps correct it within its resting depth (RbdContactSetSettling)
    float settledPenetration; // m, its depth when it settled: the sweeps hold it there, not shallower
};

// The fields a step reads or writes of every contact come first, in its
// first eight cache lines (the world's pool starts every record on a line,
// RbdWorld.cpp): a pile holds thousands of contacts and walks them several
// times a step, in orders that walk memory at random, so each line a walk
// reads for one field is a line fetched from memory. Lines 0-1 hold what
// the warm start and the constraint forces read, line 2 what the unpacking
// writes, lines 0 and 3-7 what the row building reads (the union last).
// The first word is the one a returned record's pool link overwrites: a
// destroyed record keeps its type (-1) past it. Joints' own fields and
// what a step does not read follow the union.
struct RbdBaseConstraint {
    RbdRowBuilder rowBuilder;
    int32_t typeId;                             // RbdConstraintType, -1 once destroyed
    int32_t rowAdditions;                       // 1 once a caller set rowEpsilon or rowGamma
    RbdLcsBody *solverBody[2];                  // null for the world or a frozen body
    PxVector3 force[2];                         // constraint force on each body, last step (N)
    PxVector3 torque[2];                        // constraint torque on each body, last step (N m)
    PxReal lambda[RBD_CONSTRAINT_LAMBDA_COUNT]; // row forces of the last step
    int32_t swept;                              // 1 when the last step solved its island by sweeps
    int32_t enabled;                            // linked in the enabled list
    RbdBody *body[2];                           // body[1] null: the world
    const PxReal (*comTransform[2])[4];         // the bodies' centre-of-mass frames, null for the world
    PxReal phi[RBD_CONSTRAINT_LAMBDA_COUNT];    // row errors of the last build
    union {
        RbdLimitedJointData hinge;
        RbdLimitedJointData prismatic;
        RbdSpringData spring;
        RbdCarWheelData carWheel;
        RbdFixedPathData fixedPath;
        RbdRPROJointData rpro;
        RbdUniversalData universal;
        RbdAngular3Data angular3;
        RbdConeLimitData coneLimit;
        RbdContactData contact;
    } data;
    // Per body: rows 0-2 primary, secondary, third axis, row 3 position, in
    // the body's centre-of-mass frame (world frame for a null body). A
    // step reads them for joints' rows and for kept contacts.
    PxMatrix4 attachment[2];
    // A step reads these only when rowAdditions is set.
    PxReal rowEpsilon[RBD_CONSTRAINT_MAX_ROWS]; // per-row softness additions
    PxReal rowGamma[RBD_CONSTRAINT_MAX_ROWS];   // per-row stabilisation additions
    // Not read by a step's walks.
    PxReal contactUserValue; // a contact's, written and read by its user only, 0 after a reset
    // Under auto-disable: a contact's force on body 0 (N) when one of its
    // bodies fell asleep while the other stayed awake, zero when none is
    // kept (RbdContactHoldsAsBefore). Read only where an awake body meets a
    // sleeper, so it stays out of the lines every step walks.
    float contactSleepForce[3];
    RbdWorld *world;
    RbdBaseConstraint *next; // enabled-constraint list of the world
    RbdBaseConstraint *prev;
    int32_t counted; // counted in the world's totalConstraints
    int32_t maxRows;
    void *userData;
    RbdConstraintNode *node[2]; // this constraint's entries in the bodies' lists
    int32_t limitableDofCount;
    int32_t constrainedDofCount;
    RbdSetBodiesFunction setBodies;
    RbdSetAxisFunction setAxis;
};
// A contact's step fields end within the record's first eight lines: its
// user value stays outside them, read by no step.
static_assert(offsetof(RbdBaseConstraint, data) + sizeof(RbdContactData) <= 8 * 64,
              "a contact's step fields fit eight cache lines");

// Whether the contact kept the force it carried when one of its bodies fell
// asleep while the other stayed awake (under auto-disable).
inline bool RbdContactKeptSleepForce(const RbdBaseConstraint *c)
{
    const float *kept = c->contactSleepForce;
    return kept[0] != 0.0f || kept[1] != 0.0f || kept[2] != 0.0f;
}

// The functions every constraint type shares.
void BaseConstraintReset(RbdBaseConstraint *constraint);
void BaseConstraintSetBodies(RbdBaseConstraint *constraint, RbdBody *body0, RbdBody *body1);
void BaseConstraintSetAxis(RbdBaseConstraint *constraint, PxReal x, PxReal y, PxReal z);

// What distinguishes one constraint type from another.
struct RbdConstraintTypeInfo {
    int32_t typeId;
    int32_t maxRows;
    int32_t limitableDofCount;
    int32_t constrainedDofCount;
    RbdRowBuilder rowBuilder;
    RbdSetBodiesFunction setBodies;         // null: BaseConstraintSetBodies
    RbdSetAxisFunction setAxis;             // null: BaseConstraintSetAxis
    void (*resetData)(RbdBaseConstraint *); // defaults of the type's own data
};
// A new constraint of a type, from the world's pool (counted in the world)
// or, when pool is given, from a caller's pool (not counted). Null, with a
// warning naming creator, when no record can be had.
RbdBaseConstraint *RbdConstraintCreateOfType(RbdWorld *world, PxPool *pool, const RbdConstraintTypeInfo *type,
                                             const char *creator);
// Rbd<Type>Reset: disables the constraint, resets the type's data, then the common data.
void RbdConstraintResetOfType(RbdBaseConstraint *constraint, const RbdConstraintTypeInfo *type, const char *function);
// Refreshes the solver-body and frame references from the bodies.
void RbdConstraintRefreshBodyReferences(RbdBaseConstraint *constraint);
// Attachment frame i in world coordinates, and back.
void RbdConstraintAttachmentToWorld(const RbdBaseConstraint *constraint, int i, PxMatrix4 world);
void RbdConstraintAttachmentFromWorld(RbdBaseConstraint *constraint, int i, const PxMatrix4 world);
// Axis normalisation of attachment frames: a vector whose squared length is
// within 1e-7 of 1 is kept, a zero vector becomes (1, 0, 0), others are
// normalised.
void RbdNormalizeAxis(PxVector3 axis);
// An orthonormal frame from a primary axis (normalised as above) and a
// wanted secondary axis made perpendicular to it (null, or parallel to the
// primary: the standard perpendicular of the primary); third = primary x secondary.
void RbdMakeFrame(const PxVector3 primary, const PxVector3 secondary, PxMatrix4 frame);

#endif
