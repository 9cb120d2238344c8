// The universe's life and its models: creation, the process-wide count
// that keeps the collision library running, the step's profile sections,
// mass properties from geometry, the model-body link, models without
// bodies, and freezing.
#include <math.h>
#include <stdio.h>

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

TEST(Universe, BadSizesAreRefusedWithAWarningAndStartNothing)
{
    Warnings warnings;
    const int live = SbxUniverseGetLiveCount();
    const SbxUniverseSizes bad[] = {
        {-1, 10, 7, 10, 10, 1},    {10, -1, 7, 10, 10, 1}, {10, 10, 5, 10, 10, 1}, {10, 10, 7, 0, 10, 1},
        {10, 10, 7, 65537, 10, 1}, {10, 10, 7, 10, 1, 1},  {10, 10, 7, 10, 10, 0},
    };
    for (const SbxUniverseSizes &sizes : bad) {
        EXPECT_EQ(SbxUniverseCreate(sizes), nullptr);
        EXPECT_EQ(SbxUniverseGetLiveCount(), live);
        EXPECT_FALSE(CdxIsInitialized());
    }
    EXPECT_EQ(warnings.warnings.size(), sizeof bad / sizeof bad[0]);
    EXPECT_TRUE(warnings.warned("SbxUniverseCreate: bad sizes (10 bodies, 10 constraints, 5 geometry types"));
}

TEST(Universe, TheCollisionLibraryRunsWhileAnyUniverseLives)
{
    ASSERT_FALSE(CdxIsInitialized());
    SbxUniverseID first = SbxUniverseCreate(kSizes);
    SbxUniverseID second = SbxUniverseCreate(kSizes);
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(SbxUniverseGetLiveCount(), 2);
    CdxGeometryID plane = CdxPlaneCreate();
    CdxGeometryID ball = CdxSphereCreate(0.1);
    PxMatrix4 groundPose;
    identity(groundPose);
    CdxModelID ground = SbxFixedModelCreate(second, plane, &groundPose);
    CdxModelID dropped = SbxModelAndBodyCreate(second, ball, 1000.0);
    ASSERT_NE(ground, nullptr);
    ASSERT_NE(dropped, nullptr);
    {
        Warnings warnings;
        SbxModelDestroy(first, dropped);
        EXPECT_TRUE(warnings.warned("SbxModelDestroy: the model belongs to another universe.\n"));
        EXPECT_EQ(CdxModelGetSpace(dropped), SbxUniverseGetSpace(second));
    }
    SbxUniverseDestroy(first);
    EXPECT_EQ(SbxUniverseGetLiveCount(), 1);
    ASSERT_TRUE(CdxIsInitialized());

    // The second universe still simulates: a ball falls onto its ground.
    RbdWorldSetGravity(SbxUniverseGetWorld(second), 0.0, 0.0, -9.81);
    RbdBodySetPosition(CdxModelGetBody(dropped), 0.0, 0.0, 0.5);
    for (int n = 0; n < 100; ++n) SbxUniverseStep(second, 0.01);
    PxVector3 p;
    RbdBodyGetPosition(CdxModelGetBody(dropped), p);
    EXPECT_NEAR(p[2], 0.1, 0.01);

    SbxModelDestroy(second, dropped);
    SbxFixedModelDestroy(second, ground);
    CdxGeometryDestroy(ball);
    CdxGeometryDestroy(plane);
    SbxUniverseDestroy(second);
    EXPECT_EQ(SbxUniverseGetLiveCount(), 0);
    EXPECT_FALSE(CdxIsInitialized());
}

TEST(Universe, ALibraryStartedByTheProgramStaysRunningAfterItsUniverses)
{
    ASSERT_TRUE(CdxInit(8, 16));
    SbxUniverseID u = SbxUniverseCreate(kSizes);
    ASSERT_NE(u, nullptr);
    EXPECT_GE(CdxBoxGetTypeId(), 0);
    SbxUniverseDestroy(u);
    EXPECT_TRUE(CdxIsInitialized());
    CdxTerm();
}

