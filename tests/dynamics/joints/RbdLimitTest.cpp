// Joint limits: stops, motor, lock and controller; the joint coordinate
// across steps; the actuation row; and the agreement in sign of a joint's
// position, velocity and actuation row.
#include <gtest/gtest.h>

#include <math.h>
#include "dynamics/test_step_support.h"

using namespace rbdtest;

namespace {

const RbdBclParameters PARAMETERS = {0.01, 1e-6, 0.12};

// A hinge of body 0 to the world about z through the origin, or a
// prismatic joint along z, and the rows it builds.
struct LimitedJoint : testing::Test {
    World world{2, 2};
    RbdBodyID body = RbdBodyCreate(world);
    RbdConstraintID c = nullptr;
    RbdLimit *limit = nullptr;
    OwnRowList rows;
    RbdLcsConstraints &list = rows.list;
    const PxVector3 origin = {0.0, 0.0, 0.0};
    const PxVector3 zAxis = {0.0, 0.0, 1.0};

    void make(RbdConstraintID (*create)(RbdWorldID))
    {
        c = steptest::makeJoint(create, world, body, nullptr, 0.0, 0.0, 0.0);
        limit = RbdConstraintGetLimit(c);
    }
    int32_t build() { return buildRows(&list, c, PARAMETERS); }
    // Turns the hinge by angle in steps small enough to follow it, measuring after each.
    void turn(PxReal angle)
    {
        const int steps = (int)ceil(fabs(angle) / 0.5);
        for (int i = 0; i < steps; ++i) {
            rotateBodyAbout(body, origin, zAxis, angle / steps);
            build();
        }
    }
};

} // namespace

// Stops keep magnitudes (restitution clamped to [0, 1]); a stop set past
// the other pulls the other along. Motor and lock take turns, and either
// (or active stops) has the position measured.
TEST(RbdLimit, StopsKeepMagnitudesAndMotorAndLockTakeTurns)
{
    RbdLimit limit;
    RbdLimitReset(&limit);
    RbdSingleLimit stop = {2.0, -10.0, -1.0, 3.0}, lower, upper;
    RbdLimitSetUpperLimit(&limit, &stop);
    stop.stop = 3.0;
    RbdLimitSetLowerLimit(&limit, &stop);
    RbdLimitGetLowerLimit(&limit, &lower);
    RbdLimitGetUpperLimit(&limit, &upper);
    EXPECT_EQ(std::vector<PxReal>({lower.stop, upper.stop, lower.stiffness, lower.damping, lower.restitution}),
              std::vector<PxReal>({3.0, 3.0, 10.0, 1.0, 1.0}));
    stop.stop = -1.0;
    RbdLimitSetUpperLimit(&limit, &stop);
    EXPECT_EQ(limit.lower.stop, -1.0);
    RbdSingleLimitSetRestitution(&stop, -0.5);
    EXPECT_EQ(RbdSingleLimitGetRestitution(&stop), 0.0);
    EXPECT_FALSE(RbdLimitPositionIsCalculated(&limit)) << "stops set, not active";
    RbdLimitSetLimitedForceMotor(&limit, 1.5, -20.0);
    EXPECT_TRUE(RbdLimitIsMotorized(&limit));
    EXPECT_EQ(RbdLimitGetMotorMaxForce(&limit), 20.0);
    EXPECT_TRUE(RbdLimitPositionIsCalculated(&limit));
    RbdLimitSetLock(&limit, 0.3, 10.0);
    EXPECT_TRUE(RbdLimitIsLocked(&limit));
    EXPECT_FALSE(RbdLimitIsMotorized(&limit));
    EXPECT_EQ(RbdLimitGetMotorDesiredVelocity(&limit), 0.0);
    EXPECT_EQ(RbdLimitGetMotorMaxForce(&limit), 10.0);
    RbdLimitActivateMotor(&limit, 1);
    EXPECT_FALSE(RbdLimitIsLocked(&limit));
    RbdLimitActivateLock(&limit, 1);
    EXPECT_FALSE(RbdLimitIsMotorized(&limit));
    RbdLimitSetLock(&limit, 0.3, 0.0); // a lock without force is inactive
    EXPECT_FALSE(RbdLimitIsLocked(&limit));
    RbdLimitSetLimitedForceMotor(&limit, 1.0, 0.0);
    EXPECT_FALSE(RbdLimitIsMotorized(&limit));
    RbdLimitActivateLimits(&limit, 0);
    EXPECT_FALSE(RbdLimitPositionIsCalculated(&limit));
}

