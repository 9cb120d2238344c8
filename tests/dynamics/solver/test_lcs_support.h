// Helpers of the solver tests: message capture, a workspace with guard bytes,
// and partitions built by hand as the packing would build them.
#ifndef KELMAR_TESTS_TEST_LCS_SUPPORT_H
#define KELMAR_TESTS_TEST_LCS_SUPPORT_H

#include <string.h>

#include <random>
#include <vector>

#include <kelmar/PxVector.h>
#include <kelmar/RbdLcs.h>
#include "solver/RbdBcl.h"
#include "solver/RbdLcsContext.h"
#include "solver/RbdLcsMatrix.h"
#include "solver/RbdLcsSolver.h"
#include "solver/RbdLcsSparseMap.h"
#include "solver/RbdLcsTiles.h"
#include "solver/RbdLcsTypes.h"
#include "dynamics/test_step_support.h"

namespace lcstest {

// Collects warning and fatal messages (the fatal handler returns) while alive.
using MessageLog = steptest::Messages;

// A workspace of exactly `size` bytes followed by guard bytes, at an address
// that is 16-byte aligned but not 64-byte aligned (the worst case).
class GuardedWorkspace {
public:
    explicit GuardedWorkspace(size_t size) : size_(size), storage_(size + 64 + kGuard + 64)
    {
        uintptr_t base = reinterpret_cast<uintptr_t>(storage_.data());
        uintptr_t aligned = ((base + 63) & ~static_cast<uintptr_t>(63)) + 16;
        memory_ = reinterpret_cast<unsigned char *>(aligned);
        memset(memory_ + size_, kPattern, kGuard);
    }
    void bind(RbdLcsParameters &p)
    {
        p.workspace = memory_;
        p.workspaceSize = size_;
    }
    bool guardIntact() const
    {
        for (size_t i = 0; i < kGuard; ++i)
            if (memory_[size_ + i] != kPattern) return false;
        return true;
    }

private:
    enum { kGuard = 256, kPattern = 0xA5 };
    size_t size_;
    std::vector<unsigned char> storage_;
    unsigned char *memory_;
};

// A solver body at rest at the origin with mass m and a diagonal inertia.
inline void makeBody(RbdLcsBody &b, PxReal mass, PxReal ix, PxReal iy, PxReal iz)
{
    memset(&b, 0, sizeof b);
    b.mass = mass;
    b.invMass = 1.0 / mass;
    PxReal I[3] = {ix, iy, iz};
    for (int i = 0; i < 3; ++i) {
        b.inertiaBody[i][i] = b.inertiaWorld[i][i] = I[i];
        b.invInertiaBody[i][i] = b.invInertiaWorld[i][i] = 1.0 / I[i];
    }
    b.quaternion[0] = 1.0;
    PxM4Identity(b.comTransform);
    PxV3Set(b.fastSpinAxis, 0.0, 1.0, 0.0);
}

inline void chainBodies(std::vector<RbdLcsBody> &bodies)
{
    for (size_t i = 0; i < bodies.size(); ++i) bodies[i].next = i + 1 < bodies.size() ? &bodies[i + 1] : nullptr;
}

// A row list of one partition with room for maxRows rows, filled constraint
// by constraint.
class RowList : public rbdtest::OwnRowList {
public:
    explicit RowList(int maxRows) : OwnRowList(maxRows) {}
    // Empties the list (one partition starting at row 0).
    void clear() { RbdBclInitConstraintRowList(&list); }
    // Starts a constraint between partition bodies b0 and b1 (-1: world);
    // returns the first row index.
    int begin(int b0, int b1)
    {
        int c = list.constraintCount;
        list.constraintFirstRow[c] = list.rowCount;
        list.constraintBody[0][c] = b0;
        list.constraintBody[1][c] = b1;
        list.constraintRowCount[c] = 0;
        list.constraints[c] = nullptr; // no record takes the forces
        return list.rowCount;
    }
    // Adds a bilateral row with the given 12 Jacobian columns.
    int addRow(const PxReal J[12], PxReal phi = 0.0, PxReal lo = -RBD_REAL_MAX, PxReal hi = RBD_REAL_MAX)
    {
        int row = list.rowCount++;
        RbdBclClearRow(&list, row);
        for (int col = 0; col < 12; ++col) *RbdBclJacobianEntry(&list, row, col) = J[col];
        list.phi[row] = phi;
        list.lo[row] = lo;
        list.hi[row] = hi;
        list.constraintRowCount[list.constraintCount]++;
        return row;
    }
    // Ends the constraint; the rows up to the next whole tile are empty.
    void end()
    {
        list.constraintCount++;
        list.partitionRowCount = list.rowCount;
        list.partitionConstraintCount = list.constraintCount;
        list.partitionPaddedRowCount = (list.rowCount + 3) / 4 * 4;
        for (int row = list.rowCount; row < list.partitionPaddedRowCount; ++row) RbdBclClearRow(&list, row);
    }
    // Ties a friction row's bounds to a normal row through mu.
    void tieFriction(int row, int normalRow, PxReal mu)
    {
        list.frictionIndex[row] = normalRow;
        list.mu[row] = mu;
        list.lo[row] = list.hi[row] = 0.0;
    }
};

// A world's solver parameters with step h, the large-island settings off
// (every island solved directly).
inline RbdLcsParameters defaultParameters(PxReal h)
{
    RbdLcsParameters p;
    memset(&p, 0, sizeof p);
    RbdLcsParametersReset(&p);
    p.stepsize = h;
    p.lcp.largeIslandSolver = p.lcp.largeIslandRows = p.lcp.iterations = 0;
    return p;
}

// A joint description rebuilt into rows every step, as a row builder would:
// anchors and axes are fixed in the bodies' centre-of-mass frames (in world
// coordinates for the world, index -1).
struct Joint {
    int body[2];
    PxVector3 anchor[2];
    bool hinge;       // 3 spherical rows, plus 2 angular rows about axis
    PxVector3 axis0;  // hinge axis in body 0
    PxVector3 s1, t1; // two directions perpendicular to the axis in body 1
};

// A point (or a direction) fixed in body b's centre-of-mass frame in world
// coordinates; b < 0 is the world.
inline void toWorld(PxVector3 out, const std::vector<RbdLcsBody> &bodies, int b, const PxVector3 local,
                    bool point = true)
{
    if (b < 0)
        PxV3Copy(out, local);
    else if (point)
        PxV3MulTM(out, local, bodies[b].comTransform);
    else
        PxV3MulTMDir(out, local, bodies[b].comTransform);
}

// Jacobian of a row along u between point p0 of body b[0] and point p1 of
// body b[1] (-1: the world): (u, r0 x u, -u, -(r1 x u)), r the arms from
// the centres of mass.
inline void pointRow(PxReal J[12], const std::vector<RbdLcsBody> &bodies, const int b[2], const PxVector3 u,
                     const PxVector3 p0, const PxVector3 p1)
{
    memset(J, 0, 12 * sizeof(PxReal));
    const PxReal *p[2] = {p0, p1};
    for (int s = 0; s < 2; ++s) {
        if (b[s] < 0) continue;
        PxVector3 r, rxu;
        PxV3Sub(r, p[s], bodies[b[s]].comTransform[3]);
        PxV3Cross(rxu, r, u);
        for (int k = 0; k < 3; ++k) {
            J[6 * s + k] = s ? -u[k] : u[k];
            J[6 * s + 3 + k] = s ? -rxu[k] : rxu[k];
        }
    }
}

// Rows of the joints for the bodies' current poses; every row's Jacobian is
// the time derivative of its error. They replace the list's rows unless
// appended.
inline void buildJointRows(RowList &rows, const std::vector<RbdLcsBody> &bodies, const std::vector<Joint> &joints,
                           bool append = false)
{
    if (!append) rows.clear();
    for (const Joint &j : joints) {
        PxVector3 p[2];
        for (int s = 0; s < 2; ++s) toWorld(p[s], bodies, j.body[s], j.anchor[s]);
        rows.begin(j.body[0], j.body[1]);
        PxReal J[12];
        for (int k = 0; k < 3; ++k) {
            PxVector3 e = {0.0, 0.0, 0.0};
            e[k] = 1.0;
            pointRow(J, bodies, j.body, e, p[0], p[1]);
            rows.addRow(J, p[0][k] - p[1][k]);
        }
        if (j.hinge) {
            PxVector3 a0, dirs[2];
            toWorld(a0, bodies, j.body[0], j.axis0, false);
            toWorld(dirs[0], bodies, j.body[1], j.s1, false);
            toWorld(dirs[1], bodies, j.body[1], j.t1, false);
            for (int k = 0; k < 2; ++k) {
                PxVector3 g;
                PxV3Cross(g, a0, dirs[k]);
                memset(J, 0, sizeof J);
                for (int m = 0; m < 3; ++m) {
                    if (j.body[0] >= 0) J[3 + m] = g[m];
                    if (j.body[1] >= 0) J[9 + m] = -g[m];
                }
                rows.addRow(J, PxV3Dot(a0, dirs[k]));
            }
        }
        rows.end();
    }
}

// A chain of `links` bars of length 1 along +x, hinged about z to each
// other and the first to the world at the origin.
inline void makeHingeChain(int links, std::vector<RbdLcsBody> &bodies, std::vector<Joint> &joints)
{
    bodies.assign(links, RbdLcsBody());
    joints.clear();
    for (int i = 0; i < links; ++i) {
        makeBody(bodies[i], 1.0, 0.01, 1.0 / 12.0, 1.0 / 12.0);
        bodies[i].comTransform[3][0] = i + 0.5;
        Joint j = {{i, i - 1},     {{-0.5, 0.0, 0.0}, {0.5, 0.0, 0.0}}, true, {0.0, 0.0, 1.0}, {1.0, 0.0, 0.0},
                   {0.0, 1.0, 0.0}};
        if (i == 0) PxV3Zero(j.anchor[1]);
        joints.push_back(j);
    }
    chainBodies(bodies);
}

// A contact between body b and the ground plane y = 0 (or between two
// bodies) at a body-fixed point: normal row [0, inf) plus two friction rows
// tied to it with coefficient mu.
struct Contact {
    int body[2];
    PxVector3 local;  // contact point in body 0's centre-of-mass frame
    PxVector3 normal; // world, from body 1 towards body 0
    PxReal mu;
};

inline void addContactRows(RowList &rows, const std::vector<RbdLcsBody> &bodies, const Contact &c)
{
    PxVector3 p, t1, t2;
    toWorld(p, bodies, c.body[0], c.local);
    const PxReal *n = c.normal;
    if (fabs(n[0]) > fabs(n[1]))
        PxV3Set(t1, n[2], 0.0, -n[0]);
    else
        PxV3Set(t1, 0.0, -n[2], n[1]);
    PxV3Normalize(t1);
    PxV3Cross(t2, n, t1);
    // Separation from the plane y = 0; two bodies are taken as just touching.
    PxReal separation = c.body[1] >= 0 ? 0.0 : PxV3Dot(p, n);
    rows.begin(c.body[0], c.body[1]);
    PxReal J[12];
    pointRow(J, bodies, c.body, n, p, p);
    int normal = rows.addRow(J, separation, 0.0, RBD_REAL_MAX);
    const PxReal *dirs[2] = {t1, t2};
    for (int k = 0; k < 2; ++k) {
        pointRow(J, bodies, c.body, dirs[k], p, p);
        rows.tieFriction(rows.addRow(J), normal, c.mu);
    }
    rows.end();
}

// A random island: bodies of random mass and moments, constraints of 1 to 6
// rows with random Jacobians between random bodies or a body and the world,
// the first row of every third constraint soft. With `mixed`, first rows are
// one-sided, some rows pinned at zero and some tied to their first row as
// friction.
inline void randomIsland(std::mt19937 &rng, int bodyCount, int constraints, std::vector<RbdLcsBody> &bodies,
                         RowList &rows, bool mixed)
{
    std::uniform_real_distribution<PxReal> u(-1.0, 1.0);
    bodies.assign(bodyCount, RbdLcsBody());
    for (RbdLcsBody &b : bodies) {
        PxReal m[4];
        for (PxReal &v : m) v = 1.25 + 0.75 * u(rng);
        makeBody(b, m[0], m[1], m[2], m[3]);
    }
    chainBodies(bodies);
    rows.clear();
    for (int c = 0; c < constraints; ++c) {
        const int b0 = static_cast<int>(rng() % bodyCount), b1 = static_cast<int>(rng() % (bodyCount + 1)) - 1;
        const int first = rows.begin(b0, b1 == b0 ? -1 : b1), count = 1 + static_cast<int>(rng() % 6);
        for (int r = 0; r < count; ++r) {
            PxReal J[12];
            for (int k = 0; k < 12; ++k) J[k] = (k >= 6 && (b1 < 0 || b1 == b0)) ? 0.0 : u(rng);
            const int row = rows.addRow(J, 0.01 * u(rng), mixed && r == 0 ? 0.0 : -RBD_REAL_MAX);
            if (r == 0 && c % 3 == 0) rows.list.rowEpsilon[row] = 0.01;
            if (mixed && rng() % 7 == 0) rows.list.lo[row] = rows.list.hi[row] = 0.0;
            if (mixed && r > 0 && rng() % 3 == 0) rows.tieFriction(row, first, 0.5);
        }
        rows.end();
    }
}

// The pieces the solver works on, formed from a row list as the stepper does.
struct Packed {
    int n = 0, np = 0, bodyCount = 0;
    std::vector<int32_t> firstRow, rowCounts, bodyOf;
    std::vector<PxReal> J, JMinv, rowEps;
    lcs::ConstraintLayout layout;

