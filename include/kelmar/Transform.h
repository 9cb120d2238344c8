// Transform helpers of the robot layer (row-vector TMs: rows 0..2 the axes,
// row 3 the translation).
#ifndef KELMAR_TRANSFORM_H
#define KELMAR_TRANSFORM_H

#include <kelmar/RbdTypes.h>

namespace kelmar {

// Re-orthonormalises the rotation block (Gram-Schmidt on rows x, y; z = x x y).
void NormalizeTM(double tm[4][4]);
// Normalises a quaternion (w, x, y, z); a zero one becomes the identity.
void NormalizeQuaternion(double q[4]);
// out = a o b (b first: p' = (p b) a... as PxMatrix4TMCompound).
void CompoundTM(double out[4][4], const double a[4][4], const double b[4][4]);
// The frame world (a TM in world coordinates) expressed in the frame
// body: local x body = world, so local = world x body^-1.
void FrameInBody(double local[4][4], const double world[4][4], const double body[4][4]);
// TM from a quaternion and a position.
void TMFromQuaternion(double tm[4][4], const double q[4], const double *position);
bool IsRigidTM(const double tm[4][4], double tolerance);
// Directions and points through a TM (null: unchanged).
void ConvertVector(const double (*tm)[4], const double *v, double *out);
void ConvertPosition(const double (*tm)[4], const double *p, double *out);
// Euler angles (rad, as PxMatrix3FromEulerAngles takes them) and position
// (cm) of a TM, and back.
void EulerAndPosFromTM(const double tm[4][4], double euler[3], double position[3]);
void TMFromEulerAndPos(double tm[4][4], const double euler[3], const double position[3]);
// An orientation q (w, x, y, z), a point or a direction given in tm's frame,
// expressed in the frame tm lives in.
void ApplyTransformToQuaternion(const double tm[4][4], const double q[4], double out[4]);
void ApplyTransformToPos(const double tm[4][4], const double p[3], double out[3]);
void ApplyTransformToAxis(const double tm[4][4], const double axis[3], double out[3]);
// 0 when body is the constraint's first body, 1 when it is its second, else -1.
int GetBodyIndex(RbdConstraintID constraint, RbdBodyID body);

// Shortest text of a real that reads back to the same double.
const char *FormatReal(double value, char *buffer);

} // namespace kelmar

#endif
