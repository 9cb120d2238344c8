// The collision space's broad phase on moving models: boxes and balls
// about 1 m across drift in straight lines through a cube whose size keeps
// the density fixed, so each model has about one neighbour at any scene
// size. One update is the whole bracket: open it, move and re-sort every
// model, close it and read every pair.
//
// The sort costs the number of end points passed. Slowly (2 mm per
// update, 0.2 m/s at 100 updates a second) few are passed and the cost
// grows with the model count: about ten times as much at 10,000 models as
// at 1,000, where comparing every model with every other would cost a
// hundred times as much. Faster (2 cm per update) the passes dominate; in
// a cube of fixed density a projection onto an axis gets more crowded as
// the cube grows (N^(2/3) end points per metre), so the cost then grows
// like N^(5/3), about 46 times from 1,000 to 10,000 models.
//
// The first update of a new space places every model at once: its cost is
// that of sorting the boxes and listing the overlaps, which should grow
// like N log N, not with the square of the model count.
#include <benchmark/benchmark.h>

#include <kelmar/Cdx.h>
#include <kelmar/PxVector.h>

#include <cmath>
#include <random>
#include <vector>

namespace {

const PxReal kDensity = 0.02; // models per cubic metre
const PxReal kMillimetre = 0.001;
const int kContainerSize = 4096;

struct Placement {
    PxMatrix4 tm;
    PxVector3 velocity;
};

class Scene {
public:
    // speed in metres per update.
    Scene(int count, PxReal speed, bool place = true) : placements_(static_cast<size_t>(count))
    {
        CdxInit(4, count);
        CdxSphereBoxPlaneRegisterTypes();
        space_ = CdxSpaceAxisSortCreate(CdxAllAxes, count, 8 * count);
        container_ = CdxModelPairContainerCreate(kContainerSize);
        side_ = std::cbrt(count / kDensity);
        std::mt19937 rng(2026);
        std::uniform_real_distribution<PxReal> position(0.0, side_), size(0.5, 1.5), unit(-1.0, 1.0);
        for (int k = 0; k < count; ++k) {
            Placement &p = placements_[static_cast<size_t>(k)];
            PxM4Identity(p.tm);
            PxV3Set(p.tm[3], position(rng), position(rng), position(rng));
            PxV3Set(p.velocity, unit(rng), unit(rng), unit(rng));
            PxV3Normalize(p.velocity);
            PxV3Scale(p.velocity, p.velocity, speed);
            CdxGeometryID geometry = k % 2 ? CdxSphereCreate(0.5 * size(rng))
                                           : CdxBoxCreate(size(rng), size(rng), size(rng));
            CdxModelID model = CdxModelCreate(geometry);
            CdxModelSetTransformPtr(model, &p.tm);
            CdxSpaceInsertModel(space_, model);
            models_.push_back(model);
        }
        // The first sort places every model; later ones follow the motion.
        if (place) Update();
    }

    ~Scene()
    {
        // Destroying the space lets all its models go at once.
        CdxSpaceDestroy(space_);
        for (CdxModelID model : models_) {
            CdxGeometryID geometry = CdxModelGetGeometry(model);
            CdxModelDestroy(model);
            CdxGeometryDestroy(geometry);
        }
        CdxModelPairContainerDestroy(container_);
        CdxTerm();
    }

    // Returns the number of pairs read.
    int Update()
    {
        CdxSpaceBeginChanges(space_);
        for (Placement &p : placements_) Move(p);
        CdxSpaceUpdateAll(space_);
        CdxSpaceEndChanges(space_);
        CdxSpacePairIterator iterator;
        CdxSpacePairIteratorBegin(space_, &iterator);
        int pairs = 0, more = 1;
        while (more) {
            CdxModelPairContainerReset(container_);
            more = CdxSpaceGetPairs(space_, &iterator, container_);
            pairs += CdxModelPairContainerGetGoodbyeCount(container_) +
                     CdxModelPairContainerGetHelloCount(container_) +
                     CdxModelPairContainerGetStayingCount(container_);
        }
        return pairs;
    }

private:
    // Drifts in a straight line, bouncing off the walls of the cube.
    void Move(Placement &p) const
    {
        for (int k = 0; k < 3; ++k) {
            PxReal next = p.tm[3][k] + p.velocity[k];
            if (next < 0.0 || next > side_) p.velocity[k] = -p.velocity[k];
            p.tm[3][k] += p.velocity[k];
        }
    }

    std::vector<Placement> placements_;
    std::vector<CdxModelID> models_;
    CdxSpaceID space_ = nullptr;
    CdxModelPairContainer *container_ = nullptr;
    PxReal side_ = 0.0;
};

// Arguments: model count, speed in millimetres per update.
void BM_SpaceUpdate(benchmark::State &state)
{
    Scene scene(static_cast<int>(state.range(0)), static_cast<PxReal>(state.range(1)) * kMillimetre);
    int pairs = 0;
    for (auto _ : state) pairs = scene.Update();
    benchmark::DoNotOptimize(pairs);
    state.counters["pairs"] = pairs;
}

// Argument: model count. Each iteration builds a new space (untimed) and
// times its first update.
void BM_SpaceFirstSort(benchmark::State &state)
{
    const int count = static_cast<int>(state.range(0));
    int pairs = 0;
    for (auto _ : state) {
        state.PauseTiming();
        {
            Scene *scene = new Scene(count, 0.0, false);
            state.ResumeTiming();
            pairs = scene->Update();
            state.PauseTiming();
            delete scene;
        }
        state.ResumeTiming();
    }
    benchmark::DoNotOptimize(pairs);
    state.counters["pairs"] = pairs;
}

} // namespace

BENCHMARK(BM_SpaceFirstSort)
    ->ArgNames({"models"})
    ->Args({1000})
    ->Args({10000})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);

BENCHMARK(BM_SpaceUpdate)
    ->ArgNames({"models", "mm_per_update"})
    ->Args({1000, 2})
    ->Args({10000, 2})
    ->Args({1000, 20})
    ->Args({10000, 20})
    ->Unit(benchmark::kMicrosecond)
    ->Iterations(300);

BENCHMARK_MAIN();
