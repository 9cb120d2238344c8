// Composite geometry: the type, its records, element placement and the
// per-type functions (boxes, sphere, support point, mass, destruction).
#include "composite/CdxCompositeRecord.h"

#include <kelmar/CdxComposite.h>
#include <kelmar/CdxFrame.h>
#include <kelmar/PxMath.h>
#include <kelmar/PxMemory.h>
#include <kelmar/PxVector.h>

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstring>

namespace {

CdxGeometryTypeID gCompositeTypeId = -1;
// The last rebuild stamp handed out (CdxCompositeGeometry::build).
unsigned long long gBuildStamp = 0;

void ForgetType()
{
    gCompositeTypeId = -1;
}

// The type test itself, here so that the placement loops, which test every
// element on every step, need not call out for it.
inline CdxCompositeGeometry *Record(CdxGeometry *geometry)
{
    if (!geometry || gCompositeTypeId < 0 || geometry->typeId != gCompositeTypeId) return nullptr;
    return reinterpret_cast<CdxCompositeGeometry *>(geometry);
}

bool IsElement(const CdxCompositeGeometry *c, const CdxModel *model)
{
    return std::find(c->elements, c->elements + c->elementCount, model) != c->elements + c->elementCount;
}

// The element stops following the composite.
void Release(CdxModel *element)
{
    element->parent = nullptr;
    element->relativeTransform = nullptr;
    element->referenceTransform = nullptr;
}

// Element i's world transform = transform o relative (identity transform
// when null). Elements without transform storage are left alone.
bool PlaceOne(CdxCompositeGeometry *c, int i, const PxReal (*transform)[4])
{
    CdxModel *element = c->elements[i];
    const PxMatrix4 *relative = c->relativeTransforms[i];
    c->placedCurrent = 0;
    if (!element->transform || !relative) return false;
    if (transform)
        PxMatrix4TMCompound(*element->transform, transform, *relative);
    else
        PxM4Copy(*element->transform, *relative);
    return true;
}

const PxReal (*PlacedTransform(const CdxModel *element))[4]
{
    return *element->transform;
}

bool SameMatrix(const PxReal (*a)[4], const PxReal (*b)[4])
{
    return std::memcmp(a, b, sizeof(PxMatrix4)) == 0;
}

// Whether every element stands where placing it at transform would put it:
// placed last at the same transform (bit for bit) into the same storage,
// with no element added, removed or re-placed since (a placement changed
// in place counts from the next rebuild, as for the bounding radius).
bool StandsAt(const CdxCompositeGeometry *c, const PxReal (*transform)[4])
{
    if (!c->placedCurrent || !transform || !SameMatrix(c->placedAt, transform)) return false;
    for (int i = 0; i < c->elementCount; ++i)
        if (c->placedTargets[i] != c->elements[i]->transform) return false;
    return true;
}

void RecordPlacement(CdxCompositeGeometry *c, const PxReal (*transform)[4])
{
    PxM4Copy(c->placedAt, transform);
    for (int i = 0; i < c->elementCount; ++i) c->placedTargets[i] = c->elements[i]->transform;
    c->placedCurrent = 1;
}

void WriteCachedBounds(CdxGeometry *geometry, const PxVector3 min, const PxVector3 max)
{
    for (int axis = 0; axis < 3; ++axis) {
        geometry->bounds[2 * axis] = min[axis];
        geometry->bounds[2 * axis + 1] = max[axis];
    }
}

void Origin(const PxReal (*transform)[4], PxVector3 origin)
{
    if (transform)
        PxV3Set(origin, transform[3][0], transform[3][1], transform[3][2]);
    else
        PxV3Zero(origin);
}

void DestroyFn(CdxGeometryID geometry)
{
    CdxCompositeDestroy(geometry);
}

// An element whose transform the model's update has set (it has storage
// and a placement).
bool IsPlaced(const CdxCompositeGeometry *c, int i)
{
    return c->elements[i]->transform && c->relativeTransforms[i];
}

void UnionOfElements(CdxCompositeGeometry *c, const PxReal (*transform)[4], bool place, PxVector3 min, PxVector3 max);

// An element's box where it stands; a nested composite's elements stand
// where the update put them too.
bool PlacedElementAABB(CdxModel *element, bool place, PxVector3 min, PxVector3 max)
{
    CdxCompositeGeometry *nested = place ? nullptr : Record(element->geometry);
    if (!nested) return CdxGeometryGetAABB(element->geometry, PlacedTransform(element), min, max) != 0;
    UnionOfElements(nested, PlacedTransform(element), false, min, max);
    return true;
}

// Union of the elements' boxes, each placed at transform first when place
// is set; an empty composite reports the point box at its origin.
void UnionOfElements(CdxCompositeGeometry *c, const PxReal (*transform)[4], bool place, PxVector3 min, PxVector3 max)
{
    PxV3Set(min, DBL_MAX, DBL_MAX, DBL_MAX);
    PxV3Set(max, -DBL_MAX, -DBL_MAX, -DBL_MAX);
    bool any = false;
    for (int i = 0; i < c->elementCount; ++i) {
        PxVector3 elementMin, elementMax;
        const bool placed = place ? PlaceOne(c, i, transform) : IsPlaced(c, i);
        if (!placed || !PlacedElementAABB(c->elements[i], place, elementMin, elementMax)) continue;
        for (int axis = 0; axis < 3; ++axis) {
            min[axis] = std::min(min[axis], elementMin[axis]);
            max[axis] = std::max(max[axis], elementMax[axis]);
        }
        any = true;
    }
    if (!any) {
        Origin(transform, min);
        PxV3Copy(max, min);
    }
    WriteCachedBounds(&c->header, min, max);
}

void GetAABBFn(CdxGeometryID geometry, const PxMatrix4 transform, PxVector3 min, PxVector3 max)
{
    UnionOfElements(Record(geometry), transform, true, min, max);
}

void GetXYAABBFn(CdxGeometryID geometry, const PxMatrix4 transform, PxReal out[4])
{
    CdxCompositeGeometry *c = Record(geometry);
    PxReal box[4] = {DBL_MAX, -DBL_MAX, DBL_MAX, -DBL_MAX};
    bool any = false;
    for (int i = 0; i < c->elementCount; ++i) {
        PxReal element[4];
        if (!PlaceOne(c, i, transform) ||
            !CdxGeometryGetXYAABB(c->elements[i]->geometry, PlacedTransform(c->elements[i]), element))
            continue;
        box[0] = std::min(box[0], element[0]);
        box[1] = std::max(box[1], element[1]);
        box[2] = std::min(box[2], element[2]);
        box[3] = std::max(box[3], element[3]);
        any = true;
    }
    if (!any) {
        PxVector3 origin;
        Origin(transform, origin);
        box[0] = box[1] = origin[0];
        box[2] = box[3] = origin[1];
    }
    std::copy(box, box + 4, out);
}

void GetBSphereFn(CdxGeometryID geometry, PxVector3 centre, PxReal *radius)
{
    PxV3Zero(centre);
    *radius = Record(geometry)->bSphereRadius;
}

// The farthest of the elements' support points; the composite origin when
// it has none.
void MaximumPointFn(CdxGeometryID geometry, const PxMatrix4 transform, const PxVector3 direction, PxVector3 point)
{
    CdxCompositeGeometry *c = Record(geometry);
    PxReal farthest = -DBL_MAX;
    Origin(transform, point);
    for (int i = 0; i < c->elementCount; ++i) {
        PxVector3 candidate;
        if (!PlaceOne(c, i, transform) ||
            !CdxGeometryMaximumPoint(c->elements[i]->geometry, PlacedTransform(c->elements[i]), direction, candidate))
            continue;
        PxReal along = PxV3Dot(candidate, direction);
        if (along > farthest) {
            farthest = along;
            PxV3Copy(point, candidate);
        }
    }
}

int16_t GetMassPropertiesFn(CdxGeometryID geometry, PxMatrix4 relTransform, PxMatrix3 inertia, PxReal *volume)
{
    PxReal mass;
    return CdxCompositeGetMassPropertiesAndMass(geometry, relTransform, inertia, volume, &mass);
}

} // namespace

