// Body poses: the reference and centre-of-mass frames, and joints that stay
// in place in the world while their bodies are moved or re-centred.
#include <gtest/gtest.h>

#include <math.h>
#include "dynamics/RbdTestSupport.h"

using namespace rbdtest;

namespace {

struct JointFrame {
    PxVector3 position[2];
    PxVector3 primary[2];
    PxVector3 secondary[2];
};

JointFrame worldFrames(RbdConstraintID c)
{
    JointFrame frame;
    for (int i = 0; i < 2; ++i) {
        RbdConstraintBodyGetPosition(c, i, frame.position[i]);
        RbdConstraintBodyGetAxes(c, i, frame.primary[i], frame.secondary[i]);
    }
    return frame;
}

void expectSameVector(const PxVector3 a, const PxVector3 b, PxReal tolerance)
{
    for (int k = 0; k < 3; ++k) EXPECT_NEAR(a[k], b[k], tolerance) << "component " << k;
}

void expectSameFrames(const JointFrame &a, const JointFrame &b)
{
    for (int i = 0; i < 2; ++i) {
        expectSameVector(a.position[i], b.position[i], 1e-12);
        expectSameVector(a.primary[i], b.primary[i], 1e-12);
        expectSameVector(a.secondary[i], b.secondary[i], 1e-12);
    }
}

} // namespace

TEST(RbdPose, TheCentreOfMassFrameFollowsTheReferenceFrame)
{
    World world(1, 1);
    RbdBodyID body = RbdBodyCreate(world);
    PxMatrix4 offset;
    PxM4Identity(offset);
    PxV3Set(offset[3], 0.0, 0.0, 2.0); // centre of mass 2 m along the body's z axis
    RbdBodySetCenterOfMassRelativeTransform(body, offset);
    PxMatrix3 quarterTurnAboutX;
    PxMatrix3MakeRotationX(quarterTurnAboutX, M_PI / 2);
    RbdBodySetOrientation(body, quarterTurnAboutX);
    RbdBodySetPosition(body, 1.0, 0.0, 0.0);
    PxVector3 com, position;
    RbdBodyGetCenterOfMassPosition(body, com);
    RbdBodyGetPosition(body, position);
    PxVector3 bodyZ = {quarterTurnAboutX[2][0], quarterTurnAboutX[2][1], quarterTurnAboutX[2][2]};
    for (int k = 0; k < 3; ++k) EXPECT_NEAR(com[k], position[k] + 2.0 * bodyZ[k], 1e-14);
    // The solver's frame turned back into the reference frame gives the body's own transform.
    PxMatrix4 before, after;
    RbdBodyGetTransform(body, before);
    RbdBodyUpdateTransformFromCom(body);
    RbdBodyGetTransform(body, after);
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j) EXPECT_NEAR(after[i][j], before[i][j], 1e-14);
}

TEST(RbdPose, ARotationThatIsNotOneIsRefused)
{
    World world(1, 1);
    RbdBodyID body = RbdBodyCreate(world);
    WarningCapture warnings;
    PxMatrix3 stretched = {{2, 0, 0}, {0, 1, 0}, {0, 0, 1}};
    RbdBodySetOrientation(body, stretched);
    PxMatrix4 tm;
    PxM4Identity(tm);
    tm[0][1] = 0.5;
    RbdBodySetTransform(body, tm);
    EXPECT_EQ(warnings.messages().size(), 2u);
    EXPECT_TRUE(warnings.contains("RbdBodySetOrientation: the matrix is not a rotation; ignored."));
    RbdBodyGetTransform(body, tm);
    EXPECT_TRUE(PxMatrix4IsIdentity(tm, 1e-14));
}

TEST(RbdPose, MovingABodyWithUpdatedAttachmentsLeavesItsJointsWhereTheyWere)
{
    Rng rng(11);
    World world(2, 2);
    RbdBodyID body = RbdBodyCreate(world), other = RbdBodyCreate(world);
    PxMatrix4 tm;
    randomBodyTransform(rng, 1.0, body);
    randomCenterOfMassOffset(rng, 0.3, body);
    RbdConstraintID hinge = RbdHingeCreate(world);
    RbdConstraintSetBodies(hinge, other, body);
    RbdConstraintSetPosition(hinge, 0.5, -0.2, 0.7);
    RbdConstraintSetAxis(hinge, 0.0, 1.0, 1.0);
    RbdConstraintEnable(hinge);
    JointFrame before = worldFrames(hinge);

    randomTransform(rng, 2.0, tm);
    RbdBodySetTransformAndUpdateConstraintAttachments(body, tm);
    PxMatrix4 now;
    RbdBodyGetTransform(body, now);
    EXPECT_EQ(now[3][0], tm[3][0]);
    expectSameFrames(worldFrames(hinge), before);

    // A plain transform carries the joint along with the body instead.
    randomBodyTransform(rng, 2.0, body);
    JointFrame moved = worldFrames(hinge);
    EXPECT_GT(PxV3Distance(moved.position[1], before.position[1]), 1e-3);
    expectSameVector(moved.position[0], before.position[0], 1e-12); // the other body's side stays
}

TEST(RbdPose, ReCentringTheMassLeavesJointsAndTheReferenceFrameInPlace)
{
    Rng rng(5);
    World world(2, 2);
    RbdBodyID body = RbdBodyCreate(world);
    PxMatrix4 tm;
    randomTransform(rng, 1.0, tm);
    RbdBodySetTransform(body, tm);
    RbdConstraintID joint = RbdBSJointCreate(world);
    RbdConstraintSetBodies(joint, body, nullptr);
    RbdConstraintSetPosition(joint, 1.0, 2.0, 3.0);
    RbdConstraintSetAxis(joint, 1.0, 0.0, 0.0);
    RbdConstraintEnable(joint);
    JointFrame before = worldFrames(joint);
    PxMatrix4 offset;
    randomTransform(rng, 0.5, offset);
    RbdBodySetCenterOfMassRelativeTransform(body, offset);
    expectSameFrames(worldFrames(joint), before);
    PxMatrix4 reference;
    RbdBodyGetTransform(body, reference);
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j) EXPECT_NEAR(reference[i][j], tm[i][j], 1e-15);
    PxVector3 com, expected;
    RbdBodyGetCenterOfMassPosition(body, com);
    PxV3MulTM(expected, offset[3], tm);
    expectSameVector(com, expected, 1e-14);
    // The relative position of the joint in the body's frame is what it was.
    PxVector3 rel, expectedRel;
    RbdConstraintBodyGetPositionRel(joint, 0, rel);
    PxVector3 world1 = {1.0, 2.0, 3.0};
    PxV3MulTMInverse(expectedRel, world1, tm);
    expectSameVector(rel, expectedRel, 1e-12);
}
