// One rest solve serves a world's islands in turn (RbdLcsRestSolve.h): a
// chain pressed onto the ground by its motors and, far from it, a resting
// stack of boxes. Islands are solved independently, so each one's motion
// must be what it is in a world of its own; and a step the rest solve
// refuses must be the step of a world that never tried it.
#include <gtest/gtest.h>

#include <math.h>

#include <algorithm>
#include <memory>
#include <vector>

#include <kelmar/Rbd.h>

#include "dynamics/test_step_support.h"
#include "solver/RbdLcsContext.h"
#include "world/RbdWorldRecord.h"

namespace {

const PxReal kH = 0.01, kTorque = 2.0, kSpeed = 0.5; // s, N m, rad/s
const int kLinks = 6, kBoxes = 4, kSteps = 300;      // 54 and 48 rows
const int kTurn = 120, kPush = 200, kPushSteps = 5;  // the motors turn round; the top box is pushed

// The world's rest solve, which its stepper keeps to itself.
struct RestOf : lcs::WorldStepper {
    static lcs::RestSolve &in(RbdWorldID world)
    {
        return world->solver->stepper(world->parameters.stepperModel).*(&RestOf::restSolve_);
    }
};

// Every body's position, orientation and velocities after each step.
using Track = std::vector<std::vector<PxReal>>;

struct Scene {
    steptest::World world{16, 64};
    std::vector<RbdBodyID> links, boxes;
    std::vector<RbdConstraintID> hinges;
    std::vector<RbdContactID> feet;
    std::vector<std::unique_ptr<steptest::BoxOnGround>> stack;
    // A jointed island's friction has bounds of its own (box friction),
    // as the robot layer gives its held contacts; the stack's follows its
    // normal forces.
    RbdContactParams box = steptest::boxFriction(5.0), friction = steptest::proportionalFriction(1.0);

    // Bars of 1 m along x on the ground, hinged about z end to end (the
    // first to the world), each with a foot at its far end.
    Scene(bool chain, bool boxesToo, bool proportionalFeet)
    {
        RbdWorldSetGravity(world, 0, -steptest::kG, 0);
        RbdWorldSetAutoDisable(world, 0);
        for (int i = 0; chain && i < kLinks; ++i) {
            links.push_back(steptest::makeBox(world, 1.0, 1.0, 0.2, 0.4, i + 0.5, 0.1, 0.0));
            hinges.push_back(
                steptest::makeJoint(RbdHingeCreate, world, links[i], i ? links[i - 1] : nullptr, i, 0.1, 0.0));
            feet.push_back(steptest::makeGroundContact(world, links[i], proportionalFeet ? friction : box));
        }
        for (int k = 0; boxesToo && k < kBoxes; ++k) {
            boxes.push_back(steptest::makeBox(world, 1.0, 1.0, 1.0, 1.0, -5.0, 0.5 + k, 5.0));
            stack.emplace_back(
                new steptest::BoxOnGround(world, boxes[k], 1.0, 1.0, 1.0, friction, k ? boxes[k - 1] : nullptr));
        }
    }