CdxCompositeGeometry *CdxCompositeFromGeometry(CdxGeometry *geometry)
{
    return Record(geometry);
}

namespace {

// The composite's box in its own frame: its elements' boxes at their
// placements, united. False for an empty composite, which reports its
// origin, and for one with composite elements, whose own placements may
// change unseen.
bool FindFrameBox(CdxCompositeGeometry *c)
{
    if (c->elementCount == 0) return false;
    for (int i = 0; i < c->elementCount; ++i)
        if (Record(c->elements[i]->geometry)) return false;
    PxVector3 lo = {DBL_MAX, DBL_MAX, DBL_MAX}, hi = {-DBL_MAX, -DBL_MAX, -DBL_MAX};
    for (int i = 0; i < c->elementCount; ++i) {
        PxVector3 elementMin, elementMax;
        if (!CdxGeometryGetAABB(c->elements[i]->geometry, *c->relativeTransforms[i], elementMin, elementMax))
            return false;
        for (int axis = 0; axis < 3; ++axis) {
            lo[axis] = std::min(lo[axis], elementMin[axis]);
            hi[axis] = std::max(hi[axis], elementMax[axis]);
        }
    }
    for (int axis = 0; axis < 3; ++axis) {
        c->frameBox[axis] = lo[axis];
        c->frameBox[3 + axis] = hi[axis];
    }
    c->frameBoxCurrent = 1;
    return true;
}

// The frame box placed by transform, in world axes: its centre m moves
// with the frame and its half-extents h span |R| h,
//   centre_k = t_k + sum_i m_i R_ik,   half_k = sum_i h_i |R_ik|.
void TurnFrameBox(const PxReal box[6], const PxReal (*transform)[4], PxVector3 min, PxVector3 max)
{
    for (int k = 0; k < 3; ++k) {
        PxReal centre = transform[3][k], half = 0.0;
        for (int i = 0; i < 3; ++i) {
            const PxReal middle = 0.5 * (box[i] + box[3 + i]), extent = 0.5 * (box[3 + i] - box[i]);
            centre += middle * transform[i][k];
            half += extent * std::fabs(transform[i][k]);
        }
        min[k] = centre - half;
        max[k] = centre + half;
    }
}

} // namespace

