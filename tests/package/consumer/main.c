/* Every umbrella header must compile as C. */
#include <kelmar/Px.h>
#if __has_include(<kelmar/Rbd.h>)
#include <kelmar/Rbd.h>
#endif
#if __has_include(<kelmar/Cdx.h>)
#include <kelmar/Cdx.h>
#endif
#if __has_include(<kelmar/Sbx.h>)
#include <kelmar/Sbx.h>
#endif
#if __has_include(<kelmar/PxFile.h>)
#include <kelmar/PxFile.h>
#endif
#include <string.h>

int main(void)
{
    PxMatrix4 tm;
    PxHash *hash = PxHashCreate(7);
    int ok = hash != 0 && strcmp(PxToolkitVersionString(), "2.1.(build 655)") == 0;
    memset(tm, 0, sizeof tm);
    tm[0][0] = tm[1][1] = tm[2][2] = tm[3][3] = 1.0;
    ok = ok && PxMatrix4IsTM(tm, 1e-14);
    PxHashDestroy(hash);
    return ok ? 0 : 1;
}
