// Robot trees: the joint order of a branched hand, loops cut by depth,
// frozen robots, forward kinematics of a DH arm against an independent
// product of DH frames, step-controlled moves, contacts of a whole robot.

#include "KelmarTestSupport.h"

namespace {

using namespace kelmartest;

const char *kHeader = R"(<WORLD><TIMESTEP>0.01</TIMESTEP></WORLD>
<GEOMETRIES><BOX link><DIMS>1, 1, 3</DIMS></BOX><BOX bar><DIMS>10, 1, 1</DIMS></BOX>
<BOX post><DIMS>1, 10, 1</DIMS></BOX></GEOMETRIES>
)";

std::string Solid(const std::string &name, const std::string &geometry, const std::string &extra = "")
{
    return "<SOLID " + name + "><GEOMETRY_ID>" + geometry + "</GEOMETRY_ID><NOCOLLISION>1</NOCOLLISION>" + extra +
           "</SOLID>\n";
}

std::string Hinge(const std::string &name, const std::string &solids, const std::string &extra = "")
{
    return "<HINGE " + name + "><SOLID_IDS>" + solids + "</SOLID_IDS>" + extra + "</HINGE>\n";
}

std::vector<std::string> JointNames(kelmar::Robot *robot)
{
    std::vector<std::string> names;
    for (int i = 0; i < robot->numJoints; ++i) names.push_back(robot->GetNodeOfJoint(i)->joint->GetName());
    return names;
}

// Fingers written thumb, index, middle: the automatic tree sorts them by
// their solids' names, explicit nesting keeps the file's order.
TEST(RobotTree, JointOrderIsPreOrderWithChildrenSortedByName)
{
    std::string text = std::string(kHeader) + Solid("palm", "link", "<FROZEN>1</FROZEN>");
    for (const char *finger : {"thumb", "index", "middle"})
        for (int k = 1; k <= 3; ++k) {
            const std::string link = finger + std::to_string(k);
            const std::string parent = k == 1 ? "palm" : finger + std::to_string(k - 1);
            text += Solid(link, "link") + Hinge(link + "j", link + ", " + parent);
        }
    text += "<ROBOT hand><SOLID>palm</SOLID></ROBOT>\n"
            "<ROBOT two><SOLID>palm</SOLID><ROBOT><SOLID>thumb1</SOLID><JOINT>thumb1j</JOINT></ROBOT>"
            "<ROBOT><SOLID>index1</SOLID><JOINT>index1j</JOINT></ROBOT></ROBOT>\n";
    Rig rig(text);
    ASSERT_TRUE(rig.messages.empty()) << rig.messages[0];
    kelmar::Robot *hand = rig.robot("hand");
    ASSERT_NE(hand, nullptr);
    const std::vector<std::string> expected = {"index1j",  "index2j", "index3j", "middle1j", "middle2j",
                                               "middle3j", "thumb1j", "thumb2j", "thumb3j"};
    EXPECT_EQ(JointNames(hand), expected);
    EXPECT_EQ(std::vector<int>({hand->numNodes, hand->numSolids, hand->numLeaves}), std::vector<int>({10, 10, 3}));
    for (int i = 0; i < hand->numNodes; ++i) EXPECT_EQ(hand->GetNode(i)->index, i);
    const std::vector<std::string> fileOrder = {"thumb1j", "thumb2j", "thumb3j", "index1j", "index2j", "index3j"};
    EXPECT_EQ(JointNames(rig.robot("two")), fileOrder);
}

// A four-bar loop hinged to the world at one corner, under gravity in its
// plane: the tree follows the loop both ways until the depth runs out, one
// node per level and branch; driving its joints (each met several times)
// to their start values holds the loop still.
TEST(RobotTree, AFourBarLoopIsCutByDepthAndHoldsStill)
{
    const std::string z = "<AXIS>0, 0, 1</AXIS><LIMIT><MAXFORCE>1e6</MAXFORCE></LIMIT>";
    Rig rig(std::string(kHeader) + "<WORLD><GRAVITY>0, -981, 0</GRAVITY></WORLD>" +
            Solid("A", "bar", "<POS>5, 0, 0</POS>") + Solid("B", "post", "<POS>10, 5, 0</POS>") +
            Solid("C", "bar", "<POS>5, 10, 0</POS>") + Solid("D", "post", "<POS>0, 5, 0</POS>") +
            Hinge("hA", "A, WORLD", z) + Hinge("hAB", "B, A", "<POS>10, 0, 0</POS>" + z) +
            Hinge("hBC", "C, B", "<POS>10, 10, 0</POS>" + z) + Hinge("hCD", "D, C", "<POS>0, 10, 0</POS>" + z) +
            Hinge("hDA", "A, D", z) + "<ROBOT loop><SOLID>A</SOLID><JOINT>hA</JOINT><DEPTH>6</DEPTH></ROBOT>" +
            "<ROBOT deep><SOLID>A</SOLID><JOINT>hA</JOINT></ROBOT>");
    ASSERT_TRUE(rig.messages.empty()) << rig.messages[0];
    kelmar::Robot *loop = rig.robot("loop");
    EXPECT_EQ(loop->numNodes, 11);
    EXPECT_EQ(loop->numJoints, 11);
    EXPECT_EQ(rig.robot("deep")->numNodes, 1999); // DEPTH 1000: linear in depth
    const std::vector<double> zeros(static_cast<size_t>(loop->numJoints), 0.0);
    for (int k = 0; k < 300; ++k) {
        loop->SetJoints(zeros.data(), 1.0f);
        rig.Steps(1);
    }
    for (const char *bar : {"A", "B", "C", "D"}) {
        double v[3];
        RbdBodyGetLinearVelocity(rig.solid(bar)->GetBody(), v);
        EXPECT_LT(PxV3Length(v), 1.0) << bar;
    }
    double c[3];
    rig.solid("C")->GetPosition(c);
    EXPECT_NEAR(c[1], 10, 0.5);
}

