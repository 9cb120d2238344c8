// Driving a hinge of known inertia: the time-optimal approach against the
// bang-bang bound, tracking a moving target, PID control, stops and locks.

#include "KelmarTestSupport.h"

namespace {

using namespace kelmartest;

const std::string kDisc = std::string(kWheel) + kWheelHinge;

// Shortest time to move distance d from rest to rest with |speed| <= v and
// |acceleration| <= a.
double BangBangTime(double d, double v, double a)
{
    return d >= v * v / a ? d / v + v / a : 2.0 * std::sqrt(d / a);
}

struct ApproachCase {
    double target, fraction;
    bool trial; // SetValueOptTrial instead of SetValueOpt
};

// The wooden wheel on its hinge, driven through the hinge's limit.
struct Disc : testing::Test {
    Rig rig{kDisc};
    kelmar::Limit *limit = rig.limit("j");
    const double dt = rig.universe.timeStep;
};

class Approach : public Disc, public testing::WithParamInterface<ApproachCase> {};

// From rest at 0: arrives within 1e-3, overshoots by less than one step at
// the speed bound, never commands more than f x maxSpeed, and arrives
// within 20 % of the bang-bang time of the same bounds.
TEST_P(Approach, ArrivesWithinBoundsAndNearTheBangBangTime)
{
    const ApproachCase c = GetParam();
    const double vmax = c.fraction * limit->maxSpeed;
    const double accel = limit->maxForce / Inertia(rig.solid("wheel"), 2);
    double arrived = -1, overshoot = 0;
    for (int k = 1; k <= 200; ++k) {
        if (c.trial)
            limit->SetValueOptTrial(c.target, c.fraction);
        else
            limit->SetValueOpt(c.target, c.fraction);
        EXPECT_LE(std::fabs(RbdLimitGetMotorDesiredVelocity(limit->GetRbdLimit())), vmax + 1e-12) << "step " << k;
        rig.Steps(1);
        const double error = limit->GetPosition() - c.target;
        overshoot = std::max(overshoot, c.target > 0 ? error : -error);
        if (std::fabs(error) >= 1e-3)
            arrived = -1;
        else if (arrived < 0)
            arrived = k * dt;
    }
    ASSERT_GT(arrived, 0) << "not at the target after 2 s";
    EXPECT_LT(overshoot, vmax * dt);
    const double ideal = BangBangTime(std::fabs(c.target), vmax, accel);
    EXPECT_NEAR(arrived, ideal, 0.2 * ideal) << "bang-bang " << ideal;
}

INSTANTIATE_TEST_SUITE_P(StepsOfOneRadian, Approach,
                         testing::Values(ApproachCase{1, 1, false}, ApproachCase{-1, 1, false},
                                         ApproachCase{1, 0.5, false}, ApproachCase{-1, 0.3, false},
                                         ApproachCase{1, 1, true}, ApproachCase{-1, 0.5, true}));

TEST_F(Disc, AMovingTargetIsFollowedWithLessThanOneStepOfLag)
{
    const double w = 2.0;
    for (int k = 1; k <= 150; ++k) {
        const double target = w * k * dt;
        limit->SetValueOpt(target, 1.0);
        rig.Steps(1);
        if (k > 50) {
            EXPECT_LT(std::fabs(limit->GetPosition() - target), w * dt) << "step " << k;
        }
    }
}

// Gains per step: speed = 10 e + 0.3 sum(e) + 1 d (it overshoots by about a third
// while the integral unwinds the windup of the speed bound, then settles). The wheel starts
// disabled: the drive wakes it.
TEST_F(Disc, APidStepResponseSettles)
{
    limit->SetController(new kelmar::PID(10, 0.3, 1));
    RbdBodyID wheel = rig.solid("wheel")->GetBody();
    RbdBodyDisable(wheel); // the drive must wake what it moves
    for (int k = 0; k < 400; ++k) {
        limit->SetValueCtrl(1.0, 1.0);
        rig.Steps(1);
    }
    EXPECT_TRUE(RbdBodyIsEnabled(wheel));
    EXPECT_NEAR(limit->GetPosition(), 1.0, 1e-3);
    EXPECT_NEAR(limit->GetSpeed(), 0.0, 1e-3);
}

// The control laws on error sequences of known shape: the proportional
// part is g e, the integral sums e, and the derivative estimate sums the
// last two errors less the two before, so a ramp of slope c per call gives
// 4 c and a constant error 0 once four calls are in. PID(g, 0, 0) is the
// linear controller; controllers are made by name.
TEST(Control, TheLawsOfBothControllersOnRampsAndConstants)
{
    std::mt19937 random(5);
    std::uniform_real_distribution<double> value(-3, 3);
    for (int trial = 0; trial < 20; ++trial) {
        const double g = value(random) + 4, c = value(random), e = value(random);
        kelmar::LinearController linear(g);
        kelmar::PID p(g, 0, 0), i(0, g, 0), d(0, 0, g);
        for (int k = 1; k <= 6; ++k) {
            const double current = value(random);
            EXPECT_NEAR(linear.Control(current, current + e), g * e, 1e-12);
            EXPECT_EQ(p.Control(current, current + e), linear.Control(current, current + e));
            EXPECT_NEAR(i.Control(current, current + e), g * e * k, 1e-9);
            const double ramp = d.Control(current, current + c * k);
            if (k >= 4) {
                EXPECT_NEAR(ramp, 4 * c * g, 1e-9) << "call " << k;
            }
        }
        d.Reset();
        double last = 1;
        for (int k = 1; k <= 5; ++k) last = d.Control(0, e);
        EXPECT_NEAR(last, 0, 1e-12);
    }
    std::unique_ptr<kelmar::Controller> pid(kelmar::CreateController("PID")), lin(kelmar::CreateController("LINEAR"));
    EXPECT_STREQ(pid->TypeName(), "PID");
    EXPECT_EQ(pid->NumParams(), 3);
    EXPECT_STREQ(lin->TypeName(), "LINEAR");
    EXPECT_EQ(kelmar::CreateController("FUZZY"), nullptr);
}

// Pushed outwards at 3 rad/s for 2 s, a hard stop at 0.5 engages one step
// after the joint passes it: the joint never gets further past than one
// step of travel at that speed, and rests on the stop within the
// stop row's softness afterwards.
TEST_F(Disc, AJointDrivenIntoItsStopStaysAtIt)
{
    limit->SetLimits(-0.5, 0.5);
    double worst = 0, late = 0;
    for (int k = 0; k < 200; ++k) {
        limit->SetSpeed(3.0);
        rig.Steps(1);
        const double past = limit->GetPosition() - 0.5;
        worst = std::max(worst, past);
        if (k >= 100) late = std::max(late, std::fabs(past));
    }
    EXPECT_LT(worst, 3.0 * dt);
    EXPECT_LT(late, 1e-6);
}

// A tenth of the lock force (10000 kg cm^2/s^2) turns the locked wheel by
// less than 1e-4 rad over 5 s.
TEST_F(Disc, ALockHoldsATenthOfItsForce)
{
    RbdBodyID wheel = rig.solid("wheel")->GetBody();
    limit->SetLock(true);
    const double start = limit->GetPosition();
    double drift = 0;
    for (int k = 0; k < 500; ++k) {
        RbdBodyAddTorque(wheel, 0, 0, 0.1 * limit->lockForce);
        rig.Steps(1);
        drift = std::max(drift, std::fabs(limit->GetPosition() - start));
    }
    EXPECT_LT(drift, 1e-4);
    EXPECT_GT(drift, 0.0); // it is held by a force, not by freezing
}

} // namespace
