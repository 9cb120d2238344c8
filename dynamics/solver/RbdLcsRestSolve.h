// An island at rest, solved without forming its matrix. A hand holding an
// object, or a stack of boxes, keeps the same rows, and each row the same
// state, step after step, while its bodies move by rounding; forming
// A = J M^-1 J^T and factoring its free rows anew (or checking that a kept
// factor still serves, RbdLcsKeptFactor.h) was most of such a step. The
// factor of the free rows of the last full solve serves instead as the
// preconditioner of a refinement against the current matrix, whose
// products go through the current J and each body's M^-1 (J M^-1 is not
// built for a served step):
//     x_F += F_old^-1 (q - A_now x)_F,
// from the last answer or the line through the last two (held rows at
// their bounds, fixed ones at 0), until the free rows' residual, and the
// correction of their impulses it asks for, are far below the solve's
// tolerance. Every row's conditions are then checked as
// the pivoting solve checks them (bounds, the sign of w on held rows,
// friction bounds that follow a normal row). A refinement that does not
// contract fast, or any condition off, leaves the island to the full
// route, which forms, factors and keeps the factor anew. The answer is the
// LCP's to far below its tolerance, not the full route's bit for bit.
#ifndef KELMAR_DYNAMICS_RBDLCSRESTSOLVE_H
#define KELMAR_DYNAMICS_RBDLCSRESTSOLVE_H

#include <stdint.h>
#include <typeinfo>
#include <vector>
#include <kelmar/PxTypes.h>
#include "solver/RbdLcsBaseFunctions.h"
#include "solver/RbdLcsSolver.h"

