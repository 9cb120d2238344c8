// The module descriptor the host reads: the version record, the folder
// "kelmar" and its icons, each with its creation and drawing functions,
// dialog and button row. Icons appear in the palette in this order.
#include <dfx/dfx.h>

#include "descriptor/Dialogs.h"
#include "units/Units.h"

using namespace kelmar;

extern "C" {

// ---- Drawing: a caption under a glyph ----
void _fun2_universe(DfxIconCanvas *c)
{
    dfx_icon_circle(c, 16, 16, 14);
    dfx_icon_caption(c, "universe");
}

void _fun2_scene(DfxIconCanvas *c)
{
    dfx_icon_box(c, 2, 2, 29, 29);
    dfx_icon_circle(c, 16, 16, 6);
    dfx_icon_caption(c, "scene");
}

void _fun2_solid_ref(DfxIconCanvas *c)
{
    dfx_icon_box(c, 8, 8, 23, 23);
    dfx_icon_caption(c, "solid");
}

void _fun2_world_to_local(DfxIconCanvas *c)
{
    dfx_icon_box(c, 2, 12, 13, 19);
    dfx_icon_circle(c, 24, 16, 5);
    dfx_icon_caption(c, "w->l");
}

void _fun2_local_to_world(DfxIconCanvas *c)
{
    dfx_icon_circle(c, 8, 16, 5);
    dfx_icon_box(c, 18, 12, 29, 19);
    dfx_icon_caption(c, "l->w");
}

void _fun2_joint_ref(DfxIconCanvas *c)
{
    dfx_icon_box(c, 2, 12, 12, 19);
    dfx_icon_circle(c, 16, 16, 3);
    dfx_icon_box(c, 19, 12, 29, 19);
    dfx_icon_caption(c, "joint");
}

void _fun2_box(DfxIconCanvas *c)
{
    dfx_icon_box(c, 4, 4, 27, 27);
    dfx_icon_caption(c, "box");
}

void _fun2_sphere(DfxIconCanvas *c)
{
    dfx_icon_circle(c, 16, 16, 12);
    dfx_icon_caption(c, "sphere");
}

void _fun2_cylinder(DfxIconCanvas *c)
{
    dfx_icon_box(c, 8, 4, 23, 27);
    dfx_icon_caption(c, "cylinder");
}

void _fun2_robot(DfxIconCanvas *c)
{
    dfx_icon_box(c, 4, 22, 27, 29);
    dfx_icon_box(c, 13, 6, 18, 22);
    dfx_icon_caption(c, "robot");
}

void _fun2_robot_ref(DfxIconCanvas *c)
{
    dfx_icon_box(c, 4, 22, 27, 29);
    dfx_icon_box(c, 13, 6, 18, 22);
    dfx_icon_caption(c, "robot ref");
}

void _fun2_ContactIt(DfxIconCanvas *c)
{
    dfx_icon_box(c, 2, 14, 29, 17);
    dfx_icon_circle(c, 16, 10, 4);
    dfx_icon_caption(c, "ContactIt");
}

void _fun2_camera(DfxIconCanvas *c)
{
    dfx_icon_box(c, 4, 10, 21, 23);
    dfx_icon_circle(c, 25, 16, 4);
    dfx_icon_caption(c, "camera");
}

void _fun2_camera_ref(DfxIconCanvas *c)
{
    dfx_icon_box(c, 4, 10, 21, 23);
    dfx_icon_circle(c, 25, 16, 4);
    dfx_icon_caption(c, "camera ref");
}

void _fun2_CamHead(DfxIconCanvas *c)
{
    dfx_icon_box(c, 6, 18, 25, 27);
    dfx_icon_circle(c, 10, 10, 5);
    dfx_icon_circle(c, 22, 10, 5);
    dfx_icon_caption(c, "CamHead");
}

void _fun2_CamHead_ref(DfxIconCanvas *c)
{
    dfx_icon_box(c, 6, 18, 25, 27);
    dfx_icon_circle(c, 10, 10, 5);
    dfx_icon_circle(c, 22, 10, 5);
    dfx_icon_caption(c, "CamHead ref");
}

void _fun2_vtkViewer(DfxIconCanvas *c)
{
    dfx_icon_box(c, 2, 4, 29, 23);
    dfx_icon_circle(c, 16, 13, 5);
    dfx_icon_caption(c, "vtkViewer");
}

void _fun2_grasp(DfxIconCanvas *c)
{
    dfx_icon_circle(c, 16, 16, 7);
    dfx_icon_box(c, 2, 12, 9, 19);
    dfx_icon_box(c, 23, 12, 29, 19);
    dfx_icon_caption(c, "grasp");
}

void _fun2_nullspace(DfxIconCanvas *c)
{
    dfx_icon_box(c, 4, 4, 27, 27);
    dfx_icon_circle(c, 16, 16, 2);
    dfx_icon_caption(c, "nullspace");
}

// ---- Icon definitions ----
#define KELMAR_ICON(symbol, label, dialog)                                                                           \
    extern const DfxIconDef ICONDEF_##symbol = {_fun1_##symbol, _fun2_##symbol, dialog,                              \
                                                kDialogButtons, label,          "kelmar.so"};

