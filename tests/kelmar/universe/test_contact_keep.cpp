// Boxes resting on a table in a universe keep their contacts between
// collision tests although the universe switches friction on every contact:
// the switch runs on the kept contacts each step and must give what it gives
// on fresh ones. A kept contact's penetration is worked out from how far
// its bodies moved since it was found; a fresh one's is the one found.

#include "KelmarTestSupport.h"

#include <kelmar/CdxSpace.h>
#include <kelmar/RbdConstraint.h>
#include <kelmar/RbdContact.h>
#include <kelmar/SbxBridge.h>

namespace {

using namespace kelmartest;

void Collect(RbdConstraintID c, void *all)
{
    static_cast<std::vector<RbdContactID> *>(all)->push_back(c);
}

std::vector<RbdContactID> ContactsOf(const kelmar::Solid *solid)
{
    std::vector<RbdContactID> contacts;
    RbdBodyForAllConstraints(solid->GetBody(), Collect, &contacts);
    return contacts;
}

// A contact that was never recorded (its pair may not keep) has no found
// penetration.
bool Kept(RbdContactID contact)
{
    const double found = RbdContactGetFoundPenetration(contact);
    return found != 0.0 && found != RbdContactGetPenetration(contact);
}

// A wooden table (its top at z = 0) with a 10 cm cube on it, a 6 cm cube
// on that and a 4 cm cube beside them, each 10 um deep, awake throughout.
struct Table {
    kelmar::Universe universe;
    kelmar::Scene scene;
    kelmar::Solid *cubes[3];

    explicit Table(bool keep)
    {
        RbdWorldSetGravity(universe.GetWorld(), 0, 0, -kGravity);
        RbdWorldSetAutoDisable(universe.GetWorld(), 0);
        universe.AddScene(&scene);
        double pose[4][4];
        PxM4Identity(pose);
        pose[3][2] = -5;
        kelmar::SolidSpec table;
        table.material = kWood;
        table.fixed = true;
        table.pose = pose;
        kelmar::AddBox(&scene, 100, 100, 10, table);
        const double edges[3] = {10, 6, 4}, at[3][3] = {{0, 0, 5}, {1, 0.5, 13}, {20, 0, 2}};
        for (int k = 0; k < 3; ++k) {
            PxM4Identity(pose);
            PxV3Copy(pose[3], at[k]);
            pose[3][2] -= 1e-3;
            kelmar::SolidSpec cube;
            cube.material = kWood;
            cube.pose = pose;
            cubes[k] = kelmar::AddBox(&scene, edges[k], edges[k], edges[k], cube);
        }
        if (!keep) SbxBridgeSetCallbacksOnKeptContacts(universe.GetBridge(), SbxBodyResponseID, SbxBodyResponseID, 0);
    }
    ~Table() { universe.DelScene(&scene); }

    // Steps n times; returns how many contacts were kept and how many there
    // were over the steps.
    std::pair<int, int> Step(int n)
    {
        int kept = 0, all = 0;
        for (int i = 0; i < n; ++i) {
            universe.step();
            for (const kelmar::Solid *cube : cubes)
                for (RbdContactID contact : ContactsOf(cube)) kept += Kept(contact), ++all;
        }
        return {kept, all};
    }
};

// The keep changes where the contacts are taken from, not what the boxes
// do: within 10 nm of the run that tests every pair every step, and no box
// drifts once settled.
TEST(UniverseContactKeep, RestingBoxesKeepTheirContactsAndStayWhereFreshContactsHoldThem)
{
    Table keeping(true), testing(false);
    keeping.Step(100);
    testing.Step(100);
    double start[3][3];
    for (int k = 0; k < 3; ++k) keeping.cubes[k]->GetPosition(start[k]);
    const std::pair<int, int> kept = keeping.Step(200), tested = testing.Step(200);
    // Three cubes, 4 corners each, the middle one's counted from both sides.
    EXPECT_EQ(kept.second, 200 * 16);
    EXPECT_EQ(tested.second, 200 * 16);
    EXPECT_GT(kept.first, kept.second * 9 / 10);
    EXPECT_EQ(tested.first, 0);
    for (int k = 0; k < 3; ++k) {
        double a[3], b[3];
        keeping.cubes[k]->GetPosition(a);
        testing.cubes[k]->GetPosition(b);
        EXPECT_LT(PxV3Distance(a, b), 1e-6) << "cube " << k; // cm
        EXPECT_LT(PxV3Distance(a, start[k]), 1e-5) << "cube " << k;
    }
}

// A kept cube set sliding: its contacts switch to the dynamic coefficient,
// and back to the static one when it stops, as fresh contacts would; the
// cube sinks 0.1 nm before each update so that a kept contact shows.
TEST(UniverseContactKeep, AKeptContactSwitchesToDynamicFrictionWhenSlidingAndBack)
{
    Table table(true);
    table.Step(100);
    kelmar::Solid *cube = table.cubes[0];
    const RbdContactParams *wood = SbxBridgeGetContactParams(table.universe.GetBridge(), kWood, kWood);
    const double muStatic = RbdContactParamsGetPrimaryFrictionCoefficient(wood),
                 muDynamic = RbdContactParamsGetSecondaryFrictionCoefficient(wood);
    ASSERT_GT(muStatic, muDynamic);
    ASSERT_GT(muDynamic, 0.0);
    for (double speed : {0.05, 0.0, 0.05, 0.0}) {
        RbdBodySetLinearVelocity(cube->GetBody(), speed, 0, 0);
        double p[3];
        cube->GetPosition(p);
        RbdBodySetPosition(cube->GetBody(), p[0], p[1], p[2] - 1e-8);
        CdxSpaceUpdateAll(table.universe.GetSpace());
        SbxBridgeUpdateContacts(table.universe.GetBridge(), table.universe.GetSpace(), table.universe.GetWorld());
        const std::vector<RbdContactID> contacts = ContactsOf(cube);
        ASSERT_EQ(contacts.size(), 8u);
        for (RbdContactID contact : contacts) {
            EXPECT_TRUE(Kept(contact)) << "speed " << speed;
            const double mu = speed ? muDynamic : muStatic;
            EXPECT_EQ(RbdContactGetUserValue(contact), speed ? -mu : mu) << "speed " << speed;
            EXPECT_EQ(RbdContactParamsGetPrimaryFrictionCoefficient(RbdContactGetParams(contact)), mu);
        }
    }
}

} // namespace
