// Every umbrella header must compile as C++ and link through the package.
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
#include <cstring>

int main()
{
    PxPool pool;
    if (!PxPoolInit(&pool, 2, 16, 0)) return 1;
    void *a = PxPoolGetStruct(&pool);
    PxPoolTerm(&pool);
    return a != nullptr && std::strcmp(PxToolkitVersionString(), "2.1.(build 655)") == 0 ? 0 : 1;
}
