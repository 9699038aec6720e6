// Frame delivery: when frames come, what they hold, and what the callback may do.
#include "sdk_test_support.h"

#include "sim_backend.h"
#include "sim_pattern.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <fstream>
#include <functional>
#include <iterator>
#include <mutex>
#include <sstream>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

struct Frame {
    J_IMAGE_RECORD record;
    Clock::time_point arrival;
    std::vector<uint8_t> bytes;
};

// A camera streaming into a list of frames: 16 x 8 at 1000 fps unless told otherwise. onFrame,
// when set, runs on each frame once it is recorded.
struct Streaming {
    Streaming(std::initializer_list<ScopedConfig::Values::value_type> values = {})
        : config(WithDefaults(values))
    {
        EXPECT_EQ(J_Image_OpenStream(opened.camera, 0, this, Callback, &stream, 1u << 20, 0),
                  J_ST_SUCCESS);
    }
    ~Streaming() { J_Factory_Close(opened.factory); } // before the members the callback uses
    static ScopedConfig::Values WithDefaults(ScopedConfig::Values values)
    {
        values.insert({{"SIMCAM_FPS", "1000"}, {"SIMCAM_WIDTH", "16"}, {"SIMCAM_HEIGHT", "8"}});
        return values;
    }
    static void Callback(void *self, J_IMAGE_RECORD *frame)
    {
        Streaming &streaming = *static_cast<Streaming *>(self);
        const std::vector<uint8_t> bytes(frame->buffer, frame->buffer + frame->imageSize);
        {
            std::lock_guard<std::mutex> lock(streaming.mutex);
            streaming.frames.push_back(Frame{*frame, Clock::now(), bytes});
        }
        streaming.arrived.notify_all();
        if (streaming.onFrame)
            streaming.onFrame(frame);
    }
    J_STATUS_TYPE Command(const char *name) { return J_Camera_ExecuteCommand(opened.camera, name); }
    // Waits until count frames have come; false after five seconds.
    bool WaitFor(size_t count)
    {
        std::unique_lock<std::mutex> lock(mutex);
        return arrived.wait_for(lock, std::chrono::seconds(5),
                                [&] { return frames.size() >= count; });
    }
    std::vector<Frame> Frames()
    {
        std::lock_guard<std::mutex> lock(mutex);
        return frames;
    }

    ScopedConfig config;
    OpenedCamera opened;
    STREAM_HANDLE stream = nullptr;
    std::function<void(J_IMAGE_RECORD *)> onFrame;
    std::mutex mutex;
    std::condition_variable arrived;
    std::vector<Frame> frames;
};

} // namespace

TEST(SdkStream, FramesComeOnlyBetweenStartAndStopFromOnePeriodAfterStartWithIdsFromOne)
{
    Streaming streaming({{"SIMCAM_FPS", "200"}});
    std::this_thread::sleep_for(milliseconds(20));
    EXPECT_EQ(streaming.Frames().size(), 0u);
    for (size_t round = 0; round < 2; ++round) {
        const size_t before = streaming.Frames().size();
        const Clock::time_point start = Clock::now();
        ASSERT_EQ(streaming.Command("AcquisitionStart"), J_ST_SUCCESS);
        ASSERT_TRUE(streaming.WaitFor(before + 3));
        ASSERT_EQ(streaming.Command("AcquisitionStop"), J_ST_SUCCESS);
        const size_t atStop = streaming.Frames().size();
        std::this_thread::sleep_for(milliseconds(20));
        const std::vector<Frame> frames = streaming.Frames();
        EXPECT_LE(frames.size(), atStop + 1); // only one that had started before the stop
        EXPECT_GE(frames[before].arrival - start, milliseconds(5));
        const auto startUs =
            std::chrono::duration_cast<std::chrono::microseconds>(start.time_since_epoch());
        EXPECT_GE(frames[before].record.timestampUs, uint64_t(startUs.count()) + 5000);
    }
    // Ids go on across the restart; each frame holds the test pattern of its id.
    const std::vector<Frame> frames = streaming.Frames();
    for (size_t i = 0; i < frames.size(); ++i) {
        EXPECT_EQ(frames[i].record.frameId, i + 1);
        EXPECT_GE(frames[i].record.timestampUs, i == 0 ? 0 : frames[i - 1].record.timestampUs);
        EXPECT_EQ(std::vector<uint32_t>({frames[i].record.pixelFormat, frames[i].record.width,
                                         frames[i].record.height, frames[i].record.imageSize}),
                  std::vector<uint32_t>({J_PF_BAYER_RG8, 16, 8, 128}));
        for (uint32_t p = 0; p < frames[i].bytes.size(); ++p)
            ASSERT_EQ(frames[i].bytes[p], SimPatternSample(p % 16, p / 16, i + 1, 8)) << p;
    }
}

