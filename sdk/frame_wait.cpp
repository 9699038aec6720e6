// A stream wrapped in the bound on the wait for its frame, the thread that watches it, and
// the return of its camera after a loss.
#include "frame_wait.h"

#include "configured_camera.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdio>
#include <exception>
#include <mutex>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

// A frame interval that a camera reports beyond this is taken as this (a day).
const double kMaxFrameIntervalSeconds = 86400;

// How often a waiting capture's stream is asked whether its camera is lost, and a lost
// camera looked for: discovery sends broadcasts and takes about a second on GigE Vision.
const auto kLookPeriod = std::chrono::seconds(1);

// The one line that says why a capture failed.
void ReportNoWholeFrame(const std::string &cameraId, double boundSeconds,
                        const StreamCounts &counts)
{
    std::string packets;
    if (counts.countsPackets)
        packets = " (the stream counted " + std::to_string(counts.missingPackets) +
                  " missing packets and " + std::to_string(counts.resentPackets) + " resent)";
    const char *link = counts.overUsb
                           ? "the USB link (the cable, the port, a hub shared with other devices)"
                           : "the packet size (GevSCPSPacketSize), the receive buffer";
    std::fprintf(stderr,
                 "Jai_Factory: %s: no whole frame within %.1f s of AcquisitionStart "
                 "(CAMERA_SDK_FRAME_TIMEOUT), the capture fails: %s incomplete frames%s; check "
                 "%s, the bandwidth and the trigger mode (TriggerMode)\n",
                 cameraId.c_str(), boundSeconds, std::to_string(counts.incompleteFrames).c_str(),
                 packets.c_str(), link);
}

// The one line for a capture that failed while its camera is away.
void ReportAway(const std::string &cameraId, double boundSeconds, double secondsAway)
{
    std::fprintf(stderr,
                 "Jai_Factory: %s: no frame within %.1f s of AcquisitionStart "
                 "(CAMERA_SDK_FRAME_TIMEOUT), the capture fails: the camera is away (lost "
                 "%.1f s ago); the next capture looks for it again\n",
                 cameraId.c_str(), boundSeconds, secondsAway);
}

StreamCounts CountedSince(const StreamCounts &now, const StreamCounts &before)
{
    StreamCounts counted = now;
    counted.incompleteFrames -= before.incompleteFrames;
    counted.missingPackets -= before.missingPackets;
    counted.resentPackets -= before.resentPackets;
    return counted;
}

class BoundedStream : public BackendStream {
  public:
    BoundedStream(ConfiguredCamera *camera, double timeoutSeconds, const FrameSink &sink)
        : camera_(camera), timeoutSeconds_(timeoutSeconds), sink_(sink),
          thread_(&BoundedStream::RunWatch, this)
    {
        // A second thread that fails to start must not leave the first one running.
        try {
            returnThread_ = std::thread(&BoundedStream::RunReturn, this);
        } catch (...) {
            Cancel();
            thread_.join();
            throw;
        }
    }
    ~BoundedStream() override;
    J_STATUS_TYPE Open(BackendCamera *camera, uint32_t bufferSize)
    {
        bufferSize_ = bufferSize;
        return camera->OpenStream(FrameSink{OnFrame, this, sink_.cameraId}, bufferSize, &stream_);
    }
    J_STATUS_TYPE StartAcquisition() override;
    J_STATUS_TYPE StopAcquisition() override;
    double FrameIntervalSeconds() override;
    StreamCounts Counts() const override;
    // Outlives its camera's losses.
    bool Lost() const override { return false; }

  private:
    static void OnFrame(void *self, J_IMAGE_RECORD *frame);
    void RunWatch();
    void RunReturn();
    void LookForCamera();
    void EndWaitNow();
    void Cancel();

    ConfiguredCamera *const camera_;
    const double timeoutSeconds_;
    const FrameSink sink_;
    uint32_t bufferSize_ = 0; // set by Open, before any start
    // The backend's stream, null while the camera is away: replaced only by the return thread,
    // under streamMutex_, which the callers hold too.
    mutable std::mutex streamMutex_;
    std::unique_ptr<BackendStream> stream_;
    double startIntervalSeconds_ = 0; // at the latest start the camera took, under streamMutex_
    // Each stream counts its frames from its own start: the ids of a stream opened after a
    // return are carried above the highest id delivered before (set before it starts).
    std::atomic<uint64_t> idOffset_{0};
    std::atomic<uint64_t> highestId_{0}; // on the frame thread
    // Shared between the callers, the stream's frame thread, the watch and the return thread,
    // under mutex_.
    std::mutex mutex_;
    std::condition_variable wake_;       // the watch's
    std::condition_variable returnWake_; // the return thread's
    bool acquiring_ = false;
    bool frameSeen_ = false; // a frame reached the sink since the latest start
    bool armed_ = false;     // the watch waits for deadline_
    bool cancelled_ = false;
    bool away_ = false;          // the camera is lost: it is looked for while armed
    bool lookRequested_ = false; // by a start that found the camera lost, or a long wait
    Clock::time_point deadline_;
    Clock::time_point nextLook_;
    double boundSeconds_ = 0;
    StreamCounts countsAtStart_;
    // Last, so that the threads start once everything above is in place. Aravis's calls to
    // drop a lost camera and to find it again take seconds: the return thread makes them, so
    // that the watch ends a wait at its bound all the same.
    std::thread thread_;
    std::thread returnThread_;
};

