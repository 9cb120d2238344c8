#include "solver/RbdLcsBaseFunctions.h"

#include <math.h>
#include <string.h>
#include <kelmar/PxMath.h>
#include <kelmar/PxMessage.h>
#include "solver/RbdLcsTypes.h"
#include <kelmar/PxVector.h>
#include <kelmar/RbdTypes.h>
#include "joints/RbdConstraintRecord.h"
#include "solver/RbdBcl.h"
#include "solver/RbdLcsTiles.h"
#include "world/RbdPrefetch.h"

namespace lcs {

namespace {

// Inverse of a symmetric positive definite 3x3 by cofactors; 0 when singular.
int invert3(const PxReal m[3][3], PxReal out[3][3])
{
    PxReal c00 = m[1][1] * m[2][2] - m[1][2] * m[2][1];
    PxReal c01 = m[1][2] * m[2][0] - m[1][0] * m[2][2];
    PxReal c02 = m[1][0] * m[2][1] - m[1][1] * m[2][0];
    PxReal det = m[0][0] * c00 + m[0][1] * c01 + m[0][2] * c02;
    if (det == 0.0 || !isfinite(det)) return 0;
    PxReal inv = 1.0 / det;
    out[0][0] = c00 * inv;
    out[1][0] = c01 * inv;
    out[2][0] = c02 * inv;
    out[0][1] = (m[0][2] * m[2][1] - m[0][1] * m[2][2]) * inv;
    out[1][1] = (m[0][0] * m[2][2] - m[0][2] * m[2][0]) * inv;
    out[2][1] = (m[0][1] * m[2][0] - m[0][0] * m[2][1]) * inv;
    out[0][2] = (m[0][1] * m[1][2] - m[0][2] * m[1][1]) * inv;
    out[1][2] = (m[0][2] * m[1][0] - m[0][0] * m[1][2]) * inv;
    out[2][2] = (m[0][0] * m[1][1] - m[0][1] * m[1][0]) * inv;
    return 1;
}

// out = M v for a 3x3 M acting on a column vector.
void mulM3V(PxVector3 out, const PxReal m[3][3], const PxVector3 v)
{
    PxVector3 r;
    for (int i = 0; i < 3; ++i) r[i] = m[i][0] * v[0] + m[i][1] * v[1] + m[i][2] * v[2];
    PxV3Copy(out, r);
}

// [a]x, the matrix of a x (.).
void crossMatrix(PxReal out[3][3], const PxVector3 a)
{
    out[0][0] = 0.0;
    out[0][1] = -a[2];
    out[0][2] = a[1];
    out[1][0] = a[2];
    out[1][1] = 0.0;
    out[1][2] = -a[0];
    out[2][0] = -a[1];
    out[2][1] = a[0];
    out[2][2] = 0.0;
}

// R^T D R for a diagonal D (a body tensor about its principal axes, as
// every primitive's is): R^T D only scales the columns of R^T. The full
// product's other terms are zeros, which change no sum, so the result is
// the full product's at about two thirds of its cost, for every moving
// body every step.
void turnDiagonal(const PxReal R[3][3], const PxReal D[3][3], PxReal out[3][3])
{
    PxMatrix3 scaled;
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) scaled[i][j] = R[j][i] * D[j][j];
    PxM3Mul(out, scaled, R);
}

bool isUnbounded(PxReal bound)
{
    return bound >= RBD_REAL_MAX || bound <= -RBD_REAL_MAX;
}

inline PxReal rowCorrectingVelocity(const PartitionRows &rows, int row, const RbdLcsParameters &parameters)
{
    return RowCorrection(parameters)(rows, row);
}

} // namespace

PxReal correctingVelocity(const PartitionRows &rows, int row, const RbdLcsParameters &parameters)
{
    return rowCorrectingVelocity(rows, row, parameters);
}

void BaseFunctions::updateInertiaTensor(RbdLcsBody *body) const
{
    PxMatrix3 R, RT, tmp;
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) R[i][j] = body->comTransform[i][j];
    if (body->flags & RBD_LCS_BODY_PRINCIPAL) {
        turnDiagonal(R, body->inertiaBody, body->inertiaWorld);
        turnDiagonal(R, body->invInertiaBody, body->invInertiaWorld);
        return;
    }
    PxM3Transpose(RT, R);
    PxM3Mul(tmp, RT, body->inertiaBody);
    PxM3Mul(body->inertiaWorld, tmp, R);
    PxM3Mul(tmp, RT, body->invInertiaBody);
    PxM3Mul(body->invInertiaWorld, tmp, R);
}

