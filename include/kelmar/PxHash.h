/* Chained hash table whose bucket count changes only when asked; each
 * chain is kept sorted by the key comparison. Keys and data are caller
 * pointers. */
#ifndef KELMAR_PXHASH_H
#define KELMAR_PXHASH_H

#include "PxTypes.h"

PX_EXTERN_C_BEGIN

typedef unsigned int (*PxHashFunc)(const void *key, unsigned int size);
typedef int (*PxHashKeyCompareFunc)(const void *a, const void *b);
typedef void (*PxHashFreeFunc)(void *pointer);

typedef struct PxHashNode {
    void *key;
    void *datum;
    struct PxHashNode *next;
} PxHashNode;

typedef struct PxHash {
    unsigned int size; /* buckets: set at creation, changed by PxHashResize */
    int population;
    PxHashFunc hashFunc;
    PxHashKeyCompareFunc keyCompareFunc;
    PxHashFreeFunc keyFreeFunc;   /* may be null */
    PxHashFreeFunc datumFreeFunc; /* may be null */
    PxHashNode **buckets;         /* size chain heads */
    int collisions;               /* non-matching key comparisons made by inserts */
} PxHash;

typedef struct PxHashIterator {
    PxHash *hash;
    PxHashNode *node; /* current node, null before the first call */
    unsigned int bucket;
} PxHashIterator;

/* h = h * 33 + c over the key's bytes (signed char), unsigned 32 bits, mod size. */
unsigned int PxHashString(const void *key, unsigned int size);

PxHash *PxHashCreate(unsigned int size);
void PxHashSetHashFunc(PxHash *hash, PxHashFunc func);
void PxHashSetKeyCompareFunc(PxHash *hash, PxHashKeyCompareFunc func);
void PxHashSetKeyFreeFunc(PxHash *hash, PxHashFreeFunc func);
void PxHashSetDatumFreeFunc(PxHash *hash, PxHashFreeFunc func);
/* Returns the datum now stored under key: the existing one when the key was
 * present (nothing is replaced), the new one otherwise, null on failure. */
void *PxHashInsert(void *key, void *datum, PxHash *hash);
void *PxHashLookup(const void *key, PxHash *hash);
void *PxHashDelete(const void *key, PxHash *hash);
int PxHashPopulation(const PxHash *hash);
void PxHashInitIterator(PxHashIterator *iterator, PxHash *hash);
/* Next datum in bucket order, then key order; null (and a reset iterator) at the end. */
void *PxHashGetDatum(PxHashIterator *iterator);
/* Moves every entry into a new array of size buckets (for a table that
 * outgrew the size it was made with); 1, or 0 with the table unchanged when
 * the size is 0 or too large or memory is short. */
int PxHashResize(PxHash *hash, unsigned int size);
void PxHashReset(PxHash *hash);
void PxHashDestroy(PxHash *hash);

PX_EXTERN_C_END

#endif
