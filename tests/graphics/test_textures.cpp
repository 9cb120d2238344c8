// Textures read back: a texel lands on the predicted pixel, from PPM and
// JPEG files; bad picture files are refused with a message and the object
// keeps its plain colour; pictures survive write-read round trips.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>

#include <kelmar/CameraMath.h>
#include <kelmar/GLBackend.h>
#include <kelmar/Image.h>
#include <kelmar/PxStream.h>

#include "GraphicsTestSupport.h"

namespace {

const int kTexels = 4;
const double kPlate = 16, kDistance = 60; // cm

// Texel (i, j), i from the left and j from the top of the file.
void TexelColour(int i, int j, unsigned char rgb[3])
{
    rgb[0] = static_cast<unsigned char>(20 + 60 * i);
    rgb[1] = static_cast<unsigned char>(20 + 60 * j);
    rgb[2] = static_cast<unsigned char>(i == j ? 230 : 40);
}

// Each texel a block of 8 x 8 pixels, which JPEG keeps whole.
const int kBlock = 8, kSide = kTexels * kBlock;

std::vector<unsigned char> Checker()
{
    std::vector<unsigned char> rgb(kSide * kSide * 3);
    for (int y = 0; y < kSide; ++y)
        for (int x = 0; x < kSide; ++x) TexelColour(x / kBlock, y / kBlock, &rgb[3 * (y * kSide + x)]);
    return rgb;
}

// A white plate facing the camera (its +x to the right, +y up), textured.
struct Plate {
    graphicstest::World world;
    kelmar::Graphics *graphics;
    Plate()
    {
        kelmar::GraphicsPrimitive *square = kelmar::GraphicsPrimitive::Square(kPlate, kPlate);
        world.scene.InsertGP("plate", square);
        const float white[4] = {1, 1, 1, 1};
        graphics = new kelmar::Graphics(square, white);
        world.scene.InsertGraphics("plate", graphics);
        kelmar::GLBackend::Install();
    }
    graphicstest::Picture Look()
    {
        kelmar::VirtualCamera camera(160, 160, &world.universe);
        const double eye[3] = {0, 0, kDistance};
        double pose[4][4];
        graphicstest::LookDownZ(pose, eye);
        return graphicstest::Take(camera, pose);
    }
};

// Each texel's centre shows the texel.
void ExpectTexels(const graphicstest::Picture &picture, int tolerance)
{
    const double f = kelmar::CameraFocalLength(30, 160), texel = kPlate / kTexels;
    for (int j = 0; j < kTexels; ++j)
        for (int i = 0; i < kTexels; ++i) {
            const double x = -kPlate / 2 + (i + 0.5) * texel, y = kPlate / 2 - (j + 0.5) * texel;
            const int column = static_cast<int>(80 + f * x / kDistance),
                      row = static_cast<int>(80 + f * y / kDistance);
            unsigned char expected[3];
            TexelColour(i, j, expected);
            for (int k = 0; k < 3; ++k)
                EXPECT_NEAR(picture.At(column, row)[k], expected[k], tolerance) << i << "," << j << " channel " << k;
        }
}

TEST(Textures, TexelsLandOnThePredictedPixels)
{
    const std::vector<unsigned char> checker = Checker();
    const std::string ppm = graphicstest::TempPath("checker.ppm"), jpeg = graphicstest::TempPath("checker.jpg");
    ASSERT_TRUE(kelmar::SavePPM(ppm.c_str(), checker.data(), kSide, kSide, nullptr));
    ASSERT_TRUE(kelmar::SaveJPEG(jpeg.c_str(), checker.data(), kSide, kSide, 100, nullptr));
    for (const std::string &file : {ppm, jpeg}) {
        Plate plate;
        ASSERT_TRUE(plate.graphics->SetTexture(file.c_str()));
        ExpectTexels(plate.Look(), file == ppm ? 1 : 3);
        plate.world.universe.ClearOptions(kelmar::Universe::kShowTextures);
        const graphicstest::Picture plain = plate.Look();
        EXPECT_EQ(plain.At(80, 80)[0], 255); // white again
        EXPECT_EQ(plain.At(80, 80)[1], 255);
    }
    // A bare name is found through the file search list.
    const std::string dir = graphicstest::TempPath("pictures");
    ASSERT_EQ(std::system(("mkdir -p " + dir + " && mv " + jpeg + " " + dir + "/searched.jpg").c_str()), 0);
    PxFileSearchPathAdd(dir.c_str());
    Plate searched;
    ASSERT_TRUE(searched.graphics->SetTexture("searched.jpg"));
    ExpectTexels(searched.Look(), 3);
    std::remove(ppm.c_str());
    EXPECT_EQ(std::system(("rm -r " + dir).c_str()), 0);
}

// Each bad file: its message, no texture, and the plain colour in the picture.
TEST(Textures, BadPictureFilesAreRefusedWithTheirReason)
{
    struct Case {
        const char *name, *content, *message;
    } cases[] = {
        {"missing.ppm", nullptr, "image file '%s' cannot be opened"},
        {"corrupt.jpg", "\xFF\xD8garbage that is not a JPEG stream", "JPEG file '%s': "},
        {"badsize.ppm", "P6\n-3 4\n255\n", "PPM file '%s': bad size in the header (width and height 1 to 16384)"},
        {"badmax.ppm", "P6\n2 2\n0\n", "PPM file '%s': bad maximum value in the header (1 to 65535)"},
        {"short.ppm", "P6\n2 2\n255\nabc",
         "PPM file '%s': pixel data ends early or holds a sample above the maximum value"},
        {"badtext.ppm", "P3\n1 1\n255\n1 2 300\n",
         "PPM file '%s': pixel data ends early or holds a sample above the maximum value"},
        {"gray.pgm", "P5\n1 1\n255\nx", "image file '%s' is neither a PPM (P6, P3), a JPEG nor a PNG picture"},
    };
    for (const Case &c : cases) {
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
        const graphicstest::Picture picture = plate.Look();
        EXPECT_EQ(picture.At(80, 80)[0], 255) << c.name;
        std::remove(path.c_str());
    }
}

// PPM: text and 16-bit binary samples, comments in the header.
TEST(Textures, PictureFilesRoundTrip)
{
    const std::string text = graphicstest::TempPath("text.ppm"), wide = graphicstest::TempPath("wide.ppm");
    std::ofstream(text) << "P3\n# a comment\n2 1\n# another\n15\n15 0 0  0 15 5\n";
    std::ofstream(wide, std::ios::binary) << "P6 1 1 65535\n" << std::string("\xFF\xFF\x80\x00\x00\x00", 6);
    struct Case {
        std::string file;
        int width;
        std::vector<unsigned char> rgb;
    } cases[] = {{text, 2, {255, 0, 0, 0, 255, 85}}, {wide, 1, {255, 128, 0}}};
    for (const Case &c : cases) {
        std::vector<unsigned char> rgb;
        int w = 0, h = 0;
        std::string error;
        ASSERT_TRUE(kelmar::loadPPM(c.file.c_str(), rgb, w, h, &error)) << error;
        EXPECT_EQ(w, c.width);
        EXPECT_EQ(h, 1);
        EXPECT_EQ(rgb, c.rgb);
        std::remove(c.file.c_str());
    }
}

} // namespace
