// Transform tags: one pose written as TM, as ROT + POS, as QUAT + POS and as
// EULER + POS gives one matrix, and with several tags given the stronger
// one wins (TM, then ROT, then QUAT, then EULER); Euler angles and position
// taken from a pose give it back.

#include <utility>

#include <kelmar/Transform.h>

#include "KelmarTestSupport.h"

namespace {

struct Pose {
    double q[4], r[3][3], euler[3], p[3];
};

Pose RandomPose(std::mt19937 &rng)
{
    std::normal_distribution<double> n(0, 1);
    Pose pose;
    double norm = 0;
    for (double &x : pose.q) {
        x = n(rng);
        norm += x * x;
    }
    for (double &x : pose.q) x /= std::sqrt(norm);
    PxQuaternionToMatrix3(pose.r, pose.q);
    PxMatrix3GetEulerAngles(pose.r, pose.euler);
    for (double &x : pose.p) x = 50 * n(rng);
    return pose;
}

std::string Numbers(const double *v, int n)
{
    std::string text;
    char number[40];
    for (int i = 0; i < n; ++i) {
        std::snprintf(number, sizeof number, "%s%.17g", i ? ", " : "", v[i]);
        text += number;
    }
    return text;
}

std::string Tag(const char *tag, const double *v, int n)
{
    return std::string("<") + tag + ">" + Numbers(v, n) + "</" + tag + ">";
}

std::string TmTag(const Pose &pose)
{
    double tm[16] = {0};
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) tm[4 * i + j] = pose.r[i][j];
    for (int j = 0; j < 3; ++j) tm[12 + j] = pose.p[j];
    tm[15] = 1;
    return Tag("TM", tm, 16);
}

std::string Solid(const std::string &id, const std::string &tags)
{
    return "<SOLID " + id + "><GEOMETRY_ID>g</GEOMETRY_ID><FROZEN>1</FROZEN>" + tags + "</SOLID>";
}

// Each solid of a pose given four ways must read the matrix of its TM
// twin. With several tags, each carrying a pose of its own, the pose read
// shows which tag won.
TEST(TransformTags, OnePoseGivenFourWaysIsOneMatrixAndTheStrongestTagWins)
{
    std::mt19937 rng(7);
    std::string text = "<PX><GEOMETRIES><SPHERE g><RADIUS>1</RADIUS></SPHERE></GEOMETRIES>";
    const int poses = 25;
    for (int k = 0; k < poses; ++k) {
        const Pose pose = RandomPose(rng);
        const std::string n = std::to_string(k), pos = Tag("POS", pose.p, 3);
        text += Solid("tm" + n, TmTag(pose)) + Solid("rot" + n, Tag("ROT", &pose.r[0][0], 9) + pos) +
                Solid("quat" + n, Tag("QUAT", pose.q, 4) + pos) +
                Solid("euler" + n, Tag("EULER", pose.euler, 3) + pos);
    }
    const Pose a = RandomPose(rng), b = RandomPose(rng), c = RandomPose(rng), d = RandomPose(rng);
    const std::string rotB = Tag("ROT", &b.r[0][0], 9), quatC = Tag("QUAT", c.q, 4),
                      eulerD = Tag("EULER", d.euler, 3), posA = Tag("POS", a.p, 3);
    const double sheared[16] = {1, 0.5, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    const double squashed[9] = {2, 0, 0, 0, 1, 0, 0, 0, 1};
    text += Solid("a", TmTag(a)) + Solid("a_tm_over_all", posA + rotB + quatC + eulerD + TmTag(a)) +
            Solid("b", rotB + posA) + Solid("b_rot_over_quat_euler", eulerD + quatC + rotB + posA) +
            Solid("c", quatC + posA) + Solid("c_quat_over_euler", eulerD + quatC + posA) +
            Solid("c_bad_rot_falls_to_quat", Tag("ROT", squashed, 9) + quatC + posA) + Solid("d", eulerD + posA) +
            Solid("d_bad_tm_falls_to_euler", Tag("TM", sheared, 16) + eulerD + posA);
    kelmartest::Rig probe;
    probe.ReadText(text + "</PX>");
    EXPECT_EQ(probe.messages.size(), 2u); // the bad ROT and the bad TM
    std::vector<std::pair<std::string, std::string>> twins = {{"a_tm_over_all", "a"},
                                                              {"b_rot_over_quat_euler", "b"},
                                                              {"c_quat_over_euler", "c"},
                                                              {"c_bad_rot_falls_to_quat", "c"},
                                                              {"d_bad_tm_falls_to_euler", "d"}};
    for (int k = 0; k < poses; ++k)
        for (const char *kind : {"rot", "quat", "euler"})
            twins.emplace_back(kind + std::to_string(k), "tm" + std::to_string(k));
    for (const auto &twin : twins) {
        const kelmar::Solid *solid = probe.solid(twin.first.c_str()), *tm = probe.solid(twin.second.c_str());
        ASSERT_TRUE(solid && tm) << twin.first;
        EXPECT_LT(kelmartest::MaxDifference(solid->GetTM(), tm->GetTM()), 1e-12) << twin.first;
        // The Euler angles and position of a pose make the same pose again.
        double euler[3], p[3], back[4][4];
        kelmar::EulerAndPosFromTM(tm->GetTM(), euler, p);
        kelmar::TMFromEulerAndPos(back, euler, p);
        EXPECT_LT(kelmartest::MaxDifference(back, tm->GetTM()), 1e-12) << twin.second;
    }
}

// The rigid-transform test of TM is 1e-5: a TM rounded to six digits is
// taken (and made orthonormal), a TM off by 1e-3 is refused.
TEST(TransformTags, TmIsTakenWithinItsTolerance)
{
    const double c = std::cos(0.3), s = std::sin(0.3);
    char text[512];
    std::snprintf(
        text, sizeof text,
        "<PX><GEOMETRIES><SPHERE g><RADIUS>1</RADIUS></SPHERE></GEOMETRIES>"
        "<SOLID near><GEOMETRY_ID>g</GEOMETRY_ID><TM>%.6f, %.6f, 0, 0, %.6f, %.6f, 0, 0, 0, 0, 1, 0, 1, 2, 3, 1"
        "</TM></SOLID><SOLID off><GEOMETRY_ID>g</GEOMETRY_ID><TM>%.6f, %.6f, 0, 0, %.6f, %.6f, 0, 0, 0, 0, 1, "
        "0, 1, 2, 3, 1</TM></SOLID></PX>",
        c, s, -s, c, c + 1e-3, s, -s, c);
    kelmartest::Rig probe;
    probe.ReadText(text);
    ASSERT_EQ(probe.messages.size(), 1u);
    const kelmar::Solid *near = probe.solid("near");
    EXPECT_NEAR(near->GetTM()[0][1], s, 1e-6);
    EXPECT_NEAR(near->GetTM()[3][2], 3, 1e-15);
    EXPECT_TRUE(kelmar::IsRigidTM(near->GetTM(), 1e-12));
    EXPECT_EQ(probe.solid("off")->GetTM()[0][1], 0); // identity: the TM was refused
}

} // namespace
