// Drawing read back from rendered pictures. The pinhole model: every
// primitive kind alone, seen from above, spans exactly the pixels
// w/2 + f x / z, h/2 + f y / z of its extreme points (world +x to the
// right, +y up, rows from the bottom: a mirrored or squeezed picture
// misses by many pixels); spheres on the axis are discs of the predicted
// radius. Passes and colours: translucent objects blend over what the
// opaque pass drew, back faces are green, decorations show on request.
// Textures: each texel lands on its predicted pixel, from PPM and JPEG;
// bad picture files are refused with their reason and the plain colour.
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <memory>

#include <kelmar/CameraMath.h>
#include <kelmar/CdxPrimitives.h>
#include <kelmar/CdxTriangleMesh.h>
#include <kelmar/GLBackend.h>
#include <kelmar/Image.h>
#include <kelmar/PxStream.h>
#include <kelmar/RbdWorld.h>

#include "GraphicsTestSupport.h"

namespace {

using graphicstest::Picture;

CdxGeometryID Tetrahedron()
{
    CdxGeometryID mesh = CdxTriangleMeshCreate(4);
    static double v[4][3] = {{-6, -4, 0}, {7, -3, 0}, {0, 8, 0}, {1, 0, 6}}; // kept by the mesh
    for (const auto &f : {std::vector<int>{0, 2, 1}, {0, 1, 3}, {1, 2, 3}, {2, 0, 3}})
        CdxTriangleMeshAddTriangle(mesh, v[f[0]], v[f[1]], v[f[2]]);
    CdxTriangleMeshBuild(mesh);
    return mesh;
}

// A sphere of radius R seen from distance Z on its axis: the sight lines
// tangent to it touch it at R sqrt(Z^2 - R^2) / Z off the axis, R^2 / Z
// towards the eye, so its disc has the radius f R / sqrt(Z^2 - R^2). The
// 16-slice sphere has vertices along the image's axes, where its outline
// meets the true one.
std::vector<std::vector<double>> Tangents(double r, double z)
{
    const double off = r * std::sqrt(z * z - r * r) / z, up = r * r / z;
    return {{-off, 0, up}, {off, 0, up}, {0, -off, up}, {0, off, up}};
}

TEST(Primitives, EveryKindSpansItsExtremePoints)
{
    using P = kelmar::GraphicsPrimitive;
    const double line[2][3] = {{-10, -5, 0}, {12, 7, 2}};
    const struct {
        const char *name;
        std::function<P *()> make;
        std::vector<std::vector<double>> extremes; // points whose projections bound the outline
        double distance;                           // of the eye above the origin
    } cases[] = {
        {"box", [] { return P::Box(10, 6, 4); }, {{-5, -3, 2}, {5, 3, 2}}, 100},
        {"cylinder", [] { return P::Cylinder(5, 10); }, {{-5, 0, 5}, {5, 0, 5}, {0, -5, 5}, {0, 5, 5}}, 100},
        {"open cone", [] { return P::Cone(6, 8); }, {{-6, 0, -4}, {6, 0, -4}, {0, -6, -4}, {0, 6, -4}}, 100},
        {"closed cone", [] { return P::ClosedCone(3, 7, 8); }, {{-7, 0, 4}, {7, 0, 4}, {0, -7, 4}, {0, 7, 4}}, 100},
        {"square", [] { return P::Square(14, 9); }, {{-7, -4.5, 0}, {7, 4.5, 0}}, 100},
        {"line", [&] { return P::Line(line[0], line[1]); }, {{-10, -5, 0}, {12, 7, 2}}, 100},
        {"arrow", [] { return P::Arrow(20, 4); }, {{0, -4, 0}, {20, 4, 0}}, 100},
        {"frame", [] { return P::Frame(12, 1.5); }, {{-1.5, -1.5, 9}, {12, 12, 0}, {1.5, 1.5, 9}}, 100},
        {"frustum", [] { return P::Frustum(16, 10, 20, 3); }, {{-8, -5, 20}, {8, 5, 20}}, 100},
        {"mesh", [] { return P::Mesh(Tetrahedron()); }, {{-6, -4, 0}, {7, -3, 0}, {0, 8, 0}}, 100},
        {"nothing", [] { return P::NoGraphics(); }, {}, 100},
        {"sphere", [] { return P::Sphere(5); }, Tangents(5, 100), 100},
        {"far sphere", [] { return P::Sphere(40); }, Tangents(40, 700), 700},
    };
    double pose[4][4], pixel[2], expected[4];
    const double f = kelmar::CameraFocalLength(30, 240);
    for (const auto &c : cases) {
        const double eye[3] = {0, 0, c.distance};
        graphicstest::LookDownZ(pose, eye);
        graphicstest::World world;
        P *primitive = c.make();
        world.scene.InsertGP(c.name, primitive);
        world.scene.InsertGraphics(c.name, new kelmar::Graphics(primitive, graphicstest::kWhite));
        kelmar::VirtualCamera camera(320, 240, &world.universe);
        int box[4];
        const bool drawn = graphicstest::Take(camera, pose).Bounds(box);
        EXPECT_EQ(drawn, !c.extremes.empty()) << c.name;
        if (primitive->kind() == P::kMesh) CdxTriangleMeshDestroy(primitive->mesh());
        std::fill(expected, expected + 4, 0), expected[0] = expected[2] = 1e9;
        for (const std::vector<double> &p : c.extremes) {
            const double column = 160 + f * p[0] / (eye[2] - p[2]), row = 120 + f * p[1] / (eye[2] - p[2]);
            ASSERT_TRUE(kelmar::CameraProject(pose, 30, 320, 240, p.data(), pixel));
            EXPECT_NEAR(std::hypot(pixel[0] - column, pixel[1] - row), 0, 1e-9) << c.name;
            expected[0] = std::min(expected[0], column), expected[1] = std::max(expected[1], column);
            expected[2] = std::min(expected[2], row), expected[3] = std::max(expected[3], row);
        }
        for (int i = 0; drawn && i < 4; ++i) EXPECT_NEAR(box[i] + i % 2, expected[i], 1.0) << c.name << " " << i;
    }
}

// A half-transparent plate before an opaque wall blends to alpha x lit
// plate + (1 - alpha) x lit wall, whatever order the two were registered
// in; behind the wall it does not show (depth-tested against the opaque pass).
// The fixed-function lighting of a face turned to the camera: emission
// 0.1 c, ambient c under the global 0.2 and the light's 1, diffuse 0.7 c
// and specular 0.3 c at full strength: 2.3 c, clamped.
// Then from inside a box every face is seen from behind: green, unless back
// faces are culled, and then nothing is drawn; in wireframe a box seen from
// outside keeps its edges and loses its faces.
// Last, decorations on a free ball resting on the floor, seen from the side,
// level with the floor: the marked solid turns green; the pick line shows
// in its own colour (unlit) while picking. Then with ball and floor
// invisible: nothing without options; the contact mark starts at the
// contact point; the inertia option shows the translucent purple ellipsoid
// (0.6, 0, 0.6, 0.8 over black).
TEST(Passes, BlendingBackFacesWireframeAndDecorations)
{
    auto Lit = [](double c) { return std::min(1.0, 2.3 * c); };
    const float plate[4] = {0.3f, 0.1f, 0.2f, 0.5f}, wall[4] = {0.1f, 0.3f, 0.05f, 1};
    const double front[3] = {0, 0, 10}, back[3] = {0, 0, 0}, behind[3] = {0, 0, -5}, eye[3] = {0, 0, 60};
    for (int order = 0; order < 3; ++order) {
        graphicstest::World world;
        if (order == 0) world.Box(10, 10, 1, front, plate);
        world.Box(30, 30, 1, back, wall);
        if (order > 0) world.Box(10, 10, 1, order == 1 ? front : behind, plate);
        const Picture picture = world.Look(eye, 160, 160);
        for (int k = 0; k < 3; ++k) {
            const double expected = order < 2 ? 0.5 * Lit(plate[k]) + 0.5 * Lit(wall[k]) : Lit(wall[k]);
            EXPECT_NEAR(picture.At(80, 80)[k], 255 * expected, 2) << "order " << order << ", channel " << k;
            EXPECT_NEAR(picture.At(5, 80)[k], 255 * Lit(wall[k]), 2) << "order " << order << ", channel " << k;
        }
    }
    graphicstest::World inside, outside;
    const float grey[4] = {0.5f, 0.5f, 0.5f, 1};
    inside.Box(200, 200, 200, eye, grey);
    EXPECT_EQ(inside.Look(eye, 64, 64).Count(0, 255, 0), 64 * 64);
    inside.universe.AddOptions(kelmar::Universe::kCullBackFaces);
    EXPECT_EQ(inside.Look(eye, 64, 64).Count(0, 0, 0), 64 * 64);
    outside.Box(10, 10, 10, back, grey);
    const int filled = 160 * 160 - outside.Look(eye, 160, 160).Count(0, 0, 0);
    outside.universe.AddOptions(kelmar::Universe::kWireframe);
    const Picture wire = outside.Look(eye, 160, 160);
    const int edges = 160 * 160 - wire.Count(0, 0, 0);
    EXPECT_TRUE(edges > 0 && edges < filled / 5 && wire.IsBackground(80, 80)) << edges << " of " << filled;
    graphicstest::World world;
    RbdWorldSetGravity(world.universe.GetWorld(), 0, 0, -981);
    const double start[4][4] = {{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 2, 1}};
    kelmar::Solid *floor = kelmar::AddSolid(&world.scene, CdxPlaneCreate(), {"", 0, -1, 0, nullptr, false, true});
    kelmar::Solid *ball = kelmar::AddSphere(&world.scene, 2, {"", 0, -1, 0, start});
    double centre[2], pixel[2];
    for (int i = 0; i < 20; ++i) world.universe.step();
    ASSERT_GT(std::unique_ptr<kelmar::ContactList>(ball->GetContacts(0))->entries.size(), 0u);
    const double side[4][4] = {{-1, 0, 0, 0}, {0, 0, 1, 0}, {0, 1, 0, 0}, {0, -15, 0.5, 1}}, contact[3] = {0, 0, 0};
    const double from[3] = {0, -50, 2}, to[3] = {0, 50, 2}, away[3] = {3, -50, 3}, awayTo[3] = {3, 50, 3};
    kelmar::VirtualCamera camera(160, 120, &world.universe);
    for (int marked = 0; marked < 3; ++marked) {
        world.universe.SetMarkedSolid(marked == 1 ? ball : nullptr);
        EXPECT_EQ(graphicstest::Take(camera, side).Count(0, 255, 0) > 200, marked == 1);
    }
    ASSERT_TRUE(world.universe.BeginPicking(from, to));
    world.universe.DoPicking(away, awayTo);
    EXPECT_GT(graphicstest::Take(camera, side).Count(255, 128, 128, 1), 10);
    world.universe.EndPicking();
    EXPECT_EQ(graphicstest::Take(camera, side).Count(255, 128, 128, 1), 0);
    const float none[4] = {1, 1, 1, 0};
    floor->GetGraphics()->SetColor(none);
    ball->GetGraphics()->SetColor(none);
    int outline[4];
    EXPECT_FALSE(graphicstest::Take(camera, side).Bounds(outline));
    ball->SetOptions(kelmar::Solid::kDrawContacts);
    const Picture contacts = graphicstest::Take(camera, side);
    ASSERT_TRUE(contacts.Centre(centre) && contacts.Bounds(outline));
    ASSERT_TRUE(kelmar::CameraProject(side, 30, 160, 120, contact, pixel));
    EXPECT_NEAR(centre[0], pixel[0], 3);
    EXPECT_NEAR(outline[2], pixel[1], 2);
    ball->SetOptions(kelmar::Solid::kDrawInertia);
    EXPECT_GT(graphicstest::Take(camera, side).Count(204, 0, 204, 2), 100);
}

const int kTexels = 4, kBlock = 8, kSide = kTexels * kBlock; // 8 x 8 pixels a texel: JPEG keeps them whole
const double kPlate = 16, kEye[3] = {0, 0, 60};              // cm

// Texel (i, j), i from the left and j from the top of the file.
unsigned char TexelColour(int i, int j, int channel)
{
    const int rgb[3] = {20 + 60 * i, 20 + 60 * j, i == j ? 230 : 40};
    return static_cast<unsigned char>(rgb[channel]);
}

// Each texel's centre shows the texel, from PPM and JPEG, in a camera of
// its own each time (a context of its own gets the texture too); without
// textures shown the plate is white again. A bare name is found through
// the file search list. Each bad file: its message, no texture, and the
// plain colour at every texel. Good PPM files (text and 16-bit binary
// samples, comments in the header) read back their samples.
TEST(Textures, TexelsLandOnThePredictedPixelsAndBadFilesAreRefusedWithTheirReason)
{
    std::vector<unsigned char> checker(kSide * kSide * 3);
    for (size_t p = 0; p < checker.size(); ++p)
        checker[p] = TexelColour(int(p / 3 % kSide) / kBlock, int(p / 3 / kSide) / kBlock, int(p % 3));
    const std::string dir = "/tmp/kelmar_graphics_pictures_" + std::to_string(getpid());
    ASSERT_EQ(std::system(("mkdir -p " + dir).c_str()), 0);
    ASSERT_TRUE(kelmar::SavePPM((dir + "/checker.ppm").c_str(), checker.data(), kSide, kSide, nullptr));
    ASSERT_TRUE(kelmar::SaveJPEG((dir + "/searched.jpg").c_str(), checker.data(), kSide, kSide, 100, nullptr));
    PxFileSearchPathAdd(dir.c_str());
    kelmar::GLBackend::Install();
    const char *endsEarly = "PPM file '%s': pixel data ends early or holds a sample above the maximum value";
    const struct {
        const char *name;
        std::string content; // empty: written above, or no such file
        const char *message; // null: a good file, of rgb when that is given
        std::vector<unsigned char> rgb;
    } cases[] = {
        {"checker.ppm", "", nullptr, {}},
        {"searched.jpg", "", nullptr, {}},
        {"missing.ppm", "", "image file '%s' cannot be opened", {}},
        {"corrupt.jpg", "\xFF\xD8garbage that is not a JPEG stream", "JPEG file '%s': ", {}},
        {"badsize.ppm", "P6\n-3 4\n255\n", "PPM file '%s': bad size in the header (width and height 1 to 16384)", {}},
        {"badmax.ppm", "P6\n2 2\n0\n", "PPM file '%s': bad maximum value in the header (1 to 65535)", {}},
        {"short.ppm", "P6\n2 2\n255\nabc", endsEarly, {}},
        {"badtext.ppm", "P3\n1 1\n255\n1 2 300\n", endsEarly, {}},
        {"gray.pgm", "P5\n1 1\n255\nx", "image file '%s' is neither a PPM (P6, P3), a JPEG nor a PNG picture", {}},
        {"text.ppm", "P3\n# a comment\n2 1\n# another\n15\n15 0 0  0 15 5\n", nullptr, {255, 0, 0, 0, 255, 85}},
        {"wide.ppm", std::string("P6 1 1 65535\n\xFF\xFF\x80\x00\x00\x00", 19), nullptr, {255, 128, 0}},
    };
    const double f = kelmar::CameraFocalLength(30, 160), texel = kPlate / kTexels;
    for (const auto &c : cases) {
        const std::string path = dir + "/" + c.name;
        if (!c.content.empty()) std::ofstream(path, std::ios::binary) << c.content;
        std::vector<unsigned char> rgb;
        int w = 0, h = 0;
        std::string error;
        if (!c.rgb.empty()) {
            ASSERT_TRUE(kelmar::loadPPM(path.c_str(), rgb, w, h, &error)) << error;
            EXPECT_EQ(std::vector<int>({w, h}), std::vector<int>({int(c.rgb.size() / 3), 1}));
            EXPECT_EQ(rgb, c.rgb);
            continue;
        }
        char message[512] = "";
        if (c.message) std::snprintf(message, sizeof message, c.message, path.c_str());
        graphicstest::World world;
        kelmar::GraphicsPrimitive *square = kelmar::GraphicsPrimitive::Square(kPlate, kPlate);
        auto *plate = new kelmar::Graphics(square, graphicstest::kWhite); // facing the camera, +x right, +y up
        world.scene.InsertGP("plate", square);
        world.scene.InsertGraphics("plate", plate);
        testing::internal::CaptureStderr();
        EXPECT_EQ(plate->SetTexture(std::string(c.name) == "searched.jpg" ? c.name : path.c_str()), !c.message);
        EXPECT_EQ(plate->GetTexture() != nullptr, !c.message) << c.name;
        const std::string said = testing::internal::GetCapturedStderr();
        EXPECT_EQ(said.rfind("Texture not shown, the plain colour is used: ", 0), c.message ? 0u : std::string::npos);
        EXPECT_NE(said.find(message), std::string::npos) << said;
        for (int look = 0; look < 3; ++look) {
            if (look == 2) world.universe.ClearOptions(kelmar::Universe::kShowTextures);
            const Picture picture = world.Look(kEye, 160, 160);
            for (int t = 0; t < kTexels * kTexels * 3; ++t) {
                const int i = t / 3 % kTexels, j = t / 3 / kTexels, k = t % 3;
                const double x = -kPlate / 2 + (i + 0.5) * texel, y = kPlate / 2 - (j + 0.5) * texel;
                const unsigned char *seen = picture.At(int(80 + f * x / kEye[2]), int(80 + f * y / kEye[2]));
                EXPECT_NEAR(seen[k], look == 2 || c.message ? 255 : TexelColour(i, j, k),
                            std::strstr(c.name, ".jpg") ? 3 : 1)
                    << c.name << " " << i << "," << j << " channel " << k << " look " << look;
            }
        }
    }
    EXPECT_EQ(std::system(("rm -r " + dir).c_str()), 0);
}

} // namespace
