// Every umbrella header must compile as C++ and link through the package:
// an outside program drops a ball on a plane through the installed libraries.
#include <kelmar/Px.h>
#include <kelmar/Rbd.h>
#include <kelmar/Cdx.h>
#include <kelmar/Sbx.h>
#if __has_include(<kelmar/PxFile.h>)
#include <kelmar/PxFile.h>
#endif
#include <cstdio>
#include <cstring>

int main()
{
    if (std::strcmp(PxToolkitVersionString(), "2.1.(build 655)") != 0) return 1;

    SbxUniverseSizes sizes = {10, 40, 8, 10, 20, 1};
    SbxUniverseID universe = SbxUniverseCreate(sizes);
    if (!universe) return 2;
    RbdWorldSetGravity(SbxUniverseGetWorld(universe), 0, 0, -9.81);
    PxMatrix4 groundPose;
    PxM4Identity(groundPose);
    CdxGeometryID plane = CdxPlaneCreate();
    CdxGeometryID ball = CdxSphereCreate(0.1);
    CdxModelID ground = SbxFixedModelCreate(universe, plane, &groundPose);
    CdxModelID body = SbxModelAndBodyCreate(universe, ball, 1000.0);
    RbdBodyID ballBody = CdxModelGetBody(body);
    RbdBodySetPosition(ballBody, 0, 0, 0.5);
    for (int i = 0; i < 200; ++i) SbxUniverseStep(universe, 0.01);
    PxVector3 position;
    RbdBodyGetPosition(ballBody, position);
    SbxModelDestroy(universe, body);
    SbxFixedModelDestroy(universe, ground);
    CdxGeometryDestroy(ball);
    CdxGeometryDestroy(plane);
    SbxUniverseDestroy(universe);
    // After 2 s the ball rests on the plane: its centre one radius up.
    std::printf("ball rests at z = %g\n", position[2]);
    return position[2] > 0.09 && position[2] < 0.11 ? 0 : 3;
}
