// The universe's life and its models: the process-wide count that keeps
// the collision library running, refusals, mass properties from geometry
// over random shapes, the model-body link, freezing, and the step's
// profile sections.
#include <math.h>
#include <stdio.h>

#include <functional>
#include <random>
#include <string>

#include <gtest/gtest.h>

#include <kelmar/PxMessage.h>
#include <kelmar/PxMisc.h>

#include "bridge/test_universe_support.h"
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

} // namespace
