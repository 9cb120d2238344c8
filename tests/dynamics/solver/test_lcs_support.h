// Helpers of the solver tests: message capture, a workspace with guard bytes,
// and partitions built by hand as the packing would build them.
#ifndef KELMAR_TESTS_TEST_LCS_SUPPORT_H
#define KELMAR_TESTS_TEST_LCS_SUPPORT_H

#include <string.h>

#include <vector>

#include <kelmar/PxVector.h>
#include <kelmar/RbdLcs.h>
#include "solver/RbdBcl.h"
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
        list.frictionRowCount++;
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

} // namespace lcstest

#endif
