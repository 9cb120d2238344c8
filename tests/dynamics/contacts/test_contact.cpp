// The contact record and its parameters: the friction directions' common
// setters and getters, the refusals of bad input as one table, the normal
// kept normalised, and life in the constraint table. What the parameters do
// is the contact rows' and the step's tests.
#include <gtest/gtest.h>

#include <functional>

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

// The one-call friction switch against the setters it stands for, one at a
// time: the same record to the bit, the same messages, the same returned
// coefficient, sticking and sliding, with and without box limits from a
// normal force, a refused force (negative, not a number) included.
TEST(ContactParams, TheFrictionSwitchDoesWhatItsSettersWouldOneAtATime)
{
    const auto bySetters = [](RbdContactParams *p, int sticking, int box, PxReal f) {
        if (sticking) {
            RbdContactParamsSetSecondaryFriction(p, RbdContactParamsGetPrimaryFriction(p));
            RbdContactParamsSetSecondaryFrictionCoefficient(p, RbdContactParamsGetPrimaryFrictionCoefficient(p));
        } else {
            RbdContactParamsSetPrimaryFriction(p, RbdContactParamsGetSecondaryFriction(p));
            RbdContactParamsSetPrimaryFrictionCoefficient(p, RbdContactParamsGetSecondaryFrictionCoefficient(p));
        }
        if (box) {
            RbdContactParamsSetFrictionModel(p, 0);
            RbdContactParamsSetPrimaryFriction(p, f * RbdContactParamsGetPrimaryFrictionCoefficient(p));
            RbdContactParamsSetSecondaryFriction(p, f * RbdContactParamsGetSecondaryFrictionCoefficient(p));
        }
        return RbdContactParamsGetPrimaryFrictionCoefficient(p);
    };
    RbdContactParams start;
    RbdContactParamsReset(&start);
    RbdContactParamsSetType(&start, 2);
    RbdContactParamsSetFrictionModel(&start, 1);
    RbdContactParamsSetPrimaryFriction(&start, 4.0);
    RbdContactParamsSetSecondaryFriction(&start, 3.0);
    RbdContactParamsSetPrimaryFrictionCoefficient(&start, 0.8);
    RbdContactParamsSetSecondaryFrictionCoefficient(&start, 0.6);
    const PxReal forces[] = {2.5, 0.0, -1.0, NAN};
    for (int k = 0; k < 16; ++k) {
        const int sticking = k & 1, box = (k >> 1) & 1;
        const PxReal f = forces[k >> 2];
        RbdContactParams one = start, each = start;
        Messages log;
        const PxReal mu = RbdContactParamsSwitchFriction(&one, sticking, box, f);
        const std::vector<std::string> oneWarnings = log.warnings;
        log.warnings.clear();
        const std::string what = "case " + std::to_string(k);
        EXPECT_EQ(mu, bySetters(&each, sticking, box, f)) << what;
        EXPECT_EQ(memcmp(&one, &each, sizeof one), 0) << what;
        EXPECT_EQ(mu, sticking ? 0.8 : 0.6) << what;
        EXPECT_EQ(oneWarnings, log.warnings) << what;
        EXPECT_EQ(oneWarnings.size(), box && !(f >= 0.0) ? 2u : 0u) << what;
    }
    EXPECT_EQ(RbdContactParamsSwitchFriction(nullptr, 1, 1, 1.0), 0.0);
}

