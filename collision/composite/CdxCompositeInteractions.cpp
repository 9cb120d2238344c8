// Pair functions of composites: every element is tested against the other
// model through the interaction table and the results are merged.
#include "composite/CdxCompositeHull.h"
#include "composite/CdxCompositeRecord.h"
#include "framework/CdxInteractionTableRecord.h"
#include "primitives/CxPrimitiveRecords.h"

#include <kelmar/CdxComposite.h>
#include <kelmar/CdxContactSimplify.h>
#include <kelmar/CdxFrame.h>
#include <kelmar/CdxInteractionTable.h>
#include <kelmar/CdxInteractions.h>
#include <kelmar/CdxModelPair.h>
#include <kelmar/CdxPrimitives.h>
#include <kelmar/CdxSpace.h>
#include <kelmar/PxMemory.h>
#include <kelmar/PxVector.h>

#include <algorithm>
#include <cfloat>

namespace {

// Candidate contacts held on the stack; larger batches are allocated.
const int kLocalCandidates = 96;
// Farther than any hit a segment can report.
const PxReal kNoHitDistance = 1e25;
// Relative share of a squared reach by which two elements must stand
// apart before their test is skipped: far above rounding.
const PxReal kApartMargin = 1e-9;

// The composite of model 1 of a pair, with its elements placed at the
// model's current transform (in a step the broad phase's update has
// already placed them there).
CdxCompositeGeometry *PlacedComposite(CdxModel *model)
{
    CdxCompositeGeometry *c = model ? CdxCompositeFromGeometry(model->geometry) : nullptr;
    if (c) CdxCompositeGeometryEnsurePlaced(model->geometry, model->transform ? *model->transform : nullptr);
    return c;
}

const CdxRequest *RequestOf(const CdxModelPair *pair)
{
    return pair->request ? pair->request : CdxGetDefaultRequestPtr();
}

// Candidate storage for one intersection.
class CandidateBuffer {
public:
    explicit CandidateBuffer(int wanted)
    {
        if (wanted > kLocalCandidates)
            heap_ = static_cast<CdxContact *>(PxMemoryAPI.create(sizeof(CdxContact) * static_cast<size_t>(wanted)));
        contacts_ = heap_ ? heap_ : local_;
        capacity_ = heap_ ? wanted : std::min(wanted, kLocalCandidates);
    }
    ~CandidateBuffer() { PxMemoryAPI.destroy(heap_); }
    CandidateBuffer(const CandidateBuffer &) = delete;
    CandidateBuffer &operator=(const CandidateBuffer &) = delete;
    CdxContact *contacts() { return contacts_; }
    int capacity() const { return capacity_; }

private:
    CdxContact local_[kLocalCandidates];
    CdxContact *heap_ = nullptr;
    CdxContact *contacts_;
    int capacity_;
};

// Re-labels the contacts one element produced: element1 becomes the element
// model, element2 the other model's sub-element; when hello had exchanged
// the local pair, the other model was model 1 there and every normal is
// turned to point towards the composite.
void AdoptContacts(CdxContact *contacts, int count, CdxModel *element, bool exchanged)
{
    for (int k = 0; k < count; ++k) {
        CdxContact &contact = contacts[k];
        contact.element2 = exchanged ? contact.element1 : contact.element2;
        contact.element1 = reinterpret_cast<intptr_t>(element);
        if (exchanged) PxV3Scale(contact.normal, contact.normal, -1.0);
    }
}

// Pair functions whose separation is the models' distance, so that they
// find no touch for models farther apart than the summed tolerances.
bool ReportsDistance(const CdxInteractions *interactions)
{
    if (!interactions) return false;
    const CdxIntersectFn fn = interactions->intersectFn;
    return !interactions->helloFn && !interactions->goodbyeFn &&
           (fn == CdxSphereSphereIntersect || fn == CdxCylinderSphereIntersect || fn == CdxBoxSphereIntersect);
}

// The model a composite's elements are tested against, with its hull read
// once for all the elements.
struct Other {
    CdxModel *model;
    CdxHull hull;
    bool hasHull; // a sphere, cylinder or box with a transform
};

Other OtherOf(CdxModel *model)
{
    Other other = {model, {0.0, 0.0}, false};
    other.hasHull = CdxHullOf(model->geometry, &other.hull) && model->transform;
    return other;
}

// Whether the hulls of the element and the other model, one of them a ball
// about its origin, stand apart by more than the summed contact
// tolerances: the ball's centre is farther than the reach from the other's
// segment.
bool HullsApart(const CdxModel *element, const Other &other)
{
    CdxHull hull1, hull2 = other.hull;
    if (!other.hasHull || !CdxHullOf(element->geometry, &hull1) || !element->transform) return false;
    const CdxModel *model1 = element, *model2 = other.model;
    if (hull1.halfLength > 0.0) {
        std::swap(model1, model2);
        std::swap(hull1, hull2);
    }
    if (hull1.halfLength > 0.0) return false;
    const PxReal reach = hull1.radius + hull2.radius + model1->contactTolerance + model2->contactTolerance;
    if (!(reach >= 0.0)) return false;
    const PxReal(*frame)[4] = *model2->transform;
    PxVector3 gap;
    PxV3Sub(gap, (*model1->transform)[3], frame[3]);
    const PxReal along = std::max(-hull2.halfLength, std::min(hull2.halfLength, PxV3Dot(gap, frame[2])));
    PxV3AddScaled(gap, gap, frame[2], -along);
    // The margin keeps rounding in the pair function's own distance from
    // turning a pair found apart here into a touch there.
    return PxV3LengthSquared(gap) > reach * reach * (1.0 + kApartMargin);
}

// The table's functions for the two models' kinds (both registered), read
// in place: the lookup through a pair costs as much as the rest of the
// check. Null for an entry that chooses its functions per pair.
const CdxInteractions *TableEntry(const CdxModel *model1, const CdxModel *model2)
{
    const int n = gCdxInteractionTable.typeCapacity;
    const int type1 = model1->geometry->typeId, type2 = model2->geometry->typeId;
    if (type1 < 0 || type2 < 0 || type1 >= n || type2 >= n) return nullptr;
    const CdxInteractionTableElement *entry = &gCdxInteractionTable.elements[type1 + type2 * n];
    return entry->getInteractionsFn ? nullptr : &entry->interactions;
}

// True when the element cannot touch other: they stand apart by more than
// the summed contact tolerances and the pair's function measures the gap,
// so it would find no touch. Most of a hand's elements are far from what
// it holds; the hello, test and goodbye of such an element cost several
// times this check. A pair the space's hello callback must see is tested.
bool ClearlyApart(CdxModel *element, const Other &other)
{
    if (!HullsApart(element, other)) return false;
    CdxSpace *space = element->space ? element->space : other.model->space;
    if (space && CdxSpaceGetHelloCallback(space, nullptr)) return false;
    return ReportsDistance(TableEntry(element, other.model));
}

// Tests one element against the other model; appends to the buffer from
// used on.
bool IntersectElement(CdxModel *element, const Other &otherSide, CdxContact *free, int room, int &used,
                      PxVector3 normalSum)
{
    if (ClearlyApart(element, otherSide)) return false;
    CdxModel *other = otherSide.model;
    CdxModelPair local;
    CdxModelPairReset(&local, element, other);
    CdxHello(&local);
    bool exchanged = local.model1 != element;
    CdxIntersectResult result = {};
    result.contacts = free;
    result.contactCapacity = room;
    CdxIntersect(&local, &result);
    CdxGoodbye(&local);
    if (!result.touch) return false;
    AdoptContacts(result.contacts, result.contactCount, element, exchanged);
    PxV3AddScaled(normalSum, normalSum, result.normal, exchanged ? -1.0 : 1.0);
    used += result.contactCount;
    return true;
}

int LineSegment(CdxModel *model, const PxVector3 p0, const PxVector3 p1, CdxModelFilterFn filter, void *filterData,
                CdxLineSegResult *result)
{
    CdxCompositeGeometry *c = PlacedComposite(model);
    if (!c || !result || !p0 || !p1) return 0;
    PxReal nearest = kNoHitDistance;
    int hit = 0;
    for (int i = 0; i < c->elementCount; ++i) {
        CdxModel *element = c->elements[i];
        if (!element->geometry || (filter && !filter(element, filterData))) continue;
        CdxLineSegResult candidate = {};
        int found;
        if (CdxCompositeFromGeometry(element->geometry)) {
            found = LineSegment(element, p0, p1, filter, filterData, &candidate);
        } else {
            CdxLineSegIntersectFn fn = CdxLineSegGetIntersectFnPtr(element->geometry->typeId);
            found = fn && fn(element, p0, p1, &candidate);
            candidate.element = element;
        }
        if (found && candidate.distance < nearest) {
            nearest = candidate.distance;
            *result = candidate;
            result->model = element;
            hit = 1;
        }
    }
    return hit;
}

bool HasApproximateDistance(CdxModelPair *pair)
{
    return CdxInteractionTableGetInteractions(pair, nullptr)->approximateDistanceFn != nullptr;
}

} // namespace

