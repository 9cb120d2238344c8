// The style's keys. Every key is kept from the camera style: VTK's own
// keys would exit ('q', 'e'), change actors' surfaces ('w', 's') or start
// its own picking ('p'); only 'j' and 't' go to the style switch (joystick
// or trackball).
#include <vtkCamera.h>
#include <vtkRenderWindowInteractor.h>
#include <vtkRenderer.h>

#include <kelmar/Scene.h>
#include <kelmar/Solid.h>
#include <kelmar/Universe.h>

#include "PickRay.h"
#include "vtkInteractorStyleKelmar.h"

namespace kelmar {

namespace {

const int kCtrlL = 12, kCtrlR = 18;

const char *const kKeyList[] = {"*** list of keys definitions in Universe::draw ***",
                                "g - toggle extra graphics",
                                "G - toggle textures",
                                "p - toggle pause",
                                "s - do one simulation step",
                                "r - reset camera to include whole scene",
                                "f - toggle visualization of forces for selected solid",
                                "c - toggle visualization of contacts (with friction cones)",
                                "m - toggle visualization of center of mass",
                                "M - mark selected solid",
                                "",
                                "C-r - reset universe with all its scenes",
                                "l   - reset object's parameters only",
                                "C-l - reset object's dynamic status (position, speed) only"};

} // namespace

void vtkInteractorStyleKelmar::PrintKeys() const
{
    for (const char *line : kKeyList) std::fprintf(help_, "%s\n", line);
    std::fflush(help_);
}

void vtkInteractorStyleKelmar::OnChar()
{
    if (!Interactor) return;
    const int key = Interactor->GetKeyCode();
    if (key == 'j' || key == 't') {
        Superclass::OnChar();
    } else if (HandleKey(key)) {
        RenderWindow();
    }
    Handled();
}

void vtkInteractorStyleKelmar::ResetCamera()
{
    const int *p = Interactor->GetEventPosition();
    if (vtkRenderer *renderer = Interactor->FindPokedRenderer(p[0], p[1])) renderer->ResetCamera();
}

// The solid under the pointer, if any.
static Solid *SolidUnderPointer(vtkRenderWindowInteractor *interactor, Universe *universe)
{
    const int *p = interactor->GetEventPosition();
    double start[3], end[3], hit[3];
    if (!PickRay(interactor->FindPokedRenderer(p[0], p[1]), p[0], p[1], start, end)) return nullptr;
    return universe->PickSolid(start, end, hit);
}

bool vtkInteractorStyleKelmar::ToggleSolidOption(unsigned int option)
{
    if (Solid *solid = SolidUnderPointer(Interactor, universe_)) solid->ToggleOptions(option);
    return true;
}

void vtkInteractorStyleKelmar::MarkSolidUnderPointer()
{
    universe_->SetMarkedSolid(SolidUnderPointer(Interactor, universe_));
}

// False for the keys without a meaning here.
bool vtkInteractorStyleKelmar::HandleKey(int key)
{
    if (key == '?' || key == 'h') {
        PrintKeys();
        return true;
    }
    if (key == 'r' || key == 'R') {
        ResetCamera();
        return true;
    }
    if (key == 'o') {
        const int *p = Interactor->GetEventPosition();
        vtkRenderer *renderer = Interactor->FindPokedRenderer(p[0], p[1]);
        if (!renderer) return false;
        vtkCamera *camera = renderer->GetActiveCamera();
        camera->SetParallelProjection(!camera->GetParallelProjection());
        return true;
    }
    if (!universe_) return false;
    switch (key) {
    case 'g': universe_->ToggleOptions(Universe::kShowGraphics); return true;
    case 'G': universe_->ToggleOptions(Universe::kShowTextures); return true;
    case 'p': universe_->ToggleOptions(Universe::kPause); return true;
    case 's':
        universe_->ClearOptions(Universe::kPause);
        StepOnce();
        universe_->AddOptions(Universe::kPause);
        return true;
    case 'l':
    case 'L': universe_->ResetScenesWithRestore(Scene::kStatusAppearance); break;
    case kCtrlL: universe_->ResetScenesWithRestore(Scene::kStatusPose); break;
    case kCtrlR: universe_->reset(); break;
    case 'f': return ToggleSolidOption(Solid::kDrawForces);
    case 'c': return ToggleSolidOption(Solid::kDrawContacts);
    case 'm': return ToggleSolidOption(Solid::kDrawInertia);
    case 'M': MarkSolidUnderPointer(); return true;
    default: return false;
    }
    ResetCamera();
    return true;
}

} // namespace kelmar
