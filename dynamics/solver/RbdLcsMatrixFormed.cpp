// Copies of a formed and factored matrix, for an island whose matrix has
// not moved since the step that formed it.
#include <string.h>
#include "solver/RbdLcsBkChol.h"
#include "solver/RbdLcsMatrix.h"
#include "solver/RbdLcsVbChol.h"

namespace lcs {

namespace {

size_t bytesOf(size_t reals)
{
    return sizeof(PxReal) * reals;
}

} // namespace

// The scheme's storage, then the pivots of the whole factor (n).
size_t LCPMatrix::formedReals() const
{
    size_t scheme = storageReals();
    return scheme > 0 ? scheme + static_cast<size_t>(n_) : 0;
}

void LCPMatrix::saveFormed(PxReal *out) const
{
    size_t scheme = storageReals();
    saveStorage(out);
    memcpy(out + scheme, pivot_, bytesOf(static_cast<size_t>(n_)));
}

// The state factorize leaves: the whole factor in use, formed, no column of
// A^-1 solved, no held factor.
void LCPMatrix::useFormed(PxReal *formed, const int32_t *keptRowOf)
{
    size_t scheme = storageReals();
    lendStorage(formed);
    const PxReal *pivots = formed + scheme;
    if (keptRowOf) {
        // pos_ still holds the kept rows' positions: the order is that of
        // the layout, which a renumbering of equal constraints keeps.
        int32_t *position = activePosition_; // scratch between solves
        for (int i = 0; i < n_; ++i) position[i] = pos_[keptRowOf[i]];
        for (int i = 0; i < n_; ++i) {
            pos_[i] = position[i];
            rowAt_[position[i]] = i;
            pivot_[i] = pivots[keptRowOf[i]];
            identityOrder_ = identityOrder_ && position[i] == i;
        }
    } else {
        memcpy(pivot_, pivots, bytesOf(static_cast<size_t>(n_)));
    }
    kept_ = KeptJacobian();
    // Straight after allocate the whole factor's tables are in place already.
    if (keptRowOf || compact_ || corrected_ || factorSize_ != n_)
        selectWholeFactor();
    else
        useWholeFactor();
    clearInverse();
    pending_ = 0;
    heldFactoredCount_ = -1;
    wholeFactored_ = factorValid_ = 1;
    formedLent_ = 1;
    formedWritten_ = 0;
    keptColumns_ = nullptr;
    keptColumnRow_ = nullptr;
    keptColumnRoom_ = 0;
}

void LCPMatrix::lendColumns(PxReal *columns, int32_t *rowOf, int room)
{
    keptColumns_ = formedLent_ ? columns : nullptr;
    keptColumnRow_ = rowOf;
    keptColumnRoom_ = room;
}

// The tiles of A, the tiles of its factor L (same envelope), 1 / L(p, p).
size_t BkChol::storageReals() const
{
    return 2 * kTile * A_.tiles() + static_cast<size_t>(n_);
}

void BkChol::saveStorage(PxReal *out) const
{
    size_t tiles = kTile * A_.tiles();
    memcpy(out, NZ_, bytesOf(tiles));
    memcpy(out + tiles, inverse_, bytesOf(tiles));
    memcpy(out + 2 * tiles, rsD_, bytesOf(static_cast<size_t>(n_)));
}

void BkChol::lendStorage(PxReal *formed)
{
    size_t tiles = kTile * A_.tiles();
    NZ_ = formed;
    inverse_ = formed + tiles;
    rsD_ = formed + 2 * tiles;
}

// The rows of A, the rows of its factor L (same envelope), L(p, p).
size_t VbChol::storageReals() const
{
    return 2 * A_.offset[n_] + static_cast<size_t>(n_);
}

void VbChol::saveStorage(PxReal *out) const
{
    size_t reals = A_.offset[n_];
    memcpy(out, Avalues_, bytesOf(reals));
    memcpy(out + reals, Lvalues_, bytesOf(reals));
    memcpy(out + 2 * reals, Diag_, bytesOf(static_cast<size_t>(n_)));
}

void VbChol::lendStorage(PxReal *formed)
{
    size_t reals = A_.offset[n_];
    Avalues_ = formed;
    Lvalues_ = formed + reals;
    Diag_ = formed + 2 * reals;
}

} // namespace lcs
