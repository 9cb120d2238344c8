// The grasp controllers. The ball wraps close hand3.px on a rubber ball
// and hold it palm down against gravity; their rules are checked on a palm
// with two three-link fingers along +x and -x (every joint closing
// downwards, -z): the tangent rule, a ball around a finger's first joint,
// the second wrap's plans for types 1 and 2, a finger that branches. The
// contact-based grasps explore the ball by touch, drive all joints so that
// they arrive together, and keep each link's force near its limit. The SOM
// grasp closes our five-fingered hand on a cylinder; its map's tie rule,
// contact memory and the messages of bad input are checked by table.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include <kelmar/Limit.h>
#include <kelmar/PxVector.h>
#include <kelmar/RbdWorld.h>

#include "GraspTestSupport.h"

namespace {

using grasptest::Count;

// The link centre lines keep the ball's radius plus half a link's width
// (0.8 cm) from its centre, less 1 mm so that the fingertips press.
const double kWrapRadius = 4.0 + 0.8 - 0.1;

// Closes (every fingertip on the ball within 1 s), turns gravity on, lets
// the contacts take the load for 0.25 s, then holds for 2 s: the ball
// drifts less than 1 mm, the fingers carry its weight, all tips still touch.
TEST(BallWraps, BothCloseOnTheBallAndHoldItPalmDown)
{
    const double centre[3] = {0, 0, -11};
    for (bool orb : {false, true}) {
        SCOPED_TRACE(orb ? "GraspBallWrap2_Orb type 0" : "GraspBallWrap");
        grasptest::World w(grasptest::Hand3WithBall(false));
        kelmar::Solid *ball = w.solid("ball");
        kelmar::GraspBallWrap wrap;
        kelmar::GraspBallWrap2_Orb orbWrap;
        grasptest::Lines lines; // the orb prints its goal point every step
        orb ? orbWrap.init(w.robot("hand.robot"), 0, centre, kWrapRadius)
            : wrap.init(w.robot("hand.robot"), ball, kWrapRadius, 0.05);
        double start[3], end[3], force[3];
        auto steps = [&](int n) {
            for (int s = 0; s < n; ++s) orb ? (void)orbWrap.grasp() : wrap.grasp(), w.Steps(1);
        };
        for (int closing = 0; closing < 200 && w.FingersOn(ball, "_distal") < 3; ++closing) steps(1);
        ASSERT_EQ(w.FingersOn(ball, "_distal"), 3) << "the fingertips never all touched the ball";
        RbdWorldSetGravity(w.universe.GetWorld(), 0, 0, -981);
        RbdBodyEnable(ball->GetBody());
        steps(50);
        ball->GetPosition(start);
        steps(400);
        ball->GetPosition(end);
        ball->GetTotalForce(force);
        EXPECT_LT(PxV3Distance(start, end), 0.1); // cm
        EXPECT_NEAR(force[2] / (RbdBodyGetMass(ball->GetBody()) * 981), 1.0, 0.1);
        EXPECT_EQ(w.FingersOn(ball, "_distal"), 3);
        EXPECT_EQ(lines.progress.find("vGoalPoint: 0.00 0.00 -11.00\n") != std::string::npos, orb);
    }
}

// Finger b along +x (anchors at x = 2, 4, 6, axes +y) with a second link
// bx beside b2 after b1 (a branch); finger c along -x (axes -y) whose
// first joint spreads about +z. Links 1 cm wide, no gravity.
std::string Link(const char *name, const char *parent, double x, double y, const char *axis, int upper)
{
    char s[400];
    std::snprintf(s, sizeof s,
                  "<SOLID %s><GEOMETRY_ID>b</GEOMETRY_ID><POS>%g, %g, 0</POS></SOLID><HINGE j%s><SOLID_IDS>%s, %s"
                  "</SOLID_IDS><POS>%g, %g, 0</POS><AXIS>%s</AXIS><LIMIT><STOPS>-1, %d</STOPS></LIMIT></HINGE>",
                  name, x + (x > 0 ? 1 : -1), y, name, name, parent, x, y, axis, upper);
    return s;
}

// Speed fractions of one plan: each joint's share of the largest motion,
// exactly 1 on that joint (all 1 when nothing moves).
void ExpectArriveTogether(const kelmar::GraspBallWrap2_Orb::Plan &p)
{
    double largest = 0;
    auto way = [&](int f, int k) { return std::fabs(p.target[f][k] - p.current[f][k]); };
    for (int f = 0; f < p.fingers; ++f)
        for (int k = 0; k < p.joints[f]; ++k) largest = std::max(largest, way(f, k));
    for (int f = 0; f < p.fingers; ++f)
        for (int k = 0; k < p.joints[f]; ++k)
            EXPECT_NEAR(p.speed[f][k], largest > 0.001 ? way(f, k) / largest : 1.0, 1e-12) << f << k;
}

// The second wrap's plans (the first branch is taken, with one message per
// plan). Type 1 aims only the first joints: b1 turns in the palm's plane
// (its axis lies in it) and stays; c1 turns finger c onto the line from
// the goal through its base, in the palm's x-y plane, kept 0.01 inside its
// stops. Type 2 leaves the first joints and closes the others on the
// sphere: the second link of each finger, turned by its planned amount,
// and then the third, lie on the sphere's tangent (seen from its anchor,
// centre and axis in one plane).
// Then the first wrap, on the joints still at rest: the ball's centre at
// angle phi below the +x axis, seen from b1's anchor (2, 0, 0) at distance
// 5: b1's link line (along +x) is on the tangent when phi = asin(radius /
// 5) and must close by phi minus that, unless that is within the tolerance
// or opens it. Then a ball about b2's anchor that encloses b1's: b1 stops
// finger b though its joints were running; finger c, outside, is driven:
// c1 to its upper stop.
TEST(BallWraps, RulesOnATwoFingeredHandWithABranch)
{
    grasptest::World w(std::string(grasptest::kStill) +
                       "<GEOMETRIES><BOX b><SIZE>1, 1, 1</SIZE></BOX></GEOMETRIES><SOLID palm><GEOMETRY_ID>b"
                       "</GEOMETRY_ID><FROZEN>1</FROZEN></SOLID>" +
                       Link("b1", "palm", 2, 0, "0, 1, 0", 3) + Link("b2", "b1", 4, 0, "0, 1, 0", 3) +
                       Link("b3", "b2", 6, 0, "0, 1, 0", 3) + Link("c1", "palm", -2, 0, "0, 0, 1", 1) +
                       Link("c2", "c1", -4, 0, "0, -1, 0", 3) + Link("c3", "c2", -6, 0, "0, -1, 0", 3) +
                       Link("bx", "b1", 4, 3, "0, 1, 0", 3) + "<ROBOT hand><SOLID>palm</SOLID></ROBOT>");
    kelmar::Robot *hand = w.robot("hand"), *b1 = hand->GetNodeOfJoint(0), *b2 = hand->GetNodeOfJoint(1);
    const int c1 = 4, c2 = 5; // joints b1 b2 b3 bx c1 c2 c3
    grasptest::Lines lines;
    const double goal[3] = {-5, 2, -3}, across[3] = {-2.2, 5, 0}, centre[3] = {0, 0, -3}, radius = 1.0;
    kelmar::GraspBallWrap2_Orb orb;
    kelmar::GraspBallWrap2_Orb::Plan p;
    orb.init(hand, 1, goal, 1.0);
    ASSERT_TRUE(orb.plan(hand, p));
    ASSERT_EQ(p.fingers, 2);
    ASSERT_EQ(p.joints[0] + p.joints[1], 6); // b1, b2 (the first branch), b3 and c1 to c3
    for (int j : {0, 1, 2, 4, 5}) EXPECT_EQ(p.target[j / 3][j % 3], p.current[j / 3][j % 3]) << j;
    const double t = p.target[1][0] - p.current[1][0];
    EXPECT_GT(std::fabs(t), 0.1);
    EXPECT_NEAR(-std::cos(t) * (goal[1] - 0) + std::sin(t) * (goal[0] + 2), 0, 1e-9);
    ExpectArriveTogether(p);
    EXPECT_NE(lines.progress.find("vGoalPoint: -5.00 2.00 -3.00\n"), std::string::npos);
    orb.init(hand, 1, across, 1.0); // the goal line almost square to finger c
    ASSERT_TRUE(orb.plan(hand, p));
    EXPECT_NEAR(std::fabs(p.target[1][0]), 0.99, 1e-12);

    orb.init(hand, 2, centre, radius);
    ASSERT_TRUE(orb.plan(hand, p));
    for (int f = 0; f < 2; ++f) {
        EXPECT_EQ(p.target[f][0], p.current[f][0]);
        const double out = f == 0 ? 1 : -1, anchor[3] = {4 * out, 0, 0};
        double d[3], off[3], turn = 0;
        PxV3Sub(d, centre, anchor);
        for (int k = 1; k < 3; ++k) {
            turn += p.target[f][k] - p.current[f][k];
            const double link[3] = {out * std::cos(turn), 0, -std::sin(turn)};
            PxV3Cross(off, d, link);
            EXPECT_NEAR(PxV3Length(off), radius, 1e-9) << "finger " << f << ", link " << k;
            EXPECT_GT(PxV3Dot(d, link), 0) << "finger " << f << ", link " << k;
            PxV3AddScaled(d, d, link, -2.0); // seen from the next anchor
        }
    }
    ExpectArriveTogether(p);
    ASSERT_EQ(orb.grasp(hand), 0);
    EXPECT_EQ(hand->GetNodeOfJoint(c2)->target, p.target[1][1]);
    EXPECT_EQ(hand->GetNodeOfJoint(c1)->target, p.current[1][0]);
    const std::string once = "Finger contains branches! Selecting first.\n";
    EXPECT_GE(Count(lines.problems, once), 3);                                   // at least once per plan,
    EXPECT_EQ(Count(lines.problems, once) * once.size(), lines.problems.size()); // and nothing else

    kelmar::GraspBallWrap wrap;
    wrap.init(hand, nullptr, 1.5, 0.05);
    const double cases[][2] = {{0.0, 0.0}, {0.009, 0.0}, {-0.3, 0.0}, {0.05, 0.05}, {0.4, 0.4}}; // beyond, turn
    for (const auto &c : cases) {
        const double phi = std::asin(1.5 / 5) + c[0], current = b1->_GetJoint();
        PxV3Set(wrap.centre, 2 + 5 * std::cos(phi), 0, -5 * std::sin(phi));
        b2->target = 99;
        wrap.grasp(hand);
        EXPECT_NEAR(b1->target, current + c[1], 1e-9) << c[0];
        EXPECT_EQ(b2->target == 99, c[1] != 0) << c[0]; // b1 on its aim lets b2 have its command
    }
    hand->ForAllJoints(&kelmar::Robot::_SetJointSpeed, 1.0);
    wrap.init(hand, nullptr, 2.5, 0.05);
    PxV3Set(wrap.centre, 4, 0, 0);
    wrap.grasp(hand);
    w.Steps(1);
    double before[7], after[7];
    hand->GetJoints(before);
    w.Steps(10); // running on at 1 rad/s would turn them by 0.05
    hand->GetJoints(after);
    for (int j = 0; j < 3; ++j) EXPECT_NEAR(after[j], before[j], 1e-3) << "joint " << j;
    EXPECT_EQ(hand->GetNodeOfJoint(c1)->target, 1.0);
    EXPECT_GT(after[c1] - before[c1], 0.01);
}

// With the accepted stretch anywhere on the 3 cm tip link, exploration
// ends ("fertig!") with every fingertip on the ball; the hand opened, the
// drive step runs each joint at its share of the largest remaining motion,
// so that all cover the same fraction of their way and arrive together,
// back on the ball. Beyond the link's end no tip contact is accepted:
// every tip joint closes to its upper stop (1.4 rad) and no finger is done.
TEST(ContactBased, ExplorationEndsWithEveryFingertipOnTheBall)
{
    for (bool valid : {true, false}) {
        grasptest::World w(grasptest::Hand3WithBall(true));
        kelmar::Robot *hand = w.robot("hand.robot");
        kelmar::Solid *ball = w.solid("ball");
        kelmar::GraspContactBased grasp;
        grasptest::Lines lines;
        grasp.init(hand, 0.05, valid ? 0.0 : 5.0, valid ? 3.2 : 9.0);
        bool done = false;
        for (int s = 0; s < 400 && !done; ++s) done = grasp.explore(), w.Steps(1);
        if (!valid) {
            EXPECT_GT(Count(lines.progress, "INVALID contact.\n"), 0);
            EXPECT_EQ(Count(lines.progress, "VALID contact.\n"), Count(lines.progress, "INVALID contact.\n"));
            EXPECT_EQ(lines.progress.find("Finger"), std::string::npos);
            for (int tip : {2, 5, 8}) EXPECT_DOUBLE_EQ(hand->GetNodeOfJoint(tip)->target, 1.4) << tip;
            continue;
        }
        EXPECT_TRUE(done) << "no end of exploration in 400 steps";
        EXPECT_EQ(Count(lines.progress, "fertig!\n"), 1);
        EXPECT_EQ(w.FingersOn(ball, "_distal"), 3);
        for (int f = 0; f < 3; ++f) {
            EXPECT_GE(Count(lines.progress, "Finger " + std::to_string(f) + " fertig.\n"), 1);
            EXPECT_EQ(grasp.getContactSegment(f), 2);
        }
        EXPECT_NE(lines.progress.find("Kontakt mit ball bei y="), std::string::npos);
        const double open[9] = {};
        for (int s = 0; s < 100; ++s) hand->SetJoints(open, 1.0f), w.Steps(1);
        double before[9], after[9], way[9], largest = 0, sum = 0;
        hand->GetJoints(before);
        EXPECT_FALSE(grasp.grasp());
        w.Steps(1);
        hand->GetJoints(after);
        for (int j = 0; j < 9; ++j)
            way[j] = hand->GetNodeOfJoint(j)->target - before[j], sum += std::fabs(way[j]),
            largest = std::max(largest, std::fabs(way[j]));
        // The largest way advances by three steps of 0.005 rad under the ease
        // law, every other joint by its share of that.
        const double cap = 9 * 5 * M_PI / 180, ease = std::pow((std::min(sum, cap) + 0.3) / (cap + 0.3), 2);
        const double step = 0.005 * 3 * ease / largest;
        int shorter = 0; // joints with a way well short of the largest
        for (int j = 0; j < 9; ++j) {
            if (std::fabs(way[j]) < 0.01) continue;
            shorter += std::fabs(way[j]) < 0.5 * largest;
            EXPECT_NEAR(after[j] - before[j], step * way[j],
                        std::fabs(way[j]) == largest ? 5e-5 : 0.25 * step * std::fabs(way[j]))
                << "joint " << j << " of way " << way[j];
        }
        EXPECT_GE(shorter, 2);
        for (int s = 0; s < 100; ++s) grasp.grasp(), w.Steps(1);
        EXPECT_TRUE(grasp.grasp()) << "not arrived";
        EXPECT_EQ(w.FingersOn(ball, "_distal"), 3);
        grasp.reset();
        EXPECT_EQ(grasp.getContactSegment(0), -1);
    }
}

// Each link's force on the ball (kg cm/s^2) rises as the links press; a
// link over the limit (given squared) backs off, so that no force exceeds
// the limit by more than the largest rise seen in one step, and once
// settled the links press far less than without a limit.
TEST(ContactBased0, ForceStaysWithinOneStepOfTheLimit)
{
    const double limit = 150.0; // the motors alone press with about 200 to 270
    double peak[2] = {0, 0}, rise[2] = {0, 0}, settled[2] = {0, 0};
    for (int run = 0; run < 2; ++run) {
        grasptest::World w(grasptest::Hand3WithBall(true));
        kelmar::Solid *ball = w.solid("ball");
        kelmar::GraspContactBased0 grasp;
        grasp.init(w.robot("hand.robot"), ball, run == 0 ? limit * limit : 1e30, 2.0);
        double previous[9] = {0};
        int contacts = 0;
        for (int s = 0; s < 300; ++s) {
            contacts = grasp.grasp();
            w.Steps(1);
            for (int i = 0; i < 9; ++i) {
                const char *links[3] = {"_proximal", "_middle", "_distal"};
                kelmar::Solid *link = w.solid("hand.finger" + std::to_string(i / 3 + 1) + links[i % 3]);
                std::unique_ptr<kelmar::ContactList> list(link->GetContacts(ball));
                double total[3] = {0, 0, 0}, f[3];
                for (const auto &e : list->entries)
                    RbdConstraintGetForce(e.contact, e.bodyIndex, f), PxV3Add(total, total, f);
                const double force = PxV3Length(total);
                rise[run] = std::max(rise[run], force - previous[i]);
                peak[run] = std::max(peak[run], force);
                if (s >= 200) settled[run] += force / 100;
                previous[i] = force;
            }
        }
        EXPECT_GE(contacts, 3) << "run " << run;
    }
    EXPECT_GT(peak[0], limit) << "the limit was never reached: nothing tested";
    EXPECT_LE(peak[0], limit + rise[0]);
    EXPECT_LT(settled[0], 0.8 * settled[1]);
}

// hand24.px over a wooden cylinder (radius 2.5 cm, 12 cm long, along x)
// held in place, no gravity, the wrist locked (an arm would hold it):
// following the map of tools/make_hand24.py the hand closes by step 100
// and holds with at least three fingers (any of a finger's links), whose
// contact memory is full; the locks refuse the wrist's targets, once each.
TEST(SomGrasp, ClosesTheFiveFingeredHandOnACylinder)
{
    grasptest::World w(
        std::string(grasptest::kStill) +
        "<IMPORT hand><NAME>" KELMAR_EXAMPLES_DIR
        "/hand24</NAME></IMPORT><GEOMETRIES><CYLINDER can_shape><RADIUS>2.5</RADIUS><HEIGHT>12</HEIGHT>"
        "</CYLINDER></GEOMETRIES><SOLID can><GEOMETRY_ID>can_shape</GEOMETRY_ID><MATERIAL>wood"
        "</MATERIAL><POS>0, 8, -4</POS><EULER>0, 1.5707963267948966, 0</EULER><FROZEN>1</FROZEN>"
        "</SOLID>");
    kelmar::Robot *hand = w.robot("hand.robot");
    ASSERT_EQ(hand->numJoints, 24);
    kelmar::GraspShadowSOMGrasp som;
    som.init(hand, 0.02f, 0.05f);
    ASSERT_TRUE(som.loadSOM(KELMAR_EXAMPLES_DIR "/hand24_som.txt", "power", 20, 24));
    ASSERT_TRUE(som.setActiveSOM("power"));
    hand->GetNodeOfJoint(0)->limit->SetLock(true);
    hand->GetNodeOfJoint(1)->limit->SetLock(true);
    testing::internal::CaptureStderr(); // the thumb hits its stops, too
    int fewestOn = 5, remembered = 0;
    for (int s = 0; s < 300; ++s) {
        som.grasp();
        w.Steps(1);
        if (s >= 100) fewestOn = std::min(fewestOn, w.FingersOn(w.solid("can")));
    }
    EXPECT_EQ(testing::internal::GetCapturedStderr().rfind(
                  "hand.wrist_flex: cannot move locked joint!\nhand.wrist_deviation: cannot move locked joint!\n", 0),
              0u);
    EXPECT_GE(fewestOn, 3);
    for (const auto &finger : som.contactReservoir) remembered += finger[0] >= 20;
    EXPECT_GE(remembered, 3);
}

// The map's nearest node: over the mask given, a tie goes to the later
// node; an empty map matches nothing. The contact memory: one segment
// (finger 1's tip, joint 10) over 25 steps: touch at step 0, steady touch
// on steps 6 to 14, then nothing. Reservoir by hand: a touching step
// drains then adds 5 (or sets 20 above 20), other steps drain by 1 (from 1
// to 0). Finger 1's segments all reach its last joint: they fill alike.
// The mask then compares finger 1's three ranges only; with nothing
// touching, every joint. Map files that are missing, short, long or not
// numbers: a map that did not load is not kept, so it cannot be activated
// and nothing projects.
TEST(SomGrasp, TheTieRuleTheContactMemoryAndBadMapFiles)
{
    kelmar::GraspManifold map(3, 2);
    const double nodes[3][2] = {{0, 0}, {2, 0}, {2, 5}}, query[2] = {1, 0}, near0[2] = {0.2, 4};
    for (int k = 0; k < 6; ++k) map.node(k / 2)[k % 2] = nodes[k / 2][k % 2];
    double out[2];
    ASSERT_TRUE(map.match(out, query, nullptr)); // as far from node 0 as from node 1
    EXPECT_EQ(std::vector<double>(out, out + 2), std::vector<double>({2, 0}));
    const bool firstOnly[2] = {true, false}; // nodes 1 and 2 tie with node 0 too
    ASSERT_TRUE(map.match(out, query, firstOnly));
    EXPECT_EQ(out[1], 5);
    ASSERT_TRUE(map.match(out, near0, firstOnly));
    EXPECT_EQ(out[0], 0);
    EXPECT_FALSE(kelmar::GraspManifold(0, 2).match(out, query, nullptr));
    const bool touching[25] = {1, 0, 0, 0, 0, 0, 1, 1, 1, 1, 1, 1, 1, 1, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    const int expected[25] = {5,  4,  3,  2,  1,  0,  5,  9,  13, 17, 21, 25, 20,
                              24, 20, 19, 18, 17, 16, 15, 14, 13, 12, 11, 10};
    kelmar::GraspShadowSOMGrasp som;
    som.touchFromRobot = false;
    for (int step = 0; step < 25; ++step) {
        som.touch[10] = touching[step];
        som.updateContactReservoir();
        const int seen[3] = {som.contactReservoir[1][2], som.contactReservoir[1][0], som.contactReservoir[0][0]};
        EXPECT_EQ(std::vector<int>(seen, seen + 3), std::vector<int>({expected[step], expected[step], 0})) << step;
    }
    bool segments[5][3], mask[24];
    for (bool reset : {false, true}) {
        if (reset) som.reset();
        som.getContactReservoirSegments(segments);
        som.getContactProjectionMask(mask, segments);
        for (int j = 0; j < 24; ++j) EXPECT_EQ(mask[j], reset || (j >= 7 && j <= 10)) << j;
    }
    EXPECT_EQ(som.lastTarget[2], 2.0);
    EXPECT_EQ(som.lastTarget[3], -2.0);
    const struct {
        const char *text; // null: no such file
        const char *message;
    } cases[] = {
        {nullptr, "Could not open /tmp/kelmar-no-such-map"},
        {"1 2 3\n4 5", "Dimension mismatch. Too few values in somweights-file \"%s\" (5 available, 6 expected)"},
        {"1 2 3\n4 5 6\n7",
         "Dimension mismatch. Too many values in somweights-file \"%s\" (7 available, 6 expected)"},
        {"1 2 x3\n4 5 6", "\"x3\" is not a number in somweights-file \"%s\""},
    };
    for (const auto &c : cases) {
        const std::string file = c.text ? "/tmp/kelmar-som-" + std::to_string(getpid()) : "/tmp/kelmar-no-such-map";
        if (c.text) std::ofstream(file) << c.text;
        char expected[512];
        std::snprintf(expected, sizeof expected, c.message, file.c_str());
        grasptest::Lines lines;
        kelmar::GraspShadowSOMGrasp som;
        double out[24], posture[24] = {};
        bool segments[5][3] = {};
        EXPECT_FALSE(som.loadSOM(file.c_str(), "map", 2, 3));
        EXPECT_FALSE(som.setActiveSOM("map") || som.getSOMProjection(out, posture, segments));
        EXPECT_EQ(lines.problems, "Error loading grasp manifold: " + std::string(expected) +
                                      "\nSOM \"map\" undefined.\nNo valid SOM activated.\n");
        std::remove(file.c_str());
    }
}

} // namespace