namespace lcs {

class LCPMatrix;
class MemoryPool;
struct Tolerances;

// The free rows' residual the refinement stops at, as a fraction of each
// row's velocity tolerance (RbdLcsTolerance.h).
const PxReal kRestResidualOfTolerance = 1e-3;

// The correction of the free rows' impulses it stops at, as a fraction of
// the tolerance the answer carries (the least impulse tolerance of any
// row): a served answer is a fresh solve's to within that tolerance on
// every row, the split of a load among dependent rows too.
const PxReal kRestCorrectionOfCarried = 0.5;

// On an island whose impulses that move no body are each contact's own
// (RestSolve::keepContactBases), the error along those impulses it stops
// at without a substitution, as the same fraction.
const PxReal kRestNullPartOfCarried = 0.25;

// Rows of one contact's run the bases are kept for (four corners of three
// rows, twice over); a longer run leaves the island to the substitution.
const int kRestContactRows = 24;

// Refinement steps before the kept factor is given up: on the held hand
// the residual falls some thousandfold a step; one that needs more than
// this has moved too far from the factor.
const int kRestRefinements = 5;

// A refinement that takes more products with A than this (a second
// correction) shows a factor grown old: the next step forms and keeps a
// fresh one. On the held hand that is one step in forty; a factor kept
// from the hand's first resting step needed a second correction in half of
// the steps after.
const int kRestFreshSteps = 2;

// Rows below which an island is not kept: its factor costs little.
const int kRestLeastRows = 48;

// What the products with A = J M^-1 J^T + softness read on a served step:
// u_b = M_b^-1 (J^T x)_b, then (A x)_i = J_i u + softness_i x_i.
struct RestProducts {
    const PxReal *J = nullptr;             // 4-row tiles of J
    const BodyInverseMass *invM = nullptr; // (bodies)
    PxReal *u = nullptr;                   // (6 x bodies) scratch
    int bodyCount = 0;
};

class RestSolve {
public:
    // Whether the island has the kept one's layout, softness, step and
    // tolerance, A (of any storage, allocated or not) its scheme, and the
    // kept factor has not grown old: then A need not be allocated, nor
    // formed, before trying solve. The factor keeps its own order (the
    // layout fixes it), so A's elimination order is not read.
    int matches(const LCPMatrix &A, const PartitionRows &rows, PxReal epsilon, PxReal h, PxReal tolerance) const;
    // q of the matched rows (the island matches): c - correction - J g,
    // g_b = v_b + h M_b^-1 f_b (6 x bodies, the rows' bodies at least),
    // which is the full route's right-hand side but for rounding.
    void rightHandSide(const PartitionRows &rows, const PxReal *g, const RbdLcsParameters &parameters,
                       PxReal *q) const;
    // Solves the matched rows through the kept factor, lent to A's scheme
    // (A's own storage is not read), q the right-hand side; its scratch
    // comes from pool. On success (returns 1) rows.lambda and rows.state
    // hold the answer; on 0 they are untouched and A must be formed.
    int solve(LCPMatrix &A, MemoryPool &pool, const RestProducts &products, const LcpRows &rows, const PxReal *q,
              const RbdLcsLCPSolverParameters &params);
    // Keeps the factor of the free rows standing in A after a full solve
    // that ended in rows' states, if it is theirs. On an island of contacts
    // alone (contactsOnly), a solve that held and fixed no row keeps A's
    // whole factor instead: a resting stack's answer is A^-1 q, which
    // leaves no factor of free rows standing.
    void keep(LCPMatrix &A, const PartitionRows &rows, PxReal epsilon, PxReal h, PxReal tolerance,
              int contactsOnly = 0);
    void forget() { valid_ = false; }
    // Room for keeping any island of up to rows rows, so that a step that
    // keeps one larger than any before allocates nothing.
    void reserve(int rows);
    // Whether it holds the factor of an island with joints that still serves.
    int servesJoints() const { return valid_ && !stale_ && !contactsOnly_; }

private:
    bool valid_ = false;
    bool stale_ = false; // the last refinement took more than kRestFreshSteps
    const std::type_info *scheme_ = nullptr;
    PxReal epsilon_ = 0.0, h_ = 0.0, tolerance_ = 0.0;
    std::vector<int32_t> key_;         // counts, first rows, rows, bodies
    std::vector<PxReal> rowEpsilon_;   // (rows)
    std::vector<int32_t> state_;       // (rows) the states the factor's free rows come from
    std::vector<int32_t> heldRow_;     // the rows state_ holds at a bound
    std::vector<PxReal> x_;            // (rows) the last answer
    std::vector<PxReal> xLast_;        // (rows) the one before, when trend_
    bool trend_ = false;               // both are answers with the kept states
    int contactsOnly_ = 0;             // the island is of contacts alone (startingPoint)
    std::vector<PxReal> factor_;       // LCPMatrix::saveHeldFactor
    std::vector<int32_t> factorStart_; // and its envelope
    std::vector<int32_t> lentFirst_;   // (padded free rows) the envelope's shape when lent
    std::vector<size_t> lentOffset_;   // (padded free rows + 1)
    bool lentShaped_ = false;          // they hold the shape of factorStart_
    std::vector<int32_t> freeRow_;     // the row of each free index
    // Consecutive rows on the same two bodies (a joint's rows, a contact's):
    // the products keep each body's six sums in registers along a run.
    struct BodyRun {
        int32_t first, count;
        int32_t body[2]; // 6 x each side's body, -1 for none
    };
    std::vector<BodyRun> runs_;           // over the padded rows, in row order
    std::vector<int32_t> rowBody_;        // (2 x padded rows) scratch of keepRowBodies
    std::vector<PxReal> diagonal_;        // (rows) A_ii of the kept matrix
    std::vector<PxReal> inverseDiagonal_; // (rows) inverseOfDiagonal of it
    std::vector<PxReal> softness_;        // (padded rows) epsilon + rowEpsilon / h, 1 on padding
    // On an island of contacts alone, all rows free and equally soft, whose
    // contacts join its bodies and the ground as a tree: an orthonormal basis
    // of the span of each run's columns of J (its rows' wrenches), rank_
    // vectors of the run's count reals each from basisStart_ (per run).
    bool treeShaped_ = false;
    std::vector<PxReal> basis_;
    std::vector<int32_t> basisStart_, rank_, treeParent_;
    void keepContactBases(const PxReal *J);
    int nullPartWithin(const PxReal *q, const PxReal *Ax, int n, PxReal stop) const;
    void keepRowBodies(const ConstraintLayout &layout, const PxReal *rowEpsilon);
    void scatterRun(const BodyRun &run, const PxReal *J, const PxReal *x, PxReal *u) const;
    void gatherRun(const BodyRun &run, const PxReal *J, const PxReal *x, const PxReal *u, PxReal *out) const;
    void multiply(const RestProducts &p, const PxReal *x, PxReal *out) const;
    int freeRowsOf(const LCPMatrix &A, const int32_t *state, int rowCount);
    int wholeFactorStands(LCPMatrix &A, const int32_t *state, int rowCount);
    void keepStanding(const LCPMatrix &A, const PartitionRows &rows, PxReal epsilon, PxReal h, PxReal tolerance,
                      int contactsOnly);
    // The largest impulse an iterate carries, on the held rows and on the
    // free ones apart (the refinement moves only the free rows).
    struct Largest {
        PxReal held = 0.0, free = 0.0;
        PxReal all() const { return held > free ? held : free; }
    };
    int startingPoint(const LcpRows &rows, const PxReal *impulseTolerance, PxReal *x, int np, Largest &largest) const;
    PxReal residual(int n, const PxReal *q, const PxReal *Ax, PxReal *z, const Tolerances &t) const;
    int refine(LCPMatrix &A, const RestProducts &products, const PxReal *q, int qCount, PxReal *x, PxReal *Ax,
               PxReal *z, const Tolerances &t, PxReal &freeLargest) const;
    int correctionWithin(const PxReal *z, int n, const Tolerances &t) const;
    int conditionsHold(const LcpRows &rows, const PxReal *q, const PxReal *x, const PxReal *Ax,
                       const Tolerances &t) const;
};

} // namespace lcs

#endif
