// With matching by place, a pair's contacts continue from step to step by
// where they touch: a box resting off-centre (or turned) on a fixed box,
// whose collision results are shuffled before the bridge sees them, keeps
// each corner that stays on the record (and so the force) that corner had
// in the last step.
#include <math.h>

#include <algorithm>
#include <random>
#include <vector>

#include <gtest/gtest.h>

#include <kelmar/Cdx.h>
#include <kelmar/PxVector.h>
#include <kelmar/Rbd.h>
#include <kelmar/Sbx.h>

#include "bridge/test_universe_support.h"

namespace {

const SbxUniverseSizes kSizes = {8, 64, 7, 64, 512, 2};

struct Seen {
    RbdContactID record;
    PxVector3 position;
    PxVector3 force; // on body 0 in the last step (N)
};

std::vector<Seen> chainOf(RbdContactID head)
{
    std::vector<Seen> all;
    for (RbdContactID c = head; c; c = RbdContactGetNext(c)) {
        Seen s;
        s.record = c;
        RbdContactGetPosition(c, s.position);
        RbdConstraintGetForce(c, 0, s.force);
        all.push_back(s);
    }
    return all;
}

// What the shuffling response checked.
struct Watch {
    std::mt19937 rng{11};
    bool checking = false;
    int corners = 0;     // corners checked
    PxReal spread = 0.0; // largest difference of two corners' normal forces (N)
    PxReal weight = 0.0; // of the top box (N)
};

// Shuffles the collision contacts, lets the bridge's own response make the
// dynamics contacts, and checks each against the pair's contacts before.
void shuffledResponse(SbxBridgeID bridge, CdxModelPair *pair, CdxIntersectResult *result, CdxSpaceID space,
                      RbdWorldID world, void *user)
{
    Watch &watch = *static_cast<Watch *>(user);
    std::shuffle(result->contacts, result->contacts + result->contactCount, watch.rng);
    const std::vector<Seen> before = chainOf(SbxModelPairGetContacts(pair));
    SbxResponse_Body_Body(bridge, pair, result, space, world, nullptr);
    if (!watch.checking) return;
    const std::vector<Seen> after = chainOf(SbxModelPairGetContacts(pair));
    for (const Seen &now : after) {
        // The corner of the last step at this place, if it stayed (the box
        // is at rest: a corner moves by far less than a millimetre a step,
        // while the contacts a turned box's face is reduced to may move to
        // other corners of the face's outline).
        const Seen *last = nullptr;
        for (const Seen &s : before) {
            PxVector3 gap;
            PxV3Sub(gap, now.position, s.position);
            if (PxV3Length(gap) < 1e-3) last = &s;
        }
        if (!last) continue;
        EXPECT_EQ(now.record, last->record) << "the corner continues on its record";
        for (int k = 0; k < 3; ++k) EXPECT_EQ(now.force[k], last->force[k]);
        ++watch.corners;
    }
    for (const Seen &a : before)
        for (const Seen &b : before) watch.spread = std::max(watch.spread, fabs(a.force[2] - b.force[2]));
}

struct Placement {
    PxReal x, y; // offset of the top box from the bottom one (m)
    PxReal turn; // about the vertical (rad)
};

class ContactContinuity : public sbxtest::UniverseFixture, public ::testing::WithParamInterface<Placement> {
protected:
    ContactContinuity() : UniverseFixture(kSizes) {}
};

TEST_P(ContactContinuity, CornersKeepTheirRecordsWhileTheResultsAreShuffled)
{
    const Placement p = GetParam();
    Watch watch;
    RbdWorldSetAutoDisable(world, 0); // a sleeping pair is not intersected
    SbxBridgeID bridge = SbxUniverseGetBridge(universe);
    SbxBridgeSetContactMatching(bridge, 1);
    SbxBridgeRegisterResponse(bridge, SbxBodyResponseID, SbxBodyResponseID, SbxResponseStart_Body_Body,
                              shuffledResponse, SbxResponseEnd_Body_Body, nullptr, &watch);
    fixedAt(keep(CdxBoxCreate(1.0, 1.0, 1.0)), 0.0, 0.0, 0.5);
    CdxModelID top = dropped(keep(CdxBoxCreate(1.0, 1.0, 1.0)), p.x, p.y, 1.5, 100.0);
    RbdBodyID body = CdxModelGetBody(top);
    PxQuaternion q = {cos(p.turn / 2), 0.0, 0.0, sin(p.turn / 2)};
    RbdBodySetQuaternion(body, q[0], q[1], q[2], q[3]);
    watch.weight = 9.81 * RbdBodyGetMass(body);
    steps(100);
    ASSERT_LT(speed(top), 1e-3) << "the box has settled";
    watch.checking = true;
    steps(50);
    EXPECT_GE(watch.corners, 50 * 2) << "corners stayed";
    // The corners carry different forces, so that a corner on another's
    // record would be seen.
    EXPECT_GT(watch.spread, 0.05 * watch.weight);
}

INSTANTIATE_TEST_SUITE_P(OffCentreAndTurned, ContactContinuity,
                         ::testing::Values(Placement{0.2, 0.0, 0.0}, Placement{0.15, -0.25, 0.0},
                                           Placement{0.1, 0.1, 0.5}));

} // namespace
