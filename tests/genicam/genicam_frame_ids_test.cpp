// Frame ids carried past the 16-bit wrap of GigE Vision block ids.
#include "genicam_frame_ids.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace {

std::vector<uint64_t> ExtendAll(const std::vector<uint64_t> &cameraIds)
{
    FrameIdExtender extender;
    std::vector<uint64_t> extended;
    for (const uint64_t id : cameraIds)
        extended.push_back(extender.Extend(id));
    return extended;
}

TEST(GenicamFrameIds, ShortIdsKeepIncreasingPastEachWrap)
{
    // 65535 is followed by 1: one step on. Frames lost across the wrap keep their distance.
    EXPECT_EQ(ExtendAll({65534, 65535, 1, 2}), (std::vector<uint64_t>{65534, 65535, 65536, 65537}));
    EXPECT_EQ(ExtendAll({65530, 3}), (std::vector<uint64_t>{65530, 65538}));
    EXPECT_EQ(ExtendAll({65535, 1, 30000, 60000, 1}),
              (std::vector<uint64_t>{65535, 65536, 95535, 125535, 131071}));
}

TEST(GenicamFrameIds, ABufferFinishedLateIsNoWrap)
{
    // Lost packets make a frame finish after its successor: its id falls back by a few.
    EXPECT_EQ(ExtendAll({10, 12, 11, 13}), (std::vector<uint64_t>{10, 12, 11, 13}));
    EXPECT_EQ(ExtendAll({65534, 1, 65535, 2}), (std::vector<uint64_t>{65534, 65536, 65535, 65537}));
}

TEST(GenicamFrameIds, LongIdsPassAsTheyAre)
{
    EXPECT_EQ(ExtendAll({1, 2, 3}), (std::vector<uint64_t>{1, 2, 3}));
    EXPECT_EQ(ExtendAll({70000, 70001, 1u << 20}), (std::vector<uint64_t>{70000, 70001, 1u << 20}));
}

} // namespace
