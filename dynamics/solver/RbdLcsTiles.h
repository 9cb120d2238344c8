// Addressing of the 4-row tiles in which Jacobians are packed: 4 rows x 12
// columns, column by column, so one column of a tile is 4 consecutive reals.
// Columns 0-2 body 0 linear, 3-5 body 0 angular, 6-8 body 1 linear, 9-11
// body 1 angular.
#ifndef KELMAR_DYNAMICS_RBDLCSTILES_H
#define KELMAR_DYNAMICS_RBDLCSTILES_H

#include <stddef.h>

namespace lcs {

enum { kTileRows = 4, kTileColumns = 12, kTileSize = kTileRows * kTileColumns };

// Rows and columns are never negative: unsigned arithmetic lets the
// division and remainder become a shift and a mask.
inline size_t tileIndex(int row, int column)
{
    size_t r = static_cast<size_t>(row);
    return r / kTileRows * kTileSize + static_cast<size_t>(column) * kTileRows + r % kTileRows;
}

} // namespace lcs

#endif
