// Models: records from the pool, fields, transforms, boxes, spheres, moves
// and mass properties.
#include "collision/collision_support.h"

namespace {

const PxReal kTight = 1e-12;

void ExpectPoint(const PxReal *p, PxReal x, PxReal y, PxReal z, PxReal tolerance = kTight)
{
    EXPECT_NEAR(x, p[0], tolerance);
    EXPECT_NEAR(y, p[1], tolerance);
    EXPECT_NEAR(z, p[2], tolerance);
}

} // namespace

TEST_F(CdxTest, RelativeTransformPlacesTheModelInItsReferenceFrame)
{
    // Body turned 90 degrees about z at (1, 2, 3); the model sits one unit
    // along the body's y axis, which now points along world -x.
    PxMatrix4 body, offset, world;
    SetPose(body, AxisAngle({0, 0, 1}, M_PI / 2, {1, 2, 3}));
    SetPose(offset, Translation(0, 1, 0));
    CdxModelID model = Model(CdxBoxCreate(1, 1, 1), nullptr);
    CdxModelSetRelativeTransformPtrs(model, &offset, &body, &world);
    EXPECT_EQ(CdxModelCompoundTransforms, CdxModelGetUpdateCallback(model));
    CdxModelUpdate(model);
    ExpectPoint(world[3], 0, 2, 3);
    ExpectPoint(world[0], 0, 1, 0); // the model's x axis is the body's

    PxVector3 min, max;
    SetPose(body, Translation(10, 0, 0));
    ASSERT_EQ(1, CdxModelGetAABB(model, min, max)) << "the box query updates first";
    ExpectPoint(min, 9.5, 0.5, -0.5);

    PxMatrix4 otherBody;
    SetPose(otherBody, Translation(0, 0, 5));
    CdxModelSetReferenceTransformPtr(model, &otherBody);
    EXPECT_EQ(&world, CdxModelGetTransformPtr(model));

    CdxModelSetRelativeTransformPtrs(model, nullptr, nullptr, &world);
    EXPECT_EQ(nullptr, CdxModelGetUpdateCallback(model));
    CdxModelSetReferenceTransformPtr(model, &otherBody);
    EXPECT_EQ(&otherBody, CdxModelGetTransformPtr(model)) << "without an offset the model follows directly";
}

TEST_F(CdxTest, PathBoxSweepsOverTheMotionAhead)
{
    CdxModelID model = At(0, 0, 0, CdxSphereCreate(0.5));
    PxVector3 min, max;
    ASSERT_EQ(1, CdxModelGetPathAABB(model, min, max, 3.0));
    ExpectPoint(max, 0.5, 0.5, 0.5); // without velocities only the present box
    Drive(model, 2, 0, -1);
    ASSERT_EQ(1, CdxModelGetPathAABB(model, min, max, 3.0));
    ExpectPoint(min, -0.5, -0.5, -3.5);
    ExpectPoint(max, 6.5, 0.5, 0.5);
}

TEST_F(CdxTest, MoveToWritesTheVelocitiesOfTheMove)
{
    PxMatrix4 tm, target;
    SetPose(tm, Translation(1, 1, 1));
    CdxModelID model = Model(CdxSphereCreate(1.0), &tm);
    PxVector3 v = {9, 9, 9}, w = {9, 9, 9};
    const PxReal dt = 0.05, angle = 0.1;
    SetPose(target, AxisAngle({0, 0, 1}, angle, {1.5, 1, 0.9}));
    EXPECT_EQ(1, CdxModelMoveTo(model, target, dt)) << "without velocities only the pose moves";
    ExpectPoint(w, 9, 9, 9);
    ExpectPoint(tm[3], 1.5, 1, 0.9);

    CdxModelSetLinearVelocityPtr(model, v);
    CdxModelSetAngularVelocityPtr(model, w);
    SetPose(target, AxisAngle({0, 0, 1}, 2 * angle, {2.0, 1, 0.8}));
    ASSERT_EQ(1, CdxModelMoveTo(model, target, dt));
    ExpectPoint(v, 10, 0, -2);
    // (2 / dt) sin(angle / 2) about +z: close to angle / dt for small turns.
    ExpectPoint(w, 0, 0, 2 / dt * std::sin(angle / 2));
    ExpectPoint(tm[0], std::cos(2 * angle), std::sin(2 * angle), 0);

    // Turning back the long way round is reported as the short turn.
    SetPose(target, AxisAngle({0, 0, 1}, 2 * angle - 1.9 * M_PI, {2.0, 1, 0.8}));
    ASSERT_EQ(1, CdxModelMoveTo(model, target, dt));
    ExpectPoint(w, 0, 0, 2 / dt * std::sin(0.1 * M_PI / 2), 1e-9);

    PxVector3 before = {w[0], w[1], w[2]};
    ASSERT_EQ(1, CdxModelMoveTo(model, target, 1e-8));
    ExpectPoint(w, before[0], before[1], before[2]);

    CdxModelID loose = Model(nullptr, nullptr);
    EXPECT_EQ(0, CdxModelMoveTo(loose, target, dt)) << "a model without a frame cannot move";
}
