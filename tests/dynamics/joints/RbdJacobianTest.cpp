// Every row the builders add is the time derivative of its own error:
// J v = d(phi)/dt, measured by moving the bodies rigidly for a tiny time at
// random velocities from random poses.
#include <gtest/gtest.h>

#include <functional>
#include <math.h>
#include "dynamics/test_step_support.h"

using namespace rbdtest;

namespace {

const RbdBclParameters PARAMETERS = {0.01, 1e-6, 0.12};
const PxReal DT = 1e-6;

enum class Partner { Body, World, Frozen }; // printed 0, 1, 2

// Poses of the check: where the joint was made, moved along its own free
// motion (which keeps its rows satisfied), or both bodies anywhere.
const int kConsistent = 1, kRandom = 2, kAnywhere = 3;

// A motion the joint allows.
enum class Motion { None, Rotate, Slide, SteerAndRoll };

struct Scene {
    RbdWorldID world;
    RbdBodyID body0;
    RbdBodyID body1; // null for the world
    RbdConstraintID c;
    PxVector3 anchor;
    PxVector3 axis;
};

struct JointCase {
    const char *name;
    RbdConstraintID (*create)(RbdWorldID);
    int32_t rows;    // rows expected at the test poses
    int32_t checked; // the first rows, those with an error (the rest are velocity targets)
    int poses;       // where the rows are checked: kConsistent, kRandom or both
    Motion motion;
    bool madeInPlace; // made where its bodies are, it has no error
    std::function<void(Scene &, Rng &)> setUp;
};

// Moves the body that moves along a joint's free motion: body 1 when it can.
void move(Scene &s, Rng &rng, Motion motion)
{
    const RbdBodyID mover = s.body1 && !RbdBodyIsFrozen(s.body1) ? s.body1 : s.body0;
    PxVector3 offset, steering, hinge, centre;
    switch (motion) {
    case Motion::None: break;
    case Motion::Rotate: rotateBodyAbout(mover, s.anchor, s.axis, uniform(rng, -3.0, 3.0)); break;
    case Motion::Slide:
        PxV3Scale(offset, s.axis, uniform(rng, -1.0, 1.0));
        translateBody(mover, offset);
        break;
    case Motion::SteerAndRoll:
        RbdCarWheelGetSteeringAxis(s.c, steering);
        RbdCarWheelGetPosition(s.c, centre);
        rotateBodyAbout(mover, centre, steering, uniform(rng, -1.0, 1.0));
        RbdCarWheelGetHingeAxis(s.c, hinge);
        rotateBodyAbout(mover, centre, hinge, uniform(rng, -3.0, 3.0));
        break;
    }
}

std::function<void(Scene &, Rng &)> stops(PxReal lower, PxReal upper)
{
    return [=](Scene &s, Rng &) { setStops(RbdConstraintGetLimit(s.c), lower, upper); };
}

// A car wheel's hinge axis is random but perpendicular to its steering axis.
void wheelAxes(Scene &s, Rng &rng)
{
    PxVector3 hinge, perpendicular;
    randomUnitVector(rng, hinge);
    PxV3Cross(perpendicular, s.axis, hinge);
    RbdCarWheelSetHingeAxis(s.c, perpendicular[0], perpendicular[1], perpendicular[2]);
}

// A spring from the anchor on body 1 to a point off it on body 0.
void springEnds(Scene &s, Rng &)
{
    PxVector3 offset = {0.3, -0.2, 0.4};
    PxV3Add(offset, offset, s.anchor);
    RbdConstraintBodySetPosition(s.c, 0, offset);
}

std::vector<JointCase> jointCases()
{
    const Motion none = Motion::None, rotate = Motion::Rotate, slide = Motion::Slide, wheel = Motion::SteerAndRoll;
    return {
        // The stopped hinge's first reading is 0: beyond -1..-0.5, below 0.5..1.
        {"ball and socket", RbdBSJointCreate, 3, 3, kAnywhere, none, true, nullptr},
        {"hinge", RbdHingeCreate, 5, 5, kAnywhere, rotate, true, nullptr},
        {"hinge beyond its upper stop", RbdHingeCreate, 6, 6, kConsistent, rotate, false, stops(-1.0, -0.5)},
        {"hinge below its lower stop", RbdHingeCreate, 6, 6, kConsistent, rotate, false, stops(0.5, 1.0)},
        {"locked hinge", RbdHingeCreate, 6, 6, kConsistent, rotate, false,
         [](Scene &s, Rng &) { RbdLimitSetLock(RbdConstraintGetLimit(s.c), 0.3, 10.0); }},
        {"prismatic", RbdPrismaticCreate, 5, 5, kAnywhere, slide, true, nullptr},
        {"prismatic below its lower stop", RbdPrismaticCreate, 6, 6, kAnywhere, slide, false, stops(0.5, 1.0)},
        {"locked prismatic", RbdPrismaticCreate, 6, 6, kAnywhere, slide, false,
         [](Scene &s, Rng &) { RbdLimitSetLock(RbdConstraintGetLimit(s.c), -0.2, 5.0); }},
        {"car wheel", RbdCarWheelCreate, 5, 4, kAnywhere, wheel, false, wheelAxes},
        {"car wheel with soft suspension and locked steering", RbdCarWheelCreate, 5, 5, kConsistent, wheel, false,
         [](Scene &s, Rng &rng) {
             wheelAxes(s, rng);
             RbdCarWheelSetSuspension(s.c, 100.0, 2.0, 0.01, -1.0, 1.0, 0.1);
             RbdCarWheelSetSteeringAngle(s.c, 0.2);
         }},
        {"car wheel with hinge motor", RbdCarWheelCreate, 6, 4, kAnywhere, wheel, false,
         [](Scene &s, Rng &rng) {
             wheelAxes(s, rng);
             RbdCarWheelSetHingeLimitedForceMotor(s.c, 2.0, 1.0);
         }},
        {"fixed path", RbdFixedPathCreate, 3, 3, kAnywhere, none, false, nullptr},
        {"RPRO joint", RbdRPROJointCreate, 6, 6, kAnywhere, none, false,
         [](Scene &s, Rng &rng) {
             PxQuaternion q;
             for (int k = 0; k < 4; ++k) q[k] = uniform(rng, -1.0, 1.0);
             RbdRPROJointSetRelativeQuaternion(s.c, q);
             for (int k = 0; k < 4; ++k) q[k] = uniform(rng, -1.0, 1.0);
             RbdRPROJointSetAttachmentQuaternion(s.c, q, 0);
             PxVector3 velocity = {0.1, -0.2, 0.3};
             RbdRPROJointSetRelativeAngularVelocity(s.c, velocity);
         }},
        // The universal joint holds whatever the angle between its two axes.
        {"universal joint", RbdUniversalCreate, 4, 4, kAnywhere, none, true,
         [](Scene &s, Rng &rng) {
             PxVector3 axis;
             randomUnitVector(rng, axis);
             RbdUniversalSetAxis(s.c, 1, axis[0], axis[1], axis[2]);
         }},
        {"linear-1", RbdLinear1Create, 1, 1, kAnywhere, none, false,
         [](Scene &s, Rng &) { RbdLinear1SetPosition(s.c, s.anchor[0], s.anchor[1], s.anchor[2]); }},
        {"linear-2", RbdLinear2Create, 2, 2, kAnywhere, slide, true, nullptr},
        {"angular-3", RbdAngular3Create, 3, 3, kAnywhere, none, true, nullptr},
        {"angular-3 with rotation", RbdAngular3Create, 2, 2, kAnywhere, rotate, false,
         [](Scene &s, Rng &) { RbdAngular3EnableRotation(s.c, 1); }},
        {"spring", RbdSpringCreate, 1, 1, kAnywhere, none, false,
         [](Scene &s, Rng &rng) {
             springEnds(s, rng);
             RbdSpringSetStiffness(s.c, 50.0);
             RbdSpringSetDamping(s.c, 0.5);
             RbdSpringSetNaturalLength(s.c, 0.2);
         }},
        {"spring beyond its length limit", RbdSpringCreate, 1, 1, kAnywhere, none, false,
         [](Scene &s, Rng &rng) {
             springEnds(s, rng);
             setStops(RbdConstraintGetLimit(s.c), -1.0, -0.2);
         }},
        {"cone limit outside its cone", RbdConeLimitCreate, 1, 1, kRandom, none, false,
         [](Scene &s, Rng &) { RbdConeLimitSetHalfAngle(s.c, 0.02); }},
    };
}

// The errors, J v and Jacobians of the constraint's rows at the bodies' poses.
struct RowSample {
    std::vector<PxReal> phi, jv;
    std::vector<std::vector<PxReal>> jacobian;
};

RowSample sampleRows(RbdLcsConstraints *list, RbdConstraintID c)
{
    RowSample sample;
    const int32_t rows = buildRows(list, c, PARAMETERS);
    for (int32_t r = 0; r < rows; ++r) {
        const int32_t row = list->partitionRowStart + r;
        sample.phi.push_back(list->phi[row]);
        sample.jv.push_back(RbdBclRowVelocity(list, row, c));
        sample.jacobian.emplace_back(RBD_JACOBIAN_COLUMNS);
        RbdBclGetJacobian(list, row, sample.jacobian.back().data());
    }
    return sample;
}

// The errors with the moving bodies carried along for time dt.
std::vector<PxReal> phiAfter(RbdLcsConstraints *list, RbdConstraintID c, const std::vector<RbdBodyID> &moving,
                             PxReal dt)
{
    std::vector<PxMatrix4> saved(moving.size());
    for (size_t i = 0; i < moving.size(); ++i) {
        RbdBodyGetTransform(moving[i], saved[i]);
        moveBodyRigidly(moving[i], dt);
    }
    std::vector<PxReal> phi = sampleRows(list, c).phi;
    for (size_t i = 0; i < moving.size(); ++i) RbdBodySetTransform(moving[i], saved[i]);
    return phi;
}

// Two bodies (or a body and the world) at random poses, the first with its
// centre of mass off its reference frame, joined where they are.
Scene makeScene(const JointCase &jc, Partner partner, Rng &rng)
{
    Scene s;
    s.world = RbdWorldCreate(4, 4);
    s.body0 = RbdBodyCreate(s.world);
    s.body1 = partner == Partner::World ? nullptr : RbdBodyCreate(s.world);
    randomBodyTransform(rng, 2.0, s.body0);
    randomBodyTransform(rng, 0.3, s.body0, true); // dynamics runs in a frame off the body's own
    if (s.body1) {
        randomBodyTransform(rng, 2.0, s.body1);
        if (partner == Partner::Frozen) RbdBodyFreeze(s.body1);
    }
    randomVector(rng, 1.0, s.anchor);
    randomUnitVector(rng, s.axis);
    s.c = jc.create(s.world);
    RbdConstraintSetBodies(s.c, s.body0, s.body1);
    RbdConstraintSetPosition(s.c, s.anchor[0], s.anchor[1], s.anchor[2]);
    RbdConstraintSetAxis(s.c, s.axis[0], s.axis[1], s.axis[2]);
    RbdConstraintEnable(s.c);
    if (jc.setUp) jc.setUp(s, rng);
    return s;
}

void checkCase(const JointCase &jc, Partner partner, bool randomPoses, unsigned seed)
{
    SCOPED_TRACE(testing::Message() << jc.name << ", partner " << static_cast<int>(partner) << ", "
                                    << (randomPoses ? "random" : "consistent") << " poses, seed " << seed);
    Rng rng(seed);
    Scene s = makeScene(jc, partner, rng);
    OwnRowList own;
    RbdLcsConstraints &list = own.list;
    if (!randomPoses) {
        if (jc.madeInPlace && partner == Partner::Body) {
            const RowSample made = sampleRows(&list, s.c);
            for (int32_t r = 0; r < jc.checked; ++r)
                EXPECT_NEAR(made.phi[r], 0.0, 1e-9) << "made in place, row " << r;
        }
        move(s, rng, jc.motion);
    } else {
        randomBodyTransform(rng, 2.0, s.body0);
        if (partner == Partner::Body) randomBodyTransform(rng, 2.0, s.body1);
    }
    std::vector<RbdBodyID> moving = {s.body0};
    if (partner == Partner::Body) moving.push_back(s.body1);
    for (RbdBodyID body : moving) {
        PxVector3 v, w;
        randomVector(rng, 1.0, v);
        randomVector(rng, 1.0, w);
        RbdBodySetLinearVelocity(body, v[0], v[1], v[2]);
        RbdBodySetAngularVelocity(body, w[0], w[1], w[2]);
    }
    const RowSample at = sampleRows(&list, s.c);
    ASSERT_EQ((int32_t)at.phi.size(), jc.rows);
    const std::vector<PxReal> plus = phiAfter(&list, s.c, moving, DT), minus = phiAfter(&list, s.c, moving, -DT);
    ASSERT_EQ(plus.size(), at.phi.size());
    ASSERT_EQ(minus.size(), at.phi.size());
    for (int32_t r = 0; r < jc.checked; ++r) {
        const PxReal rate = (plus[r] - minus[r]) / (2.0 * DT);
        EXPECT_NEAR(at.jv[r], rate, 1e-6 * (1.0 + fabs(rate))) << "row " << r;
    }
    // The world and a frozen body are immovable: their columns stay zero.
    for (int32_t r = 0; r < jc.rows && partner != Partner::Body; ++r)
        for (int32_t col = 6; col < RBD_JACOBIAN_COLUMNS; ++col) EXPECT_EQ(at.jacobian[r][col], 0.0) << r;
    RbdWorldDestroy(s.world);
}

} // namespace

// Also: a joint made where its bodies are has no error in any row, whatever
// the poses.
TEST(RbdJacobian, EveryRowIsTheTimeDerivativeOfItsError)
{
    for (const JointCase &jc : jointCases())
        for (Partner partner : {Partner::Body, Partner::World, Partner::Frozen})
            for (bool randomPoses : {false, true})
                if (jc.poses & (randomPoses ? kRandom : kConsistent))
                    for (unsigned seed = 1; seed <= 6; ++seed) checkCase(jc, partner, randomPoses, seed);
}
