// A contact's box friction row starts at the side the last full solve held
// it at while its last force points that way, even when the bound has
// grown past that force (a closing grip's normal force grows every step).
// Friction bounds taken from the last step's normal forces: a solution is
// kept only when the bounds its own normal impulses give hold, so sliding
// friction follows a normal force that changes every step.
#include <gtest/gtest.h>

#include <string.h>
#include "dynamics/test_step_support.h"
#include "joints/RbdConstraintRecord.h"
#include "solver/RbdLcsFrictionBounds.h"
#include "solver/RbdLcsSeed.h"
#include "solver/RbdLcsSubproblem.h"
#include "solver/RbdLcsSolver.h"
#include "solver/RbdLcsTiles.h"

using namespace lcs;
using namespace steptest;

namespace {

// One contact record on one body as an island of one constraint: row 0 its
// normal (+y), rows 1 and 2 box friction along +x and +z within +-bound.
// Holds pointers into itself: built in place, never copied.
struct OneContact {
    RbdBaseConstraint record;
    int32_t firstRow[1] = {0}, rowsOf[1] = {3}, bodies[2] = {0, -1}, frictionRef[4] = {-1, -1, -1, -1};
    int32_t state[4];
    PxReal J[kTileSize] = {}, lo[4], hi[4];
    PartitionRows rows = {};
    RbdBaseConstraint *records[1] = {&record};

    OneContact(PxReal bound, int32_t normal, int32_t row1, int32_t row2)
        : state{normal, row1, row2, kLcpFree}, lo{0.0, -bound, -bound}, hi{RBD_REAL_MAX, bound, bound}
    {
        memset(&record, 0, sizeof(record));
        record.typeId = RBD_TYPE_CONTACT;
        record.solverBody[0] = reinterpret_cast<RbdLcsBody *>(&record); // only its side is read
        J[tileIndex(0, 1)] = J[tileIndex(1, 0)] = J[tileIndex(2, 2)] = 1.0;
        rows.layout = {1, 3, 4, firstRow, rowsOf, bodies};
        rows.J = J;
        rows.lo = lo;
        rows.hi = hi;
        rows.state = state;
        rows.frictionRef = frictionRef;
    }
    OneContact(const OneContact &) = delete;
};

} // namespace

// One contact on one body: row 0 its normal (+y, pressed), rows 1 and 2 box
// friction along +x and +z with bounds +-0.0345 (15 % above a last force of
// 3 N x h); the force alone seeds a row only within 1e-3 of its bound.
TEST(LcsSeed, BoxFrictionStartsAtTheSideItWasHeldAtWhileItsForcePointsThere)
{
    struct Case {
        const char *name;
        int32_t kept1, kept2; // the last solve's states of rows 1 and 2
        int solved;
        PxReal force1, force2; // last force along rows 1 and 2 (N)
        int32_t seeded1, seeded2;
    };
    const Case cases[] = {
        {"held, the bound grown past the force", kLcpAtUpper, kLcpAtLower, 1, 3.0, -3.0, kLcpAtUpper, kLcpAtLower},
        {"held, the force turned round", kLcpAtUpper, kLcpAtLower, 1, -1.0, 1.0, kLcpFree, kLcpFree},
        {"held on the other row only", kLcpFree, kLcpAtUpper, 1, 3.0, 3.0, kLcpFree, kLcpAtUpper},
        {"the last solve failed", kLcpAtUpper, kLcpAtLower, 0, 3.0, -3.0, kLcpFree, kLcpFree},
        {"fixed rows keep no side", kLcpDegenerate, kLcpDegenerate, 1, 3.0, -3.0, kLcpFree, kLcpFree},
        {"free, the force at the bound", kLcpFree, kLcpFree, 1, 3.449, -3.449, kLcpAtUpper, kLcpAtLower},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        OneContact one(0.0345, kLcpFree, c.kept1, c.kept2);
        keepFrictionSides(one.rows, one.records, c.solved);
        one.record.force[0][0] = c.force1;
        one.record.force[0][1] = 5.0;
        one.record.force[0][2] = c.force2;
        int boxRows = 0;
        seedStates(one.rows, one.records, 0.01, nullptr, false, &boxRows);
        EXPECT_EQ(boxRows, 2);
        EXPECT_EQ(one.state[0], kLcpFree) << "the normal pushed";
        EXPECT_EQ(one.state[1], c.seeded1);
        EXPECT_EQ(one.state[2], c.seeded2);
    }
}

