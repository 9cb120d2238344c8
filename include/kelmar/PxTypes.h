/* Basic numeric types of the toolkit and the C/C++ linkage macros. */
#ifndef KELMAR_PXTYPES_H
#define KELMAR_PXTYPES_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
#define PX_EXTERN_C_BEGIN extern "C" {
#define PX_EXTERN_C_END }
#else
#define PX_EXTERN_C_BEGIN
#define PX_EXTERN_C_END
#endif

/* Every toolkit quantity is a PxReal unless stated otherwise. */
typedef double PxReal;

typedef PxReal PxVector3[3]; /* x, y, z */
typedef PxReal PxVector4[4];
typedef PxReal PxQuaternion[4]; /* w, x, y, z: scalar first */
typedef PxReal PxMatrix3[3][3]; /* row-major, [i][j] */

/* Row-major 4x4. As a transform (TM): rows 0..2 of the upper-left block are
 * the frame's x, y, z axes in the parent frame, row 3 is the translation,
 * column 3 is (0, 0, 0, 1). Points are row vectors: p' = p R + t. */
typedef PxReal PxMatrix4[4][4];

#endif
