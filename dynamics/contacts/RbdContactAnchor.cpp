// Velocity-level friction has no memory: whatever tangential slip a step's
// solve lets through stays as displacement. The pivoting solve holds
// friction exactly, but the sweeps of a large island stop short, and the
// little slip each step leaves adds up until resting boxes walk off their
// supports. So a contact that sticks remembers where it started sticking,
// as a point in each body. While it keeps sticking, the tangential
// separation of the two points is its friction rows' error, corrected like
// a penetration, and the creep is pulled back instead of adding up. A
// contact that slides, or whose anchor has drifted farther than one step's
// fastest correction, starts afresh where it is.
#include <math.h>
#include "contacts/RbdContactAnchor.h"

namespace {

// Friction below this fraction of its bound sticks; at the bound it slides.
// Not 1: the sweeps end within float round-off of a bound they reached.
const PxReal kStickFraction = 0.99;

enum { PROPORTIONAL_FRICTION = 1 }; // friction model bounded by mu x normal force

// The bound (N) of friction direction d (0 primary, 1 secondary) under a
// normal force (N).
PxReal frictionBound(const RbdContactParams *p, int d, PxReal normal)
{
    const int32_t model = d == 0 ? p->primaryFrictionModel : p->secondaryFrictionModel;
    if (model == PROPORTIONAL_FRICTION)
        return (d == 0 ? p->primaryFrictionCoefficient : p->secondaryFrictionCoefficient) * normal;
    return d == 0 ? p->primaryFriction : p->secondaryFriction;
}

// Slip (soft friction) and slide (a driven surface) ask for tangential
// motion: such a contact is never held in place.
bool movesOnPurpose(const RbdContactParams *p)
{
    const int32_t moving = RBD_CONTACT_PRIMARY_SLIP | RBD_CONTACT_SECONDARY_SLIP | RBD_CONTACT_PRIMARY_SLIDE |
                           RBD_CONTACT_SECONDARY_SLIDE;
    return (p->options & moving) != 0;
}

// Whether last step's forces (c->lambda: normal, then friction) pressed the
// contact and kept every friction force inside its bound.
bool stuck(const RbdBaseConstraint *c, int directions)
{
    const PxReal normal = c->lambda[0];
    if (!(normal > 0.0)) return false;
    for (int d = 0; d < directions; ++d)
        if (!(fabs(c->lambda[1 + d]) < kStickFraction * frictionBound(&c->data.contact.params, d, normal)))
            return false;
    return true;
}

// Farthest (m) the anchor may be from the contact point, and its two points
// from each other: what one step's fastest correction can close.
PxReal reach(const RbdBaseConstraint *c, PxReal h)
{
    const PxReal most = c->world ? c->world->parameters.maxCorrectingVelocity : RBD_DEFAULT_MAX_CORRECTING_VELOCITY;
    return most * h;
}

// Anchor i in world coordinates.
void anchorPoint(const RbdBaseConstraint *c, int i, PxVector3 out)
{
    if (c->comTransform[i])
        PxV3MulTM(out, c->data.contact.anchor[i], c->comTransform[i]);
    else
        PxV3Copy(out, c->data.contact.anchor[i]);
}

// Anchors the contact at its present point.
void anchorHere(RbdBaseConstraint *c)
{
    RbdContactData *contact = &c->data.contact;
    for (int i = 0; i < 2; ++i) {
        if (c->comTransform[i])
            PxV3MulTMInverse(contact->anchor[i], contact->position, c->comTransform[i]);
        else
            PxV3Copy(contact->anchor[i], contact->position);
    }
    contact->anchored = 1;
}

bool within(const PxVector3 a, const PxVector3 b, PxReal distance)
{
    PxVector3 gap;
    PxV3Sub(gap, a, b);
    return PxV3LengthSquared(gap) <= distance * distance;
}

} // namespace

void RbdContactAnchorFriction(RbdLcsConstraints *list, int32_t first, RbdBaseConstraint *c, const PxVector3 *t,
                              int directions, PxReal h)
{
    RbdContactData *contact = &c->data.contact;
    if (directions <= 0 || movesOnPurpose(&contact->params) || !stuck(c, directions)) {
        contact->anchored = 0;
        return;
    }
    PxVector3 a[2] = {{0.0, 0.0, 0.0}, {0.0, 0.0, 0.0}};
    for (int i = 0; i < 2 && contact->anchored; ++i) anchorPoint(c, i, a[i]);
    const PxReal r = reach(c, h);
    if (!contact->anchored || !within(a[0], contact->position, r) || !within(a[0], a[1], r)) {
        anchorHere(c);
        return;
    }
    PxVector3 separation;
    PxV3Sub(separation, a[0], a[1]);
    for (int d = 0; d < directions; ++d) {
        list->phi[first + 1 + d] = PxV3Dot(separation, t[d]);
        list->correction[first + 1 + d] = RBD_CORRECTION_ANCHOR;
    }
}
