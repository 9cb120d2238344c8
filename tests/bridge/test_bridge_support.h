// Helpers of the bridge tests: a running collision library with the
// primitives, a world and a bridge; models with and without bodies;
// pairs driven through hand-filled containers; and a scripted pair test
// whose contacts the test chooses.
#ifndef KELMAR_TESTS_BRIDGE_TEST_BRIDGE_SUPPORT_H
#define KELMAR_TESTS_BRIDGE_TEST_BRIDGE_SUPPORT_H

#include <deque>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include <kelmar/Cdx.h>
#include <kelmar/CdxSpace.h>
#include <kelmar/PxMemory.h>
#include <kelmar/PxMessage.h>
#include <kelmar/PxVector.h>
#include <kelmar/Rbd.h>
#include <kelmar/Sbx.h>

#include "common/AllocationCounter.h"
#include "common/MessageLog.h"

namespace sbxtest {

// Collects warnings while alive.
class Warnings : public testsupport::MessageLog {
public:
    const std::vector<std::string> &texts = warnings;
};

// The contacts a scripted pair test reports, and how often it ran.
struct Script {
    int touch = 0;
    std::vector<CdxContact> contacts;
    int calls = 0;
};
Script &script();

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
int scriptedIntersect(CdxModelPair *pair, CdxIntersectResult *result);

// Dynamics contacts of a list, in list order.
std::vector<RbdContactID> listOf(RbdContactID first);

class BridgeTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Replaces the sphere-sphere test (and the composite-sphere test) by
    // the scripted one.
    void useScript();

    // A model on geometry with an enabled body of mass m at (x, y, z); the
    // model reads the body's transform and velocities.
    CdxModelID bodyModel(CdxGeometryID geometry, PxReal m, PxReal x, PxReal y, PxReal z);
    // A model without body, placed at transform.
    CdxModelID fixedModel(CdxGeometryID geometry, const PxMatrix4 transform);
    // A fixed model at (x, y, z).
    CdxModelID fixedModelAt(CdxGeometryID geometry, PxReal x, PxReal y, PxReal z);
    // The plane y = 0, solid below, normal +y.
    CdxModelID groundPlane();
    CdxGeometryID sphere(PxReal radius);
    CdxGeometryID box(PxReal dx, PxReal dy, PxReal dz);
    // A transform pointer that lives as long as the test.
    PxMatrix4 *newTransform();
    static RbdBodyID bodyOf(CdxModelID model) { return static_cast<RbdBodyID>(CdxModelGetBodyData(model)); }

    // A space for the test's models (destroyed with the test), linked to
    // the world so that sleeping bodies freeze their models.
    CdxSpaceID makeSpace(int maxModels, int maxPairs);

    // A pair of two models, owned by the test.
    CdxModelPair *makePair(CdxModelID model1, CdxModelID model2);
    // Runs one pair through the bridge as one section of a container.
    void runSection(CdxModelPair *pair, int (*add)(CdxModelPairContainer *, CdxModelPair *));
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

using testsupport::AllocationCounter;

} // namespace sbxtest

#endif
