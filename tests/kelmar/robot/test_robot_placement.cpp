// Setting a frozen hand's joint vector places every link: each link's pose
// must be the product of exponentials of its ancestors' joint motions,
// taken about the axes and anchors of the zero pose and written out here on
// its own (Rodrigues' rotation about a line, a shift along it).
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "KelmarTestSupport.h"

namespace {

using namespace kelmartest;

struct Link {
    std::string name;
    int parent;                // index into the links, -1 for the palm
    bool hinge;                // else prismatic
    bool reversed;             // the link is the joint's second body
    double axis[3], anchor[3]; // unit axis and a point on it at the zero pose (cm)
    double zero[4][4];         // the link's pose at the zero pose
};

// The rigid motion (rows are axes, the last row the origin) that turns by
// angle about the line through anchor along axis, or shifts along it.
void Motion(const Link &link, double q, double out[4][4])
{
    const double *a = link.axis, *p = link.anchor;
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j) out[i][j] = i == j ? 1.0 : 0.0;
    if (!link.hinge) {
        for (int j = 0; j < 3; ++j) out[3][j] = q * a[j];
        return;
    }
    // x' = x R with R = c I - s [a]x + (1 - c) a a^T (the transpose of the
    // column form), then about the anchor: t = p - p R.
    const double c = std::cos(q), s = std::sin(q);
    const double cross[3][3] = {{0, -a[2], a[1]}, {a[2], 0, -a[0]}, {-a[1], a[0], 0}};
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) out[i][j] = (i == j ? c : 0.0) - s * cross[i][j] + (1 - c) * a[i] * a[j];
    for (int j = 0; j < 3; ++j) out[3][j] = p[j] - (p[0] * out[0][j] + p[1] * out[1][j] + p[2] * out[2][j]);
}

std::string Vector(const double v[3])
{
    char text[96];
    std::snprintf(text, sizeof text, "%.17g, %.17g, %.17g", v[0], v[1], v[2]);
    return text;
}

// A frozen palm with three fingers of three frozen links; every joint's kind,
// axis and body order are drawn at random.
std::vector<Link> DrawHand(std::mt19937 &random)
{
    std::uniform_real_distribution<double> unit(-1, 1);
    std::vector<Link> links;
    for (int f = 0; f < 3; ++f)
        for (int k = 0; k < 3; ++k) {
            Link link;
            link.name = "f" + std::to_string(f) + "l" + std::to_string(k);
            link.parent = k == 0 ? -1 : static_cast<int>(links.size()) - 1;
            link.hinge = random() % 4 != 0;
            link.reversed = random() % 3 == 0;
            double norm = 0;
            for (double &c : link.axis) c = unit(random), norm += c * c;
            for (double &c : link.axis) c /= std::sqrt(norm);
            const double anchor[3] = {4.0 * f - 4, unit(random), -2.0 - 3.0 * k};
            for (int j = 0; j < 3; ++j) link.anchor[j] = anchor[j];
            links.push_back(link);
        }
    return links;
}

std::string HandScene(const std::vector<Link> &links)
{
    std::string text = "<WORLD><TIMESTEP>0.01</TIMESTEP></WORLD>\n"
                       "<GEOMETRIES><BOX link><DIMS>1, 1, 2</DIMS></BOX></GEOMETRIES>\n"
                       "<SOLID palm><GEOMETRY_ID>link</GEOMETRY_ID><FROZEN>1</FROZEN><NOCOLLISION>1</NOCOLLISION>"
                       "</SOLID>\n";
    for (const Link &link : links) {
        const double centre[3] = {link.anchor[0], 0, link.anchor[2] - 1};
        text += "<SOLID " + link.name +
                "><GEOMETRY_ID>link</GEOMETRY_ID><FROZEN>1</FROZEN><NOCOLLISION>1</NOCOLLISION>" + "<POS>" +
                Vector(centre) + "</POS></SOLID>\n";
        const std::string parent = link.parent < 0 ? "palm" : links[link.parent].name;
        const std::string kind = link.hinge ? "HINGE" : "PRISMATIC";
        const std::string bodies = link.reversed ? parent + ", " + link.name : link.name + ", " + parent;
        text += "<" + kind + " j" + link.name + "><SOLID_IDS>" + bodies + "</SOLID_IDS><POS>" + Vector(link.anchor) +
                "</POS><AXIS>" + Vector(link.axis) + "</AXIS></" + kind + ">\n";
    }
    return text + "<ROBOT hand><SOLID>palm</SOLID></ROBOT>\n";
}

TEST(RobotPlacement, LinkPosesOfARandomFrozenHandAreProductsOfJointMotions)
{
    std::mt19937 random(606);
    std::uniform_real_distribution<double> value(-1.2, 1.2);
    for (int hand = 0; hand < 4; ++hand) {
        std::vector<Link> links = DrawHand(random);
        Rig rig(HandScene(links));
        ASSERT_TRUE(rig.messages.empty()) << rig.messages[0];
        kelmar::Robot *robot = rig.robot("hand");
        ASSERT_EQ(robot->numJoints, static_cast<int>(links.size()));
        // The joint order is pre-order with children by name: the drawing order.
        for (size_t k = 0; k < links.size(); ++k)
            ASSERT_EQ(robot->GetNodeOfJoint(static_cast<int>(k))->solid->GetName(), links[k].name);
        for (Link &link : links) std::memcpy(link.zero, rig.solid(link.name.c_str())->GetTM(), sizeof link.zero);
        for (int trial = 0; trial < 10; ++trial) {
            std::vector<double> q(links.size());
            for (double &v : q) v = trial == 0 ? 0.0 : value(random);
            robot->SetJoints(q.data(), 1.0f);
            for (size_t k = 0; k < links.size(); ++k) {
                double truth[4][4], motion[4][4];
                std::memcpy(truth, links[k].zero, sizeof truth);
                for (int n = static_cast<int>(k); n >= 0; n = links[n].parent) {
                    Motion(links[n], (links[n].reversed ? -1.0 : 1.0) * q[n], motion);
                    Times(truth, truth, motion);
                }
                const double(*tm)[4] = rig.solid(links[k].name.c_str())->GetTM();
                for (int r = 0; r < 4; ++r)
                    for (int c = 0; c < 3; ++c)
                        EXPECT_NEAR(tm[r][c], truth[r][c], 1e-9)
                            << "hand " << hand << " trial " << trial << " link " << links[k].name;
            }
        }
    }
}

} // namespace
