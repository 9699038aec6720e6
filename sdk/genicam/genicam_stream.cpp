// The Aravis stream of a GenICam camera and the delivery of its buffers as frames.
#include "genicam_stream.h"

#include "genicam_buffer.h"
#include "genicam_description.h"
#include "genicam_frame_ids.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <future>
#include <memory>
#include <mutex>
#include <thread>

namespace {

const int kStreamBuffers = 4;
// The largest receive buffer asked of the system for a GigE Vision stream.
const uint64_t kMaxSocketBufferBytes = 64u << 20;

// Prints Aravis's reason for a failed step on standard error and frees it.
void ReportError(const char *step, GError *error)
{
    std::fprintf(stderr, "Jai_Factory: %s: %s\n", step, error->message);
    g_error_free(error);
}

int64_t HostTimeNs() { return g_get_real_time() * 1000; }

// A camera sends each frame as one burst of packets, faster than a busy receiver may read
// them: the stream socket's receive buffer holds as many frames as the stream has buffers,
// where the system's default (about 200 KB on Linux, which Wine passes on, 64 KB on Windows)
// holds less than one frame and drops the rest of each burst.
void SizeSocketBuffer(ArvStream *stream, uint32_t payloadBytes)
{
    if (!ARV_IS_GV_STREAM(stream))
        return;
    const uint64_t bytes = std::min<uint64_t>(static_cast<uint64_t>(payloadBytes) * kStreamBuffers,
                                              kMaxSocketBufferBytes);
    g_object_set(stream, "socket-buffer", ARV_GV_STREAM_SOCKET_BUFFER_FIXED, "socket-buffer-size",
                 static_cast<gint>(bytes), nullptr);
}

} // namespace

class GenicamStream : public BackendStream {
  public:
    GenicamStream(ArvCamera *camera, CameraLoss *loss, const FrameSink &sink)
        : camera_(camera), device_(arv_camera_get_device(camera)), loss_(loss), sink_(sink)
    {
    }
    ~GenicamStream() override;
    J_STATUS_TYPE Open(uint32_t payloadBytes);
    J_STATUS_TYPE StartAcquisition() override;
    J_STATUS_TYPE StopAcquisition() override;
    double FrameIntervalSeconds() override;
    StreamCounts Counts() const override;
    bool Lost() const override { return loss_->lost; }
    void ReleaseLostUsbStream();

  private:
    static void OnNewBuffer(ArvStream *stream, void *self);
    bool IsNewCompleteFrame(ArvBuffer *buffer) const;
    void Describe(const GenicamDescription &description);
    std::shared_ptr<const CameraDescription> Described();
    void DeliverImage(ArvBuffer *buffer, uint64_t frameId);
    void CountBuffer(ArvBuffer *buffer);

    ArvCamera *const camera_;
    ArvDevice *const device_;
    CameraLoss *const loss_;
    const FrameSink sink_;
    ArvStream *stream_ = nullptr;
    bool countsPackets_ = false; // a GigE Vision stream
    bool overUsb_ = false;       // a USB3 Vision stream
    std::future<void> released_; // under loss_->mutex
    std::atomic<bool> acquiring_{false};
    std::atomic<int64_t> startedAtNs_{0}; // host time of the latest start
    FrameIdExtender frameIds_;            // on the stream thread only
    GenicamDescription description_;      // on the callers' thread only
    // What the frames are delivered with: set by the callers, read on the stream thread.
    std::mutex describedMutex_;
    std::shared_ptr<const CameraDescription> described_;
    // Written on the stream thread, which alone may read Aravis's statistics.
    std::atomic<uint64_t> incompleteFrames_{0};
    std::atomic<uint64_t> missingPackets_{0};
    std::atomic<uint64_t> resentPackets_{0};
};

GenicamStream::~GenicamStream()
{
    std::future<void> released;
    {
        std::lock_guard<std::mutex> lock(loss_->mutex);
        loss_->stream = nullptr;
        released = std::move(released_);
    }
    if (released.valid()) {
        released.wait();
        return;
    }
    if (acquiring_.exchange(false) && !loss_->lost)
        arv_device_execute_command(device_, "AcquisitionStop", nullptr);
    if (stream_ == nullptr)
        return;
    arv_stream_set_emit_signals(stream_, FALSE);
    g_signal_handlers_disconnect_by_data(stream_, this);
    // The last reference: Aravis joins its stream thread before this returns.
    g_object_unref(stream_);
}

