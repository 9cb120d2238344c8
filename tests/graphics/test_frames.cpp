// Frames on disk and their contact sheet read back; overview poses that see
// random boxes whole.
#include <gtest/gtest.h>

#include <cstdio>
#include <random>

#include <kelmar/CameraFilm.h>
#include <kelmar/CameraMath.h>
#include <kelmar/FrameRecorder.h>
#include <kelmar/Image.h>

#include "GraphicsTestSupport.h"

namespace {

// Frame n: its bottom half in shade 40 n, its top half white (rows bottom-up).
std::vector<unsigned char> Frame(int n, int width, int height)
{
    std::vector<unsigned char> rgb(static_cast<size_t>(width) * height * 3, 255);
    for (size_t i = 0; i < rgb.size() / 2; ++i) rgb[i] = static_cast<unsigned char>(40 * n);
    return rgb;
}

TEST(Frames, FramesAndContactSheetReadBack)
{
    const std::string dir = graphicstest::TempPath("frames");
    ASSERT_EQ(std::system(("mkdir -p " + dir).c_str()), 0);
    kelmar::FrameRecorder recorder(dir, "cam");
    for (int n = 0; n < 5; ++n) {
        const std::vector<unsigned char> rgb = Frame(n, 320, 240);
        ASSERT_TRUE(recorder.Record(10 * n, rgb.data(), 320, 240)) << recorder.GetError();
    }
    ASSERT_EQ(recorder.Files().size(), 5u);
    EXPECT_EQ(recorder.Files()[3], dir + "/cam_000030.png");
    std::vector<unsigned char> rgb;
    int w = 0, h = 0;
    ASSERT_TRUE(kelmar::loadPNG(recorder.Files()[3].c_str(), rgb, w, h, nullptr));
    EXPECT_EQ(w * 1000 + h, 320240);
    EXPECT_EQ(rgb[0], 255);                 // top row first in the file: white
    EXPECT_EQ(rgb[rgb.size() - 1], 3 * 40); // bottom row: the shade
    const std::string sheet = dir + "/sheet.png";
    ASSERT_TRUE(recorder.WriteContactSheet(sheet, 2));
    ASSERT_TRUE(kelmar::loadPNG(sheet.c_str(), rgb, w, h, nullptr));
    // Thumbnails of 160 x 120 in 2 columns and 3 rows, 4 pixels apart.
    EXPECT_EQ(w, 4 + 2 * 164);
    EXPECT_EQ(h, 4 + 3 * 124);
    for (int n = 0; n < 5; ++n) {
        const int left = 4 + (n % 2) * 164, top = 4 + (n / 2) * 124;
        EXPECT_EQ(rgb[3 * ((top + 10) * w + left + 10)], 255) << n;
        EXPECT_EQ(rgb[3 * ((top + 110) * w + left + 150)], 40 * n) << n;
    }
    EXPECT_EQ(rgb[3 * ((4 + 2 * 124 + 10) * w + 4 + 164 + 10)], 40); // no sixth frame
    for (const std::string &file : recorder.Files()) std::remove(file.c_str());
    std::remove(sheet.c_str());
    std::remove(dir.c_str());
    kelmar::FrameRecorder nowhere("/nonexistent/dir", "cam");
    EXPECT_FALSE(nowhere.Record(0, Frame(0, 8, 8).data(), 8, 8));
    EXPECT_EQ(nowhere.GetError(), "PNG file '/nonexistent/dir/cam_000000.png' cannot be written");
    EXPECT_FALSE(nowhere.WriteContactSheet("/tmp/x.png"));
}

TEST(Frames, OverviewPosesSeeTheWholeBox)
{
    std::mt19937 random(11);
    std::uniform_real_distribution<float> centre(-100, 100), size(0.5f, 150);
    for (int trial = 0; trial < 100; ++trial) {
        float b[6];
        for (int axis = 0; axis < 3; ++axis) {
            const float c = centre(random), s = size(random);
            b[2 * axis] = c - s / 2, b[2 * axis + 1] = c + s / 2;
        }
        const int width = trial % 2 ? 320 : 200, height = 240;
        double pose[4][4];
        kelmar::OverviewPose(b, 30, double(width) / height, pose);
        EXPECT_TRUE(kelmar::IsRigidTM(pose, 1e-9));
        for (int k = 0; k < 8; ++k) {
            const double corner[3] = {b[k & 1], b[2 + (k >> 1 & 1)], b[4 + (k >> 2 & 1)]};
            double pixel[2];
            ASSERT_TRUE(kelmar::CameraProject(pose, 30, width, height, corner, pixel));
            EXPECT_GE(pixel[0], 0);
            EXPECT_LE(pixel[0], width);
            EXPECT_GE(pixel[1], 0);
            EXPECT_LE(pixel[1], height);
        }
    }
}

} // namespace

namespace {

// Filming every second step of five: frames 0, 2 and 4 and a contact sheet,
// from a named camera and from the overview; an unknown camera is refused.
TEST(Frames, FilmsOfANamedCameraAndTheOverview)
{
    graphicstest::World world;
    const double at[3] = {0, 0, 0}, eye[3] = {0, 0, 40};
    const float white[4] = {1, 1, 1, 1};
    world.Sphere(4, at, white);
    double pose[4][4];
    graphicstest::LookDownZ(pose, eye);
    world.Camera("eye", 80, 60, pose);
    const std::string dir = graphicstest::TempPath("film");
    for (const char *name : {"eye", ""}) {
        kelmar::CameraFilm film(&world.universe, dir, name, 2, 64, 48);
        ASSERT_TRUE(film.Open()) << film.GetError();
        for (int step = 0; step < 5; ++step) ASSERT_TRUE(film.Step(step)) << film.GetError();
        ASSERT_TRUE(film.Finish()) << film.GetError();
        EXPECT_EQ(film.FrameCount(), 3);
        std::vector<unsigned char> rgb;
        int w = 0, h = 0;
        const std::string last = dir + "/" + (*name ? name : "everything") + "_000004.png";
        ASSERT_TRUE(kelmar::loadPNG(last.c_str(), rgb, w, h, nullptr));
        EXPECT_EQ(w * 1000 + h, *name ? 80060 : 64048);
        EXPECT_GT(graphicstest::Picture({w, h, rgb}).Count(0, 0, 0), 0);     // background around
        EXPECT_LT(graphicstest::Picture({w, h, rgb}).Count(0, 0, 0), w * h); // and the ball
        EXPECT_EQ(std::system(("rm -r " + dir).c_str()), 0);
    }
    kelmar::CameraFilm unknown(&world.universe, dir, "nobody", 1);
    EXPECT_FALSE(unknown.Open());
    EXPECT_EQ(unknown.GetError(), "no camera named 'nobody' in the scenes");
    std::remove(dir.c_str());
}

} // namespace
