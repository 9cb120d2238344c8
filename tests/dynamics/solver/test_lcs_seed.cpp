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
        RbdBaseConstraint record;
        memset(&record, 0, sizeof(record));
        record.typeId = RBD_TYPE_CONTACT;
        record.solverBody[0] = reinterpret_cast<RbdLcsBody *>(&record); // only its side is read
        int32_t firstRow[1] = {0}, rowsOf[1] = {3}, bodies[2] = {0, -1}, frictionRef[4] = {-1, -1, -1, -1};
        int32_t state[4] = {kLcpFree, c.kept1, c.kept2, kLcpFree};
        PxReal J[kTileSize] = {}, lo[4] = {0.0, -0.0345, -0.0345}, hi[4] = {RBD_REAL_MAX, 0.0345, 0.0345};
        J[tileIndex(0, 1)] = J[tileIndex(1, 0)] = J[tileIndex(2, 2)] = 1.0;
        PartitionRows rows = {};
        rows.layout = {1, 3, 4, firstRow, rowsOf, bodies};
        rows.J = J;
        rows.lo = lo;
        rows.hi = hi;
        rows.state = state;
        rows.frictionRef = frictionRef;
        RbdBaseConstraint *records[1] = {&record};
        keepFrictionSides(rows, records, c.solved);
        record.force[0][0] = c.force1;
        record.force[0][1] = 5.0;
        record.force[0][2] = c.force2;
        int boxRows = 0;
        seedStates(rows, records, 0.01, false, &boxRows);
        EXPECT_EQ(boxRows, 2);
        EXPECT_EQ(state[0], kLcpFree) << "the normal pushed";
        EXPECT_EQ(state[1], c.seeded1);
        EXPECT_EQ(state[2], c.seeded2);
    }
}