// Without room for composites they are refused; a universe destroyed with
// models still in it says so, and the collision library stays for them.
TEST(Universe, WithoutRoomForCompositesTheyAreRefused)
{
    Warnings warnings;
    const SbxUniverseSizes sizes = {4, 4, 6, 4, 4, 1};
    SbxUniverseID u = SbxUniverseCreate(sizes);
    ASSERT_NE(u, nullptr);
    EXPECT_LT(CdxCompositeGetTypeId(), 0);
    EXPECT_EQ(SbxCompositeModelAndBodyCreate(u, 2, 1.0), nullptr);
    EXPECT_TRUE(warnings.warned("composites are not registered"));
    EXPECT_EQ(RbdWorldGetTotalBodies(SbxUniverseGetWorld(u)), 0);

    CdxGeometryID plane = CdxPlaneCreate();
    PxMatrix4 pose;
    identity(pose);
    CdxModelID left = SbxFixedModelCreate(u, plane, &pose);
    ASSERT_NE(left, nullptr);
    SbxUniverseDestroy(u);
    EXPECT_TRUE(warnings.warned("SbxUniverseDestroy: 1 models are still in the space"));
    EXPECT_TRUE(CdxIsInitialized()) << "a model outlives its universe";
    CdxModelDestroy(left);
    CdxGeometryDestroy(plane);
    CdxTerm();
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

TEST_F(UniverseTest, BadArgumentsAreRefusedWithWarningsAndMakeNothing)
{
    Warnings warnings;
    CdxGeometryID box = keep(CdxBoxCreate(1.0, 1.0, 1.0));
    PxMatrix4 pose, sheared;
    identity(pose);
    identity(sheared);
    sheared[0][1] = 0.5;
    EXPECT_EQ(SbxUniverseGetWorld(nullptr), nullptr);
    SbxUniverseStep(nullptr, 0.01);
    SbxUniverseStep(universe, 0.0);
    SbxUniverseStep(universe, NAN);
    SbxUniverseSetStepMethod(universe, 2);
    EXPECT_EQ(SbxUniverseGetStepMethod(universe), SbxUniverseStepPlain);
    for (PxReal density : {0.0, -1.0, (PxReal)NAN, (PxReal)INFINITY})
        EXPECT_EQ(SbxModelAndBodyCreate(universe, box, density), nullptr);
    EXPECT_EQ(SbxModelAndBodyCreate(universe, nullptr, 1.0), nullptr);
    EXPECT_EQ(SbxFixedModelCreate(universe, box, nullptr), nullptr);
    EXPECT_EQ(SbxKinematicModelCreate(universe, box, &sheared, nullptr, nullptr), nullptr);
    EXPECT_EQ(SbxSensorCompositeModelCreate(universe, box, &pose), nullptr);
    EXPECT_EQ(SbxModelIsFrozen(nullptr), 0);
    EXPECT_EQ(warnings.warnings.size(), 14u);
    EXPECT_TRUE(warnings.warned("SbxUniverseStep: null universe.\n"));
    EXPECT_TRUE(warnings.warned("SbxUniverseStep: the step 0 must be > 0"));
    EXPECT_TRUE(warnings.warned("SbxUniverseSetStepMethod: unknown step method 2"));
    EXPECT_TRUE(warnings.warned("SbxModelAndBodyCreate: a body of density 0 on this geometry has no positive mass"));
    EXPECT_TRUE(warnings.warned("SbxFixedModelCreate: null transform.\n"));
    EXPECT_TRUE(warnings.warned("SbxKinematicModelCreate: the transform is not a rotation"));
    EXPECT_TRUE(warnings.warned("SbxSensorCompositeModelCreate: the geometry is not a composite.\n"));
    EXPECT_EQ(CdxSpaceGetModelCount(space), 0);
    EXPECT_EQ(RbdWorldGetTotalBodies(world), 0);
}

// Mass from volume x density, the inertia tensor of the solid, and a link
// through which model and body see each other.
TEST_F(UniverseTest, ABodyGetsTheMassAndInertiaOfItsGeometryAndIsLinkedToItsModel)
{
    CdxModelID crate = dropped(keep(CdxBoxCreate(1.0, 2.0, 3.0)), 0.0, 0.0, 0.0, 500.0);
    RbdBodyID b = CdxModelGetBody(crate);
    ASSERT_NE(b, nullptr);
    const PxReal m = 500.0 * 6.0;
    EXPECT_NEAR(RbdBodyGetMass(b), m, 1e-9);
    PxMatrix3 expected, inertia;
    RbdMakeInertiaTensorBox(m, 1.0, 2.0, 3.0, expected);
    RbdBodyGetInertiaTensor(b, inertia);
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) EXPECT_NEAR(inertia[i][j], expected[i][j], 1e-9 * m) << i << j;

    CdxModelID ball = dropped(keep(CdxSphereCreate(0.5)), 3.0, 0.0, 0.0, 1000.0);
    const PxReal ballMass = 1000.0 * 4.0 / 3.0 * kPi * 0.125;
    EXPECT_NEAR(RbdBodyGetMass(CdxModelGetBody(ball)), ballMass, 1e-9 * ballMass);
    RbdBodyGetInertiaTensor(CdxModelGetBody(ball), inertia);
    EXPECT_NEAR(inertia[1][1], 0.4 * ballMass * 0.25, 1e-9 * ballMass);

    EXPECT_EQ(RbdBodyGetModel(b), crate);
    EXPECT_TRUE(RbdBodyIsEnabled(b));
    EXPECT_EQ(CdxModelGetSpace(crate), space);
    EXPECT_EQ(CdxModelGetResponseID(crate), SbxBodyResponseID);
    EXPECT_EQ(CdxModelGetDensity(crate), 500.0);
    EXPECT_EQ(static_cast<const void *>(CdxModelGetTransformPtr(crate)),
              static_cast<const void *>(RbdBodyGetTransformPtr(b)));
    EXPECT_EQ(CdxModelGetLinearVelocityPtr(crate), RbdBodyGetLinearVelocityPtr(b));
    EXPECT_EQ(CdxModelGetAngularVelocityPtr(crate), RbdBodyGetAngularVelocityPtr(b));

    // The model reads the body: its box follows a body that was moved.
    RbdBodySetPosition(b, 10.0, 0.0, 0.0);
    PxVector3 min, max;
    ASSERT_TRUE(CdxModelGetAABB(crate, min, max));
    EXPECT_NEAR(min[0], 9.5, 1e-12);
    EXPECT_NEAR(max[2], 1.5, 1e-12);
}

