/* Every umbrella header must compile as C, and a C program can run the
 * toolkit: a ball dropped on a plane comes to rest on it. */
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
#include <stdio.h>
#include <string.h>

int main(void)
{
    SbxUniverseSizes sizes = {10, 40, 8, 10, 20, 1};
    SbxUniverseID universe;
    PxMatrix4 groundPose;
    CdxGeometryID plane, ball;
    CdxModelID ground, body;
    PxVector3 position;
    int i;
    if (strcmp(PxToolkitVersionString(), "2.1.(build 655)") != 0) return 1;
    universe = SbxUniverseCreate(sizes);
    if (!universe) return 2;
    RbdWorldSetGravity(SbxUniverseGetWorld(universe), 0, 0, -9.81);
    PxM4Identity(groundPose);
    plane = CdxPlaneCreate();
    ball = CdxSphereCreate(0.1);
    ground = SbxFixedModelCreate(universe, plane, &groundPose);
    body = SbxModelAndBodyCreate(universe, ball, 1000.0);
    RbdBodySetPosition(CdxModelGetBody(body), 0, 0, 0.5);
    for (i = 0; i < 200; ++i) SbxUniverseStep(universe, 0.01);
    RbdBodyGetPosition(CdxModelGetBody(body), position);
    SbxModelDestroy(universe, body);
    SbxFixedModelDestroy(universe, ground);
    CdxGeometryDestroy(ball);
    CdxGeometryDestroy(plane);
    SbxUniverseDestroy(universe);
    printf("C: ball rests at z = %g\n", position[2]);
    return position[2] > 0.09 && position[2] < 0.11 ? 0 : 3;
}
