#include "CdxTestFixture.h"

#include <algorithm>

void CdxTest::SetUp()
{
    ASSERT_EQ(1, CdxInit(kTypeCapacity, kModelCapacity));
    TestShapesRegister();
    ASSERT_EQ(2, CdxCompositeRegisterType());
    CdxCompositeGenericRegisterInteractions();
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
