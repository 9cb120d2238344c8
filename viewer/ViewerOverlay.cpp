// The status line, rewritten every frame; the rate is refreshed once a
// second so that it can be read.
#include "ViewerOverlay.h"

#include <cstdio>

#include <vtkTextProperty.h>

namespace kelmar {

ViewerOverlay::ViewerOverlay()
{
    text_->SetDisplayPosition(8, 8);
    text_->GetTextProperty()->SetFontSize(14);
    text_->GetTextProperty()->SetColor(0.1, 0.1, 0.1);
}

void ViewerOverlay::Update(double time, long steps, double wall, bool paused)
{
    if (wall - lastWall_ >= 1.0) {
        rate_ = static_cast<double>(steps - lastSteps_) / (wall - lastWall_);
        lastSteps_ = steps;
        lastWall_ = wall;
    }
    char line[128];
    std::snprintf(line, sizeof line, "t = %.2f s   %.0f steps/s   %s   h: help", time, rate_,
                  paused ? "paused" : "running");
    line_ = line;
    text_->SetInput(line);
}

} // namespace kelmar
