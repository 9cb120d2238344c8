// Helpers of the bridge's own tests: pairs driven through a hand-filled
// container, and a scripted pair test whose contacts the test chooses.
#ifndef KELMAR_TESTS_BRIDGE_TEST_BRIDGE_SUPPORT_H
#define KELMAR_TESTS_BRIDGE_TEST_BRIDGE_SUPPORT_H

#include <algorithm>
#include <vector>

#include <gtest/gtest.h>

#include <kelmar/Cdx.h>
#include <kelmar/CdxSpace.h>
#include <kelmar/PxVector.h>
#include <kelmar/Rbd.h>
#include <kelmar/Sbx.h>

#include "common/MessageLog.h"
#include "test_universe_support.h"

namespace sbxtest {

using Warnings = testsupport::MessageLog;

// The contacts the scripted pair test reports (none: not touching), and
// how often it ran.
struct Script {
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
    return !s.contacts.empty();
}

// Dynamics contacts of a list, in list order.
inline std::vector<RbdContactID> listOf(RbdContactID first)
{
    std::vector<RbdContactID> list;
    for (RbdContactID c = first; c; c = RbdContactGetNext(c)) list.push_back(c);
    return list;
}

// A universe whose bridge the tests drive by hand: pairs made by the test
// run through one section of a container at a time.
class BridgeTest : public UniverseFixture {
protected:
    BridgeTest() : UniverseFixture({16, 64, 7, 64, 256, 4}) {}
    void SetUp() override
    {
        script() = Script();
        UniverseFixture::SetUp();
        bridge = SbxUniverseGetBridge(universe);
        container = CdxModelPairContainerCreate(8);
    }
    void TearDown() override
    {
        for (CdxModelPair *pair : pairs_) CdxModelPairDestroy(pair);
        CdxModelPairContainerDestroy(container);
        UniverseFixture::TearDown();
    }
    // Replaces the pair test of two types (by default the sphere-sphere and
    // composite-sphere ones) by the scripted one.
    void useScript(CdxGeometryTypeID type1 = -1, CdxGeometryTypeID type2 = -1)
    {
        CdxInteractions scripted;
        CdxInteractionsInit(&scripted);
        scripted.intersectFn = scriptedIntersect;
        if (type1 >= 0) {
            CdxInteractionTableSetElement(type1, type2, &scripted, nullptr);
            return;
        }
        CdxInteractionTableSetElement(CdxSphereGetTypeId(), CdxSphereGetTypeId(), &scripted, nullptr);
        CdxInteractionTableSetElement(CdxCompositeGetTypeId(), CdxSphereGetTypeId(), &scripted, nullptr);
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

    SbxBridgeID bridge = nullptr;
    CdxModelPairContainer *container = nullptr;

private:
    std::vector<CdxModelPair *> pairs_;
};

} // namespace sbxtest

#endif
