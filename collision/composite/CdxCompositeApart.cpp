// A hand's links that do not touch each other are tested against each other
// every step, each test a search over their parts. A test that finds a pair
// with a composite apart also bounds how far apart the two are: the least
// gap between their parts' hulls beyond the contact tolerances, c. While
// the points of the two models have moved by less than c / 2 in all since,
// no part can have come within reach of the other's, and the test is
// skipped: it would find no touch again. A point p of a model moves by
//   |R1 p + t1 - R0 p - t0| <= |t1 - t0| + |R1 - R0|_F |p|,
// with |p| at most the model's reach from its origin. Half the clearance
// leaves room for the pair tests' rounding. What else the clearance was
// found from is checked too: the same models and geometries, a composite
// not rebuilt since, a plain model of the same size and tolerance, and no
// shape edited anywhere since (CdxGeometryGetEditCount): the pair test
// reads a part resized or given another geometry at once, though the
// composite's box and radius wait for its rebuild.
// A pair is tested afresh at least every kMostSkipped calls all the same.
//
// The records live with the composite of model 1, made when it is first
// found apart in a pair: pairs without composites never reach this file.
#include "composite/CdxCompositeHull.h"
#include "composite/CdxCompositeRecord.h"
#include "primitives/CxGeomClosest.h"

#include <kelmar/CdxClearance.h>
#include <kelmar/CdxGeometry.h>
#include <kelmar/CdxModelPair.h>
#include <kelmar/CdxSpace.h>
#include <kelmar/PxMemory.h>
#include <kelmar/PxVector.h>

#include <algorithm>
#include <cfloat>
#include <cmath>

namespace {

const int kMostSkipped = 64;
const PxReal kShare = 0.5; // of the clearance the models may move in all
const int kRecords = 8;    // pairs a composite is remembered apart in

// What of one model the clearance was found from.
struct Side {
    const CdxModel *model;
    const CdxGeometry *geometry;
    const CdxCompositeGeometry *composite; // the geometry's record, or null
    unsigned long long build;              // a composite's rebuild stamp then
    CdxHull hull;                          // a plain model's hull then
    PxReal tolerance;
    PxReal frame[12]; // axes and origin when tested
    PxReal reach;     // farthest point from the origin
};

struct Record {
    const CdxModelPair *pair;
    Side sides[2];
    unsigned long long edits; // the shapes' edit count then
    PxReal allowed;           // how far the two may move in all and stay apart
    int skipped;              // tests skipped since
};

// A part's hull in the world, with its contact tolerance.
struct PlacedHull {
    PxVector3 ends[2];
    PxReal radius;
    PxReal tolerance;
};

// Parts of a model for its clearance: a composite with more is not bounded.
const int kMostHulls = 16;

} // namespace

struct CdxCompositeApartBlock {
    int used;
    int next; // the record replaced next when all are used
    Record records[kRecords];
};

namespace {

Record *Find(CdxCompositeApartBlock *block, const CdxModelPair *pair)
{
    for (int k = 0; k < block->used; ++k)
        if (block->records[k].pair == pair) return &block->records[k];
    return nullptr;
}

void Forget(CdxCompositeApartBlock *block, Record *record)
{
    *record = block->records[--block->used];
}

// Whether the model is still what side recorded, and how far any of its
// points has moved since; a negative distance for a model that changed.
PxReal Moved(const CdxModel *model, const Side &side)
{
    if (model != side.model || model->geometry != side.geometry || !model->transform ||
        model->contactTolerance != side.tolerance)
        return -1.0;
    if (side.composite) {
        if (side.composite->build != side.build) return -1.0;
    } else {
        CdxHull hull;
        if (!CdxHullOf(model->geometry, &hull) || hull.halfLength != side.hull.halfLength ||
            hull.radius != side.hull.radius)
            return -1.0;
    }
    const PxReal(*tm)[4] = *model->transform;
    PxReal turn = 0.0, shift = 0.0;
    for (int i = 0; i < 3; ++i)
        for (int k = 0; k < 3; ++k) {
            const PxReal d = tm[i][k] - side.frame[3 * i + k];
            turn += d * d;
        }
    for (int k = 0; k < 3; ++k) {
        const PxReal d = tm[3][k] - side.frame[9 + k];
        shift += d * d;
    }
    return std::sqrt(shift) + std::sqrt(turn) * side.reach;
}

// The space's hello callback sees every part pair a test meets: such a
// pair is always tested.
bool HelloWatched(const CdxModelPair *pair)
{
    const CdxSpace *space = pair->model1->space;
    return space && CdxSpaceGetHelloCallback(const_cast<CdxSpace *>(space), nullptr);
}

bool RecordSide(const CdxModel *model, Side *side)
{
    PxVector3 centre;
    PxReal radius;
    if (!model->transform || !CdxGeometryGetBSphere(model->geometry, centre, &radius)) return false;
    side->model = model;
    side->geometry = model->geometry;
    side->composite = CdxCompositeFromGeometry(model->geometry);
    side->build = side->composite ? side->composite->build : 0;
    side->hull = {0.0, 0.0};
    if (!side->composite && !CdxHullOf(model->geometry, &side->hull)) return false;
    side->tolerance = model->contactTolerance;
    const PxReal(*tm)[4] = *model->transform;
    for (int i = 0; i < 4; ++i)
        for (int k = 0; k < 3; ++k) side->frame[3 * i + k] = tm[i][k];
    side->reach = PxV3Length(centre) + radius;
    return true;
}

bool AddHull(const CdxModel *model, PlacedHull *hulls, int &count)
{
    CdxHull hull;
    if (count == kMostHulls || !model->transform || !CdxHullOf(model->geometry, &hull)) return false;
    const PxReal(*frame)[4] = *model->transform;
    PlacedHull &placed = hulls[count++];
    PxV3AddScaled(placed.ends[0], frame[3], frame[2], -hull.halfLength);
    PxV3AddScaled(placed.ends[1], frame[3], frame[2], hull.halfLength);
    placed.radius = hull.radius;
    placed.tolerance = model->contactTolerance;
    return true;
}

// The hulls of a model's parts placed at its transform (its own for a
// plain model); false when one has none or is composite itself.
bool HullsOf(CdxModel *model, PlacedHull *hulls, int &count)
{
    count = 0;
    if (!model || !model->geometry || !model->transform) return false;
    CdxCompositeGeometry *c = CdxCompositeFromGeometry(model->geometry);
    if (!c) return AddHull(model, hulls, count);
    CdxCompositeGeometryEnsurePlaced(model->geometry, *model->transform);
    for (int i = 0; i < c->elementCount; ++i)
        if (CdxCompositeFromGeometry(c->elements[i]->geometry) || !AddHull(c->elements[i], hulls, count))
            return false;
    return count > 0;
}

} // namespace

