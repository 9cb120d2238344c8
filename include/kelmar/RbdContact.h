/* Dynamic contacts: one-sided constraints between two bodies (or a body and
 * the world) with friction, restitution, softness, adhesion, slip and slide
 * chosen by a contact-parameter record.
 *
 * A contact is a constraint of type RBD_TYPE_CONTACT: it is given its
 * bodies with RbdConstraintSetBodies (body 1 may be null, the world),
 * enabled with RbdConstraintEnable, and disabled and destroyed with
 * RbdConstraintDisable and RbdConstraintDestroy. Its geometry is updated
 * between steps with the setters below. */
#ifndef KELMAR_RBDCONTACT_H
#define KELMAR_RBDCONTACT_H

#include "PxMemory.h"
#include "RbdTypes.h"
#include "RbdContactParams.h"

PX_EXTERN_C_BEGIN

/* The null contact handle. */
#define RbdContactInvalidID ((RbdContactID)0)

/* A new contact (disabled, no bodies): position at the origin, normal
 * (0, 1, 0), penetration 0, direction (1, 0, 0), default parameters, no
 * next contact, user value 0. Null when the world's constraint pool is
 * exhausted. */
RbdContactID RbdContactCreate(RbdWorldID world);
/* The same from a caller's pool; the contact is counted in no world until
 * its bodies are set. */
RbdContactID RbdContactCreateInPool(PxPool *pool);
/* Disables the contact and restores every default of RbdContactCreate. */
void RbdContactReset(RbdContactID c);

/* Contact point in world coordinates (m). */
void RbdContactSetPosition(RbdContactID c, PxReal x, PxReal y, PxReal z);
void RbdContactGetPosition(RbdContactID c, PxVector3 out);
/* Unit normal in world coordinates, pointing from body 1 towards body 0;
 * a non-unit normal is normalised, a zero normal is refused. */
void RbdContactSetNormal(RbdContactID c, PxReal x, PxReal y, PxReal z);
void RbdContactGetNormal(RbdContactID c, PxVector3 out);
/* Overlap depth along the normal (m), positive when the bodies overlap. */
void RbdContactSetPenetration(RbdContactID c, PxReal penetration);
PxReal RbdContactGetPenetration(RbdContactID c);
/* Primary friction direction in world coordinates; sets the parameters'
 * RBD_CONTACT_DIRECTION bit. Only its part perpendicular to the normal counts. */
void RbdContactSetDirection(RbdContactID c, PxReal x, PxReal y, PxReal z);
void RbdContactGetDirection(RbdContactID c, PxVector3 out);
/* Copies a whole parameter record into the contact. */
void RbdContactSetParams(RbdContactID c, const RbdContactParams *params);
/* The contact's own parameter record, edited in place; null for a bad handle. */
RbdContactParams *RbdContactGetParams(RbdContactID c);
/* Link of a caller's chain of contacts (one model pair's contacts). */
void RbdContactSetNext(RbdContactID c, RbdContactID next);
RbdContactID RbdContactGetNext(RbdContactID c);
/* 1 when the last step solved the contact's island by sweeps (an island
 * above the large-island row count, or a landing heap swept in place of
 * the pivoting), which start from the forces its contacts carry; 0 when
 * pivoting solved it, or before its first step. */
int RbdContactIsSwept(RbdContactID c);
/* One real kept for the contact's user (the robot layer records the
 * friction coefficient in use); the dynamics never reads it. */
void RbdContactSetUserValue(RbdContactID c, PxReal value);
PxReal RbdContactGetUserValue(RbdContactID c);
/* The penetration at which collision last found the contact (m); a contact
   kept between collision tests measures how far its bodies moved from it. */
void RbdContactSetFoundPenetration(RbdContactID c, PxReal penetration);
PxReal RbdContactGetFoundPenetration(RbdContactID c);
/* Steps the contact's pair must keep its contacts before the large
 * islands' sweeps correct the contact's depth within its resting depth
 * (they still correct any depth beyond it); 0, the default, corrects it
 * from the first step. The bridge sets it when it finds a pair's corners
 * afresh and counts it down while it keeps them. Negative counts are 0.
 * When the count falls to 0 the contact's penetration is kept as the depth
 * it settled at: from then on the large islands' sweeps push it out only by
 * as far as it sank beyond that depth (a contact that never settled, or one
 * in a heap swept until the pivoting takes it back: all the way). */
