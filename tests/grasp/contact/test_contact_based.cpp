// The contact-based grasps on the example hand and a ball held in place:
// the drive step arrives within 0.05 rad, exploration ends with every
// fingertip on the ball, a tip contact outside the accepted stretch keeps a
// finger exploring, and the recursive speed grasp keeps each link's force
// near its limit.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <string>
#include <utility>

#include <kelmar/PxVector.h>
#include <kelmar/RbdBody.h>
#include <kelmar/RbdConstraint.h>

#include "GraspTestSupport.h"

namespace {

using grasptest::Count;

// First, before anything moves: one exploration step sends each finger's
// first joint angleStep further and holds the others, and the drive step
// then reports arrival exactly when that is under 0.05 rad, setting every
// joint's target either way. Then exploration from the start.
TEST(ContactBased, ExplorationEndsWithEveryFingertipOnTheBall)
{
    grasptest::World w(grasptest::Hand3WithBall(true));
    ASSERT_EQ(w.loadErrors, 0);
    kelmar::Solid *ball = w.solid("ball");
    kelmar::Robot *hand = w.robot("hand.robot");
    kelmar::GraspContactBased grasp;
    double current[9];
    hand->GetJoints(current);
    const std::pair<double, bool> steps[] = {{0.01, true}, {0.049, true}, {0.051, false}, {0.3, false}};
    for (const auto &step : steps) {
        grasptest::Lines quiet;
        grasp.init(hand, step.first, 0.0, 3.2);
        grasp.explore();
        for (int j = 0; j < 9; ++j) hand->GetNodeOfJoint(j)->target = 99;
        EXPECT_EQ(grasp.grasp(), step.second) << step.first;
        for (int j = 0; j < 9; ++j) {
            EXPECT_NEAR(hand->GetNodeOfJoint(j)->target, current[j] + (j % 3 == 0 ? step.first : 0), 1e-12) << j;
        }
    }
    {
        // Arrived, every joint runs at the ease factor ((summed motion + 0.3) /
        // (9 x 5 degrees + 0.3))^2 of its 3 rad/s: 0.049 rad left on three joints.
        grasptest::Lines quiet;
        grasp.init(hand, 0.049, 0.0, 3.2);
        grasp.explore();
        ASSERT_TRUE(grasp.grasp());
        const double cap = 9 * 5 * M_PI / 180, ease = std::pow((3 * 0.049 + 0.3) / (cap + 0.3), 2);
        w.Steps(4);
        double moved[9];
        hand->GetJoints(moved);
        for (int j = 0; j < 9; j += 3) EXPECT_NEAR(moved[j] - current[j], 4 * 0.005 * 3 * ease, 2e-4) << j;
    }
    grasptest::Lines lines;
    grasp.init(hand, 0.05, 0.0, 3.2); // anywhere on the 3 cm tip link
    bool done = false;
    for (int s = 0; s < 400 && !done; ++s) done = grasp.explore(), w.Steps(1);
    EXPECT_TRUE(done) << "no end of exploration in 400 steps";
    EXPECT_EQ(Count(lines.progress, "fertig!\n"), 1);
    EXPECT_EQ(w.TipsOn(ball), 3);
    for (int f = 0; f < 3; ++f) {
        EXPECT_GE(Count(lines.progress, "Finger " + std::to_string(f) + " fertig.\n"), 1);
        EXPECT_EQ(grasp.getContactSegment(f), 2);
    }
    EXPECT_NE(lines.progress.find("Kontakt mit ball bei y="), std::string::npos);
    bool arrived = false; // the drive step holds the explored angles
    for (int s = 0; s < 50 && !arrived; ++s) arrived = grasp.grasp(), w.Steps(1);
    EXPECT_TRUE(arrived);
    grasp.reset();
    EXPECT_EQ(grasp.getContactSegment(0), -1);
}

// No tip contact is accepted: every finger closes its tip joint on to its
// upper stop (1.4 rad) and never counts as done; exploration ends only when
// nothing moves any more.
TEST(ContactBased, ATipContactOutsideTheAcceptedStretchKeepsExploring)
{
    grasptest::World w(grasptest::Hand3WithBall(true));
    grasptest::Lines lines;
    kelmar::Robot *hand = w.robot("hand.robot");
    kelmar::GraspContactBased grasp;
    grasp.init(hand, 0.05, 5.0, 9.0); // beyond the tip link's end
    bool done = false;
    for (int s = 0; s < 400 && !done; ++s) done = grasp.explore(), w.Steps(1);
    EXPECT_GT(Count(lines.progress, "INVALID contact.\n"), 0);
    EXPECT_EQ(Count(lines.progress, "VALID contact.\n"), Count(lines.progress, "INVALID contact.\n"));
    EXPECT_EQ(lines.progress.find("Finger"), std::string::npos);
    for (int tip : {2, 5, 8}) EXPECT_DOUBLE_EQ(hand->GetNodeOfJoint(tip)->target, 1.4) << tip;
}

// The force of one link's contacts on the ball (kg cm/s^2).
double ForceOn(const kelmar::Solid *link, const kelmar::Solid *ball)
{
    std::unique_ptr<kelmar::ContactList> list(link->GetContacts(ball));
    double total[3] = {0, 0, 0}, f[3];
    for (const auto &e : list->entries) {
        RbdConstraintGetForce(e.contact, e.bodyIndex, f); // on the link: the same size
        PxV3Add(total, total, f);
    }
    return PxV3Length(total);
}

// Each link's force on the ball (not squared: kg cm/s^2) rises as the
// links press; a link over the limit backs off, so that no force exceeds
// the limit by more than the largest rise seen in one step, and once
// settled the links press far less than without a limit.
TEST(ContactBased0, ForceStaysWithinOneStepOfTheLimit)
{
    const double limit = 150.0; // the motors alone press with about 200 to 270
    const char *kLinks[3] = {"_proximal", "_middle", "_distal"};
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
                const std::string link = "hand.finger" + std::to_string(i / 3 + 1) + kLinks[i % 3];
                const double f = ForceOn(w.solid(link.c_str()), ball);
                rise[run] = std::max(rise[run], f - previous[i]);
                peak[run] = std::max(peak[run], f);
                if (s >= 200) settled[run] += f / 100;
                previous[i] = f;
            }
        }
        EXPECT_GE(contacts, 3) << "run " << run;
    }
    EXPECT_GT(peak[0], limit) << "the limit was never reached: nothing tested";
    EXPECT_LE(peak[0], limit + rise[0]);
    EXPECT_LT(settled[0], 0.8 * settled[1]);
}

} // namespace
