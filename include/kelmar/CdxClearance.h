/* How far two models certainly stand apart, from the hulls of their parts:
 * what a caller may let them move before a pair test could find a touch. */
#ifndef KELMAR_CDXCLEARANCE_H
#define KELMAR_CDXCLEARANCE_H

#include "CdxTypes.h"

PX_EXTERN_C_BEGIN

/* A lower bound on the gap between the two models beyond their summed
 * contact tolerances. Each model is a sphere, cylinder or box, or a
 * composite of such elements (placed at its transform first); each part is
 * held in the points within its radius of a segment along its z axis
 * (a box in its bounding sphere), and the bound is the least gap between
 * two parts' hulls less the two parts' contact tolerances. Negative when
 * the hulls come that close; -DBL_MAX for models of other kinds, nested
 * composites, or a model without a transform. */
PxReal CdxHullClearance(CdxModelID model1, CdxModelID model2);

PX_EXTERN_C_END

#endif
