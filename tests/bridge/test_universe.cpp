// The universe's life and its models: the process-wide count that keeps
// the collision library running, refusals, mass properties from geometry
// over random shapes, triangle meshes, the model-body link, freezing, and
// the step's profile sections. Then what the universe adds to the
// mechanics, through SbxUniverseStep alone: sleeping bodies freeze their
// models and wake when hit; kinematic and moved fixed models; a sensor;
// destroying a touching model; the swept step; no allocation once sized.
// Falls, rests and stacks are the dynamics and large-island tests' own.
#include <math.h>
#include <stdio.h>

#include <functional>
#include <random>
#include <string>

#include <gtest/gtest.h>

#include <kelmar/CdxTriangleMesh.h>
#include <kelmar/PxMessage.h>
#include <kelmar/PxMisc.h>

#include "bridge/test_universe_support.h"
#include "common/AllocationCounter.h"
#include "common/MessageLog.h"

namespace {

using sbxtest::translation;
using Warnings = testsupport::MessageLog;

const PxReal kPi = 3.14159265358979323846;

// Room for the six primitives and composites.
const SbxUniverseSizes kSizes = {20, 100, 7, 32, 64, 3};

void identity(PxMatrix4 m)
{
    PxM4Identity(m);
}

class UniverseTest : public sbxtest::UniverseFixture {
protected:
    UniverseTest() : UniverseFixture(kSizes) {}
};

// Universes start the collision library with the first and stop it with
// the last, unless the program started it; a universe left with models
// says so and leaves the library to them; without room for composites
// they are refused; a model is destroyed only by its own universe.
TEST(Universe, TheCollisionLibraryRunsWhileAnyUniverseOrItsModelsLive)
{
    Warnings warnings;
    ASSERT_FALSE(CdxIsInitialized());
    SbxUniverseID first = SbxUniverseCreate(kSizes), second = SbxUniverseCreate(kSizes);
    ASSERT_TRUE(first && second);
    EXPECT_EQ(SbxUniverseGetLiveCount(), 2);
    CdxGeometryID plane = CdxPlaneCreate(), ball = CdxSphereCreate(0.1);
    PxMatrix4 groundPose;
    identity(groundPose);
    CdxModelID ground = SbxFixedModelCreate(second, plane, &groundPose);
    CdxModelID dropped = SbxModelAndBodyCreate(second, ball, 1000.0);
    ASSERT_TRUE(ground && dropped);
    SbxModelDestroy(first, dropped);
    EXPECT_EQ(warnings.warnings,
              std::vector<std::string>{"SbxModelDestroy: the model belongs to another universe.\n"});
    SbxUniverseDestroy(first);
    EXPECT_EQ(SbxUniverseGetLiveCount(), 1);
    // The second universe still simulates: a ball falls onto its ground.
    RbdWorldSetGravity(SbxUniverseGetWorld(second), 0.0, 0.0, -9.81);
    RbdBodySetPosition(CdxModelGetBody(dropped), 0.0, 0.0, 0.5);
    for (int n = 0; n < 100; ++n) SbxUniverseStep(second, 0.01);
    PxVector3 p;
    RbdBodyGetPosition(CdxModelGetBody(dropped), p);
    EXPECT_NEAR(p[2], 0.1, 0.01);
    SbxModelDestroy(second, dropped);
    SbxUniverseDestroy(second);
    EXPECT_TRUE(warnings.warned("SbxUniverseDestroy: 1 models are still in the space"));
    EXPECT_TRUE(CdxIsInitialized()) << "a model outlives its universe";
    CdxModelDestroy(ground);
    CdxGeometryDestroy(ball);
    CdxGeometryDestroy(plane);
    CdxTerm();

    const SbxUniverseSizes noComposites = {4, 4, 6, 4, 4, 1};
    SbxUniverseID u = SbxUniverseCreate(noComposites);
    ASSERT_NE(u, nullptr);
    EXPECT_EQ(SbxCompositeModelAndBodyCreate(u, 2, 1.0), nullptr);
    EXPECT_TRUE(warnings.warned("composites are not registered"));
    EXPECT_EQ(RbdWorldGetTotalBodies(SbxUniverseGetWorld(u)), 0);
    SbxUniverseDestroy(u);
    EXPECT_FALSE(CdxIsInitialized());
    ASSERT_TRUE(CdxInit(8, 16));
    SbxUniverseDestroy(SbxUniverseCreate(kSizes));
    EXPECT_EQ(SbxUniverseGetLiveCount(), 0);
    EXPECT_TRUE(CdxIsInitialized()) << "the program started it";
    CdxTerm();
}

// Each refused call makes nothing and says why in one warning (its text
// starts with the message given).
TEST_F(UniverseTest, RefusedCallsMakeNothingAndWarnOnce)
{
    CdxGeometryID box = keep(CdxBoxCreate(1.0, 1.0, 1.0));
    PxMatrix4 pose, sheared;
    identity(pose);
    identity(sheared);
    sheared[0][1] = 0.5;
    const SbxUniverseSizes fewTypes = {10, 10, 5, 10, 10, 1},
                           badSizes[] = {{-1, 10, 7, 10, 10, 1},    {10, -1, 7, 10, 10, 1}, {10, 10, 7, 0, 10, 1},
                                         {10, 10, 7, 65537, 10, 1}, {10, 10, 7, 10, 1, 1},  {10, 10, 7, 10, 10, 0}};
    struct Case {
        std::function<bool()> refused;
        const char *message;
    };
    std::vector<Case> cases = {
        {[&] { return !SbxUniverseCreate(fewTypes); },
         "SbxUniverseCreate: bad sizes (10 bodies, 10 constraints, 5 geometry types"},
        {[&] { return SbxUniverseStep(nullptr, 0.01), true; }, "SbxUniverseStep: null universe.\n"},
        {[&] { return SbxUniverseStep(universe, 0.0), true; }, "SbxUniverseStep: the step 0 must be > 0"},
        {[&] { return SbxUniverseStep(universe, NAN), true; }, "SbxUniverseStep: the step nan must be > 0"},
        {[&] {
             return SbxUniverseSetStepMethod(universe, 2), SbxUniverseGetStepMethod(universe) == SbxUniverseStepPlain;
         },
         "SbxUniverseSetStepMethod: unknown step method 2"},
        {[&] { return !SbxModelAndBodyCreate(universe, box, 0.0); },
         "SbxModelAndBodyCreate: a body of density 0 on this geometry has no positive mass"},
        {[&] { return !SbxModelAndBodyCreate(universe, box, -1.0); }, "SbxModelAndBodyCreate: a body of density -1"},
        {[&] { return !SbxModelAndBodyCreate(universe, box, INFINITY); },
         "SbxModelAndBodyCreate: a body of density inf"},
        {[&] { return !SbxModelAndBodyCreate(universe, nullptr, 1.0); }, "SbxModelAndBodyCreate: "},
        {[&] { return !SbxFixedModelCreate(universe, box, nullptr); }, "SbxFixedModelCreate: null transform.\n"},
        {[&] { return !SbxKinematicModelCreate(universe, box, &sheared, nullptr, nullptr); },
         "SbxKinematicModelCreate: the transform is not a rotation"},
        {[&] { return !SbxSensorCompositeModelCreate(universe, box, &pose); },
         "SbxSensorCompositeModelCreate: the geometry is not a composite.\n"},
        {[&] { return !SbxModelIsFrozen(nullptr); }, "SbxModelIsFrozen: "},
    };
    for (const SbxUniverseSizes &sizes : badSizes)
        cases.push_back({[&sizes] { return !SbxUniverseCreate(sizes); }, "SbxUniverseCreate: bad sizes ("});
    const int live = SbxUniverseGetLiveCount();
    for (const Case &c : cases) {
        Warnings warnings;
        EXPECT_TRUE(c.refused()) << c.message;
        ASSERT_EQ(warnings.warnings.size(), 1u) << c.message;
        EXPECT_EQ(warnings.warnings[0].rfind(c.message, 0), 0u) << warnings.warnings[0];
    }
    EXPECT_EQ(SbxUniverseGetLiveCount(), live);
    EXPECT_EQ(CdxSpaceGetModelCount(space), 0);
    EXPECT_EQ(RbdWorldGetTotalBodies(world), 0);
}

// Random boxes and balls of random density: mass is volume x density, the
// inertia that of the solid, and model and body see each other (the model
// reads the body's pose). A composite of two random cubes a random
// distance apart has its centre of mass midway and the summed inertia
// about it, and places its elements about its body.
TEST_F(UniverseTest, BodiesTakeTheMassAndInertiaOfTheirGeometryAtRandomSizes)
{
    std::mt19937 rng(5);
    std::uniform_real_distribution<PxReal> size(0.2, 2.0), density(10.0, 2000.0);
    for (int k = 0; k < 10; ++k) {
        const PxReal dx = size(rng), dy = size(rng), dz = size(rng), rho = density(rng);
        const bool ball = k % 2;
        CdxModelID model = dropped(keep(ball ? CdxSphereCreate(dx) : CdxBoxCreate(dx, dy, dz)), 0.0, 0.0, 0.0, rho);
        RbdBodyID b = CdxModelGetBody(model);
        ASSERT_NE(b, nullptr);
        const PxReal m = rho * (ball ? 4.0 / 3.0 * kPi * dx * dx * dx : dx * dy * dz);
        PxMatrix3 expected, inertia;
        if (ball)
            RbdMakeInertiaTensorSphere(m, dx, expected);
        else
            RbdMakeInertiaTensorBox(m, dx, dy, dz, expected);
        RbdBodyGetInertiaTensor(b, inertia);
        EXPECT_NEAR(RbdBodyGetMass(b), m, 1e-9 * m);
        for (int i = 0; i < 3; ++i)
            for (int j = 0; j < 3; ++j) EXPECT_NEAR(inertia[i][j], expected[i][j], 1e-9 * m) << k << i << j;
        EXPECT_EQ(RbdBodyGetModel(b), model);
        EXPECT_TRUE(RbdBodyIsEnabled(b));
        EXPECT_EQ(CdxModelGetSpace(model), space);
        EXPECT_EQ(CdxModelGetResponseID(model), SbxBodyResponseID);
        RbdBodySetPosition(b, 10.0, 0.0, 0.0);
        PxVector3 min, max;
        ASSERT_TRUE(CdxModelGetAABB(model, min, max));
        EXPECT_NEAR(min[0] + max[0], 20.0, 1e-9) << "the model's box follows the body";
    }

    Warnings warnings;
    const PxReal side = size(rng), gap = 2.0 * size(rng) + side, rho = density(rng), m = rho * side * side * side;
    CdxGeometryID cube = keep(CdxBoxCreate(side, side, side));
    CdxModelID left = CdxModelCreate(cube), right = CdxModelCreate(cube);
    PxMatrix4 leftPose, rightPose, leftAt, rightAt;
    translation(leftAt, 0.0, 0.0, 0.0);
    translation(rightAt, gap, 0.0, 0.0);
    CdxModelSetTransformPtr(left, &leftPose);
    CdxModelSetTransformPtr(right, &rightPose);
    CdxModelID composite = SbxCompositeModelAndBodyCreate(universe, 2, rho);
    ASSERT_NE(composite, nullptr);
    RbdBodyID b = CdxModelGetBody(composite);
    EXPECT_EQ(SbxCompositeModelAndBodyBuild(universe, composite), 0);
    EXPECT_TRUE(warnings.warned("SbxAutoSetMassProperties: the model's geometry has no mass properties"));
    EXPECT_FALSE(RbdBodyIsEnabled(b)) << "nothing built without elements";
    ASSERT_TRUE(CdxCompositeModelAddElement(composite, left, &leftAt));
    ASSERT_TRUE(CdxCompositeModelAddElement(composite, right, &rightAt));
    ASSERT_EQ(SbxCompositeModelAndBodyBuild(universe, composite), 1);
    EXPECT_TRUE(RbdBodyIsEnabled(b));
    EXPECT_EQ(CdxModelGetSpace(composite), space);
    EXPECT_NEAR(RbdBodyGetMass(b), 2.0 * m, 1e-9 * m);
    PxMatrix4 com;
    RbdBodyGetCenterOfMassRelativeTransform(b, com);
    EXPECT_NEAR(com[3][0], gap / 2, 1e-12);
    EXPECT_NEAR(com[3][1], 0.0, 1e-12);
    PxMatrix3 inertia;
    RbdBodyGetInertiaTensor(b, inertia);
    EXPECT_NEAR(inertia[1][1], 2.0 * (m * side * side / 6.0 + m * gap * gap / 4.0), 1e-9 * m);
    RbdBodySetPosition(b, 5.0, 0.0, 0.0);
    CdxModelUpdate(composite);
    EXPECT_NEAR(rightPose[3][0], 5.0 + gap, 1e-12);
    SbxModelDestroy(universe, composite);
    CdxModelDestroy(left);
    CdxModelDestroy(right);
}

// A model follows one body: linking a second releases the first, and
// unlinking clears every pointer between them. Resetting dynamics puts a
// body at rest at the origin; a model without body has none to reset.
TEST_F(UniverseTest, ModelAndBodyLinkBothWaysAndResetTogether)
{
    Warnings warnings;
    CdxGeometryID box = keep(CdxBoxCreate(1.0, 1.0, 1.0));
    CdxModelID model = CdxModelCreate(box), other = CdxModelCreate(box);
    RbdBodyID first = RbdBodyCreate(world), second = RbdBodyCreate(world);
    CdxModelSetBody(model, first);
    CdxModelSetBody(other, first);
    EXPECT_EQ(CdxModelGetBody(other), nullptr);
    EXPECT_TRUE(warnings.warned("CdxModelSetBody: the body already has a model"));
    CdxModelSetBody(model, second);
    EXPECT_EQ(RbdBodyGetModel(first), nullptr);
    EXPECT_EQ(RbdBodyGetModel(second), model);
    EXPECT_EQ(static_cast<const void *>(CdxModelGetTransformPtr(model)),
              static_cast<const void *>(RbdBodyGetTransformPtr(second)));
    EXPECT_EQ(CdxModelGetLinearVelocityPtr(model), RbdBodyGetLinearVelocityPtr(second));
    EXPECT_EQ(CdxModelGetAngularVelocityPtr(model), RbdBodyGetAngularVelocityPtr(second));
    CdxModelSetBody(model, nullptr);
    EXPECT_EQ(RbdBodyGetModel(second), nullptr);
    EXPECT_TRUE(!CdxModelGetBody(model) && !CdxModelGetTransformPtr(model) && !CdxModelGetLinearVelocityPtr(model) &&
                !CdxModelGetAngularVelocityPtr(model));
    CdxModelDestroy(model);
    CdxModelDestroy(other);
    RbdBodyDestroy(first);
    RbdBodyDestroy(second);

    CdxModelID crate = dropped(box, 1.0, 2.0, 3.0, 10.0);
    RbdBodyID b = CdxModelGetBody(crate);
    RbdBodySetQuaternion(b, 0.6, 0.8, 0.0, 0.0);
    RbdBodySetLinearVelocity(b, 1.0, 1.0, 1.0);
    RbdBodySetAngularVelocity(b, 2.0, 0.0, 0.0);
    CdxModelDynamicsReset(crate);
    PxMatrix4 pose;
    RbdBodyGetTransform(b, pose);
    EXPECT_TRUE(PxMatrix4IsIdentity(pose, 1e-12));
    PxVector3 v, w;
    RbdBodyGetLinearVelocity(b, v);
    RbdBodyGetAngularVelocity(b, w);
    EXPECT_EQ(PxV3Length(v) + PxV3Length(w), 0.0);
    PxMatrix4 groundPose;
    identity(groundPose);
    CdxModelDynamicsReset(own(SbxFixedModelCreate(universe, keep(CdxPlaneCreate()), &groundPose)));
    EXPECT_EQ(warnings.warnings.back(), "Resetting dynamics on CdxModel with no dynamics.\n");
    EXPECT_EQ(warnings.warnings.size(), 2u);
}

// Both step methods time their collision and dynamics phases; the path
// method's swept update shows as its own section inside "Collision".
TEST_F(UniverseTest, EachStepMethodTimesCollisionAndDynamics)
{
    dropped(keep(CdxSphereCreate(0.1)), 0.0, 0.0, 1.0, 100.0);
    for (int method : {SbxUniverseStepPlain, SbxUniverseStepPath}) {
        SbxUniverseSetStepMethod(universe, method);
        PxProfileStartTiming();
        PxProfileStartFrame();
        SbxUniverseStep(universe, 0.01);
        PxProfileEndFrame();
        FILE *out = tmpfile();
        ASSERT_NE(out, nullptr);
        PxProfileOutputResults(out, 0);
        PxProfileStopTiming();
        rewind(out);
        std::string table;
        char line[256];
        while (fgets(line, sizeof line, out)) table += line;
        fclose(out);
        EXPECT_NE(table.find("\nCollision "), std::string::npos) << table;
        EXPECT_NE(table.find("\nDynamics "), std::string::npos) << table;
        EXPECT_EQ(table.find("CdxSpacePathUpdate") != std::string::npos, method == SbxUniverseStepPath) << table;
    }
}

// A composite sensor made from a caller's composite geometry places its
// elements about its transform at every step.
TEST_F(UniverseTest, ACompositeSensorPlacesItsElements)
{
    CdxGeometryID composite = CdxCompositeGeometryCreate(1);
    CdxModelID element = CdxModelCreate(keep(CdxBoxCreate(1.0, 1.0, 1.0)));
    PxMatrix4 elementPose, elementAt, sensorPose;
    translation(elementAt, 0.0, 0.0, 1.0);
    translation(sensorPose, 20.0, 0.0, 0.0);
    CdxModelSetTransformPtr(element, &elementPose);
    ASSERT_TRUE(CdxCompositeGeometryAddElement(composite, element, &elementAt));
    CdxModelID sensor = SbxSensorCompositeModelCreate(universe, composite, &sensorPose);
    ASSERT_NE(sensor, nullptr);
    EXPECT_EQ(CdxModelGetResponseID(sensor), SbxSensorResponseID);
    SbxUniverseStep(universe, 0.01);
    EXPECT_NEAR(elementPose[3][0], 20.0, 1e-12);
    EXPECT_NEAR(elementPose[3][2], 1.0, 1e-12);
    sensorPose[3][0] = 30.0;
    SbxUniverseStep(universe, 0.01);
    EXPECT_NEAR(elementPose[3][0], 30.0, 1e-12);
    SbxModelDestroy(universe, sensor); // frees the composite geometry
    CdxModelDestroy(element);
}

// Freezing disables and fixes the body and freezes its model; unfreezing
// reverses both, also for a body that was asleep when it was frozen.
TEST_F(UniverseTest, FreezingAModelFreezesItsBodyAndItsPlaceInTheSpace)
{
    CdxModelID crate = dropped(keep(CdxBoxCreate(1.0, 1.0, 1.0)), 0.0, 0.0, 3.0, 10.0);
    RbdBodyID b = CdxModelGetBody(crate);
    for (bool asleep : {false, true}) {
        if (asleep) RbdBodyDisable(b);
        EXPECT_EQ(CdxSpaceModelIsFrozen(crate), asleep); // the world's callback
        SbxModelFreeze(crate);
        EXPECT_TRUE(RbdBodyIsFrozen(b) && !RbdBodyIsEnabled(b) && CdxSpaceModelIsFrozen(crate));
        EXPECT_TRUE(SbxModelIsFrozen(crate));
        SbxModelUnFreeze(crate);
        EXPECT_TRUE(!SbxModelIsFrozen(crate) && RbdBodyIsEnabled(b) && !CdxSpaceModelIsFrozen(crate));
    }
}

const PxReal kG = 9.81;
const PxReal kH = sbxtest::kStep;

const SbxUniverseSizes kSceneSizes = {20, 200, 7, 32, 128, 2};

// The shared universe with the fixed ground plane z = 0.
class UniverseMechanics : public sbxtest::UniverseFixture {
protected:
    UniverseMechanics() : UniverseFixture(kSceneSizes) {}
    void SetUp() override
    {
        UniverseFixture::SetUp();
        ground = fixedAt(keep(CdxPlaneCreate()), 0.0, 0.0, 0.0);
    }
    // Friction in both directions for every pair of default materials.
    void frictional() { SbxBridgeGetContactParams(SbxUniverseGetBridge(universe), 0, 0)->type = 2; }

