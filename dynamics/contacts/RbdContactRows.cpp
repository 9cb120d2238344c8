// The contact row builder: a one-sided normal row, up to two friction
// rows at the contact point and an optional spin friction row, with box or proportional friction, adhesion,
// softness, slip, slide and restitution.
#include "contacts/RbdContactRows.h"

// The row writers run for every row of every contact every step: inlined
// into the builder, the shared arms and settings stay in registers rather
// than going through a call per row.
#define CONTACT_ROW_INLINE inline __attribute__((always_inline))

namespace {

enum { ONE_DIRECTION = 1, TWO_DIRECTIONS = 2 }; // contact types with friction
enum { PROPORTIONAL_FRICTION = 1 };             // friction model bounded by mu x normal force

// A vector derived from `direction` that keeps less than this fraction of
// its length has no reliable direction left.
const PxReal DEGENERATE_FRACTION = 1e-9;

// t = direction - (direction . n) n, normalised; false when nothing is left.
bool projectOntoPlane(const PxVector3 direction, const PxVector3 n, PxVector3 t)
{
    PxV3AddScaled(t, direction, n, -PxV3Dot(direction, n));
    return PxV3Normalize(t) > DEGENERATE_FRACTION * PxV3Length(direction);
}

// What the rows of one contact share: which bodies move, and the arm from
// each one's centre of mass to the contact point p.
struct ContactArms {
    bool moves[2];
    PxVector3 arm[2]; // p - com_i (m)
};

ContactArms armsOf(const RbdBaseConstraint *c)
{
    ContactArms a;
    for (int i = 0; i < 2; ++i) {
        a.moves[i] = c->solverBody[i] != nullptr;
        if (a.moves[i]) PxV3Sub(a.arm[i], c->data.contact.position, c->comTransform[i][3]);
    }
    return a;
}

// The Jacobian of a row with direction u at the contact point, written
// straight into its tile: the row measures the velocity of body 0's
// material point at p relative to body 1's along u,
//   J v = u . (v0 + w0 x (p - com0)) - u . (v1 + w1 x (p - com1)),
// so the angular columns are (p - com0) x u and -((p - com1) x u). The
// columns of the world or a frozen body are zero.
CONTACT_ROW_INLINE void writeJacobian(RbdLcsConstraints *list, int32_t row, const ContactArms &a, const PxVector3 u)
{
    PxReal *j = RbdBclJacobianRow(list->jacobian, row); // column k at j[RBD_TILE_ROWS k]
    for (int i = 0; i < 2; ++i) {
        PxReal *linear = j + RBD_TILE_ROWS * RBD_J_LINEAR1 * i;
        PxReal *angular = linear + RBD_TILE_ROWS * RBD_J_ANGULAR0;
        PxVector3 w = {0.0, 0.0, 0.0}, v = {0.0, 0.0, 0.0};
        if (a.moves[i]) {
            const PxReal sign = i == 0 ? 1.0 : -1.0;
            PxV3Cross(w, a.arm[i], u);
            PxV3Scale(w, w, sign);
            PxV3Scale(v, u, sign);
        }
        for (int k = 0; k < 3; ++k) {
            linear[RBD_TILE_ROWS * k] = v[k];
            angular[RBD_TILE_ROWS * k] = w[k];
        }
    }
}

// Restitution: an approach faster than the threshold leaves at restitution
// times the approach speed. vn is measured with the velocities before the step.
void setBounce(RbdBclRowValues *values, const RbdLcsConstraints *list, int32_t row, const RbdBaseConstraint *c)
{
    const RbdContactParams *params = &c->data.contact.params;
    if (!(params->options & RBD_CONTACT_RESTITUTION)) return;
    PxReal vn = RbdBclRowVelocity(list, row, c);
    if (vn >= -params->restitutionThreshold) return;
    values->c = -params->restitution * vn;
}

CONTACT_ROW_INLINE void writeNormalRow(RbdLcsConstraints *list, int32_t row, const RbdBaseConstraint *c,
                                       const ContactArms &arms)
{
    const RbdContactData *contact = &c->data.contact;
    const RbdContactParams *params = &contact->params;
    writeJacobian(list, row, arms, contact->normal);
    RbdBclRowValues values;
    values.phi = -contact->penetration;
    values.correction = RBD_CORRECTION_PENETRATION;
    values.lo = params->options & RBD_CONTACT_ADHESION ? -params->maxAdhesiveForce : 0.0;
    if (params->options & RBD_CONTACT_SOFTNESS) values.rowEpsilon = params->softness;
    setBounce(&values, list, row, c);
    RbdBclWriteRowValues(list, row, values);
}

struct FrictionSettings {
    int32_t model;
    PxReal friction;
    PxReal coefficient;
    int32_t slipBit;
    PxReal slip;
    int32_t slideBit;
    PxReal slide;
};

FrictionSettings primarySettings(const RbdContactParams *p)
{
    return {p->primaryFrictionModel,  p->primaryFriction, p->primaryFrictionCoefficient,
            RBD_CONTACT_PRIMARY_SLIP, p->primarySlip,     RBD_CONTACT_PRIMARY_SLIDE,
            p->primarySlide};
}

FrictionSettings secondarySettings(const RbdContactParams *p)
{
    return {p->secondaryFrictionModel,  p->secondaryFriction, p->secondaryFrictionCoefficient,
            RBD_CONTACT_SECONDARY_SLIP, p->secondarySlip,     RBD_CONTACT_SECONDARY_SLIDE,
            p->secondarySlide};
}

// A friction row along t. Box friction bounds the force by +-friction; the
// proportional model starts at [0, 0] and names its normal row, whose
// impulse the solver uses to set the bounds to +-mu lambda_n.
CONTACT_ROW_INLINE void writeFrictionRow(RbdLcsConstraints *list, int32_t row, int32_t normalRow,
                                         const RbdBaseConstraint *c, const ContactArms &arms, const PxVector3 t,
                                         const FrictionSettings &s)
{
    const int32_t options = c->data.contact.params.options;
    writeJacobian(list, row, arms, t);
    RbdBclRowValues values;
    if (s.model == PROPORTIONAL_FRICTION) {
        values.lo = values.hi = 0.0;
        values.frictionIndex = normalRow;
        values.mu = s.coefficient;
    } else {
        values.lo = -s.friction;
        values.hi = s.friction;
    }
    if (options & s.slipBit) values.rowEpsilon = s.slip;
    if (options & s.slideBit) values.c = s.slide;
    RbdBclWriteRowValues(list, row, values);
}

// Spin friction: the bodies' relative angular velocity about the normal,
//   J v = n . w0 - n . w1,
// with its torque bounded by +-length x the normal row's force, in the same
// proportional model as the friction rows.
void writeSpinRow(RbdLcsConstraints *list, int32_t row, int32_t normalRow, const RbdBaseConstraint *c)
{
    PxReal *j = RbdBclJacobianRow(list->jacobian, row);
    for (int32_t col = 0; col < RBD_JACOBIAN_COLUMNS; ++col) j[RBD_TILE_ROWS * col] = 0.0;
    for (int i = 0; i < 2; ++i) {
        if (!c->solverBody[i]) continue;
        PxVector3 angular;
        PxV3Scale(angular, c->data.contact.normal, i == 0 ? 1.0 : -1.0);
        RbdBclSetJacobian3(list, row, i == 0 ? RBD_J_ANGULAR0 : RBD_J_ANGULAR1, angular);
    }
    RbdBclRowValues values;
    values.lo = values.hi = 0.0;
    values.frictionIndex = normalRow;
    values.mu = c->data.contact.params.spinFriction;
    RbdBclWriteRowValues(list, row, values);
}

} // namespace

