// Collision spaces: creation, the update bracket, models, freezing, pair
// filtering and settings, over the sort-and-sweep space.
#include "framework/CdxModelRecord.h"
#include "space/CxSmallSort.h"

#include <kelmar/CdxMessage.h>
#include <kelmar/CdxuRequestTable.h>
#include <kelmar/PxMisc.h>

namespace {

CxSpace *SpaceOf(CdxSpaceID space)
{
    return static_cast<CxSpace *>(space);
}

// The space of a model that is in one, else null.
CxSpace *SpaceOfModel(const CdxModel *model)
{
    return model && model->space ? SpaceOf(model->space) : nullptr;
}

// The space two models share, else null.
CxSpace *SharedSpace(const CdxModel *model1, const CdxModel *model2)
{
    CxSpace *space = SpaceOfModel(model1);
    return space && model2 && model2->space == model1->space ? space : nullptr;
}

// Moves outside a bracket would report changes nobody reads: refused.
bool InsideBracket(CxSpace *space, const char *function)
{
    if (space->IsChanging()) return true;
    CdxError(nullptr, CdxErrSpaceNotChanging, function);
    return false;
}

// Clears the model from the pair records of one list.
void ForgetModelIn(CxPairNode *sentinel, const CdxModel *model)
{
    for (CxPairNode *node = sentinel->next; node != sentinel; node = node->next) {
        if (node->pair.model1 == model) node->pair.model1 = nullptr;
        if (node->pair.model2 == model) node->pair.model2 = nullptr;
    }
}

} // namespace

void CxSpaceRemoveDestroyedModel(CdxModelID model)
{
    CxSpace *space = SpaceOfModel(model);
    if (!space) return;
    CdxSpaceRemoveModel(model);
    // Removal turned the model's reported pairs into goodbyes that are read
    // after the model's record went back to the pool.
    ForgetModelIn(space->GetRemovedPairList(), model);
    ForgetModelIn(space->GetOldPairOverlapList(), model);
}