    CdxModelID ground = nullptr;
};

// Drop, rest on the ground within a millimetre, fall asleep (the model is
// then frozen in the space), and wake when a second ball lands on top.
TEST_F(UniverseMechanics, ADroppedBallComesToRestFallsAsleepAndWakesWhenHit)
{
    const PxReal radius = 0.1;
    CdxGeometryID sphere = keep(CdxSphereCreate(radius));
    CdxModelID ball = dropped(sphere, 0.0, 0.0, 0.5);
    int stepsToSleep = 0;
    while (awake(ball) && stepsToSleep < 2000) {
        SbxUniverseStep(universe, kH);
        ++stepsToSleep;
    }
    ASSERT_FALSE(awake(ball)) << "still awake after 20 s";
    EXPECT_NEAR(height(ball), radius, 0.001);
    EXPECT_TRUE(CdxSpaceModelIsFrozen(ball));
    EXPECT_EQ(RbdWorldGetEnabledBodies(world), 0);

    // Asleep it stays put.
    const PxReal rest = height(ball);
    steps(100);
    EXPECT_EQ(height(ball), rest);

    // The hammer's lowest point starts 0.3 m above the ball's top.
    CdxModelID hammer = dropped(sphere, 0.0, 0.0, rest + 2.0 * radius + 0.3);
    int n = 0;
    while (!awake(ball) && n < 100) {
        SbxUniverseStep(universe, kH);
        ++n;
    }
    EXPECT_TRUE(awake(ball));
    EXPECT_FALSE(CdxSpaceModelIsFrozen(ball));
    EXPECT_GT(contacts(ball, hammer), 0);
    // It wakes within two steps of the hit: after a fall of about 0.25 s.
    EXPECT_NEAR(n * kH, sqrt(2.0 * 0.3 / kG), 2 * kH);
}

// A kinematic box moving at 1 m/s along x wakes a box asleep on the
// frictionless ground and shoves it ahead. The contact sees the pusher as
// standing still, so the box is driven by error correction alone: it
// trails at the depth whose correction speed gamma x depth / h equals the
// pusher's speed.
TEST_F(UniverseMechanics, AKinematicModelWakesAndPushesABody)
{
    CdxGeometryID cube = keep(CdxBoxCreate(1.0, 1.0, 1.0));
    CdxModelID crate = dropped(cube, 0.0, 0.0, 0.5);
    PxMatrix4 pusherPose;
    translation(pusherPose, -1.5, 0.0, 0.52);
    PxVector3 v = {1.0, 0.0, 0.0}, w = {0.0, 0.0, 0.0};
    CdxModelID pusher = own(SbxKinematicModelCreate(universe, cube, &pusherPose, v, w));
    // Pushed at v, the crate sits where the correction of its penetration
    // d, at the rate gamma / h but at most the maximum correcting rate,
    // gives v.
    const PxReal depth = v[0] / fmin(RbdWorldGetGamma(world) / kH, RbdWorldGetMaxCorrectingRate(world));
    PxReal closest = 1e9;
    for (int n = 0; n < 300; ++n) {
        if (n == 45) {
            ASSERT_FALSE(awake(crate)) << "asleep before the pusher arrives";
        }
        SbxUniverseStep(universe, kH);
        pusherPose[3][0] += v[0] * kH;
        PxVector3 p;
        position(crate, p);
        closest = fmin(closest, p[0] - pusherPose[3][0]);
    }
    EXPECT_GT(closest, 1.0 - depth - 0.005);
    PxVector3 p, velocity;
    position(crate, p);
    EXPECT_NEAR(p[0] - pusherPose[3][0], 1.0 - depth, 0.005);
    RbdBodyGetLinearVelocity(CdxModelGetBody(crate), velocity);
    EXPECT_NEAR(velocity[0], v[0], 0.01);
    EXPECT_TRUE(awake(crate));
    EXPECT_GT(contacts(pusher, crate), 0);
    EXPECT_NEAR(height(crate), 0.5, 0.01);
}

// A small ball dropped onto a 2 cm slab falls exactly as a ball beside it
// falls through nothing when the slab is a sensor (which makes no contact)
// or when at 50 m/s it crosses the slab within one plain step; the swept
// step finds the slab and stops it there.
TEST_F(UniverseMechanics, ABallPassesASensorOrAPlainStepsMissAndTheSweptStepStopsIt)
{
    struct Case {
        bool sensor;
        int method;
        PxReal speed;
        bool stopped;
    } const cases[] = {
        {true, SbxUniverseStepPlain, 0.0, false},
        {false, SbxUniverseStepPlain, 50.0, false},
        {false, SbxUniverseStepPath, 50.0, true},
    };
    CdxGeometryID sphere = keep(CdxSphereCreate(0.05)), slab = keep(CdxBoxCreate(2.0, 2.0, 0.02));
    for (const Case &c : cases) {
        const PxReal y = 10.0 * static_cast<PxReal>(&c - cases);
        SbxUniverseSetStepMethod(universe, c.method);
        PxMatrix4 pose; // lives as long as the obstacle
        translation(pose, 0.0, y, 1.0);
        CdxModelID obstacle = own(c.sensor ? SbxSensorModelCreate(universe, slab, &pose)
                                           : SbxFixedModelCreate(universe, slab, &pose));
        CdxModelID through = dropped(sphere, 0.0, y, 1.5), beside = dropped(sphere, 3.0, y, 1.5);
        for (CdxModelID ball : {through, beside}) RbdBodySetLinearVelocity(CdxModelGetBody(ball), 0.0, 0.0, -c.speed);
        for (int n = 0; n < (c.speed > 0.0 ? 5 : 50); ++n) {
            SbxUniverseStep(universe, kH);
            if (!c.stopped) {
                ASSERT_EQ(height(through), height(beside)) << n;
                ASSERT_TRUE(!c.sensor || contacts(obstacle, through) == 0) << n;
            }
        }
        EXPECT_EQ(height(through) > 1.0, c.stopped) << c.sensor << c.method;
        SbxModelDestroy(universe, obstacle);
        forget(obstacle);
    }
}

// Destroying one of two touching boxes destroys their contacts in the same
// call, before its body goes; the other box then falls onto the table.
TEST_F(UniverseMechanics, DestroyingATouchingModelEndsItsContactsAtOnce)
{
    CdxGeometryID cube = keep(CdxBoxCreate(1.0, 1.0, 1.0));
    CdxModelID table = fixedAt(cube, 0.0, 0.0, 1.0);
    CdxModelID lower = dropped(cube, 0.0, 0.0, 2.0);
    CdxModelID upper = dropped(cube, 0.0, 0.0, 3.0);
    steps(20);
    ASSERT_GT(contacts(lower, upper), 0);
    ASSERT_GT(contacts(lower, table), 0);
    ASSERT_EQ(RbdWorldGetTotalConstraints(world), contacts(lower, upper) + contacts(lower, table));

    SbxModelAndBodyDestroy(universe, lower);
    forget(lower);
    EXPECT_EQ(RbdWorldGetTotalConstraints(world), 0);
    EXPECT_EQ(RbdWorldGetTotalBodies(world), 1);
    EXPECT_EQ(CdxSpaceGetModelCount(space), 3);
    // Losing contacts wakes nothing: the program wakes the upper box.
    RbdBodyEnable(CdxModelGetBody(upper));
    steps(100);
    EXPECT_NEAR(height(upper), 2.0, 0.01);
    EXPECT_GT(contacts(upper, table), 0);
}

// Moving a fixed model moves it in the space at once: a box resting on a
// fixed support falls when the support is moved away, even asleep.
TEST_F(UniverseMechanics, MovingAFixedSupportAwayLetsWhatRestedOnItFall)
{
    PxMatrix4 supportPose;
    translation(supportPose, 0.0, 0.0, 1.0);
    CdxModelID support = own(SbxFixedModelCreate(universe, keep(CdxBoxCreate(1.0, 1.0, 1.0)), &supportPose));
    CdxModelID crate = dropped(keep(CdxBoxCreate(0.5, 0.5, 0.5)), 0.0, 0.0, 1.75);
    steps(300);
    ASSERT_FALSE(awake(crate));
    EXPECT_NEAR(height(crate), 1.75, 0.005);

    PxMatrix4 away;
    translation(away, 5.0, 0.0, 1.0);
    SbxModelSetTransform(support, away);
    EXPECT_EQ(supportPose[3][0], 5.0);
    // The pair ends at the next step, and with it its contacts; losing a
    // contact does not wake a sleeping body: the program wakes it.
    steps(10);
    EXPECT_EQ(CdxSpaceGetModelPair(crate, support), nullptr);
    EXPECT_NEAR(height(crate), 1.75, 0.005);
    RbdBodyEnable(CdxModelGetBody(crate));
    steps(100);
    EXPECT_NEAR(height(crate), 0.25, 0.01);
}

// Once a scene's contacts and islands have reached their sizes, steps of
// either method allocate nothing: a stack settling, a ball rolling off it.
TEST_F(UniverseMechanics, StepsAllocateNothingOnceCapacitiesAreReached)
{
    RbdWorldSetAutoDisable(world, 0);
    frictional();
    CdxGeometryID cube = keep(CdxBoxCreate(1.0, 1.0, 1.0));
    for (int k = 0; k < 3; ++k) dropped(cube, 0.1 * k, 0.0, 0.5 + k, 500.0);
    CdxModelID ball = dropped(keep(CdxSphereCreate(0.2)), 0.0, 0.0, 3.5);
    RbdBodySetLinearVelocity(CdxModelGetBody(ball), 0.5, 0.0, 0.0);
    for (int method : {SbxUniverseStepPlain, SbxUniverseStepPath}) {
        SbxUniverseSetStepMethod(universe, method);
        steps(300);
        testsupport::AllocationCounter counter;
        steps(100);
        EXPECT_EQ(counter.allocations(), 0) << "step method " << method;
    }
    testsupport::AllocationCounter counter; // and it does count
    CdxGeometryDestroy(CdxSphereCreate(1.0));
    EXPECT_EQ(counter.allocations(), 1);
}

// Triangle meshes: their type is registered only with room for composites
// too, and only a closed mesh gives its body a mass. How meshes collide is
// the collision tests' own.
// The unit tetrahedron on the origin and the three axes, its faces
// counter-clockwise seen from outside; without its last face it is open.
PxReal corners[4][3] = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
const int faces[4][3] = {{0, 2, 1}, {0, 1, 3}, {0, 3, 2}, {1, 2, 3}};

CdxGeometryID tetrahedron(int faceCount)
{
    CdxGeometryID mesh = CdxTriangleMeshCreate(faceCount);
    for (int f = 0; mesh && f < faceCount; ++f)
        EXPECT_EQ(CdxTriangleMeshAddTriangle(mesh, corners[faces[f][0]], corners[faces[f][1]], corners[faces[f][2]]),
                  1);
    EXPECT_TRUE(mesh && CdxTriangleMeshBuild(mesh) == 1);
    return mesh;
}

TEST(Universe, MeshesComeWithRoomForCompositesAndOnlyAClosedOneGivesABodyMass)
{
    const SbxUniverseSizes primitivesAndComposites = {4, 4, 7, 4, 4, 1}, withMeshes = {20, 400, 8, 32, 256, 2};
    SbxUniverseID u = SbxUniverseCreate(primitivesAndComposites);
    ASSERT_NE(u, nullptr);
    EXPECT_GE(CdxCompositeGetTypeId(), 0);
    EXPECT_LT(CdxTriangleMeshGetTypeId(), 0);
    {
        testsupport::MessageLog log;
        EXPECT_EQ(CdxTriangleMeshCreate(1), nullptr) << "no mesh without its type";
        EXPECT_TRUE(log.warned("CdxTriangleMeshCreate: the triangle mesh type is not registered"));
    }
    SbxUniverseDestroy(u);

    u = SbxUniverseCreate(withMeshes);
    ASSERT_NE(u, nullptr);
    const CdxGeometryTypeID meshType = CdxTriangleMeshGetTypeId();
    EXPECT_EQ(meshType, CdxPrimitivesGetTypeCount());
    EXPECT_EQ(CdxCompositeGetTypeId(), meshType + 1);
    SbxUniverseID second = SbxUniverseCreate(withMeshes);
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(CdxTriangleMeshGetTypeId(), meshType) << "a second universe leaves the registry as it is";
    EXPECT_EQ(CdxGeometryGetRegisteredTypeCount(), 8);
    SbxUniverseDestroy(second);

    CdxGeometryID open = tetrahedron(3), closed = tetrahedron(4);
    ASSERT_FALSE(CdxTriangleMeshIsClosed(open));
    ASSERT_TRUE(CdxTriangleMeshIsClosed(closed));
    {
        testsupport::MessageLog log;
        EXPECT_EQ(SbxModelAndBodyCreate(u, open, 1000.0), nullptr);
        EXPECT_EQ(log.warnings, std::vector<std::string>{
                                    "SbxModelAndBodyCreate: the triangle mesh is not closed (every edge shared "
                                    "by two triangles running opposite ways), so it encloses no volume and a "
                                    "body on it has no mass.\n"});
    }
    EXPECT_EQ(RbdWorldGetTotalBodies(SbxUniverseGetWorld(u)), 0) << "nothing is left behind";
    CdxModelID body = SbxModelAndBodyCreate(u, closed, 1000.0);
    ASSERT_NE(body, nullptr);
    EXPECT_NEAR(RbdBodyGetMass(CdxModelGetBody(body)), 1000.0 / 6.0, 1e-9);
    SbxModelDestroy(u, body);
    CdxGeometryDestroy(open);
    CdxGeometryDestroy(closed);
    SbxUniverseDestroy(u);
    EXPECT_FALSE(CdxIsInitialized());
}

} // namespace