// The threads first, as they read and replace the stream; then the stream, which ends
// delivery.
BoundedStream::~BoundedStream()
{
    Cancel();
    thread_.join();
    returnThread_.join();
    stream_.reset();
}

void BoundedStream::Cancel()
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        cancelled_ = true;
    }
    wake_.notify_one();
    returnWake_.notify_one();
}

// The wait begins before the start command, so that a frame that comes during it counts; its
// deadline is set once the camera has taken the command and said how it is set. A lost
// camera takes no command: its wait runs from the command's call, with the latest interval
// the camera gave, so that Aravis's time-out on a command nobody answers counts in it.
J_STATUS_TYPE BoundedStream::StartAcquisition()
{
    const Clock::time_point called = Clock::now();
    std::lock_guard<std::mutex> streamLock(streamMutex_);
    bool repeated = false;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        repeated = acquiring_;
        acquiring_ = true;
        if (!repeated) {
            frameSeen_ = false;
            countsAtStart_ = stream_ ? stream_->Counts() : StreamCounts{};
        }
    }
    const bool present = stream_ && !stream_->Lost();
    const J_STATUS_TYPE status = present ? stream_->StartAcquisition() : J_ST_NOT_AVAILABLE;
    const bool lost = !stream_ || stream_->Lost();
    if (repeated)
        return lost ? J_ST_SUCCESS : status; // the wait of the first start goes on
    if (status != J_ST_SUCCESS && !lost) {
        std::lock_guard<std::mutex> lock(mutex_);
        acquiring_ = false;
        return status; // refused by a camera that is there
    }
    if (!lost)
        startIntervalSeconds_ = stream_->FrameIntervalSeconds();
    const double bound = FrameWaitBoundSeconds(timeoutSeconds_, startIntervalSeconds_);
    {
        std::lock_guard<std::mutex> lock(mutex_);
        away_ = away_ || lost;
        if (!acquiring_ || frameSeen_)
            return J_ST_SUCCESS;
        armed_ = true;
        boundSeconds_ = bound;
        deadline_ = (lost ? called : Clock::now()) + std::chrono::duration_cast<Clock::duration>(
                                                         std::chrono::duration<double>(bound));
        lookRequested_ = away_;
    }
    wake_.notify_one();
    if (lost)
        returnWake_.notify_one();
    return J_ST_SUCCESS;
}

J_STATUS_TYPE BoundedStream::StopAcquisition()
{
    std::lock_guard<std::mutex> streamLock(streamMutex_);
    {
        std::lock_guard<std::mutex> lock(mutex_);
        acquiring_ = false;
        armed_ = false;
    }
    return stream_ ? stream_->StopAcquisition() : J_ST_SUCCESS;
}

double BoundedStream::FrameIntervalSeconds()
{
    std::lock_guard<std::mutex> streamLock(streamMutex_);
    return stream_ && !stream_->Lost() ? stream_->FrameIntervalSeconds() : startIntervalSeconds_;
}

StreamCounts BoundedStream::Counts() const
{
    std::lock_guard<std::mutex> streamLock(streamMutex_);
    return stream_ ? stream_->Counts() : StreamCounts{};
}

// On the stream's frame thread: every frame goes on to the sink, its id carried.
void BoundedStream::OnFrame(void *self, J_IMAGE_RECORD *frame)
{
    BoundedStream *const owner = static_cast<BoundedStream *>(self);
    {
        std::lock_guard<std::mutex> lock(owner->mutex_);
        owner->frameSeen_ = true;
        owner->armed_ = false;
    }
    J_IMAGE_RECORD carried = *frame;
    carried.frameId += owner->idOffset_;
    if (carried.frameId > owner->highestId_)
        owner->highestId_ = carried.frameId;
    owner->sink_.callback(owner->sink_.callbackObject, &carried);
}

