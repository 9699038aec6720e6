// The simulated cameras, their features, and the frame thread of their streams.
#include "sim_backend.h"

#include "pixel_formats.h"
#include "sim_features.h"
#include "sim_pattern.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <exception>
#include <limits>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

// A timed wait wakes up to a few tenths of a millisecond late; the last stretch before a
// frame falls due is waited in a loop that yields the processor instead.
const auto kYieldingWait = std::chrono::microseconds(500);

// Yields with lock released until time; false as soon as stop is true (checked under lock).
template <typename Stop>
bool YieldUntil(Clock::time_point time, std::unique_lock<std::mutex> *lock, const Stop &stop)
{
    while (!stop()) {
        if (Clock::now() >= time)
            return true;
        lock->unlock();
        std::this_thread::yield();
        lock->lock();
    }
    return false;
}

// When one simulated camera is away; shared by the backend and that camera's streams.
class SimAbsence {
  public:
    // Starts the absence unless it happened before; true when it starts now.
    bool Begin(Clock::duration length)
    {
        if (begun_.exchange(true))
            return false;
        endsAt_ = (Clock::now() + length).time_since_epoch().count();
        return true;
    }
    bool Away() const { return begun_ && Clock::now().time_since_epoch().count() < endsAt_.load(); }

  private:
    std::atomic<bool> begun_{false};
    std::atomic<Clock::rep> endsAt_{std::numeric_limits<Clock::rep>::max()};
};

// The simulated camera has names of its own, and of its settings only the frame rate.
std::shared_ptr<const CameraDescription> DescribeSimCamera(const SimConfig &config)
{
    CameraDescription described;
    described.vendor = "capture-server";
    described.model = "simulated camera";
    described.frameRate = config.framesPerSecond;
    return std::make_shared<const CameraDescription>(described);
}

uint64_t TimestampUs(Clock::time_point time)
{
    return static_cast<uint64_t>(
        std::chrono::duration_cast<std::chrono::microseconds>(time.time_since_epoch()).count());
}

class SimStream : public BackendStream {
  public:
    SimStream(const SimConfig &config, uint32_t width, uint32_t height, uint32_t frameBytes,
              const FrameSink &sink, SimAbsence *absence);
    ~SimStream() override;
    J_STATUS_TYPE StartAcquisition() override;
    J_STATUS_TYPE StopAcquisition() override;
    double FrameIntervalSeconds() override
    {
        return std::chrono::duration<double>(period_).count();
    }
    StreamCounts Counts() const override { return StreamCounts{incompleteFrames_, false, 0, 0}; }
    bool Lost() const override { return lost_; }

  private:
    void RunFrames();
    void GoAwayAfter(uint64_t frameId);
    J_IMAGE_RECORD RenderFrame(uint64_t frameId, Clock::time_point renderedAt);

    const PixelFormatInfo &format_;
    const uint32_t width_;
    const uint32_t height_;
    const uint32_t frameBytes_;
    const Clock::duration period_;
    const FailureSet failures_; // FrameData and FrameStart keep frames from the sink
    const FrameSink sink_;
    const uint64_t lostAfterFrames_;
    const Clock::duration lostFor_;
    SimAbsence *const absence_;
    const std::shared_ptr<const CameraDescription> described_;
    std::atomic<uint64_t> incompleteFrames_{0};
    std::atomic<bool> lost_{false};
    // Touched by the frame thread only. Words, so that 16-bit samples are aligned.
    std::vector<uint16_t> pixels_;
    std::vector<uint16_t> rowSamples_; // one row of the pattern before it is packed
    uint64_t lastFrameId_ = 0;
    J_IMAGE_RECORD aheadFrame_{}; // the frame in pixels_, rendered ahead; id 0 before the first
    // Shared between the frame thread and the callers, under mutex_.
    std::mutex mutex_;
    std::condition_variable wake_;
    bool acquiring_ = false;
    bool cancelled_ = false;
    uint64_t acquisitionEpoch_ = 0; // changes at every start and stop
    Clock::time_point nextFrameDue_;
    // Last, so that the thread starts once everything above is in place.
    std::thread thread_;
};

