// The graphics rendered off-screen and measured (lengths in cm). Cameras: attached cameras follow their solid, a camera never paints
// itself, windows and planes agree with the whole picture, bad requests
// fail with their reason, drawing leaves the
// simulation alone (the caches per context are tested beside a viewer's
// context, in x11/); the example scene loads its cameras, which round
// trip through its status file. The stereo head: fixation under random points,
// image-server windows, lenses, disparities read back. Overview poses,
// contact sheets, and bad CAMERA and CAMHEAD elements of scene files.
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
#include <random>

#include <kelmar/CameraLoader.h>
#include <kelmar/CameraMath.h>
#include <kelmar/CdxPrimitives.h>
#include <kelmar/CdxTriangleMesh.h>
#include <kelmar/FrameRecorder.h>
#include <kelmar/GLBackend.h>
#include <kelmar/GraphicsSetup.h>
#include <kelmar/Image.h>
#include <kelmar/KelmarCamHead.h>
#include <kelmar/OffscreenContext.h>
#include <kelmar/PxStream.h>
#include <kelmar/RbdWorld.h>

#include "GraphicsTestSupport.h"

namespace {

using namespace graphicstest;
using Head = kelmar::KelmarCamHead;

// The carrier moves 10 cm along +x: the camera's pose is its relative pose
// compounded with the carrier's, and the target's image moves f 10 / Z
// pixels to the left. A window of a picture is that block of the whole
// picture; the planes are its channels; a window of no rows leaves the
// buffer as it was. Every refused request names its reason and leaves the
// camera working. Camera a looks at nothing: its own cone would fill its
// picture; camera b looks at a from the side and sees the cone, until a
// is hidden.
TEST(Cameras, FollowTheirSolidCutWindowsRefuseBadRequestsAndNeverPaintThemselves)
{
    World world;
    const double origin[3] = {0, 0, 0}, above[3] = {0, 0, 70}, offset[3] = {0, 0, -2}, moved[3] = {10, 0, 70};
    const double side[4][4] = {{0, 0, -1, 0}, {0, 1, 0, 0}, {1, 0, 0, 0}, {-40, 0, -2.5, 1}};
    const float hidden[4] = {1, 1, 1, 0};
    const float colour[4] = {0.3f, 0.2f, 0.1f, 1};
    world.Box(4, 4, 4, origin, colour);
    kelmar::Solid *carrier = world.Box(1, 1, 1, above, hidden);
    double relative[4][4], before[2], after[2];
    LookDownZ(relative, offset);
    kelmar::KelmarCamera *camera = world.Camera("cam", 200, 150, relative);
    EXPECT_FALSE(camera->AttachTo("nothing"));
    ASSERT_TRUE(camera->AttachTo(world.scene.GetName(carrier)));
    ASSERT_TRUE(Take(*camera).Centre(before));
    carrier->SetPosition(moved);
    const double(*tm)[4] = camera->GetCurrentTM();
    EXPECT_EQ(std::vector<double>(tm[2], tm[4]), std::vector<double>({0, 0, -1, 0, 10, 0, 68, 1}));
    const Picture whole = Take(*camera);
    ASSERT_TRUE(whole.Centre(after));
    EXPECT_NEAR(after[0] - before[0], -kelmar::CameraFocalLength(30, 150) * 10 / (68 - 2), 1.0);
    const int x = 30, y = 50, w = 60, h = 50;
    std::vector<unsigned char> rgb, planes[3], expected, channel[3], untouched(5, 7);
    ASSERT_TRUE(camera->GetImage1(rgb, x, y, w, h));
    ASSERT_TRUE(camera->GetImage3(planes[0], planes[1], planes[2], x, y, w, h));
    for (int k = 0; k < 3 * w * h; ++k) {
        expected.push_back(whole.At(x + k / 3 % w, y + k / 3 / w)[k % 3]);
        channel[k % 3].push_back(expected.back());
    }
    EXPECT_EQ(rgb, expected);
    for (int c = 0; c < 3; ++c) EXPECT_EQ(planes[c], channel[c]) << "plane " << c;
    EXPECT_GT(w * h - std::count(channel[0].begin(), channel[0].end(), 0), 100);
    ASSERT_TRUE(camera->GetImage1(untouched, 0, 0, 200, 0));
    EXPECT_EQ(untouched, std::vector<unsigned char>(5, 7));

    int maxWidth = 0, maxHeight = 0;
    ASSERT_TRUE(kelmar::OffscreenContext::MaxSize(&maxWidth, &maxHeight, nullptr));
    const std::string limit = " is outside what an off-screen surface allows (1 x 1 to " + std::to_string(maxWidth) +
                              " x " + std::to_string(maxHeight) + " pixels)";
    kelmar::VirtualCamera small(40, 30, &world.universe), huge(maxWidth * 2, 10, &world.universe);
    const struct {
        kelmar::VirtualCamera *camera;
        std::function<bool()> call;
        std::string message;
    } cases[] = {
        {&small, [&] { return small.GetImage1(side, rgb, 30, 0, 11, 10); },
         "image window 11 x 10 at (30, 0) is outside the picture of 40 x 30"},
        {&small, [&] { return small.GetImage1(side, rgb, -1, 0); },
         "image window 41 x 30 at (-1, 0) is outside the picture of 40 x 30"},
        {&small, [&] { return small.SetSize(0, 10); }, "image size 0 x 10" + limit},
        {&small, [&] { return small.SetSize(maxWidth + 1, 10); },
         "image size " + std::to_string(maxWidth + 1) + " x 10" + limit},
        {&huge, [&] { return huge.GetImage1(side, rgb); },
         "image size " + std::to_string(maxWidth * 2) + " x 10" + limit},
    };
    for (const auto &c : cases) {
        testing::internal::CaptureStderr();
        EXPECT_FALSE(c.call());
        EXPECT_EQ(testing::internal::GetCapturedStderr(), "Camera: " + c.message + "\n");
        EXPECT_EQ(c.camera->GetError(), c.message);
        EXPECT_TRUE(small.GetImage1(side, rgb)) << c.message;
        EXPECT_EQ(rgb.size(), 40u * 30 * 3);
    }

    World empty;
    LookDownZ(relative, origin);
    kelmar::KelmarCamera *a = empty.Camera("a", 64, 64, relative), *b = empty.Camera("b", 64, 64, side);
    EXPECT_FALSE(Take(*a).Centre(before));
    EXPECT_TRUE(Take(*b).Centre(before));
    a->SetVisible(false);
    EXPECT_FALSE(Take(*b).Centre(before));
}

// The example scene through the scene reader: the cameras are made (none
// skipped), the wrist camera rides on the arm's flange, the head's joints
// fixate the ball, and the textures are found beside the scene. Two
// universes step it alike, one photographed every step by its cameras and
// its stereo head, with contacts and inertia drawn: their solids' poses
// stay identical to the last bit. Then the photographed scene's camera and
// head, changed, go through the status file into the other: saved again,
// the file is the same, and they read back as set.
// Last, bad CAMERA and CAMHEAD elements read into a scene with the camera
// handlers: each one's message as the reader prints it (with where the
// element ends), and what it still made.
TEST(Cameras, SceneFilesCamerasAndDrawingNeverChangesTheSimulation)
{
    kelmar::InstallGraphics();
    PxFileSearchPathAdd(KELMAR_EXAMPLES_DIR);
    kelmar::Universe universes[2];
    kelmar::Scene plain(KELMAR_EXAMPLES_DIR "/camhead.px"), seen(KELMAR_EXAMPLES_DIR "/camhead.px");
    universes[0].AddScene(&plain);
    testing::internal::CaptureStderr();
    universes[1].AddScene(&seen);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    auto *wrist = dynamic_cast<kelmar::KelmarCamera *>(seen.LookupObject("arm_cam"));
    auto *overview = dynamic_cast<kelmar::KelmarCamera *>(seen.LookupObject("overview"));
    auto *head = dynamic_cast<Head *>(seen.LookupObject("head"));
    ASSERT_TRUE(wrist && head && overview);
    EXPECT_EQ(wrist->GetAttachedSolid(), seen.LookupSolid("arm.flange"));
    double fixed[3], world[3];
    ASSERT_TRUE(head->GetFixPoint(fixed));
    kelmar::ConvertPosition(head->GetHeadTM(), fixed, world);
    for (int k = 0; k < 3; ++k) EXPECT_NEAR(world[k], seen.LookupSolid("ball")->GetTM()[3][k], 0.1);
    EXPECT_STREQ(seen.LookupSolid("crate")->GetGraphics()->GetTexture(), "textures/tiles.ppm");
    EXPECT_STREQ(seen.LookupSolid("table")->GetGraphics()->GetTexture(), "textures/wood.jpg");
    std::vector<kelmar::Solid *> solids[2];
    std::vector<double> start;
    seen.ForEachObject([&](const char *name, kelmar::Object *object) {
        if (auto *solid = dynamic_cast<kelmar::Solid *>(object)) {
            solid->SetOptions(kelmar::Solid::kDrawContacts | kelmar::Solid::kDrawInertia);
            solids[0].push_back(plain.LookupSolid(name, false)), solids[1].push_back(solid);
            start.insert(start.end(), solid->GetTM()[3], solid->GetTM()[3] + 3);
        }
    });
    std::vector<unsigned char> rgb, right;
    for (int step = 0; step < 60; ++step) {
        universes[0].step(), universes[1].step();
        ASSERT_TRUE(wrist->GetImage1(rgb) && overview->GetImage1(rgb) && head->GetStereoImg(rgb, right));
    }
    double moved = 0; // something must move, or nothing is tested
    for (size_t i = 0; i < start.size(); ++i)
        moved = std::max(moved, std::fabs(solids[1][i / 3]->GetTM()[3][i % 3] - start[i]));
    EXPECT_GT(moved, 0.01);
    for (size_t i = 0; i < solids[0].size(); ++i)
        for (int k = 0; k < 16; ++k)
            EXPECT_EQ(solids[0][i]->GetTM()[k / 4][k % 4], solids[1][i]->GetTM()[k / 4][k % 4]) << i;

    double pose[4][4];
    const double q[4] = {0.9, 0.1, -0.3, 0.2}, at[3] = {1.5, -2.25, 7};
    const float grey[3] = {0.25f, 0.5f, 0.75f}, joints[4] = {10, -20, 3.5f, 4.25f};
    kelmar::TMFromQuaternion(pose, q, at);
    wrist->SetRelTM(pose), wrist->SetViewAngle(42.5f), wrist->SetBackground(grey), wrist->SetVisible(false);
    head->SetHeadTM(pose), head->SetJoints(joints), head->SetViewAngles(12, 50);
    const std::string path = "/tmp/kelmar_graphics_status_" + std::to_string(getpid());
    auto status = [&](kelmar::Scene &scene, bool load) {
        FILE *file = std::fopen(path.c_str(), load ? "r" : "w");
        load ? (void)scene.loadStatus(file) : scene.saveStatus(file);
        std::fclose(file);
        return std::string(std::istreambuf_iterator<char>(std::ifstream(path).rdbuf()), {});
    };
    const std::string saved = status(seen, false);
    status(plain, true);
    EXPECT_EQ(status(plain, false), saved);
    std::remove(path.c_str());
    auto *camera = dynamic_cast<kelmar::KelmarCamera *>(plain.LookupObject("arm_cam"));
    auto *copy = dynamic_cast<Head *>(plain.LookupObject("head"));
    float back[4];
    copy->GetJoints(back);
    for (int i = 0; i < 16; ++i) EXPECT_EQ(camera->GetRelTM()[i / 4][i % 4], pose[i / 4][i % 4]);
    for (int i = 0; i < 4; ++i) EXPECT_NEAR(back[i], joints[i], 1e-4);
    EXPECT_EQ(std::vector<float>({camera->GetViewAngle(), copy->GetLeftViewAngle(), copy->GetRightViewAngle()}),
              std::vector<float>({42.5f, 12, 50}));
    EXPECT_FALSE(camera->IsVisible());
    universes[0].DelScene(&plain);
    universes[1].DelScene(&seen);
    const struct {
        const char *text, *message;
        int objects;
    } cases[] = {
        {"<CAMERA a><RELTO>missing</RELTO></CAMERA>",
         "Warning in line 1, pos 42: Referenced solid 'missing' for KelmarCamera is not defined yet, ignoring. \n",
         1},
        {"<CAMERA a></CAMERA><CAMERA a></CAMERA>",
         "Error in line 1, pos 39: Duplicate object ID 'a' detected. Camera not created.\n", 1},
        {"<CAMERA a></CAMERA><CAMHEAD a></CAMHEAD>",
         "Error in line 1, pos 41: Duplicate object ID 'a' detected. Camera head not created.\n", 1},
        {"<CAMERA><SIZE>0, 10</SIZE></CAMERA>", "Error in line 1, pos 36: Invalid image size!\n", 0},
        {"<CAMHEAD><WIDTH>-5</WIDTH></CAMHEAD>", "Error in line 1, pos 37: Invalid image size!\n", 0},
        {"<CAMHEAD h><SIZE>100, 100</SIZE><OFFSET>100, 0</OFFSET></CAMHEAD>",
         "Camera: image server window 0 x 100 at (100, 0) is outside the picture of 100 x 100\n"
         "Warning in line 1, pos 66: Camera head 'h': image server window 0 x 100 at (100, 0) is outside the "
         "picture of 100 x 100\n",
         1},
    };
    for (const auto &c : cases) {
        World world;
        PxStream *stream = PxStreamOpenMemory("cameras.px", c.text, std::strlen(c.text));
        PxXMLInput *input = world.scene.CreateXMLInput(stream);
        PxXMLHandler handlers[] = {PX_XML_ELEMENT("CAMERA", kelmar::LoadCameraElement),
                                   PX_XML_ELEMENT("CAMHEAD", kelmar::LoadCamHeadElement), PX_XML_END};
        testing::internal::CaptureStderr();
        PxXMLInputProcess(input, handlers);
        const std::string said = testing::internal::GetCapturedStderr();
        PxXMLInputDestroy(input);
        PxStreamClose(stream);
        EXPECT_EQ(said, c.message) << c.text;
        EXPECT_EQ(world.scene.ObjectCount(), c.objects) << c.text;
    }
}

// After fixating a random point (in a randomly placed head), both eye
// frames are rotations a baseline apart, both optical axes pass through
// the point, it lies ahead of both eyes, and the fixation point read back
// from the joints is the point itself. The head's centre cannot be
// fixated; parallel or diverging axes meet nowhere. Then a small sphere
// straight ahead: with parallel eyes its images are f b / Z apart (left image: right of centre); after fixating it, it sits at both
// image centres. Image-server windows must lie in the picture (a refused
// one leaves the window as it was); lens settings beyond 0..1 clamp to the
// view-angle limits (head: 5 to 60 degrees, camera zoom: 2 to 60).
TEST(CamHead, FixationDisparityWindowsAndLenses)
{
    World world;
    std::mt19937 random(7);
    std::uniform_real_distribution<double> side(-80, 80), ahead(20, 200), angle(-3, 3);
    for (int trial = 0; trial < 200; ++trial) {
        Head head(&world.scene);
        head.SetBaseline(10 + trial % 40);
        double pose[4][4], target[3], eyes[2][4][4], between[3], back[3], d[3], off[3];
        const double q[4] = {angle(random), angle(random), angle(random), angle(random)};
        const double at[3] = {side(random), side(random), side(random)};
        kelmar::TMFromQuaternion(pose, q, at);
        head.SetHeadTM(pose);
        const double p[3] = {side(random), side(random), ahead(random)};
        ASSERT_TRUE(head.SetFixPoint(p));
        kelmar::ConvertPosition(head.GetHeadTM(), p, target);
        head.GetLeftTM(eyes[0]);
        head.GetRightTM(eyes[1]);
        PxV3Sub(between, eyes[0][3], eyes[1][3]);
        EXPECT_NEAR(PxV3Length(between), head.GetBaseline(), 1e-9);
        for (auto &eye : eyes) {
            PxV3Sub(d, target, eye[3]);
            EXPECT_TRUE(kelmar::IsRigidTM(eye, 1e-9) && PxV3Dot(d, eye[2]) > 0);
            PxV3Cross(off, d, eye[2]); // the optical axis is a unit row
            EXPECT_LT(PxV3Length(off), 1e-6);
        }
        ASSERT_TRUE(head.GetFixPoint(back));
        for (int k = 0; k < 3; ++k) EXPECT_NEAR(back[k], p[k], 1e-6);
    }
    Head head(&world.scene);
    const double centre[3] = {0, 0, 0};
    const float divergent[4] = {0, 0, -5, -5};
    double point[3];
    EXPECT_FALSE(head.SetFixPoint(centre));
    head.Home();
    EXPECT_FALSE(head.GetFixPoint(point));
    head.SetJoints(divergent);
    EXPECT_FALSE(head.GetFixPoint(point));
    ASSERT_TRUE(head.SetImageSize(320, 240));
    head.SetViewAngles(30, 30);
    const double f = kelmar::CameraFocalLength(30, 240);
    for (double depth : {60.0, 100.0, 150.0}) {
        const double at[3] = {0, 0, depth};
        kelmar::Solid *ball = world.Sphere(1.5, at);
        Picture l{320, 240, {}}, r{320, 240, {}};
        double lc[2], rc[2];
        head.Home();
        ASSERT_TRUE(head.GetStereoImg(l.rgb, r.rgb)) << head.GetError();
        ASSERT_TRUE(l.Centre(lc) && r.Centre(rc));
        EXPECT_NEAR(lc[0] - rc[0], f * head.GetBaseline() / depth, 1.0) << depth;
        ASSERT_TRUE(head.SetFixPoint(at) && head.GetStereoImg(l.rgb, r.rgb));
        ASSERT_TRUE(l.Centre(lc) && r.Centre(rc));
        for (double c : {lc[0] - 160, lc[1] - 120, rc[0] - 160, rc[1] - 120}) EXPECT_NEAR(c, 0, 1.0) << depth;
        world.scene.RemoveObject(ball);
        delete ball;
    }
    const struct {
        int xs, ys, xo, yo;
        bool ok;
        int x, y;
    } cases[] = {{320, 240, -2, 0, true, 233, 168},    {786, 576, 0, 0, true, 0, 0},
                 {100, 100, 686, 476, true, 686, 476}, {100, 100, 687, 0, false, 0, 0},
                 {0, 10, 0, 0, false, 0, 0},           {800, 10, -2, 0, false, 0, 0}};
    for (const auto &c : cases) {
        Head server(&world.scene);
        EXPECT_EQ(server.InitImgSrv(c.xs, c.ys, c.xo, c.yo), c.ok) << c.xs << " " << c.xo;
        int x, y, w, h;
        server.GetWindow(&x, &y, &w, &h);
        EXPECT_EQ(std::vector<int>({x, y, w, h}),
                  c.ok ? std::vector<int>({c.x, c.y, c.xs, c.ys}) : std::vector<int>({0, 0, 786, 576}));
    }
    head.SetLens(2, 0, -1, 0);
    EXPECT_EQ(std::vector<float>({head.GetLeftViewAngle(), head.GetRightViewAngle()}), std::vector<float>({5, 60}));
    head.SetLens(0.5f, 0, 0.25f, 0);
    EXPECT_EQ(std::vector<float>({head.GetLeftViewAngle(), head.GetRightViewAngle()}),
              std::vector<float>({32.5f, 46.25f}));
    for (float zoom : {-1.0f, 0.25f, 3.0f}) {
        kelmar::VirtualCamera camera(8, 8);
        camera.SetZoom(zoom);
        EXPECT_FLOAT_EQ(camera.GetViewAngle(), 60 - std::min(std::max(zoom, 0.0f), 1.0f) * 58) << zoom;
    }
}

// Random boxes seen whole from their overview pose. Frame n: its bottom half in shade 40 n, its top half white (rows
// bottom-up in memory, top-down in the file). Thumbnails of 160 x 120 in 2
// columns and 3 rows, 4 pixels apart; the sixth place shows the sheet's
// background (40).
TEST(Frames, OverviewPosesFramesAndContactSheet)
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
    const std::string dir = "/tmp/kelmar_graphics_frames_" + std::to_string(getpid()), sheet = dir + "/sheet.png";
    ASSERT_EQ(std::system(("mkdir -p " + dir).c_str()), 0);
    kelmar::FrameRecorder recorder(dir, "cam"), nowhere("/nonexistent/dir", "cam");
    std::vector<unsigned char> rgb(320 * 240 * 3, 255);
    for (int n = 0; n < 5; ++n) {
        std::fill(rgb.begin(), rgb.begin() + rgb.size() / 2, static_cast<unsigned char>(40 * n));
        ASSERT_TRUE(recorder.Record(10 * n, rgb.data(), 320, 240)) << recorder.GetError();
    }
    ASSERT_EQ(recorder.Files().size(), 5u);
    EXPECT_EQ(recorder.Files()[3], dir + "/cam_000030.png");
    Picture third, s;
    ASSERT_TRUE(kelmar::loadPNG(recorder.Files()[3].c_str(), third.rgb, third.width, third.height, nullptr));
    EXPECT_EQ(std::vector<int>({third.width, third.height, third.rgb[0], third.rgb.back()}),
              std::vector<int>({320, 240, 255, 3 * 40}));
    ASSERT_TRUE(recorder.WriteContactSheet(sheet, 2));
    ASSERT_TRUE(kelmar::loadPNG(sheet.c_str(), s.rgb, s.width, s.height, nullptr));
    ASSERT_EQ(std::vector<int>({s.width, s.height}), std::vector<int>({4 + 2 * 164, 4 + 3 * 124}));
    for (int n = 0; n < 6; ++n) {
        const int left = 4 + (n % 2) * 164, top = 4 + (n / 2) * 124;
        EXPECT_EQ(s.rgb[3 * ((top + 10) * s.width + left + 10)], n < 5 ? 255 : 40) << n;
        EXPECT_EQ(s.rgb[3 * ((top + 110) * s.width + left + 150)], n < 5 ? 40 * n : 40) << n;
    }
    EXPECT_EQ(std::system(("rm -r " + dir).c_str()), 0);
    EXPECT_FALSE(nowhere.Record(0, rgb.data(), 8, 8));
    EXPECT_EQ(nowhere.GetError(), "PNG file '/nonexistent/dir/cam_000000.png' cannot be written");
    EXPECT_FALSE(nowhere.WriteContactSheet("/tmp/x.png"));
}

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
        LookDownZ(pose, eye);
        World world;
        P *primitive = c.make();
        world.scene.InsertGP(c.name, primitive);
        world.scene.InsertGraphics(c.name, new kelmar::Graphics(primitive, kWhite));
        kelmar::VirtualCamera camera(320, 240, &world.universe);
        int box[4];
        const bool drawn = Take(camera, pose).Bounds(box);
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
        World world;
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
    World inside, outside;
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
    World world;
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
        EXPECT_EQ(Take(camera, side).Count(0, 255, 0) > 200, marked == 1);
    }
    ASSERT_TRUE(world.universe.BeginPicking(from, to));
    world.universe.DoPicking(away, awayTo);
    EXPECT_GT(Take(camera, side).Count(255, 128, 128, 1), 10);
    world.universe.EndPicking();
    EXPECT_EQ(Take(camera, side).Count(255, 128, 128, 1), 0);
    const float none[4] = {1, 1, 1, 0};
    floor->GetGraphics()->SetColor(none);
    ball->GetGraphics()->SetColor(none);
    int outline[4];
    EXPECT_FALSE(Take(camera, side).Bounds(outline));
    ball->SetOptions(kelmar::Solid::kDrawContacts);
    const Picture contacts = Take(camera, side);
    ASSERT_TRUE(contacts.Centre(centre) && contacts.Bounds(outline));
    ASSERT_TRUE(kelmar::CameraProject(side, 30, 160, 120, contact, pixel));
    EXPECT_NEAR(centre[0], pixel[0], 3);
    EXPECT_NEAR(outline[2], pixel[1], 2);
    ball->SetOptions(kelmar::Solid::kDrawInertia);
    EXPECT_GT(Take(camera, side).Count(204, 0, 204, 2), 100);
}

