// The universe: the collision library's life, composite bodies and sensors,
// meshes, freezing, waking, moving and resetting models; then what it adds
// to the mechanics, through SbxUniverseStep alone: a kinematic pusher, a
// sensor, a swept step, no allocation once sized; then large islands end
// to end. Its refusals are in the bridge's message table.
#include <math.h>
#include <stdio.h>

#include <array>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include <kelmar/PxMisc.h>
#include <kelmar/RbdLcs.h>

#include "bridge/test_universe_support.h"
#include "common/AllocationCounter.h"
#include "common/MessageLog.h"

namespace {

using Warnings = testsupport::MessageLog;

const PxReal kH = sbxtest::kStep;
// Room for the six primitives and composites.
const SbxUniverseSizes kSizes = {20, 200, 7, 32, 128, 2};

class UniverseTest : public sbxtest::UniverseFixture {
protected:
    UniverseTest() : UniverseFixture(kSizes) {}
};

// Universes start the collision library with the first and stop it with
// the last, unless the program started it; a universe left with models
// says so and leaves the library to them; a model is destroyed only by its
// own universe.
TEST(Universe, TheCollisionLibraryRunsWhileAnyUniverseOrItsModelsLive)
{
    Warnings warnings;
    ASSERT_TRUE(CdxInit(8, 16));
    SbxUniverseDestroy(SbxUniverseCreate(kSizes));
    EXPECT_TRUE(CdxIsInitialized()) << "the program started it";
    CdxTerm();
    SbxUniverseID first = SbxUniverseCreate(kSizes), second = SbxUniverseCreate(kSizes);
    ASSERT_TRUE(first && second);
    EXPECT_EQ(SbxUniverseGetLiveCount(), 2);
    CdxGeometryID plane = CdxPlaneCreate(), ball = CdxSphereCreate(0.1);
    PxMatrix4 groundPose;
    PxM4Identity(groundPose);
    CdxModelID ground = SbxFixedModelCreate(second, plane, &groundPose);
    CdxModelID dropped = SbxModelAndBodyCreate(second, ball, 1000.0);
    SbxModelDestroy(first, dropped);
    EXPECT_EQ(warnings.warnings,
              std::vector<std::string>{"SbxModelDestroy: the model belongs to another universe.\n"});
    SbxUniverseDestroy(first);
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
    // The program stopped the library a universe started, and starts its
    // own: a universe made and destroyed now leaves it running.
    ASSERT_TRUE(CdxInit(8, 16));
    SbxUniverseDestroy(SbxUniverseCreate(kSizes));
    EXPECT_TRUE(CdxIsInitialized()) << "the program restarted it";
    CdxTerm();
    SbxUniverseID noComposites = SbxUniverseCreate({4, 4, 6, 4, 4, 1});
    EXPECT_EQ(SbxCompositeModelAndBodyCreate(noComposites, 2, 1.0), nullptr);
    EXPECT_TRUE(warnings.warned("composites are not registered"));
    SbxUniverseDestroy(noComposites);
    EXPECT_FALSE(CdxIsInitialized());
}

// A composite body of two cubes a gap apart has its centre of mass midway
// and the summed inertia about it, and places its elements as it moves; a
// composite sensor made from a caller's composite geometry answers as a
// sensor and places its elements about its transform at every step and as
// it is moved.
TEST_F(UniverseTest, CompositesPlaceTheirElementsAndABodyHasTheSummedInertiaAboutItsCentre)
{
    const PxReal side = 0.5, gap = 1.5, rho = 300.0, m = rho * side * side * side;
    CdxGeometryID cube = box(side, side, side);
    CdxModelID left = CdxModelCreate(cube), right = CdxModelCreate(cube), element = CdxModelCreate(cube);
    PxMatrix4 *rightPose = newPose(0.0, 0.0, 0.0), *elementPose = newPose(0.0, 0.0, 0.0);
    CdxModelSetTransformPtr(left, newPose(0.0, 0.0, 0.0));
    CdxModelSetTransformPtr(right, rightPose);
    CdxModelSetTransformPtr(element, elementPose);
    CdxModelID composite = SbxCompositeModelAndBodyCreate(universe, 2, rho);
    RbdBodyID b = CdxModelGetBody(composite);
    ASSERT_TRUE(CdxCompositeModelAddElement(composite, left, newPose(0.0, 0.0, 0.0)));
    ASSERT_TRUE(CdxCompositeModelAddElement(composite, right, newPose(gap, 0.0, 0.0)));
    ASSERT_EQ(SbxCompositeModelAndBodyBuild(universe, composite), 1);
    EXPECT_NEAR(RbdBodyGetMass(b), 2.0 * m, 1e-9 * m);
    PxMatrix4 com;
    RbdBodyGetCenterOfMassRelativeTransform(b, com);
    EXPECT_NEAR(com[3][0], gap / 2, 1e-12);
    PxMatrix3 inertia;
    RbdBodyGetInertiaTensor(b, inertia);
    EXPECT_NEAR(inertia[1][1], 2.0 * (m * side * side / 6.0 + m * gap * gap / 4.0), 1e-9 * m);
    RbdBodySetPosition(b, 5.0, 0.0, 0.0);
    CdxModelUpdate(composite);
    EXPECT_NEAR((*rightPose)[3][0], 5.0 + gap, 1e-12);

    CdxGeometryID geometry = CdxCompositeGeometryCreate(1);
    PxMatrix4 *sensorPose = newPose(20.0, 0.0, 0.0);
    ASSERT_TRUE(CdxCompositeGeometryAddElement(geometry, element, newPose(0.0, 0.0, 1.0)));
    CdxModelID sensor = SbxSensorCompositeModelCreate(universe, geometry, sensorPose);
    EXPECT_EQ(CdxModelGetResponseID(sensor), SbxSensorResponseID);
    (*sensorPose)[3][0] = 25.0;
    SbxUniverseStep(universe, kH);
    EXPECT_TRUE((*elementPose)[3][0] == 25.0 && (*elementPose)[3][2] == 1.0) << "placed at the step";
    SbxModelSetTransform(sensor, *newPose(30.0, 0.0, 0.0));
    EXPECT_EQ((*elementPose)[3][0], 30.0) << "placed as the sensor is moved, before any step";
    SbxModelDestroy(universe, sensor); // frees the composite geometry
    SbxModelDestroy(universe, composite);
    for (CdxModelID model : {left, right, element}) CdxModelDestroy(model);
}

// Triangle meshes come with room for one more type than composites; only a
// closed one gives its body a mass (that of the unit tetrahedron, 1/6 of the
// density); an open one is refused.
TEST_F(UniverseTest, MeshesComeWithRoomForThemAndOnlyAClosedOneGivesABodyMass)
{
    PxReal corners[4][3] = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
    const int faces[4][3] = {{0, 2, 1}, {0, 1, 3}, {0, 3, 2}, {1, 2, 3}}; // counter-clockwise from outside
    {
        Warnings log; // seven types: the primitives and composites, no meshes
        EXPECT_TRUE(CdxTriangleMeshGetTypeId() < 0 && CdxTriangleMeshCreate(1) == nullptr);
        EXPECT_TRUE(log.warned("CdxTriangleMeshCreate: the triangle mesh type is not registered"));
    }
    SbxUniverseDestroy(universe);
    universe = SbxUniverseCreate({20, 400, 8, 32, 256, 2});
    ASSERT_NE(universe, nullptr);
    EXPECT_EQ(CdxTriangleMeshGetTypeId(), CdxPrimitivesGetTypeCount()) << "meshes first, then composites";
    EXPECT_EQ(CdxCompositeGetTypeId(), CdxTriangleMeshGetTypeId() + 1);
    world = SbxUniverseGetWorld(universe);
    space = SbxUniverseGetSpace(universe);
    for (int faceCount : {3, 4}) {
        CdxGeometryID mesh = keep(CdxTriangleMeshCreate(faceCount));
        for (int f = 0; f < faceCount; ++f)
            CdxTriangleMeshAddTriangle(mesh, corners[faces[f][0]], corners[faces[f][1]], corners[faces[f][2]]);
        ASSERT_EQ(CdxTriangleMeshBuild(mesh), 1);
        Warnings log;
        CdxModelID model = SbxModelAndBodyCreate(universe, mesh, 1000.0);
        if (faceCount == 3) {
            EXPECT_EQ(model, nullptr);
            EXPECT_TRUE(log.warned("SbxModelAndBodyCreate: the triangle mesh is not closed"));
            EXPECT_EQ(RbdWorldGetTotalBodies(world), 0) << "nothing is left behind";
        } else {
            EXPECT_NEAR(RbdBodyGetMass(CdxModelGetBody(own(model))), 1000.0 / 6.0, 1e-9);
        }
    }
}

// Freezing disables and fixes the body and freezes its model; unfreezing
// reverses both. A body that falls asleep freezes its model and one that
// wakes unfreezes it; moving a fixed model moves it in the space at once;
// resetting puts a body at rest at the origin.
TEST_F(UniverseTest, FreezingSleepingMovingAndResettingReachTheModelInTheSpace)
{
    CdxModelID crate = dropped(box(1.0, 1.0, 1.0), 0.0, 0.0, 3.0, 10.0);
    RbdBodyID b = CdxModelGetBody(crate);
    for (bool asleep : {false, true}) {
        if (asleep) RbdBodyDisable(b);
        EXPECT_EQ(CdxSpaceModelIsFrozen(crate), asleep);
        SbxModelFreeze(crate);
        EXPECT_TRUE(RbdBodyIsFrozen(b) && !RbdBodyIsEnabled(b) && CdxSpaceModelIsFrozen(crate) &&
                    SbxModelIsFrozen(crate));
        SbxModelUnFreeze(crate);
        EXPECT_TRUE(!SbxModelIsFrozen(crate) && RbdBodyIsEnabled(b) && !CdxSpaceModelIsFrozen(crate));
    }
    RbdBodyDisable(b);
    RbdBodyEnable(b);
    EXPECT_FALSE(CdxSpaceModelIsFrozen(crate)) << "a body that wakes unfreezes its model";
    PxMatrix4 *supportPose = newPose(0.0, 0.0, 1.0);
    CdxModelID support = own(SbxFixedModelCreate(universe, box(1.0, 1.0, 1.0), supportPose));
    SbxModelFreeze(support);
    SbxModelUnFreeze(support);
    EXPECT_FALSE(CdxSpaceModelIsFrozen(support)) << "a model without a body unfreezes too";
    SbxModelSetTransform(support, *newPose(0.0, 0.0, 2.4));
    EXPECT_EQ((*supportPose)[3][2], 2.4);
    SbxUniverseStep(universe, kH);
    EXPECT_NE(CdxSpaceGetModelPair(crate, support), nullptr) << "the space saw the move before the step";
    RbdBodySetQuaternion(b, 0.6, 0.8, 0.0, 0.0);
    RbdBodySetAngularVelocity(b, 2.0, 0.0, 0.0);
    CdxModelDynamicsReset(crate);
    PxMatrix4 pose;
    RbdBodyGetTransform(b, pose);
    PxVector3 spin;
    RbdBodyGetAngularVelocity(b, spin);
    EXPECT_TRUE(PxMatrix4IsIdentity(pose, 1e-12) && speed(crate) == 0.0 && PxV3Length(spin) == 0.0);
}

// The universe with the fixed frictionless ground plane z = 0.
class UniverseMechanics : public UniverseTest {
protected:
    void SetUp() override
    {
        UniverseTest::SetUp();
        ground = fixedAt(keep(CdxPlaneCreate()), 0.0, 0.0, 0.0);
    }
    CdxModelID ground = nullptr;
};

// A kinematic box at 1 m/s along x wakes a box asleep on the ground and
// shoves it ahead. The contact sees the pusher as standing still, so the
// box is driven by error correction alone: it trails at the depth whose
// correction speed min(gamma / h, the maximum rate) x depth is the pusher's.
TEST_F(UniverseMechanics, AKinematicModelWakesAndPushesABody)
{
    CdxGeometryID cube = box(1.0, 1.0, 1.0);
    CdxModelID crate = dropped(cube, 0.0, 0.0, 0.5);
    PxMatrix4 &pusherPose = *newPose(-1.5, 0.0, 0.52);
    PxVector3 v = {1.0, 0.0, 0.0}, w = {0.0, 0.0, 0.0}, p;
    CdxModelID pusher = own(SbxKinematicModelCreate(universe, cube, &pusherPose, v, w));
    const PxReal depth = v[0] / fmin(RbdWorldGetGamma(world) / kH, RbdWorldGetMaxCorrectingRate(world));
    for (int n = 0; n < 300; ++n) {
        if (n == 45) {
            ASSERT_FALSE(RbdBodyIsEnabled(CdxModelGetBody(crate))) << "asleep before the pusher arrives";
        }
        SbxUniverseStep(universe, kH);
        pusherPose[3][0] += v[0] * kH;
    }
    position(crate, p);
    EXPECT_NEAR(p[0] - pusherPose[3][0], 1.0 - depth, 0.005);
    EXPECT_NEAR(speed(crate), v[0], 0.01);
    EXPECT_GT(contacts(pusher, crate), 0);
    EXPECT_NEAR(p[2], 0.5, 0.01);
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
    } const cases[] = {{true, SbxUniverseStepPlain, 0.0, false},
                       {false, SbxUniverseStepPlain, 50.0, false},
                       {false, SbxUniverseStepPath, 50.0, true}};
    CdxGeometryID ball = sphere(0.05), slab = box(2.0, 2.0, 0.02);
    const auto height = [](CdxModelID m) {
        PxVector3 p;
        return position(m, p), p[2];
    };
    for (const Case &c : cases) {
        const PxReal y = 10.0 * static_cast<PxReal>(&c - cases);
        SbxUniverseSetStepMethod(universe, c.method);
        CdxModelID obstacle = c.sensor ? own(SbxSensorModelCreate(universe, slab, newPose(0.0, y, 1.0)))
                                       : fixedAt(slab, 0.0, y, 1.0);
        CdxModelID through = dropped(ball, 0.0, y, 1.5), beside = dropped(ball, 3.0, y, 1.5);
        for (CdxModelID m : {through, beside}) RbdBodySetLinearVelocity(CdxModelGetBody(m), 0.0, 0.0, -c.speed);
        for (int n = 0; n < (c.speed > 0.0 ? 5 : 50); ++n) {
            SbxUniverseStep(universe, kH);
            if (!c.stopped) {
                ASSERT_EQ(height(through), height(beside)) << n;
                ASSERT_TRUE(!c.sensor || contacts(obstacle, through) == 0) << n;
            }
        }
        EXPECT_EQ(height(through) > 1.0, c.stopped) << c.sensor << c.method;
    }
}