    Packed(const RowList &rows, const std::vector<RbdLcsBody> &bodies)
    {
        const RbdLcsConstraints &list = rows.list;
        n = list.rowCount;
        np = (n + 3) / 4 * 4;
        bodyCount = static_cast<int>(bodies.size());
        for (int c = 0; c < list.constraintCount; ++c) {
            firstRow.push_back(list.constraintFirstRow[c]);
            rowCounts.push_back(list.constraintRowCount[c]);
            bodyOf.insert(bodyOf.end(), {list.constraintBody[0][c], list.constraintBody[1][c]});
        }
        J.assign(list.jacobian, list.jacobian + static_cast<size_t>(np) * 12);
        JMinv.assign(J.size(), 0.0);
        rowEps.assign(list.rowEpsilon, list.rowEpsilon + np);
        for (int c = 0; c < list.constraintCount; ++c)
            for (int side = 0, b; side < 2; ++side)
                for (int r = 0; (b = bodyOf[2 * c + side]) >= 0 && r < rowCounts[c]; ++r)
                    for (int k = 0; k < 6; ++k) {
                        const size_t t = lcs::tileIndex(firstRow[c] + r, 6 * side + k);
                        JMinv[t] = (k < 3 ? bodies[b].invMass : bodies[b].invInertiaWorld[k - 3][k - 3]) * J[t];
                    }
        layout = {list.constraintCount, n, np, firstRow.data(), rowCounts.data(), bodyOf.data()};
    }
};

// A workspace holding a map, a matrix and an LCP solve; the matrix formed
// in factorisation `which`, in the packing order or reordered.
struct Formed {
    std::vector<unsigned char> memory;
    lcs::Context context;
    lcs::SparseMatrixMap *map = nullptr;
    lcs::LCPMatrix *A = nullptr;
    bool ok = false; // mapped, allocated and (if asked) reordered

    Formed(const Packed &packed, int which, bool reorder)
    {
        memory.assign(lcs::RbdSparseMatrixMapMemoryRequired(packed.bodyCount, packed.n) +
                          lcs::matrixMemoryRequired(packed.np) + lcs::lcpSolverMemoryRequired(packed.np) + 64,
                      0);
        context.pool().init(memory.data(), memory.size());
        map = lcs::RbdSparseMatrixMapCreate(context.pool(), packed.bodyCount, &packed.layout);
        if (!map) return;
        lcs::RbdSparseMatrixMapBuild(map);
        A = &context.matrix(which);
        ok = (!reorder || lcs::RbdSparseMatrixMapReorder(map)) && A->allocate(packed.np, map);
        A->setSoftness(1e-6, 0.01);
        A->calcJinvMJT(packed.JMinv.data(), packed.J.data(), packed.rowEps.data(), map);
    }
    ~Formed()
    {
        if (A) A->destroy();
    }
};

} // namespace lcstest

#endif
