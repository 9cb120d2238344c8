// An island at rest solves through the last step's factor of its free rows
// (RbdLcsRestSolve.h). Its answer must be the LCP's of the matrix as it is
// now, to far below the solve's tolerance; an island that moved (a motor
// whose bound rose off its answer, a link turned, a box pushed past its
// friction) must be left to the full route with its rows untouched.
#include <gtest/gtest.h>

#include <math.h>

#include <algorithm>
#include <string>

#include "solver/RbdLcsRestSolve.h"
#include "solver/RbdLcsSubproblem.h"
#include "solver/RbdLcsTiles.h"
#include "solver/RbdLcsTolerance.h"
#include "test_lcs_support.h"

using namespace lcs;
using namespace lcstest;

namespace {

const PxReal kEps = 1e-6, kH = 0.01, kMotorBound = 0.05;
const int kLinks = 8;

// The hinge chain with a motor row about each hinge, its impulse bounded.
void chainRows(RowList &rows, const std::vector<RbdLcsBody> &bodies, const std::vector<Joint> &joints)
{
    buildJointRows(rows, bodies, joints);
    for (int i = 0; i < kLinks; ++i) {
        PxReal J[12] = {0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, -1};
        rows.begin(i, i - 1);
        rows.addRow(J, 0.0, -kMotorBound, kMotorBound);
        rows.end();
    }
}

// One step's island: its workspace, matrix (allocated, not formed) and LCP rows.
struct Step {
    std::vector<unsigned char> memory = std::vector<unsigned char>(1 << 22);
    std::vector<PxReal> lo, hi, lambda, q, bodyScratch, mu;
    std::vector<int32_t> state, frictionRef;
    Context context;
    SparseMatrixMap *map = nullptr;
    LcpRows lcp = {};
    PartitionRows rows = {};
    LCPMatrix &allocate(const Packed &p, const RowList &list, int which, PxReal load = 0.0)
    {
        context.pool().init(memory.data(), memory.size());
        map = RbdSparseMatrixMapCreate(context.pool(), p.bodyCount, &p.layout);
        RbdSparseMatrixMapBuild(map);
        LCPMatrix &A = context.matrix(which);
        EXPECT_TRUE(A.allocate(p.np, map));
        A.setSoftness(kEps, kH);
        lo.assign(list.list.lo, list.list.lo + p.n), hi.assign(list.list.hi, list.list.hi + p.n);
        lambda.assign(p.n, 0.0), state.assign(p.n, kLcpFree), frictionRef.assign(p.n, -1);
        q.assign(p.np, 0.0), bodyScratch.assign(6 * p.bodyCount, 0.0);
        for (int i = 0; i < p.n; ++i) q[i] = sin(0.7 * i) * (1.0 + load * cos(i));
        lcp = {p.n, lo.data(), hi.data(), lambda.data(), state.data(), frictionRef.data(), nullptr, 0};
        rows.layout = p.layout, rows.J = p.J.data(), rows.rowEpsilon = p.rowEps.data();
        rows.c = list.list.c, rows.phi = list.list.phi, rows.rowGamma = list.list.rowGamma;
        rows.correction = list.list.correction;
        rows.lambda = lambda.data(), rows.state = state.data();
        return A;
    }
    // The rest route's products, with the inverse masses Packed's J M^-1 has.
    RestProducts products(const Packed &p, const std::vector<RbdLcsBody> &bodies)
    {
        invM.assign(bodies.size(), BodyInverseMass{});
        for (size_t b = 0; b < bodies.size(); ++b) {
            invM[b].invMass = bodies[b].invMass;
            for (int k = 0; k < 3; ++k) invM[b].invInertia[k][k] = bodies[b].invInertiaWorld[k][k];
        }
        return {p.J.data(), invM.data(), bodyScratch.data(), p.bodyCount};
    }
    std::vector<BodyInverseMass> invM;
    // Forms A and solves in full.
    int solveInFull(LCPMatrix &A, const Packed &p, const RbdLcsLCPSolverParameters &params)
    {
        A.calcJinvMJT(p.JMinv.data(), p.J.data(), p.rowEps.data(), map);
        return A.factorize() ? solveLcpSystem(A, lcp, params, q.data(), lcpSolver(0)) : -1;
    }
};

// The rest route's q = c - correction - J (v + h M^-1 f) is the full
// route's c - correction - J v - h (J M^-1) f but for rounding.
void expectRightHandSidesAgree(const RestSolve &rest, const PartitionRows &rows, const Packed &p,
                               std::vector<RbdLcsBody> bodies, const BodyInverseMass *invM)
{
    std::vector<RbdLcsBody *> at;
    std::vector<BodyLoad> load(bodies.size());
    std::vector<PxReal> g(6 * bodies.size()), full(p.np), mine(p.np, 7.0);
    for (size_t b = 0; b < bodies.size(); at.push_back(&bodies[b]), ++b)
        for (int k = 0; k < 3; ++k) {
            PxReal *v = bodies[b].linearVelocity, *w = bodies[b].angularVelocity, *gb = &g[6 * b];
            v[k] = sin(b + 2.0 * k), w[k] = cos(3.0 * b + k), load[b].force[k] = 10.0 * cos(b + k);
            load[b].torque[k] = sin(2.0 * b + k);
            gb[k] = v[k] + kH * invM[b].invMass * load[b].force[k];
            gb[3 + k] = w[k] + kH * invM[b].invInertia[k][k] * load[b].torque[k];
        }
    const RbdLcsParameters params = defaultParameters(kH);
    BaseFunctions().computeRhs(rows, at.data(), p.JMinv.data(), load.data(), params, full.data());
    rest.rightHandSide(rows, g.data(), params, mine.data());
    for (int i = 0; i < p.np; ++i) EXPECT_NEAR(mine[i], full[i], 1e-13 * (1.0 + fabs(full[i]))) << "row " << i;
}

// A served answer is a fresh full solve's to a thousandth of the tolerance
// (of the largest impulse), with the same states.
void expectSameAnswer(const Step &now, const Step &fresh, PxReal tolerance)
{
    PxReal largest = 0.0;
    for (PxReal v : fresh.lambda) largest = fmax(largest, fabs(v));
    for (size_t i = 0; i < fresh.lambda.size(); ++i) {
        EXPECT_NEAR(now.lambda[i], fresh.lambda[i], 1e-3 * tolerance * largest) << "row " << i;
        EXPECT_EQ(now.state[i], fresh.state[i]) << "row " << i;
    }
}

TEST(LcsRestSolve, AgreesWithAFreshSolveAndLeavesAMovedIslandToTheFullRoute)
{
    struct Case {
        const char *what;
        PxReal drift, load, turn; // of the links' positions, of q, of link 3 about its hinge (rad)
        bool loosen;              // a held motor's bound moved off its answer
        bool tighten;             // a free row's upper bound moved below its answer
        bool served;
    };
    const Case cases[] = {
        {"at rest, the bodies and their load a little off", 1e-6, 1e-5, 0.0, false, false, true},
        {"a held motor's bound moved off its answer", 1e-6, 1e-5, 0.0, true, false, false},
        {"a free row's upper bound moved below its answer", 1e-6, 1e-5, 0.0, false, true, false},
        {"a link turned about its hinge", 0.0, 0.0, 0.5, false, false, false},
    };
    const RbdLcsLCPSolverParameters params = defaultParameters(kH).lcp;
    for (int which = 0; which < kLinearSolverCount; ++which)
        for (const Case &c : cases) {
            SCOPED_TRACE(std::string(c.what) + (which ? ", row factor" : ", tiles"));
            std::vector<RbdLcsBody> bodies;
            std::vector<Joint> joints;
            makeHingeChain(kLinks, bodies, joints);
            for (RbdLcsBody &link : bodies) link.invMass = 0.8; // 1.25 kg: M^-1 is no identity on forces
            RowList rows0(64);
            chainRows(rows0, bodies, joints);
            const Packed p0(rows0, bodies);
            Step last;
            LCPMatrix &A0 = last.allocate(p0, rows0, which);
            ASSERT_GT(last.solveInFull(A0, p0, params), 0);
            const auto isHeld = [](int32_t s) { return (s & (kLcpAtLower | kLcpAtUpper)) != 0; };
            ASSERT_GE(std::count_if(last.state.begin(), last.state.end(), isHeld), 3) << "motors at their bounds";
            RestSolve rest;
            rest.keep(A0, last.rows, kEps, kH, params.tolerance);

            // The next steps: the same rows, of bodies moving steadily by
            // rounding or more (a served step starts the next from the line
            // through its two last answers).
            const int steps = c.served ? 3 : 1;
            for (int step = 1; step <= steps; ++step) {
                SCOPED_TRACE("step " + std::to_string(step));
                for (int i = 0; i < kLinks; ++i) bodies[i].comTransform[3][1] += c.drift * (i % 3);
                const PxReal cs = cos(c.turn), sn = sin(c.turn);
                const PxReal turned[2][3] = {{cs, sn, 0.0}, {-sn, cs, 0.0}};
                for (int k = 0; k < 3; ++k)
                    bodies[3].comTransform[0][k] = turned[0][k], bodies[3].comTransform[1][k] = turned[1][k];
                RowList rows1(64);
                chainRows(rows1, bodies, joints);
                const int loosened = static_cast<int>(std::find_if(last.state.begin(), last.state.end(), isHeld) -
                                                      last.state.begin());
                if (c.loosen) rows1.list.lo[loosened] = -10.0, rows1.list.hi[loosened] = 10.0;
                if (c.tighten) { // of the free row that pushes most
                    int row = -1;
                    for (int i = 0; i < p0.n; ++i)
                        if (last.state[i] == kLcpFree && (row < 0 || last.lambda[i] > last.lambda[row])) row = i;
                    ASSERT_GE(row, 0);
                    ASSERT_GT(last.lambda[row], 0.0);
                    rows1.list.hi[row] = 0.5 * last.lambda[row];
                }
                const Packed p1(rows1, bodies);
                Step now, fresh;
                now.allocate(p1, rows1, which, c.load * step);
                // A served step sets up no storage of A's: the rest route
                // gets a matrix of the scheme never allocated.
                Context none;
                LCPMatrix &A = none.matrix(which);
                ASSERT_TRUE(rest.matches(A, now.rows, kEps, kH, params.tolerance));
                const RestProducts products = now.products(p1, bodies);
                if (step == 1) expectRightHandSidesAgree(rest, now.rows, p1, bodies, products.invM);
                const std::vector<PxReal> before = now.lambda;
                ASSERT_EQ(rest.solve(A, now.context.pool(), products, now.lcp, now.q.data(), params), c.served);
                ASSERT_GT(fresh.solveInFull(fresh.allocate(p1, rows1, which, c.load * step), p1, params), 0);
                if (!c.served) {
                    EXPECT_EQ(now.lambda, before) << "a refused solve writes nothing";
                    continue;
                }
                expectSameAnswer(now, fresh, params.tolerance);
            }
        }
}

// Four unit boxes of 1 kg stacked on the ground (y = 0), each resting on
// four corners: 16 contacts, 48 rows, their friction bounds following the
// normal rows. q is the step's right-hand side under gravity and a push
// along x on the top box (newtons): -J (h M^-1 f).
const int kBoxes = 4;
const PxReal kMu = 0.5, kGravity = 9.81;

std::vector<RbdLcsBody> stackBodies()
{
    std::vector<RbdLcsBody> bodies(kBoxes);
    for (RbdLcsBody &b : bodies) makeBody(b, 1.0, 1.0 / 6, 1.0 / 6, 1.0 / 6);
    chainBodies(bodies);
    return bodies;
}

void stackRows(RowList &rows, std::vector<RbdLcsBody> &bodies, PxReal shift)
{
    for (int k = 0; k < kBoxes; ++k) bodies[k].comTransform[3][0] = shift * k, bodies[k].comTransform[3][1] = 0.5 + k;
    for (int k = 0; k < kBoxes; ++k)
        for (int corner = 0; corner < 4; ++corner) {
            const Contact c = {{k, k - 1}, {corner & 1 ? 0.5 : -0.5, -0.5, corner & 2 ? 0.5 : -0.5}, {0, 1, 0}, kMu};
            addContactRows(rows, bodies, c);
        }
    for (int i = 0; i < rows.list.rowCount; ++i) rows.list.rowEpsilon[i] = 1e-8; // no row falls under the filter
}

// q = -J g, g_b = h M_b^-1 f_b: the stack's right-hand side at rest under
// gravity and the push; the friction rows follow their normal rows, with
// bounds from the last step's normal impulses when given.
void stackLoad(Step &s, const Packed &p, const RowList &list, PxReal push, const Step *last = nullptr)
{
    for (int i = 0; i < p.n; ++i) {
        const int c = i / 3; // three rows a contact
        s.q[i] = 0.0;
        for (int side = 0; side < 2; ++side) {
            const int b = p.bodyOf[2 * c + side];
            const PxReal g[2] = {kH * (b == kBoxes - 1 ? push : 0.0), -kH * kGravity}; // 1 kg
            for (int k = 0; k < 2 && b >= 0; ++k) s.q[i] -= p.J[tileIndex(i, 6 * side + k)] * g[k];
        }
        const int normal = s.frictionRef[i] = list.list.frictionIndex[i];
        if (last && normal >= 0) s.hi[i] = kMu * last->lambda[normal], s.lo[i] = -s.hi[i];
    }
    s.mu.assign(list.list.mu, list.list.mu + p.n);
    s.lcp.mu = s.mu.data(), s.lcp.frictionCount = 2 * p.n / 3;
    s.rows.frictionRef = s.frictionRef.data(), s.rows.mu = s.mu.data(), s.rows.frictionCount = s.lcp.frictionCount;
}

TEST(LcsRestSolve, ServesAStackOfContactsAtRestAndLeavesASlidingBoxToTheFullRoute)
{
    struct Case {
        const char *what;
        PxReal shift, push; // boxes moved along x (m, a box a step up), top box pushed along x (N)
        bool served;
    };
    const Case cases[] = {
        {"at rest, moved by rounding", 1e-9, 0.0, true},
        {"pushed within its friction", 1e-9, 0.2 * kGravity, true},
        // Past what the corners it tips off hold (a third of its weight),
        // though within the bounds of last step's impulses (a half).
        {"pushed past its own friction bounds", 1e-9, 0.4 * kGravity, false},
        {"pushed past its friction", 1e-9, 0.8 * kGravity, false},
    };
    const RbdLcsLCPSolverParameters params = defaultParameters(kH).lcp;
    for (int which = 0; which < kLinearSolverCount; ++which)
        for (const Case &c : cases) {
            SCOPED_TRACE(std::string(c.what) + (which ? ", row factor" : ", tiles"));
            std::vector<RbdLcsBody> bodies = stackBodies();
            RowList rows0(64);
            stackRows(rows0, bodies, 0.0);
            const Packed p0(rows0, bodies);
            Step last;
            LCPMatrix &A0 = last.allocate(p0, rows0, which);
            stackLoad(last, p0, rows0, 0.0);
            ASSERT_GT(last.solveInFull(A0, p0, params), 0);
            ASSERT_EQ(std::count(last.state.begin(), last.state.end(), kLcpFree), p0.n) << "every row free";
            RestSolve rest;
            rest.keep(A0, last.rows, kEps, kH, params.tolerance, 1);

            // The next step: its friction bounds from the normal impulses found.
            RowList rows1(64);
            stackRows(rows1, bodies, c.shift);
            const Packed p1(rows1, bodies);
            Step now, fresh;
            LCPMatrix &A = now.allocate(p1, rows1, which);
            stackLoad(now, p1, rows1, c.push, &last);
            ASSERT_TRUE(rest.matches(A, now.rows, kEps, kH, params.tolerance));
            const std::vector<PxReal> before = now.lambda;
            ASSERT_EQ(rest.solve(A, now.context.pool(), now.products(p1, bodies), now.lcp, now.q.data(), params),
                      c.served);
            LCPMatrix &B = fresh.allocate(p1, rows1, which);
            stackLoad(fresh, p1, rows1, c.push, &last);
            ASSERT_GT(fresh.solveInFull(B, p1, params), 0);
            if (!c.served) {
                EXPECT_EQ(now.lambda, before) << "a refused solve writes nothing";
                EXPECT_LT(std::count(fresh.state.begin(), fresh.state.end(), kLcpFree), p1.n) << "the top box slides";
                continue;
            }
            expectSameAnswer(now, fresh, params.tolerance);
            // The next step, pushed a little more, is served through the
            // factor lent once already (its envelope is not shaped again).
            Step next, again;
            const PxReal more = c.push + 0.05 * kGravity;
            LCPMatrix &C = next.allocate(p1, rows1, which);
            stackLoad(next, p1, rows1, more, &now);
            ASSERT_TRUE(
                rest.solve(C, next.context.pool(), next.products(p1, bodies), next.lcp, next.q.data(), params));
            LCPMatrix &D = again.allocate(p1, rows1, which);
            stackLoad(again, p1, rows1, more, &now);
            ASSERT_GT(again.solveInFull(D, p1, params), 0);
            expectSameAnswer(next, again, params.tolerance);
        }
}

// Keeps the factor of a full solve of rows, then serves the same rows with
// q from that answer twisted by twist(q), under each linear solver: the
// served answer must be the fresh solve's; a refused one writes nothing.
template <class Twist>
void expectTwistServedFresh(const std::vector<RbdLcsBody> &bodies, const RowList &rows, int which, Twist twist,
                            bool served = true)
{
    const RbdLcsLCPSolverParameters params = defaultParameters(kH).lcp;
    const Packed p(rows, bodies);
    Step last, now, fresh;
    LCPMatrix &A0 = last.allocate(p, rows, which);
    stackLoad(last, p, rows, 0.0);
    ASSERT_GT(last.solveInFull(A0, p, params), 0);
    ASSERT_EQ(std::count(last.state.begin(), last.state.end(), kLcpFree), p.n) << "every row free";
    RestSolve rest;
    rest.keep(A0, last.rows, kEps, kH, params.tolerance, 1);
    LCPMatrix &A = now.allocate(p, rows, which);
    LCPMatrix &B = fresh.allocate(p, rows, which);
    for (Step *s : {&now, &fresh}) {
        stackLoad(*s, p, rows, 0.0, &last);
        twist(s->q);
    }
    ASSERT_TRUE(rest.matches(A, now.rows, kEps, kH, params.tolerance));
    const std::vector<PxReal> before = now.lambda;
    ASSERT_EQ(rest.solve(A, now.context.pool(), now.products(p, bodies), now.lcp, now.q.data(), params), served);
    if (!served) {
        EXPECT_EQ(now.lambda, before) << "a refused solve writes nothing";
        return;
    }
    ASSERT_GT(fresh.solveInFull(B, p, params), 0);
    expectSameAnswer(now, fresh, params.tolerance);
}

// A box's four corners share its load in a way its motion does not fix:
// pressing two opposite corners deeper and lifting the other two
// (a twist of q across its normal rows) moves no body, and the answer takes
// it up over the softness alone, a squeeze far larger than the twist. Its
// residual from the last answer is only that twist, below the velocity
// residual the refinement stops at; the served answer must still be the
// fresh solve's along it, for a twist that moves the split by thousands of
// the tolerance the answer carries and for one that moves it by some fifteen.
TEST(LcsRestSolve, ServesAResplitCornerLoadAsAFreshSolve)
{
    std::vector<RbdLcsBody> bodies = stackBodies();
    RowList rows(64);
    stackRows(rows, bodies, 0.0);
    for (int run = 0; run < 2 * kLinearSolverCount; ++run) {
        const int which = run % kLinearSolverCount;
        const PxReal twist = run < kLinearSolverCount ? 1e-8
                                                      : 3e-12; // m/s; 1e-8 is a tenth of the stop on those rows
        SCOPED_TRACE(testing::Message() << (which ? "row factor" : "tiles") << ", twist " << twist);
        expectTwistServedFresh(bodies, rows, which, [twist](std::vector<PxReal> &q) {
            for (int corner = 0; corner < 4; ++corner) // the bottom box's normal rows on the ground
                q[3 * corner] += (corner == 0 || corner == 3 ? twist : -twist);
        });
    }
}

// A plank (2 x 1 x 1 m, 1 kg) across two unit boxes that stand apart on
// the ground, four corners on each: 48 rows whose contacts close a loop
// (ground, box, plank, box, ground). Rolling the plank on one box alone
// (its corners there pressed deeper at z < 0, lifted at z > 0) is a wrench
// of that contact, which in a tower would move the plank; here the other
// box holds it, and the ground both boxes, so the answer takes it up as a
// self-stress of the loop, over the softness alone, though the twist has no
// part along any contact's own impulses that move no body. The served
// answer must follow it as a fresh solve does: the loop keeps the island
// from the bound by contacts (RestSolve::keepContactBases).
TEST(LcsRestSolve, ServesARollAcrossAContactLoopAsAFreshSolve)
{
    std::vector<RbdLcsBody> bodies(3);
    makeBody(bodies[0], 1.0, 1.0 / 6, 1.0 / 6, 1.0 / 6);
    makeBody(bodies[1], 1.0, 1.0 / 6, 1.0 / 6, 1.0 / 6);
    makeBody(bodies[2], 1.0, 1.0 / 6, 5.0 / 12, 5.0 / 12);
    chainBodies(bodies);
    const PxReal at[3][2] = {{-0.75, 0.5}, {0.75, 0.5}, {0.0, 1.5}}, plankX[2][2] = {{-1.0, -0.25}, {0.25, 1.0}};
    for (int b = 0; b < 3; ++b) bodies[b].comTransform[3][0] = at[b][0], bodies[b].comTransform[3][1] = at[b][1];
    RowList rows(64);
    for (int pair = 0; pair < 4; ++pair) // box 0 and box 1 on the ground, then the plank on each
        for (int corner = 0; corner < 4; ++corner) {
            const PxReal x = pair < 2 ? (corner & 1 ? 0.5 : -0.5) : plankX[pair - 2][corner & 1];
            const Contact c = {
                {pair < 2 ? pair : 2, pair < 2 ? -1 : pair - 2}, {x, -0.5, corner & 2 ? 0.5 : -0.5}, {0, 1, 0}, kMu};
            addContactRows(rows, bodies, c);
        }
    for (int i = 0; i < rows.list.rowCount; ++i) rows.list.rowEpsilon[i] = 1e-8;
    for (int run = 0; run < 2 * kLinearSolverCount; ++run) {
        const int which = run % kLinearSolverCount;
        // m/s, under the residual stop; the self-stress moves by some 200
        // and 20 times what expectSameAnswer allows.
        const PxReal twist = run < kLinearSolverCount ? 1e-10 : 1e-11;
        SCOPED_TRACE(testing::Message() << (which ? "row factor" : "tiles") << ", twist " << twist);
        expectTwistServedFresh(bodies, rows, which, [twist](std::vector<PxReal> &q) {
            for (int corner = 0; corner < 4; ++corner) // the plank's normal rows on box 0
                q[24 + 3 * corner] += corner & 2 ? -twist : twist;
        });
    }
}

// A right-hand side with a NaN in one row (a body's velocity or load gone
// bad) is no rest to serve: every comparison with a NaN is false, so
// neither the residual nor the bounds may let it through.
TEST(LcsRestSolve, RefusesARightHandSideWithANaN)
{
    std::vector<RbdLcsBody> bodies = stackBodies();
    RowList rows(64);
    stackRows(rows, bodies, 0.0);
    for (int which = 0; which < kLinearSolverCount; ++which)
        for (int row : {0, 1, 5, kBoxes * 12 - 1}) {
            SCOPED_TRACE((which ? "row factor, row " : "tiles, row ") + std::to_string(row));
            expectTwistServedFresh(
                bodies, rows, which, [row](std::vector<PxReal> &q) { q[static_cast<size_t>(row)] = NAN; }, false);
        }
}

} // namespace

