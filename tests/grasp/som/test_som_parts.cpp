// The SOM grasp's parts: the best-matching node and its tie rule, the
// contact memory against a table worked out by hand, the projection mask,
// and the messages of bad input, one table.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include <unistd.h>

#include "GraspTestSupport.h"

namespace {

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
