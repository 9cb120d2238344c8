// Whether a mass and an inertia tensor can be a rigid body's: the masses
// the solver holds stiff, and tensors whose principal moments are positive,
// in range and obey the triangle inequality.
#include <math.h>
#include "world/RbdInternal.h"

namespace {

// Relative slack of the symmetry and triangle tests: a thin plate has
// I3 = I1 + I2 exactly, up to rounding.
const PxReal kSlack = 1e-6;

// Eigenvalues of a symmetric 3 x 3 (the trigonometric closed form), any order.
void symmetricEigenvalues(const PxReal a[3][3], PxReal e[3])
{
    const PxReal offDiagonal = a[0][1] * a[0][1] + a[0][2] * a[0][2] + a[1][2] * a[1][2];
    const PxReal q = (a[0][0] + a[1][1] + a[2][2]) / 3.0;
    if (offDiagonal == 0.0) {
        for (int i = 0; i < 3; ++i) e[i] = a[i][i];
        return;
    }
    const PxReal d0 = a[0][0] - q, d1 = a[1][1] - q, d2 = a[2][2] - q;
    const PxReal p = sqrt((d0 * d0 + d1 * d1 + d2 * d2 + 2.0 * offDiagonal) / 6.0);
    // det((A - qI) / p) / 2, clamped against rounding.
    const PxReal b01 = a[0][1] / p, b02 = a[0][2] / p, b12 = a[1][2] / p;
    const PxReal b0 = d0 / p, b1 = d1 / p, b2 = d2 / p;
    PxReal r = 0.5 * (b0 * (b1 * b2 - b12 * b12) - b01 * (b01 * b2 - b12 * b02) + b02 * (b01 * b12 - b1 * b02));
    r = r < -1.0 ? -1.0 : (r > 1.0 ? 1.0 : r);
    const PxReal phi = acos(r) / 3.0;
    e[0] = q + 2.0 * p * cos(phi);
    e[2] = q + 2.0 * p * cos(phi + 2.0 * RBD_PI / 3.0);
    e[1] = 3.0 * q - e[0] - e[2];
}

bool isSymmetric(const PxReal a[3][3])
{
    PxReal largest = 0.0;
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) largest = fmax(largest, fabs(a[i][j]));
    for (int i = 0; i < 3; ++i)
        for (int j = i + 1; j < 3; ++j)
            if (fabs(a[i][j] - a[j][i]) > kSlack * largest) return false;
    return true;
}

} // namespace

bool RbdCheckMass(PxReal mass, const char *function)
{
    if (mass >= RBD_MASS_MIN && mass <= RBD_MASS_MAX) return true;
    PxWarning(RBD_MESSAGE_LEVEL, "%s: mass %g is outside %g .. %g kg; ignored.\n", function, mass, RBD_MASS_MIN,
              RBD_MASS_MAX);
    return false;
}

const char *RbdInertiaTensorProblem(const PxMatrix3 inertia)
{
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            if (!isfinite(inertia[i][j])) return "it is not finite";
    if (!isSymmetric(inertia)) return "it is not symmetric";
    PxReal moment[3];
    symmetricEigenvalues(inertia, moment);
    for (int i = 0; i < 3; ++i) {
        if (!(moment[i] >= RBD_INERTIA_MIN))
            return "a principal moment is below 1e-12 kg m^2 (not positive definite)";
        if (moment[i] > RBD_INERTIA_MAX) return "a principal moment is above 1e+12 kg m^2";
    }
    for (int i = 0; i < 3; ++i)
        if (moment[i] > (moment[(i + 1) % 3] + moment[(i + 2) % 3]) * (1.0 + kSlack))
            return "a principal moment exceeds the sum of the other two (no rigid body has such moments)";
    return nullptr;
}
