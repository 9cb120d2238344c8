// A hand's links that do not touch each other are tested against each other
// every step, each test a search over their parts. A test that finds a pair
// of composites apart also bounds how far apart they are (the least gap
// between their parts' hulls beyond the contact tolerances, c); while the
// points of the two models have moved by less than c / 2 in all since, no
// part can have come within reach of the other's, and the test is skipped:
// it would find no touch again. A point p of a model moves by
//   |R1 p + t1 - R0 p - t0| <= |t1 - t0| + |R1 - R0|_F |p|,
// with |p| at most the model's reach from its origin. Half the clearance
// leaves room for the pair tests' rounding. A pair is tested afresh at
// least every kMostSkipped steps all the same: a part resized or placed
// anew in place is seen then at the latest.
#include "SbxApart.h"

#include <math.h>

#include <kelmar/CdxClearance.h>
#include <kelmar/CdxComposite.h>
#include <kelmar/CdxGeometry.h>
#include <kelmar/CdxModel.h>
#include <kelmar/CdxSpace.h>
#include <kelmar/PxVector.h>

namespace {

const int kMostSkipped = 64;
const PxReal kShare = 0.5; // of the clearance the models may move in all

SbxApartRecord *Find(SbxBridge *bridge, const CdxModelPair *pair)
{
    for (int k = 0; k < bridge->apartUsed; ++k)
        if (bridge->apart[k].pair == pair) return &bridge->apart[k];
    return nullptr;
}

void Forget(SbxBridge *bridge, SbxApartRecord *record)
{
    *record = bridge->apart[--bridge->apartUsed];
}

// The farthest point of the model's geometry from its origin.
PxReal ReachOf(CdxModelID model)
{
    PxVector3 centre;
    PxReal radius;
    if (!CdxGeometryGetBSphere(CdxModelGetGeometry(model), centre, &radius)) return -1.0;
    return PxV3Length(centre) + radius;
}

// How far any point of the model has moved since it stood at frame.
PxReal Moved(CdxModelID model, const PxReal frame[12], PxReal reach)
{
    const PxReal(*tm)[4] = *CdxModelGetTransformPtr(model);
    PxReal turn = 0.0, shift = 0.0;
    for (int i = 0; i < 3; ++i)
        for (int k = 0; k < 3; ++k) {
            const PxReal d = tm[i][k] - frame[3 * i + k];
            turn += d * d;
        }
    for (int k = 0; k < 3; ++k) {
        const PxReal d = tm[3][k] - frame[9 + k];
        shift += d * d;
    }
    return sqrt(shift) + sqrt(turn) * reach;
}

// The space's hello callback sees every part pair a test meets: such a
// pair is always tested.
bool HelloWatched(const CdxModelPair *pair)
{
    CdxSpaceID space = CdxModelGetSpace(pair->model1);
    return space && CdxSpaceGetHelloCallback(space, nullptr);
}

} // namespace

bool SbxStaysApartRecorded(SbxBridge *bridge, const CdxModelPair *pair)
{
    SbxApartRecord *record = Find(bridge, pair);
    if (!record) return false;
    const CdxModelID models[2] = {pair->model1, pair->model2};
    PxReal moved = 0.0;
    for (int side = 0; side < 2; ++side) {
        if (models[side] != record->models[side] || CdxModelGetGeometry(models[side]) != record->geometries[side] ||
            !CdxModelGetTransformPtr(models[side]))
            return false;
        moved += Moved(models[side], record->frames[side], record->reach[side]);
    }
    if (!(moved < record->allowed) || record->skipped >= kMostSkipped ||
        pair->intersectFn != CdxCompositeGenericIntersect || HelloWatched(pair))
        return false;
    ++record->skipped;
    return true;
}

void SbxRecordApart(SbxBridge *bridge, const CdxModelPair *pair, int touch)
{
    SbxApartRecord *record = bridge->apartUsed > 0 ? Find(bridge, pair) : nullptr;
    if (touch || pair->intersectFn != CdxCompositeGenericIntersect || HelloWatched(pair)) {
        if (record) Forget(bridge, record);
        return;
    }
    const PxReal clearance = CdxHullClearance(pair->model1, pair->model2);
    const CdxModelID models[2] = {pair->model1, pair->model2};
    PxReal reach[2];
    for (int side = 0; side < 2; ++side) reach[side] = ReachOf(models[side]);
    if (!(clearance > 0.0) || reach[0] < 0.0 || reach[1] < 0.0) {
        if (record) Forget(bridge, record);
        return;
    }
    if (!record) {
        if (bridge->apartUsed < SbxBridge::kApartRecords) {
            record = &bridge->apart[bridge->apartUsed++];
        } else {
            record = &bridge->apart[bridge->apartNext];
            bridge->apartNext = (bridge->apartNext + 1) % SbxBridge::kApartRecords;
        }
    }
    record->pair = pair;
    for (int side = 0; side < 2; ++side) {
        const PxReal(*tm)[4] = *CdxModelGetTransformPtr(models[side]);
        record->models[side] = models[side];
        record->geometries[side] = CdxModelGetGeometry(models[side]);
        for (int i = 0; i < 4; ++i)
            for (int k = 0; k < 3; ++k) record->frames[side][3 * i + k] = tm[i][k];
        record->reach[side] = reach[side];
    }
    record->allowed = kShare * clearance;
    record->skipped = 0;
}
