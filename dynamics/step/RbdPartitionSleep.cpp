// Auto-disable of resting islands, part by part. A pile is one island
// through every contact of touching bodies, yet a ball spinning on its own
// at the pile's foot (nothing resists a spin about its contact normal)
// touches its neighbours without pressing them. Such slack contacts bind
// nothing here: the ball keeps itself awake, not the pile. The awake part
// keeps its slack contacts with the sleeping bodies, which it meets as
// immovable until a contact presses and the partitioning wakes the body.
// Nor does a contact bind through which a body only spins: a ball between
// the floor and the ball it carries, turning about the line through its
// two contacts, presses both, yet the spin, which nothing resists, reaches
// neither. And a ball rolling on the floor slower than the rest speed that
// strikes a sleeping pile wakes none of it: it stops against the pile as
// against a wall, for what it can give the ball it strikes would leave
// that ball below the rest speed; every ball it struck woke the whole pile
// for a dozen steps before, time and again.
// In an island the sweeps solve, a body moving on its own binds no resting
// body it bears on without closing on it: a ball swinging for good about
// the line through its two contacts (which nothing in a pile of balls
// resists) leaves the heap under it asleep. The resting bodies held its
// push while awake (that is why they rest), and they hold it asleep, met
// as immovable, while its force stays near what it was when they fell
// asleep (RbdContactHoldsAsBefore).
#include "step/RbdPartition.h"

#include <math.h>
#include <kelmar/PxVector.h>
#include <kelmar/RbdLcs.h>

