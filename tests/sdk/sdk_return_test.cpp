// The return of a lost camera through the configured layer, around a backend that is told
// when its camera goes, comes back, and comes back unfit.
#include "configured_backend.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

// What the test makes of the one camera "CAM", shared by the backend and its objects.
struct FakeWorld {
    std::atomic<bool> present{true};
    std::atomic<bool> lost{false}; // the stream that is open now lost its camera
    std::atomic<bool> refuseWidth{false};
    std::atomic<bool> framesTooLarge{false};
};

// Delivers one frame, with ids from 1 per stream, at each start.
class FakeStream : public BackendStream {
  public:
    FakeStream(FakeWorld *world, const FrameSink &sink) : world_(world), sink_(sink) {}
    J_STATUS_TYPE StartAcquisition() override
    {
        if (world_->lost)
            return J_ST_NOT_AVAILABLE;
        J_IMAGE_RECORD frame{};
        uint8_t pixel = 7;
        frame.buffer = &pixel;
        frame.imageSize = 1;
        frame.frameId = ++lastId_;
        DeliverFrame(sink_, &frame, FrameOrigin{});
        return J_ST_SUCCESS;
    }
    J_STATUS_TYPE StopAcquisition() override { return J_ST_SUCCESS; }
    double FrameIntervalSeconds() override { return 0; }
    StreamCounts Counts() const override { return {}; }
    bool Lost() const override { return world_->lost; }

  private:
    FakeWorld *const world_;
    const FrameSink sink_;
    uint64_t lastId_ = 0;
};

class FakeCamera : public BackendCamera {
  public:
    explicit FakeCamera(FakeWorld *world) : world_(world) {}
    J_STATUS_TYPE GetValueInt64(const std::string &, int64_t *) override
    {
        return J_ST_INVALID_PARAMETER;
    }
    std::string SetFeature(const std::string &feature, const std::string &) override
    {
        return feature == "Width" && world_->refuseWidth ? "out of range" : "";
    }
    J_STATUS_TYPE OpenStream(const FrameSink &sink, uint32_t,
                             std::unique_ptr<BackendStream> *stream) override
    {
        if (world_->framesTooLarge)
            return J_ST_INVALID_PARAMETER;
        world_->lost = false;
        *stream = std::make_unique<FakeStream>(world_, sink);
        return J_ST_SUCCESS;
    }

  private:
    FakeWorld *const world_;
};

// Lists "CAM" while it is present, and "OTHER" always.
class FakeBackend : public CameraBackend {
  public:
    explicit FakeBackend(FakeWorld *world) : world_(world) {}
    J_STATUS_TYPE UpdateCameraList(bool *listChanged) override
    {
        ids_ = world_->present ? std::vector<std::string>{"OTHER", "CAM"}
                               : std::vector<std::string>{"OTHER"};
        *listChanged = true;
        return J_ST_SUCCESS;
    }
    uint32_t CameraCount() const override { return static_cast<uint32_t>(ids_.size()); }
    std::string CameraId(uint32_t index) const override { return ids_[index]; }
    J_STATUS_TYPE OpenCamera(const std::string &id, std::unique_ptr<BackendCamera> *camera) override
    {
        if (id != "CAM" || !world_->present)
            return J_ST_NOT_AVAILABLE;
        *camera = std::make_unique<FakeCamera>(world_);
        return J_ST_SUCCESS;
    }

  private:
    FakeWorld *const world_;
    std::vector<std::string> ids_;
};

// The records that reached the sink.
struct Received {
    std::mutex mutex;
    std::vector<J_IMAGE_RECORD> records;
    static void OnFrame(void *self, J_IMAGE_RECORD *frame)
    {
        Received *const received = static_cast<Received *>(self);
        std::lock_guard<std::mutex> lock(received->mutex);
        received->records.push_back(*frame);
    }
    // The record of the capture numbered count (from 1), within seconds.
    bool WaitFor(size_t count, double seconds, J_IMAGE_RECORD *record)
    {
        const Clock::time_point end = Clock::now() + std::chrono::duration_cast<Clock::duration>(
                                                         std::chrono::duration<double>(seconds));
        while (Clock::now() < end) {
            {
                std::lock_guard<std::mutex> lock(mutex);
                if (records.size() >= count) {
                    *record = records[count - 1];
                    return true;
                }
            }
            std::this_thread::sleep_for(milliseconds(2));
        }
        return false;
    }
};

} // namespace

