// The world record: defaults, setters, reset, capacity growth and the
// solver workspace.
#include <gtest/gtest.h>

#include <float.h>
#include <string.h>
#include <vector>
#include "dynamics/RbdTestSupport.h"

using namespace rbdtest;

TEST(RbdWorld, InvalidCapacitiesAndParametersAreRefusedWithAWarning)
{
    WarningCapture warnings;
    EXPECT_EQ(RbdWorldCreate(-1, 3), nullptr);
    EXPECT_TRUE(warnings.contains("RbdWorldCreate: invalid capacities (-1 bodies, 3 constraints)"));
    World world(0, 0);
    ASSERT_NE(world.id, nullptr);
    warnings.clear();
    RbdWorldSetTimeStep(world, 0.0);
    RbdWorldSetEpsilon(world, -1.0);
    RbdWorldSetGamma(world, NAN);
    RbdWorldSetAutoDisable(world, 3);
    RbdWorldSetGravity(world, 0.0, INFINITY, 0.0);
    RbdWorldLCPSetMaxIterations(world, 0);
    EXPECT_EQ(warnings.messages().size(), 6u);
    EXPECT_EQ(RbdWorldGetTimeStep(world), 0.015);
    EXPECT_EQ(RbdWorldGetEpsilon(world), 1e-6);
    EXPECT_DOUBLE_EQ(RbdWorldGetGamma(world), 0.12);
    EXPECT_EQ(RbdWorldGetAutoDisable(world), 0);
    EXPECT_EQ(RbdWorldLCPGetMaxIterations(world), 35);
    // A world made for nothing still takes bodies and constraints.
    EXPECT_NE(RbdBodyCreate(world), nullptr);
    EXPECT_NE(RbdHingeCreate(world), nullptr);
}

// The parameters a world's getters report, in one row.
static std::vector<double> Parameters(RbdWorldID w)
{
    PxVector3 g;
    RbdWorldGetGravity(w, g);
    return {RbdWorldGetEpsilon(w),
            g[0],
            g[1],
            g[2],
            double(RbdWorldGetAutoDisable(w)),
            RbdWorldGetAutoDisableVelocityThreshold(w),
            RbdWorldGetAutoDisableAngularVelocityThreshold(w),
            RbdWorldGetAutoDisableAccelerationThreshold(w),
            RbdWorldGetAutoDisableAngularAccelerationThreshold(w),
            double(RbdWorldGetAutoDisableAliveWindow(w)),
            double(RbdWorldGetIntegrationModel(w)),
            double(RbdWorldGetStepperOptions(w)),
            double(RbdWorldGetLinearSolver(w)),
            double(RbdWorldLCPGetMaxIterations(w)),
            double(RbdWorldLCPGetMaxBlockIterations(w)),
            RbdWorldLCPGetTolerance(w)};
}

// Reset gives the parameters of a new world, with gamma rescaled to the
// kept time step (0.12 at 0.015 s is 0.08 at 0.01 s); bodies stay.
TEST(RbdWorld, ResetRestoresParametersButKeepsBodiesAndTimeStep)
{
    World world(2, 2), fresh(2, 2);
    RbdBodyID body = RbdBodyCreate(world);
    RbdWorldSetTimeStep(world, 0.01);
    RbdWorldSetEpsilon(world, 0.5);
    RbdWorldSetGravity(world, 1.0, 2.0, 3.0);
    RbdWorldSetAutoDisable(world, 1);
    RbdWorldSetAutoDisableAngularVelocityThreshold(world, 9.0);
    RbdWorldSetIntegrationModel(world, 0);
    RbdWorldSetLinearSolver(world, 1);
    RbdWorldLCPSetMaxIterations(world, 99);
    RbdWorldReset(world);
    EXPECT_EQ(Parameters(world), Parameters(fresh));
    EXPECT_DOUBLE_EQ(RbdWorldGetGamma(world), 0.08);
    EXPECT_EQ(RbdWorldGetTimeStep(world), 0.01);
    EXPECT_EQ(RbdBodyGetFirst(world), body);
    EXPECT_EQ(RbdWorldGetTotalBodies(world), 1);
    // A gamma tuned for a 0.01 s step, used at 0.005 s.
    RbdWorldSetGammaWithRefTimeStep(world, 0.2, 0.01, 0.005);
    EXPECT_DOUBLE_EQ(RbdWorldGetGamma(world), 0.1);
}

