// Solids: mass from geometry and material, consistent mass and inertia on
// every path, jointed solids moving rigidly together, stepwise moves.

#include <kelmar/RbdBSJoint.h>
#include <kelmar/RbdConstraint.h>

#include "KelmarTestSupport.h"

namespace {

using namespace kelmartest;

// A 10 x 20 x 30 cm wooden box: m = rho V, Ixx = m (20^2 + 30^2) / 12; a
// given mass keeps Ixx / m; a new material scales both by the density ratio.
TEST(Solid, MassAndInertiaStayThoseOfOneShape)
{
    Rig w;
    kelmar::SolidSpec desc{"", kWood};
    kelmar::Solid *box = kelmar::AddBox(&w.scene, 10, 20, 30, desc);
    const double m = 0.0008 * 6000;
    EXPECT_NEAR(Mass(box), m, 1e-12);
    EXPECT_NEAR(Inertia(box, 0), m * (400 + 900) / 12, 1e-9);
    ASSERT_TRUE(box->SetMaterial(0)); // metal, 0.0078
    EXPECT_NEAR(Mass(box), 0.0078 * 6000, 1e-9);
    EXPECT_NEAR(Inertia(box, 0), 0.0078 * 6000 * 1300 / 12, 1e-6);
    EXPECT_FALSE(box->SetMaterial(7));
    desc.mass = 2.0;
    desc.material = 99; // out of the table: material 0
    kelmar::Solid *given = kelmar::AddBox(&w.scene, 10, 20, 30, desc);
    EXPECT_EQ(given->GetMaterial(), 0);
    EXPECT_NEAR(Inertia(given, 0) / Mass(given), 1300.0 / 12, 1e-9);
}

// Four bars joined in a closed loop by ball joints: moving one moves all
// four rigidly, and the walk ends although the loop leads back.
TEST(Solid, AttachmentsOfAClosedLoopMoveRigidlyAndTheWalkEnds)
{
    Rig w;
    kelmar::Solid *bars[4];
    const double centres[4][3] = {{0, 0, 0}, {10, 0, 0}, {10, 10, 0}, {0, 10, 0}};
    for (int i = 0; i < 4; ++i) {
        double tm[4][4];
        PoseAboutY(tm, 0, centres[i]);
        bars[i] = kelmar::AddBox(&w.scene, 2, 2, 2, {"", 0, -1, 0, tm});
    }
    for (int i = 0; i < 4; ++i) {
        kelmar::Joint *joint = new kelmar::Joint(&w.scene, RbdBSJointCreate(w.universe.GetWorld()));
        const kelmar::Solid *pair[2] = {bars[i], bars[(i + 1) % 4]};
        ASSERT_TRUE(joint->SetSolids(pair));
        ASSERT_EQ(w.scene.InsertJoint("", joint), nullptr);
    }
    double before[4][4][4], target[4][4];
    for (int i = 0; i < 4; ++i) PxM4Copy(before[i], bars[i]->GetTM());
    const double shift[3] = {3, -2, 5};
    PoseAboutY(target, 0.7, shift);
    bars[0]->SetTMAndUpdateAttachments(target);
    double delta[4][4];
    PxMatrix4TMCompoundInverseSecond(delta, target, before[0]);
    for (int i = 1; i < 4; ++i) {
        double expected[4][4];
        PxMatrix4TMCompound(expected, delta, before[i]);
        EXPECT_LT(MaxDifference(bars[i]->GetTM(), expected), 1e-9) << "bar " << i;
    }
}

// A 1 cm move in steps of at most 0.1 cm: ten sub-steps, nine universe steps.
TEST(Solid, StepwiseMoveStepsTheUniverseBetweenSubSteps)
{
    Rig w;
    kelmar::Solid *box = kelmar::AddBox(&w.scene, 2, 2, 2, kelmar::SolidSpec());
    double target[4][4];
    const double to[3] = {1, 0, 0};
    PoseAboutY(target, 0, to);
    box->SetTMstepwise(target, 0.1, 0);
    EXPECT_NEAR(w.universe.time, 9 * w.universe.timeStep, 1e-12);
    EXPECT_EQ(box->GetTM()[3][0], 1.0);
}

// Contacts are found from the solid's side and filtered by the other's type
// (the ground is a frozen body here: contacts with a fixed solid have no
// other solid to filter by).
TEST(Solid, ContactListsSeeTheRestingBoxFromItsSide)
{
    Rig w;
    RbdWorldSetGravity(w.universe.GetWorld(), 0, 0, -kGravity);
    kelmar::Solid *ground = kelmar::AddSolid(&w.scene, CdxPlaneCreate(), {"", kWood, -1, 0, nullptr, false, true});
    ground->type = 3;
    double tm[4][4];
    const double at[3] = {0, 0, 4.999};
    PoseAboutY(tm, 0, at);
    kelmar::Solid *box = kelmar::AddBox(&w.scene, 10, 10, 10, {"", kWood, -1, 0, tm});
    for (int i = 0; i < 20; ++i) w.universe.step();
    std::unique_ptr<kelmar::ContactList> all(box->GetContacts(0)), typed(box->GetContacts(3)),
        other(box->GetContacts(5)), byGround(box->GetContacts(ground));
    EXPECT_EQ(std::vector<int>({all->count, typed->count, other->count, byGround->count}),
              std::vector<int>({4, 4, 0, 4}));
    // The contacts carry the weight: 0.8 kg x 981 cm/s^2 upwards.
    EXPECT_NEAR(all->totalForce[2], 0.8 * kGravity, 0.01 * 0.8 * kGravity);
    double total[3];
    box->GetTotalForce(total);
    EXPECT_NEAR(total[2], all->totalForce[2], 1e-9);
}

} // namespace