// Once a scene's contacts and islands have reached their sizes, steps of
// either method allocate nothing: a stack settling, a ball rolling off it.
// Both methods time their collision and dynamics phases, the swept update
// as its own section.
TEST_F(UniverseMechanics, EitherStepMethodAllocatesNothingOnceSizedAndTimesItsPhases)
{
    RbdWorldSetAutoDisable(world, 0);
    SbxBridgeGetContactParams(SbxUniverseGetBridge(universe), 0, 0)->type = 2; // friction both ways
    CdxGeometryID cube = box(1.0, 1.0, 1.0);
    for (int k = 0; k < 3; ++k) dropped(cube, 0.1 * k, 0.0, 0.5 + k, 500.0);
    CdxModelID ball = dropped(sphere(0.2), 0.0, 0.0, 3.5);
    RbdBodySetLinearVelocity(CdxModelGetBody(ball), 0.5, 0.0, 0.0);
    for (int method : {SbxUniverseStepPlain, SbxUniverseStepPath}) {
        SbxUniverseSetStepMethod(universe, method);
        steps(300);
        {
            testsupport::AllocationCounter counter;
            steps(100);
            EXPECT_EQ(counter.allocations(), 0) << "step method " << method;
        }
        PxProfileStartTiming();
        PxProfileStartFrame();
        steps(1);
        PxProfileEndFrame();
        FILE *out = tmpfile();
        PxProfileOutputResults(out, 0);
        PxProfileStopTiming();
        std::string table(static_cast<size_t>(ftell(out)), '\0');
        rewind(out);
        table.resize(fread(&table[0], 1, table.size(), out));
        fclose(out);
        EXPECT_TRUE(table.find("\nCollision ") != std::string::npos &&
                    table.find("\nDynamics ") != std::string::npos);
        EXPECT_EQ(table.find("CdxSpacePathUpdate") != std::string::npos, method == SbxUniverseStepPath) << table;
    }
}

