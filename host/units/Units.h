// The unit functions: each builds one kind of host unit around a host
// object; the icon's creation function reads the dialog and calls it.
#ifndef KELMAR_HOST_UNITS_H
#define KELMAR_HOST_UNITS_H

#include <dfx/dfx.h>

namespace kelmar {

DfxUnit *universe(int nBodies, int nConstraints, int nModels, int nModelPairs, DfxUnit *host, const char *name);
DfxUnit *scene(const char *universeName, const char *fileName, const double transform[4][4], double scale,
               const char *variables, DfxUnit *host, const char *name);

} // namespace kelmar

extern "C" {
DfxUnit *_fun1_universe(DfxUnit *host, const DfxDialog *dialog);
DfxUnit *_fun1_scene(DfxUnit *host, const DfxDialog *dialog);
DfxUnit *_fun1_solid_ref(DfxUnit *host, const DfxDialog *dialog);
DfxUnit *_fun1_world_to_local(DfxUnit *host, const DfxDialog *dialog);
DfxUnit *_fun1_local_to_world(DfxUnit *host, const DfxDialog *dialog);
DfxUnit *_fun1_joint_ref(DfxUnit *host, const DfxDialog *dialog);
DfxUnit *_fun1_box(DfxUnit *host, const DfxDialog *dialog);
DfxUnit *_fun1_sphere(DfxUnit *host, const DfxDialog *dialog);
DfxUnit *_fun1_cylinder(DfxUnit *host, const DfxDialog *dialog);
DfxUnit *_fun1_robot(DfxUnit *host, const DfxDialog *dialog);
DfxUnit *_fun1_robot_ref(DfxUnit *host, const DfxDialog *dialog);
DfxUnit *_fun1_ContactIt(DfxUnit *host, const DfxDialog *dialog);
DfxUnit *_fun1_camera(DfxUnit *host, const DfxDialog *dialog);
DfxUnit *_fun1_camera_ref(DfxUnit *host, const DfxDialog *dialog);
DfxUnit *_fun1_CamHead(DfxUnit *host, const DfxDialog *dialog);
DfxUnit *_fun1_CamHead_ref(DfxUnit *host, const DfxDialog *dialog);
DfxUnit *_fun1_vtkViewer(DfxUnit *host, const DfxDialog *dialog);
DfxUnit *_fun1_grasp(DfxUnit *host, const DfxDialog *dialog);
DfxUnit *_fun1_nullspace(DfxUnit *host, const DfxDialog *dialog);
}

#endif
