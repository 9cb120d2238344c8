// Writing one geometry element of the CDX section.
#ifndef KELMAR_FILEFORMAT_CDXSAVEGEOMETRY_H
#define KELMAR_FILEFORMAT_CDXSAVEGEOMETRY_H

#include "PxFileInternal.h"

// The element of the geometry's type; types the writer does not know go to
// the context's geometry writers. 1 on success (an unknown type is skipped
// with a warning).
int PxfWriteGeometry(PxSaveContext *context, const PxSaveEntry *entry, PxStream *stream);
// TRIANGLE_MESH: the counts, then every vertex (V) and triangle (T).
int PxfWriteTriangleMesh(CdxGeometryID mesh, const char *id, PxStream *stream);

#endif