// Large islands end to end: the sweeps that solve islands above the row
// threshold against the pivoting solver on small random islands, then long
// runs by either. Islands go to the sweeps by setting the threshold to 0.
const SbxUniverseSizes kIslandSizes = {40, 400, 7, 64, 512, 2};

enum class Solver { Pivoting, Sweeps };

// The pose and velocities of every body (position, quaternion, linear and
// angular velocity: 13 numbers each), to run one step again from the start.
using State = std::vector<std::array<PxReal, 13>>;

class LargeIslands : public sbxtest::UniverseFixture {
protected:
    LargeIslands() : UniverseFixture(kIslandSizes) {}
    void SetUp() override
    {
        UniverseFixture::SetUp();
        RbdWorldSetAutoDisable(world, 0);
        // Friction in both directions, bounded by 0.5 times the normal force.
        RbdContactParams *params = SbxBridgeGetContactParams(SbxUniverseGetBridge(universe), 0, 0);
        params->type = 2;
        RbdContactParamsSetFrictionModel(params, 1);
        RbdContactParamsSetFrictionCoefficient(params, 0.5);
    }
    void use(Solver solver)
    {
        RbdWorldLCPSetLargeIslandRows(world, solver == Solver::Sweeps ? 0 : RBD_LCP_DEFAULT_LARGE_ISLAND_ROWS);
    }
    // Of every model with a body, in the order they were made.
    State states() const
    {
        State all;
        for (CdxModelID model : models) {
            RbdBodyID b = CdxModelGetBody(model);
            if (!b) continue;
            all.emplace_back();
            RbdBodyGetPosition(b, &all.back()[0]);
            RbdBodyGetQuaternion(b, &all.back()[3]);
            RbdBodyGetLinearVelocity(b, &all.back()[7]);
            RbdBodyGetAngularVelocity(b, &all.back()[10]);
        }
        return all;
    }
    void restore(const State &all)
    {
        size_t k = 0;
        for (CdxModelID model : models) {
            RbdBodyID b = CdxModelGetBody(model);
            if (!b) continue;
            const std::array<PxReal, 13> &s = all[k++];
            RbdBodySetPosition(b, s[0], s[1], s[2]);
            RbdBodySetQuaternion(b, s[3], s[4], s[5], s[6]);
            RbdBodySetLinearVelocity(b, s[7], s[8], s[9]);
            RbdBodySetAngularVelocity(b, s[10], s[11], s[12]);
        }
    }
    // The largest difference of any body's linear or angular velocity.
    static PxReal velocityGap(const State &a, const State &b)
    {
        PxReal gap = 0.0;
        for (size_t k = 0; k < a.size(); ++k)
            for (int i = 7; i < 13; ++i) gap = fmax(gap, fabs(a[k][i] - b[k][i]));
        return gap;
    }
};

