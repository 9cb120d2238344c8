// Large islands end to end: the sweeps that solve islands above the row
// threshold against the pivoting solver on small random islands, then long
// runs by either. Islands go to the sweeps by setting the threshold to 0.
#include <math.h>

#include <array>
#include <random>
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

// Long runs, each with the most its body may move or its speed may change:
// ten 1 kg cubes of 1 m edge stacked, solved by sweeps at the default
// tolerance and sweep count, whose top ends within 1 cm of its start after
// 10 s (a stack is the slowest case for Gauss-Seidel: the sweeps lean on
// the warm start);
// a 10 cm box settled on the ground, in SI and in centimetre-kilogram-second
// units, 1 kg or 10 g, by either solver, which stays within a millionth of
// its size for 1000 steps; a ball rolling at 1 m/s over two slabs that meet
// at x = 0, by either solver, whose contacts move from one slab to the other
// while its speed changes by less than 1 % from one step to the next.
struct LongRun {
    enum { Stack, Rest, Roll } scene;
    Solver solver;
    PxReal length, mass; // metres per length unit (1 SI, 0.01 cm), kg
    PxReal bound;        // in edges of the box, or of the relative speed
};

class LongRuns : public LargeIslands, public ::testing::WithParamInterface<LongRun> {};

TEST_P(LongRuns, StayWithinTheirBounds)
{
    const LongRun c = GetParam();
    const PxReal edge = c.scene == LongRun::Rest ? 0.1 / c.length : 1.0, radius = 0.1;
    RbdWorldSetGravity(world, 0.0, 0.0, -9.81 / c.length);
    if (c.scene == LongRun::Roll) {
        CdxGeometryID slab = box(1.0, 1.0, 0.2);
        fixedAt(slab, -0.5, 0.0, -0.1);
        fixedAt(slab, 0.5, 0.0, -0.1);
        RbdBodyID ball = CdxModelGetBody(body(sphere(radius), -0.4, 0.0, radius, 1000.0));
        RbdBodySetLinearVelocity(ball, 1.0, 0.0, 0.0);
        RbdBodySetAngularVelocity(ball, 0.0, 1.0 / radius, 0.0);
    } else {
        fixedAt(keep(CdxPlaneCreate()), 0.0, 0.0, 0.0);
        CdxGeometryID cube = box(edge, edge, edge);
        for (int k = 0; k < (c.scene == LongRun::Stack ? 10 : 1); ++k)
            body(cube, 0.0, 0.0, edge * (0.5 + k), c.mass / (edge * edge * edge));
    }
    use(c.solver);
    steps(c.scene == LongRun::Rest ? 100 : 0);
    PxVector3 start, p;
    position(bodies.back(), start);
    PxReal last = speed(bodies.back()), most = 0.0;
    for (int n = 0; n < (c.scene == LongRun::Roll ? 80 : 1000); ++n) {
        steps(1);
        position(bodies.back(), p);
        const PxReal now = speed(bodies.back());
        const PxReal change = c.scene == LongRun::Roll ? fabs(now - last) / last : PxV3Distance(p, start);
        most = c.scene == LongRun::Stack ? change : fmax(most, change); // the stack: where it ends
        last = now;
    }
    if (c.scene == LongRun::Roll) {
        ASSERT_GT(p[0], 0.3) << "the ball crossed the seam";
    }
    EXPECT_LT(most, c.bound * edge) << c.scene << " " << c.mass << " kg, " << c.length << " m per unit, "
                                    << nameOf(c.solver);
}

INSTANTIATE_TEST_SUITE_P(StackRestAndRoll, LongRuns,
                         ::testing::Values(LongRun{LongRun::Stack, Solver::Sweeps, 1.0, 1.0, 0.01},
                                           LongRun{LongRun::Rest, Solver::Pivoting, 1.0, 1.0, 1e-6},
                                           LongRun{LongRun::Rest, Solver::Pivoting, 0.01, 0.01, 1e-6},
                                           LongRun{LongRun::Rest, Solver::Sweeps, 1.0, 1.0, 1e-6},
                                           LongRun{LongRun::Rest, Solver::Sweeps, 0.01, 0.01, 1e-6},
                                           LongRun{LongRun::Roll, Solver::Pivoting, 1.0, 1.0, 0.01},
                                           LongRun{LongRun::Roll, Solver::Sweeps, 1.0, 1.0, 0.01}));

} // namespace
