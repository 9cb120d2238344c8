// A kept factor solves a resting island's LCP step after step as a freshly
// formed one does: contacts idle (friction rows fixed at zero, columns of the
// inverse read from the kept ones) and held at zero, while the index set
// stays and when it changes. The truth is built in: each step's right-hand
// side is made from a chosen solution and slack, q = A x* - w*, so the LCP's
// one solution is x*.
#include <gtest/gtest.h>

#include <math.h>

#include <algorithm>
#include <random>

#include "solver/RbdLcsKeptFactor.h"
#include "test_lcs_support.h"

using namespace lcs;
using namespace lcstest;

namespace {

const PxReal kEps = 1e-6, kH = 0.01, kMu = 0.5;
const int kBoxes = 4, kCorners = 4; // 48 rows: the least an island keeps

// Four boxes stacked on the ground, touching at four corners each.
struct Stack {
    std::vector<RbdLcsBody> bodies = std::vector<RbdLcsBody>(kBoxes);
    RowList rows{kBoxes * kCorners * 3};
    Stack()
    {
        for (int b = 0; b < kBoxes; ++b) {
            makeBody(bodies[b], 1.0, 0.17, 0.17, 0.17);
            bodies[b].comTransform[1][3] = 0.5 + b; // y
        }
        chainBodies(bodies);
        const PxReal corner[kCorners][2] = {{0.5, 0.5}, {-0.5, 0.5}, {-0.5, -0.5}, {0.5, -0.45}};
        for (int b = 0; b < kBoxes; ++b)
            for (const auto &xz : corner)
                addContactRows(rows, bodies, Contact{{b, b - 1}, {xz[0], -0.5, xz[1]}, {0.0, 1.0, 0.0}, kMu});
    }
};

// One step's LCP in the stepper's arrays: the friction bounds follow the
// last step's normal impulses, the states are the last step's.
struct Step {
    int n;
    std::vector<PxReal> lo, hi, lambda;
    std::vector<int32_t> state, frictionRef;
    std::vector<PxReal> mu;
    explicit Step(const RowList &rows) : n(rows.list.rowCount)
    {
        lo.assign(rows.list.lo, rows.list.lo + n);
        hi.assign(rows.list.hi, rows.list.hi + n);
        lambda.assign(n, 0.0);
        state.assign(n, kLcpFree);
        frictionRef.assign(rows.list.frictionIndex, rows.list.frictionIndex + n);
        mu.assign(rows.list.mu, rows.list.mu + n);
    }
    LcpRows lcp()
    {
        int friction = n - static_cast<int>(std::count(frictionRef.begin(), frictionRef.end(), -1));
        return {n, lo.data(), hi.data(), lambda.data(), state.data(), frictionRef.data(), mu.data(), friction};
    }
    // The bounds the next step takes from this one's impulses.
    void carryBounds()
    {
        for (int i = 0; i < n; ++i)
            if (frictionRef[i] >= 0) hi[i] = -(lo[i] = -mu[i] * lambda[frictionRef[i]]);
    }
};

// A workspace with the matrix allocated for the stack, formed and factored
// or served by a kept factor.
struct Solved {
    std::vector<unsigned char> memory;
    Context context;
    LCPMatrix *A = nullptr;
    Solved(const Packed &p, KeptFactor *kept, const PartitionRows &rows)
    {
        memory.assign(RbdSparseMatrixMapMemoryRequired(p.bodyCount, p.n) + matrixMemoryRequired(p.np) +
                          lcpSystemMemoryRequired(p.np) + 64,
                      0);
        context.pool().init(memory.data(), memory.size());
        SparseMatrixMap *map = RbdSparseMatrixMapCreate(context.pool(), p.bodyCount, &p.layout);
        RbdSparseMatrixMapBuild(map);
        A = &context.matrix(0);
        EXPECT_TRUE(A->allocate(p.np, map));
        A->setSoftness(kEps, kH);
        if (kept && kept->restore(*A, rows, p.JMinv.data(), kEps, kH, 1e-3)) return;
        A->calcJinvMJT(p.JMinv.data(), p.J.data(), p.rowEps.data(), map);
        EXPECT_TRUE(A->factorize());
    }
    ~Solved() { A->destroy(); }
};

TEST(LcsKeptSolve, SolvesEachStepAsAFreshFactorWithContactsIdleHeldAndChanging)
{
    Stack stack;
    const Packed p(stack.rows, stack.bodies);
    PartitionRows rows = {};
    rows.layout = p.layout;
    rows.J = p.J.data();
    rows.rowEpsilon = p.rowEps.data();
    KeptFactor kept;
    {
        Solved first(p, nullptr, rows);
        kept.keep(*first.A, rows, p.JMinv.data(), kEps, kH, 1e-3);
    }
    const int contacts = kBoxes * kCorners;
    // Per step, each contact pushes (0), is idle (1: parted, pushing
    // nothing) or rests with nothing to push (2: held at zero, no slack).
    // Steps 1-3 keep one index set; step 4 changes it.
    const int kind[5][2] = {{-1, -1}, {5, 14}, {5, 14}, {5, 14}, {9, 2}};
    Step fresh(stack.rows), reused(stack.rows);
    std::mt19937 rng(7);
    std::uniform_real_distribution<PxReal> u(-1.0, 1.0);
    for (int step = 0; step < 5; ++step) {
        SCOPED_TRACE(step);
        std::vector<PxReal> x(p.np, 0.0), w(p.np, 0.0), q(p.np, 0.0);
        for (int c = 0; c < contacts; ++c) {
            int normal = 3 * c, what = c == kind[step][0] ? 1 : c == kind[step][1] ? 2 : 0;
            if (what == 0) {
                x[normal] = 1.0 + 0.5 * u(rng);
                x[normal + 1] = 0.1 * u(rng), x[normal + 2] = 0.1 * u(rng); // inside mu x_n
            }
            if (what == 1) w[normal] = 0.5; // parting: positive slack
        }
        Solved formed(p, nullptr, rows), served(p, &kept, rows);
        formed.A->multiply(x.data(), q.data());
        for (int i = 0; i < p.n; ++i) q[i] -= w[i];
        RbdLcsLCPSolverParameters params = defaultParameters(kH).lcp;
        params.warmStart = step > 0;
        for (Step *s : {&fresh, &reused}) {
            LcpRows lcp = s->lcp();
            ASSERT_GT(solveLcpSystem(s == &fresh ? *formed.A : *served.A, lcp, params, q.data(), lcpSolver(0)), 0);
        }
        EXPECT_FALSE(served.A->formedWritten());
        // Both find the same answer with the same states: x* while the
        // index set stays (A's condition, some 1e7, costs digits), and on
        // the change a solution of the LCP with the bounds it ended with.
        // A velocity the solve's tolerance (1e-3 of the rows' scale) lets pass.
        PxReal slack = 0.0;
        for (PxReal v : q) slack = fmax(slack, 1e-3 * fabs(v));
        std::vector<PxReal> Ax(p.np);
        formed.A->multiply(fresh.lambda.data(), Ax.data());
        for (int i = 0; i < p.n; ++i) {
            PxReal l = fresh.lambda[i], r = Ax[i] - q[i], t = 1e-7;
            EXPECT_NEAR(reused.lambda[i], l, t) << "row " << i;
            EXPECT_EQ(reused.state[i], fresh.state[i]) << "row " << i;
            EXPECT_TRUE(step == 4 || fabs(l - x[i]) < t) << "row " << i << ": " << l << " for " << x[i];
            EXPECT_TRUE(l >= fresh.lo[i] - t && l <= fresh.hi[i] + t) << "row " << i << " outside its bounds";
            EXPECT_TRUE(fabs(r) < slack || (r > 0.0 && l < fresh.lo[i] + t) || (r < 0.0 && l > fresh.hi[i] - t))
                << "row " << i << ": residual " << r << " at " << l;
        }
        // An idle contact's friction rows are fixed; with their columns
        // kept (from the second step on), correcting the whole factor for
        // them beats a compact factor.
        EXPECT_TRUE(step < 2 || step > 3 || served.A->fixedRowsCorrected());
        EXPECT_TRUE(step < 2 || step > 3 || !formed.A->fixedRowsCorrected()) << "without them, a compact factor";
        fresh.carryBounds();
        reused.carryBounds();
    }
}

} // namespace
