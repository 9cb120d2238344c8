// The module's tests run it in-process: its folder joins the stand-in's
// palette, every test gets a program unit of its own and captures the
// diagnostics, and nothing may be left behind in the unit tree or the
// administrator when it ends.
#ifndef KELMAR_TESTS_HOST_SUPPORT_H
#define KELMAR_TESTS_HOST_SUPPORT_H

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include <dfx/standin.h>
#include <kelmar/Graphics.h>
#include <kelmar/kelmar.h>

#include "admin/DfxKelmarAdmin.h"
#include "objects/DfxObject.h"
#include "objects/DfxScene.h"
#include "objects/DfxUniverse.h"

namespace hosttest {

// tests/host/data/<name>
std::string DataFile(const char *name);

class HostTest : public ::testing::Test {
public:
    void SetUp() override;
    void TearDown() override;

    // A unit of the program from its label and dialog values; fails the
    // test when it is not made.
    DfxUnit *Make(const std::string &label, const std::string &name, const std::vector<std::string> &values = {});
    DfxUnit *MakeUniverse(const std::string &name = "universe", DfxUnit *program = nullptr);
    // A scene of tests/host/data/blocks.px in the universe named.
    DfxUnit *MakeScene(const std::string &name, const std::string &universe = "universe", DfxUnit *program = nullptr);
    // The universe "universe" and in it the scene "scene" of blocks.px.
    void Blocks();
    // Executes a unit or method by path ("universe.step") n times.
    void Run(const std::string &path, int times = 1);
    DfxUnit *At(const std::string &path);
    // A "value" unit holding numbers (written to 9 digits, exact for
    // floats), connected to the input of the unit or method at path.
    void Feed(const std::string &path, const std::string &input, const std::vector<double> &numbers);
    template <class T> T *Object(const std::string &path) { return static_cast<T *>(dfx_unit_data(At(path))); }
    std::vector<float> Out(const std::string &path, int output = 0) { return dfx::OutputFloats(At(path), output); }
    // Runs path and expects the host exception id with text.
    void ExpectRaise(const std::string &path, const std::string &id, const std::string &text)
    {
        EXPECT_FALSE(dfx::Execute(At(path))) << path;
        EXPECT_EQ(id, dfx::LastException().id) << path;
        EXPECT_EQ(text, dfx::LastException().text) << path;
    }

    DfxUnit *program = nullptr;
    dfx::CaptureDiagnostics diagnostics;
};

// A unit of the test folder: "recorder" records, each time it runs, its
// inputs "contact" (vx.Contact), "solid1" and "solid2" (texts).
struct Recorded {
    std::string description, solid1, solid2;
    double position[3];
};
extern std::vector<Recorded> recorded;

// Every solid of a scene by name: its transform as 16 reals.
std::map<std::string, std::vector<double>> Poses(kelmar::Scene *scene);

// While alive, the drawing backend: notes the passes it is asked for (their
// flags and how many objects each draws) and the lines and arrows it is handed.
struct RecordingBackend : kelmar::DrawBackend {
    struct Drawn {
        double tm[4][4], from[3], to[3], length, width;
        float rgba[4];
    };
    RecordingBackend() : previous(kelmar::SetDrawBackend(this)) {}
    ~RecordingBackend() override { kelmar::SetDrawBackend(previous); }
    void PrepareDrawing(unsigned int flags) override { passes.push_back({flags, 0}); }
    void FinishDrawing(unsigned int) override {}
    void DrawObject(const kelmar::GraphicsPrimitive &, const double (*)[4], const double (*)[4],
                    const kelmar::DrawMaterial &, const char *, unsigned int) override
    {
        ++passes.back().second;
    }
    void DrawLine(const double *from, const double *to, const float rgba[4]) override
    {
        drawn.push_back(Drawn{
            {}, {from[0], from[1], from[2]}, {to[0], to[1], to[2]}, 0, 0, {rgba[0], rgba[1], rgba[2], rgba[3]}});
    }
    void DrawArrow(const double (*base)[4], double length, double width, const float rgba[4]) override
    {
        drawn.push_back(Drawn{{}, {}, {}, length, width, {rgba[0], rgba[1], rgba[2], rgba[3]}});
        std::copy(&base[0][0], &base[0][0] + 16, &drawn.back().tm[0][0]);
    }
    void DrawCone(const double (*)[4], double, double, const float[4]) override {}
    void DrawSphere(const double (*)[4], double, const float[4]) override {}
    kelmar::DrawBackend *previous;
    std::vector<std::pair<unsigned int, int>> passes;
    std::vector<Drawn> drawn;
};

} // namespace hosttest

#endif
