// What the robot layer's tests share (cm, kg, s): poses and temporary files,
// a Rig (a universe with one scene filled from scene-file text or files,
// keeping every message), and status text saved and loaded whole.
#ifndef KELMAR_TESTS_KELMAR_SUPPORT_H
#define KELMAR_TESTS_KELMAR_SUPPORT_H

// What most of the tests use comes with this header.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include <kelmar/CdxModel.h>
#include <kelmar/CdxPrimitives.h>
#include <kelmar/PxMath.h>
#include <kelmar/PxVector.h>
#include <kelmar/RbdBody.h>
#include <kelmar/RbdWorld.h>
#include <kelmar/kelmar.h>

namespace kelmartest {

const double kGravity = 981.0; // cm/s^2
const int kWood = 3;
// A wooden disc (r 5 cm, 2 cm thick), and the hinge j turning it about its own axis z.
const char *const kWheel = R"(<WORLD><TIMESTEP>0.01</TIMESTEP></WORLD>
<GEOMETRIES><CYLINDER disc><RADIUS>5</RADIUS><HEIGHT>2</HEIGHT></CYLINDER></GEOMETRIES>
<SOLID wheel><GEOMETRY_ID>disc</GEOMETRY_ID><MATERIAL>wood</MATERIAL><NOCOLLISION>1</NOCOLLISION></SOLID>
)";
const char *const kWheelHinge = "<HINGE j><SOLID_IDS>wheel, WORLD</SOLID_IDS><AXIS>0, 0, 1</AXIS></HINGE>";

// A rotation about y by angle (rad) at position.
inline void PoseAboutY(double tm[4][4], double angle, const double *position)
{
    PxM4Identity(tm);
    tm[0][0] = tm[2][2] = std::cos(angle);
    tm[2][0] = std::sin(angle), tm[0][2] = -tm[2][0];
    if (position) PxV3Copy(tm[3], position);
}
// The transform of Denavit-Hartenberg parameters (rows are axes, the last
// row the origin; the joint axis is x), written out here on its own.
inline void DH(double out[4][4], double d, double theta, double a, double alpha)
{
    const double ct = std::cos(theta), st = std::sin(theta), ca = std::cos(alpha), sa = std::sin(alpha);
    const double rows[4][4] = {
        {ca, st * sa, -ct * sa, 0}, {0, ct, st, 0}, {sa, -st * ca, ct * ca, 0}, {d, a * ct, a * st, 1}};
    std::copy(&rows[0][0], &rows[0][0] + 16, &out[0][0]);
}
// out = a b (out may be a or b).
inline void Times(double out[4][4], const double a[4][4], const double b[4][4])
{
    double r[4][4] = {};
    for (int i = 0; i < 64; ++i) r[i / 16][i / 4 % 4] += a[i / 16][i % 4] * b[i % 4][i / 4 % 4];
    std::copy(&r[0][0], &r[0][0] + 16, &out[0][0]);
}
// The largest difference of two transforms, element by element.
inline double MaxDifference(const double a[4][4], const double b[4][4])
{
    double d = 0;
    for (int i = 0; i < 16; ++i) d = std::fmax(d, std::fabs(a[i / 4][i % 4] - b[i / 4][i % 4]));
    return d;
}
// The body's mass, and its moment of inertia about axis k (0, 1, 2) of the world.
inline double Mass(const kelmar::Solid *solid)
{
    return RbdBodyGetMass(solid->GetBody());
}
inline double Inertia(const kelmar::Solid *solid, int k)
{
    double I[3][3];
    RbdBodyGetInertiaTensor(solid->GetBody(), I);
    return I[k][k];
}
// Writes text into a new temporary file whose name ends in ".px" and returns its path.
std::string WriteTempScene(const std::string &text);
// Where the example scenes are.
inline std::string ExamplePath(const std::string &name)
{
    return std::string(KELMAR_EXAMPLES_DIR) + "/" + name;
}
// An XML error handler whose data is a std::vector<std::string>: keeps each
// message as "E:text" (errors) or "W:text" (warnings).
int CollectMessage(PxXMLInput *input, int severity, int code, const char *format, ...);
// The messages one after the other, as one text.
inline std::string Joined(const std::vector<std::string> &messages)
{
    std::string text;
    for (const std::string &m : messages) text += m;
    return text;
}
// What action writes to standard error.
inline std::string StandardError(const std::function<void()> &action)
{
    testing::internal::CaptureStderr();
    action();
    return testing::internal::GetCapturedStderr();
}

// The scene's own errors, kept as lines "E:text" beside the reader's; its
// warnings (refused joint commands) as they are said, apart.
class RecordingScene : public kelmar::Scene {
public:
    using kelmar::Scene::Scene;
    void Error(int code, const char *format, ...) const override;
    void Warning(int code, const char *format, ...) const override;
    mutable std::vector<std::string> messages;
    mutable std::string warnings;
};

// A universe with one scene, filled from scene-file text or files. Every
// message, the reader's and the scene's, is kept in `messages` as a line
// "E:text" (errors) or "W:text" (warnings); the scene's warnings about
// refused joint commands are kept apart (scene.warnings).
class Rig {
public:
    // text: elements inside <PX> (read at once).
    explicit Rig(const std::string &text = "");
    ~Rig();
    Rig(const Rig &) = delete;
    Rig &operator=(const Rig &) = delete;

    // Reads more elements into the scene; returns their messages.
    std::vector<std::string> Load(const std::string &elements);
    // Reads a whole scene file, or text written to one; true when the reader
    // met no structural error.
    bool Read(const std::string &path);
    bool ReadText(const std::string &text);
    void Steps(int n);
    int Bodies() const;
    int Models() const;
    kelmar::Solid *solid(const char *name) { return scene.LookupSolid(name, false); }
    kelmar::Joint *joint(const char *name) { return scene.LookupJoint(name); }
    kelmar::Limit *limit(const char *name);
    kelmar::Robot *robot(const char *name) { return dynamic_cast<kelmar::Robot *>(scene.LookupObject(name)); }

    kelmar::Universe universe{200, 200, 200, 4000};
    RecordingScene scene;
    std::vector<std::string> &messages = scene.messages;
};

// A universe with a scene read by the scene's own constructor, as a host
// loads it (sizes 0: the universe's defaults).
struct Hosted {
    explicit Hosted(const std::string &path, int size = 0)
        : universe(size, size, size, 20 * size), scene(path.c_str())
    {
        universe.AddScene(&scene);
    }
    ~Hosted() { universe.DelScene(&scene); }
    void Run(int steps)
    {
        for (int i = 0; i < steps; ++i) universe.step();
    }
    kelmar::Universe universe;
    RecordingScene scene;
};

// The status of the universe (when given) followed by the scene's, as text.
std::string StatusText(const kelmar::Universe *universe, const kelmar::Scene &scene);
// Loads such text back; both parts must read without error.
void LoadStatusText(kelmar::Universe *universe, kelmar::Scene &scene, const std::string &text);

} // namespace kelmartest

#endif