SimStream::SimStream(const SimConfig &config, uint32_t width, uint32_t height, uint32_t frameBytes,
                     const FrameSink &sink, SimAbsence *absence)
    : format_(*FindPixelFormat(config.pixelFormat)), width_(width), height_(height),
      frameBytes_(frameBytes), period_(std::chrono::ceil<Clock::duration>(
                                   std::chrono::duration<double>(1.0 / config.framesPerSecond))),
      failures_(config.failures), sink_(sink), lostAfterFrames_(config.lostAfterFrames),
      lostFor_(
          std::chrono::ceil<Clock::duration>(std::chrono::duration<double>(config.lostForSeconds))),
      absence_(absence), described_(DescribeSimCamera(config)),
      pixels_((size_t{frameBytes} + 1) / 2), rowSamples_(size_t{width} * format_.samplesPerPixel),
      thread_(&SimStream::RunFrames, this)
{
}

SimStream::~SimStream()
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        cancelled_ = true;
    }
    wake_.notify_one();
    thread_.join();
}

J_STATUS_TYPE SimStream::StartAcquisition()
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (lost_)
            return J_ST_NOT_AVAILABLE; // no camera takes the command
        if (acquiring_)
            return J_ST_SUCCESS;
        acquiring_ = true;
        ++acquisitionEpoch_;
        nextFrameDue_ = Clock::now() + period_;
    }
    wake_.notify_one();
    return J_ST_SUCCESS;
}

J_STATUS_TYPE SimStream::StopAcquisition()
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!acquiring_)
            return J_ST_SUCCESS;
        acquiring_ = false;
        ++acquisitionEpoch_;
    }
    wake_.notify_one();
    return J_ST_SUCCESS;
}

void SimStream::RunFrames()
{
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        // The next frame is rendered ahead, as a camera's frame is complete when it is handed
        // over: its id is known, since a frame that is dropped does not use its id up.
        if (aheadFrame_.frameId != lastFrameId_ + 1) {
            // No lock while rendering: only this thread touches the pixels.
            lock.unlock();
            aheadFrame_ = RenderFrame(lastFrameId_ + 1, Clock::now());
            lock.lock();
            continue;
        }
        wake_.wait(lock, [this] { return cancelled_ || acquiring_; });
        if (cancelled_)
            return;
        const uint64_t epoch = acquisitionEpoch_;
        const Clock::time_point due = nextFrameDue_;
        const auto planChanged = [this, epoch] { return cancelled_ || acquisitionEpoch_ != epoch; };
        // Stopped, restarted or closed meanwhile: the frame waits for the next plan. Past this
        // the frame counts as started, so a stop from now on lets it through.
        if (wake_.wait_until(lock, due - kYieldingWait, planChanged) ||
            !YieldUntil(due, &lock, planChanged))
            continue;
        const Clock::time_point deliveredAt = Clock::now();
        J_IMAGE_RECORD frame = aheadFrame_;
        frame.timestampUs = TimestampUs(deliveredAt);
        lastFrameId_ = frame.frameId;
        // A frame delivered after its successor fell due puts that successor one period after
        // itself, so that late frames do not follow each other at once to catch up.
        const Clock::time_point following = due + period_;
        nextFrameDue_ = following > deliveredAt ? following : deliveredAt + period_;
        // No lock during the callback: it may call the library, Stop included.
        lock.unlock();
        if (Fails(failures_, FailurePoint::FrameData))
            ++incompleteFrames_;
        else if (!Fails(failures_, FailurePoint::FrameStart))
            DeliverFrame(sink_, &frame,
                         FrameOrigin{described_, false, std::chrono::system_clock::now()});
        lock.lock();
        GoAwayAfter(frame.frameId);
    }
}

// Under mutex_: a lost stream stops, and its starts fail from now on.
void SimStream::GoAwayAfter(uint64_t frameId)
{
    if (frameId != lostAfterFrames_ || !absence_->Begin(lostFor_))
        return;
    lost_ = true;
    acquiring_ = false;
    ++acquisitionEpoch_;
}