TEST(SdkStream, LateFrameIsFollowedAFullPeriodLaterNotByABurst)
{
    Streaming streaming;
    streaming.onFrame = [](J_IMAGE_RECORD *frame) {
        if (frame->frameId == 1)
            std::this_thread::sleep_for(milliseconds(10)); // ten periods
    };
    ASSERT_EQ(streaming.Command("AcquisitionStart"), J_ST_SUCCESS);
    ASSERT_TRUE(streaming.WaitFor(3));
    ASSERT_EQ(J_Image_CloseStream(streaming.stream), J_ST_SUCCESS);
    // Frame 2 fell due during the slow callback and comes at once; frame 3 a period after it.
    const std::vector<Frame> frames = streaming.Frames();
    EXPECT_GE(frames[2].record.timestampUs - frames[1].record.timestampUs, 1000u);
}

TEST(SdkStream, StopReturnsWhileACallbackRunsAndCloseWaitsForIt)
{
    Streaming streaming;
    std::atomic<bool> released{false}, finished{false};
    streaming.onFrame = [&](J_IMAGE_RECORD *frame) {
        for (int waited = 0; frame->frameId == 1 && !released && waited < 5000; ++waited)
            std::this_thread::sleep_for(milliseconds(1));
        std::this_thread::sleep_for(milliseconds(20));
        // A call that needs the library's lock while Close waits for this callback.
        int64_t width = 0;
        finished = J_Camera_GetValueInt64(streaming.opened.camera, "Width", &width) == J_ST_SUCCESS;
    };
    ASSERT_EQ(streaming.Command("AcquisitionStart"), J_ST_SUCCESS);
    ASSERT_TRUE(streaming.WaitFor(1));
    EXPECT_EQ(streaming.Command("AcquisitionStop"), J_ST_SUCCESS);
    EXPECT_FALSE(finished); // Stop did not wait for the callback, which waits for this release
    released = true;
    ASSERT_EQ(J_Image_CloseStream(streaming.stream), J_ST_SUCCESS);
    EXPECT_TRUE(finished);
    const size_t atClose = streaming.Frames().size();
    std::this_thread::sleep_for(milliseconds(20));
    EXPECT_EQ(streaming.Frames().size(), atClose);
}

TEST(SdkStream, CallbackConvertsAndSavesButMayNotClose)
{
    ScratchFolder folder;
    Streaming streaming({{"SIMCAM_WIDTH", "64"}, {"SIMCAM_HEIGHT", "48"}, {"SIMCAM_FPS", "2000"}});
    std::vector<J_STATUS_TYPE> statuses, closes;
    std::atomic<bool> stopped{false};
    streaming.onFrame = [&](J_IMAGE_RECORD *frame) {
        J_IMAGE_RECORD converted{};
        statuses.push_back(J_Image_Malloc(frame, &converted));
        statuses.push_back(J_Image_FromRawToImage(frame, &converted, 4096, 4096, 4096));
        statuses.push_back(J_Image_SaveFile(&converted, (folder / "frame.tiff").c_str()));
        statuses.push_back(J_Image_Free(&converted));
        if (frame->frameId != 30)
            return;
        closes = {J_Image_CloseStream(streaming.stream), J_Camera_Close(streaming.opened.camera),
                  J_Factory_Close(streaming.opened.factory)};
        statuses.push_back(J_Camera_ExecuteCommand(streaming.opened.camera, "AcquisitionStop"));
        stopped = true;
    };
    ASSERT_EQ(streaming.Command("AcquisitionStart"), J_ST_SUCCESS);
    for (int waited = 0; !stopped && waited < 5000; ++waited)
        std::this_thread::sleep_for(milliseconds(1));
    std::this_thread::sleep_for(milliseconds(10));
    ASSERT_EQ(J_Image_CloseStream(streaming.stream), J_ST_SUCCESS);
    EXPECT_EQ(streaming.Frames().size(), 30u); // none after the callback's own stop
    EXPECT_EQ(statuses, std::vector<J_STATUS_TYPE>(30 * 4 + 1, J_ST_SUCCESS));
    EXPECT_EQ(closes, std::vector<J_STATUS_TYPE>(3, J_ST_WRONG_STATE));
}