extern "C" {

int CdxCompositeGenericIntersect(CdxModelPair *pair, CdxIntersectResult *result)
{
    if (!result) return 0;
    result->touch = 0;
    result->contactCount = 0;
    PxV3Zero(result->normal);
    if (!pair || !pair->model1 || !pair->model2) return 0;
    CdxCompositeGeometry *c = CdxCompositeFromGeometry(pair->model1->geometry);
    if (c && c->apart && CdxCompositeStaysApart(c, pair)) return 0;
    c = PlacedComposite(pair->model1);
    if (!c || c->elementCount == 0) return 0;
    const CdxRequest *request = RequestOf(pair);
    CandidateBuffer buffer(c->elementCount * std::max(request->contactMaxCount, 0));
    int used = 0;
    PxVector3 normalSum = {0.0, 0.0, 0.0};
    const Other other = OtherOf(pair->model2);
    for (int i = 0; i < c->elementCount; ++i)
        if (IntersectElement(c->elements[i], other, buffer.contacts() + used, buffer.capacity() - used, used,
                             normalSum))
            result->touch = 1;
    if (!result->touch) {
        CdxCompositeRecordApart(c, pair);
        return 0;
    }
    if (c->apart) CdxCompositeForgetApart(c, pair);
    PxV3Normalize(normalSum);
    PxV3Copy(result->normal, normalSum);
    int budget = std::min(result->contacts ? result->contactCapacity : 0, request->contactMaxCount);
    result->contactCount = CdxContactSimplify(result->normal, buffer.contacts(), used, result->contacts, budget,
                                              request->requestOption);
    return 1;
}

int CdxCompositeGenericApproximateDistance(CdxModelPair *pair, const CdxDistanceRequest *request,
                                           CdxDistanceResult *result)
{
    if (!result) return 0;
    result->pair = pair;
    result->lowerBound = result->upperBound = DBL_MAX;
    result->element1 = result->element2 = 0;
    CdxCompositeGeometry *c = pair && pair->model2 ? PlacedComposite(pair->model1) : nullptr;
    if (!c) return 0;
    int found = 0;
    for (int i = 0; i < c->elementCount; ++i) {
        CdxModelPair local;
        CdxModelPairReset(&local, c->elements[i], pair->model2);
        if (!HasApproximateDistance(&local)) continue;
        CdxDistanceResult part;
        CdxApproximateDistance(&local, request, &part);
        found = 1;
        if (part.lowerBound < result->lowerBound) {
            result->lowerBound = part.lowerBound;
            result->element1 = reinterpret_cast<intptr_t>(c->elements[i]);
            result->element2 = part.element2;
        }
        result->upperBound = std::min(result->upperBound, part.upperBound);
    }
    return found;
}

int CdxCompositeLineSegment(CdxModelID model, const PxVector3 p0, const PxVector3 p1, CdxLineSegResult *result)
{
    return LineSegment(model, p0, p1, nullptr, nullptr, result);
}

int CdxCompositeLineSegmentFiltered(CdxModelID model, const PxVector3 p0, const PxVector3 p1, CdxModelFilterFn filter,
                                    void *filterData, CdxLineSegResult *result)
{
    return LineSegment(model, p0, p1, filter, filterData, result);
}

void CdxCompositeGenericRegisterInteractions(void)
{
    CdxGeometryTypeID composite = CdxCompositeGetTypeId();
    if (composite < 0) return;
    CdxInteractions interactions;
    CdxInteractionsInit(&interactions);
    interactions.intersectFn = CdxCompositeGenericIntersect;
    for (CdxGeometryTypeID type = 0; type < CdxGeometryGetRegisteredTypeCount(); ++type)
        CdxInteractionTableSetElement(composite, type, &interactions, nullptr);
    CdxCompositeLineSegRegisterInteraction();
}

void CdxCompositeLineSegRegisterInteraction(void)
{
    CdxGeometryTypeID composite = CdxCompositeGetTypeId();
    if (composite >= 0) CdxLineSegRegisterInteraction(composite, CdxCompositeLineSegment);
}

void CdxCompositeGenericRegisterDistance(void)
{
    CdxGeometryTypeID composite = CdxCompositeGetTypeId();
    if (composite < 0) return;
    for (CdxGeometryTypeID type = 0; type < CdxGeometryGetRegisteredTypeCount(); ++type)
        CdxInteractionTableRegisterApproximateDistanceFn(composite, type, CdxCompositeGenericApproximateDistance);
}

} // extern "C"
