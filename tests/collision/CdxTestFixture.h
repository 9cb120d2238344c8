// A running collision library with the test shapes and the composite type
// registered, and the warning and information channels captured.
#ifndef KELMAR_TESTS_COLLISION_CDXTESTFIXTURE_H
#define KELMAR_TESTS_COLLISION_CDXTESTFIXTURE_H

#include "CdxTestShapes.h"

#include <gtest/gtest.h>

#include <vector>

#include "common/MessageLog.h"

class CdxTest : public ::testing::Test, protected testsupport::MessageLog {
protected:
    CdxTest() : MessageLog(kWarnings | kInfos) {}
    static const int kTypeCapacity = 8;
    static const int kModelCapacity = 4;
    void SetUp() override;
    void TearDown() override;
    // Model on geometry placed at transform (owned by the caller).
    CdxModelID Model(CdxGeometryID geometry, PxMatrix4 *transform);
    // An empty result writing into contacts, which hold capacity.
    static CdxIntersectResult ResultOn(CdxContact *contacts, int capacity)
    {
        CdxIntersectResult result = {};
        result.contacts = contacts;
        result.contactCapacity = capacity;
        return result;
    }

private:
    std::vector<CdxModelID> models_;
    std::vector<CdxGeometryID> geometries_;
};

#endif
