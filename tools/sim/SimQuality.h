// Quality figures of the scenes: how far a stack drifted, how many balls
// of a pile touch something, how far apart a chain's hinges came. Computed
// from body states alone, the same way whatever produced the states.
#ifndef KELMAR_TOOLS_SIMQUALITY_H
#define KELMAR_TOOLS_SIMQUALITY_H

#include <string>
#include <vector>

#include <kelmar/PxTypes.h>
#include <kelmar/RbdTypes.h>

namespace ksim {

// Pose and velocity of one body's reference frame.
struct BodyState {
    PxVector3 position;
    PxMatrix3 rotation; // rows: the body's axes in the world
    PxVector3 velocity;
};

BodyState readState(RbdBodyID body);
std::vector<BodyState> readStates(const std::vector<RbdBodyID> &bodies);

// A scene's figures: `words` as name=value words in the benchmark line
// format, `summary` as a sentence for people.
struct Figures {
    std::string words;
    std::string summary;
};

PxReal largestSpeed(const std::vector<BodyState> &states);
// The world position of a point given in a body's frame.
void pointOf(const BodyState &state, const PxVector3 local, PxVector3 world);

// A column of boxes: the top box's horizontal distance from the column
// axis (x = y = 0) and its height change; the stack stands when every box
// is within standZ of its start height and standXY of the axis.
struct StackJudgement {
    PxReal topDriftXY;
    PxReal topDz;
    bool stands;
};
StackJudgement judgeStack(const std::vector<BodyState> &boxes, const std::vector<PxReal> &startZ, PxReal standZ,
                          PxReal standXY);

// Balls of one radius on the ground z = 0, inside walls whose inner faces
// are at |x| = |y| = wallInner (0: no walls). A ball touches something
// when its surface is within tolerance of the ground, a wall's inner face
// or another ball (penetration counts). Pairs are found by sorting along x
// and sweeping.
int countTouching(const std::vector<BodyState> &balls, PxReal radius, PxReal wallInner, PxReal tolerance);
// Balls whose centre left the walled box (or fell below the ground).
int countEscaped(const std::vector<BodyState> &balls, PxReal wallInner);

// A chain of links along their local x axes with pitch between hinges,
// each hinge half a pitch from the centres of its links and the first
// holding link 0 at the world point anchor: the largest distance between
// a hinge's anchor as carried by either of its two sides.
PxReal chainGap(const std::vector<BodyState> &links, PxReal pitch, const PxVector3 anchor);

// Lowest centre height and the number of centres below the ground.
PxReal lowestHeight(const std::vector<BodyState> &bodies);
int countBelowGround(const std::vector<BodyState> &bodies);

// The largest kinetic energy of one body (J), translation and rotation:
// below 1e-4 J a body counts as at rest.
PxReal largestKineticEnergy(const std::vector<RbdBodyID> &bodies);
// v^T I v for a world-frame vector v and the body's inertia I (kg m^2 times
// v's units squared): twice the rotational energy of spinning at v.
PxReal inertiaQuadratic(RbdBodyID body, const BodyState &state, const PxVector3 v);
// The deepest penetration of an enabled contact of the world (m; 0 when
// none penetrates).
PxReal deepestContact(RbdWorldID world);

// Enabled contacts of the world, and bodies with at least one.
int countContacts(RbdWorldID world);
int countBodiesInContact(const std::vector<RbdBodyID> &bodies);

} // namespace ksim

#endif
