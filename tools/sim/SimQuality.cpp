#include "SimQuality.h"

#include <math.h>

#include <algorithm>

#include <kelmar/PxVector.h>
#include <kelmar/Rbd.h>

namespace ksim {

BodyState readState(RbdBodyID body)
{
    BodyState state;
    PxMatrix4 tm;
    RbdBodyGetTransform(body, tm);
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c) state.rotation[r][c] = tm[r][c];
    PxV3Copy(state.position, tm[3]);
    RbdBodyGetLinearVelocity(body, state.velocity);
    return state;
}

std::vector<BodyState> readStates(const std::vector<RbdBodyID> &bodies)
{
    std::vector<BodyState> states;
    states.reserve(bodies.size());
    for (RbdBodyID body : bodies) states.push_back(readState(body));
    return states;
}

PxReal largestSpeed(const std::vector<BodyState> &states)
{
    PxReal fastest = 0.0;
    for (const BodyState &s : states) fastest = std::max(fastest, PxV3Length(s.velocity));
    return fastest;
}

void pointOf(const BodyState &state, const PxVector3 local, PxVector3 world)
{
    PxVector3 turned;
    PxV3MulM3(turned, local, state.rotation);
    PxV3Add(world, turned, state.position);
}

StackJudgement judgeStack(const std::vector<BodyState> &boxes, const std::vector<PxReal> &startZ, PxReal standZ,
                          PxReal standXY)
{
    StackJudgement j = {0.0, 0.0, !boxes.empty()};
    for (size_t k = 0; k < boxes.size() && k < startZ.size(); ++k) {
        const PxReal *p = boxes[k].position;
        // Written so that a position that is not a number does not stand.
        if (!(fabs(p[2] - startZ[k]) <= standZ) || !(hypot(p[0], p[1]) <= standXY)) j.stands = false;
    }
    if (!boxes.empty() && startZ.size() >= boxes.size()) {
        const PxReal *top = boxes.back().position;
        j.topDriftXY = hypot(top[0], top[1]);
        j.topDz = top[2] - startZ[boxes.size() - 1];
    }
    return j;
}

int countTouching(const std::vector<BodyState> &balls, PxReal radius, PxReal wallInner, PxReal tolerance)
{
    const size_t n = balls.size();
    std::vector<char> touching(n, 0);
    for (size_t i = 0; i < n; ++i) {
        const PxReal *c = balls[i].position;
        if (c[2] - radius <= tolerance) touching[i] = 1;
        if (wallInner > 0.0 &&
            (wallInner - fabs(c[0]) - radius <= tolerance || wallInner - fabs(c[1]) - radius <= tolerance))
            touching[i] = 1;
    }
    std::vector<size_t> order(n);
    for (size_t i = 0; i < n; ++i) order[i] = i;
    std::sort(order.begin(), order.end(),
              [&](size_t a, size_t b) { return balls[a].position[0] < balls[b].position[0]; });
    const PxReal reach = 2.0 * radius + tolerance;
    for (size_t a = 0; a < n; ++a) {
        const PxReal *u = balls[order[a]].position;
        for (size_t b = a + 1; b < n && balls[order[b]].position[0] - u[0] <= reach; ++b) {
            if (PxV3Distance(u, balls[order[b]].position) <= reach) touching[order[a]] = touching[order[b]] = 1;
        }
    }
    return static_cast<int>(std::count(touching.begin(), touching.end(), 1));
}

int countEscaped(const std::vector<BodyState> &balls, PxReal wallInner)
{
    int escaped = 0;
    for (const BodyState &s : balls) {
        const PxReal *c = s.position;
        if (fabs(c[0]) > wallInner || fabs(c[1]) > wallInner || c[2] < 0.0) ++escaped;
    }
    return escaped;
}

PxReal chainGap(const std::vector<BodyState> &links, PxReal pitch, const PxVector3 anchor)
{
    const PxVector3 front = {0.5 * pitch, 0.0, 0.0};
    const PxVector3 back = {-0.5 * pitch, 0.0, 0.0};
    PxReal gap = 0.0;
    for (size_t k = 0; k < links.size(); ++k) {
        PxVector3 a, b;
        if (k == 0)
            PxV3Copy(a, anchor);
        else
            pointOf(links[k - 1], front, a);
        pointOf(links[k], back, b);
        gap = std::max(gap, PxV3Distance(a, b));
    }
    return gap;
}

PxReal lowestHeight(const std::vector<BodyState> &bodies)
{
    PxReal lowest = HUGE_VAL;
    for (const BodyState &s : bodies) lowest = std::min(lowest, s.position[2]);
    return lowest;
}

int countBelowGround(const std::vector<BodyState> &bodies)
{
    int below = 0;
    for (const BodyState &s : bodies)
        if (s.position[2] < 0.0) ++below;
    return below;
}

PxReal inertiaQuadratic(RbdBodyID body, const BodyState &state, const PxVector3 v)
{
    PxVector3 vBody, Iv;
    PxMatrix3 inertia;
    RbdBodyGetInertiaTensor(body, inertia);
    // The inertia is given in the body's frame, whose axes are the rotation's rows.
    for (int k = 0; k < 3; ++k) vBody[k] = PxV3Dot(state.rotation[k], v);
    for (int k = 0; k < 3; ++k) Iv[k] = PxV3Dot(inertia[k], vBody);
    return PxV3Dot(vBody, Iv);
}

PxReal largestKineticEnergy(const std::vector<RbdBodyID> &bodies)
{
    PxReal largest = 0.0;
    for (RbdBodyID body : bodies) {
        const BodyState state = readState(body);
        PxVector3 w;
        RbdBodyGetAngularVelocity(body, w);
        const PxReal energy = 0.5 * RbdBodyGetMass(body) * PxV3LengthSquared(state.velocity) +
                              0.5 * inertiaQuadratic(body, state, w);
        largest = std::max(largest, energy);
    }
    return largest;
}

PxReal deepestContact(RbdWorldID world)
{
    PxReal deepest = 0.0;
    RbdWorldForAllConstraints(
        world,
        [](RbdConstraintID c, void *d) {
            if (RbdConstraintGetTypeId(c) != RBD_TYPE_CONTACT) return;
            PxReal *depth = static_cast<PxReal *>(d);
            *depth = std::max(*depth, RbdContactGetPenetration(c));
        },
        &deepest);
    return deepest;
}

int countContacts(RbdWorldID world)
{
    int count = 0;
    RbdWorldForAllConstraints(
        world,
        [](RbdConstraintID c, void *n) {
            if (RbdConstraintGetTypeId(c) == RBD_TYPE_CONTACT) ++*static_cast<int *>(n);
        },
        &count);
    return count;
}

int countBodiesInContact(const std::vector<RbdBodyID> &bodies)
{
    int count = 0;
    for (RbdBodyID body : bodies) {
        int contacts = 0;
        RbdBodyForAllConstraints(
            body,
            [](RbdConstraintID c, void *n) {
                if (RbdConstraintGetTypeId(c) == RBD_TYPE_CONTACT) ++*static_cast<int *>(n);
            },
            &contacts);
        if (contacts > 0) ++count;
    }
    return count;
}

} // namespace ksim
