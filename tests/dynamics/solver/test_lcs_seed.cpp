// A contact's box friction row starts at the side the last full solve held
// it at while its last force points that way, even when the bound has
// grown past that force (a closing grip's normal force grows every step).
#include <gtest/gtest.h>

#include <string.h>
#include "joints/RbdConstraintRecord.h"
#include "solver/RbdLcsSeed.h"
#include "solver/RbdLcsSolver.h"
#include "solver/RbdLcsTiles.h"

using namespace lcs;

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
