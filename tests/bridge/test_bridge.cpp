// The bridge between collision and dynamics, through universes that share a
// fixture: a universe of the test's sizes with gravity along -z, and models
// and geometries that go before it (the last universe stops the collision
// library).
//
// The universe: the collision library's life, composite bodies and sensors,
// meshes, freezing, waking, moving and resetting models; then what it adds
// to the mechanics, through SbxUniverseStep alone: a kinematic pusher, a
// sensor, a swept step, no allocation once sized; then large islands end
// to end.
//
// A pair's dynamics contacts follow its collision contacts step by step:
// random scripted histories against a model of what the bridge must keep
// and report, random heaps of balls in a real space against brute force,
// the cases of one kind each (composite materials, wheels, safe times), the
// bridge's tables and its refusals; and, matching by place, contacts that
// continue on their records while the collision results are shuffled.
#include <gtest/gtest.h>

#include <math.h>
#include <stdio.h>

#include <algorithm>
#include <array>
#include <cfloat>
#include <cstring>
#include <deque>
#include <functional>
#include <random>
#include <string>
#include <type_traits>
#include <vector>

#include <kelmar/Cdx.h>
#include <kelmar/PxMath.h>
#include <kelmar/PxMisc.h>
#include <kelmar/PxVector.h>
#include <kelmar/Rbd.h>
#include <kelmar/RbdLcs.h>
#include <kelmar/Sbx.h>

#include "common/AllocationCounter.h"
#include "common/MessageLog.h"
#include "common/ReadFile.h"

namespace {

const PxReal kStep = 0.01; // s

class UniverseFixture : public ::testing::Test {
protected:
    explicit UniverseFixture(const SbxUniverseSizes &sizes) : sizes_(sizes) {}
    void SetUp() override
    {
        universe = SbxUniverseCreate(sizes_);
        ASSERT_NE(universe, nullptr);
        world = SbxUniverseGetWorld(universe);
        space = SbxUniverseGetSpace(universe);
        bridge = SbxUniverseGetBridge(universe);
        RbdWorldSetGravity(world, 0.0, 0.0, -9.81);
    }
    void TearDown() override
    {
        for (CdxModelID model : models) SbxModelDestroy(universe, model);
        for (CdxGeometryID geometry : geometries) CdxGeometryDestroy(geometry);
        SbxUniverseDestroy(universe);
        EXPECT_FALSE(CdxIsInitialized());
    }
    CdxGeometryID keep(CdxGeometryID geometry)
    {
        EXPECT_NE(geometry, nullptr);
        geometries.push_back(geometry);
        return geometry;
    }
    CdxGeometryID sphere(PxReal radius) { return keep(CdxSphereCreate(radius)); }
    CdxGeometryID box(PxReal dx, PxReal dy, PxReal dz) { return keep(CdxBoxCreate(dx, dy, dz)); }
    CdxModelID own(CdxModelID model)
    {
        EXPECT_NE(model, nullptr);
        models.push_back(model);
        return model;
    }
    void forget(CdxModelID model) { models.erase(std::find(models.begin(), models.end(), model)); }
    // A body of the given density on geometry at (x, y, z).
    CdxModelID dropped(CdxGeometryID geometry, PxReal x, PxReal y, PxReal z, PxReal density = 1000.0)
    {
        CdxModelID model = own(SbxModelAndBodyCreate(universe, geometry, density));
        if (model) RbdBodySetPosition(CdxModelGetBody(model), x, y, z);
        return model;
    }
    // A pose at (x, y, z) that lives as long as the test.
    PxMatrix4 *newPose(PxReal x, PxReal y, PxReal z)
    {
        poses_.emplace_back();
        PxM4Identity(poses_.back().m);
        PxV3Set(poses_.back().m[3], x, y, z);
        return &poses_.back().m;
    }
    CdxModelID fixedAt(CdxGeometryID geometry, PxReal x, PxReal y, PxReal z)
    {
        return own(SbxFixedModelCreate(universe, geometry, newPose(x, y, z)));
    }
    void steps(int count)
    {
        for (int n = 0; n < count; ++n) SbxUniverseStep(universe, kStep);
    }
    // The collision results and the contacts of one step, without stepping.
    void update()
    {
        CdxSpaceUpdateAll(space);
        SbxBridgeUpdateContacts(bridge, space, world);
    }
    // Friction in both directions, bounded by 0.5 times the normal force.
    void frictionBothWays()
    {
        RbdContactParams *params = SbxBridgeGetContactParams(bridge, 0, 0);
        params->type = 2;
        RbdContactParamsSetFrictionModel(params, 1);
        RbdContactParamsSetFrictionCoefficient(params, 0.5);
    }
    static void position(CdxModelID model, PxVector3 p) { RbdBodyGetPosition(CdxModelGetBody(model), p); }
    static PxReal speed(CdxModelID model)
    {
        PxVector3 v;
        RbdBodyGetLinearVelocity(CdxModelGetBody(model), v);
        return PxV3Length(v);
    }

