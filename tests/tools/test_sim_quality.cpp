// Quality figures against hand-made states and brute force.
#include <math.h>

#include <random>

#include <gtest/gtest.h>

#include <kelmar/PxVector.h>

#include "SimQuality.h"

namespace {

using ksim::BodyState;

BodyState at(double x, double y, double z)
{
    BodyState s = {};
    PxV3Set(s.position, x, y, z);
    PxM3Identity(s.rotation);
    return s;
}

// Its x axis raised by angle towards z, in the x-z plane (the rows of the
// rotation are the body's axes in the world).
BodyState raised(double x, double y, double z, double angle)
{
    BodyState s = at(x, y, z);
    s.rotation[0][0] = cos(angle);
    s.rotation[0][2] = sin(angle);
    s.rotation[2][0] = -sin(angle);
    s.rotation[2][2] = cos(angle);
    return s;
}

TEST(SimQuality, AStackIsJudgedByItsTopBoxAndStandsOnlyWhileEveryBoxStaysNearItsPlace)
{
    std::vector<BodyState> boxes;
    std::vector<PxReal> start;
    for (int k = 0; k < 3; ++k) {
        boxes.push_back(at(0, 0, 0.5 + k));
        start.push_back(0.5 + k);
    }
    ksim::StackJudgement j = ksim::judgeStack(boxes, start, 0.1, 0.5);
    EXPECT_EQ(j.topDriftXY, 0.0);
    EXPECT_EQ(j.topDz, 0.0);
    EXPECT_TRUE(j.stands);

    boxes[2] = at(0.03, 0.04, 2.5 + 0.002);
    j = ksim::judgeStack(boxes, start, 0.1, 0.5);
    EXPECT_NEAR(j.topDriftXY, 0.05, 1e-15);
    EXPECT_NEAR(j.topDz, 0.002, 1e-15);
    EXPECT_TRUE(j.stands);

    boxes[1] = at(0, 0, 1.5 - 0.2); // the middle box sank 20 cm
    EXPECT_FALSE(ksim::judgeStack(boxes, start, 0.1, 0.5).stands);
    boxes[1] = at(0.6, 0, 1.5); // slid off the column
    EXPECT_FALSE(ksim::judgeStack(boxes, start, 0.1, 0.5).stands);
}

// The sweep finds exactly the balls that the all-pairs test finds, on
// random piles (seeded) with balls near the ground, the walls and each other.
TEST(SimQuality, TouchingBallsFoundByTheSweepAreThoseFoundByTestingEveryPair)
{
    const double r = 0.1, wall = 1.5, tol = 0.002;
    std::mt19937 random(20261205);
    std::uniform_real_distribution<double> across(-1.55, 1.55), up(0.05, 1.0);
    for (int trial = 0; trial < 20; ++trial) {
        std::vector<BodyState> balls;
        for (int k = 0; k < 150; ++k) balls.push_back(at(across(random), across(random), up(random)));
        std::vector<char> touching(balls.size(), 0);
        for (size_t i = 0; i < balls.size(); ++i) {
            const PxReal *c = balls[i].position;
            if (c[2] - r <= tol || wall - fabs(c[0]) - r <= tol || wall - fabs(c[1]) - r <= tol) touching[i] = 1;
            for (size_t k = 0; k < balls.size(); ++k)
                if (k != i && PxV3Distance(c, balls[k].position) - 2 * r <= tol) touching[i] = 1;
        }
        int expected = 0, escaped = 0;
        for (size_t i = 0; i < balls.size(); ++i) {
            expected += touching[i];
            const PxReal *c = balls[i].position;
            if (fabs(c[0]) > wall || fabs(c[1]) > wall || c[2] < 0) ++escaped;
        }
        EXPECT_EQ(ksim::countTouching(balls, r, wall, tol), expected) << trial;
        EXPECT_EQ(ksim::countEscaped(balls, wall), escaped) << trial;
    }
}

TEST(SimQuality, TwoBallsTouchWithinTheToleranceAndNotBeyondIt)
{
    std::vector<BodyState> balls = {at(0, 0, 5), at(0.2 + 0.0019, 0, 5)};
    EXPECT_EQ(ksim::countTouching(balls, 0.1, 0.0, 0.002), 2);
    balls[1] = at(0.2 + 0.0021, 0, 5);
    EXPECT_EQ(ksim::countTouching(balls, 0.1, 0.0, 0.002), 0);
    balls[1] = at(0.15, 0, 5); // penetration counts
    EXPECT_EQ(ksim::countTouching(balls, 0.1, 0.0, 0.002), 2);
}

// A chain bent rigidly about its hinges has no gap; moving one link 1 cm
// away opens both its hinges by that much.
TEST(SimQuality, AnUnbrokenChainHasNoGapAndAMovedLinkOpensItsHinges)
{
    const double pitch = 0.4;
    const PxVector3 anchor = {1.0, 0.0, 2.0};
    std::vector<BodyState> links;
    PxVector3 hinge;
    PxV3Copy(hinge, anchor);
    for (int k = 0; k < 6; ++k) {
        const double angle = 0.3 * k;
        const double cx = hinge[0] + 0.5 * pitch * cos(angle), cz = hinge[2] + 0.5 * pitch * sin(angle);
        links.push_back(raised(cx, 0.0, cz, angle));
        hinge[0] += pitch * cos(angle);
        hinge[2] += pitch * sin(angle);
    }
    EXPECT_LT(ksim::chainGap(links, pitch, anchor), 1e-12);
    links[3].position[1] += 0.01;
    EXPECT_NEAR(ksim::chainGap(links, pitch, anchor), 0.01, 1e-12);
    links[0].position[2] -= 0.03;
    EXPECT_NEAR(ksim::chainGap(links, pitch, anchor), 0.03, 1e-12);
}

TEST(SimQuality, LowestCentreAndCentresBelowTheGroundAndFastestBody)
{
    std::vector<BodyState> bodies = {at(0, 0, 0.1), at(1, 0, -0.02), at(2, 0, 0.3)};
    PxV3Set(bodies[2].velocity, 3.0, 4.0, 0.0);
    EXPECT_EQ(ksim::lowestHeight(bodies), -0.02);
    EXPECT_EQ(ksim::countBelowGround(bodies), 1);
    EXPECT_EQ(ksim::largestSpeed(bodies), 5.0);
}

} // namespace
