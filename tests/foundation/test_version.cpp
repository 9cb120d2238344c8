// The version string is part of saved files and of the package check.
#include <gtest/gtest.h>

#include "kelmar/Px.h"

TEST(Version, ToolkitVersionIsTwoPointOneBuild655)
{
    EXPECT_STREQ(PxToolkitVersionString(), "2.1.(build 655)");
}