// Every refused value leaves the parameters and the contact as they were and
// says why, once: the full text where it is given, else the setter's name.
TEST(ContactParams, RefusedValuesLeaveEverythingUnchangedWithTheirMessage)
{
    World world;
    RbdBodyID body = makeBall(world, 1.0, 0.5, 0.0, 0.5, 0.0);
    RbdContactID c = RbdContactCreate(world);
    RbdConstraintID ball = RbdBSJointCreate(world);
    RbdConstraintSetBodies(c, body, nullptr);
    using P = RbdContactParams *;
    const struct {
        std::function<void(P)> refuse;
        const char *message;
    } cases[] = {
        {[](P p) { RbdContactParamsSetType(p, 7); }, "Unknown Contact Type, defaulting to zero friction.\n"},
        {[](P p) { RbdContactParamsSetPrimaryFrictionModel(p, 3); },
         "Unknown Friction Model, defaulting to box friction.\n"},
        {[](P p) { RbdContactParamsSetSecondaryFrictionModel(p, -1); },
         "Unknown Friction Model, defaulting to box friction.\n"},
        {[](P p) { RbdContactParamsSetRestitution(p, 1.5); },
         "RbdContactParamsSetRestitution: the restitution must lie in [0, 1] (1.5); unchanged.\n"},
        {[](P p) { RbdContactParamsSetRestitution(p, -0.1); },
         "RbdContactParamsSetRestitution: the restitution must lie in [0, 1] (-0.1); unchanged.\n"},
        {[](P p) { RbdContactParamsSetFriction(p, -1.0); },
         "RbdContactParamsSetFriction: the friction force must be finite and not negative (-1); unchanged.\n"},
        {[](P p) { RbdContactParamsSetRestitutionThreshold(p, -1.0); }, "RbdContactParamsSetRestitutionThreshold"},
        {[](P p) { RbdContactParamsSetSoftness(p, NAN); }, "RbdContactParamsSetSoftness"},
        {[](P p) { RbdContactParamsSetMaxAdhesiveForce(p, -3.0); }, "RbdContactParamsSetMaxAdhesiveForce"},
        {[](P p) { RbdContactParamsSetPrimaryFriction(p, INFINITY); }, "RbdContactParamsSetPrimaryFriction"},
        {[](P p) { RbdContactParamsSetSecondarySlip(p, -0.5); }, "RbdContactParamsSetSecondarySlip"},
        {[](P p) { RbdContactParamsSetPrimarySlide(p, INFINITY); }, "RbdContactParamsSetPrimarySlide"},
        {[](P p) { RbdContactParamsSetFrictionCoefficient(p, -0.2); }, "RbdContactParamsSetFrictionCoefficient"},
        {[&](P) { RbdContactSetNormal(c, 0.0, 0.0, 0.0); },
         "RbdContactSetNormal: the normal (0, 0, 0) has no direction; unchanged.\n"},
        {[&](P) { RbdContactSetNormal(c, NAN, 1.0, 0.0); }, "RbdContactSetNormal"},
        {[&](P) { RbdContactSetPosition(c, INFINITY, 0.0, 0.0); }, "RbdContactSetPosition"},
        {[&](P) { RbdContactSetNext(c, c); }, "RbdContactSetNext"},
        {[&](P) { RbdContactSetPenetration(ball, 1.0); },
         "RbdContactSetPenetration: the constraint is a RbdBclBSJOINT, not a RbdBclCONTACT.\n"},
    };
    for (const auto &k : cases) {
        Messages log;
        RbdContactParams p, before;
        RbdContactParamsReset(&p);
        before = p;
        k.refuse(&p);
        EXPECT_EQ(memcmp(&p, &before, sizeof p), 0) << k.message;
        ASSERT_EQ(log.warnings.size(), 1u) << k.message;
        EXPECT_EQ(log.warnings[0].find(k.message), 0u) << log.warnings[0];
    }
    PxVector3 v;
    RbdContactGetNormal(c, v);
    EXPECT_EQ(v[1], 1.0);
    RbdContactGetPosition(c, v);
    EXPECT_EQ(v[0], 0.0);
    EXPECT_EQ(RbdContactGetNext(c), RbdContactInvalidID);
    Messages log;
    RbdContactParamsSetType(nullptr, 1);
    EXPECT_EQ(RbdContactParamsGetRestitution(nullptr), 0.0);
    EXPECT_TRUE(log.warnings.empty()) << "a null record is ignored";
}

