// Friction on an inclined wooden plane at the universe's defaults: static
// friction holds a block still, dynamic friction sets the sliding
// acceleration, and without switching the pair's coefficient decides.

#include "KelmarTestSupport.h"

namespace {

using namespace kelmartest;

// Below the angle of repose (tan 20 degrees = 0.36 < mu_s = 0.4) the block
// must not creep, asleep or kept awake. Sliding at 30 degrees, a = g (sin -
// mu cos): with switching the contact slides at mu_d = 0.3 x 0.4; without
// it keeps the pair's normal-force friction, the static coefficient along
// the primary direction, which on this slope is the downhill direction.
TEST(Friction, ABlockOnASlopeHoldsOrSlidesAtTheCoefficientOfItsMode)
{
    const struct {
        double degrees;
        unsigned int clearOptions;
        int autoDisable;
        double mu; // sliding; 0: held
    } rows[] = {{20, 0, 1, 0}, {20, 0, 0, 0}, {30, 0, 1, 0.12}, {30, kelmar::Universe::kFrictionSwitching, 1, 0.4}};
    for (const auto &row : rows) {
        // A 10 cm wooden cube resting on a wooden plane tilted about y: it
        // slides towards +x along the slope.
        kelmar::Universe universe;
        universe.ClearOptions(row.clearOptions);
        if (row.clearOptions) universe.reset();
        const double theta = row.degrees * M_PI / 180.0,
                     centre[3] = {5 * std::sin(theta), 0, 5 * std::cos(theta) - 1e-3};
        RbdWorldSetGravity(universe.GetWorld(), 0, 0, -kGravity);
        kelmar::Scene scene;
        universe.AddScene(&scene);
        double plane[4][4], block[4][4], before[3], after[3], v[2][3];
        PoseAboutY(plane, theta, nullptr);
        PoseAboutY(block, theta, centre);
        kelmar::AddGround(&scene, kWood, plane);
        kelmar::Solid *cube = kelmar::AddBox(&scene, 10, 10, 10, {"block", kWood, -1, 0, block});
        RbdWorldSetAutoDisable(universe.GetWorld(), row.autoDisable);
        auto run = [&](double seconds, double *position, double *velocity) {
            for (int i = 0; i < static_cast<int>(std::lround(seconds / universe.timeStep)); ++i) universe.step();
            cube->GetPosition(position);
            RbdBodyGetLinearVelocity(cube->GetBody(), velocity);
        };
        run(0.5, before, v[0]);
        run(row.mu ? 1.0 : 5.0, after, v[1]);
        universe.DelScene(&scene);
        const double expected = kGravity * (std::sin(theta) - row.mu * std::cos(theta));
        const double gained = (v[1][0] - v[0][0]) * std::cos(theta) - (v[1][2] - v[0][2]) * std::sin(theta);
        if (row.mu)
            EXPECT_NEAR(gained, expected, 0.02 * expected) << "mu " << row.mu; // along the slope, in 1 s
        else
            EXPECT_LT(PxV3Distance(before, after), 0.01) << "drift in cm, auto-disable " << row.autoDisable;
    }
}

} // namespace
