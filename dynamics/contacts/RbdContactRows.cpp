// The contact row builder: a one-sided normal row, up to two friction
// rows at the contact point and an optional spin friction row, with box or proportional friction, adhesion,
// softness, slip, slide and restitution.
#include <math.h>
#include "contacts/RbdContactRows.h"

// The row writers run for every row of every contact every step: inlined
// into the builder, the shared arms and settings stay in registers rather
// than going through a call per row.
#define CONTACT_ROW_INLINE inline __attribute__((always_inline))

namespace {

// The standard perpendicular of a unit normal, from its two largest components.
void standardTangent(const PxVector3 n, PxVector3 t)
{
    if (fabs(n[0]) > fabs(n[1])) {
        PxReal norm = sqrt(n[0] * n[0] + n[2] * n[2]);
        PxV3Set(t, n[2] / norm, 0.0, -n[0] / norm);
    } else {
        PxReal norm = sqrt(n[1] * n[1] + n[2] * n[2]);
        PxV3Set(t, 0.0, -n[2] / norm, n[1] / norm);
    }
}

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
    PxVector3 arm[2]; // p - com_i (m)
};

// The arms of the bodies that move (the others' stay unset).
template <bool moves0, bool moves1> CONTACT_ROW_INLINE ContactArms armsOf(const RbdBaseConstraint *c)
{
    ContactArms a;
    if (moves0) PxV3Sub(a.arm[0], c->data.contact.position, c->comTransform[0][3]);
    if (moves1) PxV3Sub(a.arm[1], c->data.contact.position, c->comTransform[1][3]);
    return a;
}

// The Jacobian of a row with direction u at the contact point, written
// straight into its tile (j: column 0 of the row): the row measures the
// velocity of body 0's material point at p relative to body 1's along u,
//   J v = u . (v0 + w0 x (p - com0)) - u . (v1 + w1 x (p - com1)),
// so the angular columns are (p - com0) x u and -((p - com1) x u). The
// columns of the world or a frozen body are zero. Which bodies move is a
// template argument: a contact's rows all take the same branch, and the
// builder picks it once per contact.
template <bool moves0, bool moves1>
CONTACT_ROW_INLINE void writeJacobian(PxReal *j, const ContactArms &a, const PxVector3 u)
{
    PxReal *linear0 = j + RBD_TILE_ROWS * RBD_J_LINEAR0, *angular0 = j + RBD_TILE_ROWS * RBD_J_ANGULAR0;
    PxReal *linear1 = j + RBD_TILE_ROWS * RBD_J_LINEAR1, *angular1 = j + RBD_TILE_ROWS * RBD_J_ANGULAR1;
    PxVector3 w0 = {0.0, 0.0, 0.0}, w1 = {0.0, 0.0, 0.0};
    if (moves0) PxV3Cross(w0, a.arm[0], u);
    if (moves1) PxV3Cross(w1, a.arm[1], u);
    for (int k = 0; k < 3; ++k) {
        linear0[RBD_TILE_ROWS * k] = moves0 ? u[k] : 0.0;
        angular0[RBD_TILE_ROWS * k] = w0[k];
        linear1[RBD_TILE_ROWS * k] = moves1 ? -u[k] : 0.0;
        angular1[RBD_TILE_ROWS * k] = moves1 ? -w1[k] : 0.0;
    }
}

// Column 0 of the row after the one at j: the next real of its tile, or
// the first of the next tile.
inline PxReal *nextJacobianRow(PxReal *j, int32_t row)
{
    return j + (static_cast<uint32_t>(row + 1) % RBD_TILE_ROWS != 0 ? 1 : RBD_TILE_SIZE - (RBD_TILE_ROWS - 1));
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
    values->bounce = values->c;
}

// The normal row: its Jacobian written, its other values returned.
template <bool moves0, bool moves1>
CONTACT_ROW_INLINE RbdBclRowValues writeNormalRow(RbdLcsConstraints *list, int32_t row, PxReal *j,
                                                  const RbdBaseConstraint *c, const ContactArms &arms)
{
    const RbdContactData *contact = &c->data.contact;
    const RbdContactParams *params = &contact->params;
    writeJacobian<moves0, moves1>(j, arms, contact->normal);
    RbdBclRowValues values;
    values.phi = -contact->penetration;
    values.correction = RBD_CORRECTION_PENETRATION;
    values.lo = params->options & RBD_CONTACT_ADHESION ? -params->maxAdhesiveForce : 0.0;
    if (params->options & RBD_CONTACT_SOFTNESS) values.rowEpsilon = params->softness;
    setBounce(&values, list, row, c);
    return values;
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
// impulse the solver uses to set the bounds to +-mu lambda_n. Its
// Jacobian is written, its other values returned.
template <bool moves0, bool moves1>
CONTACT_ROW_INLINE RbdBclRowValues writeFrictionRow(PxReal *j, int32_t normalRow, const RbdBaseConstraint *c,
                                                    const ContactArms &arms, const PxVector3 t,
                                                    const FrictionSettings &s)
{
    const int32_t options = c->data.contact.params.options;
    writeJacobian<moves0, moves1>(j, arms, t);
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
    return values;
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

// The normal row at first and a friction row after it per direction t.
template <bool moves0, bool moves1>
void writeContactRows(RbdLcsConstraints *list, int32_t first, const RbdBaseConstraint *c, const PxVector3 t[2],
                      int directions)
{
    const RbdContactParams *params = &c->data.contact.params;
    const ContactArms arms = armsOf<moves0, moves1>(c);
    PxReal *j = RbdBclJacobianRow(list->jacobian, first);
    RbdBclWriteRowValues(list, first, writeNormalRow<moves0, moves1>(list, first, j, c, arms));
    if (directions > 0) {
        j = nextJacobianRow(j, first);
        RbdBclWriteRowValues(list, first + 1,
                             writeFrictionRow<moves0, moves1>(j, first, c, arms, t[0], primarySettings(params)));
    }
    if (directions > 1) {
        j = nextJacobianRow(j, first + 1);
        RbdBclWriteRowValues(list, first + 2,
                             writeFrictionRow<moves0, moves1>(j, first, c, arms, t[1], secondarySettings(params)));
    }
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
        standardTangent(n, t1);
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
    if (!c->solverBody[1])
        writeContactRows<true, false>(list, first, c, t, directions);
    else if (!c->solverBody[0])
        writeContactRows<false, true>(list, first, c, t, directions);
    else
        writeContactRows<true, true>(list, first, c, t, directions);
    if (spin) writeSpinRow(list, first + 1 + directions, first, c);
    RbdBclEndConstraint(list, c, rowCount);
}
