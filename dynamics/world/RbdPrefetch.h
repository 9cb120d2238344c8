// Reading ahead in the step's walks over bodies and constraints. An
// island's records lie scattered over the world's pools, in the order they
// were created, while the step walks them in island order; each walk reads
// a few fields of each record, and waiting for each record's cache lines in
// turn costs more than the work done on them. Asking for the lines of the
// record a few places ahead lets those waits overlap. A hint only: nothing
// is read or written, so results never depend on it.
#ifndef KELMAR_DYNAMICS_RBDPREFETCH_H
#define KELMAR_DYNAMICS_RBDPREFETCH_H

#include <stddef.h>
#include "world/RbdInternal.h"

// How many records ahead the walks ask for: far enough for a line to
// arrive from memory while the records between are handled, near enough
// for the lines of the records between to stay in the first-level cache.
const int32_t kRbdPrefetchAhead = 4;

// Inlined always: a helper left out of line holds nothing but prefetches,
// counts as free of effects, and its calls are dropped.
#define RBD_PREFETCH_INLINE inline __attribute__((always_inline))

// The cache lines of p[from, to): one prefetch every 64 bytes and one at
// the last byte. With constant bounds the loop unrolls into one
// instruction per line (at most one line asked for twice); lining the
// addresses up first would keep a loop.
RBD_PREFETCH_INLINE void RbdPrefetchRange(const void *p, size_t from, size_t to)
{
    const char *base = static_cast<const char *>(p);
    for (size_t offset = from; offset < to; offset += 64) __builtin_prefetch(base + offset);
    __builtin_prefetch(base + to - 1);
}

// What the row builders and the row list read and write of a constraint:
// the record up to the end of its union. The fields after it are joints'
// own (a joint's row builder reads them as it goes).
RBD_PREFETCH_INLINE void RbdPrefetchConstraint(const RbdBaseConstraint *c)
{
    RbdPrefetchRange(c, 0, offsetof(RbdBaseConstraint, data) + sizeof(c->data));
}

// In a walk over count constraints, at the k-th: the one kRbdPrefetchAhead on.
RBD_PREFETCH_INLINE void RbdPrefetchConstraintAhead(RbdBaseConstraint *const *constraints, int32_t k, int32_t count)
{
    if (k + kRbdPrefetchAhead < count) RbdPrefetchConstraint(constraints[k + kRbdPrefetchAhead]);
}

// In a walk over count constraints building their rows, at the k-th: the
// constraint kRbdPrefetchAhead on, and in a large island the bodies'
// centre-of-mass positions of the one half as far on, read through its
// record (asked for two records before), and the line with their island
// numbers (the row list's body index of each side). A contact's arms start
// from those positions: they sit in the body records, which lie in another
// order than the island's constraints.
// An island of this few constraints finds its bodies in the cache from the
// last step: reading ahead would only cost instructions.
const int32_t kRbdFewConstraints = 64;

RBD_PREFETCH_INLINE void RbdPrefetchRowsAhead(RbdBaseConstraint *const *constraints, int32_t k, int32_t count)
{
    RbdPrefetchConstraintAhead(constraints, k, count);
    const int32_t near = kRbdPrefetchAhead / 2;
    if (count <= kRbdFewConstraints || k + near >= count) return;
    const RbdBaseConstraint *c = constraints[k + near];
    for (int i = 0; i < 2; ++i) {
        if (c->comTransform[i]) __builtin_prefetch(c->comTransform[i][3]);
        if (c->body[i]) __builtin_prefetch(&c->body[i]->partitionIndex);
    }
}

// In a walk over count bodies' solver records, at the k-th: the whole
// record of the one kRbdPrefetchAhead on (the per-body passes of a solve
// each read or write most of it).
RBD_PREFETCH_INLINE void RbdPrefetchSolverBodyAhead(RbdLcsBody *const *bodies, int32_t k, int32_t count)
{
    if (k + kRbdPrefetchAhead < count) RbdPrefetchRange(bodies[k + kRbdPrefetchAhead], 0, sizeof(RbdLcsBody));
}

#endif