TEST(RbdLimit, TheControllerIsASaturatedProportionalServo)
{
    RbdLimit limit;
    RbdLimitReset(&limit);
    limit.rawPosition = 1.05; // reads 1.05 with no offset
    RbdLimitController(&limit, 1.0, 0.1, 2.0, 7.0);
    EXPECT_DOUBLE_EQ(RbdLimitGetMotorDesiredVelocity(&limit), -1.0);
    EXPECT_EQ(RbdLimitGetMotorMaxForce(&limit), 7.0);
    EXPECT_TRUE(RbdLimitPositionIsCalculated(&limit));
    RbdLimitController(&limit, 1.5, 0.1, 2.0, 7.0);
    EXPECT_EQ(RbdLimitGetMotorDesiredVelocity(&limit), 2.0);
    RbdLimitController(&limit, 0.0, 0.1, 2.0, 7.0);
    EXPECT_EQ(RbdLimitGetMotorDesiredVelocity(&limit), -2.0);
    RbdLimitController(&limit, 1.05, 0.0, 2.0, 7.0);
    EXPECT_EQ(RbdLimitGetMotorDesiredVelocity(&limit), 0.0);
    // Setting the position replaces the measured coordinate's reading.
    limit.rawPosition = 0.5;
    RbdLimitSetPosition(&limit, -2.0);
    EXPECT_DOUBLE_EQ(RbdLimitGetPosition(&limit), -2.0);
    limit.rawPosition = 0.75;
    EXPECT_DOUBLE_EQ(RbdLimitGetPosition(&limit), -1.75);
}

// A stop pushes outward only, reverses only a joint still going out, and
// is off without stiffness; how hard it pushes is the stepped joints' test.
TEST_F(LimitedJoint, AStopPushesOutwardOnlyBouncesAnOutgoingJointAndNeedsStiffness)
{
    make(RbdHingeCreate);
    setStops(limit, -0.5, 0.5); // hard, restitution 1
    build();
    turn(-0.7);
    RbdBodySetAngularVelocity(body, 0.0, 0.0, 2.0); // coming back inside
    ASSERT_EQ(build(), 6);
    EXPECT_NEAR(list.phi[5], -0.2, 1e-12);
    EXPECT_EQ(list.lo[5], 0.0);
    EXPECT_EQ(list.hi[5], RBD_REAL_MAX);
    EXPECT_EQ(list.c[5], 0.0);
    RbdBodySetAngularVelocity(body, 0.0, 0.0, -2.0); // going further out
    ASSERT_EQ(build(), 6);
    EXPECT_DOUBLE_EQ(list.c[5], 2.0);
    RbdSingleLimit off = {-0.5, 0.0, 1.0, 1.0};
    RbdLimitSetLowerLimit(limit, &off);
    EXPECT_EQ(build(), 5);
}