// Two unit cubes one metre apart along x: the body's centre of mass lies
// midway and its inertia is taken about it (the composite's mass itself is
// the collision tests'). Without elements there is no mass and nothing is
// built.
TEST_F(UniverseTest, ACompositeBodyHasItsCentreOfMassBetweenItsElementsAndTheirSummedInertia)
{
    Warnings warnings;
    CdxGeometryID cube = keep(CdxBoxCreate(1.0, 1.0, 1.0));
    CdxModelID left = CdxModelCreate(cube), right = CdxModelCreate(cube);
    PxMatrix4 leftPose, rightPose, leftAt, rightAt;
    translation(leftAt, 0.0, 0.0, 0.0);
    translation(rightAt, 2.0, 0.0, 0.0);
    CdxModelSetTransformPtr(left, &leftPose);
    CdxModelSetTransformPtr(right, &rightPose);

    CdxModelID composite = SbxCompositeModelAndBodyCreate(universe, 2, 100.0);
    ASSERT_NE(composite, nullptr);
    RbdBodyID b = CdxModelGetBody(composite);
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(SbxCompositeModelAndBodyBuild(universe, composite), 0);
    EXPECT_TRUE(warnings.warned("SbxAutoSetMassProperties: the model's geometry has no mass properties"));
    EXPECT_FALSE(RbdBodyIsEnabled(b));
    EXPECT_EQ(CdxModelGetSpace(composite), nullptr);
    ASSERT_TRUE(CdxCompositeModelAddElement(composite, left, &leftAt));
    ASSERT_TRUE(CdxCompositeModelAddElement(composite, right, &rightAt));
    ASSERT_EQ(SbxCompositeModelAndBodyBuild(universe, composite), 1);
    own(composite);

    EXPECT_TRUE(RbdBodyIsEnabled(b));
    EXPECT_EQ(CdxModelGetSpace(composite), space);
    EXPECT_EQ(CdxModelGetDensity(left), 100.0);
    EXPECT_EQ(CdxModelGetBody(left), nullptr); // an element follows its composite
    const PxReal cubeMass = 100.0;
    EXPECT_NEAR(RbdBodyGetMass(b), 2.0 * cubeMass, 1e-9);
    PxMatrix4 com;
    RbdBodyGetCenterOfMassRelativeTransform(b, com);
    EXPECT_NEAR(com[3][0], 1.0, 1e-12);
    EXPECT_NEAR(com[3][1], 0.0, 1e-12);
    EXPECT_NEAR(com[3][2], 0.0, 1e-12);
    PxMatrix3 inertia;
    RbdBodyGetInertiaTensor(b, inertia);
    EXPECT_NEAR(inertia[1][1], 2.0 * (cubeMass / 6.0 + cubeMass * 1.0), 1e-9) << "about the centre of mass";

    // Placing the body at x = 5 places the elements about it.
    RbdBodySetPosition(b, 5.0, 0.0, 0.0);
    CdxModelUpdate(composite);
    EXPECT_NEAR(rightPose[3][0], 7.0, 1e-12);

    SbxModelDestroy(universe, composite);
    models.pop_back();
    CdxModelDestroy(left);
    CdxModelDestroy(right);
}