namespace {

// partitionMark of an island body found awake by the sleep test: bound to
// a moving one, or within its alive window (kAwake), or moving on its own
// past that window (kMoving).
const int32_t kAwake = 2;
const int32_t kMoving = 3;

// The share of the force a contact carried when its sleeping body fell
// asleep by which its force may since have changed, as a vector, without
// waking it. The sleeper was at rest under that force, its own contacts
// holding it within their friction cones, and a ball swinging on a heap
// presses it with a force that varies by a few percent over a swing; a
// push that grows or turns by more (a quarter: 14 degrees) is a new load
// and wakes it (a load shifting onto it, a ball pressed or rolling off it,
// friction turning as a bearer slides).
const PxReal kHeldShare = 0.25;

// The weight of the lighter body of a contact (N): the scale against which
// its force is judged. A world without gravity has none.
PxReal lighterWeight(const RbdBaseConstraint *c)
{
    PxReal mass = HUGE_VAL;
    for (const RbdBody *body : c->body)
        if (body && body->lcs.mass < mass) mass = body->lcs.mass;
    return mass < HUGE_VAL ? mass * PxV3Length(c->world->gravity) : 0.0;
}

// Whether the contact pushed with more than the LCP tolerance (a fraction)
// of the lighter body's weight. The solvers leave rounding (1e-14 N and
// less) in contacts that carry nothing, which must not bind a pile.
bool carriesForce(const RbdBaseConstraint *c)
{
    PxReal noise = c->world->parameters.lcp.tolerance * lighterWeight(c);
    return PxV3LengthSquared(c->force[0]) > noise * noise || PxV3LengthSquared(c->force[1]) > noise * noise;
}

// Velocity (m/s) of the material point of body at the world point p.
void pointVelocity(const RbdBody *body, const PxVector3 p, PxVector3 out)
{
    PxVector3 arm, turn;
    PxV3Sub(arm, p, body->lcs.comTransform[3]);
    PxV3Cross(turn, body->lcs.angularVelocity, arm);
    PxV3Add(out, body->lcs.linearVelocity, turn);
}

// Speed (m/s) at which the contact's bodies approach one another along its
// normal (which points from body 1 towards body 0), negative apart.
PxReal closingSpeed(const RbdBaseConstraint *c)
{
    const RbdContactData &contact = c->data.contact;
    PxVector3 v[2] = {{0.0, 0.0, 0.0}, {0.0, 0.0, 0.0}};
    for (int side = 0; side < 2; ++side)
        if (c->body[side]) pointVelocity(c->body[side], contact.position, v[side]);
    return PxV3Dot(v[1], contact.normal) - PxV3Dot(v[0], contact.normal);
}

// A slack contact is about to press when it closes faster than rounding
// (the tolerance's fraction of what gravity adds in a step) and would close
// its gap within two steps at that speed. The solver lets a contact's
// bodies close their whole gap in a step and no more, so a contact farther
// apart cannot push in this step; a ball rolling towards a resting pile
// binds it only once it is that near. Two steps rather than one: a closing
// speed that doubles within the step (a body falling for a step or more)
// still binds in time. Should a push come sooner still, the awake body
// meets the sleeping one as immovable for that one step, and the force it
// leaves in the contact wakes the body in the next.
bool closing(const RbdBaseConstraint *c)
{
    const RbdWorld *world = c->world;
    const PxReal h = world->timeStep, speed = closingSpeed(c); // s, m/s
    const PxReal rounding = world->parameters.lcp.tolerance * PxV3Length(world->gravity) * h;
    const PxReal gap = -c->data.contact.penetration; // m
    return speed > rounding && 2.0 * speed * h > gap;
}

// Speed (m/s) of body's material point at p, squared.
PxReal squaredSpeedAt(const RbdBody *body, const PxVector3 p)
{
    PxVector3 v;
    pointVelocity(body, p, v);
    return PxV3LengthSquared(v);
}

bool awakeMark(int32_t mark)
{
    return mark == kAwake || mark == kMoving;
}

bool inIsland(const RbdBody *body, int32_t p)
{
    if (!body || body->partitionIndex != p) return false;
    return body->partitionMark == kPartitionAdded || awakeMark(body->partitionMark);
}

// Whether a body moving on its own, past its alive window, bears on the
// resting body across contact c without closing on it: in an island the
// sweeps solve, the contact then binds no sleep. A body woken or enabled
// within its window, or bound to a moving one, binds as any contact does,
// so that a knock or a fresh load is stepped through the heap as before.
bool bearsOnRest(const RbdBaseConstraint *c, const RbdBody *walked, bool swept)
{
    if (!swept || walked->partitionMark != kMoving || c->typeId != RBD_TYPE_CONTACT) return false;
    const RbdWorld *world = c->world;
    const PxReal slow = world->thresholds.restSpeed * PxV3Length(world->gravity) * world->timeStep; // m/s
    return closingSpeed(c) < slow;
}

// Marks the bodies of island p that a constraint binds to an awake one
// (the walked body); returns how many it marked.
int32_t wakeBound(const RbdBaseConstraint *c, const RbdBody *awake, int32_t p, bool swept)
{
    bool asleep[2], any = false;
    for (int side = 0; side < 2; ++side) {
        asleep[side] = inIsland(c->body[side], p) && !awakeMark(c->body[side]->partitionMark);
        any = any || asleep[side];
    }
    // The slack test is the costly part; most constraints of a pass join
    // bodies already awake.
    if (!any || RbdConstraintIsSlack(c) || RbdContactIsSpunThrough(c, awake) || bearsOnRest(c, awake, swept))
        return 0;
    for (int side = 0; side < 2; ++side)
        if (asleep[side]) c->body[side]->partitionMark = kAwake;
    return asleep[0] + asleep[1];
}

// One pass over the island spreading wakefulness along its bindings.
int32_t spreadOnce(RbdBody *const *bodies, int32_t n, int32_t p, bool swept)
{
    int32_t marked = 0;
    for (int32_t k = 0; k < n; ++k) {
        if (!awakeMark(bodies[k]->partitionMark)) continue;
        for (const RbdConstraintNode *node = bodies[k]->constraints; node; node = node->next)
            marked += wakeBound(node->constraint, bodies[k], p, swept);
    }
    return marked;
}

// Whether the island is large enough for the sweeps to solve it, counting
// three rows a constraint (a contact's normal and two friction directions):
// an estimate, made before the island's resting part leaves it.
bool sweptIsland(const RbdWorld *world, int32_t constraints)
{
    if (!world) return false;
    const RbdLcsParameters &parameters = world->parameters;
    return parameters.lcp.largeIslandSolver == RBD_LCP_LARGE_ISLAND_ITERATIVE &&
           3 * constraints > parameters.lcp.largeIslandRows;
}

// Marks the moving bodies of island p and every body bound to them;
// returns how many are awake. The island lists its bodies breadth first,
// so a pass mostly reaches the bodies bound to the ones it marks.
int32_t markAwake(RbdBody *const *bodies, int32_t n, int32_t p, const RbdAutoDisableThresholds *thresholds,
                  bool swept)
{
    int32_t awake = 0;
    for (int32_t k = 0; k < n; ++k) RbdBodyAverageMotion(bodies[k], thresholds->averagingWindow);
    for (int32_t k = 0; k < n; ++k)
        if (RbdBodyIsMovingTest(bodies[k], thresholds, swept)) {
            const bool own = swept && bodies[k]->enabledTime >= thresholds->aliveWindow;
            bodies[k]->partitionMark = own ? kMoving : kAwake;
            ++awake;
        }
    if (awake == 0) return 0;
    for (int32_t marked = awake; marked > 0 && awake < n; awake += marked) marked = spreadOnce(bodies, n, p, swept);
    return awake;
}

// Whether `other`, met through a contact of a body of island p falling
// asleep, stays awake: enabled, and not one of the island's sleepers.
bool staysAwake(const RbdBody *other, int32_t p)
{
    if (!other || other->frozen || other->enabledTime < 0) return false;
    return !inIsland(other, p) || awakeMark(other->partitionMark);
}

// Each contact of a body falling asleep keeps the force it carries if
// its other body stays awake and goes on meeting it, and forgets any
// force it kept otherwise (then neither of its bodies steps it).
void keepSleepForces(const RbdBody *body, int32_t p)
{
    for (const RbdConstraintNode *node = body->constraints; node; node = node->next) {
        RbdBaseConstraint *c = node->constraint;
        if (c->typeId != RBD_TYPE_CONTACT) continue;
        const bool keep = staysAwake(node->other, p) && carriesForce(c);
        for (int k = 0; k < 3; ++k) c->contactSleepForce[k] = keep ? (float)c->force[0][k] : 0.0f;
    }
}

// A sleeping body is at rest: awake neighbours meet it as immovable.
void putToSleep(RbdBody *body, int32_t p)
{
    keepSleepForces(body, p);
    body->pressedImpulse = 0.0;
    PxV3Zero(body->lcs.linearVelocity);
    PxV3Zero(body->lcs.angularVelocity);
    RbdBodyDisable(body);
    RbdBodyResetForces(body);
    body->partitionMark = kPartitionUnmarked;
    body->partitionBodyIndex = -1;
}

// Island p keeps its awake bodies in their order, chained anew; the
// others sleep, first, while every mark still tells who stays awake.
void keepAwakeBodies(RbdPartitionOutput *out, int32_t p)
{
    RbdBody **bodies = out->bodies + out->bodyStart[p];
    int32_t n = out->bodyCount[p], kept = 0;
    for (int32_t k = 0; k < n; ++k)
        if (!awakeMark(bodies[k]->partitionMark)) putToSleep(bodies[k], p);
    for (int32_t k = 0; k < n; ++k) {
        if (bodies[k]->partitionMark == kPartitionUnmarked) continue;
        bodies[k]->partitionMark = kPartitionAdded;
        bodies[k]->partitionBodyIndex = kept;
        bodies[kept++] = bodies[k];
    }
    for (int32_t k = 0; k < kept; ++k) bodies[k]->lcs.next = k + 1 < kept ? &bodies[k + 1]->lcs : nullptr;
    out->totalBodies -= n - kept;
    out->bodyCount[p] = kept;
}

// Island p keeps the constraints that touch one of its awake bodies.
void keepAwakeConstraints(RbdPartitionOutput *out, int32_t p)
{
    RbdBaseConstraint **constraints = out->constraints + out->constraintStart[p];
    int32_t kept = 0;
    for (int32_t k = 0; k < out->constraintCount[p]; ++k) {
        RbdBaseConstraint *c = constraints[k];
        if (inIsland(c->body[0], p) || inIsland(c->body[1], p)) constraints[kept++] = c;
    }
    out->totalConstraints -= out->constraintCount[p] - kept;
    out->constraintCount[p] = kept;
}

void removeLastPartition(RbdPartitionOutput *out, int32_t p)
{
    out->partitionCount--;
    out->totalBodies -= out->bodyCount[p];
    out->totalConstraints -= out->constraintCount[p];
}

} // namespace

