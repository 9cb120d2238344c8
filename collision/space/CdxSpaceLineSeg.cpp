// Line-segment queries over the models of a space, through the per-type
// line-segment functions of the interaction table.
#include "framework/CdxModelRecord.h"
#include "space/CxSpace.h"

#include <kelmar/CdxComposite.h>
#include <kelmar/CdxGeometry.h>
#include <kelmar/CdxInteractionTable.h>

namespace {

// Farther than any hit a segment can report.
const PxReal kNoHitDistance = 1e25;

CxSpace *SpaceOf(CdxSpaceID space)
{
    return static_cast<CxSpace *>(space);
}

// The model in slot id when it is in the space, else null.
CdxModel *ModelAt(CxSpace *space, int id)
{
    CdxModel *model = static_cast<CdxModel *>(space->GetRepData(id));
    return model && model->spaceId != -1 ? model : nullptr;
}

CdxLineSegIntersectFn SegmentFnOf(const CdxModel *model)
{
    return model->geometry ? CdxLineSegGetIntersectFnPtr(CdxGeometryGetTypeId(model->geometry)) : nullptr;
}

// One model's hit: the model is the space's model, element the composite
// element hit (null for a plain model).
int TestModel(CdxModel *model, const PxVector3 p0, const PxVector3 p1, CdxModelFilterFn filter, void *filterData,
              CdxLineSegResult *hit)
{
    *hit = CdxLineSegResult{};
    int found;
    if (filter && CdxModelIsComposite(model)) {
        found = CdxCompositeLineSegmentFiltered(model, p0, p1, filter, filterData, hit);
    } else {
        CdxLineSegIntersectFn fn = SegmentFnOf(model);
        found = fn && fn(model, p0, p1, hit);
    }
    if (found) hit->model = model;
    return found;
}

int NearestHit(CdxSpaceID space, const PxVector3 p0, const PxVector3 p1, CdxModelFilterFn filter, void *filterData,
               CdxLineSegResult *result)
{
    if (!space || !p0 || !p1 || !result) return 0;
    CxSpace *s = SpaceOf(space);
    PxReal nearest = kNoHitDistance;
    int found = 0;
    for (int id = 0; id < s->GetSize(); ++id) {
        CdxModel *model = ModelAt(s, id);
        if (!model || (filter && !filter(model, filterData))) continue;
        CdxLineSegResult hit;
        if (TestModel(model, p0, p1, filter, filterData, &hit) && hit.distance < nearest) {
            nearest = hit.distance;
            *result = hit;
            found = 1;
        }
    }
    return found;
}

} // namespace

extern "C" {

int CdxSpaceGetLineSegIntersections(CdxSpaceID space, const PxVector3 p0, const PxVector3 p1,
                                    CdxLineSegResult *results, int capacity)
{
    if (!space || !p0 || !p1 || !results) return 0;
    CxSpace *s = SpaceOf(space);
    int count = 0;
    for (int id = 0; id < s->GetSize() && count < capacity; ++id) {
        CdxModel *model = ModelAt(s, id);
        if (model && TestModel(model, p0, p1, nullptr, nullptr, &results[count])) ++count;
    }
    return count;
}

int CdxSpaceGetLineSegFirstIntersection(CdxSpaceID space, const PxVector3 p0, const PxVector3 p1,
                                        CdxLineSegResult *result)
{
    return NearestHit(space, p0, p1, nullptr, nullptr, result);
}

int CdxSpaceGetLineSegFirstEnabledIntersection(CdxSpaceID space, const PxVector3 p0, const PxVector3 p1,
                                               CdxModelFilterFn filter, void *filterData, CdxLineSegResult *result)
{
    return NearestHit(space, p0, p1, filter, filterData, result);
}

} // extern "C"