const int kTexels = 4, kBlock = 8, kSide = kTexels * kBlock; // 8 x 8 pixels a texel: JPEG keeps them whole
const double kPlate = 16, kEye[3] = {0, 0, 60};              // cm

// Each texel's centre shows the texel, from PPM and JPEG, in a camera of
// its own each time (a context of its own gets the texture too); without
// textures shown the plate is white again. A bare name is found through
// the file search list. Each bad file: its message, no texture, and the
// plain colour at every texel. Good PPM files (text and 16-bit binary
// samples, comments in the header) read back their samples.
TEST(Textures, TexelsLandOnThePredictedPixelsAndBadFilesAreRefusedWithTheirReason)
{
    auto colour = [](int i, int j, int channel) { // texel (i, j), from the left and from the top of the file
        const int rgb[3] = {20 + 60 * i, 20 + 60 * j, i == j ? 230 : 40};
        return static_cast<unsigned char>(rgb[channel]);
    };
    std::vector<unsigned char> checker(kSide * kSide * 3);
    for (size_t p = 0; p < checker.size(); ++p)
        checker[p] = colour(int(p / 3 % kSide) / kBlock, int(p / 3 / kSide) / kBlock, int(p % 3));
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
        std::string message = c.message ? c.message : "";
        if (size_t at = message.find("%s"); at != std::string::npos) message.replace(at, 2, path);
        World world;
        kelmar::GraphicsPrimitive *square = kelmar::GraphicsPrimitive::Square(kPlate, kPlate);
        auto *plate = new kelmar::Graphics(square, kWhite); // facing the camera, +x right, +y up
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
                EXPECT_NEAR(seen[k], look == 2 || c.message ? 255 : colour(i, j, k),
                            std::strstr(c.name, ".jpg") ? 3 : 1)
                    << c.name << " " << i << "," << j << " channel " << k << " look " << look;
            }
        }
    }
    EXPECT_EQ(std::system(("rm -r " + dir).c_str()), 0);
}

} // namespace
