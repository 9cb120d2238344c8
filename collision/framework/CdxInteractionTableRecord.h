// The interaction table and the per-type line-segment functions. Private to
// the collision library.
#ifndef KELMAR_COLLISION_CDXINTERACTIONTABLERECORD_H
#define KELMAR_COLLISION_CDXINTERACTIONTABLERECORD_H

#include <kelmar/CdxInteractionTable.h>

struct CdxInteractionTable {
    int typeCapacity;                     // N
    CdxInteractionTableElement *elements; // N x N, entry (a, b) at a + b N
    CdxLineSegIntersectFn *lineSegFns;    // N
    CdxInteractions none;                 // what a pair of unregistered types gets
};

extern CdxInteractionTable gCdxInteractionTable;

// All entries zero, all line-segment functions null (CdxInit); 0 when
// memory is short.
int CdxInteractionTableInit(int typeCapacity);
// Room for typeCapacity types, every entry kept for its pair of types; 0
// (table unchanged) when memory is short. Never shrinks.
int CdxInteractionTableGrow(int typeCapacity);
void CdxInteractionTableTerm(void);

#endif