TEST(SdkReturn, CameraBackUnfitFailsTheCaptureAtOnceAndTheNextOneTriesAgain)
{
    FakeWorld world;
    CameraSettings settings;
    settings.features = {{"Width", "64"}, {"Height", "48"}};
    settings.frameTimeoutSeconds = 1.5;
    std::unique_ptr<CameraBackend> backend =
        ConfigureBackend(std::make_unique<FakeBackend>(&world), settings);
    bool changed = false;
    ASSERT_EQ(backend->UpdateCameraList(&changed), J_ST_SUCCESS);
    std::unique_ptr<BackendCamera> camera;
    ASSERT_EQ(backend->OpenCamera("CAM", &camera), J_ST_SUCCESS);
    Received received;
    std::unique_ptr<BackendStream> stream;
    ASSERT_EQ(camera->OpenStream(FrameSink{Received::OnFrame, &received, {}}, 100, &stream),
              J_ST_SUCCESS);
    testing::internal::CaptureStderr();
    J_IMAGE_RECORD record{};
    // A whole frame, then the camera goes: a start still succeeds, and the capture fails at
    // its bound while only another camera is listed.
    ASSERT_EQ(stream->StartAcquisition(), J_ST_SUCCESS);
    ASSERT_TRUE(received.WaitFor(1, 1, &record));
    EXPECT_EQ(record.frameId, 1u);
    ASSERT_EQ(stream->StopAcquisition(), J_ST_SUCCESS);
    world.lost = true;
    world.present = false;
    const auto capture = [&](size_t number, double within) {
        const Clock::time_point start = Clock::now();
        EXPECT_EQ(stream->StartAcquisition(), J_ST_SUCCESS);
        EXPECT_TRUE(received.WaitFor(number, within, &record));
        EXPECT_EQ(stream->StopAcquisition(), J_ST_SUCCESS);
        return std::chrono::duration<double>(Clock::now() - start).count();
    };
    EXPECT_GE(capture(2, 3), 1.5);
    EXPECT_EQ(record.buffer, nullptr);
    // Back, but a setting is refused, then its frames do not fit: each capture fails at once.
    world.present = true;
    world.refuseWidth = true;
    std::this_thread::sleep_for(milliseconds(1000)); // no look within a second of the last
    EXPECT_LT(capture(3, 1), 0.5);
    EXPECT_EQ(record.buffer, nullptr);
    world.refuseWidth = false;
    world.framesTooLarge = true;
    std::this_thread::sleep_for(milliseconds(1000));
    EXPECT_LT(capture(4, 1), 0.5);
    EXPECT_EQ(record.buffer, nullptr);
    // Back as it should be: the capture gets the new stream's first frame, its id carried.
    world.framesTooLarge = false;
    std::this_thread::sleep_for(milliseconds(1000));
    EXPECT_LT(capture(5, 1), 0.5);
    EXPECT_NE(record.buffer, nullptr);
    EXPECT_EQ(record.frameId, 2u);
    stream.reset();
    std::istringstream lines(testing::internal::GetCapturedStderr());
    const std::vector<std::string> expected = {
        "Jai_Factory: CAM: control of the camera is lost; captures fail until it is back (each "
        "capture looks for it while it waits for its frame)",
        "Jai_Factory: CAM: no frame within 1.5 s of AcquisitionStart (CAMERA_SDK_FRAME_TIMEOUT), "
        "the capture fails: the camera is away (lost ",
        "Jai_Factory: CAMERA_SDK_FEATURES: \"Width=64\" refused by CAM: out of range",
        "Jai_Factory: CAM: back, but its frames no longer fit the stream buffer of 100 bytes "
        "sized at open (check Width, Height and PixelFormat); the capture fails, the next one "
        "tries again",
        "Jai_Factory: CAM: back after ",
    };
    std::string line;
    for (const std::string &start : expected) {
        ASSERT_TRUE(std::getline(lines, line));
        EXPECT_EQ(line.substr(0, start.size()), start);
    }
    EXPECT_NE(line.find(" s away; 2 CAMERA_SDK_FEATURES settings written again"),
              std::string::npos);
    EXPECT_FALSE(std::getline(lines, line));
}
