// A stream wrapped in the bound on the wait for its frame, and the thread that watches it.
#include "frame_wait.h"

#include <algorithm>
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

// The one line that says why a capture failed.
void ReportNoWholeFrame(const std::string &cameraId, double boundSeconds,
                        const StreamCounts &counts)
{
    std::string packets;
    if (counts.countsPackets)
        packets = " (the stream counted " + std::to_string(counts.missingPackets) +
                  " missing packets and " + std::to_string(counts.resentPackets) + " resent)";
    std::fprintf(stderr,
                 "Jai_Factory: %s: no whole frame within %.1f s of AcquisitionStart "
                 "(CAMERA_SDK_FRAME_TIMEOUT), the capture fails: %s incomplete frames%s; check "
                 "the packet size (GevSCPSPacketSize), the receive buffer, the bandwidth and "
                 "the trigger mode (TriggerMode)\n",
                 cameraId.c_str(), boundSeconds, std::to_string(counts.incompleteFrames).c_str(),
                 packets.c_str());
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
    BoundedStream(const std::string &cameraId, double timeoutSeconds, const FrameSink &sink)
        : cameraId_(cameraId), timeoutSeconds_(timeoutSeconds), sink_(sink),
          thread_(&BoundedStream::RunWatch, this)
    {
    }
    ~BoundedStream() override;
    J_STATUS_TYPE Open(BackendCamera *camera, uint32_t bufferSize)
    {
        return camera->OpenStream(FrameSink{OnFrame, this}, bufferSize, &stream_);
    }
    J_STATUS_TYPE StartAcquisition() override;
    J_STATUS_TYPE StopAcquisition() override;
    double FrameIntervalSeconds() override { return stream_->FrameIntervalSeconds(); }
    StreamCounts Counts() const override { return stream_->Counts(); }

  private:
    static void OnFrame(void *self, J_IMAGE_RECORD *frame);
    void RunWatch();

    const std::string cameraId_;
    const double timeoutSeconds_;
    const FrameSink sink_;
    std::unique_ptr<BackendStream> stream_; // set by Open, before any frame or start
    // Shared between the callers, the stream's frame thread and the watch, under mutex_.
    std::mutex mutex_;
    std::condition_variable wake_;
    bool acquiring_ = false;
    bool frameSeen_ = false; // a frame reached the sink since the latest start
    bool armed_ = false;     // the watch waits for deadline_
    bool cancelled_ = false;
    Clock::time_point deadline_;
    double boundSeconds_ = 0;
    StreamCounts countsAtStart_;
    // Last, so that the thread starts once everything above is in place.
    std::thread thread_;
};

// The watch first, as it may read the stream's counts; then the stream, which ends delivery.
BoundedStream::~BoundedStream()
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        cancelled_ = true;
    }
    wake_.notify_one();
    thread_.join();
    stream_.reset();
}

// The wait begins before the start command, so that a frame that comes during it counts; its
// deadline is set once the camera has taken the command and said how it is set.
J_STATUS_TYPE BoundedStream::StartAcquisition()
{
    bool repeated = false;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        repeated = acquiring_;
        acquiring_ = true;
        if (!repeated) {
            frameSeen_ = false;
            countsAtStart_ = stream_->Counts();
        }
    }
    const J_STATUS_TYPE status = stream_->StartAcquisition();
    if (repeated)
        return status; // the wait of the first start goes on
    if (status != J_ST_SUCCESS) {
        std::lock_guard<std::mutex> lock(mutex_);
        acquiring_ = false;
        return status;
    }
    const double bound = FrameWaitBoundSeconds(timeoutSeconds_, stream_->FrameIntervalSeconds());
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!acquiring_ || frameSeen_)
            return J_ST_SUCCESS;
        armed_ = true;
        boundSeconds_ = bound;
        deadline_ = Clock::now() + std::chrono::duration_cast<Clock::duration>(
                                       std::chrono::duration<double>(bound));
    }
    wake_.notify_one();
    return J_ST_SUCCESS;
}

J_STATUS_TYPE BoundedStream::StopAcquisition()
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        acquiring_ = false;
        armed_ = false;
    }
    return stream_->StopAcquisition();
}

// On the stream's frame thread: every frame goes on to the sink as it is.
void BoundedStream::OnFrame(void *self, J_IMAGE_RECORD *frame)
{
    BoundedStream *const owner = static_cast<BoundedStream *>(self);
    {
        std::lock_guard<std::mutex> lock(owner->mutex_);
        owner->frameSeen_ = true;
        owner->armed_ = false;
    }
    owner->sink_.callback(owner->sink_.callbackObject, frame);
}

void BoundedStream::RunWatch()
{
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        wake_.wait(lock, [this] { return cancelled_ || armed_; });
        if (cancelled_)
            return;
        const Clock::time_point deadline = deadline_;
        // Woken early by a frame, a stop, a new start or the end: look again.
        if (wake_.wait_until(lock, deadline, [this, deadline] {
                return cancelled_ || !armed_ || deadline_ != deadline;
            }))
            continue;
        armed_ = false;
        const double bound = boundSeconds_;
        const StreamCounts before = countsAtStart_;
        // No lock during the callback: it may call the library, Stop included.
        lock.unlock();
        ReportNoWholeFrame(cameraId_, bound, CountedSince(stream_->Counts(), before));
        J_IMAGE_RECORD nothing{};
        DeliverFrame(sink_, &nothing);
        lock.lock();
    }
}

} // namespace

double FrameWaitBoundSeconds(double timeoutSeconds, double frameIntervalSeconds)
{
    const double interval = std::isfinite(frameIntervalSeconds)
                                ? std::clamp(frameIntervalSeconds, 0.0, kMaxFrameIntervalSeconds)
                                : 0.0;
    return timeoutSeconds + 2 * interval;
}

J_STATUS_TYPE OpenBoundedStream(BackendCamera *camera, const std::string &cameraId,
                                double timeoutSeconds, const FrameSink &sink, uint32_t bufferSize,
                                std::unique_ptr<BackendStream> *stream)
{
    std::unique_ptr<BoundedStream> bounded;
    try {
        bounded = std::make_unique<BoundedStream>(cameraId, timeoutSeconds, sink);
    } catch (const std::exception &) {
        return J_ST_NOT_AVAILABLE; // no thread
    }
    const J_STATUS_TYPE status = bounded->Open(camera, bufferSize);
    if (status != J_ST_SUCCESS)
        return status;
    *stream = std::move(bounded);
    return J_ST_SUCCESS;
}
