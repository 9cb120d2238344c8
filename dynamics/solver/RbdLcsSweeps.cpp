// Projected Gauss-Seidel sweeps: the cheap first stage of the recovery of
// an LCP solve that did not converge. They read the matrix row by row, in
// the elimination order where its rows are stored, or through the Jacobian
// the matrix was formed from when that is kept.
#include "solver/RbdLcsMatrix.h"
#include "solver/RbdLcsSolver.h"
#include "solver/RbdLcsSparseMap.h"
#include "solver/RbdLcsTiles.h"

namespace lcs {

namespace {

PxReal clip(PxReal value, PxReal lo, PxReal hi)
{
    return value < lo ? lo : (value > hi ? hi : value);
}

// Sequential form: u = M^-1 J^T x follows every row update, so a row costs
// two short products with its Jacobian.
void sweepThroughJacobian(const LCPMatrix &A, const LCPMatrix::KeptJacobian &kept, PxReal *x, const PxReal *q,
                          const PxReal *lo, const PxReal *hi, const int32_t *state, int count, int sweeps)
{
    const ConstraintLayout *layout = kept.map->layout;
    PxReal *u = kept.bodyScratch;
    for (int i = 0; i < count; ++i)
        if (state[i] & kLcpFixed) x[i] = 0.0;
    A.bodyProducts(x, u);
    for (int sweep = 0; sweep < sweeps; ++sweep)
        for (int c = 0; c < layout->constraintCount; ++c)
            for (int r = 0; r < layout->rows[c]; ++r) {
                int i = layout->firstRow[c] + r;
                if (i >= count || (state[i] & kLcpFixed)) continue;
                PxReal value = clip(x[i] - (A.rowProduct(i, c, x, u) - q[i]) / A.getElement(i, i), lo[i], hi[i]);
                PxReal change = value - x[i];
                x[i] = value;
                if (change == 0.0) continue;
                for (int side = 0; side < 2; ++side) {
                    int body = layout->bodies[2 * c + side];
                    if (body < 0) continue;
                    const PxReal *a = kept.JMinv + tileIndex(i, 6 * side);
                    for (int k = 0; k < 6; ++k) u[6 * body + k] += a[4 * k] * change;
                }
            }
}

// The stored rows, in positions.
void sweepStoredRows(const LCPMatrix &A, PxReal *x, const PxReal *q, const PxReal *lo, const PxReal *hi,
                     const int32_t *state, int count, int sweeps, PxReal *xs)
{
    const int n = A.size();
    for (int p = 0; p < n; ++p) {
        int row = A.rowAtPosition(p);
        xs[p] = row < count && !(state[row] & kLcpFixed) ? x[row] : 0.0;
    }
    for (int sweep = 0; sweep < sweeps; ++sweep) {
        for (int p = 0; p < n; ++p) {
            int row = A.rowAtPosition(p);
            if (row >= count || (state[row] & kLcpFixed)) continue;
            PxReal value = xs[p] - (A.positionRowDot(p, xs) - q[row]) / A.positionDiagonal(p);
            xs[p] = clip(value, lo[row], hi[row]);
        }
    }
    for (int p = 0; p < n; ++p)
        if (A.rowAtPosition(p) < count) x[A.rowAtPosition(p)] = xs[p];
}

} // namespace

void projectedGaussSeidel(const LCPMatrix &A, PxReal *x, const PxReal *q, const PxReal *lo, const PxReal *hi,
                          const int32_t *state, int count, int sweeps, PxReal *scratch)
{
    if (const LCPMatrix::KeptJacobian *kept = A.keptJacobian())
        sweepThroughJacobian(A, *kept, x, q, lo, hi, state, count, sweeps);
    else
        sweepStoredRows(A, x, q, lo, hi, state, count, sweeps, scratch);
}

} // namespace lcs
