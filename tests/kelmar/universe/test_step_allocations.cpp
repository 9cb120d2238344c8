// Once a scene has reached its sizes, a universe step allocates nothing:
// neither from the toolkit's allocation table nor through the standard
// allocator, which the robot layer uses. The scene has resting and sliding
// solids with contacts, hinges with stops, PID and linear controllers, a
// spring, and a robot commanded between the steps; its islands are solved
// by pivoting, or all of them by the sweeps meant for large islands.

#include <cstdlib>
#include <new>
#include <vector>

#include <kelmar/PxMemory.h>
#include <kelmar/Rbd.h>
#include <kelmar/RbdLcs.h>

#include "common/AllocationCounter.h"
#include "common/MessageLog.h"
#include "KelmarTestSupport.h"

namespace {

bool gCounting = false;
long gStandard = 0; // operator new and delete calls while counting

void Release(void *p)
{
    if (gCounting && p) ++gStandard;
    std::free(p);
}

void *AllocateOrNull(std::size_t size) noexcept
{
    if (gCounting) ++gStandard;
    return std::malloc(size ? size : 1);
}

void *Allocate(std::size_t size)
{
    void *p = AllocateOrNull(size);
    if (!p) throw std::bad_alloc();
    return p;
}

} // namespace

// Every form, so that no allocation bypasses the count and no block is
// released by a different allocator than the one that made it.
void *operator new(std::size_t size)
{
    return Allocate(size);
}
void *operator new[](std::size_t size)
{
    return Allocate(size);
}
void *operator new(std::size_t size, const std::nothrow_t &) noexcept
{
    return AllocateOrNull(size);
}
void *operator new[](std::size_t size, const std::nothrow_t &) noexcept
{
    return AllocateOrNull(size);
}
void operator delete(void *p) noexcept
{
    Release(p);
}
void operator delete[](void *p) noexcept
{
    Release(p);
}
void operator delete(void *p, std::size_t) noexcept
{
    Release(p);
}
void operator delete[](void *p, std::size_t) noexcept
{
    Release(p);
}
void operator delete(void *p, const std::nothrow_t &) noexcept
{
    Release(p);
}
void operator delete[](void *p, const std::nothrow_t &) noexcept
{
    Release(p);
}

namespace {

using namespace kelmartest;

// Counts the toolkit's allocations and the standard allocator's calls.
struct Counting : testsupport::AllocationCounter {
    Counting() { gStandard = 0, gCounting = true; }
    ~Counting() { gCounting = false; }
    long standard() const { return gStandard; }
};

const char *kScene = R"(<WORLD><GRAVITY>0, 0, -981</GRAVITY><TIMESTEP>0.005</TIMESTEP></WORLD>
<GEOMETRIES><PLANE floor/><BOX link><DIMS>2, 2, 6</DIMS></BOX><BOX brick><DIMS>6, 4, 3</DIMS></BOX>
<SPHERE ball><RADIUS>2</RADIUS></SPHERE></GEOMETRIES>
<SOLID ground><GEOMETRY_ID>floor</GEOMETRY_ID><MATERIAL>wood</MATERIAL><FROZEN>1</FROZEN></SOLID>
<SOLID brick><GEOMETRY_ID>brick</GEOMETRY_ID><MATERIAL>wood</MATERIAL><POS>20, 0, 1.5</POS><BODY><VEL>30, 0, 0</VEL></BODY></SOLID>
<SOLID ball><GEOMETRY_ID>ball</GEOMETRY_ID><MATERIAL>rubber</MATERIAL><POS>-12, 3, 2</POS><BODY><VEL>0, 20, 0</VEL></BODY></SOLID>
<SOLID l1><GEOMETRY_ID>link</GEOMETRY_ID><POS>0, 0, 17</POS></SOLID>
<SOLID l2><GEOMETRY_ID>link</GEOMETRY_ID><POS>0, 0, 11</POS></SOLID>
<SOLID l3><GEOMETRY_ID>link</GEOMETRY_ID><POS>0, 0, 5</POS></SOLID>
<HINGE j1><SOLID_IDS>l1, WORLD</SOLID_IDS><POS>0, 0, 20</POS><LIMIT><STOPS>-1, 1</STOPS><MAXFORCE>1e6</MAXFORCE>
  <CONTROLLER PID><PARAMS>10, 0.1, 1</PARAMS></CONTROLLER></LIMIT></HINGE>
<HINGE j2><SOLID_IDS>l2, l1</SOLID_IDS><POS>0, 0, 14</POS><LIMIT><STOPS>-1.5, 1.5</STOPS><MAXFORCE>1e6</MAXFORCE></LIMIT></HINGE>
<PRISMATIC j3><SOLID_IDS>l3, l2</SOLID_IDS><POS>0, 0, 8</POS><AXIS>0, 0, 1</AXIS>
  <LIMIT><STOPS>-2, 2</STOPS><MAXFORCE>1e6</MAXFORCE></LIMIT></PRISMATIC>
<SPRING s><SOLID_IDS>ball, l3</SOLID_IDS><STIFFNESS>50</STIFFNESS></SPRING>
<ROBOT arm><SOLID>l1</SOLID><JOINT>j1</JOINT></ROBOT>
)";

