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
#include <stdint.h>
#include "world/RbdInternal.h"

// How many records ahead the walks ask for: far enough for a line to
// arrive from memory while the records between are handled, near enough
// for the lines of the records between to stay in the first-level cache.
const int32_t kRbdPrefetchAhead = 4;

// Inlined always: a helper left out of line holds nothing but prefetches,
// counts as free of effects, and its calls are dropped.
#define RBD_PREFETCH_INLINE inline __attribute__((always_inline))

// The cache lines of p[from, to).
RBD_PREFETCH_INLINE void RbdPrefetchRange(const void *p, size_t from, size_t to)
{
    const uintptr_t end = reinterpret_cast<uintptr_t>(p) + to;
    for (uintptr_t line = (reinterpret_cast<uintptr_t>(p) + from) & ~uintptr_t(63); line < end; line += 64)
        __builtin_prefetch(reinterpret_cast<const void *>(line));
}

// What the row builders and the row list read and write of a constraint:
// all but the attachment frames, which the contacts' rows do not use (a
// joint's row builder reads them as it goes).
RBD_PREFETCH_INLINE void RbdPrefetchConstraint(const RbdBaseConstraint *c)
{
    RbdPrefetchRange(c, 0, offsetof(RbdBaseConstraint, attachment));
    RbdPrefetchRange(c, offsetof(RbdBaseConstraint, solverBody), sizeof(RbdBaseConstraint));
}

// In a walk over count constraints, at the k-th: the one kRbdPrefetchAhead on.
RBD_PREFETCH_INLINE void RbdPrefetchConstraintAhead(RbdBaseConstraint *const *constraints, int32_t k, int32_t count)
{
    if (k + kRbdPrefetchAhead < count) RbdPrefetchConstraint(constraints[k + kRbdPrefetchAhead]);
}

// In a walk over count bodies' solver records, at the k-th: the whole
// record of the one kRbdPrefetchAhead on (the per-body passes of a solve
// each read or write most of it).
RBD_PREFETCH_INLINE void RbdPrefetchSolverBodyAhead(RbdLcsBody *const *bodies, int32_t k, int32_t count)
{
    if (k + kRbdPrefetchAhead < count) RbdPrefetchRange(bodies[k + kRbdPrefetchAhead], 0, sizeof(RbdLcsBody));
}

#endif
