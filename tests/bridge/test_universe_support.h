// The universe fixture the bridge tests share: a universe of the test's
// sizes with gravity along -z, models and geometries that go before it
// (the last universe stops the collision library), and what the tests
// read off bodies.
#ifndef KELMAR_TESTS_BRIDGE_TEST_UNIVERSE_SUPPORT_H
#define KELMAR_TESTS_BRIDGE_TEST_UNIVERSE_SUPPORT_H

#include <algorithm>
#include <deque>
#include <vector>

#include <gtest/gtest.h>

#include <kelmar/Cdx.h>
#include <kelmar/PxMath.h>
#include <kelmar/PxVector.h>
#include <kelmar/Rbd.h>
#include <kelmar/Sbx.h>

namespace sbxtest {

const PxReal kStep = 0.01; // s

class UniverseFixture : public ::testing::Test {
protected:
    explicit UniverseFixture(const SbxUniverseSizes &sizes) : sizes_(sizes) {}
    void SetUp() override
    {
        universe = SbxUniverseCreate(sizes_);
        ASSERT_NE(universe, nullptr);
        world = SbxUniverseGetWorld(universe);
        space = SbxUniverseGetSpace(universe);
        RbdWorldSetGravity(world, 0.0, 0.0, -9.81);
    }
    void TearDown() override
    {
        for (CdxModelID model : models) SbxModelDestroy(universe, model);
        for (CdxGeometryID geometry : geometries) CdxGeometryDestroy(geometry);
        SbxUniverseDestroy(universe);
        EXPECT_FALSE(CdxIsInitialized());
    }
    CdxGeometryID keep(CdxGeometryID geometry)
    {
        EXPECT_NE(geometry, nullptr);
        geometries.push_back(geometry);
        return geometry;
    }
    CdxGeometryID sphere(PxReal radius) { return keep(CdxSphereCreate(radius)); }
    CdxGeometryID box(PxReal dx, PxReal dy, PxReal dz) { return keep(CdxBoxCreate(dx, dy, dz)); }
    CdxModelID own(CdxModelID model)
    {
        EXPECT_NE(model, nullptr);
        models.push_back(model);
        return model;
    }
    void forget(CdxModelID model) { models.erase(std::find(models.begin(), models.end(), model)); }
    // A body of the given density on geometry at (x, y, z).
    CdxModelID dropped(CdxGeometryID geometry, PxReal x, PxReal y, PxReal z, PxReal density = 1000.0)
    {
        CdxModelID model = own(SbxModelAndBodyCreate(universe, geometry, density));
        if (model) RbdBodySetPosition(CdxModelGetBody(model), x, y, z);
        return model;
    }
    // A pose at (x, y, z) that lives as long as the test.
    PxMatrix4 *newPose(PxReal x, PxReal y, PxReal z)
    {
        poses_.emplace_back();
        PxM4Identity(poses_.back().m);
        PxV3Set(poses_.back().m[3], x, y, z);
        return &poses_.back().m;
    }
    CdxModelID fixedAt(CdxGeometryID geometry, PxReal x, PxReal y, PxReal z)
    {
        return own(SbxFixedModelCreate(universe, geometry, newPose(x, y, z)));
    }
    void steps(int count)
    {
        for (int n = 0; n < count; ++n) SbxUniverseStep(universe, kStep);
    }
    static void position(CdxModelID model, PxVector3 p) { RbdBodyGetPosition(CdxModelGetBody(model), p); }
    static PxReal speed(CdxModelID model)
    {
        PxVector3 v;
        RbdBodyGetLinearVelocity(CdxModelGetBody(model), v);
        return PxV3Length(v);
    }
    // Contacts of the (unordered) pair of two models.
    static int contacts(CdxModelID a, CdxModelID b)
    {
        return SbxModelPairGetContactCount(CdxSpaceGetModelPair(a, b));
    }

    SbxUniverseID universe = nullptr;
    RbdWorldID world = nullptr;
    CdxSpaceID space = nullptr;
    std::vector<CdxModelID> models;
    std::vector<CdxGeometryID> geometries;

private:
    SbxUniverseSizes sizes_;
    struct Pose {
        PxMatrix4 m;
    };
    std::deque<Pose> poses_;
};

} // namespace sbxtest

#endif
