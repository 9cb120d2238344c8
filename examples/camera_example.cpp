// Robots that see: a ball dropped among blocks on a floor, seen by a camera
// riding on the ball's carrier and by a stereo head fixating the ball.
// Writes camera.png, left.png and right.png into the folder given (default:
// the current one). Units: cm, kg, s.
#include <cstdio>
#include <string>
#include <vector>

#include <kelmar/Image.h>
#include <kelmar/KelmarCamHead.h>
#include <kelmar/KelmarCamera.h>
#include <kelmar/PxVector.h>
#include <kelmar/RbdWorld.h>
#include <kelmar/kelmar.h>

namespace {

kelmar::Solid *Add(kelmar::Solid *solid, const char *colour)
{
    solid->SetColor(colour, 1);
    return solid;
}

// A checkerboard picture of 64 x 64 pixels for the floor's texture.
bool MakeTexture(const std::string &file)
{
    std::vector<unsigned char> rgb(64 * 64 * 3);
    for (int i = 0; i < 64 * 64; ++i) {
        const bool dark = ((i % 64) / 16 + (i / 64) / 16) % 2;
        for (int k = 0; k < 3; ++k) rgb[3 * i + k] = dark ? 90 : 200;
    }
    return kelmar::SavePPM(file.c_str(), rgb.data(), 64, 64, nullptr);
}

} // namespace

int main(int argc, char **argv)
{
    const std::string dir = argc > 1 ? argv[1] : ".";
    kelmar::Universe universe;
    kelmar::Scene scene;
    universe.AddScene(&scene);
    RbdWorldSetGravity(universe.GetWorld(), 0, 0, -981);
    kelmar::Solid *floor = kelmar::AddBox(&scene, 80, 80, 2, [] {
        kelmar::SolidSpec s;
        s.fixed = true;
        return s;
    }());
    const double down[3] = {0, 0, -1};
    floor->SetPosition(down);
    const std::string texture = dir + "/checker.ppm";
    if (MakeTexture(texture)) floor->GetGraphics()->SetTexture(texture.c_str());
    const char *colours[] = {"firebrick", "steelblue", "gold", "seagreen"};
    for (int i = 0; i < 4; ++i) {
        double pose[4][4] = {{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {-15.0 + 10 * i, 8.0 - 4 * i, 4, 1}};
        kelmar::SolidSpec spec;
        spec.pose = pose;
        Add(kelmar::AddBox(&scene, 6, 6, 8, spec), colours[i]);
    }
    double high[4][4] = {{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, -4, 30, 1}};
    kelmar::SolidSpec ballSpec;
    ballSpec.pose = high;
    kelmar::Solid *ball = Add(kelmar::AddSphere(&scene, 4, ballSpec), "orange");
    for (int i = 0; i < 40; ++i) universe.step();

    // A camera in the world, looking at the floor from the front and above.
    auto *camera = new kelmar::KelmarCamera(&scene, 480, 360);
    const double view[4][4] = {{-1, 0, 0, 0}, {0, 0.6, 0.8, 0}, {0, 0.8, -0.6, 0}, {0, -70, 60, 1}};
    camera->SetRelTM(view);
    scene.InsertObject("overview", camera);
    // A stereo head behind it, fixating the falling ball.
    auto *head = new kelmar::KelmarCamHead(&scene);
    const double headPose[4][4] = {{-1, 0, 0, 0}, {0, 0, 1, 0}, {0, 1, 0, 0}, {0, -90, 40, 1}};
    head->SetHeadTM(headPose);
    head->SetImageSize(320, 240);
    scene.InsertObject("head", head);
    double p[3], local[3];
    ball->GetPosition(p);
    PxV3MulTMInverse(local, p, head->GetHeadTM()); // the ball in head coordinates
    head->SetFixPoint(local);

    std::vector<unsigned char> rgb, left, right;
    if (!camera->GetImage1(rgb) || !head->GetStereoImg(left, right)) {
        std::fprintf(stderr, "no pictures: %s\n", camera->GetError().c_str());
        universe.DelScene(&scene);
        return 1;
    }
    int w, hgt;
    camera->GetSize(&w, &hgt);
    bool ok = kelmar::SavePNG((dir + "/camera.png").c_str(), rgb.data(), w, hgt, true, nullptr);
    ok = ok && kelmar::SavePNG((dir + "/left.png").c_str(), left.data(), 320, 240, true, nullptr);
    ok = ok && kelmar::SavePNG((dir + "/right.png").c_str(), right.data(), 320, 240, true, nullptr);
    std::printf("ball at z = %.1f cm; pictures %s in %s\n", p[2], ok ? "written" : "NOT written", dir.c_str());
    universe.DelScene(&scene);
    return ok ? 0 : 1;
}
