// The viewer's status line in the window's lower left corner: simulated
// time, steps per second (measured over the last second of wall time),
// whether the simulation runs or is paused, and "h: help".
#ifndef KELMAR_VIEWER_VIEWEROVERLAY_H
#define KELMAR_VIEWER_VIEWEROVERLAY_H

#include <string>

#include <vtkNew.h>
#include <vtkTextActor.h>

namespace kelmar {

class ViewerOverlay {
public:
    ViewerOverlay();
    vtkTextActor *GetActor() { return text_; }
    // time: simulated (s); steps: steps done so far; wall: seconds since start.
    void Update(double time, long steps, double wall, bool paused);
    const std::string &GetText() const { return line_; }

private:
    vtkNew<vtkTextActor> text_;
    std::string line_;
    long lastSteps_ = 0;
    double lastWall_ = 0;
    double rate_ = 0; // steps/s
};

} // namespace kelmar

#endif
