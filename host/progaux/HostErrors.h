// The module's host exceptions: identifiers and message formats, in the
// order of their tables, and the checks every entry makes before it
// touches the robot layer.
#ifndef KELMAR_HOST_HOSTERRORS_H
#define KELMAR_HOST_HOSTERRORS_H

namespace kelmar {

enum HostExceptionId {
    kBadArgValue,
    kBadArgIndex,
    kBadArgObject,
    kBadArgArray,
    kBadArgArrayDim,
    kBadOpDiv0,
    kBadOpIndex,
    kBadOpArray,
    kBadOpObject,
    kBadObjSolid,
    kBadObjJoint,
    kBadObjRobot,
    kBadObjContact,
    kBadObjCamera,
    kBadObjCamhead,
    kBadArgMaterial,
    kNumHostExceptionIds
};
extern const char *const kHostExceptionIds[kNumHostExceptionIds];

enum HostMessage {
    kSolidNotResolved,
    kJointNotResolved,
    kRobotNotResolved,
    kCameraNotResolved,
    kCamheadNotResolved,
    kContactInvalid,
    kArrayDim,
    kTransformInvalid,
    kIndexOutOfRange,
    kNoController,
    kWrongControlParams,
    kInvalidMaterial,
    kTimeStepInvalid,
    kNumHostMessages
};
extern const char *const kHostMessages[kNumHostMessages];

// Raises the exception with the message's format and the arguments.
[[noreturn]] void Raise(HostExceptionId id, HostMessage message, ...);
// "label: dim of array arg #arg must be required" unless count is required.
void RequireDim(const char *label, int arg, int count, int required);
// A time step that is positive and finite (a universe steps by it).
double RequireTimeStep(const char *label, double value);
// A 16-float transform that is rigid within 1e-7, into reals.
void RequireTM(const char *label, const float *values, double tm[4][4]);

} // namespace kelmar

#endif
