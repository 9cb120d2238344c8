// The toolkit's version string.
#include "kelmar/PxMisc.h"

const char *PxToolkitVersionString(void)
{
    return "2.1.(build 655)";
}
