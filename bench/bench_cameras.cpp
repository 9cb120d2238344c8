// Camera pictures rendered and read back on the machine's OpenGL (llvmpipe
// in CI): a 320 x 240 camera image and a 786 x 576 stereo pair of a
// grasping scene, in images (pairs) per second. The scene is the example
// grasp_ball.px when it can be read, else a stand-in built here of the same
// kind: a floor, a ball and a three-fingered hand of boxes and cylinders.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include <kelmar/KelmarCamHead.h>
#include <kelmar/KelmarCamera.h>
#include <kelmar/kelmar.h>

namespace {

bool Exists(const char *file)
{
    FILE *f = std::fopen(file, "r");
    if (f) std::fclose(f);
    return f != nullptr;
}

struct GraspScene {
    kelmar::Universe universe;
    std::unique_ptr<kelmar::Scene> owned;
    kelmar::Scene &scene;
    std::string label = "grasp_ball.px";
    GraspScene() : owned(new kelmar::Scene(Exists(kFile) ? kFile : nullptr)), scene(*owned)
    {
        universe.AddScene(&scene);
        if (scene.ObjectCount() > 0) return;
        BuildStandIn();
        label = "stand-in grasp scene";
    }
    ~GraspScene() { universe.DelScene(&scene); }
    static constexpr const char *kFile = KELMAR_EXAMPLES "/grasp_ball.px";

    // Palm, three fingers of three links each, a ball in the grasp, a floor.
    void BuildStandIn()
    {
        kelmar::AddGround(&scene, 3);
        Place(kelmar::AddSphere(&scene, 4, Spec()), 0, 0, 4);
        Place(kelmar::AddBox(&scene, 12, 12, 3, Spec()), 0, 0, 16);
        for (int finger = 0; finger < 3; ++finger)
            for (int link = 0; link < 3; ++link) {
                const double angle = finger * 2.094, radius = 6 - link;
                Place(kelmar::AddCylinder(&scene, 1, 4, Spec()), radius * std::cos(angle), radius * std::sin(angle),
                      13 - 4 * link);
            }
    }
    static kelmar::SolidSpec Spec()
    {
        kelmar::SolidSpec spec;
        spec.fixed = true;
        return spec;
    }
    static void Place(kelmar::Solid *solid, double x, double y, double z)
    {
        const double p[3] = {x, y, z};
        solid->SetPosition(p);
    }
};

void Overview(double pose[4][4])
{
    const double rows[4][4] = {{-1, 0, 0, 0}, {0, 0.8, 0.6, 0}, {0, 0.6, -0.8, 0}, {0, -45, 70, 1}};
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j) pose[i][j] = rows[i][j];
}

void CameraImage320x240(benchmark::State &state)
{
    GraspScene world;
    kelmar::KelmarCamera *camera = new kelmar::KelmarCamera(&world.scene, 320, 240);
    world.scene.InsertObject("bench_camera", camera);
    double pose[4][4];
    Overview(pose);
    camera->SetRelTM(pose);
    std::vector<unsigned char> rgb;
    if (!camera->GetImage1(rgb)) {
        state.SkipWithError(camera->GetError().c_str());
        return;
    }
    for (auto _ : state) {
        camera->GetImage1(rgb);
        benchmark::DoNotOptimize(rgb.data());
    }
    state.SetItemsProcessed(state.iterations());
    state.SetLabel(world.label);
}
BENCHMARK(CameraImage320x240)->Unit(benchmark::kMillisecond)->MinTime(2)->UseRealTime();

void StereoPair786x576(benchmark::State &state)
{
    GraspScene world;
    kelmar::KelmarCamHead *head = new kelmar::KelmarCamHead(&world.scene);
    world.scene.InsertObject("bench_head", head);
    double pose[4][4];
    Overview(pose);
    head->SetHeadTM(pose);
    std::vector<unsigned char> left, right;
    if (!head->GetStereoImg(left, right)) {
        state.SkipWithError(head->GetError().c_str());
        return;
    }
    for (auto _ : state) {
        head->GetStereoImg(left, right);
        benchmark::DoNotOptimize(right.data());
    }
    state.SetItemsProcessed(state.iterations());
    state.SetLabel(world.label);
}
BENCHMARK(StereoPair786x576)->Unit(benchmark::kMillisecond)->MinTime(2)->UseRealTime();

} // namespace

BENCHMARK_MAIN();