// Unlinking clears every pointer between model and body; a body follows
// one model, and linking a model to a second body releases the first.
TEST_F(UniverseTest, UnlinkingClearsThePointersBetweenModelAndBody)
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
    CdxModelSetBody(model, nullptr);
    EXPECT_EQ(CdxModelGetBody(model), nullptr);
    EXPECT_EQ(RbdBodyGetModel(second), nullptr);
    EXPECT_EQ(CdxModelGetTransformPtr(model), nullptr);
    EXPECT_EQ(CdxModelGetLinearVelocityPtr(model), nullptr);
    EXPECT_EQ(CdxModelGetAngularVelocityPtr(model), nullptr);
    CdxModelDestroy(model);
    CdxModelDestroy(other);
    RbdBodyDestroy(first);
    RbdBodyDestroy(second);
}

TEST_F(UniverseTest, ResettingDynamicsPutsTheBodyAtRestAtTheOrigin)
{
    Warnings warnings;
    CdxModelID crate = dropped(keep(CdxBoxCreate(1.0, 1.0, 1.0)), 1.0, 2.0, 3.0, 10.0);
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
    EXPECT_EQ(PxV3Length(v), 0.0);
    EXPECT_EQ(PxV3Length(w), 0.0);
    EXPECT_TRUE(warnings.warnings.empty());

    PxMatrix4 groundPose;
    identity(groundPose);
    CdxModelID ground = own(SbxFixedModelCreate(universe, keep(CdxPlaneCreate()), &groundPose));
    CdxModelDynamicsReset(ground);
    ASSERT_EQ(warnings.warnings.size(), 1u);
    EXPECT_EQ(warnings.warnings[0], "Resetting dynamics on CdxModel with no dynamics.\n");
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
        EXPECT_TRUE(RbdBodyIsFrozen(b));
        EXPECT_FALSE(RbdBodyIsEnabled(b));
        EXPECT_TRUE(CdxSpaceModelIsFrozen(crate));
        EXPECT_TRUE(SbxModelIsFrozen(crate));
        SbxModelUnFreeze(crate);
        EXPECT_FALSE(SbxModelIsFrozen(crate));
        EXPECT_TRUE(RbdBodyIsEnabled(b));
        EXPECT_FALSE(CdxSpaceModelIsFrozen(crate));
    }
}

} // namespace
