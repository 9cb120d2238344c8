/* Matrix, transform and quaternion operations. Output pointers come first;
 * inputs and outputs may not alias unless stated. */
#ifndef KELMAR_PXMATH_H
#define KELMAR_PXMATH_H

#include "PxTypes.h"

PX_EXTERN_C_BEGIN

/* out = a o b (b applied first); in storage terms out = b * a. Both are
 * transforms: column 3 is taken to be 0, 0, 0, 1 and written so. */
void PxMatrix4TMCompound(PxMatrix4 out, const PxMatrix4 a, const PxMatrix4 b);
/* out = a o b^-1. */
void PxMatrix4TMCompoundInverseSecond(PxMatrix4 out, const PxMatrix4 a, const PxMatrix4 b);
/* Rotation block of a o b^-1 only; out's translation is left as it was. */
void PxMatrix4TMCompoundRotationInverseSecond(PxMatrix4 out, const PxMatrix4 a, const PxMatrix4 b);
void PxMatrix4TMInvert(PxMatrix4 tm); /* in place */
void PxMatrix4TMGetEulerAngles(const PxMatrix4 tm, PxVector3 angles);
/* Predicted pose after time h (s) at linear velocity v (m/s) and angular
 * velocity w (rad/s), both in the parent frame: t + h v, and the frame turned
 * by h|w| about w, as PxQuaternionFiniteRotation turns the TM's quaternion.
 * Below tolerance (for h or |w|) the rotation is copied. */
void PxMatrix4TMUpdateFromVelocities(PxMatrix4 out, PxReal tolerance, PxReal h, const PxVector3 v, const PxVector3 w,
                                     const PxMatrix4 tm);
int PxMatrix4IsIdentity(const PxMatrix4 m, PxReal tol);
int PxMatrix4IsTM(const PxMatrix4 tm, PxReal tol);

int PxMatrix3Invert(PxMatrix3 m); /* in place; 0 and unchanged when |det| < 1e-12 */
/* Inverse of a symmetric 3x3 (an inertia tensor) into three rows of four. */
void PxMatrix3InvertTo3x4(const PxMatrix3 m, PxReal row0[4], PxReal row1[4], PxReal row2[4]);
void PxMatrix3MakeRotationX(PxMatrix3 m, PxReal angle);
void PxMatrix3MakeRotationY(PxMatrix3 m, PxReal angle);
void PxMatrix3MakeRotationZ(PxMatrix3 m, PxReal angle);
void PxMatrix3FromEulerAngles(PxMatrix3 m, PxReal a, PxReal b, PxReal c);
void PxMatrix3GetEulerAngles(const PxMatrix3 m, PxVector3 angles);
int PxMatrix3IsIdentity(const PxMatrix3 m, PxReal tol);
int PxMatrix3IsValidOrientationMatrix(const PxMatrix3 m, PxReal tol);

void PxQuaternionFromTM(PxQuaternion q, const PxMatrix4 tm);
/* Matrix rows of the TM whose quaternion is q (the inverse of PxQuaternionFromTM). */
void PxQuaternionToMatrix3(PxMatrix3 m, const PxQuaternion q);
void PxQuaternionFiniteRotation(PxQuaternion q, const PxVector3 w, PxReal h); /* in place */
/* The shortest turn taking unit direction a onto unit direction b. */
void PxQuaternionForRotation(PxQuaternion q, const PxVector3 a, const PxVector3 b);
void PxQuaternionSlerp(PxQuaternion out, const PxQuaternion q0, const PxQuaternion q1, PxReal t);

/* Grows a packed upper-triangular table of elementSize-byte entries from
 * oldN to newN sides; returns the new table (old freed) or null (old kept). */
void *PxSymUpperDiagonalResize(int newN, int oldN, int elementSize, void *old);

void PxHSVtoRGB(float h, float s, float v, float rgb[3]);

PX_EXTERN_C_END

#endif
