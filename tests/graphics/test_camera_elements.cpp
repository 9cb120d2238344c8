// CAMERA and CAMHEAD elements read into a scene: what each tag sets, the
// cameras' default IDs, attachment by RELTO, the messages of bad elements
// as one table, and the example scene's cameras.
#include <gtest/gtest.h>

#include <cstdarg>
#include <cstdio>
#include <fstream>

#include <kelmar/CameraLoader.h>
#include <kelmar/GraphicsSetup.h>
#include <kelmar/KelmarCamHead.h>
#include <kelmar/KelmarCamera.h>

#include "GraphicsTestSupport.h"

namespace {

std::vector<std::string> gMessages;

int Record(PxXMLInput *, int severity, int, const char *format, ...)
{
    char text[1024];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    gMessages.push_back(std::to_string(severity) + ": " + text);
    return 0;
}

// Reads text's elements into the world's scene with the camera handlers.
void Read(graphicstest::World &world, const std::string &text)
{
    const std::string path = graphicstest::TempPath("cameras.px");
    std::ofstream(path) << text;
    PxStream *stream = PxStreamOpen(path.c_str(), PX_MODE_READ);
    PxXMLInput *input = world.scene.CreateXMLInput(stream);
    input->errorHandler = Record;
    PxXMLHandler handlers[] = {PX_XML_ELEMENT("CAMERA", kelmar::LoadCameraElement),
                               PX_XML_ELEMENT("CAMHEAD", kelmar::LoadCamHeadElement), PX_XML_END};
    gMessages.clear();
    PxXMLInputProcess(input, handlers);
    PxXMLInputDestroy(input);
    PxStreamClose(stream);
    std::remove(path.c_str());
}

// In a scene of scale 2; the unnamed ones get "CAM_n" and "CAMHEAD_n".
TEST(CameraElements, TagsSetTheCamerasUp)
{
    graphicstest::World world;
    const double at[3] = {0, 0, 10};
    kelmar::Solid *carrier = world.Box(2, 2, 2, at);
    world.scene.SetScale(2);
    Read(world, std::string("<CAMERA wrist><RELTO>") + world.scene.GetName(carrier) +
                    "</RELTO><POS>1, 2, 3</POS><QUAT>0, 1, 0, 0</QUAT><SIZE>64, 48</SIZE>"
                    "<VIEWANGLE_LIMITS>10, 40</VIEWANGLE_LIMITS><VIEWANGLE>50</VIEWANGLE>"
                    "<BACKGROUND>0.5, 0.25, 1</BACKGROUND><VISIBLE>0</VISIBLE></CAMERA>"
                    "<CAMERA><WIDTH>100</WIDTH></CAMERA>"
                    "<CAMHEAD><POS>0, 0, 50</POS><JOINTS>10, 20, 3, 4</JOINTS><BASELINE>12</BASELINE>"
                    "<SIZE>400, 300</SIZE><OFFSET>100, 50</OFFSET><VIEWANGLES>20, 30</VIEWANGLES>"
                    "<LEFT_VIEWANGLE>25</LEFT_VIEWANGLE></CAMHEAD>");
    EXPECT_TRUE(gMessages.empty()) << gMessages[0];
    auto *wrist = dynamic_cast<kelmar::KelmarCamera *>(world.scene.LookupObject("wrist"));
    kelmar::KelmarCamera *other = nullptr;
    kelmar::KelmarCamHead *head = nullptr;
    world.scene.ForEachObject([&](const char *name, kelmar::Object *object) {
        if (std::string(name).rfind("CAM_", 0) == 0) other = dynamic_cast<kelmar::KelmarCamera *>(object);
        if (std::string(name).rfind("CAMHEAD_", 0) == 0) head = dynamic_cast<kelmar::KelmarCamHead *>(object);
    });
    ASSERT_TRUE(wrist && other && head);
    EXPECT_EQ(wrist->GetAttachedSolid(), carrier);
    const double(*relative)[4] = wrist->GetRelTM();
    int w, h, x, y, ow, oh;
    wrist->GetSize(&w, &h);
    other->GetSize(&ow, &oh);
    float background[3];
    wrist->GetBackground(background);
    // Half a turn about x, moved by twice (1, 2, 3), 16 cm up on the carrier.
    EXPECT_EQ(std::vector<double>({relative[3][0], relative[3][2], relative[1][1], wrist->GetCurrentTM()[3][2]}),
              std::vector<double>({2, 6, -1, 16}));
    EXPECT_EQ(
        std::vector<double>({double(w), double(h), wrist->GetViewAngle(), background[1], double(ow), double(oh)}),
        std::vector<double>({64, 48, 40, 0.25, 100, 240}));
    EXPECT_FALSE(wrist->IsVisible());
    EXPECT_EQ(head->GetHeadTM()[3][2], 100);
    EXPECT_EQ(head->GetBaseline(), 24);
    EXPECT_NEAR(head->GetJoint(kelmar::KelmarCamHead::kTilt), 20, 1e-5);
    head->GetWindow(&x, &y, &w, &h);
    EXPECT_EQ(std::vector<int>({x, y, w, h}), std::vector<int>({100, 50, 300, 250}));
    EXPECT_EQ(head->GetLeftViewAngle() * 100 + head->GetRightViewAngle(), 2530);
}

TEST(CameraElements, BadElementsAreReportedAndMakeNothing)
{
    const struct {
        const char *text, *message;
        int objects;
    } cases[] = {
        {"<CAMERA a><RELTO>missing</RELTO></CAMERA>",
         "1: Referenced solid 'missing' for KelmarCamera is not defined yet, ignoring. \n", 1},
        {"<CAMERA a></CAMERA><CAMERA a></CAMERA>", "2: Duplicate object ID 'a' detected. Camera not created.\n", 1},
        {"<CAMERA a></CAMERA><CAMHEAD a></CAMHEAD>",
         "2: Duplicate object ID 'a' detected. Camera head not created.\n", 1},
        {"<CAMERA><SIZE>0, 10</SIZE></CAMERA>", "2: Invalid image size!\n", 0},
        {"<CAMHEAD><WIDTH>-5</WIDTH></CAMHEAD>", "2: Invalid image size!\n", 0},
        {"<CAMHEAD h><SIZE>100, 100</SIZE><OFFSET>100, 0</OFFSET></CAMHEAD>",
         "1: Camera head 'h': image server window 0 x 100 at (100, 0) is outside the picture of 100 x 100\n", 1},
    };
    for (const auto &c : cases) {
        graphicstest::World world;
        testing::internal::CaptureStderr();
        Read(world, c.text);
        testing::internal::GetCapturedStderr();
        EXPECT_EQ(gMessages, std::vector<std::string>({c.message})) << c.text;
        EXPECT_EQ(world.scene.ObjectCount(), c.objects) << c.text;
    }
}

// Through the scene reader: the cameras are made (none skipped), the wrist
// camera rides on the arm's flange, the head's joints fixate the ball, and
// the textures are found beside the scene.
TEST(CameraElements, TheExampleSceneLoadsItsCameras)
{
    kelmar::InstallGraphics();
    PxFileSearchPathAdd(KELMAR_EXAMPLES_DIR);
    kelmar::Universe universe;
    kelmar::Scene scene(KELMAR_EXAMPLES_DIR "/camhead.px");
    testing::internal::CaptureStderr();
    universe.AddScene(&scene);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    auto *wrist = dynamic_cast<kelmar::KelmarCamera *>(scene.LookupObject("arm_cam"));
    auto *head = dynamic_cast<kelmar::KelmarCamHead *>(scene.LookupObject("head"));
    ASSERT_TRUE(wrist && head && scene.LookupObject("overview"));
    EXPECT_EQ(wrist->GetAttachedSolid(), scene.LookupSolid("arm.flange"));
    double fixed[3], world[3], ball[3];
    ASSERT_TRUE(head->GetFixPoint(fixed));
    kelmar::ConvertPosition(head->GetHeadTM(), fixed, world);
    scene.LookupSolid("ball")->GetPosition(ball);
    for (int k = 0; k < 3; ++k) EXPECT_NEAR(world[k], ball[k], 0.1);
    EXPECT_STREQ(scene.LookupSolid("crate")->GetGraphics()->GetTexture(), "textures/tiles.ppm");
    EXPECT_STREQ(scene.LookupSolid("table")->GetGraphics()->GetTexture(), "textures/wood.jpg");
    universe.DelScene(&scene);
}

} // namespace
