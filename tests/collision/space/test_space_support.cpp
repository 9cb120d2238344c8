#include "test_space_support.h"

#include <kelmar/PxVector.h>

namespace {

const int kTypeCapacity = 8;
const int kModelCapacity = 64;

} // namespace

ModelPairKey PairKey(CdxModelID a, CdxModelID b)
{
    return a < b ? ModelPairKey(a, b) : ModelPairKey(b, a);
}

ModelPairKey PairKey(const CdxModelPair *pair)
{
    return PairKey(pair->model1, pair->model2);
}

std::vector<CdxModelID> ModelsIn(CdxSpaceID space)
{
    std::vector<CdxModelID> models;
    CdxSpaceModelIterator iterator;
    CdxSpaceModelIteratorBegin(space, &iterator);
    CdxModelID model = nullptr;
    while (CdxSpaceGetModel(space, &iterator, &model)) models.push_back(model);
    return models;
}

void SpaceTest::SetUp()
{
    ASSERT_EQ(1, CdxInit(kTypeCapacity, kModelCapacity));
    CdxSphereBoxPlaneRegisterTypes();
    CdxCompositeRegisterType();
    CdxLineSegRegisterInteraction(CdxSphereGetTypeId(), CdxSphereLineSegIntersect);
    CdxLineSegRegisterInteraction(CdxBoxGetTypeId(), CdxBoxLineSegIntersect);
    CdxLineSegRegisterInteraction(CdxPlaneGetTypeId(), CdxPlaneLineSegIntersect);
    CdxCompositeLineSegRegisterInteraction();
}

void SpaceTest::TearDown()
{
    for (CdxModelID model : models_) {
        CdxSpaceRemoveModel(model);
        // A composite model takes its geometry with it.
        CdxGeometryID geometry = CdxModelIsComposite(model) ? nullptr : CdxModelGetGeometry(model);
        CdxModelDestroy(model);
        CdxGeometryDestroy(geometry);
    }
    for (CdxSpaceID space : spaces_) CdxSpaceDestroy(space);
    CdxTerm();
}

CdxSpaceID SpaceTest::Space(int axisMask, int maxModels, int maxPairs)
{
    CdxSpaceID space = CdxSpaceAxisSortCreate(axisMask, maxModels, maxPairs);
    if (space) spaces_.push_back(space);
    return space;
}

CdxModelID SpaceTest::Model(CdxGeometryID geometry)
{
    CdxModelID model = CdxModelCreate(geometry);
    placements_.emplace_back();
    PxM4Identity(placements_.back().tm);
    CdxModelSetTransformPtr(model, &placements_.back().tm);
    models_.push_back(model);
    return model;
}

CdxModelID SpaceTest::Composite(int maxElements, PxReal x, PxReal y, PxReal z)
{
    CdxModelID model = CdxCompositeModelCreate(maxElements);
    placements_.emplace_back();
    PxM4Identity(placements_.back().tm);
    CdxModelSetTransformPtr(model, &placements_.back().tm);
    models_.push_back(model);
    MoveTo(model, x, y, z);
    return model;
}

PxReal (*SpaceTest::Transform(CdxModelID model))[4]
{
    return *CdxModelGetTransformPtr(model);
}

void SpaceTest::MoveTo(CdxModelID model, PxReal x, PxReal y, PxReal z)
{
    PxReal(*tm)[4] = Transform(model);
    tm[3][0] = x;
    tm[3][1] = y;
    tm[3][2] = z;
}

CdxModelID SpaceTest::Box(PxReal hx, PxReal hy, PxReal hz, PxReal x, PxReal y, PxReal z)
{
    CdxModelID model = Model(CdxBoxCreate(2 * hx, 2 * hy, 2 * hz));
    MoveTo(model, x, y, z);
    return model;
}

CdxModelID SpaceTest::Ball(PxReal radius, PxReal x, PxReal y, PxReal z)
{
    CdxModelID model = Model(CdxSphereCreate(radius));
    MoveTo(model, x, y, z);
    return model;
}

CdxModelID SpaceTest::Plane(PxReal height)
{
    CdxModelID model = Model(CdxPlaneCreate());
    MoveTo(model, 0, 0, height);
    return model;
}

Transitions SpaceTest::Read(CdxSpaceID space, int containerSize, bool includeFrozen)
{
    Transitions t;
    CdxModelPairContainer *container = CdxModelPairContainerCreate(containerSize);
    CdxSpacePairIterator iterator;
    CdxSpacePairIteratorBegin(space, &iterator);
    auto collect = [&](std::set<ModelPairKey> &section, CdxModelPair **pairs, int count) {
        for (int k = 0; k < count; ++k) {
            ModelPairKey key = PairKey(pairs[k]);
            EXPECT_TRUE(t.records.emplace(key, pairs[k]).second) << "a pair listed twice";
            section.insert(key);
        }
    };
    const int kCallLimit = 100000;
    int more = 1;
    while (more && t.calls < kCallLimit) {
        CdxModelPairContainerReset(container);
        more = includeFrozen ? CdxSpaceGetPairsIncludingFrozen(space, &iterator, container)
                             : CdxSpaceGetPairs(space, &iterator, container);
        ++t.calls;
        int count;
        CdxModelPair **pairs = CdxModelPairContainerGetGoodbyeArray(container, &count);
        collect(t.goodbye, pairs, count);
        pairs = CdxModelPairContainerGetHelloArray(container, &count);
        collect(t.hello, pairs, count);
        pairs = CdxModelPairContainerGetStayingArray(container, &count);
        collect(t.staying, pairs, count);
        pairs = CdxModelPairContainerGetFrozenArray(container, &count);
        collect(t.frozen, pairs, count);
    }
    EXPECT_EQ(0, more) << "the reading never finished";
    CdxModelPairContainerDestroy(container);
    return t;
}

Transitions SpaceTest::Step(CdxSpaceID space, int containerSize, bool includeFrozen)
{
    CdxSpaceUpdateAll(space);
    CdxSpaceEndChanges(space);
    Transitions t = Read(space, containerSize, includeFrozen);
    CdxSpaceBeginChanges(space);
    return t;
}
