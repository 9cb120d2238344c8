// Joint position projection after an island's step. The velocity solve
// holds a joint's anchors together only to first order: a link that turns
// fast moves its anchor on a circle, the position update along the tangent,
// and the anchors part by about |w|^2 r h^2 / 2 a step beyond what the solve
// meant; in a whipped chain that excess grows faster than the stabilisation
// (gamma) closes it. Here each joint that pins two points together is
// brought back to the gap the solve meant at the position level: the gap
// at the start of the step plus h J v for the solved velocities (the row's
// own linear prediction, with gamma's share of closing it and what the
// softness lets a loaded joint stretch). Nonlinear Gauss-Seidel passes over
// the joints take, for each, the block K = J M^-1 J^T of its hard
// equality rows (the three point rows and, for a hinge or a universal
// joint, its alignment rows), solve K lambda = (-(C - C_meant), 0) for the
// anchor gap C = p0 - p1 at the current poses, and move the bodies by
// M^-1 J^T lambda: the anchors meet as meant while the alignment rows keep
// their error to first order, so no hinge axis is tilted. Velocities are
// not touched, so the projection adds no kinetic energy, and as lambda
// acts on both bodies equally and oppositely, the island's centre of mass
// stays where the step put it. Only islands of such joints alone are
// projected (freeLinkage).
#include <math.h>
#include "step/RbdPartition.h"