void RbdContactSetSettling(RbdContactID c, int32_t steps);
int32_t RbdContactGetSettling(RbdContactID c);
/* Keeping a contact between collision tests, in two halves. When collision
 * finds the contact, RbdContactRecordFound records its frame in both
 * bodies (the position, the normal as primary axis and a side perpendicular
 * to it) and its penetration as found, as RbdConstraintSetFrame and
 * RbdContactSetFoundPenetration would. Later RbdContactGetCarried gives one
 * row of that frame as each body has carried it since, in world
 * coordinates: row 0 the normal, 1 the side, 2 their cross product, 3 the
 * position. A row outside 0-3 leaves both vectors zero. */
void RbdContactRecordFound(RbdContactID c);
void RbdContactGetCarried(RbdContactID c, int32_t row, PxVector3 byBody0, PxVector3 byBody1);
/* The same row as carried by one body (0 or 1) alone, for a caller that
 * reads only that one; another body leaves it zero. */
void RbdContactGetCarriedBy(RbdContactID c, int32_t row, int32_t body, PxVector3 out);
/* Nonzero when RbdContactGetCarried gives a and b the same rows 0 and 1 to
 * the bit without turning them: the same bodies' frames, and rows 0 and 1
 * recorded to the same bits in each body (as RbdContactRecordFound records
 * them for contacts found with the same normal). A null or non-contact
 * handle gives zero, with the accessors' warning. */
int RbdContactSharesCarriedAxes(RbdContactID a, RbdContactID b);
/* A hint for walks over many contacts: asks the cache for the lines of
 * the contact's record that matching it to a collision contact reads and
 * writes, without reading them. Changes nothing; null is ignored, and so
 * is any handle (it is not checked, nothing is read through it). */
void RbdContactPrefetch(RbdContactID c);
/* The same for the lines of the recorded frames RbdContactGetCarried reads. */
void RbdContactPrefetchCarried(RbdContactID c);

/* Contact parameters. Setters of values with an option bit set that bit;
 * a refused value (not finite, negative where it must not be, restitution
 * outside [0, 1]) is reported and leaves the record unchanged. A null
 * record is ignored; getters of a null record return 0. */

/* Frictionless, box friction, restitution 0 with threshold 0.001 m/s, no
 * softness or adhesion, unbounded friction forces, no slip or slide, zero
 * friction coefficients, no option bits. */
void RbdContactParamsReset(RbdContactParams *params);
int32_t RbdContactParamsGetOptions(const RbdContactParams *params);

/* 0 frictionless, 1 one friction direction, 2 two directions; others warn
 * and store 0. */
void RbdContactParamsSetType(RbdContactParams *params, int32_t type);
int32_t RbdContactParamsGetType(const RbdContactParams *params);
/* 0 box friction, 1 proportional to the normal force; others warn and store 0. */
void RbdContactParamsSetPrimaryFrictionModel(RbdContactParams *params, int32_t model);
int32_t RbdContactParamsGetPrimaryFrictionModel(const RbdContactParams *params);
void RbdContactParamsSetSecondaryFrictionModel(RbdContactParams *params, int32_t model);
int32_t RbdContactParamsGetSecondaryFrictionModel(const RbdContactParams *params);
void RbdContactParamsSetFrictionModel(RbdContactParams *params, int32_t model);
/* The common model of both directions, -1 when they differ. */
int32_t RbdContactParamsGetFrictionModel(const RbdContactParams *params);

