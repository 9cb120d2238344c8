#include "CdxTestShapes.h"

#include "framework/CdxGeometryRecord.h"
#include "framework/CdxModelRecord.h"

#include <kelmar/PxMath.h>
#include <kelmar/PxMemory.h>
#include <kelmar/PxVector.h>

#include <algorithm>
#include <cfloat>
#include <cmath>

TestShapeCounters gTestShapeCounters;

namespace {

struct TestBox {
    CdxGeometry header;
    PxVector3 half;
};

struct TestBall {
    CdxGeometry header;
    PxReal radius;
};

CdxGeometryTypeID gBoxType = -1;
CdxGeometryTypeID gBallType = -1;

TestBox *Box(CdxGeometryID g)
{
    return reinterpret_cast<TestBox *>(g);
}
TestBall *Ball(CdxGeometryID g)
{
    return reinterpret_cast<TestBall *>(g);
}

void Origin(const PxReal (*tm)[4], PxVector3 out)
{
    if (tm)
        PxV3Set(out, tm[3][0], tm[3][1], tm[3][2]);
    else
        PxV3Zero(out);
}

void Destroy(CdxGeometryID g)
{
    ++gTestShapeCounters.destroyed;
    PxMemoryAPI.destroy(g);
}

void StoreBounds(CdxGeometryID g, const PxVector3 min, const PxVector3 max)
{
    for (int k = 0; k < 3; ++k) {
        g->bounds[2 * k] = min[k];
        g->bounds[2 * k + 1] = max[k];
    }
}

// Extent along world axis k: sum over local axes of |R_ik| r_i.
void BoxAABB(CdxGeometryID g, const PxMatrix4 tm, PxVector3 min, PxVector3 max)
{
    PxVector3 c;
    Origin(tm, c);
    for (int k = 0; k < 3; ++k) {
        PxReal extent = 0.0;
        for (int i = 0; i < 3; ++i) extent += std::fabs(tm ? tm[i][k] : (i == k ? 1.0 : 0.0)) * Box(g)->half[i];
        min[k] = c[k] - extent;
        max[k] = c[k] + extent;
    }
    StoreBounds(g, min, max);
}

void BoxXY(CdxGeometryID g, const PxMatrix4 tm, PxReal out[4])
{
    PxVector3 min, max;
    BoxAABB(g, tm, min, max);
    out[0] = min[0];
    out[1] = max[0];
    out[2] = min[1];
    out[3] = max[1];
}

void BoxSphere(CdxGeometryID g, PxVector3 centre, PxReal *radius)
{
    PxV3Zero(centre);
    *radius = PxV3Length(Box(g)->half);
}

void BoxSupport(CdxGeometryID g, const PxMatrix4 tm, const PxVector3 d, PxVector3 point)
{
    Origin(tm, point);
    for (int i = 0; i < 3; ++i) {
        PxVector3 axis = {tm ? tm[i][0] : (i == 0), tm ? tm[i][1] : (i == 1), tm ? tm[i][2] : (i == 2)};
        PxReal along = PxV3Dot(axis, d);
        PxReal sign = along > 0.0 ? 1.0 : (along < 0.0 ? -1.0 : 0.0);
        PxV3AddScaled(point, point, axis, sign * Box(g)->half[i]);
    }
}

// Solid box: I_kk = (r_i^2 + r_j^2) / 3 per unit mass, volume 8 rx ry rz.
int16_t BoxMass(CdxGeometryID g, PxMatrix4 com, PxMatrix3 inertia, PxReal *volume)
{
    const PxReal *r = Box(g)->half;
    PxM4Identity(com);
    PxM3Identity(inertia);
    inertia[0][0] = (r[1] * r[1] + r[2] * r[2]) / 3.0;
    inertia[1][1] = (r[0] * r[0] + r[2] * r[2]) / 3.0;
    inertia[2][2] = (r[0] * r[0] + r[1] * r[1]) / 3.0;
    *volume = 8.0 * r[0] * r[1] * r[2];
    return 1;
}

void BallAABB(CdxGeometryID g, const PxMatrix4 tm, PxVector3 min, PxVector3 max)
{
    PxVector3 c;
    Origin(tm, c);
    for (int k = 0; k < 3; ++k) {
        min[k] = c[k] - Ball(g)->radius;
        max[k] = c[k] + Ball(g)->radius;
    }
    StoreBounds(g, min, max);
}

void BallSphere(CdxGeometryID g, PxVector3 centre, PxReal *radius)
{
    PxV3Zero(centre);
    *radius = Ball(g)->radius;
}

void Tolerances(const CdxModelPair *pair, PxReal *eps)
{
    *eps = pair->model1->contactTolerance + pair->model2->contactTolerance;
}

int Budget(const CdxModelPair *pair, const CdxIntersectResult *result)
{
    int wanted = pair->request ? pair->request->contactMaxCount : 4;
    return std::min(wanted, result->contactCapacity);
}

// Axis-aligned boxes: the axis of largest separation gives the normal (from
// box 2 to box 1); the contacts are the four corners of the overlap of the
// two faces, on box 1's face, separation = that largest separation.
int BoxBoxIntersect(CdxModelPair *pair, CdxIntersectResult *result)
{
    ++gTestShapeCounters.boxBoxCalls;
    PxReal eps;
    Tolerances(pair, &eps);
    PxVector3 c1, c2;
    Origin(*pair->model1->transform, c1);
    Origin(*pair->model2->transform, c2);
    const PxReal *r1 = Box(pair->model1->geometry)->half;
    const PxReal *r2 = Box(pair->model2->geometry)->half;
    int axis = 0;
    PxReal sep = -DBL_MAX;
    for (int k = 0; k < 3; ++k) {
        PxReal s = std::fabs(c1[k] - c2[k]) - (r1[k] + r2[k]);
        if (s > sep) {
            sep = s;
            axis = k;
        }
    }
    result->contactCount = 0;
    if (sep > eps) return 0;
    PxReal sign = c1[axis] > c2[axis] ? 1.0 : -1.0;
    PxV3Zero(result->normal);
    result->normal[axis] = sign;
    int u = (axis + 1) % 3, v = (axis + 2) % 3;
    PxReal uLow = std::max(c1[u] - r1[u], c2[u] - r2[u]), uHigh = std::min(c1[u] + r1[u], c2[u] + r2[u]);
    PxReal vLow = std::max(c1[v] - r1[v], c2[v] - r2[v]), vHigh = std::min(c1[v] + r1[v], c2[v] + r2[v]);
    PxReal corners[4][2] = {{uLow, vLow}, {uHigh, vLow}, {uHigh, vHigh}, {uLow, vHigh}};
    int budget = Budget(pair, result);
    for (int i = 0; i < 4 && i < budget; ++i) {
        CdxContact &contact = result->contacts[i];
        contact.position[axis] = c1[axis] - sign * r1[axis];
        contact.position[u] = corners[i][0];
        contact.position[v] = corners[i][1];
        PxV3Copy(contact.normal, result->normal);
        contact.separation = sep;
        contact.dims = 0x0202;
        contact.element1 = contact.element2 = 0;
        ++result->contactCount;
    }
    return 1;
}

void BoxBoxHello(CdxModelPair *)
{
    ++gTestShapeCounters.hello;
}
void BoxBoxGoodbye(CdxModelPair *)
{
    ++gTestShapeCounters.goodbye;
}

// Time until the box centres, closing at their relative speed, are one
// unit apart; a fixed figure easy to check.
int BoxBoxSafeTime(CdxModelPair *pair, PxReal maximumTime, CdxSafeTimeResult *result)
{
    result->pair = pair;
    PxVector3 v;
    PxV3Sub(v, pair->model1->linearVelocity, pair->model2->linearVelocity);
    PxReal speed = PxV3Length(v);
    result->safeTime = speed > 0.0 ? std::min(maximumTime, 1.0 / speed) : maximumTime;
    return speed > 0.0;
}

// Distance between box centres minus the x half-extents: enough to see the
// order the function was given the models in.
int BoxBoxDistance(CdxModelPair *pair, CdxDistanceResult *result)
{
    result->pair = pair;
    PxVector3 c1, c2;
    Origin(*pair->model1->transform, c1);
    Origin(*pair->model2->transform, c2);
    PxReal d = c1[0] - c2[0];
    result->lowerBound = d;
    result->upperBound = d;
    result->element1 = 1;
    result->element2 = 2;
    return 1;
}

// Box (model 1) and ball (model 2): the closest point of the box to the
// ball's centre; the normal points from the ball to the box.
int BoxBallIntersect(CdxModelPair *pair, CdxIntersectResult *result)
{
    PxReal eps;
    Tolerances(pair, &eps);
    PxVector3 cb, cs, closest, d;
    Origin(*pair->model1->transform, cb);
    Origin(*pair->model2->transform, cs);
    const PxReal *r = Box(pair->model1->geometry)->half;
    for (int k = 0; k < 3; ++k) closest[k] = std::clamp(cs[k], cb[k] - r[k], cb[k] + r[k]);
    PxV3Sub(d, closest, cs);
    PxReal dist = PxV3Length(d);
    PxReal sep = dist - Ball(pair->model2->geometry)->radius;
    result->contactCount = 0;
    if (sep > eps || dist == 0.0) return 0;
    PxV3Scale(result->normal, d, 1.0 / dist);
    if (Budget(pair, result) > 0) {
        CdxContact &contact = result->contacts[0];
        PxV3Copy(contact.position, closest);
        PxV3Copy(contact.normal, result->normal);
        contact.separation = sep;
        contact.dims = 0x0302;
        contact.element1 = contact.element2 = 0;
        result->contactCount = 1;
    }
    return 1;
}

void ForgetTypes()
{
    gBoxType = gBallType = -1;
}

} // namespace

