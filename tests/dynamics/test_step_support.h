// Helpers of the dynamics tests: warning capture, worlds, bodies, joints and
// contacts that a test creates and updates itself the way a collision bridge
// would (a box on the plane y = 0); seeded random poses, rigid motions and
// row building.
#ifndef KELMAR_TESTS_TEST_STEP_SUPPORT_H
#define KELMAR_TESTS_TEST_STEP_SUPPORT_H

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

// An enabled body of mass m with the inertia of a solid sphere of radius r at (x, y, z).
inline RbdBodyID makeBall(RbdWorldID world, PxReal m, PxReal r, PxReal x, PxReal y, PxReal z)
{
    RbdBodyID body = RbdBodyCreate(world);
    RbdBodySetMass(body, m);
    PxMatrix3 inertia;
    RbdMakeInertiaTensorSphere(m, r, inertia);
    RbdBodySetInertiaTensor(body, inertia);
    RbdBodySetPosition(body, x, y, z);
    RbdBodyEnable(body);
    return body;
}

// An enabled box body of mass m and full edge lengths (sx, sy, sz) at (x, y, z).
inline RbdBodyID makeBox(RbdWorldID world, PxReal m, PxReal sx, PxReal sy, PxReal sz, PxReal x, PxReal y, PxReal z)
{
    RbdBodyID body = RbdBodyCreate(world);
    RbdBodySetMass(body, m);
    PxMatrix3 inertia;
    RbdMakeInertiaTensorBox(m, sx, sy, sz, inertia);
    RbdBodySetInertiaTensor(body, inertia);
    RbdBodySetPosition(body, x, y, z);
    RbdBodyEnable(body);
    return body;
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

} // namespace steptest

namespace rbdtest {

// A world destroyed with the test.
using steptest::World;

// Collects warnings (and fatal errors) while alive instead of printing them.
using WarningCapture = steptest::Messages;

using Rng = std::mt19937;

PxReal uniform(Rng &rng, PxReal lo, PxReal hi);
void randomVector(Rng &rng, PxReal scale, PxVector3 out);
void randomUnitVector(Rng &rng, PxVector3 out);
// A random rigid transform: uniform rotation, translation within +-scale.
void randomTransform(Rng &rng, PxReal scale, PxMatrix4 out);
// Rotation of each row of a 3 x 3 block about a unit axis by angle (right hand).
void rotateRows(PxReal rows[][4], int count, const PxVector3 axis, PxReal angle);
// Rotates the body about a world point and axis by angle.
void rotateBodyAbout(RbdBodyID body, const PxVector3 point, const PxVector3 axis, PxReal angle);
void translateBody(RbdBodyID body, const PxVector3 offset);
// Moves the body's centre-of-mass frame rigidly for time dt at its current
// linear (of the centre of mass) and angular velocity.
void moveBodyRigidly(RbdBodyID body, PxReal dt);

// Puts the body at a random rigid transform (translation within +-scale).
void randomBodyTransform(Rng &rng, PxReal scale, RbdBodyID body);
// Moves the body's centre of mass to a random relative transform
// (translation within +-scale).
void randomCenterOfMassOffset(Rng &rng, PxReal scale, RbdBodyID body);

// Active stops of the limit at lower and upper (default single limits otherwise).
void setStops(RbdLimit *limit, PxReal lower, PxReal upper);

// A row list of its own with room for `constraints` constraints.
struct OwnRowList {
    explicit OwnRowList(int32_t constraints = 2) { RbdBclCreateConstraintRowList(&list, constraints); }
    ~OwnRowList() { RbdBclDestroyConstraintRowList(&list); }
    OwnRowList(const OwnRowList &) = delete;
    OwnRowList &operator=(const OwnRowList &) = delete;
    RbdLcsConstraints list;
};

// Builds one partition holding just this constraint; returns its row count.
int32_t buildRows(RbdLcsConstraints *list, RbdConstraintID c, const RbdBclParameters &parameters);

} // namespace rbdtest

#endif
