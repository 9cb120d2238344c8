// The scene reader on the grasp scene (arm, hand, six objects, a mesh of
// 10k triangles): a first load into a new universe, a reload after the
// universe's reset(), and the mesh alone. Both loads should stay under
// 50 ms.
#include <benchmark/benchmark.h>

#include <string>

#include <kelmar/CdxGeometry.h>
#include <kelmar/CdxTriangleMesh.h>
#include <kelmar/kelmar.h>

namespace {

const std::string kExamples = KELMAR_EXAMPLES_DIR;

// Messages are counted by the scene; a bench run only needs them off the screen.
class QuietScene : public kelmar::Scene {
public:
    using kelmar::Scene::Scene;
    void Error(int, const char *, ...) const override {}
};

void LoadGraspScene(benchmark::State &state)
{
    const std::string file = kExamples + "/grasp_ball.px";
    int errors = 0;
    for (auto _ : state) {
        kelmar::Universe universe(1000, 1000, 1000, 20000);
        QuietScene scene(file.c_str());
        universe.AddScene(&scene);
        errors += scene.GetLoadErrorCount();
        state.PauseTiming();
        universe.DelScene(&scene);
        state.ResumeTiming();
    }
    state.counters["errors"] = errors;
}

void ReloadAfterReset(benchmark::State &state)
{
    const std::string file = kExamples + "/grasp_ball.px";
    kelmar::Universe universe(1000, 1000, 1000, 20000);
    QuietScene scene(file.c_str());
    universe.AddScene(&scene);
    for (int i = 0; i < 10; ++i) universe.step();
    for (auto _ : state) universe.reset();
    state.counters["errors"] = scene.GetLoadErrorCount();
    state.counters["solids"] = scene.ObjectCount();
    universe.DelScene(&scene);
}

// The bowl alone: reading the OBJ file and building the mesh's tree.
void ReadBowlMesh(benchmark::State &state)
{
    const std::string file = kExamples + "/bowl.obj";
    kelmar::Universe universe; // initialises the collision library
    for (auto _ : state) {
        CdxGeometryID mesh = CdxuTriangleMeshCreateFromObj(file.c_str());
        benchmark::DoNotOptimize(mesh);
        state.PauseTiming();
        CdxGeometryDestroy(mesh);
        state.ResumeTiming();
    }
}

} // namespace

BENCHMARK(LoadGraspScene)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(ReloadAfterReset)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(ReadBowlMesh)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK_MAIN();
