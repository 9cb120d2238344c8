// The built-in scenes start exactly as the benchmark definitions say, run
// as expected for a few steps, and a scene saved to a toolkit file runs
// the same when loaded back.
#include <math.h>
#include <unistd.h>

#include <set>
#include <string>

#include <gtest/gtest.h>

#include <kelmar/PxFile.h>
#include <kelmar/PxVector.h>

#include "SimSceneFile.h"
#include "SimScenes.h"

namespace {

void expectPosition(RbdBodyID body, double x, double y, double z)
{
    PxVector3 p;
    RbdBodyGetPosition(body, p);
    const double want[3] = {x, y, z};
    for (int a = 0; a < 3; ++a) EXPECT_NEAR(p[a], want[a], 1e-12) << "axis " << a;
}

void expectMass(RbdBodyID body, double mass, double ixx, double iyy, double izz)
{
    EXPECT_NEAR(RbdBodyGetMass(body), mass, 1e-9 * mass);
    PxMatrix3 inertia;
    RbdBodyGetInertiaTensor(body, inertia);
    // The definitions give the inertia to six significant digits.
    const double want[3] = {ixx, iyy, izz};
    for (int a = 0; a < 3; ++a) EXPECT_NEAR(inertia[a][a], want[a], 1e-5 * want[a]) << "axis " << a;
    EXPECT_EQ(inertia[0][1], 0.0);
}

// Every benchmark scene: gravity 9.81 down z, friction 0.5 proportional to
// the load in two directions, no restitution.
void expectBenchmarkWorld(ksim::Scene &scene)
{
    PxVector3 g;
    RbdWorldGetGravity(scene.world(), g);
    EXPECT_EQ(g[0], 0.0);
    EXPECT_EQ(g[2], -9.81);
    const RbdContactParams *p = SbxBridgeGetContactParams(scene.bridge(), 0, 0);
    EXPECT_EQ(p->type, 2);
    EXPECT_EQ(RbdContactParamsGetFrictionModel(p), 1);
    EXPECT_EQ(RbdContactParamsGetFrictionCoefficient(p), 0.5);
    EXPECT_EQ(p->restitution, 0.0);
}

TEST(SimScenes, TheStackStartsWithTenOneKilogramCubesEachOneMillimetreIntoTheNext)
{
    auto scene = ksim::buildStack();
    ASSERT_TRUE(scene->valid());
    ASSERT_EQ(scene->bodies().size(), 10u);
    for (int k = 0; k < 10; ++k) {
        expectPosition(scene->bodies()[k].body, 0.0, 0.0, 0.499 + 0.999 * k);
        expectMass(scene->bodies()[k].body, 1.0, 1.0 / 6.0, 1.0 / 6.0, 1.0 / 6.0);
    }
    expectBenchmarkWorld(*scene);
    EXPECT_EQ(scene->figures().words, "top_drift_xy=0.000e+00 m top_dz=+0.000e+00 m stands=yes vmax=0.00e+00");
}

TEST(SimScenes, ThePileStartsWithAThousandJitteredBallsInsideFourWalls)
{
    auto scene = ksim::buildPile();
    ASSERT_TRUE(scene->valid());
    ASSERT_EQ(scene->bodies().size(), 1000u);
    const double mass = 4.0 / 3.0 * M_PI * 1e-3 * 1000.0; // 4.18879 kg
    expectMass(scene->bodies()[0].body, mass, 0.0167552, 0.0167552, 0.0167552);
    // Ball 123 is i = 3, j = 2, k = 1, jittered by (7 * 123) mod 11 - 5 = -2
    // and (13 * 123) mod 11 - 5 = -1 steps of 4 mm.
    expectPosition(scene->bodies()[123].body, -1.125 + 0.75 - 0.008, -1.125 + 0.5 - 0.004, 0.55);
    // Ball 999: (7 * 999) mod 11 - 5 = 3 and (13 * 999) mod 11 - 5 = 2.
    expectPosition(scene->bodies()[999].body, -1.125 + 2.25 + 0.004 * 3, -1.125 + 2.25 + 0.004 * 2, 0.3 + 2.25);
    expectBenchmarkWorld(*scene);
    EXPECT_EQ(CdxSpaceGetModelCount(scene->space()), 1005);

    // The fixed boxes are the walls: inner faces at |x| or |y| = 1.5, 4 m high.
    int walls = 0;
    for (const ksim::Drawable &d : scene->drawables()) {
        if (d.role != ksim::Role::Fixed || CdxGeometryGetTypeId(d.geometry) != CdxBoxGetTypeId()) continue;
        PxVector3 lo, hi;
        ASSERT_TRUE(CdxGeometryGetAABB(d.geometry, d.transform, lo, hi));
        const double inner = std::min({fabs(lo[0]), fabs(hi[0]), fabs(lo[1]), fabs(hi[1])});
        EXPECT_NEAR(inner, 1.5, 1e-12);
        EXPECT_NEAR(lo[2], 0.0, 1e-12);
        EXPECT_NEAR(hi[2], 4.0, 1e-12);
        ++walls;
    }
    EXPECT_EQ(walls, 4);
    EXPECT_EQ(scene->figures().words, "in_contact=0/1000 escaped=0 vmax=0.000 ncp=0 ke_max=0.0e+00 pen_max=0.0000");
}

TEST(SimScenes, TheChainStartsAsFiftyFourKilogramLinksAlongXHingedAboutY)
{
    auto scene = ksim::buildChain();
    ASSERT_TRUE(scene->valid());
    ASSERT_EQ(scene->bodies().size(), 50u);
    for (int k = 0; k < 50; k += 7) {
        expectPosition(scene->bodies()[k].body, 0.2 + 0.4 * k, 0.0, 0.0);
        expectMass(scene->bodies()[k].body, 4.0, 0.0066667, 0.0566667, 0.0566667);
    }
    EXPECT_EQ(RbdWorldGetEnabledConstraints(scene->world()), 50);
    PxVector3 axis;
    RbdConstraintID first = RbdConstraintGetFirst(scene->world());
    RbdConstraintGetAxis(first, axis);
    EXPECT_EQ(RbdConstraintGetTypeId(first), RBD_TYPE_HINGE);
    EXPECT_NEAR(fabs(axis[1]), 1.0, 1e-12);
    EXPECT_EQ(CdxSpaceGetModelCount(scene->space()), 0) << "the chain has no collision models";
    const std::string words = scene->figures().words;
    EXPECT_EQ(words.substr(0, 8), "gap_end=");
    EXPECT_LT(std::stod(words.substr(8)), 1e-12) << words;
    EXPECT_EQ(words.substr(words.find(" m gap_max")), " m gap_max=0.000e+00 m tip_z=0.000");
}

TEST(SimScenes, TheBoxesStartAsFiveHundredTurnedCubesOfEightKilograms)
{
    auto scene = ksim::buildBoxes();
    ASSERT_TRUE(scene->valid());
    ASSERT_EQ(scene->bodies().size(), 500u);
    RbdBodyID box13 = scene->bodies()[13].body; // i = 3, j = 1, k = 0; 13 mod 8 = 5
    expectMass(box13, 8.0, 0.0533333, 0.0533333, 0.0533333);
    expectPosition(box13, -1.8 + 1.2 - 0.008, -1.8 + 0.4 - 0.004, 0.3);
    PxQuaternion q;
    RbdBodyGetQuaternion(box13, q);
    const double half = 5.0 * M_PI / 16.0;
    EXPECT_NEAR(q[0], cos(half), 1e-12);
    EXPECT_NEAR(q[1], sin(half) / sqrt(14.0), 1e-12);
    EXPECT_NEAR(q[2], 2.0 * sin(half) / sqrt(14.0), 1e-12);
    EXPECT_NEAR(q[3], 3.0 * sin(half) / sqrt(14.0), 1e-12);
    expectBenchmarkWorld(*scene);
    EXPECT_EQ(scene->figures().words, "vmax=0.000 below_ground=0 zmin=0.3000 ncp=0 ke_max=0.0e+00 pen_max=0.0000");
}

TEST(SimScenes, TheChainHoldsTogetherOverItsFirstSteps)
{
    auto chain = ksim::buildChain();
    ksim::setSleeping(*chain, false);
    for (int n = 0; n < 40; ++n) {
        chain->step(ksim::kBenchStep);
        chain->observe();
    }
    std::vector<ksim::BodyState> links = ksim::readStates(chain->bodyIds());
    const PxVector3 origin = {0, 0, 0};
    EXPECT_LT(ksim::chainGap(links, 0.4, origin), 0.005);
    EXPECT_LT(links.back().position[2], -0.5) << "the free end falls";
    EXPECT_NEAR(chain->time(), 0.4, 1e-12);
}

// The stack stands at the benchmark's step, every interface touching, and
// smaller steps are no less stable: the stack's 1 mm overlaps are pushed
// out at no more than the penetration's correcting rate, whatever the step,
// so no box ever moves at 0.1 m/s (ten interfaces add up to 0.08 m/s).
TEST(SimScenes, AtEveryStepFromTenMicrosecondsToTenMillisecondsTheStackNeverReachesATenthOfAMetrePerSecond)
{
    for (const PxReal h : {1e-5, 1e-4, 1e-3, 1e-2}) {
        auto stack = ksim::buildStack();
        ksim::setSleeping(*stack, false);
        const int steps = static_cast<int>(fmin(3.0, 5000.0 * h) / h);
        PxReal fastest = 0.0;
        for (int n = 0; n < steps; ++n) {
            stack->step(h);
            for (const ksim::BodyState &box : ksim::readStates(stack->bodyIds()))
                fastest = fmax(fastest, PxV3Length(box.velocity));
        }
        EXPECT_LT(fastest, 0.1) << "step " << h;
        EXPECT_NE(stack->figures().words.find("stands=yes"), std::string::npos) << "step " << h;
        if (h == ksim::kBenchStep) {
            EXPECT_GE(ksim::countContacts(stack->world()), 10 * 3) << "every interface touches";
        }
    }
}

// With a tight LCP tolerance every solve of the stack is exact: the ten
// boxes push their millimetre overlaps out, stop, and stay exactly where
// they are (at the world's tolerance of 0.001 N s they keep trembling at
// centimetres per second).
TEST(SimScenes, WithATightLcpToleranceTheStackComesToRestWithoutDrifting)
{
    auto stack = ksim::buildStack();
    ksim::setSleeping(*stack, false);
    RbdWorldLCPSetTolerance(stack->world(), 1e-9);
    for (int n = 0; n < 300; ++n) stack->step(ksim::kBenchStep);
    std::vector<ksim::BodyState> boxes = ksim::readStates(stack->bodyIds());
    for (size_t k = 0; k < boxes.size(); ++k) {
        const ksim::BodyState &box = boxes[k];
        EXPECT_LT(PxV3Length(box.velocity), 1e-6) << "box " << k;
        EXPECT_LT(hypot(box.position[0], box.position[1]), 1e-6) << "box " << k;
        EXPECT_NEAR(box.position[2], 0.5 + 1.0 * k, 2e-3) << "box " << k << ": the overlap is pushed out";
    }
}

// One of everything: each primitive shape, a composite, a sensor, a
// kinematic and fixed models, and hinges; after 3 s the rollers have gone
// through the gate and the pusher has moved at its speed.
TEST(SimScenes, TheShowcaseHasOneOfEverythingAndItsPartsDoTheirWork)
{
    auto scene = ksim::buildShowcase();
    ASSERT_TRUE(scene->valid());
    std::set<int> types;
    std::set<ksim::Role> roles;
    for (const ksim::Drawable &d : scene->drawables()) {
        types.insert(CdxGeometryGetTypeId(d.geometry));
        roles.insert(d.role);
    }
    for (int type : {CdxSphereGetTypeId(), CdxBoxGetTypeId(), CdxPlaneGetTypeId(), CdxCylinderGetTypeId(),
                     CdxConeGetTypeId(), CdxTriangleListGetTypeId()})
        EXPECT_EQ(types.count(type), 1u) << CdxGeometryGetTypeNameFromId(type);
    EXPECT_EQ(roles.size(), 4u) << "bodies, fixed, kinematic and sensor shapes";
    int composites = 0, hinges = 0;
    CdxSpaceModelIterator it;
    CdxSpaceModelIteratorBegin(scene->space(), &it);
    CdxModelID model;
    while (CdxSpaceGetModel(scene->space(), &it, &model)) composites += CdxModelIsComposite(model);
    for (RbdConstraintID c = RbdConstraintGetFirst(scene->world()); c; c = RbdConstraintGetNext(c))
        hinges += RbdConstraintGetTypeId(c) == RBD_TYPE_HINGE;
    EXPECT_EQ(composites, 1);
    EXPECT_EQ(hinges, 3);

    PxReal pusherStart = 0;
    for (const ksim::Drawable &d : scene->drawables())
        if (d.role == ksim::Role::Kinematic) pusherStart = d.transform[3][1];
    for (int n = 0; n < 300; ++n) {
        scene->step(0.01);
        scene->observe();
    }
    for (const ksim::Drawable &d : scene->drawables()) {
        if (d.role == ksim::Role::Kinematic) {
            EXPECT_NEAR(d.transform[3][1] - pusherStart, 0.4 * 2.5, 0.4 * 0.011);
        }
    }
    const std::string words = scene->figures().words;
    EXPECT_NE(words.find("sensor_entries=2"), std::string::npos) << words;
    PxVector3 ball;
    RbdBodyGetPosition(scene->bodies()[0].body, ball);
    EXPECT_GT(ball[0], 0.0) << "the ball rolled down the ramp and through the gate";
    EXPECT_LT(ball[0], 0.8) << "and stopped at the bumper";
}

// Saved to a toolkit scene file and loaded back, the stack is the same
// stack: same bodies, world, sleep settings and friction, and it moves the
// same. (The file
// is loaded first: the first universe alive sizes the collision library.)
// Only the first steps are compared: the file keeps seven digits, and the
// four contacts of a face make a degenerate problem whose solution jumps
// with the last digits after a few steps.
TEST(SimScenes, AStackSavedToASceneFileRunsTheSameWhenLoadedBack)
{
    const std::string path = testing::TempDir() + "kelmar-sim-stack-" + std::to_string(getpid()) + ".xml";
    {
        auto saved = ksim::buildStack();
        RbdWorldSetAutoDisableAveragingWindow(saved->world(), 7); // not the defaults
        RbdWorldSetAutoDisableRestSpeed(saved->world(), 0.25);
        ASSERT_EQ(SbxUniverseSaveFile(saved->universe(), path.c_str(), nullptr, 0), 1);
    }
    std::string error;
    auto loaded = ksim::loadSceneFile(path, &error);
    unlink(path.c_str());
    ASSERT_TRUE(loaded) << error;
    EXPECT_EQ(RbdWorldGetAutoDisableAveragingWindow(loaded->world()), 7);
    EXPECT_EQ(RbdWorldGetAutoDisableRestSpeed(loaded->world()), 0.25);
    auto original = ksim::buildStack();
    ksim::setSleeping(*original, false);
    ksim::setSleeping(*loaded, false);
    ASSERT_EQ(loaded->bodies().size(), 10u);
    // The file names the bodies its own way: pair them up by place.
    std::vector<RbdBodyID> twin(10, nullptr);
    for (int k = 0; k < 10; ++k) {
        PxVector3 a, b;
        RbdBodyGetPosition(original->bodies()[k].body, a);
        for (const ksim::NamedBody &candidate : loaded->bodies()) {
            RbdBodyGetPosition(candidate.body, b);
            if (PxV3Distance(a, b) < 1e-6) twin[k] = candidate.body;
        }
        ASSERT_NE(twin[k], nullptr) << "no loaded box where box " << k << " stands";
        EXPECT_NEAR(RbdBodyGetMass(twin[k]), 1.0, 1e-6);
    }
    PxVector3 gravity;
    RbdWorldGetGravity(loaded->world(), gravity);
    EXPECT_EQ(gravity[2], -9.81);
    const RbdContactParams *friction = SbxBridgeGetContactParams(loaded->bridge(), 0, 0);
    EXPECT_EQ(friction->type, 2);
    EXPECT_EQ(RbdContactParamsGetFrictionCoefficient(friction), 0.5);
    for (int n = 0; n < 3; ++n) {
        original->step(0.01);
        loaded->step(0.01);
    }
    for (int k = 0; k < 10; ++k) {
        PxVector3 a, b;
        RbdBodyGetPosition(original->bodies()[k].body, a);
        RbdBodyGetPosition(twin[k], b);
        EXPECT_LT(PxV3Distance(a, b), 1e-6) << k;
    }
    EXPECT_EQ(ksim::countContacts(loaded->world()), ksim::countContacts(original->world()));
}

} // namespace