namespace {

// An excess within this fraction of the joint's lever arms (|r0| + |r1|)
// is left to the velocity solve's stabilisation, which closes it in a few
// steps: such a joint is left bit for bit as it is, and a chain whose
// joints hold costs one look at each joint a step.
const PxReal kSlack = 1e-3;

// The bodies of island p that the projection may move: in the island and
// not frozen (a sleeping neighbour outside the island is immovable, like
// the world).
RbdBody *movable(const RbdBaseConstraint *c, int i, int32_t p)
{
    RbdBody *body = c->body[i];
    return body && !body->frozen && body->partitionIndex == p ? body : nullptr;
}

// Joints whose first three rows are the hard point rows p0 = p1.
bool pinsAPoint(const RbdBaseConstraint *c)
{
    const int32_t type = c->typeId;
    if (type != RBD_TYPE_BSJOINT && type != RBD_TYPE_HINGE && type != RBD_TYPE_UNIVERSAL) return false;
    return c->rowEpsilon[0] == 0.0 && c->rowEpsilon[1] == 0.0 && c->rowEpsilon[2] == 0.0;
}

// A row the projection holds: unbounded and not softened (the point and
// alignment rows; not a motor, a stop or a spring).
bool isHard(const RbdLcsConstraints *rows, int32_t row)
{
    return rows->lo[row] == -RBD_REAL_MAX && rows->hi[row] == RBD_REAL_MAX && rows->rowEpsilon[row] == 0.0;
}

// out = M v for a 3x3 M acting on a column vector.
void mulM3V(PxVector3 out, const PxReal m[3][3], const PxVector3 v)
{
    for (int i = 0; i < 3; ++i) out[i] = m[i][0] * v[0] + m[i][1] * v[1] + m[i][2] * v[2];
}

// The joint's hard rows as the projection sees them: their Jacobians (the
// columns of an immovable body zero) and M^-1 J^T, at most six rows.
struct JointBlock {
    int n = 0;
    PxReal J[RBD_CONSTRAINT_MAX_ROWS][RBD_JACOBIAN_COLUMNS];
    PxReal MinvJ[RBD_CONSTRAINT_MAX_ROWS][RBD_JACOBIAN_COLUMNS];
    PxReal K[RBD_CONSTRAINT_MAX_ROWS][RBD_CONSTRAINT_MAX_ROWS];
};

void addRow(JointBlock &b, const RbdLcsConstraints *rows, int32_t row, RbdBody *const bodies[2])
{
    PxReal *J = b.J[b.n], *MinvJ = b.MinvJ[b.n];
    RbdBclGetJacobian(rows, row, J);
    for (int i = 0; i < 2; ++i) {
        PxReal *linear = J + 6 * i, *angular = J + 6 * i + 3;
        if (!bodies[i]) {
            PxV3Zero(linear);
            PxV3Zero(angular);
        }
        const PxReal invMass = bodies[i] ? bodies[i]->lcs.invMass : 0.0;
        PxV3Scale(MinvJ + 6 * i, linear, invMass);
        if (bodies[i])
            mulM3V(MinvJ + 6 * i + 3, bodies[i]->lcs.invInertiaWorld, angular);
        else
            PxV3Zero(MinvJ + 6 * i + 3);
    }
    ++b.n;
}

// K = J M^-1 J^T of the rows gathered, its lower triangle (c <= a) only:
// K is symmetric, and the Cholesky solve below reads no other entry.
void formK(JointBlock &b)
{
    for (int a = 0; a < b.n; ++a)
        for (int c = 0; c <= a; ++c) {
            PxReal sum = 0.0;
            for (int col = 0; col < RBD_JACOBIAN_COLUMNS; ++col) sum += b.J[a][col] * b.MinvJ[c][col];
            b.K[a][c] = sum;
        }
}

// Solves K x = rhs in place by Cholesky (K symmetric positive definite);
// false when a pivot is not positive (rows that no movable mass serves).
bool solveK(JointBlock &b, PxReal *x)
{
    PxReal(*L)[RBD_CONSTRAINT_MAX_ROWS] = b.K;
    for (int j = 0; j < b.n; ++j) {
        PxReal d = L[j][j];
        for (int k = 0; k < j; ++k) d -= L[j][k] * L[j][k];
        if (!(d > 1e-12 * b.K[0][0]) || !isfinite(d)) return false;
        L[j][j] = sqrt(d);
        for (int i = j + 1; i < b.n; ++i) {
            PxReal s = L[i][j];
            for (int k = 0; k < j; ++k) s -= L[i][k] * L[j][k];
            L[i][j] = s / L[j][j];
        }
    }
    for (int i = 0; i < b.n; ++i) {
        for (int k = 0; k < i; ++k) x[i] -= L[i][k] * x[k];
        x[i] /= L[i][i];
    }
    for (int i = b.n - 1; i >= 0; --i) {
        for (int k = i + 1; k < b.n; ++k) x[i] -= L[k][i] * x[k];
        x[i] /= L[i][i];
    }
    return true;
}

// Turns the body by the small rotation vector theta (rad), as the stepper's
// first-order update q += (0, theta) q / 2, and refreshes its frame. The
// world inertia waits for the end of the projection (refreshInertia): the
// turns are small, and the tensors cost more than everything else here.
void turnBody(RbdLcsBody &lcs, const PxVector3 theta)
{
    PxReal *q = lcs.quaternion;
    const PxReal *w = theta;
    const PxReal dq[4] = {-(w[0] * q[1] + w[1] * q[2] + w[2] * q[3]), w[0] * q[0] + w[1] * q[3] - w[2] * q[2],
                          w[1] * q[0] + w[2] * q[1] - w[0] * q[3], w[2] * q[0] + w[0] * q[2] - w[1] * q[1]};
    for (int k = 0; k < 4; ++k) q[k] += 0.5 * dq[k];
    const PxReal norm = sqrt(q[0] * q[0] + q[1] * q[1] + q[2] * q[2] + q[3] * q[3]);
    for (int k = 0; k < 4; ++k) q[k] /= norm;
    PxMatrix3 R;
    PxQuaternionToMatrix3(R, q);
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) lcs.comTransform[i][j] = R[i][j];
    lcs.flags |= RBD_LCS_BODY_PROJECTED;
}