KELMAR_ICON(universe, "universe", kDialogUniverse)
KELMAR_ICON(scene, "scene", kDialogScene)
KELMAR_ICON(solid_ref, "solid|ref", kDialogSolidRef)
KELMAR_ICON(world_to_local, "world_to_local", kDialogNone)
KELMAR_ICON(local_to_world, "local_to_world", kDialogNone)
KELMAR_ICON(joint_ref, "joint|ref", kDialogJointRef)
KELMAR_ICON(box, "box", kDialogBox)
KELMAR_ICON(sphere, "sphere", kDialogSphere)
KELMAR_ICON(cylinder, "cylinder", kDialogCylinder)
KELMAR_ICON(robot, "robot", kDialogRobot)
KELMAR_ICON(robot_ref, "robot|ref", kDialogRobotRef)
KELMAR_ICON(ContactIt, "ContactIt", kDialogNone)
KELMAR_ICON(camera, "camera", kDialogCamera)
KELMAR_ICON(camera_ref, "camera|ref", kDialogCameraRef)
KELMAR_ICON(CamHead, "CamHead", kDialogCamHead)
KELMAR_ICON(CamHead_ref, "CamHead|ref", kDialogCamHeadRef)
KELMAR_ICON(vtkViewer, "vtkViewer", kDialogVtkViewer)
KELMAR_ICON(grasp, "grasp", kDialogNone)
KELMAR_ICON(nullspace, "nullspace", kDialogNone)

#undef KELMAR_ICON

extern const DfxIconEntry gasIconsOfFolder_kelmar[] = {{"kelmar", "universe", &ICONDEF_universe},
                                                       {"kelmar", "scene", &ICONDEF_scene},
                                                       {"kelmar", "solid|ref", &ICONDEF_solid_ref},
                                                       {"kelmar", "world_to_local", &ICONDEF_world_to_local},
                                                       {"kelmar", "local_to_world", &ICONDEF_local_to_world},
                                                       {"kelmar", "joint|ref", &ICONDEF_joint_ref},
                                                       {"kelmar", "box", &ICONDEF_box},
                                                       {"kelmar", "sphere", &ICONDEF_sphere},
                                                       {"kelmar", "cylinder", &ICONDEF_cylinder},
                                                       {"kelmar", "robot", &ICONDEF_robot},
                                                       {"kelmar", "robot|ref", &ICONDEF_robot_ref},
                                                       {"kelmar", "ContactIt", &ICONDEF_ContactIt},
                                                       {"kelmar", "camera", &ICONDEF_camera},
                                                       {"kelmar", "camera|ref", &ICONDEF_camera_ref},
                                                       {"kelmar", "CamHead", &ICONDEF_CamHead},
                                                       {"kelmar", "CamHead|ref", &ICONDEF_CamHead_ref},
                                                       {"kelmar", "vtkViewer", &ICONDEF_vtkViewer},
                                                       {"kelmar", "grasp", &ICONDEF_grasp},
                                                       {"kelmar", "nullspace", &ICONDEF_nullspace},
                                                       {"", "", nullptr}};

extern const DfxFolder gsFolder_kelmar = {"kelmar", gasIconsOfFolder_kelmar};

extern const DfxVersionRecord Pax_V_of_kelmar = {dfx_version_text, dfx_version_text};

} // extern "C"