// The common axis setter gives the normal, normalised; copying a
// parameter record in replaces the option bits set before; a reset
// disables the contact and detaches it; a destroyed contact has no record.
TEST(Contact, TheAxisSetterGivesTheNormalAndResetDetachesTheContact)
{
    World world;
    RbdBodyID body = makeBall(world, 1.0, 0.5, 0.0, 0.5, 0.0);
    RbdContactID a = RbdContactCreate(world), b = RbdContactCreate(world);
    RbdConstraintSetBodies(a, body, nullptr);
    RbdConstraintEnable(a);
    RbdContactSetDirection(a, 0.0, 1.0, 0.0);
    RbdContactSetNext(a, b);
    RbdContactParams p;
    RbdContactParamsReset(&p);
    RbdContactParamsSetRestitution(&p, 0.25);
    RbdContactSetParams(a, &p);
    EXPECT_EQ(RbdContactGetParams(a)->options, RBD_CONTACT_RESTITUTION);
    RbdContactSetDirection(a, 0.0, 1.0, 0.0);
    EXPECT_EQ(RbdContactGetParams(a)->options, RBD_CONTACT_RESTITUTION | RBD_CONTACT_DIRECTION);
    PxVector3 v;
    RbdConstraintSetAxis(a, 3.0, 4.0, 0.0);
    RbdContactGetNormal(a, v);
    EXPECT_NEAR(v[0], 0.6, 1e-15) << "the common axis setter sets the normal";
    EXPECT_NEAR(v[1], 0.8, 1e-15);
    RbdContactSetPosition(a, 1.0, 2.0, 3.0);
    RbdConstraintGetPosition(a, v);
    EXPECT_EQ(v[2], 3.0) << "the common getter reads the contact position";

    RbdContactReset(a);
    EXPECT_FALSE(RbdConstraintIsEnabled(a));
    EXPECT_EQ(RbdConstraintGetBody(a, 0), nullptr);
    EXPECT_EQ(RbdContactGetNext(a), RbdContactInvalidID);
    EXPECT_EQ(RbdContactGetParams(a)->options, 0);
    RbdConstraintDestroy(b);
    EXPECT_EQ(RbdContactGetParams(b), nullptr);
    EXPECT_EQ(RbdWorldGetTotalConstraints(world), 1);
}

// The frame recorded for keeping a contact rides on each body: body 0
// turned by theta about z and shifted by t carries the point to
// R (p - x0) + x0 + t and the normal to R n, while the world's copy stays
// where the contact was found; the side is a unit vector across the normal
// and row 2 completes a right-handed frame. A row past 3 gives zeros.
// One body's row read alone is that body's half of the pair's row.
TEST(Contact, TheRecordedFrameIsCarriedByEachBody)
{
    World world;
    const PxVector3 x0 = {0.3, -0.2, 0.5}, p = {0.4, -0.1, 0.0}, n = {0.0, 0.6, 0.8}, t = {0.01, 0.02, -0.03};
    RbdBodyID body = makeBall(world, 1.0, 0.5, x0[0], x0[1], x0[2]);
    RbdContactID c = RbdContactCreate(world);
    RbdConstraintSetBodies(c, body, nullptr);
    RbdContactSetPosition(c, p[0], p[1], p[2]);
    RbdContactSetNormal(c, n[0], n[1], n[2]);
    RbdContactSetPenetration(c, 0.002);
    RbdContactRecordFound(c);
    EXPECT_EQ(RbdContactGetFoundPenetration(c), 0.002);

    const PxReal theta = 0.3, cs = cos(theta), sn = sin(theta);
    RbdBodySetQuaternion(body, cos(theta / 2), 0.0, 0.0, sin(theta / 2));
    RbdBodySetPosition(body, x0[0] + t[0], x0[1] + t[1], x0[2] + t[2]);
    PxVector3 r[4][2];
    for (int row = 0; row < 4; ++row) RbdContactGetCarried(c, row, r[row][0], r[row][1]);
    const PxVector3 arm = {p[0] - x0[0], p[1] - x0[1], p[2] - x0[2]};
    const PxVector3 point = {cs * arm[0] - sn * arm[1] + x0[0] + t[0], sn * arm[0] + cs * arm[1] + x0[1] + t[1],
                             arm[2] + x0[2] + t[2]};
    const PxVector3 normal = {-sn * n[1], cs * n[1], n[2]};
    PxVector3 third;
    for (int k = 0; k < 3; ++k) {
        EXPECT_NEAR(r[3][0][k], point[k], 1e-15) << k;
        EXPECT_NEAR(r[0][0][k], normal[k], 1e-15) << k;
        EXPECT_NEAR(r[3][1][k], p[k], 1e-15) << k;
        EXPECT_NEAR(r[0][1][k], n[k], 1e-15) << k;
    }
    for (int side = 0; side < 2; ++side) {
        EXPECT_NEAR(PxV3Length(r[1][side]), 1.0, 1e-15);
        EXPECT_NEAR(PxV3Dot(r[1][side], r[0][side]), 0.0, 1e-15);
        PxV3Cross(third, r[0][side], r[1][side]);
        EXPECT_NEAR(PxV3Distance(third, r[2][side]), 0.0, 1e-15);
    }
    // One body's row alone is the same row, bit for bit (body 0 turned,
    // body 1 the world).
    PxVector3 one;
    for (int row = 0; row < 4; ++row)
        for (int side = 0; side < 2; ++side) {
            RbdContactGetCarriedBy(c, row, side, one);
            for (int k = 0; k < 3; ++k) EXPECT_EQ(one[k], r[row][side][k]) << row << side << k;
        }
    RbdContactGetCarried(c, 4, r[0][0], r[0][1]);
    EXPECT_EQ(PxV3Length(r[0][0]) + PxV3Length(r[0][1]), 0.0);
    RbdContactGetCarriedBy(c, 0, 2, one);
    EXPECT_EQ(PxV3Length(one), 0.0);
}

