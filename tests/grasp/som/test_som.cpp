// The SOM grasp on our five-fingered hand: it closes on a cylinder under
// the palm, following the map of tools/make_hand24.py. Then its parts: the
// best-matching node and its tie rule, the contact memory against a table
// worked out by hand, the projection mask, and the messages of bad input,
// one table.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include <unistd.h>

#include <kelmar/Limit.h>

#include "GraspTestSupport.h"

namespace {

// hand24.px with a wooden cylinder (radius 2.5 cm, 12 cm long, along x)
// under the fingers, held in place; no gravity.
std::string Hand24WithCylinder()
{
    return R"(<WORLD><GRAVITY>0, 0, 0</GRAVITY><TIMESTEP>0.005</TIMESTEP></WORLD>
<IMPORT hand><NAME>)" +
           grasptest::Example("hand24") + R"(</NAME></IMPORT>
<GEOMETRIES><CYLINDER can_shape><RADIUS>2.5</RADIUS><HEIGHT>12</HEIGHT></CYLINDER></GEOMETRIES>
<SOLID can><GEOMETRY_ID>can_shape</GEOMETRY_ID><MATERIAL>wood</MATERIAL><POS>0, 8, -4</POS>
<EULER>0, 1.5707963267948966, 0</EULER><FROZEN>1</FROZEN></SOLID>)";
}

// Fingers touching object: any of a finger's links (the thumb's first is
// its metacarpal, the others' their knuckle).
int FingersOn(grasptest::World &w, const kelmar::Solid *object)
{
    const char *fingers[5] = {"f0_thumb", "f1_index", "f2_middle", "f3_ring", "f4_little"};
    int n = 0;
    for (int f = 0; f < 5; ++f) {
        bool touching = false;
        for (const char *link : {"_proximal", "_middle", "_distal", f == 0 ? "_meta" : "_knuckle"})
            touching |= grasptest::Touches(w.solid(("hand." + std::string(fingers[f]) + link).c_str()), object);
        n += touching ? 1 : 0;
    }
    return n;
}

TEST(SomGrasp, ClosesTheFiveFingeredHandOnACylinder)
{
    grasptest::World w(Hand24WithCylinder());
    ASSERT_EQ(w.loadErrors, 0);
    kelmar::Robot *hand = w.robot("hand.robot");
    ASSERT_NE(hand, nullptr);
    ASSERT_EQ(hand->numJoints, 24);
    kelmar::GraspShadowSOMGrasp som;
    som.init(hand, 0.02f, 0.05f);
    ASSERT_TRUE(som.loadSOM(grasptest::Example("hand24_som.txt").c_str(), "power", 20, 24));
    ASSERT_TRUE(som.setActiveSOM("power"));
    // The wrist joints follow themselves; an arm would hold them: here locks do.
    hand->GetNodeOfJoint(0)->limit->SetLock(true);
    hand->GetNodeOfJoint(1)->limit->SetLock(true);
    testing::internal::CaptureStderr(); // the locks refuse the wrist's targets, once each; the thumb hits its stops
    // Once closed (by step 100) the hand holds: no finger shakes itself off the can.
    int fewestOn = 5;
    for (int s = 0; s < 300; ++s) {
        som.grasp();
        w.Steps(1);
        if (s >= 100) fewestOn = std::min(fewestOn, FingersOn(w, w.solid("can")));
    }
    const std::string refusals = testing::internal::GetCapturedStderr();
    EXPECT_EQ(refusals.rfind(
                  "hand.wrist_flex: cannot move locked joint!\nhand.wrist_deviation: cannot move locked joint!\n", 0),
              0u);
    EXPECT_GE(FingersOn(w, w.solid("can")), 3);
    EXPECT_GE(fewestOn, 3);
    // Touching fingers froze segment by segment: their contact memory is full.
    int remembered = 0;
    for (const auto &finger : som.contactReservoir) remembered += finger[0] >= 20 ? 1 : 0;
    EXPECT_GE(remembered, 3);
}

