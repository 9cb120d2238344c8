// The key of an island's matrix shape, kept by what caches a formed matrix
// or its factor from one step to the next: the layout's counts, the
// constraints' first rows, rows and bodies, and the row at each elimination
// position (which fixes the envelope).
#ifndef KELMAR_DYNAMICS_RBDLCSMATRIXKEY_H
#define KELMAR_DYNAMICS_RBDLCSMATRIXKEY_H

#include "solver/RbdLcsLayoutKey.h"
#include "solver/RbdLcsMatrix.h"

namespace lcs {

// Calls f with the key's parts (LayoutKeyPart's initializer list).
template <typename F> auto withMatrixKey(const LCPMatrix &A, const ConstraintLayout &layout, F f)
{
    const int32_t counts[3] = {layout.constraintCount, layout.rowCount, layout.paddedRowCount};
    const size_t constraints = static_cast<size_t>(layout.constraintCount);
    return f({{counts, 3},
              {layout.firstRow, constraints},
              {layout.rows, constraints},
              {layout.bodies, 2 * constraints},
              {A.rowsAtPositions(), static_cast<size_t>(A.size())}});
}

inline bool matrixKeyMatches(const std::vector<int32_t> &key, const LCPMatrix &A, const ConstraintLayout &layout)
{
    return withMatrixKey(A, layout,
                         [&](std::initializer_list<LayoutKeyPart> parts) { return layoutKeyMatches(key, parts); });
}

inline void storeMatrixKey(std::vector<int32_t> &key, const LCPMatrix &A, const ConstraintLayout &layout)
{
    withMatrixKey(A, layout, [&](std::initializer_list<LayoutKeyPart> parts) { storeLayoutKey(key, parts); });
}

} // namespace lcs

#endif
