// Every row the builders add is the time derivative of its own error:
// J v = d(phi)/dt, measured by moving the bodies rigidly for a tiny time at
// random velocities from random poses.
#include <gtest/gtest.h>

#include <functional>
#include <set>
#include <string>
#include <math.h>
#include "dynamics/RbdTestSupport.h"

using namespace rbdtest;

namespace {

const RbdBclParameters PARAMETERS = {0.01, 1e-6, 0.12};
const PxReal DT = 1e-6;

enum class Partner { Body, World, Frozen };

// Where the test poses come from.
enum class Poses {
    Random,    // both bodies anywhere: every row must hold
    Consistent // the joint's own rows satisfied, moved along its free motions
};

struct Scene {
    RbdWorldID world;
    RbdBodyID body0;
    RbdBodyID body1; // null for the world
    RbdConstraintID c;
    PxVector3 anchor;
    PxVector3 axis;
};

struct JointCase {
    const char *name;
    int32_t rows;                     // rows expected at the test poses
    std::vector<int32_t> checkedRows; // rows with an error (the rest are velocity targets)
    std::vector<Poses> poses;         // where the rows hold
    std::function<RbdConstraintID(Scene &, Rng &)> make;
    std::function<void(Scene &, Rng &)> freeMotion; // a motion the joint allows
};

// Creates a constraint of the given creator between the scene's bodies at
// the anchor with the axis.
RbdConstraintID jointAt(Scene &s, RbdConstraintID (*create)(RbdWorldID))
{
    RbdConstraintID c = create(s.world);
    RbdConstraintSetBodies(c, s.body0, s.body1);
    RbdConstraintSetPosition(c, s.anchor[0], s.anchor[1], s.anchor[2]);
    RbdConstraintSetAxis(c, s.axis[0], s.axis[1], s.axis[2]);
    RbdConstraintEnable(c);
    return c;
}

// The body that moves along a joint's free motion: body 1 when it can move.
RbdBodyID mover(const Scene &s)
{
    return s.body1 && !RbdBodyIsFrozen(s.body1) ? s.body1 : s.body0;
}

void rotateAboutAxis(Scene &s, Rng &rng)
{
    rotateBodyAbout(mover(s), s.anchor, s.axis, uniform(rng, -3.0, 3.0));
}

void slideAlongAxis(Scene &s, Rng &rng)
{
    PxVector3 offset;
    PxV3Scale(offset, s.axis, uniform(rng, -1.0, 1.0));
    translateBody(mover(s), offset);
}

void steerAndRoll(Scene &s, Rng &rng)
{
    PxVector3 steering, hinge, centre;
    RbdCarWheelGetSteeringAxis(s.c, steering);
    RbdCarWheelGetHingeAxis(s.c, hinge);
    RbdCarWheelGetPosition(s.c, centre);
    rotateBodyAbout(mover(s), centre, steering, uniform(rng, -1.0, 1.0));
    RbdCarWheelGetHingeAxis(s.c, hinge);
    rotateBodyAbout(mover(s), centre, hinge, uniform(rng, -3.0, 3.0));
}

void noMotion(Scene &, Rng &)
{
}

using Creator = RbdConstraintID (*)(RbdWorldID);
using Maker = std::function<RbdConstraintID(Scene &, Rng &)>;

Maker plain(Creator create)
{
    return [create](Scene &s, Rng &) { return jointAt(s, create); };
}

// A joint of the creator with active stops at lower and upper.
Maker stopped(Creator create, PxReal lower, PxReal upper)
{
    return [=](Scene &s, Rng &) {
        RbdConstraintID c = jointAt(s, create);
        setStops(RbdConstraintGetLimit(c), lower, upper);
        return c;
    };
}

Maker locked(Creator create, PxReal position, PxReal force)
{
    return [=](Scene &s, Rng &) {
        RbdConstraintID c = jointAt(s, create);
        RbdLimitSetLock(RbdConstraintGetLimit(c), position, force);
        return c;
    };
}

// The joint of make, then set up further.
Maker then(Maker make, std::function<void(Scene &, Rng &, RbdConstraintID)> setUp)
{
    return [=](Scene &s, Rng &rng) {
        RbdConstraintID c = make(s, rng);
        setUp(s, rng, c);
        return c;
    };
}

// Rows 0 to n - 1.
std::vector<int32_t> firstRows(int32_t n)
{
    std::vector<int32_t> rows(n);
    for (int32_t r = 0; r < n; ++r) rows[r] = r;
    return rows;
}

// A car wheel whose hinge axis is random but perpendicular to its steering axis.
RbdConstraintID carWheel(Scene &s, Rng &rng)
{
    RbdConstraintID c = jointAt(s, RbdCarWheelCreate);
    PxVector3 hinge, perpendicular;
    randomUnitVector(rng, hinge);
    PxV3Cross(perpendicular, s.axis, hinge);
    RbdCarWheelSetHingeAxis(c, perpendicular[0], perpendicular[1], perpendicular[2]);
    return c;
}

void randomRelativeOrientation(Scene &, Rng &rng, RbdConstraintID c)
{
    PxQuaternion q;
    for (int k = 0; k < 4; ++k) q[k] = uniform(rng, -1.0, 1.0);
    RbdRPROJointSetRelativeQuaternion(c, q);
    for (int k = 0; k < 4; ++k) q[k] = uniform(rng, -1.0, 1.0);
    RbdRPROJointSetAttachmentQuaternion(c, q, 0);
    PxVector3 velocity = {0.1, -0.2, 0.3};
    RbdRPROJointSetRelativeAngularVelocity(c, velocity);
}

// A spring from the anchor on body 1 to a point off it on body 0.
void springEnds(Scene &s, Rng &, RbdConstraintID c)
{
    PxVector3 offset = {0.3, -0.2, 0.4};
    PxV3Add(offset, offset, s.anchor);
    RbdConstraintBodySetPosition(c, 0, offset);
}

std::vector<JointCase> jointCases()
{
    const std::vector<Poses> anywhere = {Poses::Random, Poses::Consistent};
    const std::vector<Poses> consistent = {Poses::Consistent};
    const std::vector<Poses> random = {Poses::Random};
    auto spring = then(plain(RbdSpringCreate), springEnds);
    return {
        // The stopped hinge's first reading is 0: beyond -1..-0.5, below 0.5..1.
        {"ball and socket", 3, firstRows(3), anywhere, plain(RbdBSJointCreate), noMotion},
        {"hinge", 5, firstRows(5), anywhere, plain(RbdHingeCreate), rotateAboutAxis},
        {"hinge beyond its upper stop", 6, firstRows(6), consistent, stopped(RbdHingeCreate, -1.0, -0.5),
         rotateAboutAxis},
        {"hinge below its lower stop", 6, firstRows(6), consistent, stopped(RbdHingeCreate, 0.5, 1.0),
         rotateAboutAxis},
        {"locked hinge", 6, firstRows(6), consistent, locked(RbdHingeCreate, 0.3, 10.0), rotateAboutAxis},
        {"prismatic", 5, firstRows(5), anywhere, plain(RbdPrismaticCreate), slideAlongAxis},
        {"prismatic below its lower stop", 6, firstRows(6), anywhere, stopped(RbdPrismaticCreate, 0.5, 1.0),
         slideAlongAxis},
        {"locked prismatic", 6, firstRows(6), anywhere, locked(RbdPrismaticCreate, -0.2, 5.0), slideAlongAxis},
        {"car wheel", 5, firstRows(4), anywhere, carWheel, steerAndRoll},
        {"car wheel with soft suspension and locked steering", 5, firstRows(5), consistent,
         then(carWheel,
              [](Scene &, Rng &, RbdConstraintID c) {
                  RbdCarWheelSetSuspension(c, 100.0, 2.0, 0.01, -1.0, 1.0, 0.1);
                  RbdCarWheelSetSteeringAngle(c, 0.2);
              }),
         steerAndRoll},
        {"car wheel with hinge motor", 6, firstRows(4), anywhere,
         then(carWheel, [](Scene &, Rng &, RbdConstraintID c) { RbdCarWheelSetHingeLimitedForceMotor(c, 2.0, 1.0); }),
         steerAndRoll},
        {"fixed path", 3, firstRows(3), anywhere, plain(RbdFixedPathCreate), noMotion},
        {"RPRO joint", 6, firstRows(6), anywhere, then(plain(RbdRPROJointCreate), randomRelativeOrientation),
         noMotion},
        {"universal joint", 4, firstRows(4), anywhere,
         then(plain(RbdUniversalCreate),
              [](Scene &, Rng &rng, RbdConstraintID c) {
                  PxVector3 axis;
                  randomUnitVector(rng, axis);
                  RbdUniversalSetAxis(c, 1, axis[0], axis[1], axis[2]);
              }),
         noMotion},
        {"linear-1", 1, firstRows(1), anywhere,
         then(plain(RbdLinear1Create),
              [](Scene &s, Rng &, RbdConstraintID c) {
                  RbdLinear1SetPosition(c, s.anchor[0], s.anchor[1], s.anchor[2]);
              }),
         noMotion},
        {"linear-2", 2, firstRows(2), anywhere, plain(RbdLinear2Create), slideAlongAxis},
        {"angular-3", 3, firstRows(3), anywhere, plain(RbdAngular3Create), noMotion},
        {"angular-3 with rotation", 2, firstRows(2), anywhere,
         then(plain(RbdAngular3Create), [](Scene &, Rng &, RbdConstraintID c) { RbdAngular3EnableRotation(c, 1); }),
         rotateAboutAxis},
        {"spring", 1, firstRows(1), anywhere,
         then(spring,
              [](Scene &, Rng &, RbdConstraintID c) {
                  RbdSpringSetStiffness(c, 50.0);
                  RbdSpringSetDamping(c, 0.5);
                  RbdSpringSetNaturalLength(c, 0.2);
              }),
         noMotion},
        {"spring beyond its length limit", 1, firstRows(1), anywhere,
         then(spring, [](Scene &, Rng &, RbdConstraintID c) { setStops(RbdConstraintGetLimit(c), -1.0, -0.2); }),
         noMotion},
        {"cone limit outside its cone", 1, firstRows(1), random,
         then(plain(RbdConeLimitCreate),
              [](Scene &, Rng &, RbdConstraintID c) { RbdConeLimitSetHalfAngle(c, 0.02); }),
         noMotion},
    };
}

struct RowSample {
    std::vector<PxReal> phi;
    std::vector<PxReal> jv;
    std::vector<std::vector<PxReal>> jacobian;
};

RowSample sampleRows(RbdLcsConstraints *list, RbdConstraintID c, int32_t *rows)
{
    RowSample sample;
    *rows = buildRows(list, c, PARAMETERS);
    for (int32_t r = 0; r < *rows; ++r) {
        int32_t row = list->partitionRowStart + r;
        sample.phi.push_back(list->phi[row]);
        sample.jv.push_back(RbdBclRowVelocity(list, row, c));
        std::vector<PxReal> j(RBD_JACOBIAN_COLUMNS);
        RbdBclGetJacobian(list, row, j.data());
        sample.jacobian.push_back(j);
    }
    return sample;
}

// Builds the rows at the bodies' poses moved for time dt.
std::vector<PxReal> phiAfter(RbdLcsConstraints *list, const Scene &s, const std::vector<RbdBodyID> &moving, PxReal dt)
{
    std::vector<std::vector<PxReal>> saved;
    for (RbdBodyID body : moving) {
        PxMatrix4 tm;
        RbdBodyGetTransform(body, tm);
        saved.push_back(std::vector<PxReal>(&tm[0][0], &tm[0][0] + 16));
        moveBodyRigidly(body, dt);
    }
    int32_t rows = 0;
    RowSample sample = sampleRows(list, s.c, &rows);
    for (size_t i = 0; i < moving.size(); ++i) {
        PxMatrix4 tm;
        std::copy(saved[i].begin(), saved[i].end(), &tm[0][0]);
        RbdBodySetTransform(moving[i], tm);
    }
    return sample.phi;
}

// Two bodies (or a body and the world) at random poses, the first with its
// centre of mass off its reference frame, joined where they are.
Scene makeScene(const JointCase &jc, Partner partner, Rng &rng)
{
    Scene s;
    s.world = RbdWorldCreate(4, 4);
    s.body0 = RbdBodyCreate(s.world);
    s.body1 = partner == Partner::World ? nullptr : RbdBodyCreate(s.world);
    randomBodyTransform(rng, 2.0, s.body0);
    randomCenterOfMassOffset(rng, 0.3, s.body0); // dynamics runs in a frame off the body's own
    if (s.body1) {
        randomBodyTransform(rng, 2.0, s.body1);
        if (partner == Partner::Frozen) RbdBodyFreeze(s.body1);
    }
    randomVector(rng, 1.0, s.anchor);
    randomUnitVector(rng, s.axis);
    s.c = jc.make(s, rng);
    return s;
}

void checkCase(const JointCase &jc, Partner partner, Poses poses, unsigned seed)
{
    SCOPED_TRACE(std::string(jc.name) +
                 (partner == Partner::Body    ? " to a body"
                  : partner == Partner::World ? " to the world"
                                              : " to a frozen body") +
                 (poses == Poses::Random ? ", random poses" : ", consistent poses") + ", seed " +
                 std::to_string(seed));
    Rng rng(seed);
    Scene s = makeScene(jc, partner, rng);

    if (poses == Poses::Consistent) {
        jc.freeMotion(s, rng);
    } else {
        randomBodyTransform(rng, 2.0, s.body0);
        if (partner == Partner::Body) {
            randomBodyTransform(rng, 2.0, s.body1);
        }
    }
    std::vector<RbdBodyID> moving = {s.body0};
    if (partner == Partner::Body) moving.push_back(s.body1);
    for (RbdBodyID body : moving) {
        PxVector3 v;
        randomVector(rng, 1.0, v);
        RbdBodySetLinearVelocity(body, v[0], v[1], v[2]);
        randomVector(rng, 1.0, v);
        RbdBodySetAngularVelocity(body, v[0], v[1], v[2]);
    }

    RbdLcsConstraints list;
    ASSERT_TRUE(RbdBclCreateConstraintRowList(&list, 2));
    int32_t rows = 0;
    RowSample at = sampleRows(&list, s.c, &rows);
    ASSERT_EQ(rows, jc.rows);
    std::vector<PxReal> plus = phiAfter(&list, s, moving, DT);
    std::vector<PxReal> minus = phiAfter(&list, s, moving, -DT);
    ASSERT_EQ(plus.size(), (size_t)rows);
    ASSERT_EQ(minus.size(), (size_t)rows);
    for (int32_t r : jc.checkedRows) {
        PxReal rate = (plus[r] - minus[r]) / (2.0 * DT);
        EXPECT_NEAR(at.jv[r], rate, 1e-6 * (1.0 + fabs(rate))) << "row " << r;
    }
    if (partner != Partner::Body) {
        // The world and a frozen body are immovable: their columns stay zero.
        for (int32_t r = 0; r < rows; ++r)
            for (int32_t col = 6; col < RBD_JACOBIAN_COLUMNS; ++col)
                EXPECT_EQ(at.jacobian[r][col], 0.0) << "row " << r;
    }
    RbdBclDestroyConstraintRowList(&list);
    RbdWorldDestroy(s.world);
}

} // namespace