// While a capture waits: ends it at its bound, and once a second has the return thread ask
// whether the camera is lost.
void BoundedStream::RunWatch()
{
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        wake_.wait(lock, [this] { return cancelled_ || armed_; });
        if (cancelled_)
            return;
        const Clock::time_point deadline = deadline_;
        const Clock::time_point wakeAt = std::min(deadline, Clock::now() + kLookPeriod);
        // Woken early by a frame, a stop, a new start or the end: look again.
        if (wake_.wait_until(lock, wakeAt, [this, deadline] {
                return cancelled_ || !armed_ || deadline_ != deadline;
            }))
            continue;
        if (Clock::now() < deadline) {
            lookRequested_ = true;
            returnWake_.notify_one();
            continue;
        }
        armed_ = false;
        const double bound = boundSeconds_;
        const bool away = away_;
        const StreamCounts before = countsAtStart_;
        // No lock during the callback: it may call the library, Stop included.
        lock.unlock();
        if (away)
            ReportAway(camera_->Id(), bound, camera_->SecondsAway());
        else
            ReportNoWholeFrame(camera_->Id(), bound, CountedSince(Counts(), before));
        J_IMAGE_RECORD nothing{};
        DeliverFrame(sink_, &nothing, FrameOrigin{});
        lock.lock();
    }
}

// When asked, while a capture waits, and at most once a second: whether the camera is lost,
// and when it is, a look for it.
void BoundedStream::RunReturn()
{
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        returnWake_.wait(lock, [this] { return cancelled_ || lookRequested_; });
        if (returnWake_.wait_until(lock, nextLook_, [this] { return cancelled_; }))
            return;
        lookRequested_ = false;
        if (!armed_)
            continue;
        nextLook_ = Clock::now() + kLookPeriod;
        // Only this thread replaces stream_, so it reads it without streamMutex_.
        away_ = away_ || !stream_ || stream_->Lost();
        if (!away_)
            continue;
        lock.unlock();
        LookForCamera();
        lock.lock();
    }
}

// On the return thread, without mutex_: drops a lost stream and its camera (once), then looks for
// the camera once. A camera that is back gets its new stream, started when a capture waits.
void BoundedStream::LookForCamera()
{
    std::unique_ptr<BackendStream> lost;
    {
        std::lock_guard<std::mutex> streamLock(streamMutex_);
        lost = std::move(stream_);
    }
    if (lost)
        camera_->Lose(std::move(lost));
    std::unique_ptr<BackendStream> fresh;
    const CameraReturn outcome =
        camera_->Return(FrameSink{OnFrame, this, sink_.cameraId}, bufferSize_, &fresh);
    if (outcome == CameraReturn::Away)
        return;
    if (outcome == CameraReturn::Unfit) {
        EndWaitNow();
        return;
    }
    J_STATUS_TYPE started = J_ST_SUCCESS;
    {
        std::lock_guard<std::mutex> streamLock(streamMutex_);
        idOffset_ = highestId_.load();
        stream_ = std::move(fresh);
        bool waiting = false; // a capture waits: no frames for one that has ended
        {
            std::lock_guard<std::mutex> lock(mutex_);
            away_ = false;
            countsAtStart_ = StreamCounts{};
            waiting = armed_;
        }
        if (waiting)
            started = stream_->StartAcquisition();
    }
    if (started == J_ST_SUCCESS)
        return;
    std::fprintf(stderr, "Jai_Factory: %s: back, but AcquisitionStart failed; the capture fails\n",
                 camera_->Id().c_str());
    EndWaitNow();
}

// On the return thread, without mutex_: the capture that waits fails now.
void BoundedStream::EndWaitNow()
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!armed_)
            return;
        armed_ = false;
    }
    J_IMAGE_RECORD nothing{};
    DeliverFrame(sink_, &nothing, FrameOrigin{});
}

} // namespace

double FrameWaitBoundSeconds(double timeoutSeconds, double frameIntervalSeconds)
{
    const double interval = std::isfinite(frameIntervalSeconds)
                                ? std::clamp(frameIntervalSeconds, 0.0, kMaxFrameIntervalSeconds)
                                : 0.0;
    return timeoutSeconds + 2 * interval;
}

J_STATUS_TYPE OpenBoundedStream(ConfiguredCamera *configured, BackendCamera *camera,
                                double timeoutSeconds, const FrameSink &sink, uint32_t bufferSize,
                                std::unique_ptr<BackendStream> *stream)
{
    std::unique_ptr<BoundedStream> bounded;
    try {
        bounded = std::make_unique<BoundedStream>(configured, timeoutSeconds, sink);
    } catch (const std::exception &) {
        return J_ST_NOT_AVAILABLE; // no thread
    }
    const J_STATUS_TYPE status = bounded->Open(camera, bufferSize);
    if (status != J_ST_SUCCESS)
        return status;
    *stream = std::move(bounded);
    return J_ST_SUCCESS;
}
