// Whether an X display can be opened: VTK aborts the process when its
// window finds none, so a program asks first.
#ifndef KELMAR_VIEWER_DISPLAYCHECK_H
#define KELMAR_VIEWER_DISPLAYCHECK_H

namespace kelmar {

bool DisplayAvailable();

// Asks Mesa for a compatibility-profile context in the windows to come
// (the viewer draws with legacy OpenGL); an override already set stays.
void PreferCompatibilityContext();

} // namespace kelmar

#endif