// The large-island threshold: the default, or 0 rows (every island is large).
class StepAllocations : public ::testing::TestWithParam<int> {};

TEST_P(StepAllocations, AStepAllocatesNothingOnceTheSceneHasItsSizes)
{
    Rig rig(kScene);
    ASSERT_TRUE(rig.messages.empty()) << rig.messages[0];
    RbdWorldLCPSetLargeIslandRows(rig.universe.GetWorld(), GetParam());
    kelmar::Robot *arm = rig.robot("arm");
    ASSERT_EQ(arm->numJoints, 3);
    const double targets[2][3] = {{0.6, -0.8, 1.0}, {-0.5, 0.9, -1.0}};
    auto command = [&](int k) {
        arm->SetJoints(targets[(k / 100) % 2], 0.8f);
        rig.limit("j1")->SetValueCtrl(targets[(k / 100) % 2][0], 1.0);
        rig.limit("s")->GetPosition();
    };
    for (int k = 0; k < 400; ++k) {
        command(k);
        rig.Steps(1);
    }
    {
        Counting counting;
        for (int k = 0; k < 400; ++k) {
            command(k);
            rig.Steps(1);
        }
        EXPECT_EQ(counting.allocations(), 0);
        EXPECT_EQ(counting.standard(), 0);
    }
    // The counted steps did work: contacts, a moving robot.
    std::unique_ptr<kelmar::ContactList> contacts(rig.solid("brick")->GetContacts(0));
    EXPECT_GT(contacts->count, 0);
    EXPECT_NEAR(arm->GetNodeOfJoint(1)->_GetJoint(), targets[1][1], 0.05);
    Counting counting; // and both counters count
    int *volatile one = new int(1);
    delete one;
    PxMemoryAPI.destroy(PxMemoryAPI.create(8));
    EXPECT_EQ(counting.standard(), 2);
    EXPECT_EQ(counting.allocations(), 1);
}

// A world made for one body, which steps a lone box first and then a stack
// of 40 boxes (480 contact rows: pivoted under the default threshold, swept
// at 0), allocates in no step after the first, in its own workspace: what
// the solver works in and keeps is sized with the world's capacities, here
// grown at the first step.
TEST_P(StepAllocations, ALargerIslandThanAnyBeforeAllocatesNothing)
{
    const int kBoxes = 40;
    RbdWorldID world = RbdWorldCreate(1, 1);
    RbdWorldSetGravity(world, 0.0, -9.81, 0.0);
    RbdWorldLCPSetLargeIslandRows(world, GetParam());
    RbdContactParams params;
    RbdContactParamsReset(&params);
    RbdContactParamsSetType(&params, 2);
    RbdContactParamsSetFrictionModel(&params, 1);
    RbdContactParamsSetFrictionCoefficient(&params, 0.5);
    std::vector<RbdBodyID> boxes;
    std::vector<RbdContactID> contacts;
    PxMatrix3 inertia;
    RbdMakeInertiaTensorBox(1.0, 1.0, 1.0, 1.0, inertia);
    for (int b = 0; b < kBoxes; ++b) {
        boxes.push_back(RbdBodyCreate(world));
        RbdBodySetMass(boxes[b], 1.0);
        RbdBodySetInertiaTensor(boxes[b], inertia);
        RbdBodySetPosition(boxes[b], 0.0, b + 0.5, 0.0);
        RbdBodyEnable(boxes[b]);
        for (int k = 0; k < 4; ++k) { // its bottom corners, on the box below
            RbdContactID c = RbdContactCreate(world);
            RbdConstraintSetBodies(c, boxes[b], b ? boxes[b - 1] : nullptr);
            RbdContactSetNormal(c, 0.0, 1.0, 0.0);
            RbdContactSetPosition(c, k % 2 - 0.5, b, k / 2 - 0.5);
            RbdContactSetParams(c, &params);
            contacts.push_back(c);
            if (b == 0) RbdConstraintEnable(c);
        }
    }
    RbdWorldStep(world, 0.01);
    for (int b = 0; b < kBoxes; ++b) { // the stack stands up
        RbdBodySetPosition(boxes[b], 0.0, b + 0.5, 0.0);
        RbdBodySetLinearVelocity(boxes[b], 0.0, 0.0, 0.0);
    }
    for (RbdContactID c : contacts) RbdConstraintEnable(c);
    testsupport::MessageLog log;
    for (int step = 1; step < 20; ++step) {
        long allocations;
        {
            Counting counting;
            RbdWorldStep(world, 0.01);
            allocations = counting.allocations() + counting.standard();
        }
        EXPECT_EQ(allocations, 0) << "step " << step;
    }
    PxVector3 top;
    RbdBodyGetPosition(boxes.back(), top);
    EXPECT_NEAR(top[1], kBoxes - 0.5, GetParam() ? 1e-3 : 0.1); // it stood: pivoted, or by 19 sweeps' steps
    ASSERT_TRUE(log.warnings.empty()) << log.warnings[0];
    RbdWorldDestroy(world);
}

INSTANTIATE_TEST_SUITE_P(PivotingAndSweeps, StepAllocations, ::testing::Values(RBD_LCP_DEFAULT_LARGE_ISLAND_ROWS, 0));

} // namespace