// Each joint moved rigidly at a known rate by a fresh body at the origin:
// its position, its velocity and its actuation row's J v agree with the
// rate in sign and size. The hinge is also turned the other way by body 1,
// which is the same relative motion.
TEST_F(LimitedJoint, PositionVelocityAndActuationRowAgreeInSign)
{
    const struct {
        const char *name;
        RbdConstraintID (*create)(RbdWorldID);
        int32_t row;
        PxReal rate;
        bool byBody1;                 // a second body moves, body 0 stays
        PxReal linear[3], angular[3]; // the mover's velocity
    } cases[] = {
        {"hinge turned by body 0", RbdHingeCreate, 5, 0.7, false, {0, 0, 0}, {0, 0, 0.7}},
        {"hinge turned back by body 1", RbdHingeCreate, 5, 0.3, true, {0, 0, 0}, {0, 0, -0.3}},
        {"prismatic", RbdPrismaticCreate, 5, -0.4, false, {0, 0, -0.4}, {0, 0, 0}},
        {"spring moving away from its anchor", RbdSpringCreate, 0, 0.25, false, {0, 0.25, 0}, {0, 0, 0}},
    };
    for (const auto &k : cases) {
        SCOPED_TRACE(k.name);
        body = RbdBodyCreate(world);
        make(k.create);
        RbdBodyID mover = k.byBody1 ? RbdBodyCreate(world) : body;
        if (k.byBody1) RbdConstraintSetBodies(c, body, mover);
        if (k.create == RbdSpringCreate) {
            const PxVector3 end0 = {0.0, 0.0, 0.0}, end1 = {0.0, -1.0, 0.0};
            RbdConstraintBodySetPosition(c, 0, end0);
            RbdConstraintBodySetPosition(c, 1, end1);
            RbdSpringSetStiffness(c, 10.0);
        }
        RbdBodySetLinearVelocity(mover, k.linear[0], k.linear[1], k.linear[2]);
        RbdBodySetAngularVelocity(mover, k.angular[0], k.angular[1], k.angular[2]);
        RbdLimitSetLimitedForceMotor(limit, 1.0, 5.0); // the motor keeps the actuation row present
        build();
        const PxReal start = RbdLimitGetPosition(limit), dt = 0.01;
        for (int i = 0; i < 10; ++i) {
            moveBodyRigidly(mover, dt);
            build();
            EXPECT_NEAR(RbdLimitGetVelocity(limit), k.rate, 1e-12);
            EXPECT_NEAR(RbdBclRowVelocity(&list, k.row, c), k.rate, 1e-12);
            if (k.create == RbdHingeCreate) {
                EXPECT_NEAR(RbdHingeGetRate(c), k.rate, 1e-12);
            }
        }
        EXPECT_NEAR(RbdLimitGetPosition(limit) - start, 10 * dt * k.rate, 1e-9);
        if (k.create == RbdSpringCreate) {
            EXPECT_NEAR(RbdSpringGetLength(c), 1.0 + 0.025, 1e-12);
        }
    }
}

TEST_F(LimitedJoint, CarWheelAnglesAndTheirRowsAgreeInSign)
{
    RbdBodyID wheel = RbdBodyCreate(world);
    c = RbdCarWheelCreate(world);
    RbdConstraintSetBodies(c, body, wheel);
    RbdCarWheelSetPosition(c, 0.0, 0.0, 0.0);
    RbdCarWheelSetSteeringAxis(c, 0.0, 1.0, 0.0);
    RbdCarWheelSetHingeAxis(c, 1.0, 0.0, 0.0);
    RbdCarWheelSetHingeLimitedForceMotor(c, 5.0, 2.0);
    const PxVector3 up = {0.0, 1.0, 0.0};
    // The wheel steers at 0.4 rad/s, spins at 3 rad/s and rises at 0.1 m/s.
    PxReal steering = 0.0, spin = 0.0;
    for (int i = 0; i < 10; ++i) {
        PxVector3 hinge, w, rise = {0.0, 0.001, 0.0};
        RbdCarWheelGetHingeAxis(c, hinge);
        PxV3Scale(w, hinge, 3.0);
        PxV3AddScaled(w, w, up, 0.4);
        RbdBodySetAngularVelocity(wheel, w[0], w[1], w[2]);
        RbdBodySetLinearVelocity(wheel, 0.0, 0.1, 0.0);
        EXPECT_NEAR(RbdCarWheelGetSteeringAngleRate(c), 0.4, 1e-12);
        EXPECT_NEAR(RbdCarWheelGetHingeAngleRate(c), 3.0, 1e-12);
        EXPECT_NEAR(RbdCarWheelGetSuspensionRate(c), 0.1, 1e-12);
        ASSERT_EQ(buildRows(&list, c, PARAMETERS), 6);
        EXPECT_NEAR(RbdBclRowVelocity(&list, 4, c), 0.4, 1e-12);
        EXPECT_NEAR(RbdBclRowVelocity(&list, 5, c), 3.0, 1e-12);
        EXPECT_NEAR(RbdBclRowVelocity(&list, 0, c), 0.1, 1e-12);
        PxVector3 centre;
        RbdCarWheelGetPosition(c, centre);
        rotateBodyAbout(wheel, centre, up, 0.004);
        RbdCarWheelGetHingeAxis(c, hinge);
        rotateBodyAbout(wheel, centre, hinge, 0.03);
        translateBody(wheel, rise);
        steering += 0.004;
        spin += 0.03;
    }
    EXPECT_NEAR(RbdCarWheelGetSteeringAngle(c), steering, 1e-12);
    EXPECT_NEAR(RbdCarWheelGetHingeAngle(c), spin, 1e-12);
    EXPECT_NEAR(RbdCarWheelGetSuspensionHeight(c), 0.01, 1e-12);
}
