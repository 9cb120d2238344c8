// The toolkit writes its warnings to standard error, and only those of
// level 0; a refused value (level 3) or a body frozen because its state
// stopped being finite (level 12) would pass unseen in the host. They go
// to the host's diagnostics instead, after the toolkit's own cut of
// repeated kinds, so that a host program sees them where it sees ours.
#include "progaux/ToolkitWarnings.h"

#include <cstring>

#include <dfx/dfx.h>
#include <kelmar/PxMessage.h>

namespace kelmar {

namespace {

// The toolkit shows a message in pieces (its "PxWarning{12}: " prefix,
// then the text); the host gets it whole, once its line has ended.
char pending[5200];

void ShowInHost(int, const char *text)
{
    std::strncat(pending, text, sizeof pending - std::strlen(pending) - 1);
    const size_t length = std::strlen(pending);
    if (length == 0 || pending[length - 1] != '\n') return;
    dfx_diagnostics(DFX_WARNING, "%s", pending);
    pending[0] = '\0';
}

} // namespace

void ShowToolkitWarningsInHost()
{
    PxWarningLevel = 100;
    PxSetWarningShow(ShowInHost);
}

} // namespace kelmar