// Moves body i by its part of M^-1 J^T lambda.
void moveBody(RbdBody *body, int i, const JointBlock &b, const PxReal *lambda)
{
    PxVector3 shift = {0.0, 0.0, 0.0}, theta = {0.0, 0.0, 0.0};
    for (int a = 0; a < b.n; ++a) {
        PxV3AddScaled(shift, shift, b.MinvJ[a] + 6 * i, lambda[a]);
        PxV3AddScaled(theta, theta, b.MinvJ[a] + 6 * i + 3, lambda[a]);
    }
    RbdLcsBody &lcs = body->lcs;
    PxV3Add(lcs.comTransform[3], lcs.comTransform[3], shift);
    turnBody(lcs, theta);
}

// Anchor i of the joint in world coordinates and its lever from the body's
// centre of mass (zero for the world).
void anchor(const RbdBaseConstraint *c, int i, PxVector3 p, PxVector3 r)
{
    const PxReal(*com)[4] = c->comTransform[i];
    if (!com) {
        PxV3Copy(p, c->attachment[i][3]);
        PxV3Zero(r);
        return;
    }
    PxV3MulTM(p, c->attachment[i][3], com);
    PxV3Sub(r, p, com[3]);
}

// Columns col..col+2 of a stored Jacobian row (RbdBclJacobianRow) dotted
// with v[col..col+2].
PxReal dotColumns(const PxReal *J, int col, const PxReal *v)
{
    const PxReal *entry = J + col * RBD_TILE_ROWS;
    return entry[0] * v[col] + entry[RBD_TILE_ROWS] * v[col + 1] + entry[2 * RBD_TILE_ROWS] * v[col + 2];
}

// The anchor gap the solve meant at the end of the step: the gap of the
// rows at its start, phi, plus h J v for the solved velocities (m). The
// bodies' velocities are read once for the three rows.
void meantGap(const RbdLcsConstraints *rows, int32_t first, const RbdBaseConstraint *c, PxReal h, PxVector3 out)
{
    PxReal v[RBD_JACOBIAN_COLUMNS];
    for (int i = 0; i < 2; ++i) RbdBclBodyVelocity(c, i, v + 6 * i, v + 6 * i + 3);
    for (int k = 0; k < 3; ++k) {
        const PxReal *J = RbdBclJacobianRow(rows->jacobian, first + k);
        PxReal Jv = 0.0;
        for (int group = 0; group < RBD_JACOBIAN_COLUMNS; group += 6)
            Jv += dotColumns(J, group, v) + dotColumns(J, group + 3, v);
        out[k] = rows->phi[first + k] + h * Jv;
    }
}

// The gap beyond the meant one at the current poses; false within the slack.
bool excessGap(const RbdBaseConstraint *c, const PxVector3 meant, PxVector3 excess)
{
    PxVector3 at[2], r[2];
    for (int i = 0; i < 2; ++i) anchor(c, i, at[i], r[i]);
    PxV3Sub(excess, at[0], at[1]);
    PxV3Sub(excess, excess, meant);
    return PxV3Length(excess) > kSlack * (PxV3Length(r[0]) + PxV3Length(r[1]));
}

// Moves the joint's movable bodies so that its anchors part by the meant
// gap again (the excess gone) while its alignment rows hold; false when its
// block is singular. Kept out of line: the block is large, and most joints
// a pass looks at need no correction.
__attribute__((noinline)) bool correctJoint(const RbdLcsConstraints *rows, int32_t first, int32_t count,
                                            RbdBody *const bodies[2], const PxVector3 excess)
{
    JointBlock b;
    PxReal lambda[RBD_CONSTRAINT_MAX_ROWS] = {0.0};
    for (int32_t k = 0; k < count && b.n < RBD_CONSTRAINT_MAX_ROWS; ++k) {
        if (k >= 3 && !isHard(rows, first + k)) continue;
        lambda[b.n] = k < 3 ? -excess[k] : 0.0;
        addRow(b, rows, first + k, bodies);
    }
    formK(b);
    if (!solveK(b, lambda)) return false;
    for (int i = 0; i < 2; ++i)
        if (bodies[i]) moveBody(bodies[i], i, b, lambda);
    return true;
}