// Contacts recorded with one normal between the same two bodies carry the
// same normal and side, to the bit, however the bodies move, and say so;
// a normal off by 1e-9, another second body, or another side (the normal
// the same) do not.
TEST(Contact, ContactsRecordedAlikeShareTheirCarriedAxes)
{
    World world;
    RbdBodyID body0 = makeBall(world, 1.0, 0.5, 0.3, -0.2, 0.5), body1 = makeBall(world, 1.0, 0.5, 0.1, 0.4, 1.2),
              other = makeBall(world, 1.0, 0.5, -0.6, 0.2, 0.9);
    const PxVector3 n = {0.0, 0.6, 0.8}, off = {1e-9, 0.6, 0.8}, side1 = {1.0, 0.0, 0.0}, side2 = {0.0, 0.8, -0.6};
    auto found = [&](RbdBodyID second, const PxReal *normal, PxReal x) {
        RbdContactID c = RbdContactCreate(world);
        RbdConstraintSetBodies(c, body0, second);
        RbdContactSetPosition(c, x, -0.1, 0.8);
        RbdContactSetNormal(c, normal[0], normal[1], normal[2]);
        RbdContactRecordFound(c);
        return c;
    };
    auto framed = [&](const PxReal *side) {
        RbdContactID c = RbdContactCreate(world);
        RbdConstraintSetBodies(c, body0, body1);
        const PxVector3 at = {0.2, 0.1, 0.8};
        RbdConstraintSetFrame(c, at, n, side);
        return c;
    };
    RbdContactID a = found(body1, n, 0.4), b = found(body1, n, 0.2), tilted = found(body1, off, 0.4),
                 elsewhere = found(other, n, 0.4), e = framed(side1), f = framed(side2);
    RbdBodySetQuaternion(body0, cos(0.15), 0.0, sin(0.15), 0.0);
    RbdBodySetPosition(body1, 0.12, 0.41, 1.19);
    EXPECT_EQ(RbdContactSharesCarriedAxes(a, b), 1);
    EXPECT_EQ(RbdContactSharesCarriedAxes(b, a), 1);
    PxVector3 ra[2], rb[2];
    for (int row = 0; row < 2; ++row) {
        RbdContactGetCarried(a, row, ra[0], ra[1]);
        RbdContactGetCarried(b, row, rb[0], rb[1]);
        for (int side = 0; side < 2; ++side)
            for (int k = 0; k < 3; ++k) EXPECT_EQ(ra[side][k], rb[side][k]) << row << side << k;
    }
    EXPECT_EQ(RbdContactSharesCarriedAxes(a, tilted), 0);
    EXPECT_EQ(RbdContactSharesCarriedAxes(a, elsewhere), 0);
    // e and f: the same normal, other sides.
    RbdContactGetCarried(e, 0, ra[0], ra[1]);
    RbdContactGetCarried(f, 0, rb[0], rb[1]);
    EXPECT_EQ(PxV3Distance(ra[0], rb[0]) + PxV3Distance(ra[1], rb[1]), 0.0);
    EXPECT_EQ(RbdContactSharesCarriedAxes(e, f), 0);
    EXPECT_EQ(RbdContactSharesCarriedAxes(e, e), 1);
}

} // namespace
