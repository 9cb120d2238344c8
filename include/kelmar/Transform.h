// Transform helpers of the robot layer (row-vector TMs: rows 0..2 the axes,
// row 3 the translation).
#ifndef KELMAR_TRANSFORM_H
#define KELMAR_TRANSFORM_H

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
// Shortest text of a real that reads back to the same double.
const char *FormatReal(double value, char *buffer);

} // namespace kelmar

#endif
