// The contact record and its parameters: the friction directions' common
// setters and getters, the messages of refused input, the normal kept
// normalised, and life in the constraint table. What the parameters do is
// the contact rows' and the step's tests.
#include <gtest/gtest.h>

#include "dynamics/test_step_support.h"

using namespace steptest;

namespace {

// The common setters set both friction directions; the common getters read
// -1 once the directions disagree. A slide is a signed velocity.
TEST(ContactParams, BothDirectionSettersAgreeAndCommonGettersReportDisagreementAsMinusOne)
{
    RbdContactParams p;
    RbdContactParamsReset(&p);
    RbdContactParamsSetFrictionModel(&p, 1);
    RbdContactParamsSetFriction(&p, 3.0);
    RbdContactParamsSetFrictionCoefficient(&p, 0.6);
    EXPECT_EQ(RbdContactParamsGetSecondaryFrictionModel(&p), 1);
    EXPECT_EQ(RbdContactParamsGetSecondaryFriction(&p), 3.0);
    EXPECT_EQ(RbdContactParamsGetFrictionCoefficient(&p), 0.6);
    RbdContactParamsSetSecondaryFrictionModel(&p, 0);
    RbdContactParamsSetSecondaryFriction(&p, 4.0);
    RbdContactParamsSetSecondaryFrictionCoefficient(&p, 0.5);
    EXPECT_EQ(RbdContactParamsGetFrictionModel(&p), -1);
    EXPECT_EQ(RbdContactParamsGetFriction(&p), -1.0);
    EXPECT_EQ(RbdContactParamsGetFrictionCoefficient(&p), -1.0);
    EXPECT_EQ(RbdContactParamsGetPrimaryFrictionCoefficient(&p), 0.6);
    RbdContactParamsSetPrimarySlide(&p, -2.0);
    EXPECT_EQ(RbdContactParamsGetPrimarySlide(&p), -2.0);
}

// Every refused value leaves the record as it was and says why, once.
TEST(ContactParams, RefusedValuesLeaveTheRecordUnchangedWithTheirMessage)
{
    struct Case {
        void (*refuse)(RbdContactParams *);
        const char *message;
    };
    const Case cases[] = {
        {[](RbdContactParams *p) { RbdContactParamsSetType(p, 7); },
         "Unknown Contact Type, defaulting to zero friction.\n"},
        {[](RbdContactParams *p) { RbdContactParamsSetPrimaryFrictionModel(p, 3); },
         "Unknown Friction Model, defaulting to box friction.\n"},
        {[](RbdContactParams *p) { RbdContactParamsSetSecondaryFrictionModel(p, -1); },
         "Unknown Friction Model, defaulting to box friction.\n"},
        {[](RbdContactParams *p) { RbdContactParamsSetRestitution(p, 1.5); },
         "RbdContactParamsSetRestitution: the restitution must lie in [0, 1] (1.5); unchanged.\n"},
        {[](RbdContactParams *p) { RbdContactParamsSetRestitution(p, -0.1); },
         "RbdContactParamsSetRestitution: the restitution must lie in [0, 1] (-0.1); unchanged.\n"},
        {[](RbdContactParams *p) { RbdContactParamsSetFriction(p, -1.0); },
         "RbdContactParamsSetFriction: the friction force must be finite and not negative (-1); unchanged.\n"},
    };
    for (const Case &k : cases) {
        Messages log;
        RbdContactParams p, before;
        RbdContactParamsReset(&p);
        before = p;
        k.refuse(&p);
        EXPECT_EQ(memcmp(&p, &before, sizeof p), 0) << k.message;
        ASSERT_EQ(log.warnings.size(), 1u) << k.message;
        EXPECT_EQ(log.warnings[0], k.message);
    }
    // The other refusals, one message each.
    Messages log;
    RbdContactParams p, before;
    RbdContactParamsReset(&p);
    before = p;
    RbdContactParamsSetRestitutionThreshold(&p, -1.0);
    RbdContactParamsSetSoftness(&p, NAN);
    RbdContactParamsSetMaxAdhesiveForce(&p, -3.0);
    RbdContactParamsSetPrimaryFriction(&p, INFINITY);
    RbdContactParamsSetSecondarySlip(&p, -0.5);
    RbdContactParamsSetPrimarySlide(&p, INFINITY);
    RbdContactParamsSetFrictionCoefficient(&p, -0.2);
    EXPECT_EQ(memcmp(&p, &before, sizeof p), 0);
    EXPECT_EQ(log.warnings.size(), 7u);
    RbdContactParamsSetType(nullptr, 1);
    EXPECT_EQ(RbdContactParamsGetRestitution(nullptr), 0.0) << "a null record is ignored";
    // Known types and models are taken without a word.
    RbdContactParamsSetType(&p, 2);
    RbdContactParamsSetPrimaryFrictionModel(&p, 1);
    EXPECT_EQ(RbdContactParamsGetType(&p), 2);
    EXPECT_EQ(RbdContactParamsGetPrimaryFrictionModel(&p), 1);
    EXPECT_EQ(log.warnings.size(), 7u);
}

// The normal is kept normalised whichever setter gives it; copying a
// parameter record in replaces the option bits set before; a reset
// disables the contact and detaches it from its bodies and list.
TEST(Contact, TheNormalIsKeptNormalisedAndResetDetachesTheContact)
{
    World world;
    RbdBodyID body = makeBall(world, 1.0, 0.5, 0.0, 0.5, 0.0);
    RbdContactID a = RbdContactCreate(world), b = RbdContactCreate(world);
    RbdConstraintSetBodies(a, body, nullptr);
    RbdConstraintEnable(a);
    RbdContactSetPosition(a, 1.0, 2.0, 3.0);
    RbdContactSetNormal(a, 0.0, 0.0, -4.0);
    RbdContactSetDirection(a, 0.0, 1.0, 0.0);
    RbdContactSetNext(a, b);
    RbdContactParams p;
    RbdContactParamsReset(&p);
    RbdContactParamsSetRestitution(&p, 0.25);
    RbdContactSetParams(a, &p);
    PxVector3 v;
    RbdConstraintGetPosition(a, v);
    EXPECT_EQ(v[2], 3.0) << "the common getter reads the contact position";
    RbdContactGetNormal(a, v);
    EXPECT_TRUE(v[0] == 0.0 && v[1] == 0.0 && v[2] == -1.0);
    RbdConstraintSetAxis(a, 3.0, 4.0, 0.0);
    RbdContactGetNormal(a, v);
    EXPECT_NEAR(v[0], 0.6, 1e-15) << "the common axis setter sets the normal";
    EXPECT_NEAR(v[1], 0.8, 1e-15);
    EXPECT_EQ(RbdContactGetParams(a)->options, RBD_CONTACT_RESTITUTION);
    RbdContactSetDirection(a, 0.0, 1.0, 0.0);
    EXPECT_EQ(RbdContactGetParams(a)->options, RBD_CONTACT_RESTITUTION | RBD_CONTACT_DIRECTION);

    RbdContactReset(a);
    EXPECT_FALSE(RbdConstraintIsEnabled(a));
    EXPECT_EQ(RbdConstraintGetBody(a, 0), nullptr);
    EXPECT_EQ(RbdContactGetNext(a), RbdContactInvalidID);
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