void BaseFunctions::updateMomentum(RbdLcsBody *body) const
{
    PxV3Scale(body->linearMomentum, body->linearVelocity, body->mass);
    mulM3V(body->angularMomentum, body->inertiaWorld, body->angularVelocity);
}

void BaseFunctions::buildInverseMass(const RbdLcsBody *body, BodyInverseMass *invM) const
{
    invM->invMass = body->invMass;
    memcpy(invM->invInertia, body->invInertiaWorld, sizeof(PxMatrix3));
}

void BaseFunctions::buildStabilizedInverseMass(const RbdLcsBody *body, PxReal h2, PxReal scale,
                                               BodyInverseMass *invM) const
{
    PxMatrix3 Lx, tmp, LIL, stiff;
    crossMatrix(Lx, body->angularMomentum);
    PxM3Mul(tmp, Lx, body->invInertiaWorld);
    PxM3Mul(LIL, tmp, Lx);
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) stiff[i][j] = body->inertiaWorld[i][j] - scale * h2 * LIL[i][j];
    invM->invMass = body->invMass;
    // -[L]x I^-1 [L]x is positive semi-definite, so stiff is invertible
    // whenever I is; fall back to the plain inverse for a massless body.
    if (!invert3(stiff, invM->invInertia)) memcpy(invM->invInertia, body->invInertiaWorld, sizeof(PxMatrix3));
}

void BaseFunctions::addNonInertialForces(int bodyCount, RbdLcsBody *const *bodies, PxReal scale, BodyLoad *load) const
{
    for (int b = 0; b < bodyCount; ++b) {
        PxVector3 gyro;
        PxV3Cross(gyro, bodies[b]->angularMomentum, bodies[b]->angularVelocity);
        PxV3AddScaled(load[b].torque, load[b].torque, gyro, scale);
    }
}

void BaseFunctions::addStabilizationTerm(int bodyCount, RbdLcsBody *const *bodies, BodyLoad *load) const
{
    addNonInertialForces(bodyCount, bodies, 1.0, load);
}