// A few boxes of random sizes and densities dropped onto one another settle
// into one island; from the same state, one step by sweeps run to a tight
// tolerance gives the velocities one step by pivoting gives.
class SweepsAgainstPivoting : public LargeIslands, public ::testing::WithParamInterface<int> {};

TEST_P(SweepsAgainstPivoting, OneStepFromTheSameStateEndsWithTheSameVelocities)
{
    std::mt19937 random(static_cast<unsigned>(GetParam()));
    std::uniform_real_distribution<PxReal> size(0.2, 0.5), offset(-0.1, 0.1), density(200.0, 2000.0);
    fixedAt(keep(CdxPlaneCreate()), 0.0, 0.0, 0.0);
    PxReal top = 0.0;
    for (int k = 0; k < 4; ++k) {
        const PxReal dz = size(random);
        dropped(box(size(random), size(random), dz), offset(random), offset(random), top + dz / 2, density(random));
        top += dz;
    }
    use(Solver::Pivoting);
    steps(30);
    RbdWorldLCPSetTolerance(world, 1e-9);
    RbdWorldLCPSetIterations(world, 2000);
    const State start = states();
    steps(1);
    const State pivoting = states();
    restore(start);
    steps(1);
    ASSERT_LT(velocityGap(pivoting, states()), 1e-12) << "a step from a restored state repeats itself";
    restore(start);
    use(Solver::Sweeps);
    steps(1);
    // Speeds are near g h = 0.1 m/s: the sweeps, whose rows are single
    // precision, agree to a ten-thousandth of it.
    EXPECT_LT(velocityGap(pivoting, states()), 1e-5);
}

