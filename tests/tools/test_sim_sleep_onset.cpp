// Sleeping on: a body that starts to move from rest under a small steady
// acceleration (a ball on a slight slope, a box tipping over its edge)
// stays awake until it has moved as mechanics says, while slower than the
// rest speed at the end of its alive window; the same body at rest sleeps.
#include <math.h>

#include <gtest/gtest.h>

#include <kelmar/Cdx.h>
#include <kelmar/Rbd.h>

#include "SimScenes.h"

namespace {

const PxReal kG = 9.81, kStep = 0.01, kHalf = 0.1; // m/s^2, s, m (ball radius, box half edge)
const PxReal kPi = 3.14159265358979;

struct Onset {
    const char *name;
    bool box;
    PxReal slope; // rad: gravity tilted towards +x, as on a plane rising towards -x
    PxReal turn;  // rad about +y: a box at pi/4 stands on one bottom edge
    int steps;
    bool sleeps;   // asleep at the end
    PxReal travel; // m along x of a ball, or the box's final turn (rad)
};

std::unique_ptr<ksim::Scene> makeScene(const Onset &o)
{
    auto scene = std::make_unique<ksim::Scene>("onset", ksim::sizesFor(1, 2, 4));
    ksim::useFriction(*scene, 0.5);
    ksim::addGround(*scene);
    ksim::setSleeping(*scene, true);
    RbdWorldSetGravity(scene->world(), kG * sin(o.slope), 0.0, -kG * cos(o.slope));
    // Solved by the sweeps, as a large pile is: only their jitter is forgiven.
    RbdWorldLCPSetLargeIslandRows(scene->world(), 0);
    CdxGeometryID shape = scene->keep(o.box ? CdxBoxCreate(2 * kHalf, 2 * kHalf, 2 * kHalf) : CdxSphereCreate(kHalf));
    // A box turned by t about y reaches kHalf (|cos t| + |sin t|) below its centre.
    const PxReal z = o.box ? kHalf * (fabs(cos(o.turn)) + fabs(sin(o.turn))) : kHalf;
    const PxVector3 at = {0.0, 0.0, z};
    const PxQuaternion q = {cos(0.5 * o.turn), 0.0, sin(0.5 * o.turn), 0.0};
    scene->body(shape, 1000.0, at, q, "onset");
    return scene;
}

// The ball's travel or the box's turn about y (rad).
PxReal outcome(RbdBodyID body, bool box)
{
    PxVector3 p;
    PxQuaternion q;
    RbdBodyGetPosition(body, p);
    RbdBodyGetQuaternion(body, q);
    return box ? 2.0 * atan2(q[2], q[0]) : p[0];
}

TEST(SimSleepOnset, ABodyStartingToRollOrTipStaysAwakeWhileTheSameBodyAtRestSleeps)
{
    // A ball rolling from rest travels (5/7) g sin(slope) t^2 / 2. At 0.5
    // degrees its speed after the 10-step alive window carries less energy
    // than the rest speed (0.1 g h): only its steady acceleration keeps it
    // awake. A box turned 0.01 rad past its balance on an edge tips at
    // first as slowly, e^(7.2 t), and lands on its face at pi/2.
    const PxReal half = kPi / 4, roll = 5.0 / 7.0 * kG, t2 = 4.0; // t2: (200 steps of 0.01 s)^2
    const Onset cases[] = {
        {"ball on level ground", false, 0.0, 0.0, 100, true, 0.0},
        {"ball on a 0.5 degree slope", false, 0.5 * kPi / 180, 0.0, 200, false,
         0.5 * roll * sin(0.5 * kPi / 180) * t2},
        {"ball on a 1 degree slope", false, kPi / 180, 0.0, 200, false, 0.5 * roll * sin(kPi / 180) * t2},
        {"box flat", true, 0.0, 0.0, 100, true, 0.0},
        {"box tipping forwards", true, 0.0, half + 0.01, 150, true, kPi / 2},
        {"box tipping back", true, 0.0, half - 0.01, 150, true, 0.0},
    };
    for (const Onset &o : cases) {
        SCOPED_TRACE(o.name);
        auto scene = makeScene(o);
        RbdBodyID body = scene->bodyIds()[0];
        for (int k = 0; k < o.steps; ++k) scene->step(kStep);
        EXPECT_EQ(!RbdBodyIsEnabled(body), o.sleeps);
        // Rolling within 3 % of its path, turning within 0.02 rad.
        EXPECT_NEAR(outcome(body, o.box), o.travel, o.box ? 0.02 : 0.03 * o.travel + 1e-4);
    }
}

} // namespace
