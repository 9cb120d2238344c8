// The one framework record made by CdxInit. Private to the collision library.
#ifndef KELMAR_COLLISION_CDXFRAMEWORKRECORD_H
#define KELMAR_COLLISION_CDXFRAMEWORKRECORD_H

#include <kelmar/CdxFrame.h>
#include <kelmar/PxMemory.h>

struct CdxTermActionNode {
    CdxTermAction action;
    CdxTermActionNode *next;
};

struct CdxFramework {
    CdxTermActionNode *termActions; // newest first
    PxPool modelPool;               // CdxModel records
    PxReal defaultContactTolerance; // length
    const char *versionString;
};

// Null outside CdxInit..CdxTerm.
extern CdxFramework *gCdxFramework;

#endif
