// Status round trips: saved text reads back to the same state, exactly.

#include <array>
#include <cstring>
#include <dirent.h>
#include <cstdlib>
#include <set>
#include <unistd.h>

#include "KelmarTestSupport.h"

namespace {

using namespace kelmartest;

// The ball dropped onto the palm of the jointed hand (cm, kg, s; a time
// step of 0.005 s).
const std::string kHandAndBall = KELMAR_EXAMPLES_DIR "/sweeps/hand_up_ball.px";
// The six-joint arm with its hand over a table of six objects, one a mesh.
const std::string kGraspBall = KELMAR_EXAMPLES_DIR "/grasp_ball.px";

// The linear and angular velocity of a solid's body (zero without one).
std::array<double, 6> Velocity(const kelmar::Solid *solid)
{
    std::array<double, 6> v{};
    if (RbdBodyID body = solid->GetBody()) {
        RbdBodyGetLinearVelocity(body, &v[0]);
        RbdBodyGetAngularVelocity(body, &v[3]);
    }
    return v;
}

// The first solid of a whose pose or velocity differs from its namesake's
// in b in any bit ("" when none does).
std::string FirstDifference(const kelmar::Scene &a, kelmar::Scene &b)
{
    std::string differs;
    a.ForEachObject([&](const char *name, kelmar::Object *object) {
        const kelmar::Solid *solid = dynamic_cast<kelmar::Solid *>(object);
        if (!solid || !differs.empty()) return;
        const kelmar::Solid *other = b.LookupSolid(name, false);
        const std::array<double, 6> v = Velocity(solid), w = Velocity(other);
        if (std::memcmp(solid->GetTM(), other->GetTM(), 16 * sizeof(double)) ||
            std::memcmp(v.data(), w.data(), sizeof v))
            differs = name;
    });
    return differs;
}

// A directory of its own as TMPDIR while it lives, so that suites running at
// the same time do not see each other's status files.
struct OwnTmpDir {
    std::string path = "/tmp/kelmar-status-XXXXXX";
    std::string saved;
    bool had = false;
    OwnTmpDir()
    {
        EXPECT_NE(mkdtemp(&path[0]), nullptr);
        if (const char *old = std::getenv("TMPDIR")) had = true, saved = old;
        setenv("TMPDIR", path.c_str(), 1);
    }
    ~OwnTmpDir()
    {
        had ? setenv("TMPDIR", saved.c_str(), 1) : unsetenv("TMPDIR");
        rmdir(path.c_str());
    }
    std::set<std::string> StatusFiles() const
    {
        std::set<std::string> names;
        DIR *dir = opendir(path.c_str());
        while (dirent *entry = dir ? readdir(dir) : nullptr)
            if (std::string(entry->d_name).rfind("paxkelmar", 0) == 0) names.insert(entry->d_name);
        if (dir) closedir(dir);
        return names;
    }
};

// Every finger joint driven towards 1 rad, as a grasp closes the hand.
void CloseFingers(Hosted &loaded, int steps)
{
    for (int k = 0; k < steps; ++k) {
        loaded.scene.ForEachJoint([](const char *, kelmar::Joint *joint) {
            if (kelmar::Limit *limit = joint->GetLimit()) limit->SetValueOpt(1.0, 0.5);
        });
        loaded.Run(1);
    }
}

// The ball is bouncing on the palm while the fingers close, so the bridge
// carries contacts from step to step and the joints their motors (in the
// grasp scene the arm's joints are driven too, and the objects rest on the
// table, the bowl a mesh). The
// state is saved, loaded into a fresh universe and saved again to the same
// text. A reset that restores the poses (through temporary files, which
// are removed) saves the same text and then runs bit for bit as the fresh
// universe; a reset that keeps only the parameters runs as a fresh load.
TEST(Status, ASavedOrResetStateRunsExactlyAsAFreshUniverse)
{
    for (const std::string &file : {kHandAndBall, kGraspBall})
        for (unsigned int flags : {kelmar::Scene::kStatusPose | kelmar::Scene::kStatusAppearance,
                                   unsigned(kelmar::Scene::kStatusAppearance)}) {
            SCOPED_TRACE(file + " flags " + std::to_string(flags));
            Hosted reset(file), fresh(file);
            EXPECT_GT(reset.scene.ObjectCount(), 10);
            CloseFingers(reset, 20);
            const std::string saved = StatusText(&reset.universe, reset.scene);
            const bool poses = flags & kelmar::Scene::kStatusPose;
            if (poses) {
                LoadStatusText(&fresh.universe, fresh.scene, saved);
                EXPECT_EQ(StatusText(&fresh.universe, fresh.scene), saved);
            }
            const OwnTmpDir tmp;
            reset.universe.ResetScenesWithRestore(flags);
            EXPECT_TRUE(tmp.StatusFiles().empty());
            EXPECT_EQ(reset.scene.GetTmpStatusFile(), nullptr);
            if (poses) {
                EXPECT_EQ(StatusText(&reset.universe, reset.scene), saved);
            }
            for (int k = 0; k < 60; ++k) {
                CloseFingers(reset, 1);
                CloseFingers(fresh, 1);
                if (!FirstDifference(reset.scene, fresh.scene).empty()) {
                    ADD_FAILURE() << FirstDifference(reset.scene, fresh.scene) << " differs at step " << k;
                    break;
                }
            }
        }
}

// A reset reloads the file with the parameters it gives (time step 0.005),
// and the same motion follows.
TEST(Status, ResetReproducesTheFirstLoad)
{
    Hosted a(kHandAndBall), b(kHandAndBall);
    CloseFingers(a, 30);
    a.universe.reset();
    EXPECT_EQ(a.universe.timeStep, 0.005);
    EXPECT_EQ(a.universe.time, 0.0);
    CloseFingers(a, 40);
    CloseFingers(b, 40);
    EXPECT_EQ(FirstDifference(a.scene, b.scene), "");
}

} // namespace
