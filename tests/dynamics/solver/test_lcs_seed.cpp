// The states a pivoting solve starts from: a contact's box friction rows
// start at the side the last full solve held them at while their last
// force points that way, even when the bound has grown past that force
// (a closing grip's normal force grows every step).
#include <gtest/gtest.h>

#include <string.h>
#include "joints/RbdConstraintRecord.h"
#include "solver/RbdLcsSeed.h"
#include "solver/RbdLcsSolver.h"
#include "solver/RbdLcsTiles.h"

using namespace lcs;

namespace {

const PxReal kH = 0.01;

// One contact on one body: row 0 its normal (+y), rows 1 and 2 box
// friction along +x and +z with bounds +-bound (impulses).
struct OneContact {
    RbdBaseConstraint record;
    int32_t firstRow[1] = {0}, rowsOf[1] = {3}, bodies[2] = {0, -1};
    PxReal J[kTileSize] = {};
    PxReal lo[4] = {}, hi[4] = {}, lambda[4] = {};
    int32_t state[4] = {}, frictionRef[4] = {-1, -1, -1, -1};
    PartitionRows rows = {};

    explicit OneContact(PxReal bound)
    {
        memset(&record, 0, sizeof(record));
        record.typeId = RBD_TYPE_CONTACT;
        record.solverBody[0] = reinterpret_cast<RbdLcsBody *>(&record); // any body: only its side is read
        J[tileIndex(0, 1)] = J[tileIndex(1, 0)] = J[tileIndex(2, 2)] = 1.0;
        lo[0] = 0.0;
        hi[0] = RBD_REAL_MAX;
        for (int i = 1; i < 3; ++i) {
            lo[i] = -bound;
            hi[i] = bound;
        }
        rows.layout = {1, 3, 4, firstRow, rowsOf, bodies};
        rows.J = J;
        rows.lo = lo;
        rows.hi = hi;
        rows.lambda = lambda;
        rows.state = state;
        rows.frictionRef = frictionRef;
    }
    // The contact's last force (N), pressing along its normal.
    void lastForce(PxReal x, PxReal z)
    {
        record.force[0][0] = x;
        record.force[0][1] = 5.0;
        record.force[0][2] = z;
    }
    void seed()
    {
        RbdBaseConstraint *records[1] = {&record};
        int boxRows = 0;
        seedStates(rows, records, kH, false, &boxRows);
        EXPECT_EQ(boxRows, 2);
    }
    void keep(int32_t along1, int32_t along2, int solved)
    {
        RbdBaseConstraint *records[1] = {&record};
        state[0] = kLcpFree;
        state[1] = along1;
        state[2] = along2;
        keepFrictionSides(rows, records, solved);
    }
};

} // namespace

// The bound is 0.0345 (15 % above a last force of 3 N x h, where a sliding
// row ends when the normal force grows); the force seeds alone only within
// 1e-3 of the bound.
TEST(LcsSeed, BoxFrictionStartsAtTheSideItWasHeldAtWhileItsForcePointsThere)
{
    struct Case {
        const char *name;
        int32_t kept1, kept2; // the last solve's states of rows 1 and 2
        int solved;
        PxReal force1, force2; // last force along rows 1 and 2 (N)
        int32_t seeded1, seeded2;
    };
    const PxReal bound = 0.0345;
    const Case cases[] = {
        {"held, the bound grown past the force", kLcpAtUpper, kLcpAtLower, 1, 3.0, -3.0, kLcpAtUpper, kLcpAtLower},
        {"held, the force turned round", kLcpAtUpper, kLcpAtLower, 1, -1.0, 1.0, kLcpFree, kLcpFree},
        {"held on the other row only", kLcpFree, kLcpAtUpper, 1, 3.0, 3.0, kLcpFree, kLcpAtUpper},
        {"free, the bound grown past the force", kLcpFree, kLcpFree, 1, 3.0, -3.0, kLcpFree, kLcpFree},
        {"the last solve failed", kLcpAtUpper, kLcpAtLower, 0, 3.0, -3.0, kLcpFree, kLcpFree},
        {"free, the force at the bound", kLcpFree, kLcpFree, 1, 3.449, -3.449, kLcpAtUpper, kLcpAtLower},
        {"fixed rows keep no side", kLcpDegenerate, kLcpDegenerate, 1, 3.0, -3.0, kLcpFree, kLcpFree},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        OneContact contact(bound);
        contact.keep(c.kept1, c.kept2, c.solved);
        contact.lastForce(c.force1, c.force2);
        contact.seed();
        EXPECT_EQ(contact.state[0], kLcpFree) << "the normal pushed";
        EXPECT_EQ(contact.state[1], c.seeded1);
        EXPECT_EQ(contact.state[2], c.seeded2);
    }
}

// Friction proportional to the normal force (its rows follow the normal
// row) has no bounds when the solve starts: it starts free whatever sides
// were kept, and the island counts no box friction rows.
TEST(LcsSeed, ProportionalFrictionStartsFree)
{
    OneContact contact(0.0345);
    contact.keep(kLcpAtUpper, kLcpAtLower, 1);
    contact.frictionRef[1] = contact.frictionRef[2] = 0;
    contact.lastForce(3.0, -3.0);
    RbdBaseConstraint *records[1] = {&contact.record};
    int boxRows = -1;
    seedStates(contact.rows, records, kH, false, &boxRows);
    EXPECT_EQ(boxRows, 0);
    EXPECT_EQ(contact.state[1], kLcpFree);
    EXPECT_EQ(contact.state[2], kLcpFree);
}