// One contact's normal row (+y, q as given); rows 1 and 2 its box friction.
// With the island's right-hand side a contact without force starts held at
// zero exactly when it asks for no push; without it, after its second idle
// step. A contact that pressed starts free either way.
TEST(LcsSeed, ContactWithoutForceStartsFromItsApproach)
{
    struct Case {
        const char *name;
        PxReal lastForce; // along the normal (N)
        int32_t idleSteps;
        int withRhs;
        PxReal q;
        int32_t seeded;
    };
    const Case cases[] = {
        {"new, parting", 0.0, 0, 1, -0.5, kLcpAtLower},
        {"new, at rest", 0.0, 0, 1, 0.0, kLcpAtLower},
        {"new, closing", 0.0, 0, 1, 0.5, kLcpFree},
        {"idle for steps, closing", 0.0, 7, 1, 1e-9, kLcpFree},
        {"pressed, parting", 2.0, 0, 1, -0.5, kLcpFree},
        {"pulled, parting", -2.0, 0, 1, -0.5, kLcpAtLower},
        {"no rhs, new", 0.0, 0, 0, -0.5, kLcpFree},
        {"no rhs, idle the step before", 0.0, 1, 0, 0.5, kLcpAtLower},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        OneContact one(0.01, kLcpAtUpper, kLcpFree, kLcpFree);
        one.record.data.contact.idleSteps = c.idleSteps;
        one.record.force[0][1] = c.lastForce;
        PxReal q[4] = {c.q, 0.0, 0.0, 0.0};
        seedStates(one.rows, one.records, 0.01, c.withRhs ? q : nullptr);
        EXPECT_EQ(one.state[0], c.seeded);
        EXPECT_EQ(one.record.data.contact.idleSteps, c.lastForce > 0.0 ? 0 : c.idleSteps + 1) << "counted either way";
    }
}

// Row 0 a normal row with impulse 2 (mu 0.5: bound 1), row 1 its friction
// row, every impulse tolerance 0.01.
TEST(LcsFrictionBounds, SolutionHoldsOnlyWhereItsOwnNormalImpulseBoundsIt)
{
    struct Case {
        const char *name;
        int32_t state;
        PxReal bound, friction;
        int holds, holdsUnloaded; // with the normal impulse at 2, and at 0
    };
    const Case cases[] = {
        {"free at the bound within tolerance", kLcpFree, 3.0, -1.005, 1, 0},
        {"free near zero", kLcpFree, 3.0, 0.004, 1, 1},
        {"free beyond the bound", kLcpFree, 3.0, 1.02, 0, 0},
        {"held at an old bound within tolerance", kLcpAtUpper, 1.008, 1.008, 1, 0},
        {"held at a bound too low", kLcpAtLower, 0.9, -0.9, 0, 0},
        {"fixed at zero, the normal now pushing", kLcpDegenerate, 0.0, 0.0, 0, 1},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        PxReal lo[2] = {0.0, -c.bound}, hi[2] = {RBD_REAL_MAX, c.bound}, lambda[2] = {2.0, c.friction};
        PxReal mu[2] = {0.0, 0.5}, impulse[2] = {0.01, 0.01}, diagonal[2] = {1.0, 1.0};
        int32_t state[2] = {kLcpFree, c.state}, ref[2] = {-1, 0};
        LcpRows rows = {2, lo, hi, lambda, state, ref, mu, 1};
        Tolerances tolerances = {impulse, diagonal, 0.0};
        EXPECT_EQ(frictionBoundsHold(rows, tolerances), c.holds);
        lambda[0] = 0.0;
        EXPECT_EQ(frictionBoundsHold(rows, tolerances), c.holdsUnloaded);
    }
}

// A 1 kg block slides along +x on four ground contacts (mu 0.5) pushed by
// 1 N, while a downward load on it switches between 0 and 20 N from step to
// step. Sliding, the ground's friction is mu times its normal force in
// every step, both read from the block's velocity change:
//   N = m (dv_y / h + g) + F,   friction = P - m dv_x / h.
// Bounds left from the last step would be off by mu 20 N = 10 N. The
// sweeps of a large island (row threshold 0) must bound friction the same.
class SlidingFriction : public ::testing::TestWithParam<bool> {};

TEST_P(SlidingFriction, FollowsALoadThatChangesEveryStep)
{
    const PxReal size = 0.4, mu = 0.5, push = 1.0, h = 0.01;
    World world(2, 8);
    if (GetParam()) {
        RbdWorldLCPSetLargeIslandRows(world, 0);
        RbdWorldLCPSetTolerance(world, 1e-9);
        RbdWorldLCPSetIterations(world, 3000);
    }
    RbdBodyID box = makeBox(world, 1.0, size, size, size, 0.0, 0.5 * size, 0.0);
    BoxOnGround ground(world, box, size, size, size, proportionalFriction(mu));
    RbdWorldSetGravity(world, 0.0, -kG, 0.0);
    RbdBodySetLinearVelocity(box, 3.0, 0.0, 0.0);
    for (int n = 0; n < 12; ++n) {
        const PxReal load = (n % 2) ? 20.0 : 0.0, vx = velocityOf(box, 0), vy = velocityOf(box, 1);
        ground.update();
        RbdBodyAddForce(box, push, -load, 0.0);
        RbdWorldStep(world, h);
        const PxReal normal = (velocityOf(box, 1) - vy) / h + kG + load;
        EXPECT_NEAR(push - (velocityOf(box, 0) - vx) / h, mu * normal, 0.1) << "step " << n;
    }
    EXPECT_NEAR(positionOf(box, 1), 0.5 * size, 1e-4) << "without tipping or sinking";
}

INSTANTIATE_TEST_SUITE_P(Solvers, SlidingFriction, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool> &info) {
                             return info.param ? "Sweeps" : "Pivoting";
                         });
