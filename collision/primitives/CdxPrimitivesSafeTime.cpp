// Safe times of the primitive pairs: the earliest time within a step at
// which the two models, moving with their velocities, could touch.
#include "primitives/CxPrimitivePair.h"

namespace {

// Motions shorter than this over the step count as no motion.
const PxReal kMinimumTravel = 0.001;
// Rotation per sub-step of the box-box test (radians).
const PxReal kRotationPerStep = 0.2;
// Approach speeds below this count as none (box-plane).
const PxReal kMinimumApproach = 0.0001;
// Half-extent of the cube standing in for a unit sphere: 2 / (1 + sqrt 2).
const PxReal kRoundToBox = 2.0 / (1.0 + sqrt(2.0));

void velocityOf(const PxReal *velocity, PxVector3 out)
{
    if (velocity)
        PxV3Copy(out, velocity);
    else
        PxV3Zero(out);
}

int begin(CdxModelPair *pair, PxReal maximumTime, CdxSafeTimeResult *result)
{
    result->pair = pair;
    result->safeTime = maximumTime;
    return pair && pair->model1 && pair->model2;
}

const PxReal (*tmOf(const CdxModel *model))[4]
{
    return model->transform ? (const PxReal(*)[4]) * model->transform : gCxIdentityTM;
}

// The box standing in for a model: a box itself, a cube for a sphere, a
// square prism for a cylinder.
int standInBox(const CdxModel *model, PxVector3 radii)
{
    if (CdxBoxRecord *box = CxBoxRecord(model->geometry)) {
        PxV3Copy(radii, box->radii);
    } else if (CdxSphereRecord *sphere = CxSphereRecord(model->geometry)) {
        PxReal half = kRoundToBox * sphere->radius;
        PxV3Set(radii, half, half, half);
    } else if (CdxCylinderRecord *cylinder = CxCylinderRecord(model->geometry)) {
        PxReal across = kRoundToBox * cylinder->radius;
        PxV3Set(radii, across, across, cylinder->halfHeight);
    } else {
        return 0;
    }
    return 1;
}

// One moving-box test over the whole step with the stand-in boxes.
int standInSafeTime(CdxModelPair *pair, PxReal maximumTime, CdxSafeTimeResult *result)
{
    if (!begin(pair, maximumTime, result)) return 0;
    PxVector3 radii1, radii2, v1, v2, normal;
    if (!standInBox(pair->model1, radii1) || !standInBox(pair->model2, radii2)) return 0;
    velocityOf(pair->model1->linearVelocity, v1);
    velocityOf(pair->model2->linearVelocity, v2);
    PxReal time;
    if (!CdxMovingBoxBoxIntersect(radii1, tmOf(pair->model1), v1, radii2, tmOf(pair->model2), v2, maximumTime, &time,
                                  normal))
        return 0;
    result->safeTime = time;
    return 1;
}

// Turns the axes of a pose by the rotation w over time h (Rodrigues) and
// moves its origin by v h.
void advance(PxMatrix4 tm, const PxVector3 v, const PxVector3 w, PxReal h)
{
    PxV3AddScaled(tm[3], tm[3], v, h);
    PxVector3 k;
    PxV3Copy(k, w);
    PxReal angle = PxV3Normalize(k) * h;
    if (angle == 0.0) return;
    PxReal c = cos(angle), s = sin(angle);
    for (int i = 0; i < 3; ++i) {
        PxVector3 axis, cross;
        PxV3Copy(axis, tm[i]);
        PxV3Cross(cross, k, axis);
        PxReal along = PxV3Dot(k, axis) * (1.0 - c);
        for (int j = 0; j < 3; ++j) tm[i][j] = axis[j] * c + cross[j] * s + k[j] * along;
    }
}

} // namespace

int CdxSphereSphereSafeTime(CdxModelPair *pair, PxReal maximumTime, CdxSafeTimeResult *result)
{
    if (!begin(pair, maximumTime, result)) return 0;
    CdxSphereRecord *sphere1 = CxSphereRecord(pair->model1->geometry);
    CdxSphereRecord *sphere2 = CxSphereRecord(pair->model2->geometry);
    if (!sphere1 || !sphere2) return 0;
    PxVector3 d, v, v1, v2;
    PxV3Sub(d, tmOf(pair->model2)[3], tmOf(pair->model1)[3]);
    velocityOf(pair->model1->linearVelocity, v1);
    velocityOf(pair->model2->linearVelocity, v2);
    PxV3Sub(v, v2, v1);
    PxReal speed = PxV3Length(v);
    if (speed * maximumTime < kMinimumTravel) return 0;
    PxReal gap = PxV3Length(d) - sphere1->radius - sphere2->radius;
    if (PxV3Dot(d, v) < 0.0) {
        result->safeTime = gap / speed; // approaching
        return 1;
    }
    result->safeTime = -gap / speed;
    return 0;
}

