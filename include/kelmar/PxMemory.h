/* Allocation hooks, structure pools, scratch chunks and growable arrays. */
#ifndef KELMAR_PXMEMORY_H
#define KELMAR_PXMEMORY_H

#include "PxTypes.h"

PX_EXTERN_C_BEGIN

/* Every toolkit allocation goes through this table; an application may
 * replace the pointers before it makes any toolkit object. */
typedef struct PxMemoryAPIType {
    void *(*create)(size_t size);
    void *(*createZeroed)(size_t size);
    void *(*createAligned)(size_t size, int alignment);
    void (*destroy)(void *pointer);
    void (*destroyAligned)(void *pointer);
    void *(*resize)(void *pointer, size_t size);
} PxMemoryAPIType;

extern PxMemoryAPIType PxMemoryAPI;

/* The defaults behind PxMemoryAPI. */
void *MallocCreate(size_t size);
void *Calloc(size_t size);
/* alignment in bytes; 0 gives the platform's default malloc alignment. */
void *MallocCreateAligned(size_t size, int alignment);
void MallocDestroy(void *pointer);
void MallocDestroyAligned(void *pointer);
void *MallocResize(void *pointer, size_t size); /* size 0: returns null, frees nothing */

/* Long-lived blocks reached at random (record pools, hash tables). From
 * PX_LARGE_BLOCK_BYTES on, under the default table, the block starts on a
 * huge-page boundary and is advised for transparent huge pages where the
 * system has them, so that a few address-translation entries cover it; under
 * a replaced table it comes from createAligned. Smaller blocks come from
 * create (createZeroed when zeroed). The same size goes to
 * PxMemoryDestroyLarge, which tells the two kinds apart by it. */
#define PX_LARGE_BLOCK_BYTES ((size_t)4 << 20)
void *PxMemoryCreateLarge(size_t size, int zeroed);
void PxMemoryDestroyLarge(void *block, size_t size);
/* Bytes of [block, block + size) advised for huge pages: whole 2 MiB pages
 * inside the range; 0 where the system takes no such advice. */
size_t PxMemoryAdviseHugePages(void *block, size_t size);

/* No allocation tracking: these always return 0. */
int PxMemoryCheckGetAllocatedByteCount(void);
int PxMemoryCheckGetAllocatedBlockCount(void);
int PxMemoryCheckMemory(void);

/* Fixed-size structure pool. Blocks grow by
 * newCount = (int)(structCount * growthFactor + 0.5) + growthIncrement. */
typedef struct PxPool {
    int structSize;   /* bytes per structure, >= 4, multiple of alignment */
    int structCount;  /* structures in the newest block */
    const char *name; /* for messages */
    void *blocks;     /* newest block first; header: next, first, end, bytes */
    char *nextFree;   /* bump pointer into the newest block */
    void *freeList;   /* returned structures, linked through their first word */
    float growthFactor;
    int growthIncrement;
    int alignment; /* 0 = none */
    int used;      /* structures handed out and not returned */
} PxPool;

int PxPoolInit(PxPool *pool, int count, int structSize, int alignment);
int PxPoolInitResizable(PxPool *pool, int count, int structSize, int growthIncrement, float growthFactor,
                        int alignment);
void PxPoolSetResizable(PxPool *pool, int growthIncrement, float growthFactor);
void PxPoolSetPoolName(PxPool *pool, const char *name); /* kept, not copied: must outlive the pool */
void *PxPoolGetStruct(PxPool *pool);
void PxPoolPutStruct(PxPool *pool, void *structure);
void PxPoolReset(PxPool *pool);
/* Makes room for count structures in all (handed out ones included)
 * without moving any: one block with what is missing is added, and the
 * unused tail of the newest block goes to the free list. 1, or 0 when
 * memory is short. */
int PxPoolReserve(PxPool *pool, int count);
/* Structures the pool's blocks hold in all. */
int PxPoolGetCapacity(const PxPool *pool);
void PxPoolTerm(PxPool *pool);
int PxPoolGetUsed(const PxPool *pool);

/* Scratch memory that grows on demand (isAuto) or lives in a caller's buffer. */
struct PxChunk;
typedef void (*PxChunkOverflowCB)(struct PxChunk *chunk, void *memory, size_t size, size_t needed);

typedef struct PxChunk {
    void *memory;        /* the allocation */
    char *alignedMemory; /* first aligned byte */
    size_t size;         /* bytes allocated */
    size_t usableSize;   /* bytes from alignedMemory on */
    size_t maxUsed;      /* largest request seen */
    int alignment;
    int isAuto; /* 1 when the chunk owns and may grow its memory */
    PxChunkOverflowCB overflowCallback;
} PxChunk;

void PxChunkInit(PxChunk *chunk);
void PxChunkSetAuto(PxChunk *chunk, size_t size, int alignment);
void PxChunkSetUser(PxChunk *chunk, void *memory, size_t size, int alignment);
void PxChunkSetOverflowCB(PxChunk *chunk, PxChunkOverflowCB callback);
PxChunkOverflowCB PxChunkGetOverflowCB(const PxChunk *chunk);
int PxChunkGetAlignment(const PxChunk *chunk);
size_t PxChunkGetMaxUsed(const PxChunk *chunk);
void *PxChunkGetMem(PxChunk *chunk, size_t bytes);
/* Grows an auto chunk to hold bytes ahead of use, quietly and without
   counting them as used; a caller's chunk is left alone. Returns whether
   the chunk now holds bytes. */
int PxChunkReserve(PxChunk *chunk, size_t bytes);
void PxChunkDestroy(PxChunk *chunk);

/* Growable array of fixed-size elements. */
typedef struct PxArray {
    void *data;
    int size; /* elements in use */
    int capacity;
    int elementSize; /* bytes */
} PxArray;

int PxArrayInit(PxArray *array, int capacity, int elementSize);
void *PxArrayGrow(PxArray *array, int n);
int PxArrayEnsureSize(PxArray *array, int n);
int PxArrayGetSize(const PxArray *array);
int PxArrayGetCapacity(const PxArray *array);
void PxArrayClear(PxArray *array);
void PxArrayTerm(PxArray *array);

PX_EXTERN_C_END

#endif
