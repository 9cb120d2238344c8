// Friction on an inclined wooden plane at the universe's defaults: static
// friction holds a block still, dynamic friction sets the sliding
// acceleration, and without switching the pair's coefficient decides.

#include "KelmarTestSupport.h"

namespace {

using namespace kelmartest;

// A 10 cm wooden cube resting on a wooden plane tilted by angle about y:
// it slides towards +x along the slope.
struct Slope {
    explicit Slope(double degrees, unsigned int clearOptions = 0)
    {
        universe.ClearOptions(clearOptions);
        if (clearOptions) universe.reset();
        theta = degrees * M_PI / 180.0;
        RbdWorldSetGravity(universe.GetWorld(), 0, 0, -kGravity);
        universe.AddScene(&scene);
        double plane[4][4], block[4][4];
        PoseAboutY(plane, theta, nullptr);
        kelmar::AddGround(&scene, kWood, plane);
        const double centre[3] = {5.0 * std::sin(theta), 0, 5.0 * std::cos(theta) - 0.001};
        PoseAboutY(block, theta, centre);
        kelmar::SolidSpec desc;
        desc.name = "block";
        desc.material = kWood;
        desc.pose = block;
        solid = kelmar::AddBox(&scene, 10, 10, 10, desc);
    }
    ~Slope() { universe.DelScene(&scene); }
    void Run(double seconds)
    {
        const int steps = static_cast<int>(std::lround(seconds / universe.timeStep));
        for (int i = 0; i < steps; ++i) universe.step();
    }
    // Velocity along the slope (cm/s).
    double SlopeSpeed() const
    {
        double v[3];
        RbdBodyGetLinearVelocity(solid->GetBody(), v);
        return v[0] * std::cos(theta) - v[2] * std::sin(theta);
    }

    kelmar::Universe universe;
    kelmar::Scene scene;
    kelmar::Solid *solid = nullptr;
    double theta = 0;
};

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
        Slope slope(row.degrees, row.clearOptions);
        RbdWorldSetAutoDisable(slope.universe.GetWorld(), row.autoDisable);
        slope.Run(0.5);
        double before[3], after[3];
        slope.solid->GetPosition(before);
        const double v0 = slope.SlopeSpeed();
        slope.Run(row.mu ? 1.0 : 5.0);
        slope.solid->GetPosition(after);
        const double expected = kGravity * (std::sin(slope.theta) - row.mu * std::cos(slope.theta));
        if (row.mu)
            EXPECT_NEAR(slope.SlopeSpeed() - v0, expected, 0.02 * expected) << "mu " << row.mu;
        else
            EXPECT_LT(PxV3Distance(before, after), 0.01) << "drift in cm, auto-disable " << row.autoDisable;
    }
}

} // namespace
