// Helpers of the dynamics tests: warning capture, worlds, bodies, joints and
// contacts that a test creates and updates itself the way a collision bridge
// would (a box on the plane y = 0); seeded random poses, rigid motions and
// row building.
#ifndef KELMAR_TESTS_TEST_STEP_SUPPORT_H
#define KELMAR_TESTS_TEST_STEP_SUPPORT_H

#include <math.h>

#include <random>

#include <kelmar/PxVector.h>
#include <kelmar/Rbd.h>

#include "common/MessageLog.h"
#include "world/RbdInternal.h"

namespace steptest {

const PxReal kG = 9.81;

// Collects warnings and fatal errors (whose handler then returns) while alive.
class Messages : public testsupport::MessageLog {
public:
    Messages() : MessageLog(kWarnings | kFatals) {}
};

// A world destroyed with the test.
class World {
public:
    explicit World(int32_t bodies = 4, int32_t constraints = 4) : id(RbdWorldCreate(bodies, constraints)) {}
    ~World() { RbdWorldDestroy(id); }
    World(const World &) = delete;
    World &operator=(const World &) = delete;
    operator RbdWorldID() const { return id; }
    RbdWorldID operator->() const { return id; }
    RbdWorldID id;
};

// An enabled body of mass m and the given inertia at (x, y, z).
inline RbdBodyID makeBody(RbdWorldID world, PxReal m, const PxMatrix3 inertia, PxReal x, PxReal y, PxReal z)
{
    RbdBodyID body = RbdBodyCreate(world);
    RbdBodySetMass(body, m);
    RbdBodySetInertiaTensor(body, inertia);
    RbdBodySetPosition(body, x, y, z);
    RbdBodyEnable(body);
    return body;
}

// The same with the inertia of a solid sphere of radius r.
inline RbdBodyID makeBall(RbdWorldID world, PxReal m, PxReal r, PxReal x, PxReal y, PxReal z)
{
    PxMatrix3 inertia;
    RbdMakeInertiaTensorSphere(m, r, inertia);
    return makeBody(world, m, inertia, x, y, z);
}

// The same with the inertia of a box of full edge lengths (sx, sy, sz).
inline RbdBodyID makeBox(RbdWorldID world, PxReal m, PxReal sx, PxReal sy, PxReal sz, PxReal x, PxReal y, PxReal z)
{
    PxMatrix3 inertia;
    RbdMakeInertiaTensorBox(m, sx, sy, sz, inertia);
    return makeBody(world, m, inertia, x, y, z);
}

// An enabled joint made by `create` between a and b (null: the world) at
// (x, y, z), its axis (if it has one) along z.
inline RbdConstraintID makeJoint(RbdConstraintID (*create)(RbdWorldID), RbdWorldID world, RbdBodyID a, RbdBodyID b,
                                 PxReal x, PxReal y, PxReal z)
{
    RbdConstraintID joint = create(world);
    RbdConstraintSetBodies(joint, a, b);
    RbdConstraintSetPosition(joint, x, y, z);
    if (create != RbdBSJointCreate) RbdConstraintSetAxis(joint, 0.0, 0.0, 1.0);
    RbdConstraintEnable(joint);
    return joint;
}

inline PxReal positionOf(RbdBodyID body, int axis)
{
    PxVector3 p;
    RbdBodyGetPosition(body, p);
    return p[axis];
}

inline PxReal velocityOf(RbdBodyID body, int axis)
{
    PxVector3 v;
    RbdBodyGetLinearVelocity(body, v);
    return v[axis];
}

// Contact parameters as reset: frictionless, no options.
inline RbdContactParams resetParams()
{
    RbdContactParams params;
    RbdContactParamsReset(&params);
    return params;
}

// Friction in both directions proportional to the load, coefficient mu.
inline RbdContactParams proportionalFriction(PxReal mu)
{
    RbdContactParams params = resetParams();
    RbdContactParamsSetType(&params, 2);
    RbdContactParamsSetFrictionModel(&params, 1);
    RbdContactParamsSetFrictionCoefficient(&params, mu);
    return params;
}

// Friction in both directions bounded by the same force.
inline RbdContactParams boxFriction(PxReal bound)
{
    RbdContactParams params = resetParams();
    RbdContactParamsSetType(&params, 2);
    RbdContactParamsSetFriction(&params, bound);
    return params;
}

// An enabled contact between body and `other` (null: the world) with the
// given parameters, normal +y (from other towards body).
inline RbdContactID makeGroundContact(RbdWorldID world, RbdBodyID body, const RbdContactParams &params,
                                      RbdBodyID other = nullptr)
{
    RbdContactID c = RbdContactCreate(world);
    RbdConstraintSetBodies(c, body, other);
    RbdContactSetNormal(c, 0.0, 1.0, 0.0);
    RbdContactSetParams(c, &params);
    RbdConstraintEnable(c);
    return c;
}

// Four contacts at the bottom corners of a box (full edges sx, sy, sz) on
// the plane y = 0, or on the top face of a box `below` of the same height,
// updated from the poses before each step.
class BoxOnGround {
public:
    BoxOnGround(RbdWorldID world, RbdBodyID box, PxReal sx, PxReal sy, PxReal sz, const RbdContactParams &params,
                RbdBodyID below = nullptr)
        : box_(box), below_(below), height_(sy)
    {
        const PxReal signs[4][2] = {{-1, -1}, {-1, 1}, {1, -1}, {1, 1}};
        for (int k = 0; k < 4; ++k) {
            PxV3Set(corner_[k], 0.5 * sx * signs[k][0], -0.5 * sy, 0.5 * sz * signs[k][1]);
            contacts_[k] = makeGroundContact(world, box, params, below);
        }
        update();
    }
    void update()
    {
        PxMatrix4 tm;
        RbdBodyGetTransform(box_, tm);
        const PxReal top = below_ ? positionOf(below_, 1) + 0.5 * height_ : 0.0;
        for (int k = 0; k < 4; ++k) {
            PxVector3 p;
            PxV3MulTM(p, corner_[k], tm);
            RbdContactSetPosition(contacts_[k], p[0], top, p[2]);
            RbdContactSetPenetration(contacts_[k], top - p[1]);
        }
    }
    RbdContactID contact(int k) const { return contacts_[k]; }

private:
    RbdBodyID box_, below_;
    PxReal height_;
    PxVector3 corner_[4];
    RbdContactID contacts_[4];
};

using Rng = std::mt19937;

inline PxReal uniform(Rng &rng, PxReal lo, PxReal hi)
{
    return std::uniform_real_distribution<PxReal>(lo, hi)(rng);
}

inline void randomVector(Rng &rng, PxReal scale, PxVector3 out)
{
    for (int k = 0; k < 3; ++k) out[k] = uniform(rng, -scale, scale);
}

inline void randomUnitVector(Rng &rng, PxVector3 out)
{
    do randomVector(rng, 1.0, out);
    while (PxV3Length(out) < 0.1 || PxV3Length(out) > 1.0);
    PxV3Normalize(out);
}

// Rotation of each row of a 3 x 3 block about a unit axis by angle (right hand).
inline void rotateRows(PxReal rows[][4], int count, const PxVector3 axis, PxReal angle)
{
    const PxReal c = cos(angle), s = sin(angle);
    for (int i = 0; i < count; ++i) {
        PxVector3 v, cross;
        PxV3Copy(v, rows[i]);
        PxV3Cross(cross, axis, v);
        PxReal along = PxV3Dot(axis, v);
        for (int k = 0; k < 3; ++k) rows[i][k] = v[k] * c + cross[k] * s + axis[k] * along * (1.0 - c);
    }
}

// A random rigid transform: uniform rotation, translation within +-scale.
inline void randomTransform(Rng &rng, PxReal scale, PxMatrix4 out)
{
    PxM4Identity(out);
    PxVector3 axis;
    randomUnitVector(rng, axis);
    rotateRows(out, 3, axis, uniform(rng, -M_PI, M_PI));
    randomUnitVector(rng, axis);
    rotateRows(out, 3, axis, uniform(rng, -M_PI, M_PI));
    randomVector(rng, scale, out[3]);
}

// Rotates the body about a world point and axis by angle.
inline void rotateBodyAbout(RbdBodyID body, const PxVector3 point, const PxVector3 axis, PxReal angle)
{
    PxMatrix4 tm;
    RbdBodyGetTransform(body, tm);
    PxReal arm[1][4];
    PxV3Sub(arm[0], tm[3], point);
    rotateRows(tm, 3, axis, angle);
    rotateRows(arm, 1, axis, angle);
    PxV3Add(tm[3], point, arm[0]);
    RbdBodySetTransform(body, tm);
}

inline void translateBody(RbdBodyID body, const PxVector3 offset)
{
    PxMatrix4 tm;
    RbdBodyGetTransform(body, tm);
    PxV3Add(tm[3], tm[3], offset);
    RbdBodySetTransform(body, tm);
}

// Moves the body's centre-of-mass frame rigidly for time dt at its current
// linear (of the centre of mass) and angular velocity.
inline void moveBodyRigidly(RbdBodyID body, PxReal dt)
{
    PxVector3 velocity, angularVelocity, com;
    RbdBodyGetLinearVelocity(body, velocity);
    RbdBodyGetAngularVelocity(body, angularVelocity);
    RbdBodyGetCenterOfMassPosition(body, com);
    PxReal rate = PxV3Length(angularVelocity);
    if (rate > 0.0) {
        PxVector3 axis;
        PxV3Scale(axis, angularVelocity, 1.0 / rate);
        rotateBodyAbout(body, com, axis, rate * dt);
    }
    PxVector3 offset;
    PxV3Scale(offset, velocity, dt);
    translateBody(body, offset);
}

// Puts the body at a random rigid transform (translation within +-scale), or
// its centre of mass at one relative to the body's frame.
inline void randomBodyTransform(Rng &rng, PxReal scale, RbdBodyID body, bool centreOfMass = false)
{
    PxMatrix4 tm;
    randomTransform(rng, scale, tm);
    (centreOfMass ? RbdBodySetCenterOfMassRelativeTransform : RbdBodySetTransform)(body, tm);
}

// Active stops of the limit at lower and upper (default single limits otherwise).
inline void setStops(RbdLimit *limit, PxReal lower, PxReal upper)
{
    RbdSingleLimit stop;
    RbdSingleLimitReset(&stop);
    stop.stop = lower;
    RbdLimitSetLowerLimit(limit, &stop);
    stop.stop = upper;
    RbdLimitSetUpperLimit(limit, &stop);
    RbdLimitActivateLimits(limit, 1);
}

// A row list of its own with room for `constraints` constraints.
struct OwnRowList {
    explicit OwnRowList(int32_t constraints = 2) { RbdBclCreateConstraintRowList(&list, constraints); }
    ~OwnRowList() { RbdBclDestroyConstraintRowList(&list); }
    OwnRowList(const OwnRowList &) = delete;
    OwnRowList &operator=(const OwnRowList &) = delete;
    RbdLcsConstraints list;
};

// Builds one partition holding just this constraint; returns its row count.
inline int32_t buildRows(RbdLcsConstraints *list, RbdConstraintID c, const RbdBclParameters &parameters)
{
    RbdBclInitConstraintRowList(list);
    RbdBclStartPartition(list);
    c->rowBuilder(list, c, &parameters);
    RbdBclEndPartition(list);
    return list->partitionRowCount;
}

} // namespace steptest

namespace rbdtest = steptest;

#endif
