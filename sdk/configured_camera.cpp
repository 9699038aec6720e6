// The opening of a camera with its settings, and its opening again after a loss.
#include "configured_camera.h"

#include "frame_wait.h"
#include "setting_grammar.h"

#include <cstdio>
#include <vector>

namespace {

std::string SettingText(const FeatureSetting &setting)
{
    return setting.name + "=" + setting.value;
}

// One line: the setting, the camera's reason, and what the camera keeps from before it.
void ReportRefusal(const std::string &id, const FeatureSetting &setting, const std::string &reason,
                   const std::vector<std::string> &written)
{
    const std::string kept =
        written.empty() ? ""
                        : " (already written, and kept by the camera: " + Listed(written) + ")";
    const std::string line = ConfigProblem("CAMERA_SDK_FEATURES", SettingText(setting),
                                           "refused by " + id + ": " + reason + kept);
    std::fprintf(stderr, "Jai_Factory: %s\n", line.c_str());
}

// Writes every setting in order; false, with one line, at the first one the camera refuses.
bool WriteSettings(BackendCamera *camera, const std::string &id, const CameraSettings &settings)
{
    std::vector<std::string> written;
    for (const FeatureSetting &setting : settings.features) {
        const std::string reason = camera->SetFeature(setting.name, setting.value);
        if (!reason.empty()) {
            ReportRefusal(id, setting, reason, written);
            return false;
        }
        written.push_back(SettingText(setting));
    }
    return true;
}

bool IsListed(const CameraBackend &backend, const std::string &id)
{
    for (uint32_t index = 0; index < backend.CameraCount(); ++index) {
        if (backend.CameraId(index) == id)
            return true;
    }
    return false;
}

} // namespace

std::string Listed(const std::vector<std::string> &items)
{
    std::string text;
    for (const std::string &item : items)
        text += (text.empty() ? "" : ", ") + item;
    return text.empty() ? "none" : text;
}

J_STATUS_TYPE OpenConfiguredCamera(const CameraSource &source, const std::string &id,
                                   std::unique_ptr<BackendCamera> *camera)
{
    std::unique_ptr<BackendCamera> opened;
    {
        std::lock_guard<std::mutex> lock(*source.backendMutex);
        const J_STATUS_TYPE status = source.backend->OpenCamera(id, &opened);
        if (status != J_ST_SUCCESS)
            return status;
    }
    if (!WriteSettings(opened.get(), id, *source.settings))
        return J_ST_INVALID_PARAMETER;
    *camera = std::make_unique<ConfiguredCamera>(std::move(opened), id, source);
    return J_ST_SUCCESS;
}

ConfiguredCamera::ConfiguredCamera(std::unique_ptr<BackendCamera> camera, const std::string &id,
                                   const CameraSource &source)
    : id_(id), source_(source), camera_(std::move(camera))
{
}

J_STATUS_TYPE ConfiguredCamera::GetValueInt64(const std::string &feature, int64_t *value)
{
    std::lock_guard<std::mutex> lock(mutex_);
    return camera_ ? camera_->GetValueInt64(feature, value) : J_ST_NOT_AVAILABLE;
}

std::string ConfiguredCamera::SetFeature(const std::string &feature, const std::string &value)
{
    std::lock_guard<std::mutex> lock(mutex_);
    return camera_ ? camera_->SetFeature(feature, value) : "control of the camera is lost";
}

J_STATUS_TYPE ConfiguredCamera::OpenStream(const FrameSink &sink, uint32_t bufferSize,
                                           std::unique_ptr<BackendStream> *stream)
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (!camera_)
        return J_ST_NOT_AVAILABLE;
    return OpenBoundedStream(this, camera_.get(), source_.settings->frameTimeoutSeconds, sink,
                             bufferSize, stream);
}

void ConfiguredCamera::Lose(std::unique_ptr<BackendStream> stream)
{
    std::unique_ptr<BackendCamera> lost;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        lost = std::move(camera_);
        lostAt_ = std::chrono::steady_clock::now();
    }
    std::fprintf(stderr,
                 "Jai_Factory: %s: control of the camera is lost; captures fail until it is "
                 "back (each capture looks for it while it waits for its frame)\n",
                 id_.c_str());
    // Both before any new opening, and slow on GigE Vision (Aravis's time-outs on a camera
    // that does not answer): the stream closes its channel and the camera gives up its
    // control, which must not reach the camera once it is back and opened again.
    stream.reset();
    lost.reset();
}

CameraReturn ConfiguredCamera::Return(const FrameSink &sink, uint32_t bufferSize,
                                      std::unique_ptr<BackendStream> *stream)
{
    std::unique_ptr<BackendCamera> opened;
    {
        std::lock_guard<std::mutex> lock(*source_.backendMutex);
        bool listChanged = false;
        if (source_.backend->UpdateCameraList(&listChanged) != J_ST_SUCCESS ||
            !IsListed(*source_.backend, id_) ||
            source_.backend->OpenCamera(id_, &opened) != J_ST_SUCCESS)
            return CameraReturn::Away;
    }
    if (!WriteSettings(opened.get(), id_, *source_.settings))
        return CameraReturn::Unfit;
    const J_STATUS_TYPE status = opened->OpenStream(sink, bufferSize, stream);
    if (status != J_ST_SUCCESS) {
        const std::string why =
            status == J_ST_INVALID_PARAMETER
                ? "its frames no longer fit the stream buffer of " + std::to_string(bufferSize) +
                      " bytes sized at open (check Width, Height and PixelFormat)"
                : "its stream does not open";
        std::fprintf(stderr,
                     "Jai_Factory: %s: back, but %s; the capture fails, the next one "
                     "tries again\n",
                     id_.c_str(), why.c_str());
        return CameraReturn::Unfit;
    }
    std::lock_guard<std::mutex> lock(mutex_);
    camera_ = std::move(opened);
    const size_t settings = source_.settings->features.size();
    const std::string written =
        settings == 0 ? "no CAMERA_SDK_FEATURES settings to write again"
                      : std::to_string(settings) + " CAMERA_SDK_FEATURES settings written again";
    std::fprintf(stderr, "Jai_Factory: %s: back after %.1f s away; %s\n", id_.c_str(),
                 std::chrono::duration<double>(std::chrono::steady_clock::now() - lostAt_).count(),
                 written.c_str());
    return CameraReturn::Back;
}

double ConfiguredCamera::SecondsAway() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - lostAt_).count();
}
