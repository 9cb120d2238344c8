// Large islands end to end: the sweeps that solve islands above the row
// threshold against the pivoting solver on small random islands, a stack
// they hold up, boxes at rest whatever the units and masses, and a ball
// rolling across a seam while its contacts change from one box to the
// other. Islands go to the sweeps by setting the threshold to 0.
#include <math.h>

#include <array>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include <kelmar/Cdx.h>
#include <kelmar/PxVector.h>
#include <kelmar/Rbd.h>
#include <kelmar/RbdLcs.h>
#include <kelmar/Sbx.h>

#include "bridge/test_universe_support.h"

namespace {

using sbxtest::kStep;

const SbxUniverseSizes kSizes = {40, 400, 7, 64, 512, 2};

enum class Solver { Pivoting, Sweeps };

const char *nameOf(Solver solver)
{
    return solver == Solver::Pivoting ? "pivoting" : "sweeps";
}

// The pose and velocities of every body (position, quaternion, linear and
// angular velocity: 13 numbers each), to run one step again from the start.
using State = std::vector<std::array<PxReal, 13>>;

class LargeIslands : public sbxtest::UniverseFixture {
protected:
    LargeIslands() : UniverseFixture(kSizes) {}
    void SetUp() override
    {
        UniverseFixture::SetUp();
        RbdWorldSetAutoDisable(world, 0);
        // Friction in both directions, bounded by 0.5 times the normal force.
        RbdContactParams *params = SbxBridgeGetContactParams(SbxUniverseGetBridge(universe), 0, 0);
        params->type = 2;
        RbdContactParamsSetFrictionModel(params, 1);
        RbdContactParamsSetFrictionCoefficient(params, 0.5);
    }
    void use(Solver solver)
    {
        RbdWorldLCPSetLargeIslandRows(world, solver == Solver::Sweeps ? 0 : RBD_LCP_DEFAULT_LARGE_ISLAND_ROWS);
    }
    State states() const
    {
        State all(bodies.size());
        for (size_t k = 0; k < bodies.size(); ++k) {
            RbdBodyID b = CdxModelGetBody(bodies[k]);
            RbdBodyGetPosition(b, &all[k][0]);
            RbdBodyGetQuaternion(b, &all[k][3]);
            RbdBodyGetLinearVelocity(b, &all[k][7]);
            RbdBodyGetAngularVelocity(b, &all[k][10]);
        }
        return all;
    }
    void restore(const State &all)
    {
        for (size_t k = 0; k < bodies.size(); ++k) {
            RbdBodyID b = CdxModelGetBody(bodies[k]);
            const std::array<PxReal, 13> &s = all[k];
            RbdBodySetPosition(b, s[0], s[1], s[2]);
            RbdBodySetQuaternion(b, s[3], s[4], s[5], s[6]);
            RbdBodySetLinearVelocity(b, s[7], s[8], s[9]);
            RbdBodySetAngularVelocity(b, s[10], s[11], s[12]);
        }
    }
    // The largest difference of any body's linear or angular velocity.
    static PxReal velocityGap(const State &a, const State &b)
    {
        PxReal gap = 0.0;
        for (size_t k = 0; k < a.size(); ++k)
            for (int i = 7; i < 13; ++i) gap = fmax(gap, fabs(a[k][i] - b[k][i]));
        return gap;
    }
    CdxModelID body(CdxGeometryID geometry, PxReal x, PxReal y, PxReal z, PxReal density)
    {
        bodies.push_back(dropped(geometry, x, y, z, density));
        return bodies.back();
    }

