// The default allocation table and its aligned blocks.
#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "foundation_test_support.h"
#include "kelmar/Px.h"

using pxtest::LevelGuard;
using pxtest::MessageCapture;

TEST(Memory, AlignedBlocksAreAlignedWritableAndFreedThroughTheirPad)
{
    for (int alignment : {0, 4, 8, 16, 32, 64, 128}) {
        for (size_t size : {size_t{1}, size_t{7}, size_t{100}, size_t{4096}}) {
            unsigned char *block = static_cast<unsigned char *>(MallocCreateAligned(size, alignment));
            ASSERT_NE(block, nullptr);
            // Alignment 0 asks for what malloc guarantees.
            const size_t effective = alignment > 0 ? static_cast<size_t>(alignment) : alignof(std::max_align_t);
            EXPECT_EQ(reinterpret_cast<uintptr_t>(block) % effective, 0u);
            uint32_t pad = 0;
            std::memcpy(&pad, block - sizeof pad, sizeof pad);
            EXPECT_GE(pad, 4u) << "the pad word must lie inside the allocation";
            EXPECT_LE(pad, 4u + effective);
            std::memset(block, 0xab, size); // ASan checks the whole block is ours
            MallocDestroyAligned(block);
        }
    }
    MallocDestroyAligned(nullptr);
    EXPECT_EQ(MallocCreateAligned(16, -8), nullptr) << "a negative alignment is refused";
}

TEST(Memory, AnAlignmentNotAMultipleOf4WarnsButStillMakesTheBlock)
{
    MessageCapture capture;
    LevelGuard level(PxWarningLevel, 3);
    for (int alignment : {1, 2, 3, 6}) {
        MessageCapture::pieces().clear();
        char *block = static_cast<char *>(MallocCreateAligned(40, alignment));
        ASSERT_NE(block, nullptr);
        EXPECT_EQ(reinterpret_cast<uintptr_t>(block) % static_cast<uintptr_t>(alignment), 0u);
        std::memset(block, 1, 40);
        MallocDestroyAligned(block);
        EXPECT_EQ(MessageCapture::joined("warning"),
                  "PxWarning{3}: MallocCreateAligned: Alignment must be a multiple of sizeof(unsigned int).\n");
    }
}

TEST(Memory, ResizeToZeroRefusesAndKeepsTheBlock)
{
    char *block = static_cast<char *>(MallocCreate(16));
    ASSERT_NE(block, nullptr);
    std::strcpy(block, "still here");
    EXPECT_EQ(MallocResize(block, 0), nullptr);
    EXPECT_STREQ(block, "still here");
    block = static_cast<char *>(MallocResize(block, 64));
    ASSERT_NE(block, nullptr);
    EXPECT_STREQ(block, "still here");
    MallocDestroy(block);

    unsigned char *zeroed = static_cast<unsigned char *>(Calloc(33));
    ASSERT_NE(zeroed, nullptr);
    for (int i = 0; i < 33; ++i) EXPECT_EQ(zeroed[i], 0);
    MallocDestroy(zeroed);
}