/* Coefficient of restitution in [0, 1]. */
void RbdContactParamsSetRestitution(RbdContactParams *params, PxReal restitution);
PxReal RbdContactParamsGetRestitution(const RbdContactParams *params);
/* Approach speed (m/s, >= 0) at or below which nothing bounces; no option bit. */
void RbdContactParamsSetRestitutionThreshold(RbdContactParams *params, PxReal threshold);
PxReal RbdContactParamsGetRestitutionThreshold(const RbdContactParams *params);
/* Softness (>= 0) added to the normal row. */
void RbdContactParamsSetSoftness(RbdContactParams *params, PxReal softness);
PxReal RbdContactParamsGetSoftness(const RbdContactParams *params);
/* Largest pulling force (N, >= 0) the normal row may exert. */
void RbdContactParamsSetMaxAdhesiveForce(RbdContactParams *params, PxReal force);
PxReal RbdContactParamsGetMaxAdhesiveForce(const RbdContactParams *params);

/* Box-friction force bounds (N, >= 0). */
void RbdContactParamsSetPrimaryFriction(RbdContactParams *params, PxReal friction);
PxReal RbdContactParamsGetPrimaryFriction(const RbdContactParams *params);
void RbdContactParamsSetSecondaryFriction(RbdContactParams *params, PxReal friction);
PxReal RbdContactParamsGetSecondaryFriction(const RbdContactParams *params);
void RbdContactParamsSetFriction(RbdContactParams *params, PxReal friction);
/* The common bound of both directions, -1 when they differ. */
PxReal RbdContactParamsGetFriction(const RbdContactParams *params);

/* Slip: softness (>= 0) of a friction row. */
void RbdContactParamsSetPrimarySlip(RbdContactParams *params, PxReal slip);
PxReal RbdContactParamsGetPrimarySlip(const RbdContactParams *params);
void RbdContactParamsSetSecondarySlip(RbdContactParams *params, PxReal slip);
PxReal RbdContactParamsGetSecondarySlip(const RbdContactParams *params);
/* Slide: target sliding velocity (m/s) of body 0 relative to body 1 along a
 * friction direction. */
void RbdContactParamsSetPrimarySlide(RbdContactParams *params, PxReal slide);
PxReal RbdContactParamsGetPrimarySlide(const RbdContactParams *params);
void RbdContactParamsSetSecondarySlide(RbdContactParams *params, PxReal slide);
PxReal RbdContactParamsGetSecondarySlide(const RbdContactParams *params);

/* Coefficients (>= 0) of the proportional friction model. */
void RbdContactParamsSetPrimaryFrictionCoefficient(RbdContactParams *params, PxReal mu);
PxReal RbdContactParamsGetPrimaryFrictionCoefficient(const RbdContactParams *params);
void RbdContactParamsSetSecondaryFrictionCoefficient(RbdContactParams *params, PxReal mu);
PxReal RbdContactParamsGetSecondaryFrictionCoefficient(const RbdContactParams *params);
void RbdContactParamsSetFrictionCoefficient(RbdContactParams *params, PxReal mu);
/* The common coefficient of both directions, -1 when they differ. */
PxReal RbdContactParamsGetFrictionCoefficient(const RbdContactParams *params);
/* Switches friction between static and dynamic values in one call, as the
 * setters above would one at a time (with their checks and messages): when
 * sticking, the primary direction's force bound and coefficient go into the
 * secondary direction; when sliding, the secondary's into the primary. With
 * boxFromForce the bounds then become box limits from the normal force f
 * (N): box friction in both directions, each bound f times its direction's
 * coefficient. Returns the primary coefficient afterwards (0 for no params). */
PxReal RbdContactParamsSwitchFriction(RbdContactParams *params, int32_t sticking, int32_t boxFromForce,
                                      PxReal normalForce);

/* Spin (torsional) friction, a length in m: the torque about the normal
 * that resists the bodies turning against each other about it is bounded
 * by this length times the normal force (a fraction of the contact patch's
 * radius; about 0.4 of it for a patch pressed evenly). Off until set. */
void RbdContactParamsSetSpinFriction(RbdContactParams *params, PxReal length);
PxReal RbdContactParamsGetSpinFriction(const RbdContactParams *params);

PX_EXTERN_C_END

#endif
