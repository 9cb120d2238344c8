// Camera units: a camera made on a solid rides it and survives rebuilds, a
// head made in a scene keeps its joints, references find the file's
// cameras and heads, and pictures come out at their sizes, with the planes
// holding the interleaved picture's channels.
#include <kelmar/Solid.h>

#include "HostTestSupport.h"

namespace hosttest {
namespace {

class CameraUnits : public HostTest {
public:
    void Cameras()
    {
        MakeUniverse();
        dfx::CreateUnit(program, "scene", "scene", {"universe", KELMAR_HOST_TEST_DATA, "cameras.px"});
    }
    std::vector<unsigned char> Bytes(const std::string &path, int output = 0)
    {
        return dfx::OutputBytes(At(path), output);
    }
    // The camera's world pose expected: its relative pose, then the solid's.
    std::vector<float> Compounded(const double relative[4][4], const kelmar::Solid *solid)
    {
        const double(*tm)[4] = solid->GetTM();
        std::vector<float> out(16);
        for (int i = 0; i < 4; ++i)
            for (int j = 0; j < 4; ++j) {
                double sum = 0;
                for (int k = 0; k < 4; ++k) sum += relative[i][k] * tm[k][j];
                out[static_cast<size_t>(4 * i + j)] = static_cast<float>(sum);
            }
        return out;
    }
};

void ExpectNear(const std::vector<float> &expected, const std::vector<float> &actual, float tolerance)
{
    ASSERT_EQ(expected.size(), actual.size());
    for (size_t i = 0; i < expected.size(); ++i) EXPECT_NEAR(expected[i], actual[i], tolerance) << "element " << i;
}

// Above the ball looking down (its up along -y), 20 cm away.
const double kAbove[4][4] = {{1, 0, 0, 0}, {0, -1, 0, 0}, {0, 0, -1, 0}, {0, 0, 20, 1}};

TEST_F(CameraUnits, AMadeCameraRidesItsSolidAcrossRebuildsAndRenames)
{
    Make("camera", "wrist", {"scene", "ball", "64", "48"});
    Cameras();
    std::vector<double> pose(&kAbove[0][0], &kAbove[0][0] + 16);
    Feed("wrist.SetTM", "tm", pose);
    Run("wrist.SetTM");
    Run("universe.step", 5);
    Run("wrist.GetTM");
    auto *scene = Object<kelmar::DfxScene>("scene");
    ExpectNear(Compounded(kAbove, scene->LookupSolid("ball")), Out("wrist.GetTM"), 1e-4f);
    ASSERT_NE(nullptr, MakeUniverse("second"));
    Run("universe.step", 5);
    Run("wrist.GetTM");
    ExpectNear(Compounded(kAbove, scene->LookupSolid("ball")), Out("wrist.GetTM"), 1e-4f);
    dfx::Rename(At("scene"), "elsewhere");
    EXPECT_EQ(nullptr, scene->LookupObject("wrist", false)) << "taken out with its binding";
    dfx::Rename(At("elsewhere"), "scene");
    Run("wrist.GetTM");
    ExpectNear(Compounded(kAbove, scene->LookupSolid("ball")), Out("wrist.GetTM"), 1e-4f);
    Run("wrist.GetImage1");
    EXPECT_EQ(64u * 48u * 3u, Bytes("wrist.GetImage1").size());
    EXPECT_EQ((std::vector<float>{64}), Out("wrist.GetImage1", 1));
    EXPECT_EQ((std::vector<float>{48}), Out("wrist.GetImage1", 2));
}

TEST_F(CameraUnits, AMadeHeadKeepsItsJointsAcrossRebuildsAndRenames)
{
    Cameras();
    Make("CamHead", "eyes", {"scene"});
    Feed("eyes.SetJoints", "values", {10, 20, 5, -5});
    Run("eyes.SetJoints");
    ASSERT_NE(nullptr, MakeUniverse("second"));
    Run("eyes.GetJoints");
    ExpectNear({10, 20, 5, -5}, Out("eyes.GetJoints"), 1e-4f);
    dfx::Rename(At("scene"), "elsewhere");
    dfx::Rename(At("elsewhere"), "scene");
    Run("eyes.GetJoints");
    ExpectNear({10, 20, 5, -5}, Out("eyes.GetJoints"), 1e-4f);
    Run("eyes.GetLeftImg");
    EXPECT_EQ(786u * 576u * 3u, Bytes("eyes.GetLeftImg").size()) << "a made head has the full picture size";
}

// The planes of GetImage3 are the channels of GetImage1, pixel for pixel.
TEST_F(CameraUnits, AReferenceFindsTheFilesCameraAndItsPlanesMatchItsPicture)
{
    Cameras();
    Make("camera|ref", "look", {"scene", "eye"});
    Run("look.GetImage1");
    Run("look.GetImage3");
    const std::vector<unsigned char> rgb = Bytes("look.GetImage1");
    ASSERT_EQ(40u * 30u * 3u, rgb.size());
    bool varied = false;
    for (int c = 0; c < 3; ++c) {
        const std::vector<unsigned char> plane = Bytes("look.GetImage3", c);
        ASSERT_EQ(40u * 30u, plane.size());
        for (size_t p = 0; p < plane.size(); ++p) {
            EXPECT_EQ(rgb[3 * p + static_cast<size_t>(c)], plane[p]) << "channel " << c << " pixel " << p;
            varied = varied || plane[p] != plane[0];
        }
    }
    EXPECT_TRUE(varied) << "the ball on the floor is in the picture";
    EXPECT_EQ((std::vector<float>{40}), Out("look.GetImage3", 3));
}

TEST_F(CameraUnits, AHeadReferenceFixatesAPointAndGoesHomeAndToPark)
{
    Cameras();
    Make("CamHead|ref", "head", {"scene", "head"});
    Feed("head.SetFixPoint", "point", {10, 20, 80});
    Run("head.SetFixPoint");
    Run("head.GetFixPoint");
    ExpectNear({10, 20, 80}, Out("head.GetFixPoint"), 1e-3f);
    Run("head.GetRightImg");
    EXPECT_EQ(64u * 48u * 3u, Bytes("head.GetRightImg").size());
    Run("head.Park");
    Run("head.GetJoints");
    ExpectNear({0, 85, 0, 0}, Out("head.GetJoints"), 1e-4f);
    Run("head.Home");
    Run("head.GetJoints");
    ExpectNear({0, 0, 0, 0}, Out("head.GetJoints"), 1e-4f);
}

// A name that is no camera leaves the reference unbound, with the scene's
// warning, and its methods raise until a camera of that name comes.
TEST_F(CameraUnits, ANameThatIsNoCameraStaysUnresolved)
{
    Cameras();
    Make("camera|ref", "wrong", {"scene", "ball"});
    Make("CamHead|ref", "nohead", {"scene", "eye"});
    EXPECT_EQ((std::vector<std::string>{"camera 'ball' not found in scene\n", "camhead 'eye' not found in scene\n"}),
              diagnostics.Texts(DFX_WARNING));
    ExpectRaise("wrong.GetTM", "badobj:camera", "camera 'ball' not yet resolved in scene 'scene'\n");
    ExpectRaise("nohead.Home", "badobj:camhead", "camhead 'eye' not yet resolved in scene 'scene'\n");
}

} // namespace
} // namespace hosttest