J_STATUS_TYPE GenicamStream::Open(uint32_t payloadBytes)
{
    GError *error = nullptr;
    stream_ = arv_camera_create_stream(camera_, nullptr, nullptr, &error);
    if (stream_ == nullptr) {
        ReportError("open stream", error);
        return J_ST_NOT_AVAILABLE;
    }
    countsPackets_ = ARV_IS_GV_STREAM(stream_);
    overUsb_ = ARV_IS_UV_STREAM(stream_);
    SizeSocketBuffer(stream_, payloadBytes);
    description_ = DescribeGenicamCamera(camera_);
    Describe(description_);
    for (int index = 0; index < kStreamBuffers; ++index)
        arv_stream_push_buffer(stream_, arv_buffer_new_allocate(payloadBytes));
    g_signal_connect(stream_, "new-buffer", G_CALLBACK(OnNewBuffer), this);
    arv_stream_set_emit_signals(stream_, TRUE);
    std::lock_guard<std::mutex> lock(loss_->mutex);
    loss_->stream = this;
    return J_ST_SUCCESS;
}

J_STATUS_TYPE GenicamStream::StartAcquisition()
{
    if (loss_->lost)
        return J_ST_NOT_AVAILABLE;
    if (acquiring_)
        return J_ST_SUCCESS;
    if (RefreshGenicamDescription(camera_, &description_))
        Describe(description_);
    startedAtNs_ = HostTimeNs();
    acquiring_ = true;
    GError *error = nullptr;
    arv_device_execute_command(device_, "AcquisitionStart", &error);
    if (error == nullptr)
        return J_ST_SUCCESS;
    acquiring_ = false;
    // A camera that is gone before its heartbeat said so: the capture waits for its return.
    if (MeansCameraGone(error)) {
        loss_->lost = true;
        g_error_free(error);
        return J_ST_NOT_AVAILABLE;
    }
    ReportError("AcquisitionStart", error);
    return J_ST_NOT_AVAILABLE;
}

void GenicamStream::Describe(const GenicamDescription &description)
{
    std::shared_ptr<const CameraDescription> described =
        std::make_shared<const CameraDescription>(description.camera);
    std::lock_guard<std::mutex> lock(describedMutex_);
    described_ = std::move(described);
}

std::shared_ptr<const CameraDescription> GenicamStream::Described()
{
    std::lock_guard<std::mutex> lock(describedMutex_);
    return described_;
}

// A lost camera has stopped on its own: stopping it succeeds without a command.
J_STATUS_TYPE GenicamStream::StopAcquisition()
{
    if (!acquiring_.exchange(false) || loss_->lost)
        return J_ST_SUCCESS;
    GError *error = nullptr;
    arv_device_execute_command(device_, "AcquisitionStop", &error);
    if (error == nullptr)
        return J_ST_SUCCESS;
    if (loss_->lost || MeansCameraGone(error)) {
        loss_->lost = true;
        g_error_free(error);
        return J_ST_SUCCESS;
    }
    ReportError("AcquisitionStop", error);
    return J_ST_NOT_AVAILABLE;
}

// From the description, which is read again at each start where exposure is automatic: no
// read over the network here.
double GenicamStream::FrameIntervalSeconds()
{
    const CameraDescription &described = description_.camera;
    const double framesPerSecond = described.frameRate.value_or(0);
    const double exposureUs = described.exposureUs.value_or(0);
    const double period = framesPerSecond > 0 ? 1 / framesPerSecond : 0;
    return period + (exposureUs > 0 ? exposureUs / 1e6 : 0);
}

StreamCounts GenicamStream::Counts() const
{
    return StreamCounts{incompleteFrames_, countsPackets_, missingPackets_, resentPackets_,
                        overUsb_};
}

// Aravis's USB3 Vision stream thread asks its lost device for data again and again, without a
// pause, until the stream is released: it is released at once, on a thread of its own, since
// the release joins the stream thread, which may be the one that noticed the loss. That thread
// is detached, so that a process that ends before the stream is closed leaves none unjoined;
// the stream's destructor waits for the release instead. Runs under loss_->mutex.
void GenicamStream::ReleaseLostUsbStream()
{
    if (released_.valid() || !overUsb_)
        return;
    std::promise<void> release;
    released_ = release.get_future();
    std::thread([this, release = std::move(release)]() mutable {
        arv_stream_set_emit_signals(stream_, FALSE);
        g_signal_handlers_disconnect_by_data(stream_, this);
        g_object_unref(stream_);
        release.set_value();
    }).detach();
}

