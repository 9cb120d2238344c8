// Joint position projection after an island's step. The velocity solve
// holds a joint's anchors together only to first order: a link that turns
// fast moves its anchor on a circle, the position update along the tangent,
// and the anchors part by about |w|^2 r h^2 / 2 a step; in a whipped chain
// that gap grows faster than the stabilisation (gamma) closes it. Here the
// anchors of the joints that pin two points together are pulled back at the
// position level, by nonlinear Gauss-Seidel passes over the joints: for each
// joint the 3x3 block K = J M^-1 J^T of its point rows at the current poses,
// the impulse-like P = -K^-1 C for the anchor gap C = p0 - p1, and the
// bodies moved by M^-1 J^T P. Velocities are not touched, so the projection
// adds no kinetic energy, and as P acts on both bodies equally and
// oppositely, the island's centre of mass stays where the step put it.
// Contacts are left alone.
#include <math.h>
#include "step/RbdPartition.h"

namespace {

// A gap within this fraction of the joint's lever arms (|r0| + |r1|) is
// left to the velocity solve's stabilisation, which closes it in a few
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

// out = M v for a 3x3 M acting on a column vector.
void mulM3V(PxVector3 out, const PxReal m[3][3], const PxVector3 v)
{
    for (int i = 0; i < 3; ++i) out[i] = m[i][0] * v[0] + m[i][1] * v[1] + m[i][2] * v[2];
}

// Adds the body's share of K: the anchor's displacement per unit P is
// P / m + (I^-1 (r x P)) x r, taken column by column.
void addBlock(PxReal K[3][3], const RbdLcsBody &lcs, const PxVector3 r)
{
    for (int k = 0; k < 3; ++k) {
        PxVector3 unit = {0.0, 0.0, 0.0}, torque, turn, column;
        unit[k] = 1.0;
        PxV3Cross(torque, r, unit);
        mulM3V(turn, lcs.invInertiaWorld, torque);
        PxV3Cross(column, turn, r);
        for (int i = 0; i < 3; ++i) K[i][k] += column[i] + (i == k ? lcs.invMass : 0.0);
    }
}

// x = -K^-1 C by the adjugate; false when K is singular (no movable mass).
bool solveBlock(const PxReal K[3][3], const PxVector3 C, PxVector3 x)
{
    PxReal adj[3][3];
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) {
            const int i1 = (i + 1) % 3, i2 = (i + 2) % 3, j1 = (j + 1) % 3, j2 = (j + 2) % 3;
            adj[j][i] = K[i1][j1] * K[i2][j2] - K[i1][j2] * K[i2][j1];
        }
    const PxReal det = K[0][0] * adj[0][0] + K[0][1] * adj[1][0] + K[0][2] * adj[2][0];
    if (!(det > 0.0) || !isfinite(det)) return false;
    mulM3V(x, adj, C);
    PxV3Scale(x, x, -1.0 / det);
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

// Moves body i of the joint by M^-1 J^T (sign P) for its lever r.
void moveBody(RbdBody *body, const PxVector3 r, const PxVector3 P, PxReal sign)
{
    RbdLcsBody &lcs = body->lcs;
    PxVector3 torque, theta;
    PxV3Cross(torque, r, P);
    mulM3V(theta, lcs.invInertiaWorld, torque);
    PxV3Scale(theta, theta, sign);
    PxV3AddScaled(lcs.comTransform[3], lcs.comTransform[3], P, sign * lcs.invMass);
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

// One joint's correction; returns whether its gap was beyond the slack.
bool projectJoint(RbdBaseConstraint *c, int32_t p)
{
    RbdBody *bodies[2] = {movable(c, 0, p), movable(c, 1, p)};
    if (!bodies[0] && !bodies[1]) return false;
    PxVector3 at[2], r[2], C;
    for (int i = 0; i < 2; ++i) anchor(c, i, at[i], r[i]);
    PxV3Sub(C, at[0], at[1]);
    const PxReal slack = kSlack * (PxV3Length(r[0]) + PxV3Length(r[1]));
    if (PxV3Length(C) <= slack) return false;
    PxReal K[3][3] = {{0.0, 0.0, 0.0}, {0.0, 0.0, 0.0}, {0.0, 0.0, 0.0}};
    for (int i = 0; i < 2; ++i)
        if (bodies[i]) addBlock(K, bodies[i]->lcs, r[i]);
    PxVector3 P;
    if (!solveBlock(K, C, P)) return false;
    for (int i = 0; i < 2; ++i)
        if (bodies[i]) moveBody(bodies[i], r[i], P, i == 0 ? 1.0 : -1.0);
    return true;
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

} // namespace

void RbdProjectJointPositions(RbdPartitionOutput *out, int32_t p, int32_t passes)
{
    RbdBaseConstraint **constraints = out->constraints + out->constraintStart[p];
    const int32_t count = out->constraintCount[p];
    bool movedAny = false;
    for (int32_t pass = 0; pass < passes; ++pass) {
        bool moved = false;
        for (int32_t k = 0; k < count; ++k)
            if (pinsAPoint(constraints[k])) moved |= projectJoint(constraints[k], p);
        movedAny |= moved;
        if (!moved) break;
    }
    if (movedAny) refreshInertia(out, p);
}