void TestShapesRegister()
{
    gTestShapeCounters = TestShapeCounters{};
    gBoxType = CdxGeometryRegisterType("TestBox", Destroy, BoxAABB, BoxXY, BoxSphere, BoxSupport, BoxMass);
    gBallType = CdxGeometryRegisterType("TestBall", Destroy, BallAABB, nullptr, BallSphere, nullptr, nullptr);
    CdxRegisterTermAction(ForgetTypes);
    CdxInteractions boxBox;
    CdxInteractionsInit(&boxBox);
    boxBox.helloFn = BoxBoxHello;
    boxBox.goodbyeFn = BoxBoxGoodbye;
    boxBox.intersectFn = BoxBoxIntersect;
    boxBox.safeTimeFn = BoxBoxSafeTime;
    boxBox.distanceFn = BoxBoxDistance;
    CdxInteractionTableSetElement(gBoxType, gBoxType, &boxBox, nullptr);
    CdxInteractions boxBall;
    CdxInteractionsInit(&boxBall);
    boxBall.intersectFn = BoxBallIntersect;
    CdxInteractionTableSetElement(gBoxType, gBallType, &boxBall, nullptr);
}

CdxGeometryTypeID TestBoxTypeId()
{
    return gBoxType;
}
CdxGeometryTypeID TestBallTypeId()
{
    return gBallType;
}

CdxGeometryID TestBoxCreate(PxReal hx, PxReal hy, PxReal hz)
{
    TestBox *box = static_cast<TestBox *>(PxMemoryAPI.create(sizeof(TestBox)));
    CdxGeometryInitObject(&box->header, gBoxType);
    PxV3Set(box->half, hx, hy, hz);
    return &box->header;
}

CdxGeometryID TestBallCreate(PxReal radius)
{
    TestBall *ball = static_cast<TestBall *>(PxMemoryAPI.create(sizeof(TestBall)));
    CdxGeometryInitObject(&ball->header, gBallType);
    ball->radius = radius;
    return &ball->header;
}

void TestTranslation(PxMatrix4 tm, PxReal x, PxReal y, PxReal z)
{
    PxM4Identity(tm);
    tm[3][0] = x;
    tm[3][1] = y;
    tm[3][2] = z;
}

void TestRotationZ(PxMatrix4 tm, PxReal angle, PxReal x, PxReal y, PxReal z)
{
    TestTranslation(tm, x, y, z);
    tm[0][0] = std::cos(angle);
    tm[0][1] = std::sin(angle);
    tm[1][0] = -std::sin(angle);
    tm[1][1] = std::cos(angle);
}
