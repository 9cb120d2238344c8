// Shared helpers of the dynamics tests: worlds, message capture, seeded
// random poses, rigid motions and row building.
#ifndef KELMAR_TESTS_RBDTESTSUPPORT_H
#define KELMAR_TESTS_RBDTESTSUPPORT_H

#include <random>
#include <string>
#include <vector>
#include "world/RbdInternal.h"
#include "common/MessageLog.h"
#include "test_step_support.h"

namespace rbdtest {

// A world destroyed with the test.
using steptest::World;

// Collects warnings (and fatal errors) while alive instead of printing them.
using WarningCapture = steptest::Messages;

using Rng = std::mt19937;

PxReal uniform(Rng &rng, PxReal lo, PxReal hi);
void randomVector(Rng &rng, PxReal scale, PxVector3 out);
void randomUnitVector(Rng &rng, PxVector3 out);
// A random rigid transform: uniform rotation, translation within +-scale.
void randomTransform(Rng &rng, PxReal scale, PxMatrix4 out);
// Rotation of each row of a 3 x 3 block about a unit axis by angle (right hand).
void rotateRows(PxReal rows[][4], int count, const PxVector3 axis, PxReal angle);
// Rotates the body about a world point and axis by angle.
void rotateBodyAbout(RbdBodyID body, const PxVector3 point, const PxVector3 axis, PxReal angle);
void translateBody(RbdBodyID body, const PxVector3 offset);
// Moves the body's centre-of-mass frame rigidly for time dt at its current
// linear (of the centre of mass) and angular velocity.
void moveBodyRigidly(RbdBodyID body, PxReal dt);

// Puts the body at a random rigid transform (translation within +-scale).
void randomBodyTransform(Rng &rng, PxReal scale, RbdBodyID body);
// Moves the body's centre of mass to a random relative transform
// (translation within +-scale).
void randomCenterOfMassOffset(Rng &rng, PxReal scale, RbdBodyID body);

// Active stops of the limit at lower and upper (default single limits otherwise).
void setStops(RbdLimit *limit, PxReal lower, PxReal upper);

// A row list of its own with room for `constraints` constraints.
struct OwnRowList {
    explicit OwnRowList(int32_t constraints = 2) { RbdBclCreateConstraintRowList(&list, constraints); }
    ~OwnRowList() { RbdBclDestroyConstraintRowList(&list); }
    OwnRowList(const OwnRowList &) = delete;
    OwnRowList &operator=(const OwnRowList &) = delete;
    RbdLcsConstraints list;
};

// Builds one partition holding just this constraint; returns its row count.
int32_t buildRows(RbdLcsConstraints *list, RbdConstraintID c, const RbdBclParameters &parameters);

} // namespace rbdtest

#endif