TEST(RbdWorld, CapacitiesGrowToTheCountsOnlyWhenSomethingWasInserted)
{
    World world(1, 1);
    for (int i = 0; i < 3; ++i) RbdBodyCreate(world);
    RbdHingeCreate(world);
    RbdBSJointCreate(world);
    EXPECT_EQ(world->changeCount, 5);
    EXPECT_EQ(RbdWorldGetMaxBodies(world), 1); // growth waits for the step
    ASSERT_TRUE(RbdWorldUpdateCapacities(world));
    EXPECT_EQ(RbdWorldGetMaxBodies(world), 3);
    EXPECT_EQ(RbdWorldGetMaxConstraints(world), 2);
    EXPECT_EQ(world->rows.maxRows, 24);
    EXPECT_EQ(world->rows.maxConstraints, 2);
    EXPECT_NE(world->partitions.bodies, nullptr);
    EXPECT_EQ(world->changeCount, 0);
    // Destroying does not shrink, even with an insertion after it, so nothing
    // is reallocated.
    RbdBodyDestroy(RbdBodyGetFirst(world));
    RbdBodyDestroy(RbdBodyGetFirst(world));
    RbdBodyCreate(world);
    PxReal *rows = world->rows.jacobian;
    ASSERT_TRUE(RbdWorldUpdateCapacities(world));
    EXPECT_EQ(RbdWorldGetMaxBodies(world), 3);
    EXPECT_EQ(world->rows.jacobian, rows);
}

namespace {

char userMemory[8192];
int overflowCalls = 0;

void growIntoUserMemory(PxChunk *chunk, void *, size_t, size_t needed)
{
    ++overflowCalls;
    PxChunkSetUser(chunk, userMemory, needed < sizeof userMemory ? sizeof userMemory : needed, 64);
}

} // namespace

TEST(RbdWorld, TheSolverWorkspaceCanLiveInCallerMemory)
{
    World world(1, 1);
    static char small[1024];
    RbdWorldSetMemoryPool(world, small, sizeof small);
    EXPECT_EQ(world->chunk.isAuto, 0);
    EXPECT_EQ(PxChunkGetMem(&world->chunk, 4000), nullptr); // no callback: the request fails
    EXPECT_EQ(RbdWorldGetMaxMemoryPoolUsed(world), 4000u);
    RbdWorldSetMemoryPoolOverflowCB(world, growIntoUserMemory);
    EXPECT_NE(PxChunkGetMem(&world->chunk, 6000), nullptr);
    EXPECT_EQ(overflowCalls, 1);
    EXPECT_EQ((uintptr_t)world->chunk.alignedMemory % 64, 0u);
    EXPECT_EQ(RbdWorldGetMaxMemoryPoolUsed(world), 6000u);
}

namespace {

void recordConstraint(RbdConstraintID c, void *arg)
{
    static_cast<std::vector<RbdConstraintID> *>(arg)->push_back(c);
}

} // namespace

TEST(RbdWorld, ForAllConstraintsVisitsTheEnabledOnesMostRecentlyEnabledFirst)
{
    World world(2, 3);
    RbdBodyID body = RbdBodyCreate(world);
    RbdConstraintID a = RbdBSJointCreate(world), b = RbdHingeCreate(world), c = RbdSpringCreate(world);
    for (RbdConstraintID x : {a, b, c}) RbdConstraintSetBodies(x, body, nullptr);
    RbdConstraintEnable(b);
    RbdConstraintEnable(a);
    std::vector<RbdConstraintID> visited;
    RbdWorldForAllConstraints(world, recordConstraint, &visited);
    EXPECT_EQ(visited, (std::vector<RbdConstraintID>{a, b}));
    EXPECT_EQ(RbdConstraintGetFirst(world), a);
    EXPECT_EQ(RbdConstraintGetNext(a), b);
    EXPECT_EQ(RbdConstraintGetNext(b), nullptr);
}