J_IMAGE_RECORD SimStream::RenderFrame(uint64_t frameId, Clock::time_point renderedAt)
{
    RenderSimPattern(format_, width_, height_, frameId, rowSamples_.data(),
                     reinterpret_cast<uint8_t *>(pixels_.data()));
    J_IMAGE_RECORD frame{};
    frame.pixelFormat = format_.format;
    frame.width = width_;
    frame.height = height_;
    frame.imageSize = frameBytes_;
    frame.buffer = reinterpret_cast<uint8_t *>(pixels_.data());
    frame.frameId = frameId;
    frame.timestampUs = TimestampUs(renderedAt);
    return frame;
}

class SimCamera : public BackendCamera {
  public:
    SimCamera(const SimConfig &config, SimAbsence *absence) : config_(config), absence_(absence) {}

    J_STATUS_TYPE GetValueInt64(const std::string &feature, int64_t *value) override
    {
        if (feature == "Width")
            *value = config_.width;
        else if (feature == "Height")
            *value = config_.height;
        else if (feature == "PixelFormat")
            *value = config_.pixelFormat;
        else
            return J_ST_INVALID_PARAMETER;
        return J_ST_SUCCESS;
    }

    std::string SetFeature(const std::string &feature, const std::string &value) override
    {
        return SetSimFeature(feature, value, &config_);
    }

    J_STATUS_TYPE OpenStream(const FrameSink &sink, uint32_t bufferSize,
                             std::unique_ptr<BackendStream> *stream) override
    {
        const int64_t maxDimension = std::numeric_limits<uint32_t>::max();
        if (config_.width < 1 || config_.height < 1 || config_.width > maxDimension ||
            config_.height > maxDimension)
            return J_ST_INVALID_PARAMETER;
        const uint32_t width = static_cast<uint32_t>(config_.width);
        const uint32_t height = static_cast<uint32_t>(config_.height);
        uint32_t frameBytes = 0;
        if (!ImageBytes(*FindPixelFormat(config_.pixelFormat), width, height, &frameBytes) ||
            frameBytes > bufferSize)
            return J_ST_INVALID_PARAMETER;
        try {
            *stream =
                std::make_unique<SimStream>(config_, width, height, frameBytes, sink, absence_);
        } catch (const std::exception &) {
            return J_ST_NOT_AVAILABLE; // no memory for the frame, or no thread
        }
        return J_ST_SUCCESS;
    }

  private:
    SimConfig config_; // its own copy: CAMERA_SDK_FEATURES changes it as the camera opens
    SimAbsence *const absence_;
};

class SimBackend : public CameraBackend {
  public:
    explicit SimBackend(const SimConfig &config) : config_(config), absences_(config.cameraCount) {}

    // Every camera that is not away, from the first update on.
    J_STATUS_TYPE UpdateCameraList(bool *listChanged) override
    {
        std::vector<uint32_t> listed;
        for (uint32_t index = 0; index < config_.cameraCount; ++index) {
            if (!absences_[index].Away())
                listed.push_back(index);
        }
        *listChanged = listed != listed_;
        listed_ = listed;
        return J_ST_SUCCESS;
    }

    uint32_t CameraCount() const override { return static_cast<uint32_t>(listed_.size()); }

    std::string CameraId(uint32_t index) const override { return SimCameraId(listed_[index]); }

    J_STATUS_TYPE OpenCamera(const std::string &id, std::unique_ptr<BackendCamera> *camera) override
    {
        for (const uint32_t index : listed_) {
            if (id == SimCameraId(index) && !absences_[index].Away()) {
                *camera = std::make_unique<SimCamera>(config_, &absences_[index]);
                return J_ST_SUCCESS;
            }
        }
        return J_ST_NOT_AVAILABLE;
    }

  private:
    const SimConfig config_;
    std::vector<SimAbsence> absences_; // one a camera, for the backend's life
    std::vector<uint32_t> listed_;     // indexes of the cameras listed
};

} // namespace

std::unique_ptr<CameraBackend> MakeSimBackend(const SimConfig &config)
{
    return std::make_unique<SimBackend>(config);
}

std::string SimCameraId(uint32_t index) { return "SIMCAM-" + std::to_string(index); }
