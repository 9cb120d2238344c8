// The style's mouse, timer and pointer events. Its observers are added
// with a higher priority than the camera style's, so that an event it
// handles can be kept from the camera style (the abort flag).
#include "vtkInteractorStyleKelmar.h"

#include <vtkCallbackCommand.h>
#include <vtkCommand.h>
#include <vtkObjectFactory.h>
#include <vtkRenderWindow.h>
#include <vtkRenderWindowInteractor.h>
#include <vtkRenderer.h>

#include <kelmar/Universe.h>

#include "PickRay.h"

namespace kelmar {

vtkStandardNewMacro(vtkInteractorStyleKelmar);

namespace {

const float kPriority = 1.0f; // above the camera styles' 0
const unsigned long kEvents[] = {vtkCommand::LeftButtonPressEvent, vtkCommand::LeftButtonReleaseEvent,
                                 vtkCommand::MouseMoveEvent, vtkCommand::EnterEvent, vtkCommand::LeaveEvent};

} // namespace

void vtkInteractorStyleKelmar::SetInteractor(vtkRenderWindowInteractor *interactor)
{
    if (interactor == Interactor) return;
    StopStepping();
    if (Interactor) Interactor->RemoveObserver(timerCommand_);
    SetPriority(kPriority);
    Superclass::SetInteractor(interactor); // observes the key events, and hands the interactor on
    SetCurrentStyleToTrackballCamera();
    if (!interactor) return;
    for (unsigned long event : kEvents) interactor->AddObserver(event, EventCallbackCommand, kPriority);
    timerCommand_->SetCallback(&vtkInteractorStyleKelmar::TimerFired);
    timerCommand_->SetClientData(this);
    interactor->AddObserver(vtkCommand::TimerEvent, timerCommand_, kPriority);
}

void vtkInteractorStyleKelmar::TimerFired(vtkObject *, unsigned long, void *self, void *timerId)
{
    auto *style = static_cast<vtkInteractorStyleKelmar *>(self);
    style->firedTimerId_ = timerId ? *static_cast<int *>(timerId) : -1;
    style->OnTimer();
}

void vtkInteractorStyleKelmar::SetStepCallback(StepCallback callback, void *argument)
{
    step_ = callback;
    stepArgument_ = argument;
}

void vtkInteractorStyleKelmar::StartStepping(unsigned long periodMs)
{
    periodMs_ = periodMs;
    if (!Interactor || timerId_ >= 0) return;
    timerId_ = Interactor->CreateRepeatingTimer(periodMs_);
}

void vtkInteractorStyleKelmar::StopStepping()
{
    if (Interactor && timerId_ >= 0) Interactor->DestroyTimer(timerId_);
    timerId_ = -1;
}

void vtkInteractorStyleKelmar::StepOnce()
{
    if (step_)
        step_(stepArgument_);
    else if (universe_)
        universe_->step();
}

// Keeps the event from the camera style.
void vtkInteractorStyleKelmar::Handled()
{
    EventCallbackCommand->SetAbortFlag(1);
}

void vtkInteractorStyleKelmar::RenderWindow()
{
    if (Interactor) Interactor->Render();
}

bool vtkInteractorStyleKelmar::GetPickRay(double start[3], double end[3])
{
    if (!Interactor) return false;
    const int *p = Interactor->GetEventPosition();
    vtkRenderer *renderer = Interactor->FindPokedRenderer(p[0], p[1]);
    return PickRay(renderer, p[0], p[1], start, end);
}

// Ctrl without Shift starts a drag when a solid is under the pointer.
void vtkInteractorStyleKelmar::OnLeftButtonDown()
{
    if (!universe_ || !Interactor || !Interactor->GetControlKey() || Interactor->GetShiftKey()) return;
    double start[3], end[3];
    if (!GetPickRay(start, end) || !universe_->BeginPicking(start, end)) return;
    state_ = kDragging;
    Handled();
}

void vtkInteractorStyleKelmar::OnMouseMove()
{
    if (state_ != kDragging) return;
    double start[3], end[3];
    if (GetPickRay(start, end)) universe_->DoPicking(start, end);
    StepOnce();
    RenderWindow();
    Handled();
}

void vtkInteractorStyleKelmar::OnLeftButtonUp()
{
    if (state_ != kDragging) return;
    universe_->EndPicking();
    state_ = 0;
    Handled();
}

void vtkInteractorStyleKelmar::OnTimer()
{
    if (!Interactor || timerId_ < 0 || firedTimerId_ != timerId_) return;
    timerCommand_->SetAbortFlag(1);
    if (!universe_ || (universe_->GetOptions() & Universe::kPause)) return;
    for (int i = 0; i < stepsPerTick_; ++i) StepOnce();
    RenderWindow();
}

void vtkInteractorStyleKelmar::OnEnter()
{
    if (step_) StartStepping(periodMs_);
}

void vtkInteractorStyleKelmar::OnLeave()
{
    if (step_ && !stepOutside_) StopStepping();
}

} // namespace kelmar
