// A running collision library with spheres, boxes, planes and composites,
// models placed by transforms the fixture owns, and helpers that read a
// space's transitions into plain sets.
#ifndef KELMAR_TESTS_COLLISION_TEST_SPACE_SUPPORT_H
#define KELMAR_TESTS_COLLISION_TEST_SPACE_SUPPORT_H

#include <kelmar/Cdx.h>

#include <gtest/gtest.h>

#include <deque>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "common/MessageLog.h"

// Unordered pair of models, lower address first.
using ModelPairKey = std::pair<CdxModelID, CdxModelID>;
ModelPairKey PairKey(CdxModelID a, CdxModelID b);
ModelPairKey PairKey(const CdxModelPair *pair);
// The models of a space in the order its model iterator walks them.
std::vector<CdxModelID> ModelsIn(CdxSpaceID space);

// One update's report, by section; records maps every listed pair to its
// record.
struct Transitions {
    std::set<ModelPairKey> hello, staying, goodbye, frozen;
    std::map<ModelPairKey, CdxModelPair *> records;
    int calls = 0; // fill calls needed
};

// Warnings written while the test runs are collected.
class SpaceTest : public ::testing::Test, protected testsupport::MessageLog {
protected:
    void SetUp() override;
    void TearDown() override;

    // A space removed and destroyed at tear-down.
    CdxSpaceID Space(int axisMask, int maxModels, int maxPairs);
    // Models on new geometries at (x, y, z) without rotation; box sizes
    // are half-extents.
    CdxModelID Box(PxReal hx, PxReal hy, PxReal hz, PxReal x, PxReal y, PxReal z);
    CdxModelID Ball(PxReal radius, PxReal x, PxReal y, PxReal z);
    CdxModelID Plane(PxReal height); // the solid below z = height
    // A model on geometry with a fixture-owned transform (identity).
    CdxModelID Model(CdxGeometryID geometry);
    // A composite model at (x, y, z); make it before its elements.
    CdxModelID Composite(int maxElements, PxReal x, PxReal y, PxReal z);
    PxReal (*Transform(CdxModelID model))[4];
    void MoveTo(CdxModelID model, PxReal x, PxReal y, PxReal z);

    // Ends the bracket, reads everything with containers of containerSize,
    // and opens the next bracket.
    Transitions Step(CdxSpaceID space, int containerSize = 64, bool includeFrozen = true);
    // Reads without touching the bracket.
    Transitions Read(CdxSpaceID space, int containerSize, bool includeFrozen);

private:
    struct Placement {
        PxMatrix4 tm;
    };
    std::vector<CdxSpaceID> spaces_;
    std::vector<CdxModelID> models_;
    std::deque<Placement> placements_; // stable addresses
};

#endif
