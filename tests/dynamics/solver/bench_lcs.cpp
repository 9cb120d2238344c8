// One solver step (RbdLcsStep: matrix, factorisation, LCP, integration) on
// single islands: hinge chains of growing length, layers of boxes resting
// on the ground and on each other with friction, and a bin full of balls.
#include <benchmark/benchmark.h>

#include <random>
#include <vector>

#include "test_lcs_support.h"

using namespace lcstest;

namespace {

struct Workspace {
    std::vector<unsigned char> memory;
    void bind(RbdLcsParameters &p, int rows, int bodies)
    {
        memory.assign(RbdLcsMemoryRequired(rows, bodies) + 64, 0);
        p.workspace = memory.data();
        p.workspaceSize = memory.size();
    }
};

// A hinge chain of state.range(0) links hanging under gravity; argument 1
// picks the factorisation (0 block, 1 variable band).
void BM_HingeChain(benchmark::State &state)
{
    int links = static_cast<int>(state.range(0));
    std::vector<RbdLcsBody> bodies;
    std::vector<Joint> joints;
    makeHingeChain(links, bodies, joints);
    RowList rows(5 * links);
    buildJointRows(rows, bodies, joints);
    RbdLcsParameters p = defaultParameters(0.01);
    p.linearSolver = static_cast<int>(state.range(1));
    Workspace ws;
    ws.bind(p, rows.list.rowCount, links);
    for (auto _ : state) {
        for (RbdLcsBody &b : bodies) PxV3Set(b.force, 0.0, -9.81, 0.0);
        benchmark::DoNotOptimize(RbdLcsStep(&rows.list, bodies.data(), links, &p));
    }
    state.counters["rows"] = rows.list.rowCount;
}
BENCHMARK(BM_HingeChain)->ArgsProduct({{25, 50, 100, 200}, {0, 1}})->Unit(benchmark::kMicrosecond);

// Restores the bounds of every row and the bodies before each solve, so
// that every iteration meets the same problem; reports the LCP result.
void solveRepeatedly(benchmark::State &state, RowList &rows, std::vector<RbdLcsBody> &bodies, int linearSolver)
{
    int count = static_cast<int>(bodies.size()), n = rows.list.rowCount;
    RbdLcsParameters p = defaultParameters(0.01);
    p.linearSolver = linearSolver;
    Workspace ws;
    ws.bind(p, n, count);
    std::vector<PxReal> lo(rows.list.lo, rows.list.lo + n), hi(rows.list.hi, rows.list.hi + n);
    std::vector<RbdLcsBody> start = bodies;
    int iterations = 0;
    for (auto _ : state) {
        std::copy(lo.begin(), lo.end(), rows.list.lo);
        std::copy(hi.begin(), hi.end(), rows.list.hi);
        bodies = start;
        chainBodies(bodies);
        iterations = RbdLcsStep(&rows.list, bodies.data(), count, &p);
        benchmark::DoNotOptimize(iterations);
    }
    state.counters["rows"] = n;
    state.counters["lcp_iterations"] = iterations;
}

// side x side unit boxes on the ground: four ground contacts each and one
// contact with the right and the front neighbour, every contact a normal
// row and two friction rows following it (1740 rows for 10 x 10, 7080 for
// 20 x 20). Arguments: side, factorisation (0 block, 1 variable band).
void BM_ContactLayer(benchmark::State &state)
{
    const int side = static_cast<int>(state.range(0)), count = side * side;
    std::vector<RbdLcsBody> bodies(count);
    for (int i = 0; i < count; ++i) {
        makeBody(bodies[i], 1.0, 1.0 / 6, 1.0 / 6, 1.0 / 6);
        PxV3Set(bodies[i].comTransform[3], (i % side) * 1.0, 0.5, (i / side) * 1.0);
        PxV3Set(bodies[i].force, 0.0, -9.81, 0.0);
        PxV3Set(bodies[i].linearVelocity, 0.01 * (i % 3), -0.05, 0.0);
    }
    chainBodies(bodies);
    RowList rows(18 * count);
    for (int i = 0; i < count; ++i) {
        for (int k = 0; k < 4; ++k)
            addContactRows(
                rows, bodies,
                Contact{{i, -1}, {k & 1 ? 0.45 : -0.45, -0.5, k & 2 ? 0.45 : -0.45}, {0.0, 1.0, 0.0}, 0.5});
        if (i % side != side - 1)
            addContactRows(rows, bodies, Contact{{i, i + 1}, {0.5, 0.0, 0.0}, {-1.0, 0.0, 0.0}, 0.3});
        if (i / side != side - 1)
            addContactRows(rows, bodies, Contact{{i, i + side}, {0.0, 0.0, 0.5}, {0.0, 0.0, -1.0}, 0.3});
    }
    solveRepeatedly(state, rows, bodies, static_cast<int>(state.range(1)));
}
BENCHMARK(BM_ContactLayer)->Args({10, 0})->Args({10, 1})->Args({20, 0})->Unit(benchmark::kMicrosecond);

// 1000 balls (radius 0.5, 1 kg) settling in a 10 x 10 x 10 lattice inside
// a bin: every ball stands on the one below it or on the floor; three in
// four of the side neighbours and of the walls touch it as well, so about
// 2650 contacts of three rows each make one island. Bin and balls touch
// without penetration; the balls sink at 5 cm/s and jostle sideways and
// spin at random (seeded), so that many contacts open and many slide.
void BM_SpherePile(benchmark::State &state)
{
    const int side = 10, count = side * side * side;
    auto index = [side](int x, int y, int z) { return (y * side + z) * side + x; };
    std::mt19937 rng(2800);
    std::uniform_real_distribution<PxReal> jostle(-0.05, 0.05), spin(-1.0, 1.0);
    std::vector<RbdLcsBody> bodies(count);
    for (int y = 0; y < side; ++y)
        for (int z = 0; z < side; ++z)
            for (int x = 0; x < side; ++x) {
                RbdLcsBody &b = bodies[index(x, y, z)];
                makeBody(b, 1.0, 0.1, 0.1, 0.1);
                PxV3Set(b.comTransform[3], x * 1.0, y + 0.5, z * 1.0);
                PxV3Set(b.force, 0.0, -9.81, 0.0);
                PxV3Set(b.linearVelocity, jostle(rng), -0.05, jostle(rng));
                PxV3Set(b.angularVelocity, spin(rng), spin(rng), spin(rng));
            }
    chainBodies(bodies);
    RowList rows(10 * count);
    auto touching = [&rng]() { return rng() % 4 != 0; };
    // A contact at the ball's surface in direction -normal; phi 0 for walls too.
    auto contact = [&](int ball, int other, PxReal nx, PxReal ny, PxReal nz) {
        int normalRow = rows.list.rowCount;
        addContactRows(rows, bodies, Contact{{ball, other}, {-0.5 * nx, -0.5 * ny, -0.5 * nz}, {nx, ny, nz}, 0.5});
        rows.list.phi[normalRow] = 0.0;
    };
    for (int y = 0; y < side; ++y)
        for (int z = 0; z < side; ++z)
            for (int x = 0; x < side; ++x) {
                int ball = index(x, y, z);
                contact(ball, y == 0 ? -1 : index(x, y - 1, z), 0.0, 1.0, 0.0);
                if (x > 0 && touching()) contact(ball, index(x - 1, y, z), 1.0, 0.0, 0.0);
                if (z > 0 && touching()) contact(ball, index(x, y, z - 1), 0.0, 0.0, 1.0);
                if (x == 0 && touching()) contact(ball, -1, 1.0, 0.0, 0.0);
                if (x == side - 1 && touching()) contact(ball, -1, -1.0, 0.0, 0.0);
                if (z == 0 && touching()) contact(ball, -1, 0.0, 0.0, 1.0);
                if (z == side - 1 && touching()) contact(ball, -1, 0.0, 0.0, -1.0);
            }
    solveRepeatedly(state, rows, bodies, static_cast<int>(state.range(0)));
}
BENCHMARK(BM_SpherePile)->Arg(0)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
