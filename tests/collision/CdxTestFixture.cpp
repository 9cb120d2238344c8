#include "CdxTestFixture.h"

#include <kelmar/PxVector.h>

#include <algorithm>
#include <cmath>

BoxBoxCounts gBoxBoxCounts;

namespace {

CdxIntersectFn gBoxBoxIntersect;

void CountHello(CdxModelPair *)
{
    ++gBoxBoxCounts.hello;
}
void CountGoodbye(CdxModelPair *)
{
    ++gBoxBoxCounts.goodbye;
}
int CountIntersect(CdxModelPair *pair, CdxIntersectResult *result)
{
    ++gBoxBoxCounts.intersectCalls;
    return gBoxBoxIntersect(pair, result);
}

} // namespace

void SetTranslation(PxMatrix4 tm, PxReal x, PxReal y, PxReal z)
{
    PxM4Identity(tm);
    tm[3][0] = x;
    tm[3][1] = y;
    tm[3][2] = z;
}

void SetTurnZ(PxMatrix4 tm, PxReal angle, PxReal x, PxReal y, PxReal z)
{
    SetTranslation(tm, x, y, z);
    tm[0][0] = tm[1][1] = std::cos(angle);
    tm[0][1] = std::sin(angle);
    tm[1][0] = -std::sin(angle);
}

void CdxTest::SetUp()
{
    ASSERT_EQ(1, CdxInit(kTypeCapacity, kModelCapacity));
    CdxSphereBoxPlaneRegisterTypes();
    CdxSphereBoxPlaneRegisterInteractions();
    ASSERT_EQ(3, CdxCompositeRegisterType());
    CdxCompositeGenericRegisterInteractions();
    gBoxBoxCounts = BoxBoxCounts{};
    const CdxGeometryTypeID box = CdxBoxGetTypeId();
    CdxInteractions counting = CdxInteractionTableGetElementPtr(box, box)->interactions;
    gBoxBoxIntersect = counting.intersectFn;
    counting.helloFn = CountHello;
    counting.goodbyeFn = CountGoodbye;
    counting.intersectFn = CountIntersect;
    ASSERT_EQ(1, CdxInteractionTableSetElement(box, box, &counting, nullptr));
}

void CdxTest::TearDown()
{
    for (CdxModelID model : models_) CdxModelDestroy(model);
    for (CdxGeometryID geometry : geometries_) CdxGeometryDestroy(geometry);
    CdxTerm();
}

CdxModelID CdxTest::Model(CdxGeometryID geometry, PxMatrix4 *transform)
{
    CdxModelID model = CdxModelCreate(geometry);
    CdxModelSetTransformPtr(model, transform);
    models_.push_back(model);
    if (geometry && std::find(geometries_.begin(), geometries_.end(), geometry) == geometries_.end())
        geometries_.push_back(geometry);
    return model;
}

CdxModelID CdxTest::At(PxReal x, PxReal y, PxReal z, CdxGeometryID geometry)
{
    kept_.emplace_back();
    SetTranslation(kept_.back().tm, x, y, z);
    return Model(geometry ? geometry : HalfBox(1, 1, 1), &kept_.back().tm);
}

void CdxTest::Drive(CdxModelID model, PxReal vx, PxReal vy, PxReal vz)
{
    auto kept = std::find_if(kept_.begin(), kept_.end(),
                             [&](Kept &k) { return &k.tm == CdxModelGetTransformPtr(model); });
    ASSERT_TRUE(kept != kept_.end()) << "only a model made by At is driven";
    PxV3Set(kept->linear, vx, vy, vz);
    PxV3Set(kept->angular, 0, 0, 0);
    CdxModelSetLinearVelocityPtr(model, kept->linear);
    CdxModelSetAngularVelocityPtr(model, kept->angular);
}

CdxModelPair *CdxTest::Pair(CdxModelID a, CdxModelID b)
{
    keptPairs_.emplace_back();
    CdxModelPairReset(&keptPairs_.back(), a, b);
    CdxHello(&keptPairs_.back());
    return &keptPairs_.back();
}