    std::vector<CdxModelID> bodies;
};

// A few boxes of random sizes and densities dropped onto one another settle
// into one island; from the same state, one step by sweeps run to a tight
// tolerance gives the velocities one step by pivoting gives.
class SweepsAgainstPivoting : public LargeIslands, public ::testing::WithParamInterface<int> {};

TEST_P(SweepsAgainstPivoting, OneStepFromTheSameStateEndsWithTheSameVelocities)
{
    std::mt19937 random(static_cast<unsigned>(GetParam()));
    std::uniform_real_distribution<PxReal> size(0.2, 0.5), offset(-0.1, 0.1), density(200.0, 2000.0);
    fixedAt(keep(CdxPlaneCreate()), 0.0, 0.0, 0.0);
    PxReal top = 0.0;
    for (int k = 0; k < 4; ++k) {
        const PxReal dz = size(random);
        body(box(size(random), size(random), dz), offset(random), offset(random), top + dz / 2, density(random));
        top += dz;
    }
    use(Solver::Pivoting);
    steps(30);
    RbdWorldLCPSetTolerance(world, 1e-9);
    RbdWorldLCPSetIterations(world, 2000);
    const State start = states();
    steps(1);
    const State pivoting = states();
    restore(start);
    steps(1);
    ASSERT_LT(velocityGap(pivoting, states()), 1e-12) << "a step from a restored state repeats itself";
    restore(start);
    use(Solver::Sweeps);
    steps(1);
    // Speeds are near g h = 0.1 m/s: the sweeps, whose rows are single
    // precision, agree to a ten-thousandth of it.
    EXPECT_LT(velocityGap(pivoting, states()), 1e-5);
}

INSTANTIATE_TEST_SUITE_P(RandomIslands, SweepsAgainstPivoting, ::testing::Range(1, 7));

// Ten 1 kg cubes of 1 m edge, one on another, solved by sweeps at the
// default tolerance and sweep count: after 10 s the top one has moved less
// than 1 cm. (A stack is the slowest case for Gauss-Seidel: the sweeps
// never settle within the default count here and lean on the warm start.)
TEST_F(LargeIslands, ATenBoxStackSolvedBySweepsStandsForTenSeconds)
{
    fixedAt(keep(CdxPlaneCreate()), 0.0, 0.0, 0.0);
    CdxGeometryID cube = box(1.0, 1.0, 1.0);
    for (int k = 0; k < 10; ++k) body(cube, 0.0, 0.0, 0.5 + k, 1.0);
    use(Solver::Sweeps);
    steps(1000);
    PxVector3 p;
    position(bodies.back(), p);
    EXPECT_LT(sqrt(p[0] * p[0] + p[1] * p[1] + (p[2] - 9.5) * (p[2] - 9.5)), 0.01);
}

// A box resting on the ground, in SI and in centimetre-kilogram-second
// units, 1 kg or 10 g, by either solver, at the default LCP tolerance:
// once settled it stays within a millionth of its size for 1000 steps.
struct RestCase {
    PxReal length; // metres per length unit (1 SI, 0.01 cm)
    PxReal mass;   // kg
    Solver solver;
};

class RestingBox : public LargeIslands, public ::testing::WithParamInterface<RestCase> {};

TEST_P(RestingBox, StaysWithinAMillionthOfItsSize)
{
    const RestCase c = GetParam();
    const PxReal edge = 0.1 / c.length; // 10 cm in the case's units
    RbdWorldSetGravity(world, 0.0, 0.0, -9.81 / c.length);
    fixedAt(keep(CdxPlaneCreate()), 0.0, 0.0, 0.0);
    CdxModelID crate = body(box(edge, edge, edge), 0.0, 0.0, edge / 2, c.mass / (edge * edge * edge));
    use(c.solver);
    steps(100);
    PxVector3 settled, p;
    position(crate, settled);
    PxReal drift = 0.0;
    for (int n = 0; n < 1000; ++n) {
        steps(1);
        position(crate, p);
        drift = fmax(drift, PxV3Distance(p, settled));
    }
    EXPECT_LT(drift, 1e-6 * edge) << c.mass << " kg, " << c.length << " m per unit, " << nameOf(c.solver);
}

INSTANTIATE_TEST_SUITE_P(UnitsAndMasses, RestingBox,
                         ::testing::Values(RestCase{1.0, 1.0, Solver::Pivoting},
                                           RestCase{1.0, 0.01, Solver::Pivoting},
                                           RestCase{0.01, 1.0, Solver::Pivoting},
                                           RestCase{0.01, 0.01, Solver::Pivoting}, RestCase{1.0, 1.0, Solver::Sweeps},
                                           RestCase{0.01, 0.01, Solver::Sweeps}));

// A ball rolling at 1 m/s over two boxes that meet at x = 0: its contacts
// move from one box to the other, and the speed changes by no more than 1 %
// from one step to the next all the way.
class RollingBall : public LargeIslands, public ::testing::WithParamInterface<Solver> {};

TEST_P(RollingBall, CrossesASeamWithoutASpeedJump)
{
    const PxReal radius = 0.1, speed0 = 1.0;
    CdxGeometryID slab = box(1.0, 1.0, 0.2);
    fixedAt(slab, -0.5, 0.0, -0.1);
    fixedAt(slab, 0.5, 0.0, -0.1);
    CdxModelID ball = body(sphere(radius), -0.4, 0.0, radius, 1000.0);
    RbdBodySetLinearVelocity(CdxModelGetBody(ball), speed0, 0.0, 0.0);
    RbdBodySetAngularVelocity(CdxModelGetBody(ball), 0.0, speed0 / radius, 0.0);
    use(GetParam());
    PxReal last = speed0, jump = 0.0;
    PxVector3 p;
    for (int n = 0; n < 80; ++n) {
        steps(1);
        const PxReal now = speed(ball);
        jump = fmax(jump, fabs(now - last) / last);
        last = now;
    }
    position(ball, p);
    ASSERT_GT(p[0], 0.3) << "the ball crossed the seam";
    EXPECT_LT(jump, 0.01) << nameOf(GetParam());
}

INSTANTIATE_TEST_SUITE_P(BothSolvers, RollingBall, ::testing::Values(Solver::Pivoting, Solver::Sweeps),
                         [](const ::testing::TestParamInfo<Solver> &info) {
                             return std::string(nameOf(info.param));
                         });

} // namespace
