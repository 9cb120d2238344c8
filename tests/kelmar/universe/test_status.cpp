// Status round trips: saved text reads back to the same state, exactly.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <set>
#include <string>

#include <kelmar/RbdBody.h>
#include <kelmar/RbdWorld.h>

#include "KelmarTestSupport.h"

namespace {

using namespace kelmartest;

const char *kSceneFile = R"(<PX>
  <WORLD>
    <GRAVITY>0, 0, -981</GRAVITY>
    <TIMESTEP>0.01</TIMESTEP>
  </WORLD>
  <GEOMETRIES>
    <PLANE floor></PLANE>
    <BOX brick><DIMS>10, 6, 4</DIMS></BOX>
    <SPHERE ball><RADIUS>3</RADIUS></SPHERE>
  </GEOMETRIES>
  <SOLID ground><GEOMETRY_ID>floor</GEOMETRY_ID><MATERIAL>wood</MATERIAL><FROZEN>1</FROZEN></SOLID>
  <SOLID b1><GEOMETRY_ID>brick</GEOMETRY_ID><MATERIAL>wood</MATERIAL><POS>0, 0, 8</POS><EULER>0.3, 0.2, 0.1</EULER></SOLID>
  <SOLID b2><GEOMETRY_ID>brick</GEOMETRY_ID><MATERIAL>plastic</MATERIAL><POS>3, 1, 20</POS></SOLID>
  <SOLID s1><GEOMETRY_ID>ball</GEOMETRY_ID><MATERIAL>rubber</MATERIAL><POS>-2, 0, 30</POS><BODY><VEL>40, 0, 0</VEL></BODY></SOLID>
</PX>
)";

// The first solid of a whose pose differs from its namesake's in b in any
// bit ("" when none does).
std::string FirstDifference(const kelmar::Scene &a, kelmar::Scene &b)
{
    std::string differs;
    a.ForEachObject([&](const char *name, kelmar::Object *object) {
        const kelmar::Solid *solid = dynamic_cast<kelmar::Solid *>(object);
        if (solid && differs.empty() &&
            std::memcmp(solid->GetTM(), b.LookupSolid(name, false)->GetTM(), 16 * sizeof(double)))
            differs = name;
    });
    return differs;
}

std::set<std::string> TmpStatusFiles()
{
    std::set<std::string> names;
    DIR *dir = opendir("/tmp");
    while (dirent *entry = dir ? readdir(dir) : nullptr)
        if (std::string(entry->d_name).rfind("paxkelmar", 0) == 0) names.insert(entry->d_name);
    if (dir) closedir(dir);
    return names;
}

struct Loaded {
    explicit Loaded(const std::string &file) : scene(file.c_str()) { EXPECT_TRUE(universe.AddScene(&scene)); }
    ~Loaded() { universe.DelScene(&scene); }
    void Run(int steps)
    {
        for (int i = 0; i < steps; ++i) universe.step();
    }
    kelmar::Universe universe;
    kelmar::Scene scene;
};

// The state after some motion is saved, loaded into a fresh universe and
// saved again: the text is the same, and a third universe loaded from the
// re-saved text runs 200 steps to the same poses bit for bit. The first
// universe is reset to its own state the way a user's reset keeps it
// (through temporary files, which are removed) and saves the same text.
TEST(Status, SaveLoadSaveIsIdenticalAndBothUniversesRunTheSame)
{
    const std::string file = WriteTempFile(kSceneFile);
    Loaded first(file);
    EXPECT_EQ(first.universe.timeStep, 0.01); // the file's step
    first.Run(37);
    const std::string saved = StatusText(&first.universe, first.scene);
    Loaded second(file);
    LoadStatusText(&second.universe, second.scene, saved);
    EXPECT_EQ(StatusText(&second.universe, second.scene), saved);
    const std::set<std::string> before = TmpStatusFiles();
    first.universe.ResetScenesWithRestore(kelmar::Scene::kStatusPose | kelmar::Scene::kStatusAppearance);
    EXPECT_EQ(TmpStatusFiles(), before);
    EXPECT_EQ(first.scene.GetTmpStatusFile(), nullptr);
    EXPECT_EQ(StatusText(&first.universe, first.scene), saved);
    Loaded third(file);
    LoadStatusText(&third.universe, third.scene, StatusText(&second.universe, second.scene));
    second.Run(200);
    third.Run(200);
    EXPECT_EQ(FirstDifference(second.scene, third.scene), "");
    std::remove(file.c_str());
}

// Every finger joint driven towards 1 rad, as a grasp closes the hand.
void CloseFingers(Loaded &loaded, int steps)
{
    for (int k = 0; k < steps; ++k) {
        loaded.scene.ForEachJoint([](const char *, kelmar::Joint *joint) {
            if (kelmar::Limit *limit = joint->GetLimit()) limit->SetValueOpt(1.0, 0.5);
        });
        loaded.Run(1);
    }
}

// The ball dropped onto the palm of the jointed hand is bouncing on it while
// the fingers close, so the bridge carries contacts from step to step and
// the joints their motors. A reset that restores the poses then runs
// exactly as a fresh universe given the same status; a reset that keeps
// only the parameters runs exactly as a fresh load.
TEST(Status, AResetRunsExactlyAsAFreshUniverse)
{
    const std::string file = KELMAR_EXAMPLES_DIR "/sweeps/hand_up_ball.px";
    for (unsigned int flags : {kelmar::Scene::kStatusPose | kelmar::Scene::kStatusAppearance,
                               unsigned(kelmar::Scene::kStatusAppearance)}) {
        SCOPED_TRACE(flags);
        Loaded reset(file), fresh(file);
        EXPECT_GT(reset.scene.ObjectCount(), 10);
        CloseFingers(reset, 20);
        if (flags & kelmar::Scene::kStatusPose)
            LoadStatusText(&fresh.universe, fresh.scene, StatusText(&reset.universe, reset.scene));
        reset.universe.ResetScenesWithRestore(flags);
        for (int k = 0; k < 40; ++k) {
            CloseFingers(reset, 1);
            CloseFingers(fresh, 1);
            if (!FirstDifference(reset.scene, fresh.scene).empty()) {
                ADD_FAILURE() << FirstDifference(reset.scene, fresh.scene) << " differs at step " << k;
                break;
            }
        }
    }
}

// A reset reloads the file with the parameters it gives (time step 0.01),
// and the same motion follows.
TEST(Status, ResetReproducesTheFirstLoad)
{
    const std::string file = WriteTempFile(kSceneFile);
    Loaded a(file), b(file);
    a.Run(50);
    a.universe.reset();
    EXPECT_EQ(a.universe.timeStep, 0.01);
    EXPECT_EQ(a.universe.time, 0.0);
    a.Run(100);
    b.Run(100);
    EXPECT_EQ(FirstDifference(a.scene, b.scene), "");
    std::remove(file.c_str());
}

} // namespace
