// Composite models: a model on a composite geometry whose update places the
// elements at the model's transform.
#include "composite/CdxCompositeRecord.h"

#include <kelmar/CdxComposite.h>

namespace {

CdxCompositeGeometry *Record(CdxModel *model)
{
    return model && CdxModelIsComposite(model) ? CdxCompositeFromGeometry(model->geometry) : nullptr;
}

void Adopt(CdxModel *model, CdxModel *element)
{
    element->parent = model;
    element->referenceTransform = model->transform;
}

// True when candidate is model itself or one of the composites model is
// nested in: adding it would make a cycle.
bool IsSelfOrAncestor(const CdxModel *model, const CdxModel *candidate)
{
    for (const CdxModel *m = model; m; m = m->parent)
        if (m == candidate) return true;
    return false;
}

} // namespace

void CdxCompositeModelSetElementReferences(CdxModel *model)
{
    CdxCompositeGeometry *c = Record(model);
    if (!c) return;
    for (int i = 0; i < c->elementCount; ++i) c->elements[i]->referenceTransform = model->transform;
}

extern "C" {

CdxModelID CdxCompositeModelCreate(int maxElements)
{
    CdxGeometryID geometry = CdxCompositeGeometryCreate(maxElements);
    if (!geometry) return nullptr;
    CdxModelID model = CdxCompositeModelCreateFromCompositeGeometry(geometry);
    if (!model) CdxCompositeDestroy(geometry);
    return model;
}

CdxModelID CdxCompositeModelCreateFromCompositeGeometry(CdxGeometryID geometry)
{
    CdxCompositeGeometry *c = CdxCompositeFromGeometry(geometry);
    if (!c) return nullptr;
    CdxModelID model = CdxModelCreate(geometry);
    if (!model) return nullptr;
    model->updateFn = CdxCompositeModelUpdateTransform;
    for (int i = 0; i < c->elementCount; ++i) Adopt(model, c->elements[i]);
    return model;
}

int CdxCompositeModelAddElement(CdxModelID model, CdxModelID element, PxMatrix4 *relativeTransform)
{
    CdxCompositeGeometry *c = Record(model);
    if (!c || !element || IsSelfOrAncestor(model, element)) return 0;
    if (!CdxCompositeGeometryAddElement(model->geometry, element, relativeTransform)) return 0;
    Adopt(model, element);
    return 1;
}

int CdxCompositeModelRemoveElement(CdxModelID model, int index)
{
    CdxModelID element = CdxCompositeModelGetElement(model, index);
    if (!element || !CdxCompositeGeometryRemoveElement(model->geometry, index)) return 0;
    element->parent = nullptr;
    element->referenceTransform = nullptr;
    return 1;
}

void CdxCompositeModelUpdateTransform(CdxModelID model)
{
    if (!Record(model)) return;
    // A composite carried with an offset from its reference frame (a body,
    // or the composite it is an element of) finds its own pose first.
    CdxModelCompoundTransforms(model);
    CdxCompositeGeometryUpdateTransform(model->geometry, model->transform ? *model->transform : nullptr);
}

void CdxCompositeModelBuild(CdxModelID model)
{
    if (!Record(model)) return;
    CdxCompositeGeometryBuild(model->geometry);
    CdxCompositeModelUpdateTransform(model);
}

void CdxCompositeModelDecompose(CdxModelID model)
{
    if (!Record(model)) return;
    CdxCompositeModelUpdateTransform(model);
    CdxCompositeGeometryDecompose(model->geometry);
}

void CdxCompositeModelDestroy(CdxModelID model)
{
    if (!CdxModelIsComposite(model)) return;
    if (Record(model)) CdxCompositeDestroy(model->geometry);
    CdxModelPutRecord(model);
}

CdxModelID CdxCompositeModelGetElement(CdxModelID model, int index)
{
    return Record(model) ? CdxCompositeGeometryGetModel(model->geometry, index) : nullptr;
}

int CdxCompositeModelGetElementCount(CdxModelID model)
{
    return Record(model) ? CdxCompositeGeometryGetElementCount(model->geometry) : 0;
}

int CdxCompositeModelGetElementMaxCount(CdxModelID model)
{
    return Record(model) ? CdxCompositeGeometryGetElementMaxCount(model->geometry) : 0;
}

PxMatrix4 *CdxCompositeModelGetElementRelativeTransformPtr(CdxModelID model, int index)
{
    PxMatrix4 *relative = nullptr;
    if (Record(model)) CdxCompositeGeometryGetElement(model->geometry, index, nullptr, &relative);
    return relative;
}

int CdxModelIsComposite(CdxModelID model)
{
    return model && model->updateFn == CdxCompositeModelUpdateTransform;
}

} // extern "C"