    // Step k: the motors press the bars down (lift them from kTurn on,
    // which gravity does not let them), the top box is pushed past its
    // friction for a few steps; rest solve forgotten before step `forget`.
    void step(int k, int forget)
    {
        for (size_t i = 0; i < links.size(); ++i) {
            RbdLimitSetLimitedForceMotor(RbdConstraintGetLimit(hinges[i]), k < kTurn ? -kSpeed : kSpeed, kTorque);
            PxVector3 foot = {0.5, -0.1, 0.0}, p;
            PxV3MulTM(p, foot, RbdBodyGetTransformPtr(links[i]));
            RbdContactSetPosition(feet[i], p[0], 0.0, p[2]);
            RbdContactSetPenetration(feet[i], -p[1]);
        }
        for (auto &box : stack) box->update();
        if (!boxes.empty() && k >= kPush && k < kPush + kPushSteps) RbdBodyAddForce(boxes.back(), 15.0, 0, 0);
        if (k == forget) RestOf::in(world).forget();
        RbdWorldStep(world, kH);
    }
};

void record(Track &track, const std::vector<RbdBodyID> &bodies)
{
    track.emplace_back();
    for (RbdBodyID b : bodies) {
        PxReal s[13];
        RbdBodyGetPosition(b, s);
        RbdBodyGetQuaternion(b, s + 3);
        RbdBodyGetLinearVelocity(b, s + 7);
        RbdBodyGetAngularVelocity(b, s + 10);
        track.back().insert(track.back().end(), s, s + 13);
    }
}

struct Motion {
    Track chain, stack;
    PxReal torque[kSteps]; // of the first motor
};

Motion simulate(bool chain, bool boxes, int forget = -1, bool proportionalFeet = false)
{
    Scene scene(chain, boxes, proportionalFeet);
    Motion m;
    for (int k = 0; k < kSteps; ++k) {
        scene.step(k, forget);
        record(m.chain, scene.links);
        record(m.stack, scene.boxes);
        m.torque[k] = chain ? RbdHingeGetMotorTorque(scene.hinges[0]) : 0.0;
    }
    return m;
}

// The first step at which two tracks differ (kSteps if none).
int firstDifference(const Track &a, const Track &b)
{
    return static_cast<int>(std::mismatch(a.begin(), a.end(), b.begin()).first - a.begin());
}

// The largest difference of two tracks' entries over steps [from, to).
PxReal largestDifference(const Track &a, const Track &b, int from, int to)
{
    PxReal largest = 0.0;
    for (int k = from; k < to; ++k)
        for (size_t i = 0; i < a[k].size(); ++i) largest = fmax(largest, fabs(a[k][i] - b[k][i]));
    return largest;
}

// A world that forgets its rest solve before a step the chain's factor
// serves departs from there; the stack in it is not on that route at all.
TEST(LcsRestShare, AChainAndAStackInOneWorldMoveAsInWorldsOfTheirOwn)
{
    const Motion both = simulate(true, true), chain = simulate(true, false), stack = simulate(false, true);
    EXPECT_EQ(firstDifference(both.chain, chain.chain), kSteps) << "bit for bit, through the push on the stack";
    // While the chain's factor serves, the stack does not take its place,
    // so it is solved in full where a world of its own serves it: the
    // answers agree to far below the solve's tolerance, not in rounding.
    EXPECT_LT(largestDifference(both.stack, stack.stack, 0, kPush), 1e-8);
    EXPECT_LT(largestDifference(both.stack, stack.stack, kPush, kSteps), 3e-8) << "after sliding";
    for (int step : {50, kTurn - 1, kTurn + 1, kPush, kPush + kPushSteps}) {
        const Motion twin = simulate(true, true, step);
        EXPECT_EQ(firstDifference(both.chain, twin.chain), step) << "forgotten at " << step;
        EXPECT_EQ(firstDifference(both.stack, twin.stack), kSteps) << "forgotten at " << step;
    }
    // In a world of its own the stack is served until it is pushed.
    for (int step : {50, kPush - 1})
        EXPECT_EQ(firstDifference(stack.stack, simulate(false, true, step).stack), step) << "forgotten at " << step;
}

// A chain whose feet's friction follows their normal forces is never
// served (the rest solve reads only contact islands' bounds from the last
// step); it must not hold the rest solve and keep the stack off it.
TEST(LcsRestShare, AChainTheRestSolveCannotServeLeavesItToTheStack)
{
    const Motion both = simulate(true, true, -1, true);
    for (int step : {50, kPush - 1}) {
        const Motion twin = simulate(true, true, step, true);
        EXPECT_EQ(firstDifference(both.stack, twin.stack), step) << "forgotten at " << step;
        EXPECT_EQ(firstDifference(both.chain, twin.chain), kSteps) << "forgotten at " << step;
    }
}

// At kTurn the motors' impulses go from one bound to the other and the
// rest solve refuses: that step is solved in full from the states a step
// that never tried would seed (the motors held at their old bound), and
// must be that step bit for bit.
TEST(LcsRestShare, ARefusedStepIsTheStepOfAWorldThatNeverTriedTheRestSolve)
{
    const Motion chain = simulate(true, false), twin = simulate(true, false, kTurn);
    EXPECT_EQ(chain.torque[kTurn - 1], -kTorque) << "the motors press at their bound";
    EXPECT_EQ(chain.torque[kTurn], kTorque);
    EXPECT_EQ(firstDifference(chain.chain, twin.chain), kSteps);
}

} // namespace
