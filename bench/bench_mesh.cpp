// Triangle meshes: building the tree (time and memory) for 10k and 100k
// triangles, and a 10k-triangle mesh against a moving sphere and a moving
// mesh. The pair tests should cost what the overlap costs, not what the
// mesh holds: the same local contact on 10k and 100k triangles, and a
// small against a large sphere, show it.
#include <kelmar/Cdx.h>
#include <kelmar/PxMemory.h>
#include <kelmar/PxVector.h>

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

// Allocation counting around the toolkit's own allocator: every block is
// preceded by its size.
struct Counter {
    long long current = 0;
    long long peak = 0;
};
Counter gCounter;
PxMemoryAPIType gPlain;

void *CountedCreate(size_t size)
{
    size_t *block = static_cast<size_t *>(std::malloc(size + sizeof(size_t) * 2));
    if (!block) return nullptr;
    block[0] = size;
    gCounter.current += (long long)size;
    if (gCounter.current > gCounter.peak) gCounter.peak = gCounter.current;
    return block + 2;
}
void *CountedCreateZeroed(size_t size)
{
    void *p = CountedCreate(size);
    if (p) std::memset(p, 0, size);
    return p;
}
void CountedDestroy(void *p)
{
    if (!p) return;
    size_t *block = static_cast<size_t *>(p) - 2;
    gCounter.current -= (long long)block[0];
    std::free(block);
}
void *CountedResize(void *p, size_t size)
{
    if (!p) return CountedCreate(size);
    if (size == 0) return nullptr;
    size_t *block = static_cast<size_t *>(p) - 2;
    size_t old = block[0];
    size_t *grown = static_cast<size_t *>(std::realloc(block, size + sizeof(size_t) * 2));
    if (!grown) return nullptr;
    grown[0] = size;
    gCounter.current += (long long)size - (long long)old;
    if (gCounter.current > gCounter.peak) gCounter.peak = gCounter.current;
    return grown + 2;
}

void CountAllocations(bool on)
{
    if (on) {
        gPlain = PxMemoryAPI;
        PxMemoryAPI.create = CountedCreate;
        PxMemoryAPI.createZeroed = CountedCreateZeroed;
        PxMemoryAPI.destroy = CountedDestroy;
        PxMemoryAPI.resize = CountedResize;
    } else {
        PxMemoryAPI = gPlain;
    }
    gCounter = Counter();
}

// A torus (tube radius 0.3 about a ring of radius 1, times scale) of
// 2 x rings x sides triangles, with a gentle bump so that no two triangles
// are alike.
struct Torus {
    std::vector<PxReal> vertices;
    CdxGeometryID mesh = nullptr;

    Torus(int rings, int sides, double scale = 1.0, bool build = true)
    {
        for (int i = 0; i < rings; ++i)
            for (int j = 0; j < sides; ++j) {
                double u = 2 * M_PI * i / rings, v = 2 * M_PI * j / sides;
                double r = 0.3 * (1.0 + 0.05 * std::sin(5 * u) * std::cos(3 * v));
                vertices.push_back(scale * (1.0 + r * std::cos(v)) * std::cos(u));
                vertices.push_back(scale * (1.0 + r * std::cos(v)) * std::sin(u));
                vertices.push_back(scale * r * std::sin(v));
            }
        mesh = CdxTriangleMeshCreate(2 * rings * sides);
        auto at = [&](int i, int j) { return &vertices[3 * (((i % rings) * sides) + (j % sides))]; };
        for (int i = 0; i < rings; ++i)
            for (int j = 0; j < sides; ++j) {
                CdxTriangleMeshAddTriangle(mesh, at(i, j), at(i + 1, j), at(i + 1, j + 1));
                CdxTriangleMeshAddTriangle(mesh, at(i, j), at(i + 1, j + 1), at(i, j + 1));
            }
        if (build) CdxTriangleMeshBuild(mesh);
    }
    ~Torus() { CdxTriangleMeshDestroy(mesh); }
};

// rings x sides for about the requested triangle count.
void TorusSize(int triangles, int *rings, int *sides)
{
    *sides = (int)std::sqrt(triangles / 8.0);
    *rings = triangles / (2 * *sides);
}

struct Library {
    Library()
    {
        CdxInit(8, 16);
        CdxPrimitivesRegisterTypes();
        CdxTriangleMeshRegisterType();
        CdxPrimitivesRegisterInteractions();
        CdxTriangleMeshRegisterInteractions();
    }
    ~Library() { CdxTerm(); }
};

void Translate(PxMatrix4 tm, double x, double y, double z)
{
    PxM4Identity(tm);
    PxV3Set(tm[3], x, y, z);
}

