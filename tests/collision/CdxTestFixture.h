// A running collision library with the sphere, box and plane types, their
// pairs and the composite type registered, and the warning and information
// channels captured. The box-box pair counts its hellos, goodbyes and
// intersection calls, so that the dispatch tests can see which ran.
#ifndef KELMAR_TESTS_COLLISION_CDXTESTFIXTURE_H
#define KELMAR_TESTS_COLLISION_CDXTESTFIXTURE_H

#include <kelmar/Cdx.h>

#include <gtest/gtest.h>

#include <deque>
#include <vector>

#include "common/MessageLog.h"

struct BoxBoxCounts {
    int hello;
    int goodbye;
    int intersectCalls;
};
extern BoxBoxCounts gBoxBoxCounts;

// A box of the given half-extents.
inline CdxGeometryID HalfBox(PxReal hx, PxReal hy, PxReal hz)
{
    return CdxBoxCreate(2 * hx, 2 * hy, 2 * hz);
}
// Identity rotation at (x, y, z).
void SetTranslation(PxMatrix4 tm, PxReal x, PxReal y, PxReal z);
// Rotation by angle about the z axis at (x, y, z).
void SetTurnZ(PxMatrix4 tm, PxReal angle, PxReal x, PxReal y, PxReal z);

class CdxTest : public ::testing::Test, protected testsupport::MessageLog {
protected:
    CdxTest() : MessageLog(kWarnings | kInfos) {}
    static const int kTypeCapacity = 8;
    static const int kModelCapacity = 4;
    void SetUp() override;
    void TearDown() override;
    // Model on geometry placed at transform (owned by the caller).
    CdxModelID Model(CdxGeometryID geometry, PxMatrix4 *transform);
    // A model on geometry (by default a box of unit half extents) at
    // (x, y, z); the fixture keeps its transform and the velocities Drive
    // gives it.
    CdxModelID At(PxReal x, PxReal y, PxReal z, CdxGeometryID geometry = nullptr);
    void Drive(CdxModelID model, PxReal vx, PxReal vy, PxReal vz);
    // A pair of a and b that has said hello; the fixture keeps it.
    CdxModelPair *Pair(CdxModelID a, CdxModelID b);
    // An empty result writing into contacts, which hold capacity.
    static CdxIntersectResult ResultOn(CdxContact *contacts, int capacity)
    {
        CdxIntersectResult result = {};
        result.contacts = contacts;
        result.contactCapacity = capacity;
        return result;
    }

private:
    struct Kept {
        PxMatrix4 tm;
        PxVector3 linear, angular;
    };
    std::deque<Kept> kept_;
    std::deque<CdxModelPair> keptPairs_;
    std::vector<CdxModelID> models_;
    std::vector<CdxGeometryID> geometries_;
};

#endif
