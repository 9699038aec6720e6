// The stream buffer checks and the capture flags, the camera code that holds logic of its own.
#include "camera.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <limits>
#include <thread>

TEST(StreamBuffer, DimensionsMustBePositive31BitValues)
{
    EXPECT_TRUE(IsValidDimension(1));
    EXPECT_TRUE(IsValidDimension(1280));
    EXPECT_TRUE(IsValidDimension(std::numeric_limits<int32_t>::max()));
    EXPECT_FALSE(IsValidDimension(0));
    EXPECT_FALSE(IsValidDimension(-1));
    EXPECT_FALSE(IsValidDimension(int64_t{1} << 31));
    EXPECT_FALSE(IsValidDimension(int64_t{1} << 32 | 640)); // low 32 bits alone would pass
    EXPECT_FALSE(IsValidDimension(std::numeric_limits<int64_t>::min()));
}

TEST(StreamBuffer, SizeIsSixBytesAPixelOrRefused)
{
    uint32_t size = 0;
    ASSERT_TRUE(FrameBufferSize(1280, 1024, &size));
    EXPECT_EQ(size, 6u * 1280u * 1024u);
    const uint32_t mostPixels = std::numeric_limits<uint32_t>::max() / 6;
    ASSERT_TRUE(FrameBufferSize(mostPixels, 1, &size));
    EXPECT_EQ(size, mostPixels * 6u);
    size = 7;
    EXPECT_FALSE(FrameBufferSize(mostPixels + 1, 1, &size));
    EXPECT_FALSE(FrameBufferSize(65536, 65536, &size)); // wraps to 0 in 32 bits
    EXPECT_FALSE(FrameBufferSize(std::numeric_limits<int32_t>::max(),
                                 std::numeric_limits<int32_t>::max(), &size));
    EXPECT_EQ(size, 7u);
}

TEST(CaptureFlags, ArmingSelectsTheSlotAndClearsTheLastCapture)
{
    ArmCapture(Slot::One);
    ASSERT_TRUE(ClaimCapture());
    RaiseFrameArrived();
    FinishCapture(true);
    EXPECT_TRUE(FrameArrived());
    EXPECT_TRUE(FrameHandled());
    EXPECT_TRUE(FrameSaved());

    ArmCapture(Slot::Two);
    EXPECT_FALSE(SlotSelector());
    EXPECT_FALSE(FrameArrived());
    EXPECT_FALSE(FrameHandled());
    EXPECT_FALSE(FrameSaved());
    ArmCapture(Slot::One);
    EXPECT_TRUE(SlotSelector());
}

TEST(CaptureFlags, OnlyTheFirstFrameAfterArmingIsClaimed)
{
    ArmCapture(Slot::Two);
    EXPECT_TRUE(ClaimCapture());
    EXPECT_FALSE(ClaimCapture());
    FinishCapture(false);
    EXPECT_FALSE(ClaimCapture());
    EXPECT_TRUE(FrameHandled());
    EXPECT_FALSE(FrameSaved());
}

// Frames racing each other on several threads: each capture is claimed exactly once.
TEST(CaptureFlags, ConcurrentFramesClaimACaptureOnce)
{
    for (int round = 0; round < 200; ++round) {
        ArmCapture(round % 2 == 0 ? Slot::One : Slot::Two);
        std::atomic<int> claims{0};
        std::thread first([&] { claims += ClaimCapture() ? 1 : 0; });
        std::thread second([&] { claims += ClaimCapture() ? 1 : 0; });
        first.join();
        second.join();
        ASSERT_EQ(claims, 1);
    }
}

TEST(FrameCallback, IgnoresFramesOutsideACapture)
{
    ArmCapture(Slot::One);
    ASSERT_TRUE(ClaimCapture());
    J_IMAGE_RECORD frame{};
    testing::internal::CaptureStdout();
    FrameCallback(nullptr, &frame);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_FALSE(FrameArrived());
}

// A frame the library cannot convert still releases the wait and reports the failure.
TEST(FrameCallback, FailedSaveIsReportedWithTheSlotFile)
{
    ArmCapture(Slot::Two);
    J_IMAGE_RECORD unusable{};
    testing::internal::CaptureStdout();
    FrameCallback(nullptr, &unusable);
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "Failed to save file to disk, file name: 0002.tiff\n");
    EXPECT_TRUE(FrameArrived());
    EXPECT_TRUE(FrameHandled());
    EXPECT_FALSE(FrameSaved());
}
