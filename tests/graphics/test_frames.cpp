// Frames on disk and their contact sheet read back, films of a named camera
// and of the overview, and overview poses that see random boxes whole.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <random>

#include <kelmar/CameraFilm.h>
#include <kelmar/CameraMath.h>
#include <kelmar/FrameRecorder.h>
#include <kelmar/Image.h>

#include "GraphicsTestSupport.h"

namespace {

graphicstest::Picture Load(const std::string &file)
{
    graphicstest::Picture p;
    EXPECT_TRUE(kelmar::loadPNG(file.c_str(), p.rgb, p.width, p.height, nullptr)) << file;
    return p;
}

// Frame n: its bottom half in shade 40 n, its top half white (rows
// bottom-up in memory, top-down in the file). Thumbnails of 160 x 120 in 2
// columns and 3 rows, 4 pixels apart.
TEST(Frames, FramesAndContactSheetReadBack)
{
    const std::string dir = graphicstest::TempPath("frames"), sheet = dir + "/sheet.png";
    ASSERT_EQ(std::system(("mkdir -p " + dir).c_str()), 0);
    kelmar::FrameRecorder recorder(dir, "cam");
    std::vector<unsigned char> rgb(320 * 240 * 3, 255);
    for (int n = 0; n < 5; ++n) {
        std::fill(rgb.begin(), rgb.begin() + rgb.size() / 2, static_cast<unsigned char>(40 * n));
        ASSERT_TRUE(recorder.Record(10 * n, rgb.data(), 320, 240)) << recorder.GetError();
    }
    ASSERT_EQ(recorder.Files().size(), 5u);
    EXPECT_EQ(recorder.Files()[3], dir + "/cam_000030.png");
    const graphicstest::Picture third = Load(recorder.Files()[3]);
    EXPECT_EQ(std::vector<int>({third.width, third.height, third.rgb[0], third.rgb.back()}),
              std::vector<int>({320, 240, 255, 3 * 40}));
    ASSERT_TRUE(recorder.WriteContactSheet(sheet, 2));
    const graphicstest::Picture s = Load(sheet);
    ASSERT_EQ(std::vector<int>({s.width, s.height}), std::vector<int>({4 + 2 * 164, 4 + 3 * 124}));
    for (int n = 0; n < 6; ++n) { // the sixth place shows the sheet's background (40)
        const int left = 4 + (n % 2) * 164, top = 4 + (n / 2) * 124;
        EXPECT_EQ(s.rgb[3 * ((top + 10) * s.width + left + 10)], n < 5 ? 255 : 40) << n;
        EXPECT_EQ(s.rgb[3 * ((top + 110) * s.width + left + 150)], n < 5 ? 40 * n : 40) << n;
    }
    EXPECT_EQ(std::system(("rm -r " + dir).c_str()), 0);
    kelmar::FrameRecorder nowhere("/nonexistent/dir", "cam");
    EXPECT_FALSE(nowhere.Record(0, rgb.data(), 8, 8));
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
        double pose[4][4], pixel[2];
        kelmar::OverviewPose(b, 30, double(width) / height, pose);
        EXPECT_TRUE(kelmar::IsRigidTM(pose, 1e-9));
        for (int k = 0; k < 8; ++k) {
            const double corner[3] = {b[k & 1], b[2 + (k >> 1 & 1)], b[4 + (k >> 2 & 1)]};
            ASSERT_TRUE(kelmar::CameraProject(pose, 30, width, height, corner, pixel));
            EXPECT_TRUE(pixel[0] >= 0 && pixel[0] <= width && pixel[1] >= 0 && pixel[1] <= height) << trial;
        }
    }
}

// Filming every second step of five: frames 0, 2 and 4 and a contact sheet,
// from a named camera and from the overview; an unknown camera is refused.
TEST(Frames, FilmsOfANamedCameraAndTheOverview)
{
    graphicstest::World world;
    const double at[3] = {0, 0, 0}, eye[3] = {0, 0, 40};
    world.Sphere(4, at);
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
        const graphicstest::Picture last = Load(dir + "/" + (*name ? name : "everything") + "_000004.png");
        EXPECT_EQ(last.width * 1000 + last.height, *name ? 80060 : 64048);
        const int background = last.Count(0, 0, 0);
        EXPECT_TRUE(background > 0 && background < last.width * last.height) << "background around the ball";
        EXPECT_EQ(std::system(("rm -r " + dir).c_str()), 0);
    }
    kelmar::CameraFilm unknown(&world.universe, dir, "nobody", 1);
    EXPECT_FALSE(unknown.Open());
    EXPECT_EQ(unknown.GetError(), "no camera named 'nobody' in the scenes");
    std::remove(dir.c_str());
}

} // namespace