// Four solids hinged each to each (and the first to the world): every node
// but the root has two loops to follow, so level k holds 3 * 2^(k-2) nodes
// and a tree of L levels 3 * 2^(L-1) - 2. Left to the default depth it would
// never finish; it stops at the deepest level within the node cap instead.
TEST(RobotTree, ATreeWhoseLoopsDoubleEveryLevelStopsAtTheNodeCap)
{
    std::string text = std::string(kHeader);
    const char *names[] = {"A", "B", "C", "D"};
    for (int i = 0; i < 4; ++i) {
        text += Solid(names[i], "link", "<POS>" + std::to_string(5 * i) + ", 0, 0</POS>");
        text += i == 0 ? Hinge("hA", "A, WORLD") : "";
        for (int k = 0; k < i; ++k)
            text += Hinge(std::string("h") + names[k] + names[i], std::string(names[i]) + ", " + names[k]);
    }
    const struct {
        const char *depth;
        int levels;
        bool warned;
    } rows[] = {{"<DEPTH>5</DEPTH>", 5, false}, {"", 12, true}};
    for (const auto &row : rows) {
        Rig rig;
        const std::string err = StandardError([&] {
            rig.messages = rig.Load(text + "<ROBOT r><SOLID>A</SOLID><JOINT>hA</JOINT>" + row.depth + "</ROBOT>");
        });
        ASSERT_TRUE(rig.messages.empty()) << rig.messages[0];
        const int expected = 3 * (1 << (row.levels - 1)) - 2;
        EXPECT_EQ(rig.robot("r")->numNodes, expected) << row.levels;
        EXPECT_LE(expected, kelmar::Robot::kMaxAutoNodes);
        EXPECT_EQ(err.find("unroll into more than 10000 nodes, the tree stops at depth 12") != std::string::npos,
                  row.warned)
            << err;
    }
}

const char *kChain = R"(<WORLD><GRAVITY>0, 981, 0</GRAVITY></WORLD>
<SOLID l1><GEOMETRY_ID>link</GEOMETRY_ID><POS>0, 0, -1.5</POS><NOCOLLISION>1</NOCOLLISION></SOLID>
<SOLID l2><GEOMETRY_ID>link</GEOMETRY_ID><POS>0, 0, -4.5</POS><NOCOLLISION>1</NOCOLLISION></SOLID>
<SOLID l3><GEOMETRY_ID>link</GEOMETRY_ID><POS>0, 0, -7.5</POS><NOCOLLISION>1</NOCOLLISION></SOLID>
<HINGE j1><SOLID_IDS>l1, WORLD</SOLID_IDS></HINGE>
<HINGE j2><SOLID_IDS>l2, l1</SOLID_IDS><POS>0, 0, -3</POS></HINGE>
<HINGE j3><SOLID_IDS>l3, l2</SOLID_IDS><POS>0, 0, -6</POS></HINGE>
<ROBOT chain><SOLID>l1</SOLID><JOINT>j1</JOINT></ROBOT>
)";

// The chain hangs along -z and gravity pulls along +y, about its hinges' x axes.
TEST(RobotTree, AFrozenRobotStaysUnderGravityAndFallsWhenUnfrozen)
{
    Rig rig(std::string(kHeader) + kChain);
    kelmar::Robot *chain = rig.robot("chain");
    EXPECT_EQ(JointNames(chain), (std::vector<std::string>{"j1", "j2", "j3"}));
    chain->Freeze(1000);
    double before[3], after[3];
    rig.solid("l3")->GetPosition(before);
    rig.Steps(50);
    rig.solid("l3")->GetPosition(after);
    for (int k = 0; k < 3; ++k) EXPECT_EQ(after[k], before[k]);
    EXPECT_TRUE(chain->GetNodeOfJoint(2)->IsKinematic());
    chain->UnFreeze(1000);
    for (const char *j : {"j1", "j2", "j3"}) rig.joint(j)->EnableBodies();
    rig.Steps(50);
    rig.solid("l3")->GetPosition(after);
    EXPECT_GT(after[1] - before[1], 1.0);
}

