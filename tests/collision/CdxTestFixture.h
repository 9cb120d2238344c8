// A running collision library with the test shapes and the composite type
// registered, and the warning and information channels captured.
#ifndef KELMAR_TESTS_COLLISION_CDXTESTFIXTURE_H
#define KELMAR_TESTS_COLLISION_CDXTESTFIXTURE_H

#include "CdxTestShapes.h"

#include <kelmar/PxMessage.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

// Messages written to the warning and information channels.
struct CapturedMessages {
    std::vector<std::string> warnings;
    std::vector<std::string> infos;
};
extern CapturedMessages gCaptured;

class CdxTest : public ::testing::Test {
protected:
    static const int kTypeCapacity = 8;
    static const int kModelCapacity = 4;
    void SetUp() override;
    void TearDown() override;
    // Model on geometry placed at transform (owned by the caller).
    CdxModelID Model(CdxGeometryID geometry, PxMatrix4 *transform);

private:
    PxMessageHandler savedWarning_ = nullptr;
    PxMessageHandler savedInfo_ = nullptr;
    std::vector<CdxModelID> models_;
    std::vector<CdxGeometryID> geometries_;
};

#endif