// The broad phase asks for every moving model's box on every step. A rigid
// composite's box is turned from its box in its own frame: uniting its
// elements' boxes where they stand cost a box per element each step.
int CdxCompositeGeometryPlacedAABB(CdxGeometry *geometry, const PxReal (*transform)[4], PxVector3 min, PxVector3 max)
{
    CdxCompositeGeometry *c = Record(geometry);
    if (!c) return CdxGeometryGetAABB(geometry, transform, min, max);
    if (transform && (c->frameBoxCurrent || FindFrameBox(c))) {
        TurnFrameBox(c->frameBox, transform, min, max);
        WriteCachedBounds(&c->header, min, max);
        return 1;
    }
    UnionOfElements(c, transform, false, min, max);
    return 1;
}

int CdxCompositeGeometryTurnedAABB(CdxGeometry *geometry, const PxReal (*transform)[4], PxVector3 min, PxVector3 max)
{
    CdxCompositeGeometry *c = Record(geometry);
    if (!c || !transform || !(c->frameBoxCurrent || FindFrameBox(c))) return 0;
    TurnFrameBox(c->frameBox, transform, min, max);
    WriteCachedBounds(&c->header, min, max);
    return 1;
}

void CdxCompositeGeometryEnsurePlaced(CdxGeometry *geometry, const PxReal (*transform)[4])
{
    CdxCompositeGeometry *c = Record(geometry);
    if (c && !StandsAt(c, transform)) CdxCompositeGeometryUpdateTransform(geometry, transform);
}

