// One solver step (RbdLcsStep: matrix, factorisation, LCP, integration) on
// single islands: hinge chains of growing length, and a layer of 100 boxes
// resting on the ground and on each other with friction.
#include <benchmark/benchmark.h>

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
    p.linear_solver = static_cast<int>(state.range(1));
    Workspace ws;
    ws.bind(p, rows.list.rowCount, links);
    for (auto _ : state) {
        for (RbdLcsBody &b : bodies) PxV3Set(b.force, 0.0, -9.81, 0.0);
        benchmark::DoNotOptimize(RbdLcsStep(&rows.list, bodies.data(), links, &p));
    }
    state.counters["rows"] = rows.list.rowCount;
}
BENCHMARK(BM_HingeChain)->ArgsProduct({{25, 50, 100, 200}, {0, 1}})->Unit(benchmark::kMicrosecond);

// 10 x 10 unit boxes on the ground: four ground contacts each and one
// contact with the right and the front neighbour, every contact a normal
// row and two friction rows following it (1740 rows). Rows and bodies are
// restored before every step so that each solve meets the same problem.
void BM_ContactLayer(benchmark::State &state)
{
    const int side = 10, count = side * side;
    std::vector<RbdLcsBody> bodies(count);
    for (int i = 0; i < count; ++i) {
        makeBody(bodies[i], 1.0, 1.0 / 6, 1.0 / 6, 1.0 / 6);
        PxV3Set(bodies[i].comTransform[3], (i % side) * 1.0, 0.5, (i / side) * 1.0);
        PxV3Set(bodies[i].force, 0.0, -9.81, 0.0);
        PxV3Set(bodies[i].linearVelocity, 0.01 * (i % 3), -0.05, 0.0);
    }
    chainBodies(bodies);
    RowList rows(2000);
    for (int i = 0; i < count; ++i) {
        for (int k = 0; k < 4; ++k)
            addContactRows(rows, bodies, Contact{{i, -1}, {k & 1 ? 0.45 : -0.45, -0.5, k & 2 ? 0.45 : -0.45},
                                                 {0.0, 1.0, 0.0}, 0.5});
        if (i % side != side - 1)
            addContactRows(rows, bodies, Contact{{i, i + 1}, {0.5, 0.0, 0.0}, {-1.0, 0.0, 0.0}, 0.3});
        if (i / side != side - 1)
            addContactRows(rows, bodies, Contact{{i, i + side}, {0.0, 0.0, 0.5}, {0.0, 0.0, -1.0}, 0.3});
    }
    RbdLcsParameters p = defaultParameters(0.01);
    p.linear_solver = static_cast<int>(state.range(0));
    Workspace ws;
    ws.bind(p, rows.list.rowCount, count);
    int n = rows.list.rowCount;
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
BENCHMARK(BM_ContactLayer)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
