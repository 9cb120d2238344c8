// Reading the CDX section: geometries, models and composites, and what
// waits for the end of the section.
#ifndef KELMAR_FILEFORMAT_CDXLOAD_H
#define KELMAR_FILEFORMAT_CDXLOAD_H

#include "PxFileInternal.h"

// What a loaded model reads, owned by its entry of the load context.
struct PxfModelStorage {
    PxMatrix4 transform;  // the model's world transform (fixed models, elements, offsets from bodies)
    PxMatrix4 relative;   // offset from its body, or placement in its composite
    PxVector3 zeroLinear; // velocities of models without bodies: at rest
    PxVector3 zeroAngular;
};

// An element listed by a composite: its ID and placement, until the end of
// the section adds it.
struct PxfElementRef {
    char modelId[PXF_ID_SIZE];
    PxReal relTm[16];
};

// Two models that never interact, with where the file said so.
struct PxfIdPair {
    char ids[2][PXF_ID_SIZE];
    int line, column;
};

// Element functions of GEOMETRIES and MODELS.
int PxfLoadGeometries(PxXMLElement *element);
int PxfLoadModels(PxXMLElement *element);
// Completes the models of the section: elements join their composites,
// mass properties are taken, models join the space, pairs are disabled.
void PxfResolveModels(PxLoadContext *context);

#endif