TEST(RbdJacobian, EveryRowIsTheTimeDerivativeOfItsError)
{
    for (const JointCase &jc : jointCases())
        for (Partner partner : {Partner::Body, Partner::World, Partner::Frozen})
            for (Poses poses : jc.poses)
                for (unsigned seed = 1; seed <= 6; ++seed) checkCase(jc, partner, poses, seed);
}

// A joint made where its bodies are has no error in any row, whatever the
// poses and, for the universal joint, the angle between its two axes.
TEST(RbdJacobian, AJointMadeWhereItsBodiesAreHasNoError)
{
    const std::set<std::string> held = {"ball and socket", "hinge",     "prismatic",
                                        "universal joint", "angular-3", "linear-2"};
    int checked = 0;
    for (const JointCase &jc : jointCases()) {
        if (!held.count(jc.name)) continue;
        for (unsigned seed = 1; seed <= 4; ++seed) {
            SCOPED_TRACE(std::string(jc.name) + ", seed " + std::to_string(seed));
            Rng rng(seed);
            Scene s = makeScene(jc, Partner::Body, rng);
            RbdLcsConstraints list;
            ASSERT_TRUE(RbdBclCreateConstraintRowList(&list, 2));
            int32_t rows = 0;
            RowSample at = sampleRows(&list, s.c, &rows);
            for (int32_t r : jc.checkedRows) EXPECT_NEAR(at.phi[r], 0.0, 1e-9) << "row " << r;
            RbdBclDestroyConstraintRowList(&list);
            RbdWorldDestroy(s.world);
            ++checked;
        }
    }
    EXPECT_EQ(checked, 6 * 4);
}