namespace {

// The six columns of constraint c's side in J M^-1, zero: no body there.
void zeroSide(const ConstraintLayout &layout, int c, int side, PxReal *JMinv)
{
    for (int r = 0; r < layout.rows[c]; ++r) {
        PxReal *jm = JMinv + tileIndex(layout.firstRow[c] + r, 6 * side);
        for (int k = 0; k < 6; ++k) jm[4 * k] = 0.0;
    }
}

// Calls row(i, c) for each row i of constraint c, or tile(i, c) for four
// rows at once from the first of a tile when all four act on the bodies
// of c: the contacts of one pair of bodies come one after another, and
// their rows fill whole tiles. Per row both compute the same sums in the
// same order, so which one a row takes does not change its result.
template <typename Row, typename Tile> void forEachRowOrTile(const ConstraintLayout &layout, Row row, Tile tile)
{
    for (int c = 0; c < layout.constraintCount;) {
        int end = c + 1, last = layout.firstRow[c] + layout.rows[c];
        while (end < layout.constraintCount && layout.firstRow[end] == last &&
               layout.bodies[2 * end] == layout.bodies[2 * c] &&
               layout.bodies[2 * end + 1] == layout.bodies[2 * c + 1])
            last += layout.rows[end++];
        for (int i = layout.firstRow[c]; i < last;) {
            if (i % kTileRows == 0 && i + kTileRows <= last) {
                tile(i, c);
                i += kTileRows;
            } else {
                row(i, c);
                ++i;
            }
        }
        c = end;
    }
}

// One side's six columns of J M^-1 for one row, its columns 4 reals apart.
void jacobianTimesInverseMass(const PxReal *j, const BodyInverseMass &m, PxReal *jm)
{
    for (int k = 0; k < 3; ++k) jm[4 * k] = m.invMass * j[4 * k];
    // The inverse inertia is symmetric: (J_ang I^-1)_k = (I^-1 J_ang)_k.
    for (int k = 0; k < 3; ++k) {
        PxReal s = 0.0;
        for (int l = 0; l < 3; ++l) s += m.invInertia[k][l] * j[4 * (3 + l)];
        jm[4 * (3 + k)] = s;
    }
}

// The same for the four rows of a tile from its first, two at a time.
void jacobianTimesInverseMassTile(const PxReal *j, const BodyInverseMass &m, PxReal *jm)
{
    const Pair invMass = splat(m.invMass);
    for (int k = 0; k < 3; ++k) {
        store2(jm + 4 * k, invMass * load2(j + 4 * k));
        store2(jm + 4 * k + 2, invMass * load2(j + 4 * k + 2));
    }
    for (int k = 0; k < 3; ++k) {
        Pair s[2] = {splat(0.0), splat(0.0)};
        for (int l = 0; l < 3; ++l) {
            const Pair inertia = splat(m.invInertia[k][l]);
            s[0] += inertia * load2(j + 4 * (3 + l));
            s[1] += inertia * load2(j + 4 * (3 + l) + 2);
        }
        store2(jm + 4 * (3 + k), s[0]);
        store2(jm + 4 * (3 + k) + 2, s[1]);
    }
}

// rhs of one row of constraint c.
PxReal rhsRow(const PartitionRows &rows, int row, int c, RbdLcsBody *const *bodies, const PxReal *JMinv,
              const BodyLoad *load, const RbdLcsParameters &parameters)
{
    const PxReal h = parameters.stepsize;
    PxReal value = rows.c[row] - rowCorrectingVelocity(rows, row, parameters);
    for (int side = 0; side < 2; ++side) {
        int body = rows.layout.bodies[2 * c + side];
        if (body < 0) continue;
        // The row's columns on this side, 4 reals apart.
        const PxReal *j = rows.J + tileIndex(row, 6 * side), *jm = JMinv + tileIndex(row, 6 * side);
        const RbdLcsBody *b = bodies[body];
        const BodyLoad &f = load[body];
        for (int k = 0; k < 3; ++k) {
            value -= j[4 * k] * b->linearVelocity[k] + j[4 * (3 + k)] * b->angularVelocity[k];
            value -= h * (jm[4 * k] * f.force[k] + jm[4 * (3 + k)] * f.torque[k]);
        }
    }
    return value;
}

// The same for the four rows of a tile from its first, all of constraint
// c's bodies, two at a time.
void rhsTile(const PartitionRows &rows, int row, int c, RbdLcsBody *const *bodies, const PxReal *JMinv,
             const BodyLoad *load, const RbdLcsParameters &parameters, PxReal *rhs)
{
    const Pair h = splat(parameters.stepsize);
    PxReal start[kTileRows];
    for (int r = 0; r < kTileRows; ++r) start[r] = rows.c[row + r] - rowCorrectingVelocity(rows, row + r, parameters);
    Pair value[2] = {load2(start), load2(start + 2)};
    for (int side = 0; side < 2; ++side) {
        int body = rows.layout.bodies[2 * c + side];
        if (body < 0) continue;
        const PxReal *j = rows.J + tileIndex(row, 6 * side), *jm = JMinv + tileIndex(row, 6 * side);
        const RbdLcsBody *b = bodies[body];
        const BodyLoad &f = load[body];
        for (int k = 0; k < 3; ++k) {
            const Pair v = splat(b->linearVelocity[k]), w = splat(b->angularVelocity[k]);
            const Pair force = splat(f.force[k]), torque = splat(f.torque[k]);
            for (int half = 0; half < 2; ++half) {
                const int at = 2 * half;
                value[half] -= load2(j + 4 * k + at) * v + load2(j + 4 * (3 + k) + at) * w;
                value[half] -= h * (load2(jm + 4 * k + at) * force + load2(jm + 4 * (3 + k) + at) * torque);
            }
        }
    }
    store2(rhs + row, value[0]);
    store2(rhs + row + 2, value[1]);
}

} // namespace

void BaseFunctions::multiplyJacobianAndInverseMatrix(const PartitionRows &rows, const BodyInverseMass *invM,
                                                     PxReal *JMinv) const
{
    const ConstraintLayout &layout = rows.layout;
    // Every entry is written once: the rows' columns of a body below, zeros
    // for the world's (or a frozen body's) side and for the padding rows. A
    // chain's island clears no whole matrix only to fill it again.
    for (int row = layout.rowCount; row < layout.paddedRowCount; ++row)
        for (int col = 0; col < kTileColumns; ++col) JMinv[tileIndex(row, col)] = 0.0;
    for (int c = 0; c < layout.constraintCount; ++c)
        for (int side = 0; side < 2; ++side)
            if (layout.bodies[2 * c + side] < 0) zeroSide(layout, c, side, JMinv);
    auto sides = [&](int row, int c, auto product) {
        for (int side = 0; side < 2; ++side) {
            int body = layout.bodies[2 * c + side];
            if (body >= 0) product(rows.J + tileIndex(row, 6 * side), invM[body], JMinv + tileIndex(row, 6 * side));
        }
    };
    forEachRowOrTile(
        layout, [&](int row, int c) { sides(row, c, jacobianTimesInverseMass); },
        [&](int row, int c) { sides(row, c, jacobianTimesInverseMassTile); });
}