bool GenicamStream::IsNewCompleteFrame(ArvBuffer *buffer) const
{
    return IsCompleteImage(buffer) &&
           static_cast<int64_t>(arv_buffer_get_system_timestamp(buffer)) >= startedAtNs_;
}

// The buffer is a complete image: its pixels go to the sink as they are, without a copy.
void GenicamStream::DeliverImage(ArvBuffer *buffer, uint64_t frameId)
{
    size_t bytes = 0;
    const void *data = arv_buffer_get_image_data(buffer, &bytes);
    const gint width = arv_buffer_get_image_width(buffer);
    const gint height = arv_buffer_get_image_height(buffer);
    if (data == nullptr || width <= 0 || height <= 0 || bytes > UINT32_MAX)
        return;
    J_IMAGE_RECORD frame{};
    frame.pixelFormat = arv_buffer_get_image_pixel_format(buffer);
    frame.width = static_cast<uint32_t>(width);
    frame.height = static_cast<uint32_t>(height);
    frame.imageSize = static_cast<uint32_t>(bytes);
    frame.buffer = static_cast<uint8_t *>(const_cast<void *>(data));
    frame.frameId = frameId;
    frame.timestampUs = arv_buffer_get_timestamp(buffer) / 1000;
    // Aravis stamps the buffer with the host's real time as its first packet arrives.
    const std::chrono::system_clock::time_point arrival(
        std::chrono::duration_cast<std::chrono::system_clock::duration>(
            std::chrono::nanoseconds(arv_buffer_get_system_timestamp(buffer))));
    DeliverFrame(sink_, &frame, FrameOrigin{Described(), true, arrival});
}

// On the stream thread, for every finished buffer.
void GenicamStream::CountBuffer(ArvBuffer *buffer)
{
    if (!IsCompleteImage(buffer))
        ++incompleteFrames_;
    if (!ARV_IS_GV_STREAM(stream_))
        return;
    guint64 resent = 0;
    guint64 missing = 0;
    arv_gv_stream_get_statistics(ARV_GV_STREAM(stream_), &resent, &missing);
    missingPackets_ = missing;
    resentPackets_ = resent;
}

// Runs on Aravis's stream thread for every finished buffer, which goes back to the stream.
// Anything but a complete image of the current acquisition is dropped unread.
void GenicamStream::OnNewBuffer(ArvStream *stream, void *self)
{
    GenicamStream *const owner = static_cast<GenicamStream *>(self);
    ArvBuffer *buffer = arv_stream_try_pop_buffer(stream);
    if (buffer == nullptr)
        return;
    // Every buffer counts, delivered or not, so that no wrap of the ids goes unseen.
    const uint64_t frameId = owner->frameIds_.Extend(arv_buffer_get_frame_id(buffer));
    owner->CountBuffer(buffer);
    if (owner->acquiring_ && owner->IsNewCompleteFrame(buffer))
        owner->DeliverImage(buffer, frameId);
    arv_stream_push_buffer(stream, buffer);
}

// GigE Vision: no acknowledgement within the retries. USB3 Vision: no acknowledgement, a
// device that left the bus, or a transfer that failed.
bool MeansCameraGone(const GError *error)
{
    return error != nullptr && error->domain == ARV_DEVICE_ERROR &&
           (error->code == ARV_DEVICE_ERROR_TIMEOUT ||
            error->code == ARV_DEVICE_ERROR_NOT_CONNECTED ||
            error->code == ARV_DEVICE_ERROR_TRANSFER_ERROR);
}

// On the thread that noticed the loss: Aravis's heartbeat thread (GigE Vision), its USB event
// thread or stream thread, or the thread of a command (USB3 Vision).
void ReportCameraLost(CameraLoss *loss)
{
    loss->lost = true;
    std::lock_guard<std::mutex> lock(loss->mutex);
    if (loss->stream != nullptr)
        loss->stream->ReleaseLostUsbStream();
}

J_STATUS_TYPE OpenGenicamStream(ArvCamera *camera, CameraLoss *loss, const FrameSink &sink,
                                uint32_t payloadBytes, std::unique_ptr<BackendStream> *stream)
{
    std::unique_ptr<GenicamStream> opened = std::make_unique<GenicamStream>(camera, loss, sink);
    const J_STATUS_TYPE status = opened->Open(payloadBytes);
    if (status != J_ST_SUCCESS)
        return status;
    *stream = std::move(opened);
    return J_ST_SUCCESS;
}
