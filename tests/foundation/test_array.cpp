// Growable arrays: doubling growth, exact growth on EnsureSize, contents
// kept across growth, and failure leaving the array unchanged.
#include <gtest/gtest.h>

#include "foundation_test_support.h"
#include "kelmar/Px.h"

using pxtest::CountingAllocator;

TEST(Array, GrowDoublesCapacityAndKeepsTheElements)
{
    PxArray array;
    ASSERT_EQ(PxArrayInit(&array, 0, static_cast<int>(sizeof(double))), 1);
    EXPECT_EQ(PxArrayGetCapacity(&array), 1) << "capacity is at least 1";
    EXPECT_EQ(PxArrayGetSize(&array), 0);

    double *first = static_cast<double *>(PxArrayGrow(&array, 1));
    ASSERT_NE(first, nullptr);
    *first = 0.5;
    double *more = static_cast<double *>(PxArrayGrow(&array, 5));
    ASSERT_NE(more, nullptr);
    for (int i = 0; i < 5; ++i) more[i] = i + 1.5;
    EXPECT_EQ(PxArrayGetSize(&array), 6);
    EXPECT_EQ(PxArrayGetCapacity(&array), 8);
    const double *data = static_cast<const double *>(array.data);
    EXPECT_EQ(more, data + 1) << "Grow returns the first new element";
    for (int i = 0; i < 6; ++i) EXPECT_EQ(data[i], i + 0.5);

    ASSERT_EQ(PxArrayEnsureSize(&array, 20), 1);
    EXPECT_EQ(PxArrayGetCapacity(&array), 20) << "EnsureSize reallocates to exactly n";
    EXPECT_EQ(PxArrayGetSize(&array), 20);
    EXPECT_EQ(static_cast<const double *>(array.data)[5], 5.5);
    ASSERT_EQ(PxArrayEnsureSize(&array, 3), 1);
    EXPECT_EQ(PxArrayGetSize(&array), 3);
    EXPECT_EQ(PxArrayGetCapacity(&array), 20);

    PxArrayClear(&array);
    EXPECT_EQ(PxArrayGetSize(&array), 0);
    PxArrayTerm(&array);
    EXPECT_EQ(array.data, nullptr);
    EXPECT_EQ(PxArrayGetCapacity(&array), 0);
}

TEST(Array, AFailedGrowReturnsNullAndChangesNothing)
{
    PxArray array;
    CountingAllocator counter;
    ASSERT_EQ(PxArrayInit(&array, 2, 4), 1);
    ASSERT_NE(PxArrayGrow(&array, 2), nullptr);
    void *data = array.data;
    counter.failFromNowOn();
    EXPECT_EQ(PxArrayGrow(&array, 1), nullptr);
    EXPECT_EQ(PxArrayEnsureSize(&array, 100), 0);
    EXPECT_EQ(PxArrayGetSize(&array), 2);
    EXPECT_EQ(PxArrayGetCapacity(&array), 2);
    EXPECT_EQ(array.data, data);
    PxArrayTerm(&array);
    EXPECT_EQ(PxArrayInit(&array, 4, 0), 0) << "elements of size 0 are refused";
}