bool RbdConstraintIsSlack(const RbdBaseConstraint *c)
{
    if (c->typeId != RBD_TYPE_CONTACT || c->data.contact.penetration > 0.0) return false;
    return !carriesForce(c) && !closing(c);
}

bool RbdContactIsSpunThrough(const RbdBaseConstraint *c, const RbdBody *body)
{
    if (c->typeId != RBD_TYPE_CONTACT || c->data.contact.params.spinFriction > 0.0) return false;
    const RbdWorld *world = body->world;
    const RbdAutoDisableThresholds &thresholds = world->thresholds;
    // Spinning, and no faster than the rest speed where it could move or
    // load the other body: at its centre and at the contact.
    const PxReal slow = thresholds.restSpeed * PxV3Length(world->gravity) * world->timeStep; // m/s
    if (!(PxV3LengthSquared(body->lcs.angularVelocity) > thresholds.angularVelocity)) return false;
    if (!(PxV3LengthSquared(body->lcs.linearVelocity) < slow * slow)) return false;
    if (!(squaredSpeedAt(body, c->data.contact.position) < slow * slow)) return false;
    return !RbdBodyIsAccelerating(body, &thresholds, false);
}

RbdTouch RbdContactTouchesGently(const RbdBaseConstraint *c, const RbdBody *body, const RbdBody *sleeper,
                                 PxReal pressed)
{
    RbdTouch touch = {false, false, pressed};
    if (c->typeId != RBD_TYPE_CONTACT) return touch;
    const int side = c->body[0] == sleeper ? 0 : 1;
    const RbdWorld *world = body->world;
    const PxReal slow = world->thresholds.restSpeed * PxV3Length(world->gravity) * world->timeStep; // m/s
    if (!(closingSpeed(c) < slow)) return touch;
    if (RbdContactKeptSleepForce(c)) {
        touch.held = RbdContactHoldsAsBefore(c, side);
    } else {
        // The last step's impulse on the sleeper, met as immovable, joins those
        // of the steps before: momentum it would have taken, free, since it
        // slept. A push that goes on (a finger pressing slowly) thus wakes it.
        touch.pressed = pressed + PxV3Length(c->force[side]) * world->timeStep;
        touch.held = touch.pressed < sleeper->lcs.mass * slow;
    }
    // A load it did not hold, from a body stepped since it was enabled (so
    // the force is the last step's answer, not one kept from before both
    // slept), wakes it as a body just enabled: stepped for its alive window
    // with every body it bears on before it may sleep again, rather than
    // judged at rest at once, still unmoved, and put back to sleep.
    touch.loaded = !touch.held && body->enabledTime > 0;
    return touch;
}

