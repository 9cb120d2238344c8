/* A program that calls the universe alone: the libraries the universe's
 * shared library needs (Px, Rbd, Cdx) are not the program's own, and are
 * found beside it in the prefix, not through the program. */
#include <kelmar/Sbx.h>

int main(void)
{
    SbxUniverseSizes sizes = {10, 40, 8, 10, 20, 1};
    SbxUniverseID universe = SbxUniverseCreate(sizes);
    if (!universe) return 1;
    SbxUniverseDestroy(universe);
    return 0;
}