bool CdxCompositeStaysApart(CdxCompositeGeometry *c, const CdxModelPair *pair)
{
    CdxCompositeApartBlock *block = c->apart;
    Record *record = block->used > 0 ? Find(block, pair) : nullptr;
    if (!record) return false;
    const PxReal moved1 = Moved(pair->model1, record->sides[0]), moved2 = Moved(pair->model2, record->sides[1]);
    if (!(moved1 >= 0.0 && moved2 >= 0.0 && moved1 + moved2 < record->allowed) || record->skipped >= kMostSkipped ||
        record->edits != CdxGeometryGetEditCount() || HelloWatched(pair)) {
        Forget(block, record);
        return false;
    }
    ++record->skipped;
    return true;
}

void CdxCompositeRecordApart(CdxCompositeGeometry *c, const CdxModelPair *pair)
{
    if (!pair->model1->space || !pair->model2->space || HelloWatched(pair)) return;
    Record fresh;
    const PxReal clearance = CdxHullClearance(pair->model1, pair->model2);
    if (!(clearance > 0.0) || !RecordSide(pair->model1, &fresh.sides[0]) ||
        !RecordSide(pair->model2, &fresh.sides[1]))
        return;
    fresh.pair = pair;
    fresh.edits = CdxGeometryGetEditCount();
    fresh.allowed = kShare * clearance;
    fresh.skipped = 0;
    if (!c->apart) {
        c->apart = static_cast<CdxCompositeApartBlock *>(PxMemoryAPI.createZeroed(sizeof(CdxCompositeApartBlock)));
        if (!c->apart) return;
    }
    CdxCompositeApartBlock *block = c->apart;
    Record *record = Find(block, pair);
    if (!record && block->used < kRecords) record = &block->records[block->used++];
    if (!record) {
        record = &block->records[block->next];
        block->next = (block->next + 1) % kRecords;
    }
    *record = fresh;
}

void CdxCompositeForgetApart(CdxCompositeGeometry *c, const CdxModelPair *pair)
{
    Record *record = c->apart->used > 0 ? Find(c->apart, pair) : nullptr;
    if (record) Forget(c->apart, record);
}

void CdxCompositeApartFree(CdxCompositeGeometry *c)
{
    PxMemoryAPI.destroy(c->apart);
    c->apart = nullptr;
}

PxReal CdxHullClearance(CdxModelID model1, CdxModelID model2)
{
    PlacedHull hulls1[kMostHulls], hulls2[kMostHulls];
    int count1, count2;
    if (!HullsOf(model1, hulls1, count1) || !HullsOf(model2, hulls2, count2)) return -DBL_MAX;
    PxReal least = DBL_MAX;
    for (int i = 0; i < count1; ++i)
        for (int j = 0; j < count2; ++j) {
            const PlacedHull &a = hulls1[i], &b = hulls2[j];
            PxReal s, t;
            PxVector3 closest1, closest2;
            const PxReal squared = CxClosestPointsSegmentSegment(a.ends[0], a.ends[1], b.ends[0], b.ends[1], &s, &t,
                                                                 closest1, closest2);
            least = std::min(least, std::sqrt(squared) - a.radius - b.radius - a.tolerance - b.tolerance);
        }
    return least;
}