void BaseFunctions::computeRhs(const PartitionRows &rows, RbdLcsBody *const *bodies, const PxReal *JMinv,
                               const BodyLoad *load, const RbdLcsParameters &parameters, PxReal *rhs) const
{
    const ConstraintLayout &layout = rows.layout;
    memset(rhs, 0, sizeof(PxReal) * static_cast<size_t>(layout.paddedRowCount));
    forEachRowOrTile(
        layout, [&](int row, int c) { rhs[row] = rhsRow(rows, row, c, bodies, JMinv, load, parameters); },
        [&](int row, int c) { rhsTile(rows, row, c, bodies, JMinv, load, parameters, rhs); });
}

void BaseFunctions::scaleBounds(PartitionRows &rows, PxReal factor) const
{
    for (int i = 0; i < rows.layout.rowCount; ++i) {
        if (!isUnbounded(rows.lo[i])) rows.lo[i] *= factor;
        if (!isUnbounded(rows.hi[i])) rows.hi[i] *= factor;
    }
}

void BaseFunctions::calcJtConstraintForces(PartitionRows &rows, RbdBaseConstraint *const *constraints, PxReal h,
                                           int lambdaIsForce, BodyLoad *load) const
{
    const ConstraintLayout &layout = rows.layout;
    for (int c = 0; c < layout.constraintCount; ++c) {
        if (constraints && c + kRbdPrefetchAhead < layout.constraintCount && constraints[c + kRbdPrefetchAhead])
            RbdPrefetchRange(constraints[c + kRbdPrefetchAhead], offsetof(RbdBaseConstraint, force),
                             offsetof(RbdBaseConstraint, lambda));
        // Per side: force (columns 0-2) and torque (3-5), each row's force
        // read once for both sides. Two columns at a time: each column still
        // sums its rows' terms in row order.
        Pair columnPairs[6] = {};
        const int first = layout.firstRow[c], end = first + layout.rows[c];
        const PxReal *j = rows.J + tileIndex(first, 0); // the row's columns, 4 reals apart
        for (int row = first; row < end; ++row) {
            const Pair f = splat(rows.lambda[row] / h);
            for (int k = 0; k < 6; ++k) columnPairs[k] += Pair{j[8 * k], j[8 * k + 4]} * f;
            // The next row: the next real of its tile, or the first of the next tile.
            j += (row + 1) % kTileRows != 0 ? 1 : kTileSize - (kTileRows - 1);
        }
        PxReal sum[2][6];
        for (int k = 0; k < 6; ++k) store2(&sum[0][0] + 2 * k, columnPairs[k]);
        for (int side = 0; side < 2; ++side) {
            const PxReal *force = sum[side], *torque = sum[side] + 3;
            int body = layout.bodies[2 * c + side];
            if (body >= 0) {
                PxV3Add(load[body].force, load[body].force, force);
                PxV3Add(load[body].torque, load[body].torque, torque);
            }
            if (constraints && constraints[c]) {
                PxV3Copy(constraints[c]->force[side], force);
                PxV3Copy(constraints[c]->torque[side], torque);
            }
        }
    }
    if (lambdaIsForce)
        for (int i = 0; i < layout.rowCount; ++i) rows.lambda[i] /= h;
}

void BaseFunctions::bodyUpdateForces(int bodyCount, RbdLcsBody *const *bodies, const BodyInverseMass *invM,
                                     const BodyLoad *load) const
{
    for (int b = 0; b < bodyCount; ++b) {
        RbdPrefetchSolverBodyAhead(bodies, b, bodyCount);
        PxV3Scale(bodies[b]->linearAcceleration, load[b].force, invM[b].invMass);
        mulM3V(bodies[b]->angularAcceleration, invM[b].invInertia, load[b].torque);
    }
}

