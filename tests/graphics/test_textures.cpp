// Textures read back: a texel lands on the predicted pixel, from PPM and
// JPEG files; bad picture files are refused with a message and the object
// keeps its plain colour; pictures survive write-read round trips.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>

#include <kelmar/CameraMath.h>
#include <kelmar/GLBackend.h>
#include <kelmar/Image.h>
#include <kelmar/PxStream.h>

#include "GraphicsTestSupport.h"

namespace {

const int kTexels = 4, kBlock = 8, kSide = kTexels * kBlock; // 8 x 8 pixels a texel: JPEG keeps them whole
const double kPlate = 16, kDistance = 60;                    // cm

// Texel (i, j), i from the left and j from the top of the file.
unsigned char TexelColour(int i, int j, int channel)
{
    const int rgb[3] = {20 + 60 * i, 20 + 60 * j, i == j ? 230 : 40};
    return static_cast<unsigned char>(rgb[channel]);
}

// A white plate facing the camera (its +x to the right, +y up), textured.
struct Plate {
    graphicstest::World world;
    kelmar::Graphics *graphics;
    Plate()
    {
        kelmar::GraphicsPrimitive *square = kelmar::GraphicsPrimitive::Square(kPlate, kPlate);
        world.scene.InsertGP("plate", square);
        world.scene.InsertGraphics("plate", graphics = new kelmar::Graphics(square, graphicstest::kWhite));
        kelmar::GLBackend::Install();
    }
    graphicstest::Picture Look()
    {
        const double eye[3] = {0, 0, kDistance};
        return world.Look(eye, 160, 160);
    }
    // Each texel's centre shows the texel.
    void ExpectTexels(int tolerance)
    {
        const graphicstest::Picture picture = Look();
        const double f = kelmar::CameraFocalLength(30, 160), texel = kPlate / kTexels;
        for (int t = 0; t < kTexels * kTexels * 3; ++t) {
            const int i = t / 3 % kTexels, j = t / 3 / kTexels, k = t % 3;
            const double x = -kPlate / 2 + (i + 0.5) * texel, y = kPlate / 2 - (j + 0.5) * texel;
            const unsigned char *seen = picture.At(int(80 + f * x / kDistance), int(80 + f * y / kDistance));
            EXPECT_NEAR(seen[k], TexelColour(i, j, k), tolerance) << i << "," << j << " channel " << k;
        }
    }
};

TEST(Textures, TexelsLandOnThePredictedPixels)
{
    std::vector<unsigned char> checker(kSide * kSide * 3);
    for (size_t p = 0; p < checker.size(); ++p)
        checker[p] = TexelColour(int(p / 3 % kSide) / kBlock, int(p / 3 / kSide) / kBlock, int(p % 3));
    const std::string ppm = graphicstest::TempPath("checker.ppm"), jpeg = graphicstest::TempPath("checker.jpg");
    ASSERT_TRUE(kelmar::SavePPM(ppm.c_str(), checker.data(), kSide, kSide, nullptr));
    ASSERT_TRUE(kelmar::SaveJPEG(jpeg.c_str(), checker.data(), kSide, kSide, 100, nullptr));
    for (const std::string &file : {ppm, jpeg}) {
        Plate plate;
        ASSERT_TRUE(plate.graphics->SetTexture(file.c_str()));
        plate.ExpectTexels(file == ppm ? 1 : 3);
        plate.ExpectTexels(file == ppm ? 1 : 3); // a second camera: a context of its own gets the texture too
        plate.world.universe.ClearOptions(kelmar::Universe::kShowTextures);
        const graphicstest::Picture plain = plate.Look();
        EXPECT_EQ(plain.At(80, 80)[0] + plain.At(80, 80)[1], 2 * 255); // white again
    }
    // A bare name is found through the file search list.
    const std::string dir = graphicstest::TempPath("pictures");
    ASSERT_EQ(std::system(("mkdir -p " + dir + " && mv " + jpeg + " " + dir + "/searched.jpg").c_str()), 0);
    PxFileSearchPathAdd(dir.c_str());
    Plate searched;
    ASSERT_TRUE(searched.graphics->SetTexture("searched.jpg"));
    searched.ExpectTexels(3);
    std::remove(ppm.c_str());
    EXPECT_EQ(std::system(("rm -r " + dir).c_str()), 0);
}

// Each bad file: its message, no texture, and the plain colour in the picture.
TEST(Textures, BadPictureFilesAreRefusedWithTheirReason)
{
    const char *endsEarly = "PPM file '%s': pixel data ends early or holds a sample above the maximum value";
    const struct {
        const char *name, *content, *message;
    } cases[] = {
        {"missing.ppm", nullptr, "image file '%s' cannot be opened"},
        {"corrupt.jpg", "\xFF\xD8garbage that is not a JPEG stream", "JPEG file '%s': "},
        {"badsize.ppm", "P6\n-3 4\n255\n", "PPM file '%s': bad size in the header (width and height 1 to 16384)"},
        {"badmax.ppm", "P6\n2 2\n0\n", "PPM file '%s': bad maximum value in the header (1 to 65535)"},
        {"short.ppm", "P6\n2 2\n255\nabc", endsEarly},
        {"badtext.ppm", "P3\n1 1\n255\n1 2 300\n", endsEarly},
        {"gray.pgm", "P5\n1 1\n255\nx", "image file '%s' is neither a PPM (P6, P3), a JPEG nor a PNG picture"},
    };
    for (const auto &c : cases) {
        const std::string path = graphicstest::TempPath(c.name);
        if (c.content) std::ofstream(path, std::ios::binary) << c.content;
        char message[512];
        std::snprintf(message, sizeof message, c.message, path.c_str());
        Plate plate;
        testing::internal::CaptureStderr();
        EXPECT_FALSE(plate.graphics->SetTexture(path.c_str())) << c.name;
        const std::string said = testing::internal::GetCapturedStderr();
        EXPECT_EQ(said.rfind("Texture not shown, the plain colour is used: ", 0), 0u) << said;
        EXPECT_NE(said.find(message), std::string::npos) << said;
        EXPECT_EQ(plate.graphics->GetTexture(), nullptr);
        EXPECT_EQ(plate.Look().At(80, 80)[0], 255) << c.name;
        std::remove(path.c_str());
    }
}

// PPM: text and 16-bit binary samples, comments in the header.
TEST(Textures, PictureFilesRoundTrip)
{
    const struct {
        std::string content;
        int width;
        std::vector<unsigned char> rgb;
    } cases[] = {{"P3\n# a comment\n2 1\n# another\n15\n15 0 0  0 15 5\n", 2, {255, 0, 0, 0, 255, 85}},
                 {std::string("P6 1 1 65535\n\xFF\xFF\x80\x00\x00\x00", 19), 1, {255, 128, 0}}};
    const std::string file = graphicstest::TempPath("read.ppm");
    for (const auto &c : cases) {
        std::ofstream(file, std::ios::binary) << c.content;
        std::vector<unsigned char> rgb;
        int w = 0, h = 0;
        std::string error;
        ASSERT_TRUE(kelmar::loadPPM(file.c_str(), rgb, w, h, &error)) << error;
        EXPECT_EQ(std::vector<int>({w, h}), std::vector<int>({c.width, 1}));
        EXPECT_EQ(rgb, c.rgb);
    }
    std::remove(file.c_str());
}

} // namespace
