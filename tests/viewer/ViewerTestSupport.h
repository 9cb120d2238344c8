// The viewer's tests: the grasp scene in a universe, shown by a viewer in
// an off-screen VTK window (which still needs an X display), and the
// synthetic events a user's mouse and keys would send.
#ifndef KELMAR_TESTS_VIEWERTESTSUPPORT_H
#define KELMAR_TESTS_VIEWERTESTSUPPORT_H

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include <vtkNew.h>

#include <kelmar/kelmar.h>

#include "DisplayCheck.h"
#include "VtkRenderHost.h"
#include "vtkViewer.h"

namespace viewertest {

// Skips the test when no X display can be opened (VTK would abort).
#define KELMAR_NEED_DISPLAY()                                                                                        \
    if (!kelmar::DisplayAvailable()) GTEST_SKIP() << "no X display (run under xvfb-run)"

struct ViewedScene : testing::Test {
    static const int kWidth = 800, kHeight = 600; // px
    void SetUp() override;
    void TearDown() override;

    kelmar::Solid *Ball() const { return scene->LookupSolid("objects.ball", false); }
    // Looks from eye at target (cm), z up.
    void Look(const double eye[3], const double target[3], bool parallel = false);
    // The display position (px) of a world point.
    void ToDisplay(const double world[3], double display[2]);
    void Press(int x, int y, bool ctrl);
    void Move(int x, int y, bool ctrl);
    void Release(int x, int y, bool ctrl);
    void Key(char key, bool ctrl = false);
    // The window's pixels, RGB, rows bottom-up.
    std::vector<unsigned char> Pixels();

    std::unique_ptr<kelmar::Universe> universe;
    std::unique_ptr<kelmar::Scene> scene;
    std::unique_ptr<kelmar::VtkRenderHost> host;
    vtkNew<kelmar::vtkViewer> viewer;
    vtkRenderWindowInteractor *interactor = nullptr;
};

} // namespace viewertest

#endif