int RbdContactFrictionDirections(const RbdContactData *contact, PxVector3 t1, PxVector3 t2)
{
    const PxReal *n = contact->normal;
    switch (contact->params.type) {
    case ONE_DIRECTION:
        if (!projectOntoPlane(contact->direction, n, t1)) PxV3Set(t1, 1.0, 0.0, 0.0);
        return 1;
    case TWO_DIRECTIONS:
        // With a direction: t2 = direction x n and t1 = n x t2, the direction
        // projected onto the contact plane. A direction along the normal
        // leaves no plane component, and the standard tangent is used.
        if (contact->params.options & RBD_CONTACT_DIRECTION) {
            PxV3Cross(t2, contact->direction, n);
            if (PxV3Normalize(t2) > DEGENERATE_FRACTION * PxV3Length(contact->direction)) {
                PxV3Cross(t1, n, t2);
                return 2;
            }
        }
        RbdStandardPerpendicular(n, t1);
        PxV3Cross(t2, n, t1);
        return 2;
    default: return 0;
    }
}

void RbdBclAddContact(RbdLcsConstraints *list, RbdBaseConstraint *c, const RbdBclParameters *parameters)
{
    (void)parameters;
    if (!c->solverBody[0] && !c->solverBody[1]) {
        RbdBclEndConstraint(list, c, 0);
        return;
    }
    PxVector3 t[2];
    int directions = RbdContactFrictionDirections(&c->data.contact, t[0], t[1]);
    const RbdContactParams *params = &c->data.contact.params;
    const bool spin = (params->options & RBD_CONTACT_SPIN_FRICTION) != 0;
    int32_t rowCount = 1 + directions + (spin ? 1 : 0);
    // Every field of each row is written: the rows need no clearing first.
    int32_t first = RbdBclTakeRows(list, rowCount);
    if (first < 0) {
        RbdBclEndConstraint(list, c, 0);
        return;
    }
    const ContactArms arms = armsOf(c);
    writeNormalRow(list, first, c, arms);
    if (directions > 0) writeFrictionRow(list, first + 1, first, c, arms, t[0], primarySettings(params));
    if (directions > 1) writeFrictionRow(list, first + 2, first, c, arms, t[1], secondarySettings(params));
    if (spin) writeSpinRow(list, first + 1 + directions, first, c);
    RbdBclEndConstraint(list, c, rowCount);
}

// A contact whose body fell asleep holding the other's load rests at the
// depth it had then, uncorrected while that body sleeps: awake, the heap
// answers the correction's push by yielding a little, which an immovable
// sleeper cannot, so that a body between two sleepers would be squeezed
// ever harder against both (the exact solver's softness bounding the
// squeeze only near 1e5 N for a 4 kg ball). Only the approach is stopped,
// as against any immovable body.
void RbdContactRestOnSleeper(RbdLcsConstraints *list, const RbdBaseConstraint *c, int32_t row)
{
    if (c->typeId != RBD_TYPE_CONTACT || !(list->phi[row] < 0.0)) return;
    for (const RbdBody *body : c->body)
        if (body && body->enabledTime < 0 && RbdContactKeptSleepForce(c)) list->phi[row] = 0.0;
}
