// The SOM grasp on our five-fingered hand: it closes on a cylinder under
// the palm, following the map of tools/make_hand24.py.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

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

} // namespace
