// The dialog texts of the module's icons and methods, in the host's dialog
// format (see <dfx/standin.h>): one line per field, the field first, its
// caption after it.
#ifndef KELMAR_HOST_DIALOGS_H
#define KELMAR_HOST_DIALOGS_H

namespace kelmar {

extern const char kDialogButtons[];
extern const char kDialogNone[];
extern const char kDialogUniverse[];
extern const char kDialogScene[];
extern const char kDialogSolidRef[];
extern const char kDialogJointRef[];
extern const char kDialogBox[];
extern const char kDialogSphere[];
extern const char kDialogCylinder[];
extern const char kDialogRobot[];
extern const char kDialogRobotRef[];
extern const char kDialogCamera[];
extern const char kDialogCameraRef[];
extern const char kDialogCamHead[];
extern const char kDialogCamHeadRef[];
extern const char kDialogVtkViewer[];

// Methods of the universe unit.
extern const char kDialogSetOptions[];
extern const char kDialogSetGravity[];
extern const char kDialogSetTimeStep[];
// The universe option bit of each checkbox of kDialogSetOptions, in order.
extern const unsigned int kOptionsDialogBits[7];

} // namespace kelmar

#endif