// The robot's contacts with the floor carry its weight.
TEST(RobotTree, ContactsOfARobotCarryItsWeight)
{
    Rig rig(std::string(kHeader) + R"(<WORLD><GRAVITY>0, 0, -981</GRAVITY></WORLD>
        <GEOMETRIES><PLANE floor/></GEOMETRIES>
        <SOLID ground><GEOMETRY_ID>floor</GEOMETRY_ID><FROZEN>1</FROZEN><COLLISION_TYPE>5</COLLISION_TYPE></SOLID>
        <SOLID l1><GEOMETRY_ID>bar</GEOMETRY_ID><POS>5, 0, 0.5</POS></SOLID>
        <SOLID l2><GEOMETRY_ID>bar</GEOMETRY_ID><POS>15, 0, 0.5</POS></SOLID>
        <HINGE j><SOLID_IDS>l2, l1</SOLID_IDS><POS>10, 0, 0.5</POS><AXIS>0, 1, 0</AXIS></HINGE>
        <ROBOT pair><SOLID>l1</SOLID></ROBOT>)");
    ASSERT_TRUE(rig.messages.empty()) << rig.messages[0];
    rig.Steps(40);
    kelmar::Robot *pair = rig.robot("pair");
    const double weight = 981 *
                          (RbdBodyGetMass(rig.solid("l1")->GetBody()) + RbdBodyGetMass(rig.solid("l2")->GetBody()));
    std::unique_ptr<kelmar::ContactList> all(pair->GetContacts(0)), floor(pair->GetContacts(5)),
        none(pair->GetContacts(6)), ground(pair->GetContacts(rig.solid("ground")));
    ASSERT_GT(all->count, 0);
    EXPECT_NEAR(all->totalForce[2], weight, 1e-3 * weight);
    EXPECT_EQ(std::vector<int>({floor->count, ground->count, none->count}),
              std::vector<int>({all->count, all->count, 0}));
}

// ---- Forward kinematics of a six-joint arm ----

TEST(RobotKinematics, TheFlangeOfASixJointArmIsTheProductOfItsDhFrames)
{
    const double dh[5][4] = {{0, 0, 0, -M_PI / 2},
                             {0, 0.3, 43.18, 0},
                             {15.0, 0, 2.03, -M_PI / 2},
                             {43.18, 0, 0, M_PI / 2},
                             {0, 0, 0, -M_PI / 2}};
    std::string text = std::string(kHeader) + Solid("l1", "link", "<FROZEN>1</FROZEN>") +
                       Hinge("j1", "l1, WORLD", "<POS>0, 0, 66</POS><EULER>0.1, -1.2, 0.4</EULER>");
    for (int i = 2; i <= 6; ++i) {
        const std::string n = std::to_string(i), p = std::to_string(i - 1);
        char params[128];
        std::snprintf(params, sizeof params, "<RELTO>j%s</RELTO><DH>%.17g, %.17g, %.17g, %.17g</DH>", p.c_str(),
                      dh[i - 2][0], dh[i - 2][1], dh[i - 2][2], dh[i - 2][3]);
        text += Solid("l" + n, "link", "<FROZEN>1</FROZEN>") + Hinge("j" + n, "l" + n + ", l" + p, params);
    }
    Rig rig(text + "<ROBOT arm><SOLID>l1</SOLID><JOINT>j1</JOINT></ROBOT>");
    ASSERT_TRUE(rig.messages.empty()) << rig.messages[0];
    kelmar::Robot *arm = rig.robot("arm");
    ASSERT_EQ(arm->numJoints, 6);
    double base[4][4], flange[4][4];
    rig.joint("j1")->GetTM(1, base);
    std::mt19937 random(18);
    std::uniform_real_distribution<double> angle(-M_PI, M_PI);
    for (int trial = 0; trial < 20; ++trial) {
        double q[6];
        for (double &value : q) value = angle(random);
        arm->SetJoints(q, 1.0f);
        double truth[4][4], turn[4][4], link[4][4];
        DH(turn, 0, q[0], 0, 0);
        Times(truth, turn, base);
        for (int i = 1; i < 6; ++i) {
            DH(link, dh[i - 1][0], dh[i - 1][1], dh[i - 1][2], dh[i - 1][3]);
            DH(turn, 0, q[i], 0, 0);
            Times(truth, link, truth);
            Times(truth, turn, truth);
        }
        rig.joint("j6")->GetTM(0, flange);
        for (int r : {0, 1, 3}) // the x and y axes and the origin
            for (int k = 0; k < 3; ++k) EXPECT_NEAR(flange[r][k], truth[r][k], 1e-9) << "trial " << trial;
        double back[6];
        arm->GetJoints(back);
        for (int i = 0; i < 6; ++i) EXPECT_EQ(back[i], q[i]);
    }
    // A step of 0.1 toward a vector 1.0 away ends 0.1 along the way.
    double now[6], goal[6];
    arm->GetJoints(now);
    const double d[6] = {0.6, 0, -0.48, 0, 0.64, 0};
    for (int i = 0; i < 6; ++i) goal[i] = now[i] + d[i];
    arm->SetJoints_StepControlled(goal, 0.1f);
    double moved[6];
    arm->GetJoints(moved);
    for (int i = 0; i < 6; ++i) EXPECT_NEAR(moved[i], now[i] + 0.1 * d[i], 1e-7);
}

} // namespace
