// The listed failures (SIMCAM_FAIL) as a layer around a backend, its cameras and its streams.
#include "injected_failures.h"

namespace {

// The feature reads that can be made to fail, by the feature's name.
struct FailingRead {
    const char *feature;
    FailurePoint point;
};

const FailingRead kFailingReads[] = {
    {"Width", FailurePoint::Width},
    {"Height", FailurePoint::Height},
};

bool ReadFails(FailureSet failures, const std::string &feature)
{
    for (const FailingRead &read : kFailingReads) {
        if (feature == read.feature)
            return Fails(failures, read.point);
    }
    return false;
}

class InjectedStream : public BackendStream {
  public:
    InjectedStream(std::unique_ptr<BackendStream> stream, FailureSet failures)
        : stream_(std::move(stream)), failures_(failures)
    {
    }

    J_STATUS_TYPE StartAcquisition() override
    {
        if (Fails(failures_, FailurePoint::AcquisitionStart))
            return J_ST_INJECTED_FAILURE;
        return stream_->StartAcquisition();
    }

    J_STATUS_TYPE StopAcquisition() override
    {
        if (Fails(failures_, FailurePoint::AcquisitionStop))
            return J_ST_INJECTED_FAILURE;
        return stream_->StopAcquisition();
    }

    double FrameIntervalSeconds() override { return stream_->FrameIntervalSeconds(); }

    StreamCounts Counts() const override { return stream_->Counts(); }

    bool Lost() const override { return stream_->Lost(); }

  private:
    const std::unique_ptr<BackendStream> stream_;
    const FailureSet failures_;
};

class InjectedCamera : public BackendCamera {
  public:
    InjectedCamera(std::unique_ptr<BackendCamera> camera, FailureSet failures)
        : camera_(std::move(camera)), failures_(failures)
    {
    }

    J_STATUS_TYPE GetValueInt64(const std::string &feature, int64_t *value) override
    {
        if (ReadFails(failures_, feature))
            return J_ST_INJECTED_FAILURE;
        return camera_->GetValueInt64(feature, value);
    }

    std::string SetFeature(const std::string &feature, const std::string &value) override
    {
        return camera_->SetFeature(feature, value);
    }

    J_STATUS_TYPE OpenStream(const FrameSink &sink, uint32_t bufferSize,
                             std::unique_ptr<BackendStream> *stream) override
    {
        if (Fails(failures_, FailurePoint::OpenStream))
            return J_ST_INJECTED_FAILURE;
        std::unique_ptr<BackendStream> opened;
        const J_STATUS_TYPE status = camera_->OpenStream(sink, bufferSize, &opened);
        if (status != J_ST_SUCCESS)
            return status;
        *stream = std::make_unique<InjectedStream>(std::move(opened), failures_);
        return J_ST_SUCCESS;
    }

  private:
    const std::unique_ptr<BackendCamera> camera_;
    const FailureSet failures_;
};

class InjectedBackend : public CameraBackend {
  public:
    InjectedBackend(std::unique_ptr<CameraBackend> backend, FailureSet failures)
        : backend_(std::move(backend)), failures_(failures)
    {
    }

    J_STATUS_TYPE UpdateCameraList(bool *listChanged) override
    {
        if (Fails(failures_, FailurePoint::UpdateCameraList))
            return J_ST_INJECTED_FAILURE;
        return backend_->UpdateCameraList(listChanged);
    }

    uint32_t CameraCount() const override { return backend_->CameraCount(); }

    std::string CameraId(uint32_t index) const override { return backend_->CameraId(index); }

    J_STATUS_TYPE OpenCamera(const std::string &id, std::unique_ptr<BackendCamera> *camera) override
    {
        if (Fails(failures_, FailurePoint::CameraOpen))
            return J_ST_INJECTED_FAILURE;
        std::unique_ptr<BackendCamera> opened;
        const J_STATUS_TYPE status = backend_->OpenCamera(id, &opened);
        if (status != J_ST_SUCCESS)
            return status;
        *camera = std::make_unique<InjectedCamera>(std::move(opened), failures_);
        return J_ST_SUCCESS;
    }

  private:
    const std::unique_ptr<CameraBackend> backend_;
    const FailureSet failures_;
};

} // namespace

std::unique_ptr<CameraBackend> InjectFailures(std::unique_ptr<CameraBackend> backend,
                                              FailureSet failures)
{
    return std::make_unique<InjectedBackend>(std::move(backend), failures);
}
