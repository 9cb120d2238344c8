// Addressing of the 4-row tiles in which Jacobians are packed: 4 rows x 12
// columns, column by column, so one column of a tile is 4 consecutive reals.
// Columns 0-2 body 0 linear, 3-5 body 0 angular, 6-8 body 1 linear, 9-11
// body 1 angular.
#ifndef KELMAR_DYNAMICS_RBDLCSTILES_H
#define KELMAR_DYNAMICS_RBDLCSTILES_H

#include <stddef.h>
#include <string.h>

namespace lcs {

enum { kTileRows = 4, kTileColumns = 12, kTileSize = kTileRows * kTileColumns };

// Rows and columns are never negative: unsigned arithmetic lets the
// division and remainder become a shift and a mask.
inline size_t tileIndex(int row, int column)
{
    size_t r = static_cast<size_t>(row);
    return r / kTileRows * kTileSize + static_cast<size_t>(column) * kTileRows + r % kTileRows;
}

// Two reals side by side, for two rows (or columns) of a tile at once:
// each lane is computed as it would be on its own, operation for
// operation, so the results are the same as one at a time.
typedef double Pair __attribute__((vector_size(16)));

inline Pair load2(const double *p)
{
    Pair v;
    memcpy(&v, p, sizeof v);
    return v;
}

inline void store2(double *p, Pair v)
{
    memcpy(p, &v, sizeof v);
}

inline Pair splat(double x)
{
    return Pair{x, x};
}

} // namespace lcs

#endif
