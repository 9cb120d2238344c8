// The viewer's interaction style: VTK's style switch (a trackball camera
// by default) with the simulation's mouse and keys on top. Ctrl-drag with
// the left button pulls the solid under the pointer by the universe's
// picking spring, stepping the simulation with every move; keys pause,
// single-step, reset, toggle drawing options and mark solids (the table
// is printed by 'h'). With a step callback the style steps on a repeating
// timer, started when the pointer enters the window and stopped when it
// leaves (or held running with SetStepWhilePointerOutside). Events the
// style handles are kept from the camera style, so that VTK's own keys
// ('q' and 'e' exit, 'w' wireframe, ...) do not act as well.
#ifndef KELMAR_VIEWER_VTKINTERACTORSTYLEKELMAR_H
#define KELMAR_VIEWER_VTKINTERACTORSTYLEKELMAR_H

#include <cstdio>

#include <vtkCallbackCommand.h>
#include <vtkInteractorStyleSwitch.h>
#include <vtkNew.h>

namespace kelmar {

class Universe;

class vtkInteractorStyleKelmar : public vtkInteractorStyleSwitch {
public:
    // The interaction state while a solid is dragged.
    enum { kDragging = 8 };
    // Steps the simulation once (in place of Universe::step).
    using StepCallback = void (*)(void *argument);

    static vtkInteractorStyleKelmar *New();
    vtkTypeMacro(vtkInteractorStyleKelmar, vtkInteractorStyleSwitch);

    void SetInteractor(vtkRenderWindowInteractor *interactor) override;
    void SetUniverse(Universe *universe) { universe_ = universe; }
    Universe *GetUniverse() const { return universe_; }
    void SetStepCallback(StepCallback callback, void *argument);
    void SetStepWhilePointerOutside(bool on) { stepOutside_ = on; }
    // Simulation steps a timer tick makes (at least 1), so that short
    // steps still keep pace with the clock at the frame rate rendering allows.
    void SetStepsPerTick(int steps) { stepsPerTick_ = steps < 1 ? 1 : steps; }
    // Starts or stops the repeating step timer (period in ms).
    void StartStepping(unsigned long periodMs = 10);
    void StopStepping();
    bool IsStepping() const { return timerId_ >= 0; }
    int GetStepTimerId() const { return timerId_; }
    // Where the key list goes (standard output by default).
    void SetHelpStream(FILE *out) { help_ = out; }

    void OnLeftButtonDown() override;
    void OnLeftButtonUp() override;
    void OnMouseMove() override;
    void OnChar() override;
    void OnTimer() override;
    void OnEnter() override;
    void OnLeave() override;

    // The ray through the pointer, from the near to the far clipping
    // plane (cm, world); false when there is none.
    bool GetPickRay(double start[3], double end[3]);
    // One simulation step: the callback, else the universe's own.
    void StepOnce();
    int GetKelmarState() const { return state_; }

protected:
    vtkInteractorStyleKelmar() = default;
    ~vtkInteractorStyleKelmar() override = default;

private:
    vtkInteractorStyleKelmar(const vtkInteractorStyleKelmar &) = delete;
    void operator=(const vtkInteractorStyleKelmar &) = delete;
    // The timer's own observer: it learns which timer fired (X's
    // interactor tells only through the event's data).
    static void TimerFired(vtkObject *, unsigned long, void *self, void *timerId);
    bool HandleKey(int key);
    bool ToggleSolidOption(unsigned int option);
    void MarkSolidUnderPointer();
    void ResetCamera();
    void PrintKeys() const;
    void Handled();
    void RenderWindow();

    Universe *universe_ = nullptr;
    StepCallback step_ = nullptr;
    void *stepArgument_ = nullptr;
    int timerId_ = -1;
    int firedTimerId_ = -1; // the timer of the event being handled
    vtkNew<vtkCallbackCommand> timerCommand_;
    unsigned long periodMs_ = 10;
    bool stepOutside_ = false;
    int stepsPerTick_ = 1;
    int state_ = 0;
    FILE *help_ = stdout;
};

} // namespace kelmar

#endif