    SbxUniverseID universe = nullptr;
    RbdWorldID world = nullptr;
    CdxSpaceID space = nullptr;
    SbxBridgeID bridge = nullptr;
    std::vector<CdxModelID> models;
    std::vector<CdxGeometryID> geometries;

private:
    SbxUniverseSizes sizes_;
    struct Pose {
        PxMatrix4 m;
    };
    std::deque<Pose> poses_;
};

using Warnings = testsupport::MessageLog;

// Room for the six primitives and composites.
const SbxUniverseSizes kSizes = {20, 200, 7, 32, 128, 2};

class UniverseTest : public UniverseFixture {
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
    CdxGeometryID plane = CdxPlaneCreate(), ball = CdxSphereCreate(0.1);
    PxMatrix4 groundPose;
    PxM4Identity(groundPose);
    CdxModelID ground = SbxFixedModelCreate(second, plane, &groundPose);
    CdxModelID dropped = SbxModelAndBodyCreate(second, ball, 1000.0);
    SbxModelDestroy(first, dropped);
    EXPECT_EQ(warnings.warnings,
              std::vector<std::string>{"SbxModelDestroy: the model belongs to another universe.\n"});
    SbxUniverseDestroy(first); // the second keeps the library (the many-universes scenes step on)
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
// sensor and places its elements about its transform when asked after a
// step (the step's box update leaves them to the pair tests) and as it is
// moved.
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
    SbxUniverseStep(universe, kStep);
    CdxModelUpdate(sensor);
    EXPECT_TRUE((*elementPose)[3][0] == 25.0 && (*elementPose)[3][2] == 1.0) << "placed after the step";
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
    SbxUniverseStep(universe, kStep);
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
    const PxReal depth = v[0] / fmin(RbdWorldGetGamma(world) / kStep, RbdWorldGetMaxCorrectingRate(world));
    for (int n = 0; n < 300; ++n) {
        if (n == 45) {
            ASSERT_FALSE(RbdBodyIsEnabled(CdxModelGetBody(crate))) << "asleep before the pusher arrives";
        }
        SbxUniverseStep(universe, kStep);
        pusherPose[3][0] += v[0] * kStep;
    }
    position(crate, p);
    EXPECT_NEAR(p[0] - pusherPose[3][0], 1.0 - depth, 0.005);
    EXPECT_NEAR(speed(crate), v[0], 0.01);
    EXPECT_GT(SbxModelPairGetContactCount(CdxSpaceGetModelPair(pusher, crate)), 0);
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
            SbxUniverseStep(universe, kStep);
            if (!c.stopped) {
                ASSERT_EQ(height(through), height(beside)) << n;
                ASSERT_TRUE(!c.sensor || !SbxModelPairGetContactCount(CdxSpaceGetModelPair(obstacle, through))) << n;
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
    SbxBridgeGetContactParams(bridge, 0, 0)->type = 2; // friction both ways
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
        const std::string table = testsupport::WrittenText(out);
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

class LargeIslands : public UniverseFixture {
protected:
    LargeIslands() : UniverseFixture(kIslandSizes) {}
    void SetUp() override
    {
        UniverseFixture::SetUp();
        RbdWorldSetAutoDisable(world, 0);
        frictionBothWays();
    }
    void use(Solver solver)
    {
        RbdWorldLCPSetLargeIslandRows(world, solver == Solver::Sweeps ? 0 : RBD_LCP_DEFAULT_LARGE_ISLAND_ROWS);
        // Pivoting throughout: landing heaps are not swept either.
        RbdWorldLCPSetLargeIslandSolver(world, solver == Solver::Sweeps ? RBD_LCP_LARGE_ISLAND_ITERATIVE
                                                                        : RBD_LCP_LARGE_ISLAND_PIVOTING);
    }
    // Of every model with a body, in the order they were made.
    State states() const
    {
        State all;
        for (CdxModelID model : models)
            if (RbdBodyID b = CdxModelGetBody(model)) {
                PxReal *s = all.emplace_back().data();
                RbdBodyGetPosition(b, s);
                RbdBodyGetQuaternion(b, s + 3);
                RbdBodyGetLinearVelocity(b, s + 7);
                RbdBodyGetAngularVelocity(b, s + 10);
            }
        return all;
    }
    void restore(const State &all)
    {
        auto next = all.begin();
        for (CdxModelID model : models)
            if (RbdBodyID b = CdxModelGetBody(model)) {
                const PxReal *s = (next++)->data();
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
    // The sweeps correct a resting contact's shallow depth more slowly than
    // the pivoting: the compared step corrects no depth.
    RbdWorldSetGamma(world, 0.0);
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
// the warm start). This placing is one sample: moved by up to 1 nm, the
// stack ends within 1 cm in only 9 to 14 of 30 samples and sways to the
// end (the push within the resting depth, and the coloured sweep order
// while it lands); what would stand it in every sample unsettled the box
// heap, see bench/results/*-s10stack.txt;
// a 10 cm box settled on the ground, in SI and in centimetre-kilogram-second
// units, 1 kg or 10 g, by either solver, which stays within a millionth of
// its size for 1000 steps; a ball rolling at 1 m/s over two slabs that meet
// at x = 0, by either solver, whose contacts move from one slab to the other
// while its speed changes by less than 1 % from one step to the next; a
// column of five 20 cm boxes, each turned about the vertical, by sweeps
// with sleeping on, whose top moves slower than 1 mm/s once settled (it
// rocked at 10 cm/s and never slept while the sweeps corrected every
// resting depth at the full rate); the same column with sleeping off,
// whose top rises by less than a millionth of its edge in the 7 s after it
// settled (nothing lifts a resting column: pushed out of their depths all
// the way, its contacts lifted the top by 0.2 mm).
struct LongRun {
    enum { Stack, Rest, Roll, Column, Held } scene;
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
    } else if (c.scene == LongRun::Column || c.scene == LongRun::Held) {
        fixedAt(keep(CdxPlaneCreate()), 0.0, 0.0, 0.0);
        RbdWorldSetAutoDisable(world, c.scene == LongRun::Column);
        CdxGeometryID block = box(0.2, 0.2, 0.2);
        for (int k = 0; k < 5; ++k) {
            RbdBodyID b = CdxModelGetBody(dropped(block, 0.01 * (k % 3 - 1), 0.01 * (k % 2), 0.1 + 0.2 * k));
            RbdBodySetQuaternion(b, cos(0.15 * k), 0.0, 0.0, sin(0.15 * k));
        }
    } else {
        fixedAt(keep(CdxPlaneCreate()), 0.0, 0.0, 0.0);
        CdxGeometryID cube = box(edge, edge, edge);
        for (int k = 0; k < (c.scene == LongRun::Stack ? 10 : 1); ++k)
            dropped(cube, 0.0, 0.0, edge * (0.5 + k), c.mass / (edge * edge * edge));
    }
    use(c.solver);
    steps(c.scene == LongRun::Rest ? 100 : (c.scene == LongRun::Column || c.scene == LongRun::Held ? 300 : 0));
    PxVector3 start, p;
    position(models.back(), start);
    PxReal last = speed(models.back()), most = 0.0;
    for (int n = 0; n < (c.scene == LongRun::Roll ? 80 : 1000); ++n) {
        steps(1);
        position(models.back(), p);
        const PxReal now = speed(models.back());
        const PxReal change = c.scene == LongRun::Roll     ? fabs(now - last) / last
                              : c.scene == LongRun::Column ? now
                              : c.scene == LongRun::Held   ? p[2] - start[2]
                                                           : PxV3Distance(p, start);
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
                                           LongRun{LongRun::Roll, Solver::Sweeps, 1.0, 1.0, 0.01},
                                           LongRun{LongRun::Column, Solver::Sweeps, 1.0, 8.0, 1e-3},
                                           LongRun{LongRun::Held, Solver::Sweeps, 1.0, 8.0, 1e-6}));

// A pair's corners found afresh settle for 30 steps before the sweeps
// correct them within their resting depth: the count falls by one a step
// while the bridge keeps them or finds them where they were, and starts
// again when the pair's corners change; a lone contact settles at once.
// (What the sweeps do with a settling or settled contact:
// tests/dynamics/solver/test_lcs_sweeps_and_pivoting.cpp.)
TEST_F(LargeIslands, CornersFoundAfreshSettleWhileTheyStay)
{
    fixedAt(keep(CdxPlaneCreate()), 0.0, 0.0, 0.0);
    CdxModelID block = dropped(box(0.2, 0.2, 0.2), 0.0, 0.0, 0.1), ball = dropped(sphere(0.1), 1.0, 0.0, 0.1);
    use(Solver::Sweeps);
    // Settling counts of a model's contacts with the ground, in order.
    auto settlingOf = [&](CdxModelID model) {
        std::vector<int> counts;
        for (RbdContactID c = SbxModelPairGetContacts(CdxSpaceGetModelPair(models[0], model)); c;
             c = RbdContactGetNext(c))
            counts.push_back(RbdContactGetSettling(c));
        return counts;
    };
    steps(1);
    EXPECT_EQ(settlingOf(block), std::vector<int>(4, 30));
    EXPECT_EQ(settlingOf(ball), std::vector<int>(1, 0));
    steps(10);
    EXPECT_EQ(settlingOf(block), std::vector<int>(4, 20));
    steps(25);
    EXPECT_EQ(settlingOf(block), std::vector<int>(4, 0));
    // Moved by a millimetre, the box's corners are found elsewhere.
    PxVector3 p;
    position(block, p);
    RbdBodySetPosition(CdxModelGetBody(block), p[0] + 1e-3, p[1], p[2]);
    steps(1);
    EXPECT_EQ(settlingOf(block), std::vector<int>(4, 30));
}

// The contacts the scripted pair test reports (none: not touching), and
// how often it ran.
struct Script {
    std::vector<CdxContact> contacts;
    int calls = 0;
} gScript;

CdxContact scriptContact(PxReal x, PxReal y, PxReal z, PxReal separation, intptr_t element1 = 0,
                         intptr_t element2 = 0)
{
    CdxContact c = {};
    PxV3Set(c.position, x, y, z);
    PxV3Set(c.normal, 0.0, 1.0, 0.0);
    c.separation = separation;
    c.element1 = element1;
    c.element2 = element2;
    return c;
}

// The scripted pair test: writes the script's contacts up to the capacity.
int scriptedIntersect(CdxModelPair *pair, CdxIntersectResult *result)
{
    ++gScript.calls;
    result->pair = pair;
    const int count = std::min(result->contacts ? result->contactCapacity : 0,
                               static_cast<int>(gScript.contacts.size()));
    std::copy(gScript.contacts.begin(), gScript.contacts.begin() + count, result->contacts);
    result->contactCount = count;
    PxV3Set(result->normal, 0.0, 1.0, 0.0);
    return !gScript.contacts.empty();
}

// Dynamics contacts of a list, in list order.
std::vector<RbdContactID> listOf(RbdContactID first)
{
    std::vector<RbdContactID> list;
    for (RbdContactID c = first; c; c = RbdContactGetNext(c)) list.push_back(c);
    return list;
}

// A universe whose bridge the tests drive by hand: pairs made by the test
// run through one section of a container at a time.
class BridgeContacts : public UniverseFixture {
protected:
    BridgeContacts() : UniverseFixture({16, 64, 7, 64, 256, 4}) {}
    void SetUp() override
    {
        gScript = Script();
        UniverseFixture::SetUp();
        container = CdxModelPairContainerCreate(8);
    }
    void TearDown() override
    {
        for (CdxModelPair *pair : pairs_) CdxModelPairDestroy(pair);
        CdxModelPairContainerDestroy(container);
        UniverseFixture::TearDown();
    }
    // Replaces the pair test of two types (by default the sphere-sphere and
    // composite-sphere ones) by the scripted one.
    void useScript(CdxGeometryTypeID type1 = -1, CdxGeometryTypeID type2 = -1)
    {
        CdxInteractions scripted;
        CdxInteractionsInit(&scripted);
        scripted.intersectFn = scriptedIntersect;
        if (type1 >= 0) {
            CdxInteractionTableSetElement(type1, type2, &scripted, nullptr);
            return;
        }
        CdxInteractionTableSetElement(CdxSphereGetTypeId(), CdxSphereGetTypeId(), &scripted, nullptr);
        CdxInteractionTableSetElement(CdxCompositeGetTypeId(), CdxSphereGetTypeId(), &scripted, nullptr);
    }
    CdxModelPair *makePair(CdxModelID model1, CdxModelID model2)
    {
        pairs_.push_back(CdxModelPairCreate(model1, model2));
        return pairs_.back();
    }
    // Runs one pair through the bridge as one section (hello, staying,
    // goodbye or frozen) of a container.
    void run(CdxModelPair *pair, int (*section)(CdxModelPairContainer *, CdxModelPair *))
    {
        CdxModelPairContainerReset(container);
        section(container, pair);
        SbxHandleTransitions(container, nullptr, world, bridge);
        SbxHandleCollisions(container, nullptr, world, bridge);
    }

    CdxModelPairContainer *container = nullptr;

private:
    std::vector<CdxModelPair *> pairs_;
};

// What the transition callbacks saw, as one line per event.
struct Seen {
    std::vector<std::string> events;
    bool rejectPairs = false;
};

void push(void *data, const char *what, RbdContactID contacts)
{
    static_cast<Seen *>(data)->events.push_back(what + std::to_string(listOf(contacts).size()));
}
const SbxIntersectPairCB onNew = [](CdxIntersectResult *, RbdContactID c, void *d) { push(d, "new", c); };
const SbxIntersectPairCB onActive = [](CdxIntersectResult *, RbdContactID c, void *d) { push(d, "active", c); };
const SbxIntersectInactiveCB onInactive = [](CdxModelPair *, RbdContactID c, void *d) { push(d, "inactive", c); };
const SbxDisjointCB onDisjoint = [](CdxModelPair *, void *d) {
    static_cast<Seen *>(d)->events.push_back("disjoint");
};
const SbxIntersectCB onTouch = [](CdxIntersectResult *r, void *d) {
    static_cast<Seen *>(d)->events.push_back(r->touch ? "touch" : "?");
};
// Drops the contacts scripted with z = 1, after they were copied.
int vetoRaised(CdxIntersectResult *, CdxContact *collision, RbdContactID contact, void *)
{
    PxVector3 p;
    RbdContactGetPosition(contact, p);
    EXPECT_EQ(p[0], collision->position[0]);
    return collision->position[2] != 1.0;
}
const SbxPerPairCB judgePair = [](CdxIntersectResult *, RbdContactID, void *d) {
    return static_cast<int>(!static_cast<Seen *>(d)->rejectPairs);
};
const auto same = [](const RbdContactParams *a, const RbdContactParams *b) { return memcmp(a, b, sizeof *a) == 0; };

// Random histories of one pair per round: hello, stays, sleeps and
// goodbye with 0 to 4 scripted contacts, some vetoed and some pairs
// rejected whole. After each step the pair holds exactly the kept
// contacts in order, on the records it held before, with the parameters
// of its materials, and the callbacks told the story once.
TEST_F(BridgeContacts, RandomHistoriesKeepExactlyTheAcceptedContactsAndReportEachTransitionOnce)
{
    useScript();
    std::mt19937 rng(7);
    auto pick = [&rng](int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); };
    Seen seen;
    for (int i = 0; i < 4; ++i)
        for (int j = i; j < 4; ++j) {
            RbdContactParamsSetFriction(SbxBridgeGetContactParams(bridge, i, j), 10 * i + j);
            SbxBridgeSetPerContactCB(bridge, i, j, vetoRaised, nullptr);
            SbxBridgeSetPerPairCB(bridge, i, j, judgePair, &seen);
            SbxBridgeSetIntersectCB(bridge, i, j, onTouch, &seen);
            if (i > 0 || j > 1) continue; // the body-body and sensor-body responses
            SbxBridgeSetIntersectNewCB(bridge, 0, j, onNew, &seen);
            SbxBridgeSetIntersectActiveCB(bridge, 0, j, onActive, &seen);
            SbxBridgeSetDisjointCB(bridge, 0, j, onDisjoint, &seen);
            SbxBridgeSetIntersectInactiveCB(bridge, 0, j, onInactive, &seen);
        }
    for (int round = 0; round < 30; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        // Pairs of bodies, a fixed model and a body, two fixed models (which
        // get no contacts), and a body and a sensor (which gets none).
        const bool sensor = round % 5 == 4, firstFixed = round % 5 == 2 || round % 5 == 3,
                   secondFixed = round % 5 >= 3;
        CdxModelID a = firstFixed ? fixedAt(sphere(0.5), 0, 1, 0) : dropped(sphere(0.5), 0.0, 1.0, 0.0);
        CdxModelID b = secondFixed ? fixedAt(sphere(0.5), 0, 0, 0) : dropped(sphere(0.5), 0.0, 0.0, 0.0);
        if (sensor) CdxModelSetResponseID(b, SbxSensorResponseID);
        const int m1 = pick(4), m2 = pick(4);
        CdxModelSetMaterialID(a, m1);
        CdxModelSetMaterialID(b, m2);
        CdxModelPair *pair = makePair(a, b);
        const int steps = 1 + pick(8);
        std::vector<RbdContactID> held;
        std::vector<std::string> expected;
        bool touching = false;
        for (int step = 0; step <= steps; ++step) {
            const int what = step == 0 ? 0 : step == steps ? 3 : 1 + (touching && pick(4) == 0);
            std::vector<CdxContact> contacts, kept;
            for (int k = pick(5); k > 0; --k) {
                contacts.push_back(scriptContact(pick(100), pick(100), pick(3) == 0, -0.01 * pick(10)));
                if (contacts.back().position[2] != 1.0) kept.push_back(contacts.back());
            }
            seen.rejectPairs = !sensor && pick(6) == 0;
            if (seen.rejectPairs || sensor || (firstFixed && secondFixed)) kept.clear();
            const int calls = gScript.calls;
            if (what == 2) {
                run(pair, CdxModelPairContainerAddFrozen);
                EXPECT_EQ(gScript.calls, calls) << "a sleeping pair is not intersected";
                expected.push_back("inactive" + std::to_string(held.size()));
            } else if (what == 3) {
                run(pair, CdxModelPairContainerAddGoodbye);
                if (touching) expected.push_back("disjoint");
                kept.clear();
            } else {
                gScript.contacts = contacts;
                run(pair, what == 0 ? CdxModelPairContainerAddHello : CdxModelPairContainerAddStaying);
                if (sensor && what == 0) {
                    EXPECT_EQ(CdxModelPairGetRequestPtr(pair),
                              SbxResponseGetRequest(SbxBridgeGetResponse(bridge, SbxSensorResponseID, 0)))
                        << "a sensor's pair asks what its response entry asks";
                }
                if (!contacts.empty()) {
                    if (!sensor) expected.push_back("touch");
                    expected.push_back((touching ? "active" : "new") + std::to_string(kept.size()));
                } else if (touching) {
                    expected.push_back("disjoint");
                }
                touching = !contacts.empty();
            }
            if (what == 2) continue;
            const std::vector<RbdContactID> now = listOf(SbxModelPairGetContacts(pair));
            ASSERT_EQ(now.size(), kept.size()) << "step " << step;
            EXPECT_EQ(RbdWorldGetTotalConstraints(world), static_cast<int>(kept.size()));
            for (size_t k = 0; k < now.size(); ++k) {
                if (k < held.size()) {
                    EXPECT_EQ(now[k], held[k]) << "records are reused in order";
                }
                PxVector3 p, n;
                RbdContactGetPosition(now[k], p);
                RbdContactGetNormal(now[k], n);
                for (int x = 0; x < 3; ++x) EXPECT_TRUE(p[x] == kept[k].position[x] && n[x] == kept[k].normal[x]);
                EXPECT_EQ(RbdContactGetPenetration(now[k]), -kept[k].separation);
                EXPECT_EQ(RbdConstraintGetBody(now[k], 0), CdxModelGetBody(a)) << "model 1's body is body 0";
                EXPECT_EQ(RbdConstraintGetBody(now[k], 1), CdxModelGetBody(b));
                EXPECT_TRUE(RbdConstraintIsEnabled(now[k]));
                EXPECT_TRUE(same(RbdContactGetParams(now[k]), SbxBridgeGetContactParams(bridge, m1, m2)));
            }
            held = now;
        }
        EXPECT_EQ(seen.events, expected);
        seen.events.clear();
    }
}

// Random heaps of balls in a real space, moved and thinned at random: every
// overlapping pair has one contact along the line of centres from body 1 to
// body 0, as deep as the overlap, and no other pair has any. The pair
// buffer is small, so pairs reach the bridge in chunks.
TEST_F(BridgeContacts, ContactsInASpaceMatchBruteForceOverRandomMovesAndRemovals)
{
    ASSERT_EQ(SbxBridgeSetModelPairBufferSize(bridge, 3), 1);
    std::mt19937 rng(11);
    std::uniform_real_distribution<PxReal> coordinate(0.0, 2.0);
    const PxReal r = 0.4;
    std::vector<CdxModelID> balls;
    for (int k = 0; k < 10; ++k) balls.push_back(dropped(sphere(r), coordinate(rng), coordinate(rng), 0.0));
    for (int round = 0; round < 12; ++round) {
        if (round % 4 == 3) {
            SbxModelAndBodyDestroy(universe, balls.back()); // ends its contacts at once
            forget(balls.back());
            balls.pop_back();
        } else {
            RbdBodySetPosition(CdxModelGetBody(balls[rng() % balls.size()]), coordinate(rng), coordinate(rng), 0.0);
            update();
        }
        int overlaps = 0;
        for (size_t i = 0; i < balls.size(); ++i)
            for (size_t j = i + 1; j < balls.size(); ++j) {
                PxVector3 pi, pj;
                RbdBodyGetPosition(CdxModelGetBody(balls[i]), pi);
                RbdBodyGetPosition(CdxModelGetBody(balls[j]), pj);
                const PxReal d = PxV3Distance(pi, pj);
                CdxModelPair *pair = CdxSpaceGetModelPair(balls[i], balls[j]);
                const int count = pair ? SbxModelPairGetContactCount(pair) : 0;
                // Balls within a hair of touching may or may not report their contact.
                if (fabs(d - 2 * r) > 0.01) {
                    ASSERT_EQ(count, d < 2 * r ? 1 : 0) << round << ": " << i << "," << j;
                }
                if (!count) continue;
                ++overlaps;
                RbdContactID c = SbxModelPairGetContacts(pair);
                PxVector3 normal, p0, p1, oneToZero;
                RbdContactGetNormal(c, normal);
                RbdBodyGetPosition(RbdConstraintGetBody(c, 0), p0);
                RbdBodyGetPosition(RbdConstraintGetBody(c, 1), p1);
                PxV3Sub(oneToZero, p0, p1);
                EXPECT_NEAR(PxV3Dot(normal, oneToZero), d, 1e-9);
                EXPECT_NEAR(RbdContactGetPenetration(c), 2 * r - d, 1e-9);
            }
        EXPECT_EQ(RbdWorldGetTotalConstraints(world), overlaps);
    }
}

// A composite's contacts take the material of the element touched, on
// whichever side of the pair the composite is.
TEST_F(BridgeContacts, CompositeElementsLendTheirMaterialsToTheirContacts)
{
    useScript();
    CdxModelID b = dropped(sphere(0.5), 0.0, 0.0, 0.0);
    CdxModelSetMaterialID(b, 2);
    RbdContactParamsSetFriction(SbxBridgeGetContactParams(bridge, 1, 2), 3.0);
    RbdContactParamsSetSoftness(SbxBridgeGetContactParams(bridge, 3, 2), 0.01);
    CdxModelID elements[2] = {CdxModelCreate(sphere(0.2)), CdxModelCreate(sphere(0.2))};
    CdxModelSetMaterialID(elements[0], 1);
    CdxModelSetMaterialID(elements[1], 3);
    CdxModelID composite = own(SbxCompositeModelAndBodyCreate(universe, 2, 1000.0));
    for (CdxModelID element : elements) {
        CdxModelSetTransformPtr(element, newPose(0, 0, 0));
        ASSERT_TRUE(CdxCompositeModelAddElement(composite, element, newPose(0, 0, 0)));
    }
    ASSERT_EQ(SbxCompositeModelAndBodyBuild(universe, composite), 1);
    for (bool second : {false, true}) {
        // The pair test registered the other way round puts the composite second.
        if (second) useScript(CdxSphereGetTypeId(), CdxCompositeGetTypeId());
        CdxModelPair *pair = second ? makePair(b, composite) : makePair(composite, b);
        ASSERT_EQ(pair->model2 == composite, second);
        std::vector<CdxContact> contacts;
        for (CdxModelID element : elements) {
            const intptr_t e = reinterpret_cast<intptr_t>(element);
            contacts.push_back(scriptContact(0, 0, 0, 0, second ? 0 : e, second ? e : 0));
        }
        gScript.contacts = contacts;
        run(pair, CdxModelPairContainerAddHello);
        std::vector<RbdContactID> made = listOf(SbxModelPairGetContacts(pair));
        ASSERT_EQ(made.size(), 2u) << second;
        EXPECT_TRUE(same(RbdContactGetParams(made[0]), SbxBridgeGetContactParams(bridge, 1, 2)));
        EXPECT_TRUE(same(RbdContactGetParams(made[1]), SbxBridgeGetContactParams(bridge, 3, 2)));
        run(pair, CdxModelPairContainerAddGoodbye);
    }
    SbxModelDestroy(universe, composite);
    forget(composite);
    for (CdxModelID element : elements) CdxModelDestroy(element);
}

// Wheel contacts rub along the rolling direction (here y x z = +x),
// whichever side the wheel is on; the chassis' contacts do not.
TEST_F(BridgeContacts, ContactsOfACarWheelRubAlongItsRollingDirection)
{
    useScript();
    CdxModelID chassis = dropped(sphere(0.5), 0.0, 1.0, 0.0);
    CdxModelID wheel = dropped(sphere(0.5), 0.0, 0.0, 0.0);
    CdxModelID ground = dropped(sphere(0.5), 0.0, -1.0, 0.0);
    RbdConstraintID axle = RbdCarWheelCreate(world);
    RbdConstraintSetBodies(axle, CdxModelGetBody(chassis), CdxModelGetBody(wheel));
    RbdCarWheelSetSteeringAxis(axle, 0.0, 1.0, 0.0);
    RbdCarWheelSetHingeAxis(axle, 0.0, 0.0, 1.0);
    RbdConstraintEnable(axle);
    RbdContactParamsSetType(SbxBridgeGetContactParams(bridge, 0, 0), 1);
    gScript.contacts = {scriptContact(0, -0.5, 0, 0), scriptContact(0.1, -0.5, 0, 0)};
    for (CdxModelPair *pair : {makePair(wheel, ground), makePair(ground, wheel), makePair(chassis, ground)}) {
        run(pair, CdxModelPairContainerAddHello);
        const bool onWheel = pair->model1 == wheel || pair->model2 == wheel;
        for (RbdContactID c : listOf(SbxModelPairGetContacts(pair))) {
            PxVector3 direction;
            RbdContactGetDirection(c, direction);
            const bool rubs = RbdContactParamsGetOptions(RbdContactGetParams(c)) & RBD_CONTACT_DIRECTION;
            EXPECT_EQ(rubs, onWheel);
            if (onWheel) {
                EXPECT_NEAR(direction[0], 1.0, 1e-12);
            }
        }
        run(pair, CdxModelPairContainerAddGoodbye);
    }
}

// In safe-time mode the real sphere test limits both bodies of a closing
// pair to its time of impact ((3 - 1) / 2 = 1 s), never lengthens a
// limit, and leaves a parting pair alone. A per-pair callback takes every
// response past the shortcut for pairs without contacts, so the mode itself
// must keep the limit off.
TEST_F(BridgeContacts, InSafeTimeModeAClosingPairLimitsBothBodiesToItsTimeOfImpact)
{
    SbxBridgeSetPerPairCB(
        bridge, 0, 0, [](CdxIntersectResult *, RbdContactID, void *) { return 1; }, nullptr);
    CdxModelID left = dropped(sphere(0.5), 0.0, 10.0, 0.0);
    CdxModelID right = dropped(sphere(0.5), 3.0, 10.0, 0.0);
    CdxModelID far = dropped(sphere(0.5), 10.0, 10.0, 0.0);
    RbdBodySetLinearVelocity(CdxModelGetBody(left), 1.0, 0.0, 0.0);
    RbdBodySetLinearVelocity(CdxModelGetBody(right), -1.0, 0.0, 0.0);
    RbdBodySetLinearVelocity(CdxModelGetBody(far), 1.0, 0.0, 0.0);
    CdxModelPair *closing = makePair(left, right);
    RbdWorldSetTimeStep(world, 2.0);
    run(closing, CdxModelPairContainerAddHello);
    EXPECT_EQ(RbdBodyGetSafeTime(CdxModelGetBody(left)), DBL_MAX) << "safe-time mode is off";
    RbdWorldSetSafeTimeMode(world, 1);
    run(closing, CdxModelPairContainerAddStaying);
    run(makePair(right, far), CdxModelPairContainerAddHello);
    EXPECT_NEAR(RbdBodyGetSafeTime(CdxModelGetBody(left)), 1.0, 1e-12);
    EXPECT_NEAR(RbdBodyGetSafeTime(CdxModelGetBody(right)), 1.0, 1e-12);
    EXPECT_EQ(RbdBodyGetSafeTime(CdxModelGetBody(far)), DBL_MAX);
}

// A new bridge answers body, sensor and PS pairs from both orders; ids
// made from a template meet every id as the template does, and the table
// grows keeping its entries where they were.
TEST_F(BridgeContacts, ResponseIdsFromTemplatesMeetEveryIdAsTheirTemplates)
{
    struct Entry {
        int id1, id2;
        SbxResponseStartFn start;
        SbxResponseFn response;
    };
    const Entry entries[] = {{0, 0, SbxResponseStart_Body_Body, SbxResponse_Body_Body},
                             {1, 0, SbxResponseStart_Sensor_Body, nullptr},
                             {1, 1, SbxResponseStart_Sensor_Sensor, nullptr},
                             {2, 1, SbxResponseStart_Sensor_PS, nullptr},
                             {2, 2, nullptr, nullptr}};
    for (const Entry &e : entries)
        for (SbxResponse *r :
             {SbxBridgeGetResponse(bridge, e.id1, e.id2), SbxBridgeGetResponse(bridge, e.id2, e.id1)}) {
            EXPECT_EQ(SbxResponseGetStartFn(r), e.start) << e.id1 << e.id2;
            EXPECT_EQ(SbxResponseGetResponseFn(r), e.response) << e.id1 << e.id2;
            EXPECT_EQ(SbxResponseGetEndFn(r) != nullptr, e.response != nullptr) << e.id1 << e.id2;
        }
    const SbxResponseStartFn customStart = [](SbxBridgeID, CdxModelPair *, CdxSpaceID, RbdWorldID, SbxResponse *) {};
    const CdxRequest wide = {9, 1};
    ASSERT_EQ(SbxBridgeRegisterResponse(bridge, 2, 1, customStart, nullptr, nullptr, &wide, nullptr), 1);
    SbxResponse *registered = SbxBridgeGetResponse(bridge, 1, 2);
    int inactive = 0;
    SbxBridgeSetIntersectInactiveCB(bridge, 0, 0, onInactive, nullptr);
    SbxBridgeSetIntersectInactiveCB(bridge, 0, 0, onInactive, &inactive);
    EXPECT_EQ(SbxBridgeGetInactiveCallbackCount(bridge), 1) << "replacing is not adding";
    // Templates: body, sensor, the body copy, a fresh id, and body again.
    for (int t : {int{SbxBodyResponseID}, int{SbxSensorResponseID}, 3, -1, int{SbxBodyResponseID}}) {
        const int id = t < 0 ? SbxBridgeGetNewResponseID(bridge) : SbxBridgeGetNewResponseIDFromTemplateID(bridge, t);
        ASSERT_EQ(id, SbxBridgeGetResponseIDsUsed(bridge) - 1);
        for (int other = 0; other <= id; ++other) {
            SbxResponse *made = SbxBridgeGetResponse(bridge, id, other);
            SbxResponse *from = t < 0 ? nullptr : SbxBridgeGetResponse(bridge, t, other == id ? t : other);
            EXPECT_EQ(SbxResponseGetStartFn(made), from ? SbxResponseGetStartFn(from) : nullptr) << id << other;
            EXPECT_EQ(SbxResponseGetRequest(made)->contactMaxCount,
                      from ? SbxResponseGetRequest(from)->contactMaxCount : 4);
            EXPECT_NE(made, from) << "a copy";
        }
    }
    for (int i = 0; i < 8; ++i)
        for (int j = i; j < 8; ++j) inactive += SbxBridgeGetIntersectInactiveCB(bridge, i, j, nullptr) != nullptr;
    EXPECT_EQ(inactive, 10) << "body and its three copies meet each other and themselves with it";
    EXPECT_EQ(SbxBridgeGetInactiveCallbackCount(bridge), inactive);
    EXPECT_EQ(SbxBridgeGetResponse(bridge, 2, 1), registered) << "entries keep their addresses";
    EXPECT_EQ(SbxResponseGetRequest(registered)->contactMaxCount, 9);
    EXPECT_EQ(SbxBridgeGetNewResponseIDFromTemplateID(bridge, 9), -1) << "not handed out";
    // Material ids are handed out up to the count; then 0 says none is left.
    for (int k = 1; k < 4; ++k) EXPECT_EQ(SbxBridgeGetNewMaterial(bridge), k);
    EXPECT_EQ(SbxBridgeGetNewMaterial(bridge), 0) << "all used";
    EXPECT_EQ(SbxBridgeGetResponse(bridge, 8, 0), nullptr);
}

// Two cubes turned 45 degrees about z, 0.41 m apart face to face: their
// bounds overlap, so the pair is tested each step and found apart. A
// material id outside the table is reported at the pair's first test, not
// only once the cubes touch; a per-pair callback runs once a step on the
// pair's no contacts.
TEST_F(BridgeContacts, APairFoundApartStillWarnsOfItsMaterialAndRunsItsPerPairCallback)
{
    CdxGeometryID cube = box(1.0, 1.0, 1.0);
    CdxModelID a = dropped(cube, 0.0, 0.0, 0.0), b = dropped(cube, 1.0, 1.0, 0.0);
    for (CdxModelID model : {a, b})
        RbdBodySetQuaternion(CdxModelGetBody(model), cos(M_PI / 8), 0.0, 0.0, sin(M_PI / 8));
    CdxModelSetMaterialID(b, 9);
    {
        Warnings log;
        update();
        EXPECT_TRUE(log.warned("material id 9 is outside the table of 4 materials"));
    }
    ASSERT_NE(CdxSpaceGetModelPair(a, b), nullptr);
    EXPECT_EQ(SbxModelPairGetContacts(CdxSpaceGetModelPair(a, b)), RbdContactInvalidID);
    struct Calls {
        int all = 0, withContacts = 0;
    } calls;
    const SbxPerPairCB count = [](CdxIntersectResult *, RbdContactID first, void *data) {
        Calls *c = static_cast<Calls *>(data);
        ++c->all;
        c->withContacts += first != RbdContactInvalidID;
        return 1;
    };
    SbxBridgeSetPerPairCB(bridge, 0, 0, count, &calls);
    for (int step = 0; step < 3; ++step) update();
    EXPECT_EQ(calls.all, 3);
    EXPECT_EQ(calls.withContacts, 0);
}

// Each refused call of the bridge or the universe gives its empty answer,
// makes nothing and says why in one warning (starting with the text given).
// A running bridge warns once and goes on: a material outside the table is
// read as material 0, a contact buffer smaller than a request takes what
// fits, and a walk started from the bridge's own callback is ignored.
TEST_F(BridgeContacts, RefusalsGiveTheEmptyAnswerAndWarnOnceWithTheirMessage)
{
    CdxModelID upper = dropped(sphere(0.5), 0.0, 0.9, 0.0), lower = dropped(box(2.0, 0.2, 2.0), 0.0, 0.35, 0.0);
    RbdContactParamsSetType(SbxBridgeGetContactParams(bridge, 0, 0), 1);
    using Self = std::remove_pointer_t<decltype(this)>;
    const SbxIntersectPairCB walkAgain = [](CdxIntersectResult *, RbdContactID, void *data) {
        const Self *t = static_cast<Self *>(data);
        SbxBridgeUpdateTransitions(t->bridge, t->space, t->world);
    };
    // Parts and touches again for two steps: one contact, of material 0.
    auto touches = [&] {
        for (PxReal y : {9.0, 0.9, 0.9}) {
            RbdBodySetPosition(CdxModelGetBody(upper), 0.0, y, 0.0);
            update();
        }
        RbdContactID c = SbxModelPairGetContacts(CdxSpaceGetModelPair(upper, lower));
        return listOf(c).size() == 1 && RbdContactParamsGetType(RbdContactGetParams(c)) == 1;
    };
    PxMatrix4 *pose = newPose(0.0, 0.0, 0.0), *sheared = newPose(0.0, 0.0, 0.0);
    (*sheared)[0][1] = 0.5;
    CdxGeometryID cube = box(1.0, 1.0, 1.0);
    CdxModelID fixed = fixedAt(cube, 20.0, 0.0, 0.0);
    const auto badSizes = [](SbxUniverseSizes sizes) { return [sizes] { return !SbxUniverseCreate(sizes); }; };
    const std::pair<std::function<bool()>, const char *> cases[] = {
        {badSizes({10, 10, 5, 10, 10, 1}),
         "SbxUniverseCreate: bad sizes (10 bodies, 10 constraints, 5 geometry types"},
        {badSizes({10, 10, 7, 65537, 10, 1}), "SbxUniverseCreate: bad sizes ("},
        {badSizes({-1, 10, 7, 10, 10, 1}), "SbxUniverseCreate: bad sizes ("},
        {[&] { return SbxUniverseStep(universe, NAN), true; }, "SbxUniverseStep: the step nan must be > 0"},
        {[&] { return SbxUniverseStep(universe, 0.0), true; }, "SbxUniverseStep: the step 0 must be > 0"},
        {[] { return SbxUniverseStep(nullptr, 0.01), true; }, "SbxUniverseStep: null universe.\n"},
        {[&] { return !SbxModelAndBodyCreate(universe, cube, -1.0); }, "SbxModelAndBodyCreate: a body of density -1"},
        {[&] { return !SbxModelAndBodyCreate(universe, nullptr, 1.0); }, "SbxModelAndBodyCreate: "},
        {[] { return !SbxModelIsFrozen(nullptr); }, "SbxModelIsFrozen: "},
        {[] { return !SbxBridgeGetContactParams(nullptr, 0, 0); }, "SbxBridgeGetContactParams: null bridge.\n"},
        {[] { return !SbxBridgeGetResponse(nullptr, 0, 0); }, "SbxBridgeGetResponse: null bridge.\n"},
        {[&] { return SbxBridgeUpdateContacts(nullptr, space, world), true; },
         "SbxBridgeUpdateContacts: null bridge.\n"},
        {[&] { return CdxModelSetBody(fixed, CdxModelGetBody(upper)), !CdxModelGetBody(fixed); },
         "CdxModelSetBody: the body already has a model"},
        {[&] { return CdxModelDynamicsReset(fixed), true; }, "Resetting dynamics on CdxModel with no dynamics.\n"},
        {[&] { return SbxUniverseSetStepMethod(universe, 2), SbxUniverseGetStepMethod(universe) == 0; },
         "SbxUniverseSetStepMethod: unknown step method 2"},
        {[&] { return !SbxModelAndBodyCreate(universe, cube, 0.0); },
         "SbxModelAndBodyCreate: a body of density 0 on this geometry has no positive mass"},
        {[&] { return !SbxModelAndBodyCreate(universe, cube, INFINITY); },
         "SbxModelAndBodyCreate: a body of density inf"},
        {[&] { return !SbxFixedModelCreate(universe, cube, nullptr); }, "SbxFixedModelCreate: null transform.\n"},
        {[&] { return !SbxKinematicModelCreate(universe, cube, sheared, nullptr, nullptr); },
         "SbxKinematicModelCreate: the transform is not a rotation"},
        {[&] { return !SbxSensorCompositeModelCreate(universe, cube, pose); },
         "SbxSensorCompositeModelCreate: the geometry is not a composite.\n"},
        {[] { return SbxBridgeCreate(0) == nullptr; },
         "SbxBridgeCreate: the material count must be at least 1 (0).\n"},
        {[&] { return SbxBridgeSetModelPairBufferSize(bridge, 1) == 0; },
         "SbxBridgeSetModelPairBufferSize: the size must be at least 2 (1).\n"},
        {[&] { return SbxBridgeSetContactBufferSize(bridge, 0) == 0; },
         "SbxBridgeSetContactBufferSize: the size must be at least 1 (0).\n"},
        {[&] {
             return SbxBridgeSetContactMatching(bridge, 3),
                    SbxBridgeGetContactMatching(bridge) == SBX_CONTACTS_SWEPT_TURNED_BY_PLACE;
         },
         "SbxBridgeSetContactMatching: no matching 3; unchanged.\n"},
        {[] { return SbxBridgeGetNewMaterial(nullptr) == 0; }, "SbxBridgeGetNewMaterial: null bridge.\n"},
        {[] { return SbxBridgeGetNewResponseID(nullptr) == -1; }, "SbxBridgeGetNewResponseID: null bridge.\n"},
        {[&] { return SbxBridgeUpdateContacts(bridge, nullptr, world), true; },
         "SbxBridgeUpdateContacts: null space.\n"},
        {[&] { return CdxModelSetMaterialID(upper, 9), touches(); },
         "SbxBridge: material id 9 is outside the table of 4 materials; material 0 is used.\n"},
        {[&] { return SbxBridgeSetContactBufferSize(bridge, 2), touches(); },
         "SbxBridgeUpdateContacts: a pair may report 4 contacts but the contact buffer holds 2; enlarge it with "
         "SbxBridgeSetContactBufferSize.\n"},
        {[&] { return SbxBridgeSetIntersectNewCB(bridge, 0, 0, walkAgain, this), touches(); },
         "SbxBridgeUpdateTransitions: called from a callback of the bridge's own walk; ignored.\n"},
    };
    for (const auto &c : cases) {
        Warnings warnings;
        EXPECT_TRUE(c.first()) << c.second;
        ASSERT_EQ(warnings.warnings.size(), 1u) << c.second;
        EXPECT_EQ(warnings.warnings[0].rfind(c.second, 0), 0u) << warnings.warnings[0];
        CdxModelSetMaterialID(upper, 0);
        SbxBridgeSetContactBufferSize(bridge, 500);
        SbxBridgeSetIntersectNewCB(bridge, 0, 0, nullptr, nullptr);
    }
    EXPECT_EQ(SbxBridgeGetModelPairBufferSize(bridge), 256) << "refused sizes are not taken";
    EXPECT_EQ(SbxUniverseGetLiveCount(), 1);
    EXPECT_EQ(RbdWorldGetTotalBodies(world), 2);
    EXPECT_EQ(CdxSpaceGetModelCount(space), 3);
}

// With matching by place, a pair's contacts continue from step to step by
// where they touch: a box resting off-centre (or turned) on a fixed box,
// whose collision results are shuffled before the bridge sees them, keeps
// each corner that stays on the record (and so the force) that corner had
// in the last step. In order, the k-th collision contact takes the k-th
// contact of the last step, wherever it touched.
struct Corner {
    RbdContactID record;
    PxVector3 position;
    PxVector3 force; // on body 0 in the last step (N)
};

std::vector<Corner> chainOf(RbdContactID head)
{
    std::vector<Corner> all;
    for (RbdContactID c : listOf(head)) {
        all.push_back({c, {}, {}});
        RbdContactGetPosition(c, all.back().position);
        RbdConstraintGetForce(c, 0, all.back().force);
    }
    return all;
}

// What the shuffling response checked.
struct Watch {
    std::mt19937 rng{11};
    bool checking = false;
    int corners = 0;     // corners checked
    PxReal spread = 0.0; // largest difference of two corners' normal forces (N)
    PxReal weight = 0.0; // of the top box (N)
    bool byPlace = true; // the records are expected to follow the corners, else the list order
};

// Shuffles the collision contacts, lets the bridge's own response make the
// dynamics contacts, and checks each against the pair's contacts before.
void shuffledResponse(SbxBridgeID bridge, CdxModelPair *pair, CdxIntersectResult *result, CdxSpaceID space,
                      RbdWorldID world, void *user)
{
    Watch &watch = *static_cast<Watch *>(user);
    std::shuffle(result->contacts, result->contacts + result->contactCount, watch.rng);
    const std::vector<Corner> before = chainOf(SbxModelPairGetContacts(pair));
    SbxResponse_Body_Body(bridge, pair, result, space, world, nullptr);
    if (!watch.checking) return;
    const std::vector<Corner> after = chainOf(SbxModelPairGetContacts(pair));
    if (!watch.byPlace) {
        for (size_t k = 0; k < std::min(before.size(), after.size()); ++k)
            EXPECT_EQ(after[k].record, before[k].record) << "contact " << k << " continues in list order";
        watch.corners += static_cast<int>(std::min(before.size(), after.size()));
    }
    for (const Corner &now : after) {
        if (!watch.byPlace) break;
        // The corner of the last step at this place, if it stayed (the box
        // is at rest: a corner moves by far less than a millimetre a step,
        // while the contacts a turned box's face is reduced to may move to
        // other corners of the face's outline).
        const Corner *last = nullptr;
        for (const Corner &s : before) {
            PxVector3 gap;
            PxV3Sub(gap, now.position, s.position);
            if (PxV3Length(gap) < 1e-3) last = &s;
        }
        if (!last) continue;
        EXPECT_EQ(now.record, last->record) << "the corner continues on its record";
        for (int k = 0; k < 3; ++k) EXPECT_EQ(now.force[k], last->force[k]);
        ++watch.corners;
    }
    for (const Corner &a : before)
        for (const Corner &b : before) watch.spread = std::max(watch.spread, fabs(a.force[2] - b.force[2]));
}

struct Placement {
    PxReal x, y; // offset of the top box from the bottom one (m)
    PxReal turn; // about the vertical (rad)
};

// How the pair's contacts should continue under a matching: a pair the
// sweeps solve (the large-island row count 0) or one pivoting solves (the
// world's default count) continues by place or in list order. By default
// only a turned box that the sweeps solve continues by place.
struct Continuation {
    Placement placement;
    int matching; // SbxBridgeSetContactMatching
    bool swept;   // the island is solved by sweeps
    bool byPlace; // the records follow the corners
};

class ContactContinuity : public UniverseFixture, public ::testing::WithParamInterface<Continuation> {
protected:
    ContactContinuity() : UniverseFixture({8, 64, 7, 64, 512, 2}) {}
};

TEST_P(ContactContinuity, CornersKeepTheirRecordsWhileTheResultsAreShuffled)
{
    const Continuation c = GetParam();
    const Placement p = c.placement;
    Watch watch;
    watch.byPlace = c.byPlace;
    RbdWorldSetAutoDisable(world, 0); // a sleeping pair is not intersected
    if (c.swept) RbdWorldLCPSetLargeIslandRows(world, 0);
    SbxBridgeSetContactMatching(bridge, c.matching);
    SbxBridgeRegisterResponse(bridge, SbxBodyResponseID, SbxBodyResponseID, SbxResponseStart_Body_Body,
                              shuffledResponse, SbxResponseEnd_Body_Body, nullptr, &watch);
    fixedAt(keep(CdxBoxCreate(1.0, 1.0, 1.0)), 0.0, 0.0, 0.5);
    CdxModelID top = dropped(keep(CdxBoxCreate(1.0, 1.0, 1.0)), p.x, p.y, 1.5, 100.0);
    RbdBodyID body = CdxModelGetBody(top);
    PxQuaternion q = {cos(p.turn / 2), 0.0, 0.0, sin(p.turn / 2)};
    RbdBodySetQuaternion(body, q[0], q[1], q[2], q[3]);
    watch.weight = 9.81 * RbdBodyGetMass(body);
    steps(100);
    ASSERT_LT(speed(top), 1e-3) << "the box has settled";
    watch.checking = true;
    steps(50);
    EXPECT_GE(watch.corners, 50 * 2) << "corners stayed";
    // The corners carry different forces, so that a corner on another's
    // record would be seen.
    EXPECT_GT(watch.spread, 0.05 * watch.weight);
}

std::vector<Continuation> continuations()
{
    const Placement placements[] = {{0.2, 0.0, 0.0}, {0.15, -0.25, 0.0}, {0.1, 0.1, 0.5}};
    std::vector<Continuation> all;
    for (const Placement &p : placements) {
        all.push_back({p, SBX_CONTACTS_BY_PLACE, false, true});
        all.push_back({p, SBX_CONTACTS_SWEPT_TURNED_BY_PLACE, true, p.turn != 0.0});
        all.push_back({p, SBX_CONTACTS_SWEPT_TURNED_BY_PLACE, false, false});
        all.push_back({p, SBX_CONTACTS_IN_ORDER, true, false});
    }
    return all;
}

INSTANTIATE_TEST_SUITE_P(OffCentreAndTurned, ContactContinuity, ::testing::ValuesIn(continuations()));

// Columns of five 0.2 m cubes on the ground, each turned about the vertical
// against the one below and a little off its centre, solved by sweeps. In
// order, a corner takes another's force when the clipping lists the corners
// from another start, and the columns rock with energy they never had. Each
// column is chaotic (either matching calms some), so the test compares the
// median over 13 turns of the most kinetic energy in the last two seconds.
class TurnedColumns : public UniverseFixture {
protected:
    TurnedColumns() : UniverseFixture({8, 64, 7, 64, 512, 2}) {}
    // The most kinetic energy (J) of one column in steps 400 to 600.
    PxReal rocking(int matching, PxReal turn)
    {
        RbdWorldSetAutoDisable(world, 0);
        RbdWorldLCPSetLargeIslandRows(world, 0);
        SbxBridgeSetContactMatching(bridge, matching);
        frictionBothWays();
        std::vector<CdxModelID> column = {fixedAt(keep(CdxPlaneCreate()), 0.0, 0.0, 0.0)};
        CdxGeometryID cube = box(0.2, 0.2, 0.2);
        for (int k = 0; k < 5; ++k) {
            column.push_back(dropped(cube, 0.02 * (k % 2), 0.015 * (k % 3), 0.2 * k + 0.1 + 1e-4 * k));
            RbdBodySetQuaternion(CdxModelGetBody(column.back()), cos(turn * k / 2), 0.0, 0.0, sin(turn * k / 2));
        }
        PxReal most = 0.0;
        for (int n = 0; n < 600; ++n) {
            steps(1);
            PxReal energy = 0.0;
            for (size_t k = 1; k < column.size(); ++k) energy += RbdBodyGetKineticEnergy(CdxModelGetBody(column[k]));
            if (n >= 400) most = std::max(most, energy);
        }
        for (CdxModelID model : column) {
            SbxModelDestroy(universe, model);
            forget(model);
        }
        return most;
    }
};

TEST_F(TurnedColumns, RockLessWhenSweptTurnedBoxesContinueByPlace)
{
    std::vector<PxReal> inOrder, byPlace;
    for (int k = 0; k <= 12; ++k) {
        const PxReal turn = 0.2 + 0.05 * k;
        inOrder.push_back(rocking(SBX_CONTACTS_IN_ORDER, turn));
        byPlace.push_back(rocking(SBX_CONTACTS_SWEPT_TURNED_BY_PLACE, turn));
    }
    std::sort(inOrder.begin(), inOrder.end());
    std::sort(byPlace.begin(), byPlace.end());
    EXPECT_GT(inOrder[6], 1e-3) << "in order, the median column rocks";
    EXPECT_LT(byPlace[6], inOrder[6] / 3) << "by place, the median column rocks far less";
}

} // namespace