INSTANTIATE_TEST_SUITE_P(RandomIslands, SweepsAgainstPivoting, ::testing::Range(1, 7));

// Long runs, each with the most its body may move or its speed may change:
// ten 1 kg cubes of 1 m edge stacked, solved by sweeps at the default
// tolerance and sweep count, whose top ends within 1 cm of its start after
// 10 s (a stack is the slowest case for Gauss-Seidel: the sweeps lean on
// the warm start);
// a 10 cm box settled on the ground, in SI and in centimetre-kilogram-second
// units, 1 kg or 10 g, by either solver, which stays within a millionth of
// its size for 1000 steps; a ball rolling at 1 m/s over two slabs that meet
// at x = 0, by either solver, whose contacts move from one slab to the other
// while its speed changes by less than 1 % from one step to the next.
struct LongRun {
    enum { Stack, Rest, Roll } scene;
    Solver solver;
    PxReal length, mass; // metres per length unit (1 SI, 0.01 cm), kg
    PxReal bound;        // in edges of the box, or of the relative speed
};

class LongRuns : public LargeIslands, public ::testing::WithParamInterface<LongRun> {};

TEST_P(LongRuns, StayWithinTheirBounds)
{
    const LongRun c = GetParam();
    const PxReal edge = c.scene == LongRun::Rest ? 0.1 / c.length : 1.0, radius = 0.1;
    RbdWorldSetGravity(world, 0.0, 0.0, -9.81 / c.length);
    if (c.scene == LongRun::Roll) {
        CdxGeometryID slab = box(1.0, 1.0, 0.2);
        fixedAt(slab, -0.5, 0.0, -0.1);
        fixedAt(slab, 0.5, 0.0, -0.1);
        RbdBodyID ball = CdxModelGetBody(dropped(sphere(radius), -0.4, 0.0, radius));
        RbdBodySetLinearVelocity(ball, 1.0, 0.0, 0.0);
        RbdBodySetAngularVelocity(ball, 0.0, 1.0 / radius, 0.0);
    } else {
        fixedAt(keep(CdxPlaneCreate()), 0.0, 0.0, 0.0);
        CdxGeometryID cube = box(edge, edge, edge);
        for (int k = 0; k < (c.scene == LongRun::Stack ? 10 : 1); ++k)
            dropped(cube, 0.0, 0.0, edge * (0.5 + k), c.mass / (edge * edge * edge));
    }
    use(c.solver);
    steps(c.scene == LongRun::Rest ? 100 : 0);
    PxVector3 start, p;
    position(models.back(), start);
    PxReal last = speed(models.back()), most = 0.0;
    for (int n = 0; n < (c.scene == LongRun::Roll ? 80 : 1000); ++n) {
        steps(1);
        position(models.back(), p);
        const PxReal now = speed(models.back());
        const PxReal change = c.scene == LongRun::Roll ? fabs(now - last) / last : PxV3Distance(p, start);
        most = c.scene == LongRun::Stack ? change : fmax(most, change); // the stack: where it ends
        last = now;
    }
    if (c.scene == LongRun::Roll) {
        ASSERT_GT(p[0], 0.3) << "the ball crossed the seam";
    }
    EXPECT_LT(most, c.bound * edge) << c.scene << " " << c.mass << " kg, " << c.length << " m per unit, "
                                    << (c.solver == Solver::Sweeps ? "sweeps" : "pivoting");
}

INSTANTIATE_TEST_SUITE_P(StackRestAndRoll, LongRuns,
                         ::testing::Values(LongRun{LongRun::Stack, Solver::Sweeps, 1.0, 1.0, 0.01},
                                           LongRun{LongRun::Rest, Solver::Pivoting, 1.0, 1.0, 1e-6},
                                           LongRun{LongRun::Rest, Solver::Pivoting, 0.01, 0.01, 1e-6},
                                           LongRun{LongRun::Rest, Solver::Sweeps, 1.0, 1.0, 1e-6},
                                           LongRun{LongRun::Rest, Solver::Sweeps, 0.01, 0.01, 1e-6},
                                           LongRun{LongRun::Roll, Solver::Pivoting, 1.0, 1.0, 0.01},
                                           LongRun{LongRun::Roll, Solver::Sweeps, 1.0, 1.0, 0.01}));

} // namespace
