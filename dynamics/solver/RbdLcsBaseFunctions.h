// The per-body and per-row vector operations the steppers are made of.
#ifndef KELMAR_DYNAMICS_RBDLCSBASEFUNCTIONS_H
#define KELMAR_DYNAMICS_RBDLCSBASEFUNCTIONS_H

#include <kelmar/PxTypes.h>
#include "solver/RbdLcsTypes.h"
#include "solver/RbdBcl.h"
#include "solver/RbdLcsSparseMap.h"

struct RbdBaseConstraint;

namespace lcs {

// One block of the block-diagonal inverse mass matrix "inv M".
struct BodyInverseMass {
    PxReal invMass;          // 1/kg
    PxReal invInertia[3][3]; // world frame, 1/(kg m^2)
};

// Force and torque acting on a body during the step (N, N m; world frame).
struct BodyLoad {
    PxVector3 force;
    PxVector3 torque;
};

// The partition as the steppers see it: bodies by index, and the rows of
// the partition (pointers already offset to its first row).
struct PartitionRows {
    ConstraintLayout layout;
    const PxReal *J;          // (padded rows / 4) tiles
    const PxReal *phi, *c;    // (rows) error and target velocity
    PxReal *lo, *hi, *lambda; // (rows)
    const PxReal *rowEpsilon, *rowGamma;
    const int32_t *correction; // RbdBclCorrection per row
    const PxReal *mu;
    int32_t *state;
    int32_t *frictionRef; // partition-relative normal row, -1 for none
    int frictionCount;
};

// The row's stabilisation term (gamma + rowGamma) phi / h, bounded for hard
// rows (m/s, rad/s for angular rows); both solvers' right-hand sides use it.
PxReal correctingVelocity(const PartitionRows &rows, int row, const RbdLcsParameters &parameters);

// correctingVelocity with the step's rates worked out once, for loops over
// many rows: the same values. Rows with a gamma of their own are springs
// and driven rows are bounded by their forces. A hard row corrects its
// error at no more than the maximum correcting velocity; a penetration also
// at no more than the maximum correcting rate times its depth, so that
// stacked contacts, whose corrections add up, do not launch what rests on
// them however short the step. A contact whose bodies are still apart
// (within the contact tolerance) lets them close the whole gap in this
// step, and no faster.
class RowCorrection {
public:
    explicit RowCorrection(const RbdLcsParameters &parameters)
        : h_(parameters.stepsize), gamma_(parameters.gamma), hardRate_(gamma_ / h_),
          penetrationRate_(hardRate_ > parameters.maxCorrectingRate ? parameters.maxCorrectingRate : hardRate_),
          most_(parameters.maxCorrectingVelocity)
    {
    }

    PxReal operator()(const PartitionRows &rows, int row) const
    {
        const PxReal phi = rows.phi[row], rowGamma = rows.rowGamma[row];
        const int32_t kind = rows.correction[row];
        if (rowGamma != 0.0 || kind == RBD_CORRECTION_DRIVEN) return (gamma_ + rowGamma) / h_ * phi;
        const bool penetration = kind == RBD_CORRECTION_PENETRATION;
        if (penetration && phi > 0.0) return phi / h_;
        const PxReal velocity = (penetration ? penetrationRate_ : hardRate_) * phi;
        return velocity > most_ ? most_ : (velocity < -most_ ? -most_ : velocity);
    }

private:
    PxReal h_, gamma_;
    PxReal hardRate_, penetrationRate_; // 1/s
    PxReal most_;                       // the maximum correcting velocity
};

class BaseFunctions {
public:
    // I_world = R^T I_body R and its inverse, R the rotation rows of comTransform.
    void updateInertiaTensor(RbdLcsBody *body) const;
    // p = m v, L = I w.
    void updateMomentum(RbdLcsBody *body) const;
    void buildInverseMass(const RbdLcsBody *body, BodyInverseMass *invM) const;
    // Inverse inertia of I - scale h2 [L]x I^-1 [L]x, h2 the step squared:
    // stiffer for fast spin.
    void buildStabilizedInverseMass(const RbdLcsBody *body, PxReal h2, PxReal scale, BodyInverseMass *invM) const;
    // The gyroscopic torque L x w (= -w x L of Euler's equations), times scale.
    void addNonInertialForces(int bodyCount, RbdLcsBody *const *bodies, PxReal scale, BodyLoad *load) const;
    // The vintage model's L x w, added after the solve.
    void addStabilizationTerm(int bodyCount, RbdLcsBody *const *bodies, BodyLoad *load) const;
    // JMinv (tiles like J) = J M^-1 row by row.
    void multiplyJacobianAndInverseMatrix(const PartitionRows &rows, const BodyInverseMass *invM,
                                          PxReal *JMinv) const;
    // rhs = c - (gamma + rowGamma) / h phi - J v - h J M^-1 f.
    void computeRhs(const PartitionRows &rows, RbdLcsBody *const *bodies, const PxReal *JMinv, const BodyLoad *load,
                    const RbdLcsParameters &parameters, PxReal *rhs) const;
    // Finite bounds times factor; +-RBD_REAL_MAX stays.
    void scaleBounds(PartitionRows &rows, PxReal factor) const;
    // Row impulses to forces: J^T lambda / h on the bodies of each row, added
    // to load and, when the constraint records are given, stored per
    // constraint and body. With lambdaIsForce each row's lambda is replaced
    // by lambda / h.
    void calcJtConstraintForces(PartitionRows &rows, RbdBaseConstraint *const *constraints, PxReal h,
                                int lambdaIsForce, BodyLoad *load) const;
    // a = M^-1 (f + f_constraint).
    void bodyUpdateForces(int bodyCount, RbdLcsBody *const *bodies, const BodyInverseMass *invM,
                          const BodyLoad *load) const;

    // One body's integration over h, in the order integrateBodies applies them.
    void updateVelocity(RbdLcsBody *body, PxReal h) const;
    // w += h I^-1 (L x w) with L = I w at the current w: a further explicit
    // gyroscopic step of length h.
    void multiInverseMatrix(RbdLcsBody *body, PxReal h) const;
    void updatePosition(RbdLcsBody *body, PxReal h) const;
    // 1: first-order q += h/2 (0, w) q; 2: exact finite rotation with the
    // fast-spin split; 3: exact finite rotation of the whole w. Any other
    // method is fatal.
    void updateQuaternion(RbdLcsBody *body, PxReal h, int method) const;
    void updateQuaternion(int bodyCount, RbdLcsBody *const *bodies, PxReal h, int method) const;
    // Rotation rows from the quaternion, then the world inertia.
    void updateRotation(RbdLcsBody *body) const;
    // Velocity, the gyroscopic step (gyroscopicStep 0: none), position,
    // quaternion and rotation, body by body: an island too large for the
    // cache has each record fetched once rather than once a stage. Each
    // body's stages read only its own record, so the results are those of
    // one pass over all bodies per stage.
    void integrateBodies(int bodyCount, RbdLcsBody *const *bodies, PxReal h, PxReal gyroscopicStep, int method) const;

private:
    bool checkQuaternionMethod(int method) const;
};

} // namespace lcs

#endif