TEST(SdkStream, WithoutAWholeFrameEachStartGetsOneEmptyRecordAtItsBoundAndOneLine)
{
    Streaming streaming({{"SIMCAM_FAIL", "FrameData"}, {"CAMERA_SDK_FRAME_TIMEOUT", "0.1"}});
    testing::internal::CaptureStderr();
    for (size_t round = 0; round < 2; ++round) {
        const Clock::time_point start = Clock::now();
        ASSERT_EQ(streaming.Command("AcquisitionStart"), J_ST_SUCCESS);
        ASSERT_TRUE(streaming.WaitFor(round + 1));
        std::this_thread::sleep_for(milliseconds(150)); // a second bound passes: nothing more
        ASSERT_EQ(streaming.Command("AcquisitionStop"), J_ST_SUCCESS);
        const std::vector<Frame> frames = streaming.Frames();
        ASSERT_EQ(frames.size(), round + 1);
        // 0.1 s beyond two frame periods of 1 ms.
        EXPECT_GE(frames[round].arrival - start, milliseconds(102));
        EXPECT_EQ(frames[round].record.buffer, nullptr);
        EXPECT_EQ(frames[round].record.imageSize, 0u);
    }
    std::istringstream lines(testing::internal::GetCapturedStderr());
    const std::string prefix = "Jai_Factory: SIMCAM-0: no whole frame within 0.1 s of "
                               "AcquisitionStart (CAMERA_SDK_FRAME_TIMEOUT), the capture fails: ";
    const std::string suffix = " incomplete frames; check the packet size (GevSCPSPacketSize), the "
                               "receive buffer, the bandwidth and the trigger mode (TriggerMode)";
    std::string line;
    for (int round = 0; round < 2; ++round) {
        ASSERT_TRUE(std::getline(lines, line));
        ASSERT_EQ(line.substr(0, prefix.size()), prefix);
        ASSERT_GT(line.size(), prefix.size() + suffix.size());
        EXPECT_EQ(line.substr(line.size() - suffix.size()), suffix);
        // The frames of that start only, at up to 1000 a second (fewer where timers are coarse,
        // as under Wine).
        const int incomplete =
            std::stoi(line.substr(prefix.size(), line.size() - prefix.size() - suffix.size()));
        EXPECT_GE(incomplete, 1);
        EXPECT_LE(incomplete, 1000);
    }
    EXPECT_FALSE(std::getline(lines, line));
}

// The whole file, as text, to look for what its tags say.
std::string FileText(const std::string &path)
{
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

J_STATUS_TYPE ConvertAndSave(const J_IMAGE_RECORD *raw, const std::string &path)
{
    J_IMAGE_RECORD converted{};
    J_STATUS_TYPE status = J_Image_Malloc(raw, &converted);
    if (status != J_ST_SUCCESS)
        return status;
    status = J_Image_FromRawToImage(raw, &converted, 4096, 4096, 4096);
    if (status == J_ST_SUCCESS)
        status = J_Image_SaveFile(&converted, path.c_str());
    J_Image_Free(&converted);
    return status;
}

TEST(SdkStream, AFrameSavedInItsCallbackSaysWhatItIsAndAReusedBufferForgetsIt)
{
    ScratchFolder folder;
    Streaming streaming({{"SIMCAM_PIXEL_FORMAT", "Mono8"}});
    std::atomic<J_STATUS_TYPE> saved{-1};
    streaming.onFrame = [&](J_IMAGE_RECORD *frame) {
        if (frame->frameId == 1)
            saved = ConvertAndSave(frame, folder / "delivered.tiff");
    };
    ASSERT_EQ(streaming.Command("AcquisitionStart"), J_ST_SUCCESS);
    ASSERT_TRUE(streaming.WaitFor(2));
    ASSERT_EQ(J_Image_CloseStream(streaming.stream), J_ST_SUCCESS);
    ASSERT_EQ(saved, J_ST_SUCCESS);
    const std::string delivered = FileText(folder / "delivered.tiff");
    EXPECT_NE(delivered.find(" timestamp_clock=host host_time="), std::string::npos);
    EXPECT_NE(delivered.find(" camera=SIMCAM-0 pixel_format=Mono8 width=16 height=8 "
                             "frame_rate=1000"),
              std::string::npos);
    EXPECT_NE(delivered.find("simulated camera"), std::string::npos);
    // An image of the same size gets the same buffer again, but a frame that was not
    // delivered has nothing to say beyond its id and time.
    std::vector<uint8_t> pixels(16 * 8, 7);
    const J_IMAGE_RECORD raw{J_PF_MONO8, 16, 8, 128, pixels.data(), 5, 6};
    ASSERT_EQ(ConvertAndSave(&raw, folder / "made.tiff"), J_ST_SUCCESS);
    const std::string made = FileText(folder / "made.tiff");
    EXPECT_NE(made.find(std::string("frame_id=5 timestamp_us=6") + '\0'), std::string::npos);
    EXPECT_EQ(made.find("simulated camera"), std::string::npos);
}

TEST(SdkStream, ProcessMayExitWhileAcquiring)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            Streaming *streaming = new Streaming({{"SIMCAM_FPS", "5000"}});
            streaming->Command("AcquisitionStart");
            std::exit(streaming->WaitFor(3) ? 0 : 1);
        },
        testing::ExitedWithCode(0), "");
}