extern "C" {

CdxSpaceID CdxSpaceAxisSortCreate(int axisMask, int maxModels, int maxPairs)
{
    CxSmallSort *space = CxSmallSort::New(axisMask, maxModels, maxPairs);
    if (!space) return nullptr;
    space->SetAABBUpdateFn(CdxModelGetAABB_PathCompatible);
    space->SetBSphereUpdateFn(CdxModelGetBSphere);
    space->UpdateBegin();
    return space;
}

void CdxSpaceDestroy(CdxSpaceID space)
{
    if (!space) return;
    CxSpace *s = SpaceOf(space);
    for (int id = 0; id < s->GetSize(); ++id) {
        CdxModel *model = static_cast<CdxModel *>(s->GetRepData(id));
        if (!model) continue;
        model->space = nullptr;
        model->spaceId = -1;
    }
    CdxuRequestTableDestroy(space->requestTable);
    s->Delete();
}

void CdxSpaceBuild(CdxSpaceID)
{
}

int CdxSpaceIsChanging(CdxSpaceID space)
{
    return space && SpaceOf(space)->IsChanging();
}

void CdxSpaceBeginChanges(CdxSpaceID space)
{
    if (space) SpaceOf(space)->UpdateBegin();
}

void CdxSpaceEndChanges(CdxSpaceID space)
{
    if (space) SpaceOf(space)->UpdateEnd();
}

int CdxSpaceInsertModel(CdxSpaceID space, CdxModelID model)
{
    if (!space || !model) return 0;
    if (model->space) return model->space == space;
    int id = SpaceOf(space)->Insert(model);
    if (id < 0) return 0;
    model->space = space;
    model->spaceId = id;
    return 1;
}

int CdxSpaceRemoveModel(CdxModelID model)
{
    CxSpace *space = SpaceOfModel(model);
    if (!space) return 0;
    space->Remove(model->spaceId);
    model->space = nullptr;
    model->spaceId = -1;
    return 1;
}

int CdxSpaceUpdateModel(CdxModelID model)
{
    CxSpace *space = SpaceOfModel(model);
    if (!space || !InsideBracket(space, "CdxSpaceUpdateModel")) return 0;
    return space->UpdateSingle(model->spaceId, 0.0);
}

int CdxSpaceUpdateAll(CdxSpaceID space)
{
    if (!space || !InsideBracket(SpaceOf(space), "CdxSpaceUpdateAll")) return 0;
    return SpaceOf(space)->UpdateAll(0.0);
}

int CdxSpacePathUpdateAll(CdxSpaceID space, PxReal time)
{
    if (!space || !InsideBracket(SpaceOf(space), "CdxSpacePathUpdateAll")) return 0;
    CxSpace *s = SpaceOf(space);
    PxProfileStartSectionFn("CdxSpacePathUpdate", 0);
    CdxSpaceAABBFn previous = s->GetAABBUpdateFn();
    s->SetAABBUpdateFn(CdxModelGetPathAABB);
    int done = s->UpdateAll(time);
    s->SetAABBUpdateFn(previous);
    PxProfileEndSectionFn("CdxSpacePathUpdate");
    return done;
}

void CdxSpaceFreezeModel(CdxModelID model)
{
    if (CxSpace *space = SpaceOfModel(model)) space->SetDynamic(model->spaceId, false);
}

void CdxSpaceUnfreezeModel(CdxModelID model)
{
    if (CxSpace *space = SpaceOfModel(model)) space->SetDynamic(model->spaceId, true);
}

int CdxSpaceModelIsFrozen(CdxModelID model)
{
    CxSpace *space = SpaceOfModel(model);
    return space && !space->GetDynamic(model->spaceId);
}

int CdxSpaceGetModelCount(CdxSpaceID space)
{
    return space ? SpaceOf(space)->GetSize() - SpaceOf(space)->GetFree() : 0;
}

void CdxSpaceModelIteratorBegin(CdxSpaceID, CdxSpaceModelIterator *iterator)
{
    if (!iterator) return;
    iterator->slot = 0;
    iterator->found = 0;
}

int CdxSpaceGetModel(CdxSpaceID space, CdxSpaceModelIterator *iterator, CdxModelID *model)
{
    if (!space || !iterator || !model) return 0;
    CxSpace *s = SpaceOf(space);
    if (iterator->found >= CdxSpaceGetModelCount(space)) return 0;
    for (; iterator->slot < s->GetSize(); ++iterator->slot) {
        void *data = s->GetRepData(iterator->slot);
        if (!data) continue;
        *model = static_cast<CdxModelID>(data);
        ++iterator->slot;
        ++iterator->found;
        return 1;
    }
    return 0;
}

int CdxSpaceEnablePair(CdxModelID model1, CdxModelID model2)
{
    CxSpace *space = SharedSpace(model1, model2);
    return space ? space->SetPairOverlapEnabled(model1->spaceId, model2->spaceId, true) : 0;
}

int CdxSpaceDisablePair(CdxModelID model1, CdxModelID model2)
{
    CxSpace *space = SharedSpace(model1, model2);
    return space ? space->SetPairOverlapEnabled(model1->spaceId, model2->spaceId, false) : 0;
}

int CdxSpacePairIsEnabled(CdxModelID model1, CdxModelID model2)
{
    CxSpace *space = SharedSpace(model1, model2);
    return space && space->GetPairOverlapEnabled(model1->spaceId, model2->spaceId);
}

int CdxSpacePairIsNearby(CdxModelID model1, CdxModelID model2)
{
    CxSpace *space = SharedSpace(model1, model2);
    return space && space->GetPairOverlapStatus(model1->spaceId, model2->spaceId);
}

CdxModelPair *CdxSpaceGetModelPair(CdxModelID model1, CdxModelID model2)
{
    CxSpace *space = SharedSpace(model1, model2);
    return space ? space->GetPair(model1->spaceId, model2->spaceId) : nullptr;
}

void CdxSpaceSetAABBFn(CdxSpaceID space, CdxSpaceAABBFn fn)
{
    if (space) SpaceOf(space)->SetAABBUpdateFn(fn);
}

void CdxSpaceSetUserData(CdxSpaceID space, void *data)
{
    if (space) SpaceOf(space)->SetData(data);
}

void *CdxSpaceGetUserData(CdxSpaceID space)
{
    return space ? SpaceOf(space)->GetData() : nullptr;
}

} // extern "C"
