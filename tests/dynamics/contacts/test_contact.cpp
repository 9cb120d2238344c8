// The contact record and its parameters: defaults, setters and option
// bits, the two warnings, refused values, and life in the constraint table.
#include <gtest/gtest.h>

#include "world/RbdInternal.h"
#include "dynamics/test_step_support.h"

using namespace steptest;

namespace {

TEST(ContactParams, ResetGivesFrictionlessBoxFrictionWithoutOptions)
{
    RbdContactParams p;
    memset(&p, 0x5a, sizeof p);
    RbdContactParamsReset(&p);
    EXPECT_EQ(RbdContactParamsGetType(&p), 0);
    EXPECT_EQ(RbdContactParamsGetFrictionModel(&p), 0);
    EXPECT_EQ(RbdContactParamsGetOptions(&p), 0);
    EXPECT_EQ(RbdContactParamsGetRestitution(&p), 0.0);
    EXPECT_EQ(RbdContactParamsGetRestitutionThreshold(&p), 0.001);
    EXPECT_EQ(RbdContactParamsGetSoftness(&p), 0.0);
    EXPECT_EQ(RbdContactParamsGetMaxAdhesiveForce(&p), 0.0);
    EXPECT_EQ(RbdContactParamsGetPrimaryFriction(&p), RBD_REAL_MAX);
    EXPECT_EQ(RbdContactParamsGetSecondaryFriction(&p), RBD_REAL_MAX);
    EXPECT_EQ(RbdContactParamsGetFriction(&p), RBD_REAL_MAX);
    EXPECT_EQ(RbdContactParamsGetPrimarySlip(&p) + RbdContactParamsGetSecondarySlip(&p), 0.0);
    EXPECT_EQ(RbdContactParamsGetPrimarySlide(&p) + RbdContactParamsGetSecondarySlide(&p), 0.0);
    EXPECT_EQ(RbdContactParamsGetFrictionCoefficient(&p), 0.0);
}

TEST(ContactParams, EachSetterStoresItsValueAndSetsOnlyItsOwnBit)
{
    struct Case {
        void (*set)(RbdContactParams *, PxReal);
        PxReal (*get)(const RbdContactParams *);
        int32_t bit;
    };
    const Case cases[] = {
        {RbdContactParamsSetRestitution, RbdContactParamsGetRestitution, RBD_CONTACT_RESTITUTION},
        {RbdContactParamsSetRestitutionThreshold, RbdContactParamsGetRestitutionThreshold, 0},
        {RbdContactParamsSetSoftness, RbdContactParamsGetSoftness, RBD_CONTACT_SOFTNESS},
        {RbdContactParamsSetMaxAdhesiveForce, RbdContactParamsGetMaxAdhesiveForce, RBD_CONTACT_ADHESION},
        {RbdContactParamsSetPrimaryFriction, RbdContactParamsGetPrimaryFriction, 0},
        {RbdContactParamsSetSecondaryFriction, RbdContactParamsGetSecondaryFriction, 0},
        {RbdContactParamsSetPrimarySlip, RbdContactParamsGetPrimarySlip, RBD_CONTACT_PRIMARY_SLIP},
        {RbdContactParamsSetSecondarySlip, RbdContactParamsGetSecondarySlip, RBD_CONTACT_SECONDARY_SLIP},
        {RbdContactParamsSetPrimarySlide, RbdContactParamsGetPrimarySlide, RBD_CONTACT_PRIMARY_SLIDE},
        {RbdContactParamsSetSecondarySlide, RbdContactParamsGetSecondarySlide, RBD_CONTACT_SECONDARY_SLIDE},
        {RbdContactParamsSetPrimaryFrictionCoefficient, RbdContactParamsGetPrimaryFrictionCoefficient, 0},
        {RbdContactParamsSetSecondaryFrictionCoefficient, RbdContactParamsGetSecondaryFrictionCoefficient, 0},
    };
    for (const Case &k : cases) {
        RbdContactParams p;
        RbdContactParamsReset(&p);
        k.set(&p, 0.375);
        EXPECT_EQ(k.get(&p), 0.375);
        EXPECT_EQ(RbdContactParamsGetOptions(&p), k.bit);
    }
    RbdContactParams p;
    RbdContactParamsReset(&p);
    RbdContactParamsSetPrimarySlide(&p, -2.0);
    EXPECT_EQ(RbdContactParamsGetPrimarySlide(&p), -2.0) << "a slide is a signed velocity";
}

TEST(ContactParams, BothDirectionSettersAgreeAndCommonGettersReportDisagreementAsMinusOne)
{
    RbdContactParams p;
    RbdContactParamsReset(&p);
    RbdContactParamsSetFrictionModel(&p, 1);
    RbdContactParamsSetFriction(&p, 3.0);
    RbdContactParamsSetFrictionCoefficient(&p, 0.6);
    EXPECT_EQ(RbdContactParamsGetPrimaryFrictionModel(&p), 1);
    EXPECT_EQ(RbdContactParamsGetSecondaryFrictionModel(&p), 1);
    EXPECT_EQ(RbdContactParamsGetFrictionModel(&p), 1);
    EXPECT_EQ(RbdContactParamsGetFriction(&p), 3.0);
    EXPECT_EQ(RbdContactParamsGetFrictionCoefficient(&p), 0.6);
    RbdContactParamsSetSecondaryFrictionModel(&p, 0);
    RbdContactParamsSetSecondaryFriction(&p, 4.0);
    RbdContactParamsSetSecondaryFrictionCoefficient(&p, 0.5);
    EXPECT_EQ(RbdContactParamsGetFrictionModel(&p), -1);
    EXPECT_EQ(RbdContactParamsGetFriction(&p), -1.0);
    EXPECT_EQ(RbdContactParamsGetFrictionCoefficient(&p), -1.0);
    EXPECT_EQ(RbdContactParamsGetPrimaryFrictionCoefficient(&p), 0.6);
}

TEST(ContactParams, UnknownTypesAndModelsWarnAndFallBack)
{
    Messages log;
    RbdContactParams p;
    RbdContactParamsReset(&p);
    RbdContactParamsSetType(&p, 2);
    EXPECT_EQ(RbdContactParamsGetType(&p), 2);
    RbdContactParamsSetType(&p, 1);
    EXPECT_EQ(RbdContactParamsGetType(&p), 1);
    EXPECT_TRUE(log.warnings.empty());
    RbdContactParamsSetType(&p, 7);
    EXPECT_EQ(RbdContactParamsGetType(&p), 0);
    RbdContactParamsSetPrimaryFrictionModel(&p, 1);
    RbdContactParamsSetPrimaryFrictionModel(&p, 3);
    EXPECT_EQ(RbdContactParamsGetPrimaryFrictionModel(&p), 0);
    RbdContactParamsSetSecondaryFrictionModel(&p, -1);
    RbdContactParamsSetFrictionModel(&p, 2);
    ASSERT_EQ(log.warnings.size(), 4u);
    EXPECT_EQ(log.warnings[0], "Unknown Contact Type, defaulting to zero friction.\n");
    for (int k = 1; k < 4; ++k) EXPECT_EQ(log.warnings[k], "Unknown Friction Model, defaulting to box friction.\n");
}

TEST(ContactParams, RefusedValuesWarnAndLeaveTheRecordUnchanged)
{
    Messages log;
    RbdContactParams p, before;
    RbdContactParamsReset(&p);
    before = p;
    RbdContactParamsSetRestitution(&p, 1.5);
    RbdContactParamsSetRestitution(&p, -0.1);
    RbdContactParamsSetRestitutionThreshold(&p, -1.0);
    RbdContactParamsSetSoftness(&p, NAN);
    RbdContactParamsSetMaxAdhesiveForce(&p, -3.0);
    RbdContactParamsSetFriction(&p, -1.0);
    RbdContactParamsSetPrimaryFriction(&p, INFINITY);
    RbdContactParamsSetSecondarySlip(&p, -0.5);
    RbdContactParamsSetPrimarySlide(&p, INFINITY);
    RbdContactParamsSetFrictionCoefficient(&p, -0.2);
    EXPECT_EQ(memcmp(&p, &before, sizeof p), 0);
    EXPECT_EQ(log.warnings.size(), 10u);
    EXPECT_EQ(log.warnings[0], "RbdContactParamsSetRestitution: the restitution must lie in [0, 1] (1.5); "
                               "unchanged.\n");
    EXPECT_EQ(log.warnings[5], "RbdContactParamsSetFriction: the friction force must be finite and not negative "
                               "(-1); unchanged.\n");
    RbdContactParamsSetType(nullptr, 1);
    EXPECT_EQ(RbdContactParamsGetRestitution(nullptr), 0.0) << "a null record is ignored";
}

TEST(Contact, ANewContactHasTheDefaultGeometryParametersAndUserValue)
{
    World world;
    RbdContactID c = RbdContactCreate(world);
    ASSERT_NE(c, RbdContactInvalidID);
    PxVector3 v;
    RbdContactGetPosition(c, v);
    EXPECT_EQ(PxV3Length(v), 0.0);
    RbdContactGetNormal(c, v);
    EXPECT_TRUE(v[0] == 0.0 && v[1] == 1.0 && v[2] == 0.0);
    RbdContactGetDirection(c, v);
    EXPECT_TRUE(v[0] == 1.0 && v[1] == 0.0 && v[2] == 0.0);
    EXPECT_EQ(RbdContactGetPenetration(c), 0.0);
    EXPECT_EQ(RbdContactGetNext(c), RbdContactInvalidID);
    EXPECT_EQ(RbdContactGetUserValue(c), 0.0);
    RbdContactParams defaults;
    RbdContactParamsReset(&defaults);
    EXPECT_EQ(memcmp(RbdContactGetParams(c), &defaults, sizeof defaults), 0);
}

TEST(Contact, AccessorsStoreWhatTheyAreGivenAndResetRestoresEveryDefault)
{
    World world;
    RbdBodyID body = makeBall(world, 1.0, 0.5, 0.0, 0.5, 0.0);
    RbdContactID a = RbdContactCreate(world), b = RbdContactCreate(world);
    RbdConstraintSetBodies(a, body, nullptr);
    RbdConstraintEnable(a);
    RbdContactSetPosition(a, 1.0, 2.0, 3.0);
    RbdContactSetNormal(a, 0.0, 0.0, -4.0);
    RbdContactSetPenetration(a, 0.02);
    RbdContactSetDirection(a, 0.0, 1.0, 0.0);
    RbdContactSetNext(a, b);
    RbdContactSetUserValue(a, -0.7);
    RbdContactParams p;
    RbdContactParamsReset(&p);
    RbdContactParamsSetType(&p, 2);
    RbdContactParamsSetRestitution(&p, 0.25);
    RbdContactSetParams(a, &p);
    PxVector3 v;
    RbdContactGetPosition(a, v);
    EXPECT_TRUE(v[0] == 1.0 && v[1] == 2.0 && v[2] == 3.0);
    RbdConstraintGetPosition(a, v);
    EXPECT_EQ(v[2], 3.0) << "the common getter reads the contact position";
    RbdContactGetNormal(a, v);
    EXPECT_TRUE(v[0] == 0.0 && v[1] == 0.0 && v[2] == -1.0) << "the normal is stored normalised";
    RbdConstraintSetAxis(a, 3.0, 4.0, 0.0);
    RbdConstraintGetAxis(a, v);
    EXPECT_NEAR(v[0], 0.6, 1e-15) << "the common axis setter sets the normal";
    EXPECT_NEAR(v[1], 0.8, 1e-15);
    EXPECT_EQ(RbdContactGetPenetration(a), 0.02);
    RbdContactGetDirection(a, v);
    EXPECT_EQ(v[1], 1.0);
    EXPECT_EQ(RbdContactGetParams(a)->options, RBD_CONTACT_RESTITUTION)
        << "a record copied in replaces the direction bit set before";
    RbdContactSetDirection(a, 0.0, 1.0, 0.0);
    EXPECT_EQ(RbdContactGetParams(a)->options, RBD_CONTACT_RESTITUTION | RBD_CONTACT_DIRECTION);
    EXPECT_EQ(RbdContactGetParams(a)->type, 2);
    EXPECT_EQ(RbdContactGetNext(a), b);
    EXPECT_EQ(RbdContactGetUserValue(a), -0.7);

    RbdContactReset(a);
    EXPECT_FALSE(RbdConstraintIsEnabled(a)) << "a reset disables";
    EXPECT_EQ(RbdConstraintGetBody(a, 0), nullptr);
    EXPECT_EQ(RbdContactGetUserValue(a), 0.0);
    EXPECT_EQ(RbdContactGetNext(a), RbdContactInvalidID);
    EXPECT_EQ(RbdContactGetPenetration(a), 0.0);
    RbdContactGetNormal(a, v);
    EXPECT_EQ(v[1], 1.0);
    EXPECT_EQ(RbdContactGetParams(a)->options, 0);
}

TEST(Contact, BadInputIsRefusedWithAWarning)
{
    World world;
    Messages log;
    RbdContactID c = RbdContactCreate(world);
    RbdContactSetNormal(c, 0.0, 0.0, 0.0);
    RbdContactSetNormal(c, NAN, 1.0, 0.0);
    RbdContactSetPosition(c, INFINITY, 0.0, 0.0);
    RbdContactSetNext(c, c);
    PxVector3 v;
    RbdContactGetNormal(c, v);
    EXPECT_EQ(v[1], 1.0);
    RbdContactGetPosition(c, v);
    EXPECT_EQ(v[0], 0.0);
    EXPECT_EQ(RbdContactGetNext(c), RbdContactInvalidID);
    ASSERT_EQ(log.warnings.size(), 4u);
    EXPECT_EQ(log.warnings[0], "RbdContactSetNormal: the normal (0, 0, 0) has no direction; unchanged.\n");

    // Contact accessors on another type, or a destroyed contact, do nothing.
    log.warnings.clear();
    RbdConstraintID ball = RbdBSJointCreate(world);
    RbdContactSetPenetration(ball, 1.0);
    ASSERT_EQ(log.warnings.size(), 1u);
    EXPECT_EQ(log.warnings[0], "RbdContactSetPenetration: the constraint is a RbdBclBSJOINT, not a RbdBclCONTACT.\n");
    RbdConstraintDestroy(c);
    EXPECT_EQ(RbdContactGetParams(c), nullptr);
    EXPECT_EQ(RbdWorldGetTotalConstraints(world), 1);
    EXPECT_EQ(RbdContactGetParams(RbdContactInvalidID), nullptr);
}

} // namespace
