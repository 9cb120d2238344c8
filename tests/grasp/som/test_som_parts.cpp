// The SOM grasp's parts: the best-matching node and its tie rule, the
// contact memory against a table worked out by hand, the projection mask,
// and the messages of bad input, one table.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "GraspTestSupport.h"

namespace {

TEST(GraspManifold, NearestNodeOverTheMaskAndTiesToTheLaterNode)
{
    kelmar::GraspManifold map(3, 2);
    const double nodes[3][2] = {{0, 0}, {2, 0}, {2, 5}};
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 2; ++j) map.node(i)[j] = nodes[i][j];
    double out[2];
    const double query[2] = {1, 0}; // as far from node 0 as from node 1
    ASSERT_TRUE(map.match(out, query, nullptr));
    EXPECT_EQ(out[0], 2);
    EXPECT_EQ(out[1], 0);
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

std::string TempFile(const std::string &text)
{
    char path[] = "/tmp/kelmar-som-XXXXXX";
    const int fd = mkstemp(path);
    FILE *f = fdopen(fd, "w");
    std::fputs(text.c_str(), f);
    std::fclose(f);
    return path;
}

struct BadMap {
    const char *text; // null: no such file
    const char *message;
};

TEST(SomGrasp, MessagesOfBadInput)
{
    const BadMap cases[] = {
        {nullptr, "Error loading grasp manifold: Could not open /tmp/kelmar-no-such-map\n"},
        {"1 2 3\n4 5",
         "Error loading grasp manifold: Dimension mismatch. Too few values in somweights-file \"%s\" (5 "
         "available, 6 expected)\n"},
        {"1 2 3\n4 5 6\n7", "Error loading grasp manifold: Dimension mismatch. Too many values in somweights-file "
                            "\"%s\" (7 available, 6 expected)\n"},
        {"1 2 x3\n4 5 6", "Error loading grasp manifold: \"x3\" is not a number in somweights-file \"%s\"\n"},
    };
    for (const BadMap &c : cases) {
        const std::string file = c.text ? TempFile(c.text) : "/tmp/kelmar-no-such-map";
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

// A finger that branches: the first branch is taken, after one message per step.
TEST(Fingers, ABranchingFingerTakesItsFirstBranch)
{
    grasptest::World w(R"(
<GEOMETRIES><BOX b><SIZE>1, 1, 1</SIZE></BOX></GEOMETRIES>
<SOLID palm><GEOMETRY_ID>b</GEOMETRY_ID><FROZEN>1</FROZEN></SOLID>
<SOLID a1><GEOMETRY_ID>b</GEOMETRY_ID><POS>3, 0, 0</POS></SOLID>
<SOLID a2><GEOMETRY_ID>b</GEOMETRY_ID><POS>5, 0, 0</POS></SOLID>
<SOLID a3><GEOMETRY_ID>b</GEOMETRY_ID><POS>5, 2, 0</POS></SOLID>
<SOLID c1><GEOMETRY_ID>b</GEOMETRY_ID><POS>-3, 0, 0</POS></SOLID>
<HINGE ja1><SOLID_IDS>a1, palm</SOLID_IDS><POS>2, 0, 0</POS><AXIS>0, 1, 0</AXIS><LIMIT><STOPS>-1, 1</STOPS></LIMIT></HINGE>
<HINGE ja2><SOLID_IDS>a2, a1</SOLID_IDS><POS>4, 0, 0</POS><AXIS>0, 1, 0</AXIS><LIMIT><STOPS>-1, 1</STOPS></LIMIT></HINGE>
<HINGE ja3><SOLID_IDS>a3, a1</SOLID_IDS><POS>4, 1, 0</POS><AXIS>0, 1, 0</AXIS><LIMIT><STOPS>-1, 1</STOPS></LIMIT></HINGE>
<HINGE jc1><SOLID_IDS>c1, palm</SOLID_IDS><POS>-2, 0, 0</POS><AXIS>0, 1, 0</AXIS><LIMIT><STOPS>-1, 1</STOPS></LIMIT></HINGE>
<ROBOT hand><SOLID>palm</SOLID></ROBOT>)");
    ASSERT_EQ(w.loadErrors, 0);
    grasptest::Lines lines;
    kelmar::GraspBallWrap2_Orb orb;
    const double centre[3] = {0, 0, -5};
    orb.init(w.robot("hand"), 2, centre, 1.0);
    kelmar::GraspBallWrap2_Orb::Plan plan;
    ASSERT_TRUE(orb.plan(w.robot("hand"), plan));
    EXPECT_EQ(lines.problems, "Finger contains branches! Selecting first.\n");
    ASSERT_EQ(plan.fingers, 2);
    EXPECT_EQ(plan.joints[0] + plan.joints[1], 3); // a1, a2 (first branch) and c1
}

} // namespace