bool RbdContactHoldsAsBefore(const RbdBaseConstraint *c, int side)
{
    const float *kept = c->contactSleepForce;
    const PxReal sign = side == 0 ? 1.0 : -1.0;
    PxVector3 before, change;
    for (int k = 0; k < 3; ++k) before[k] = sign * kept[k];
    PxV3Sub(change, c->force[side], before);
    return PxV3LengthSquared(change) <= kHeldShare * kHeldShare * PxV3LengthSquared(before);
}

void RbdAutoDisableLastPartition(RbdPartitionOutput *out, void *arg)
{
    const RbdAutoDisableThresholds *thresholds = (const RbdAutoDisableThresholds *)arg;
    int32_t p = out->partitionCount - 1;
    if (p < 0 || !thresholds) return;
    RbdBody **bodies = out->bodies + out->bodyStart[p];
    const bool swept = sweptIsland(bodies[0]->world, out->constraintCount[p]);
    int32_t n = out->bodyCount[p], awake = markAwake(bodies, n, p, thresholds, swept);
    if (awake == 0) {
        for (int32_t k = 0; k < n; ++k) putToSleep(bodies[k], p);
        removeLastPartition(out, p);
        return;
    }
    keepAwakeBodies(out, p);
    if (awake < n) keepAwakeConstraints(out, p);
}