// The normal speed of the sphere towards the plane, whatever its sign.
int CdxSpherePlaneSafeTime(CdxModelPair *pair, PxReal maximumTime, CdxSafeTimeResult *result)
{
    if (!begin(pair, maximumTime, result)) return 0;
    CdxSphereRecord *sphere = CxSphereRecord(pair->model1->geometry);
    if (!sphere || !CxPlaneRecord(pair->model2->geometry)) return 0;
    const PxReal(*plane)[4] = tmOf(pair->model2);
    PxVector3 v1, v2, v;
    velocityOf(pair->model1->linearVelocity, v1);
    velocityOf(pair->model2->linearVelocity, v2);
    PxV3Sub(v, v1, v2);
    PxReal speed = fabs(PxV3Dot(v, plane[2]));
    if (speed * maximumTime < kMinimumTravel) return 0;
    PxVector3 local;
    PxV3MulTMInverse(local, tmOf(pair->model1)[3], plane);
    result->safeTime = (local[2] - sphere->radius) / speed;
    return 1;
}

// Sub-steps of at most 0.2 rad of rotation; in each the boxes move with
// their linear velocities at fixed orientation.
int CdxBoxBoxSafeTime(CdxModelPair *pair, PxReal maximumTime, CdxSafeTimeResult *result)
{
    if (!begin(pair, maximumTime, result)) return 0;
    CdxModel *m1 = pair->model1, *m2 = pair->model2;
    CdxBoxRecord *box1 = CxBoxRecord(m1->geometry);
    CdxBoxRecord *box2 = CxBoxRecord(m2->geometry);
    if (!box1 || !box2) return 0;
    if (!m1->linearVelocity || !m1->angularVelocity || !m2->linearVelocity || !m2->angularVelocity) return 0;
    PxReal spin = PxV3Length(m1->angularVelocity) + PxV3Length(m2->angularVelocity);
    int steps = (int)(spin * maximumTime / kRotationPerStep) + 1;
    PxReal h = maximumTime / steps;
    PxMatrix4 tm1, tm2;
    PxM4Copy(tm1, tmOf(m1));
    PxM4Copy(tm2, tmOf(m2));
    for (int k = 0; k < steps; ++k) {
        PxReal time;
        PxVector3 normal;
        if (CdxMovingBoxBoxIntersect(box1->radii, tm1, m1->linearVelocity, box2->radii, tm2, m2->linearVelocity, h,
                                     &time, normal)) {
            result->safeTime = k * h + time + 1e-14;
            return 1;
        }
        advance(tm1, m1->linearVelocity, m1->angularVelocity, h);
        advance(tm2, m2->linearVelocity, m2->angularVelocity, h);
    }
    return 0;
}

// The lowest corner approaches the plane at most at the normal speed plus
// the speed rotation gives a point on the bounding sphere.
int CdxBoxPlaneSafeTime(CdxModelPair *pair, PxReal maximumTime, CdxSafeTimeResult *result)
{
    if (!begin(pair, maximumTime, result)) return 0;
    CdxBoxRecord *box = CxBoxRecord(pair->model1->geometry);
    if (!box || !CxPlaneRecord(pair->model2->geometry)) return 0;
    const PxReal(*tmBox)[4] = tmOf(pair->model1);
    const PxReal(*plane)[4] = tmOf(pair->model2);
    PxVector3 centre, v1, v2, v, w;
    PxV3MulTMInverse(centre, tmBox[3], plane);
    PxReal reach = 0.0;
    for (int i = 0; i < 3; ++i) reach += fabs(PxV3Dot(tmBox[i], plane[2])) * box->radii[i];
    PxReal separation = centre[2] - reach;
    velocityOf(pair->model1->linearVelocity, v1);
    velocityOf(pair->model2->linearVelocity, v2);
    velocityOf(pair->model1->angularVelocity, w);
    PxV3Sub(v, v1, v2);
    PxReal approach = -PxV3Dot(v, plane[2]) + PxV3Length(w) * box->sphereRadius;
    if (approach < kMinimumApproach) return 0;
    PxReal time = fmax(separation, 0.0) / approach;
    if (time >= maximumTime) return 0;
    result->safeTime = time;
    return 1;
}

int CdxBoxSphereSafeTime(CdxModelPair *pair, PxReal maximumTime, CdxSafeTimeResult *result)
{
    return standInSafeTime(pair, maximumTime, result);
}

int CdxBoxCylinderSafeTime(CdxModelPair *pair, PxReal maximumTime, CdxSafeTimeResult *result)
{
    return standInSafeTime(pair, maximumTime, result);
}

int CdxCylinderCylinderSafeTime(CdxModelPair *pair, PxReal maximumTime, CdxSafeTimeResult *result)
{
    return standInSafeTime(pair, maximumTime, result);
}

int CdxCylinderSphereSafeTime(CdxModelPair *pair, PxReal maximumTime, CdxSafeTimeResult *result)
{
    return standInSafeTime(pair, maximumTime, result);
}