extern "C" {

CdxGeometryTypeID CdxCompositeRegisterType(void)
{
    if (gCompositeTypeId >= 0) return gCompositeTypeId;
    if (!CdxIsInitialized()) return -1;
    gCompositeTypeId = CdxGeometryRegisterType("CdxComposite", DestroyFn, GetAABBFn, GetXYAABBFn, GetBSphereFn,
                                               MaximumPointFn, GetMassPropertiesFn);
    // Type numbers are handed out again after the next CdxInit.
    if (gCompositeTypeId >= 0) CdxRegisterTermAction(ForgetType);
    return gCompositeTypeId;
}

CdxGeometryTypeID CdxCompositeGetTypeId(void)
{
    return gCompositeTypeId;
}

CdxGeometryID CdxCompositeGeometryCreate(int maxElements)
{
    if (gCompositeTypeId < 0 || maxElements < 0) return nullptr;
    size_t slots = static_cast<size_t>(maxElements > 0 ? maxElements : 1);
    CdxCompositeGeometry *c = static_cast<CdxCompositeGeometry *>(
        PxMemoryAPI.createZeroed(sizeof(CdxCompositeGeometry)));
    CdxModel **elements = static_cast<CdxModel **>(PxMemoryAPI.createZeroed(slots * sizeof(CdxModel *)));
    PxMatrix4 **relatives = static_cast<PxMatrix4 **>(PxMemoryAPI.createZeroed(slots * sizeof(PxMatrix4 *)));
    PxMatrix4 **placedTargets = static_cast<PxMatrix4 **>(PxMemoryAPI.createZeroed(slots * sizeof(PxMatrix4 *)));
    if (!c || !elements || !relatives || !placedTargets) {
        PxMemoryAPI.destroy(c);
        PxMemoryAPI.destroy(elements);
        PxMemoryAPI.destroy(relatives);
        PxMemoryAPI.destroy(placedTargets);
        return nullptr;
    }
    CdxGeometryInitObject(&c->header, gCompositeTypeId);
    c->maxElementCount = maxElements;
    c->elementCount = 0;
    c->elements = elements;
    c->relativeTransforms = relatives;
    c->placedTargets = placedTargets;
    c->placedCurrent = 0;
    c->frameBoxCurrent = 0;
    c->bSphereRadius = 0.0;
    std::fill(c->reserved, c->reserved + 4, 0.0);
    return &c->header;
}

int CdxCompositeGeometryAddElement(CdxGeometryID geometry, CdxModelID element, PxMatrix4 *relativeTransform)
{
    CdxCompositeGeometry *c = Record(geometry);
    if (!c || !element || !relativeTransform || !element->transform) return 0;
    if (c->elementCount >= c->maxElementCount || element->parent || IsElement(c, element)) return 0;
    c->elements[c->elementCount] = element;
    c->relativeTransforms[c->elementCount] = relativeTransform;
    ++c->elementCount;
    element->relativeTransform = relativeTransform;
    CdxCompositeGeometryRebuild(geometry);
    return 1;
}

int CdxCompositeGeometryRemoveElement(CdxGeometryID geometry, int index)
{
    CdxCompositeGeometry *c = Record(geometry);
    if (!c || index < 0 || index >= c->elementCount) return 0;
    c->elements[index]->relativeTransform = nullptr;
    std::copy(c->elements + index + 1, c->elements + c->elementCount, c->elements + index);
    std::copy(c->relativeTransforms + index + 1, c->relativeTransforms + c->elementCount,
              c->relativeTransforms + index);
    --c->elementCount;
    CdxCompositeGeometryRebuild(geometry);
    return 1;
}

int CdxCompositeGeometryGetElement(CdxGeometryID geometry, int index, CdxModelID *element,
                                   PxMatrix4 **relativeTransform)
{
    CdxCompositeGeometry *c = Record(geometry);
    bool valid = c && index >= 0 && index < c->elementCount;
    if (element) *element = valid ? c->elements[index] : nullptr;
    if (relativeTransform) *relativeTransform = valid ? c->relativeTransforms[index] : nullptr;
    return valid;
}

CdxModelID CdxCompositeGeometryGetModel(CdxGeometryID geometry, int index)
{
    CdxModelID element = nullptr;
    CdxCompositeGeometryGetElement(geometry, index, &element, nullptr);
    return element;
}

int CdxCompositeGeometryGetElementCount(CdxGeometryID geometry)
{
    CdxCompositeGeometry *c = Record(geometry);
    return c ? c->elementCount : 0;
}

int CdxCompositeGeometryGetElementMaxCount(CdxGeometryID geometry)
{
    CdxCompositeGeometry *c = Record(geometry);
    return c ? c->maxElementCount : 0;
}

void CdxCompositeGeometryBuild(CdxGeometryID geometry)
{
    CdxCompositeGeometryRebuild(geometry);
}

void CdxCompositeGeometryRebuild(CdxGeometryID geometry)
{
    CdxCompositeGeometry *c = Record(geometry);
    if (!c) return;
    c->placedCurrent = 0; // the elements or their placements changed
    c->frameBoxCurrent = 0;
    c->build = ++gBuildStamp;
    CdxGeometryNoteEdit();
    PxReal radius = 0.0;
    for (int i = 0; i < c->elementCount; ++i) {
        PxVector3 centre, placed;
        PxReal elementRadius;
        if (!CdxGeometryGetBSphere(c->elements[i]->geometry, centre, &elementRadius)) continue;
        PxV3MulTM(placed, centre, *c->relativeTransforms[i]);
        radius = std::max(radius, PxV3Length(placed) + elementRadius);
    }
    c->bSphereRadius = radius;
}

PxReal CdxCompositeGeometryGetBSphereRadius(CdxGeometryID geometry)
{
    CdxCompositeGeometry *c = Record(geometry);
    return c ? c->bSphereRadius : 0.0;
}

void CdxCompositeGeometryDecompose(CdxGeometryID geometry)
{
    CdxCompositeGeometry *c = Record(geometry);
    if (!c) return;
    for (int i = 0; i < c->elementCount; ++i) Release(c->elements[i]);
    c->elementCount = 0;
    c->placedCurrent = 0;
    c->frameBoxCurrent = 0;
    c->build = ++gBuildStamp;
    CdxGeometryNoteEdit();
    c->bSphereRadius = 0.0;
}

void CdxCompositeGeometryUpdateTransform(CdxGeometryID geometry, const PxMatrix4 transform)
{
    CdxCompositeGeometry *c = Record(geometry);
    if (!c) return;
    bool flat = true; // a composite element's own placements may change unseen
    for (int i = 0; i < c->elementCount; ++i) {
        if (!PlaceOne(c, i, transform) || !Record(c->elements[i]->geometry)) continue;
        CdxCompositeGeometryUpdateTransform(c->elements[i]->geometry, PlacedTransform(c->elements[i]));
        flat = false;
    }
    if (flat && transform) RecordPlacement(c, transform);
}

void CdxCompositeDestroy(CdxGeometryID geometry)
{
    CdxCompositeGeometry *c = Record(geometry);
    if (!c) return;
    CdxCompositeGeometryDecompose(geometry);
    CdxCompositeApartFree(c);
    PxMemoryAPI.destroy(c->elements);
    PxMemoryAPI.destroy(c->relativeTransforms);
    PxMemoryAPI.destroy(c->placedTargets);
    PxMemoryAPI.destroy(c);
}

} // extern "C"
