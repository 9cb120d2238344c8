// Helpers of the bridge tests: a running collision library with the
// primitives, a world and a bridge; models with and without bodies; pairs
// driven through a hand-filled container; and a scripted pair test whose
// contacts the test chooses.
#ifndef KELMAR_TESTS_BRIDGE_TEST_BRIDGE_SUPPORT_H
#define KELMAR_TESTS_BRIDGE_TEST_BRIDGE_SUPPORT_H

#include <algorithm>
#include <deque>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include <kelmar/Cdx.h>
#include <kelmar/CdxSpace.h>
#include <kelmar/PxVector.h>
#include <kelmar/Rbd.h>
#include <kelmar/Sbx.h>

#include "common/AllocationCounter.h"
#include "common/MessageLog.h"

namespace sbxtest {

using testsupport::AllocationCounter;
using Warnings = testsupport::MessageLog;

// The contacts the scripted pair test reports, and how often it ran.
struct Script {
    int touch = 0;
    std::vector<CdxContact> contacts;
    int calls = 0;
};
inline Script &script()
{
    static Script s;
    return s;
}

inline CdxContact scriptContact(PxReal x, PxReal y, PxReal z, PxReal separation, intptr_t element1 = 0,
                                intptr_t element2 = 0)
{
    CdxContact c = {};
    PxV3Set(c.position, x, y, z);
    PxV3Set(c.normal, 0.0, 1.0, 0.0);
    c.separation = separation;
    c.element1 = element1;
    c.element2 = element2;
    return c;
}

// Touching with the given contacts (none: not touching).
inline void scriptContacts(const std::vector<CdxContact> &contacts)
{
    script().touch = contacts.empty() ? 0 : 1;
    script().contacts = contacts;
}

// The scripted pair test: writes the script's contacts up to the capacity.
inline int scriptedIntersect(CdxModelPair *pair, CdxIntersectResult *result)
{
    Script &s = script();
    ++s.calls;
    result->pair = pair;
    const int count = std::min(result->contacts ? result->contactCapacity : 0, static_cast<int>(s.contacts.size()));
    std::copy(s.contacts.begin(), s.contacts.begin() + count, result->contacts);
    result->contactCount = count;
    PxV3Set(result->normal, 0.0, 1.0, 0.0);
    return s.touch;
}

// Dynamics contacts of a list, in list order.
inline std::vector<RbdContactID> listOf(RbdContactID first)
{
    std::vector<RbdContactID> list;
    for (RbdContactID c = first; c; c = RbdContactGetNext(c)) list.push_back(c);
    return list;
}

class BridgeTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        script() = Script();
        ASSERT_TRUE(CdxInit(8, 64));
        CdxPrimitivesRegisterTypes();
        CdxCompositeRegisterType();
        CdxPrimitivesRegisterInteractions();
        CdxCompositeGenericRegisterInteractions();
        world = RbdWorldCreate(16, 64);
        bridge = SbxBridgeCreate(4);
        container = CdxModelPairContainerCreate(8);
        ASSERT_TRUE(world && bridge && container);
    }
    void TearDown() override
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
    // Replaces the sphere-sphere and composite-sphere tests by the scripted one.
    void useScript()
    {
        CdxInteractions scripted;
        CdxInteractionsInit(&scripted);
        scripted.intersectFn = scriptedIntersect;
        CdxInteractionTableSetElement(CdxSphereGetTypeId(), CdxSphereGetTypeId(), &scripted, nullptr);
        CdxInteractionTableSetElement(CdxCompositeGetTypeId(), CdxSphereGetTypeId(), &scripted, nullptr);
    }
    // A model on geometry with an enabled body of mass m at (x, y, z).
    CdxModelID bodyModel(CdxGeometryID geometry, PxReal m, PxReal x, PxReal y, PxReal z)
    {
        CdxModelID model = CdxModelCreate(geometry);
        RbdBodyID body = RbdBodyCreate(world);
        PxMatrix4 com;
        PxMatrix3 inertia;
        PxReal volume = 0.0, mass = 0.0;
        CdxModelGetMassProperties(model, com, inertia, &volume, &mass);
        for (auto &row : inertia)
            for (PxReal &value : row) value *= m / mass;
        RbdBodySetMass(body, m);
        RbdBodySetInertiaTensor(body, inertia);
        RbdBodySetPosition(body, x, y, z);
        CdxModelSetBody(model, body);
        RbdBodyEnable(body);
        models_.push_back(model);
        return model;
    }
    // A model without body at (x, y, z).
    CdxModelID fixedModelAt(CdxGeometryID geometry, PxReal x, PxReal y, PxReal z)
    {
        CdxModelID model = CdxModelCreate(geometry);
        PxMatrix4 *tm = newTransform();
        PxV3Set((*tm)[3], x, y, z);
        CdxModelSetTransformPtr(model, tm);
        models_.push_back(model);
        return model;
    }
    CdxGeometryID sphere(PxReal radius) { return keep(CdxSphereCreate(radius)); }
    CdxGeometryID box(PxReal dx, PxReal dy, PxReal dz) { return keep(CdxBoxCreate(dx, dy, dz)); }
    CdxGeometryID keep(CdxGeometryID geometry)
    {
        geometries_.push_back(geometry);
        return geometry;
    }
    // An identity transform that lives as long as the test.
    PxMatrix4 *newTransform()
    {
        transforms_.emplace_back();
        PxM4Identity(transforms_.back().m);
        return &transforms_.back().m;
    }
    static RbdBodyID bodyOf(CdxModelID model) { return CdxModelGetBody(model); }
    // A space for the test's models, linked to the world so that sleeping
    // bodies freeze their models.
    CdxSpaceID makeSpace(int maxModels, int maxPairs)
    {
        space = CdxSpaceAxisSortCreate(CdxAllAxes, maxModels, maxPairs);
        SbxSetWorldHandlers(world);
        return space;
    }
    CdxModelPair *makePair(CdxModelID model1, CdxModelID model2)
    {
        pairs_.push_back(CdxModelPairCreate(model1, model2));
        return pairs_.back();
    }
    // Runs one pair through the bridge as one section of a container.
    void runSection(CdxModelPair *pair, int (*add)(CdxModelPairContainer *, CdxModelPair *))
    {
        CdxModelPairContainerReset(container);
        add(container, pair);
        SbxHandleTransitions(container, nullptr, world, bridge);
        SbxHandleCollisions(container, nullptr, world, bridge);
    }
    void runHello(CdxModelPair *pair) { runSection(pair, CdxModelPairContainerAddHello); }
    void runStaying(CdxModelPair *pair) { runSection(pair, CdxModelPairContainerAddStaying); }
    void runGoodbye(CdxModelPair *pair) { runSection(pair, CdxModelPairContainerAddGoodbye); }
    void runFrozen(CdxModelPair *pair) { runSection(pair, CdxModelPairContainerAddFrozen); }

    RbdWorldID world = nullptr;
    SbxBridgeID bridge = nullptr;
    CdxSpaceID space = nullptr;
    CdxModelPairContainer *container = nullptr;

private:
    std::vector<CdxModelID> models_;
    std::vector<CdxGeometryID> geometries_;
    std::vector<CdxModelPair *> pairs_;
    struct Transform {
        PxMatrix4 m;
    };
    std::deque<Transform> transforms_;
};

} // namespace sbxtest

#endif