void BM_MeshBuild(benchmark::State &state)
{
    Library library;
    int rings, sides;
    TorusSize((int)state.range(0), &rings, &sides);
    CountAllocations(true);
    long long retained = 0, peak = 0;
    for (auto _ : state) {
        state.PauseTiming();
        Torus *torus = new Torus(rings, sides, 1.0, false);
        gCounter.peak = gCounter.current;
        long long before = gCounter.current;
        state.ResumeTiming();
        CdxTriangleMeshBuild(torus->mesh);
        state.PauseTiming();
        retained = gCounter.current - before;
        peak = gCounter.peak - before;
        delete torus;
        state.ResumeTiming();
    }
    CountAllocations(false);
    state.counters["triangles"] = 2.0 * rings * sides;
    state.counters["built_MB"] = retained / 1048576.0;
    state.counters["peak_MB"] = peak / 1048576.0;
}
BENCHMARK(BM_MeshBuild)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

// A sphere that rolls round the tube, always touching it; state.range(0)
// triangles in the torus, state.range(1) the sphere's radius in mm. The
// counter "near" is the number of triangles within reach of the sphere.
void BM_MeshSphere(benchmark::State &state)
{
    Library library;
    int rings, sides;
    TorusSize((int)state.range(0), &rings, &sides);
    Torus torus(rings, sides);
    double radius = state.range(1) / 1000.0;
    CdxGeometryID sphere = CdxSphereCreate(radius);
    PxMatrix4 meshTM, sphereTM;
    Translate(meshTM, 0, 0, 0);
    CdxModelID meshModel = CdxModelCreate(torus.mesh), ball = CdxModelCreate(sphere);
    CdxModelSetTransformPtr(meshModel, &meshTM);
    CdxModelSetTransformPtr(ball, &sphereTM);
    CdxModelPair pair;
    CdxModelPairReset(&pair, meshModel, ball);
    CdxHello(&pair);
    CdxContact contacts[16];
    CdxIntersectResult result = {};
    result.contacts = contacts;
    result.contactCapacity = 16;
    // On top of the tube, sunk in by a tenth of the radius.
    double z = 0.3 + 0.9 * radius;
    Translate(sphereTM, 1.0, 0.0, z);
    state.counters["near"] = CdxTriangleMeshPrimitiveGetIntersectingTriangle(&pair, nullptr, 0);
    double angle = 0.0;
    long long touches = 0, calls = 0;
    for (auto _ : state) {
        angle += 0.013;
        Translate(sphereTM, std::cos(angle), std::sin(angle), z);
        CdxIntersect(&pair, &result);
        touches += result.touch;
        ++calls;
        benchmark::DoNotOptimize(result.contactCount);
    }
    state.counters["touching"] = (double)touches / (double)calls;
    CdxModelDestroy(meshModel);
    CdxModelDestroy(ball);
    CdxGeometryDestroy(sphere);
}
BENCHMARK(BM_MeshSphere)
    ->Args({10000, 50})
    ->Args({100000, 16})
    ->Args({100000, 50})
    ->Args({10000, 300})
    ->Args({10000, 1000});

// A small torus (320 triangles, a quarter the size) moving through the
// tube's wall, and a second 10k torus crossing the first at a moving
// angle; state.range(0): 0 = small torus, 1 = large torus, 2 = small torus
// held apart.
void BM_MeshMesh(benchmark::State &state)
{
    Library library;
    int rings, sides;
    TorusSize(10000, &rings, &sides);
    Torus torus(rings, sides);
    int kind = (int)state.range(0);
    Torus other(kind == 1 ? rings : 20, kind == 1 ? sides : 8, kind == 1 ? 1.0 : 0.25);
    PxMatrix4 tmA, tmB;
    Translate(tmA, 0, 0, 0);
    CdxModelID a = CdxModelCreate(torus.mesh), b = CdxModelCreate(other.mesh);
    CdxModelSetTransformPtr(a, &tmA);
    CdxModelSetTransformPtr(b, &tmB);
    CdxModelPair pair;
    CdxModelPairReset(&pair, a, b);
    CdxHello(&pair);
    CdxContact contacts[30];
    CdxIntersectResult result = {};
    result.contacts = contacts;
    result.contactCapacity = 30;
    double angle = 0.0;
    long long touches = 0, calls = 0;
    for (auto _ : state) {
        angle += 0.011;
        if (kind == 1) {
            // The second torus stood up and turned about the vertical,
            // crossing the first in a few places.
            double c = std::cos(angle), s = std::sin(angle);
            PxReal rows[4][4] = {{c, s, 0, 0}, {0, 0, 1, 0}, {s, -c, 0, 0}, {1.0, 0, 0, 1}};
            PxM4Copy(tmB, rows);
        } else {
            // The small torus circling through the tube's wall.
            double lift = kind == 2 ? 2.0 : 0.0;
            Translate(tmB, 1.0 + 0.3 * std::cos(angle), 0.3 * std::sin(angle), lift);
        }
        CdxIntersect(&pair, &result);
        touches += result.touch;
        ++calls;
        benchmark::DoNotOptimize(result.contactCount);
    }
    state.counters["touching"] = (double)touches / (double)calls;
    CdxModelDestroy(a);
    CdxModelDestroy(b);
}
BENCHMARK(BM_MeshMesh)->Arg(0)->Arg(1)->Arg(2);

} // namespace

BENCHMARK_MAIN();
