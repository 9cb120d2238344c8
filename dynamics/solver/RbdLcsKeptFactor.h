// The matrix of an island of contacts at rest, and its factor, kept from
// the step that formed them. A resting stack's Jacobian moves by rounding
// from one step to the next, yet forming A = J M^-1 J^T and factoring it
// anew was the larger part of its step; the kept factor serves instead
// while J and J M^-1 stay within a small fraction of the solve's tolerance
// of those it was formed from.
#ifndef KELMAR_DYNAMICS_RBDLCSKEPTFACTOR_H
#define KELMAR_DYNAMICS_RBDLCSKEPTFACTOR_H

#include <stdint.h>
#include <typeinfo>
#include <vector>
#include <kelmar/PxTypes.h>
#include "solver/RbdLcsBaseFunctions.h"

namespace lcs {

class LCPMatrix;

// How far J and J M^-1 may move from those the kept factor was formed
// from, as a fraction of the LCP tolerance (see KeptFactor::restore). A
// thousandth, as far below the tolerance as the refined solve of a resting
// island with joints goes (RbdLcsRestSolve.h): on the ten-box stack it
// serves more of the settling steps than a millionth did (301 M against
// 327 M instructions over 1000 steps), and the stack ends where it did.
const PxReal kKeptDriftOfTolerance = 1e-3;

// Solves of other islands after which the kept factor, unused, gives way.
const int kKeptPatience = 8;

// Rows below which an island is formed anew every step: on the falling
// boxes of the bench (islands of 12 to 24 rows) checking and keeping cost
// about what forming and factoring do; on the ten-box stack (120 rows)
// forming costs eight times what checking does.
const int kKeptLeastRows = 48;

// Columns of the kept factor's inverse kept with it (LCPMatrix::lendColumns):
// a resting stack holds a contact at zero step after step, with its friction
// rows fixed, and solved their columns anew every step.
const int kKeptColumns = 16;

class KeptFactor {
public:
    // Makes A (allocated for this island, its softness set) read the kept
    // matrix and factor when the island has the kept one's rows, order,
    // softness, row softness and tolerance, and each row of J and of
    // J M^-1 (tiles as calcJinvMJT reads them) moved, summed over its
    // entries, by at most delta = kKeptDriftOfTolerance x tolerance times
    // its largest entry, kept. Then A(i, j) = sum_k (J M^-1)_ik J_jk is off
    // by at most 2 delta max|J M^-1|_i max|J|_j, and each row's velocity by
    // about that fraction of what the impulses make: a thousandth of what the
    // solve already lets pass. Constraints of the same bodies and rows may
    // come in another order (matchMoved). Returns 1 when A reads the kept
    // factor (lent: forget it if A.formedWritten() after the solve), 0 when
    // A must be formed.
    int restore(LCPMatrix &A, const PartitionRows &rows, const PxReal *JMinv, PxReal epsilon, PxReal h,
                PxReal tolerance);
    // Keeps A, just formed from rows and JMinv with softness epsilon and
    // step h, and factored, when worthKeeping says so. A scheme that
    // keeps nothing leaves none kept.
    void keep(const LCPMatrix &A, const PartitionRows &rows, const PxReal *JMinv, PxReal epsilon, PxReal h,
              PxReal tolerance);
    void forget() { valid_ = false; }
    // Room for keeping any island of up to rows rows (RestSolve::reserve).
    void reserve(int rows);

private:
    bool valid_ = false;
    // The kind of factorisation that formed it: another kind stores its
    // matrix otherwise (an island may change factorisation between steps).
    const std::type_info *scheme_ = nullptr;
    int misses_ = 0; // restores the kept factor did not serve since it last did
    PxReal epsilon_ = 0.0, h_ = 0.0, tolerance_ = 0.0;
    std::vector<int32_t> key_;         // counts, first rows, rows, bodies, order
    std::vector<PxReal> J_, JMinv_;    // tiles as formed
    std::vector<PxReal> allowedJ_;     // (padded rows) how far each row's J entries may move
    std::vector<PxReal> allowedJMinv_; // (padded rows) and its J M^-1 entries
    std::vector<PxReal> rowEpsilon_;   // (rows)
    std::vector<PxReal> formed_;       // LCPMatrix::saveFormed
    std::vector<PxReal> columns_;      // (kKeptColumns x padded rows) columns of its inverse
    std::vector<int32_t> columnRow_;   // (kKeptColumns) the row of each column, -1: none yet
    std::vector<char> taken_;          // (constraints) kept constraints matched
    std::vector<int32_t> keptRowOf_;   // (padded rows) the kept row each row is
    std::vector<int32_t> rowMoved_;    // (padded rows) scratch of matchConstraints
    int worthKeeping(const LCPMatrix &A, const PartitionRows &rows, PxReal epsilon, PxReal h, PxReal tolerance) const;
    int sameRows(const LCPMatrix &A, const PartitionRows &rows, PxReal epsilon, PxReal h, PxReal tolerance) const;
    int constraintWithin(const PartitionRows &rows, const PxReal *JMinv, int c, int k) const;
    int matchMoved(const PartitionRows &rows, const PxReal *JMinv, int c);
    // 0: every constraint in its place; 1: renumbered (keptRowOf_); -1: no match.
    int matchConstraints(const PartitionRows &rows, const PxReal *JMinv);
};

} // namespace lcs

#endif
