#include "CdxTestFixture.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>

CapturedMessages gCaptured;

namespace {

std::string Format(const char *format, va_list args)
{
    char text[1024];
    std::vsnprintf(text, sizeof text, format, args);
    return text;
}

void CaptureWarning(int, const char *format, va_list args)
{
    gCaptured.warnings.push_back(Format(format, args));
}

void CaptureInfo(int, const char *format, va_list args)
{
    gCaptured.infos.push_back(Format(format, args));
}

} // namespace

void CdxTest::SetUp()
{
    gCaptured = CapturedMessages{};
    savedWarning_ = PxSetWarningHandler(CaptureWarning);
    savedInfo_ = PxSetInfoHandler(CaptureInfo);
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
    PxSetWarningHandler(savedWarning_);
    PxSetInfoHandler(savedInfo_);
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