// One joint's correction (rows from first, count of them) when its excess
// is beyond the slack; returns whether it moved a body.
bool projectJoint(const RbdLcsConstraints *rows, int32_t first, int32_t count, RbdBaseConstraint *c, PxReal h,
                  int32_t p)
{
    RbdBody *const bodies[2] = {movable(c, 0, p), movable(c, 1, p)};
    if (!bodies[0] && !bodies[1]) return false;
    PxVector3 meant, excess;
    meantGap(rows, first, c, h, meant);
    return excessGap(c, meant, excess) && correctJoint(rows, first, count, bodies, excess);
}

// The world inertia of every body the projection turned.
void refreshInertia(RbdPartitionOutput *out, int32_t p)
{
    RbdBody **bodies = out->bodies + out->bodyStart[p];
    for (int32_t k = 0; k < out->bodyCount[p]; ++k) {
        RbdLcsBody &lcs = bodies[k]->lcs;
        if (!(lcs.flags & RBD_LCS_BODY_PROJECTED)) continue;
        lcs.flags &= ~RBD_LCS_BODY_PROJECTED;
        RbdBodyUpdateWorldInertia(bodies[k]);
    }
}

// Whether a pass after the first should look at the joint again: only when
// an earlier pass moved one of its bodies. A joint whose bodies no pass has
// moved keeps the excess the first pass found within the slack.
bool touched(const RbdBaseConstraint *c, int32_t p)
{
    for (int i = 0; i < 2; ++i) {
        const RbdBody *body = movable(c, i, p);
        if (body && (body->lcs.flags & RBD_LCS_BODY_PROJECTED)) return true;
    }
    return false;
}

// One pass over the island's joints; returns whether it moved a body.
bool projectPass(const RbdLcsConstraints *rows, int32_t p, PxReal h, bool first)
{
    bool moved = false;
    for (int32_t k = 0; k < rows->partitionConstraintCount; ++k) {
        const int32_t index = rows->partitionConstraintStart + k;
        RbdBaseConstraint *c = rows->constraints[index];
        if (first || touched(c, p))
            moved |= projectJoint(rows, rows->constraintFirstRow[index], rows->constraintRowCount[index], c, h, p);
    }
    return moved;
}

// Whether every row of the joint is one the projection holds.
bool allRowsHard(const RbdLcsConstraints *rows, int32_t index)
{
    const int32_t first = rows->constraintFirstRow[index];
    for (int32_t row = first + 3; row < first + rows->constraintRowCount[index]; ++row)
        if (!isHard(rows, row)) return false;
    return true;
}

// Only a free linkage is projected: an island whose constraints are all
// joints pinned at a point with hard rows alone (a chain, a limb with no
// motor). A correction holds the joint's hard rows and nothing else, so a
// contact, a motor, a stop or a spring of the island would see its bodies
// moved behind its back: a link pushed into what it touches, a driven
// finger turned off its target each step (a hand's fingers then close on
// grips the pivoting solves fail on, or miss the ball).
bool freeLinkage(const RbdLcsConstraints *rows)
{
    for (int32_t k = 0; k < rows->partitionConstraintCount; ++k) {
        const int32_t index = rows->partitionConstraintStart + k;
        if (!pinsAPoint(rows->constraints[index]) || !allRowsHard(rows, index)) return false;
    }
    return true;
}

} // namespace

void RbdProjectJointPositions(const RbdLcsConstraints *rows, RbdPartitionOutput *out, int32_t p, PxReal h,
                              int32_t passes)
{
    if (passes <= 0 || !freeLinkage(rows)) return;
    bool movedAny = false;
    for (int32_t pass = 0; pass < passes; ++pass) {
        const bool moved = projectPass(rows, p, h, pass == 0);
        movedAny |= moved;
        if (!moved) break;
    }
    if (movedAny) refreshInertia(out, p);
}
