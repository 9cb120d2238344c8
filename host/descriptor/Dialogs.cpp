// Dialog texts.
#include "descriptor/Dialogs.h"

namespace kelmar {

#define KELMAR_MATERIALS "material: %0:1:0:10c%lmetal|glass|plastic|wood|rubber|user|none %n "
#define KELMAR_SCENE_NAME "%0:1:scene:20s%lscene~name %n "

const char kDialogButtons[] = " %[%0:1:0:10d %l`Cancel%d%l`Ok%]%H ";
const char kDialogNone[] = "";
const char kDialogUniverse[] = " create universe %n %0:1:100:8i%lmax.~dynamic~objects %n "
                               "%0:1:100:8i%lmax.~dynamic~constraints %n %0:1:100:8i%lmax.~collision~objects %n "
                               "%0:1:200:8i%lmax.~collision~pairs %n";
const char kDialogScene[] = " load scene %n %0:1:universe:20s%luniverse~name %n %0:1:.:30D%ldirectory %n "
                            "%0:1::30F%l*.px %n %0:16:1,0,0,0,0,1,0,0,0,0,1,0,0,0,0,1:6m%lbase~transform %n "
                            "%0:1:1.0:8f%lscale~factor %n %0:1::30t%lvariables~(varname~=~value) %n";
const char kDialogSolidRef[] = " reference solid %n " KELMAR_SCENE_NAME "%0:1::20s%lsolid~name %n";
const char kDialogJointRef[] = " reference joint %n " KELMAR_SCENE_NAME "%0:1::20s%ljoint~name %n "
                               "joint type: %0:1:0:16c%lhinge|prismatic|ball-and-socket|spring|rpro~joint %n";
const char kDialogBox[] = " create box %n " KELMAR_SCENE_NAME "%0:3:1:8f%lsize %n " KELMAR_MATERIALS
                          "%0:1:0:22b%lfrozen %n";
const char kDialogSphere[] = " create sphere %n " KELMAR_SCENE_NAME "%0:1:1:8f%lradius %n " KELMAR_MATERIALS
                             "%0:1:0:22b%lfrozen %n";
const char kDialogCylinder[] = " create cylinder %n " KELMAR_SCENE_NAME "%0:1:1:8f%lradius %n %0:1:2:8f%lheight %n "
                               "%0:1::20s%lcylinder~name~in~scene %n " KELMAR_MATERIALS "%0:1:0:22b%lfrozen %n";
const char kDialogRobot[] = " create robot %n " KELMAR_SCENE_NAME "%0:1::20s%lbasis~joint %n "
                            "%0:1::20s%lbasis~solid %n %0:1:1000:8i%lmaximum~depth %n";
const char kDialogRobotRef[] = " reference robot %n " KELMAR_SCENE_NAME "%0:1::20s%lrobot~name %n";

const char kDialogCamera[] = " create camera %n " KELMAR_SCENE_NAME "%0:1::20s%lsolid~name %n "
                             "%0:2:400,300:8i%limage~size %n";
const char kDialogCameraRef[] = " reference camera %n " KELMAR_SCENE_NAME "%0:1::20s%lcamera~name %n";
const char kDialogCamHead[] = " create camera head %n " KELMAR_SCENE_NAME;
const char kDialogCamHeadRef[] = " reference camera head %n " KELMAR_SCENE_NAME "%0:1::20s%lcamera~head~name %n";
const char kDialogVtkViewer[] = " create VTK viewer %n %0:1:universe:20s%luniverse~name %n "
                                "%0:1::20s%lrenderer~unit~name %n";
const char kDialogSetOptions[] = " toggle universe options %n %0:1:1:22b%lshow~graphic~objects %n "
                                 "%0:1:1:22b%lshow~textures %n %0:1:0:22b%ldraw~wireframes %n "
                                 "%0:1:0:22b%lcull~back~faces %n %0:1:0:22b%lpause %n "
                                 "%0:1:1:22b%lconstant~friction|pyramid~friction %n "
                                 "%0:1:0:22b%lKelmar~ScaledBox %n";
const char kDialogSetGravity[] = " set gravity %n %0:3:0,0,-1:8f%lgravity %n";
const char kDialogSetTimeStep[] = " set time step %n %0:1:0.05:8f%ltime~step %n";
const unsigned int kOptionsDialogBits[7] = {1, 2, 16, 32, 64, 4, 8};

#undef KELMAR_MATERIALS
#undef KELMAR_SCENE_NAME

} // namespace kelmar
