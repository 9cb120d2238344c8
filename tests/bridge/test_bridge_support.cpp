// The bridge test fixture and the scripted pair test.
#include "test_bridge_support.h"

#include <algorithm>

namespace sbxtest {

namespace {

const int kTypeCapacity = 8;
const int kModelCapacity = 64;

// Sleeping bodies freeze their models, waking ones unfreeze them, the way
// a simulation universe links them (the body's user data is its model).
void freezeModelOfBody(RbdBodyID body)
{
    if (CdxModelID model = static_cast<CdxModelID>(RbdBodyGetUserData(body))) CdxSpaceFreezeModel(model);
}

void unfreezeModelOfBody(RbdBodyID body)
{
    if (CdxModelID model = static_cast<CdxModelID>(RbdBodyGetUserData(body))) CdxSpaceUnfreezeModel(model);
}

} // namespace

Script &script()
{
    static Script s;
    return s;
}

int scriptedIntersect(CdxModelPair *pair, CdxIntersectResult *result)
{
    Script &s = script();
    ++s.calls;
    result->pair = pair;
    const int capacity = result->contacts ? result->contactCapacity : 0;
    const int count = std::min(capacity, static_cast<int>(s.contacts.size()));
    std::copy(s.contacts.begin(), s.contacts.begin() + count, result->contacts);
    result->contactCount = count;
    PxV3Set(result->normal, 0.0, 1.0, 0.0);
    return s.touch;
}

std::vector<RbdContactID> listOf(RbdContactID first)
{
    std::vector<RbdContactID> list;
    for (RbdContactID c = first; c; c = RbdContactGetNext(c)) list.push_back(c);
    return list;
}

void BridgeTest::SetUp()
{
    script() = Script();
    ASSERT_TRUE(CdxInit(kTypeCapacity, kModelCapacity));
    CdxPrimitivesRegisterTypes();
    CdxCompositeRegisterType();
    CdxPrimitivesRegisterInteractions();
    CdxCompositeGenericRegisterInteractions();
    world = RbdWorldCreate(16, 64);
    bridge = SbxBridgeCreate(4);
    container = CdxModelPairContainerCreate(8);
    ASSERT_TRUE(world && bridge && container);
}

void BridgeTest::TearDown()
{
    for (CdxModelID model : models_) CdxSpaceRemoveModel(model);
    if (space) CdxSpaceDestroy(space);
    for (CdxModelPair *pair : pairs_) CdxModelPairDestroy(pair);
    for (CdxModelID model : models_) CdxModelDestroy(model);
    for (CdxGeometryID geometry : geometries_) CdxGeometryDestroy(geometry);
    CdxModelPairContainerDestroy(container);
    SbxBridgeDestroy(bridge);
    RbdWorldDestroy(world);
    CdxTerm();
}

void BridgeTest::useScript()
{
    const CdxGeometryTypeID sphereType = CdxSphereGetTypeId();
    CdxInteractionTableGetElementPtr(sphereType, sphereType)->interactions.intersectFn = scriptedIntersect;
    CdxInteractions composite;
    CdxInteractionsInit(&composite);
    composite.intersectFn = scriptedIntersect;
    CdxInteractionTableSetElement(CdxCompositeGetTypeId(), sphereType, &composite, nullptr);
}

CdxModelID BridgeTest::bodyModel(CdxGeometryID geometry, PxReal m, PxReal x, PxReal y, PxReal z)
{
    CdxModelID model = CdxModelCreate(geometry);
    RbdBodyID body = RbdBodyCreate(world);
    RbdBodySetMass(body, m);
    PxMatrix4 com;
    PxMatrix3 inertia;
    PxReal volume = 0.0, mass = 0.0;
    CdxModelGetMassProperties(model, com, inertia, &volume, &mass);
    // The geometry's tensor scaled to the body's mass.
    for (auto &row : inertia)
        for (PxReal &value : row) value *= mass > 0.0 ? m / mass : 1.0;
    RbdBodySetInertiaTensor(body, inertia);
    RbdBodySetPosition(body, x, y, z);
    RbdBodySetUserData(body, model);
    // The body's transform is read-only to callers; the model only reads it.
    PxReal(*rows)[4] = const_cast<PxReal(*)[4]>(RbdBodyGetTransformPtr(body));
    CdxModelSetTransformPtr(model, reinterpret_cast<PxMatrix4 *>(rows));
    CdxModelSetLinearVelocityPtr(model, const_cast<PxReal *>(RbdBodyGetLinearVelocityPtr(body)));
    CdxModelSetAngularVelocityPtr(model, const_cast<PxReal *>(RbdBodyGetAngularVelocityPtr(body)));
    CdxModelSetBodyData(model, body);
    RbdBodyEnable(body);
    models_.push_back(model);
    return model;
}

PxMatrix4 *BridgeTest::newTransform()
{
    transforms_.emplace_back();
    PxM4Identity(transforms_.back().m);
    return &transforms_.back().m;
}

CdxModelID BridgeTest::fixedModel(CdxGeometryID geometry, const PxMatrix4 transform)
{
    PxMatrix4 *tm = newTransform();
    PxM4Copy(*tm, transform);
    CdxModelID model = CdxModelCreate(geometry);
    CdxModelSetTransformPtr(model, tm);
    models_.push_back(model);
    return model;
}

CdxModelID BridgeTest::fixedModelAt(CdxGeometryID geometry, PxReal x, PxReal y, PxReal z)
{
    PxMatrix4 tm;
    PxM4Identity(tm);
    PxV3Set(tm[3], x, y, z);
    return fixedModel(geometry, tm);
}

CdxModelID BridgeTest::groundPlane()
{
    CdxGeometryID plane = CdxPlaneCreate();
    geometries_.push_back(plane);
    // Local x stays x, local y becomes -z and local z (the normal) becomes +y.
    PxMatrix4 tm = {{1, 0, 0, 0}, {0, 0, -1, 0}, {0, 1, 0, 0}, {0, 0, 0, 1}};
    return fixedModel(plane, tm);
}

CdxGeometryID BridgeTest::sphere(PxReal radius)
{
    geometries_.push_back(CdxSphereCreate(radius));
    return geometries_.back();
}

CdxGeometryID BridgeTest::box(PxReal dx, PxReal dy, PxReal dz)
{
    geometries_.push_back(CdxBoxCreate(dx, dy, dz));
    return geometries_.back();
}

CdxSpaceID BridgeTest::makeSpace(int maxModels, int maxPairs)
{
    space = CdxSpaceAxisSortCreate(CdxAllAxes, maxModels, maxPairs);
    RbdWorldSetBodyDisabledCallback(world, freezeModelOfBody);
    RbdWorldSetBodyEnabledCallback(world, unfreezeModelOfBody);
    return space;
}

CdxModelPair *BridgeTest::makePair(CdxModelID model1, CdxModelID model2)
{
    pairs_.push_back(CdxModelPairCreate(model1, model2));
    return pairs_.back();
}

void BridgeTest::runSection(CdxModelPair *pair, int (*add)(CdxModelPairContainer *, CdxModelPair *))
{
    CdxModelPairContainerReset(container);
    add(container, pair);
    SbxHandleTransitions(container, nullptr, world, bridge);
    SbxHandleCollisions(container, nullptr, world, bridge);
}

} // namespace sbxtest
