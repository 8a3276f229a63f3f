#include <lumavex/spi.h>

#include <gtest/gtest.h>

#include <cstring>

namespace lumavex {
namespace {

static_assert(sizeof(LvxPictureInfo) == 26);
static_assert(offsetof(LvxPictureInfo, x_density) == 16);
static_assert(offsetof(LvxPictureInfo, colour_depth) == 20);
static_assert(offsetof(LvxPictureInfo, info_text) == 22);

TEST(SpiLocalMemory, BlockIsZeroFilledSizedAndCountsItsLocks)
{
    LvxLocalHandle h = lvx_local_alloc(10);
    ASSERT_NE(h, 0u);
    EXPECT_EQ(lvx_local_size(h), 10u);
    auto* bytes = static_cast<unsigned char*>(lvx_local_lock(h));
    ASSERT_NE(bytes, nullptr);
    const unsigned char zeros[10] = {};
    EXPECT_EQ(std::memcmp(bytes, zeros, 10), 0);
    EXPECT_EQ(lvx_local_lock(h), bytes);
    EXPECT_EQ(lvx_local_unlock(h), 1);
    EXPECT_EQ(lvx_local_unlock(h), 1);
    EXPECT_EQ(lvx_local_unlock(h), 0);
    lvx_local_free(h);
}

TEST(SpiLocalMemory, WhatIsNotABlockGivesNothing)
{
    EXPECT_EQ(lvx_local_lock(0), nullptr);
    EXPECT_EQ(lvx_local_size(0), 0u);
    EXPECT_EQ(lvx_local_unlock(0), 0);
    lvx_local_free(0);
    uint64_t notABlock[4] = {1, 2, 3, 4};
    auto h = reinterpret_cast<LvxLocalHandle>(notABlock);
    EXPECT_EQ(lvx_local_lock(h), nullptr);
    EXPECT_EQ(lvx_local_size(h), 0u);
    EXPECT_EQ(lvx_local_alloc(SIZE_MAX), 0u);
}

}  // namespace
}  // namespace lumavex