void BaseFunctions::updateVelocity(RbdLcsBody *body, PxReal h) const
{
    PxV3AddScaled(body->linearVelocity, body->linearVelocity, body->linearAcceleration, h);
    PxV3AddScaled(body->angularVelocity, body->angularVelocity, body->angularAcceleration, h);
}

void BaseFunctions::multiInverseMatrix(RbdLcsBody *body, PxReal h) const
{
    PxVector3 L, gyro, dw;
    mulM3V(L, body->inertiaWorld, body->angularVelocity);
    PxV3Cross(gyro, L, body->angularVelocity);
    mulM3V(dw, body->invInertiaWorld, gyro);
    PxV3AddScaled(body->angularVelocity, body->angularVelocity, dw, h);
}

void BaseFunctions::updatePosition(RbdLcsBody *body, PxReal h) const
{
    for (int k = 0; k < 3; ++k)
        body->comTransform[3][k] += h * body->linearVelocity[k] + 0.5 * h * h * body->linearAcceleration[k];
    body->comTransform[3][3] = 1.0;
}

void BaseFunctions::updateQuaternion(RbdLcsBody *body, PxReal h, int method) const
{
    PxReal *q = body->quaternion;
    if (method == 1) {
        // q += h/2 (0, w) q
        const PxReal *w = body->angularVelocity;
        PxReal dq[4] = {-(w[0] * q[1] + w[1] * q[2] + w[2] * q[3]), w[0] * q[0] + w[1] * q[3] - w[2] * q[2],
                        w[1] * q[0] + w[2] * q[1] - w[0] * q[3], w[2] * q[0] + w[0] * q[2] - w[1] * q[1]};
        for (int k = 0; k < 4; ++k) q[k] += 0.5 * h * dq[k];
    } else {
        PxVector3 w;
        PxV3Copy(w, body->angularVelocity);
        if (method == 2 && (body->flags & RBD_LCS_BODY_FAST_SPIN)) {
            // Spin about the wheel axis as one rotation of its own, so that
            // its large angle does not mix with the small remaining one.
            PxVector3 spin;
            PxV3Scale(spin, body->fastSpinAxis, PxV3Dot(w, body->fastSpinAxis));
            PxQuaternionFiniteRotation(q, spin, h);
            PxV3Sub(w, w, spin);
        }
        PxQuaternionFiniteRotation(q, w, h);
    }
    PxReal norm = sqrt(q[0] * q[0] + q[1] * q[1] + q[2] * q[2] + q[3] * q[3]);
    if (norm > 0.0)
        for (int k = 0; k < 4; ++k) q[k] /= norm;
}

bool BaseFunctions::checkQuaternionMethod(int method) const
{
    if (method >= 1 && method <= 3) return true;
    PxFatalError(RBD_MESSAGE_LEVEL, "\n ++ RbdLcs:: updateQuaternion:: No such method : %d \n++", method);
    return false;
}

void BaseFunctions::updateQuaternion(int bodyCount, RbdLcsBody *const *bodies, PxReal h, int method) const
{
    if (!checkQuaternionMethod(method)) return;
    for (int b = 0; b < bodyCount; ++b) updateQuaternion(bodies[b], h, method);
}

void BaseFunctions::updateRotation(RbdLcsBody *body) const
{
    PxMatrix3 R;
    PxQuaternionToMatrix3(R, body->quaternion);
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) body->comTransform[i][j] = R[i][j];
    updateInertiaTensor(body);
}

void BaseFunctions::integrateBodies(int bodyCount, RbdLcsBody *const *bodies, PxReal h, PxReal gyroscopicStep,
                                    int method) const
{
    if (!checkQuaternionMethod(method)) return;
    // Last body first: the pass before (the accelerations) ended there, and
    // the walk after (the world's unpacking) starts where this one ends, so
    // each meets the records the one before touched last.
    for (int b = bodyCount - 1; b >= 0; --b) {
        if (b >= kRbdPrefetchAhead) RbdPrefetchRange(bodies[b - kRbdPrefetchAhead], 0, sizeof(RbdLcsBody));
        RbdLcsBody *body = bodies[b];
        updateVelocity(body, h);
        if (gyroscopicStep != 0.0) multiInverseMatrix(body, gyroscopicStep);
        updatePosition(body, h);
        updateQuaternion(body, h, method);
        updateRotation(body);
    }
}

} // namespace lcs
