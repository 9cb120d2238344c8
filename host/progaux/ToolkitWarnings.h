// The toolkit's warnings as host diagnostics.
#ifndef KELMAR_HOST_TOOLKITWARNINGS_H
#define KELMAR_HOST_TOOLKITWARNINGS_H

namespace kelmar {

// From now on every warning of the toolkit, of any level, reaches the
// host's diagnostics as a warning (repeats of one kind still cut after 20).
void ShowToolkitWarningsInHost();

} // namespace kelmar

#endif