TEST(GraspManifold, NearestNodeOverTheMaskAndTiesToTheLaterNode)
{
    kelmar::GraspManifold map(3, 2);
    const double nodes[3][2] = {{0, 0}, {2, 0}, {2, 5}};
    for (int k = 0; k < 6; ++k) map.node(k / 2)[k % 2] = nodes[k / 2][k % 2];
    double out[2];
    const double query[2] = {1, 0}; // as far from node 0 as from node 1
    ASSERT_TRUE(map.match(out, query, nullptr));
    EXPECT_EQ(std::vector<double>(out, out + 2), std::vector<double>({2, 0}));
    const bool firstOnly[2] = {true, false}; // nodes 1 and 2 tie with node 0 too
    ASSERT_TRUE(map.match(out, query, firstOnly));
    EXPECT_EQ(out[1], 5);
    const double near0[2] = {0.2, 4};
    ASSERT_TRUE(map.match(out, near0, firstOnly));
    EXPECT_EQ(out[0], 0);
    kelmar::GraspManifold empty(0, 2);
    EXPECT_FALSE(empty.match(out, query, nullptr));
}

// One segment (finger 1's tip, joint 10) over 25 steps: touch at step 0,
// steady touch on steps 6 to 14, then nothing. Reservoir by hand: a
// touching step drains then adds 5 (or sets 20 above 20), other steps drain
// by 1 (from 1 to 0).
TEST(SomGrasp, ContactMemoryFollowsTheTable)
{
    const bool touching[25] = {1, 0, 0, 0, 0, 0, 1, 1, 1, 1, 1, 1, 1, 1, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    const int expected[25] = {5,  4,  3,  2,  1,  0,  5,  9,  13, 17, 21, 25, 20,
                              24, 20, 19, 18, 17, 16, 15, 14, 13, 12, 11, 10};
    kelmar::GraspShadowSOMGrasp som;
    som.touchFromRobot = false;
    for (int step = 0; step < 25; ++step) {
        som.touch[10] = touching[step];
        som.updateContactReservoir();
        EXPECT_EQ(som.contactReservoir[1][2], expected[step]) << "step " << step;
        // Finger 1's segments all reach its last joint: they fill alike.
        EXPECT_EQ(som.contactReservoir[1][0], expected[step]) << "step " << step;
        EXPECT_EQ(som.contactReservoir[0][0], 0);
    }
    bool segments[5][3];
    som.getContactReservoirSegments(segments);
    bool mask[24];
    som.getContactProjectionMask(mask, segments);
    for (int j = 0; j < 24; ++j) EXPECT_EQ(mask[j], j >= 7 && j <= 10) << j; // finger 1's three ranges
    som.reset();
    som.getContactReservoirSegments(segments);
    som.getContactProjectionMask(mask, segments);
    for (int j = 0; j < 24; ++j) EXPECT_TRUE(mask[j]) << j; // nothing touches: every joint compared
    EXPECT_EQ(som.lastTarget[2], 2.0);
    EXPECT_EQ(som.lastTarget[3], -2.0);
}

// Map files that are missing, short, long or not numbers; then an unknown map.
TEST(SomGrasp, MessagesOfBadInput)
{
    const struct {
        const char *text; // null: no such file
        const char *message;
    } cases[] = {
        {nullptr, "Error loading grasp manifold: Could not open /tmp/kelmar-no-such-map\n"},
        {"1 2 3\n4 5",
         "Error loading grasp manifold: Dimension mismatch. Too few values in somweights-file \"%s\" (5 "
         "available, 6 expected)\n"},
        {"1 2 3\n4 5 6\n7", "Error loading grasp manifold: Dimension mismatch. Too many values in somweights-file "
                            "\"%s\" (7 available, 6 expected)\n"},
        {"1 2 x3\n4 5 6", "Error loading grasp manifold: \"x3\" is not a number in somweights-file \"%s\"\n"},
    };
    for (const auto &c : cases) {
        const std::string file = c.text ? "/tmp/kelmar-som-" + std::to_string(getpid()) : "/tmp/kelmar-no-such-map";
        if (c.text) std::ofstream(file) << c.text;
        char expected[512];
        std::snprintf(expected, sizeof expected, c.message, file.c_str());
        grasptest::Lines lines;
        kelmar::GraspShadowSOMGrasp som;
        EXPECT_FALSE(som.loadSOM(file.c_str(), "map", 2, 3));
        EXPECT_EQ(lines.problems, expected);
        EXPECT_FALSE(som.setActiveSOM("map")); // a map that did not load is not kept
        if (c.text) std::remove(file.c_str());
    }
    grasptest::Lines lines;
    kelmar::GraspShadowSOMGrasp som;
    EXPECT_FALSE(som.setActiveSOM("power"));
    double out[24], posture[24] = {};
    bool segments[5][3] = {};
    EXPECT_FALSE(som.getSOMProjection(out, posture, segments));
    EXPECT_EQ(lines.problems, "SOM \"power\" undefined.\nNo valid SOM activated.\n");
}

} // namespace