// The rest solve takes each row's 1 / A_ii from the kept diagonal rather
// than dividing every step: its tolerances must be those of the diagonal,
// bit for bit, and both the scalar rule's, row by row. Diagonals zero,
// negative or so small that |q| / A_ii overflows give no scale of their
// own; odd counts take the rows past the last pair alone.
TEST(LcsRestSolve, KeptReciprocalsGiveTheDiagonalsTolerancesExactly)
{
    const PxReal tolerance = 1e-3, odd[] = {0.0, -2.0, 1e-310, NAN};
    uint64_t seed = 12345;
    const auto uniform = [&seed]() {
        seed = seed * 6364136223846793005ull + 1442695040888963407ull;
        return static_cast<PxReal>(seed >> 11) / 9007199254740992.0;
    };
    for (int n : {1, 2, 7, 30, 61}) {
        std::vector<PxReal> q(n), diagonal(n), inverse(n), byDiagonal(n), byInverse(n), own(n);
        PxReal largest = 0.0;
        for (int i = 0; i < n; ++i) {
            q[i] = (uniform() - 0.5) * pow(10.0, 6.0 * uniform() - 3.0);
            diagonal[i] = i % 5 == 3 ? odd[(i / 5) % 4] : pow(10.0, 4.0 * uniform() - 2.0);
            own[i] = impulseOfRow(q[i], diagonal[i] > 0.0 ? 1.0 / diagonal[i] : 0.0);
            largest = std::max(largest, own[i]);
        }
        Tolerances a = {byDiagonal.data(), diagonal.data(), 1.0}, b = {byInverse.data(), diagonal.data(), 1.0};
        tolerancesOfDiagonal(q.data(), n, tolerance, a);
        inverseOfDiagonal(diagonal.data(), n, inverse.data());
        tolerancesOfInverse(q.data(), n, tolerance, inverse.data(), b);
        for (int i = 0; i < n; ++i) {
            const PxReal expected = rowTolerance(tolerance, own[i], largest);
            EXPECT_EQ(byDiagonal[i], expected) << "n " << n << " row " << i;
            EXPECT_EQ(byInverse[i], expected) << "n " << n << " row " << i;
        }
        EXPECT_EQ(a.carried + b.carried, 0.0);
    }
}
