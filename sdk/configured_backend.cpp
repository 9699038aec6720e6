// The camera choice, the feature settings and the bound on the wait for a frame, wrapped
// around any backend.
#include "configured_backend.h"

#include "frame_wait.h"
#include "setting_grammar.h"

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

// "a, b, c", or "none" for no items.
std::string Listed(const std::vector<std::string> &items)
{
    std::string text;
    for (const std::string &item : items)
        text += (text.empty() ? "" : ", ") + item;
    return text.empty() ? "none" : text;
}

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

// A backend's camera whose stream has the bound on the wait for a frame around it.
class ConfiguredCamera : public BackendCamera {
  public:
    ConfiguredCamera(std::unique_ptr<BackendCamera> camera, const std::string &id,
                     double frameTimeoutSeconds)
        : camera_(std::move(camera)), id_(id), frameTimeoutSeconds_(frameTimeoutSeconds)
    {
    }

    J_STATUS_TYPE GetValueInt64(const std::string &feature, int64_t *value) override
    {
        return camera_->GetValueInt64(feature, value);
    }

    std::string SetFeature(const std::string &feature, const std::string &value) override
    {
        return camera_->SetFeature(feature, value);
    }

    J_STATUS_TYPE OpenStream(const FrameSink &sink, uint32_t bufferSize,
                             std::unique_ptr<BackendStream> *stream) override
    {
        return OpenBoundedStream(camera_.get(), id_, frameTimeoutSeconds_, sink, bufferSize,
                                 stream);
    }

  private:
    const std::unique_ptr<BackendCamera> camera_;
    const std::string id_;
    const double frameTimeoutSeconds_;
};

class ConfiguredBackend : public CameraBackend {
  public:
    ConfiguredBackend(std::unique_ptr<CameraBackend> backend, const CameraSettings &settings)
        : backend_(std::move(backend)), settings_(settings)
    {
    }

    J_STATUS_TYPE UpdateCameraList(bool *listChanged) override
    {
        bool changed = false;
        const J_STATUS_TYPE status = backend_->UpdateCameraList(&changed);
        if (status != J_ST_SUCCESS)
            return status;
        std::vector<std::string> found;
        for (uint32_t index = 0; index < backend_->CameraCount(); ++index)
            found.push_back(backend_->CameraId(index));
        std::vector<std::string> listed = found;
        if (!settings_.cameraId.empty()) {
            const bool present =
                std::find(found.begin(), found.end(), settings_.cameraId) != found.end();
            listed =
                present ? std::vector<std::string>{settings_.cameraId} : std::vector<std::string>{};
            if (!present)
                std::fprintf(stderr, "Jai_Factory: %s\n",
                             ConfigProblem("CAMERA_SDK_CAMERA", settings_.cameraId,
                                           "is not among the cameras found: " + Listed(found))
                                 .c_str());
        }
        *listChanged = listed != listed_;
        listed_ = listed;
        return J_ST_SUCCESS;
    }

    uint32_t CameraCount() const override { return static_cast<uint32_t>(listed_.size()); }

    std::string CameraId(uint32_t index) const override { return listed_[index]; }

    J_STATUS_TYPE OpenCamera(const std::string &id, std::unique_ptr<BackendCamera> *camera) override
    {
        if (std::find(listed_.begin(), listed_.end(), id) == listed_.end())
            return J_ST_NOT_AVAILABLE;
        std::unique_ptr<BackendCamera> opened;
        const J_STATUS_TYPE status = backend_->OpenCamera(id, &opened);
        if (status != J_ST_SUCCESS)
            return status;
        std::vector<std::string> written;
        for (const FeatureSetting &setting : settings_.features) {
            const std::string reason = opened->SetFeature(setting.name, setting.value);
            if (!reason.empty()) {
                ReportRefusal(id, setting, reason, written);
                return J_ST_INVALID_PARAMETER;
            }
            written.push_back(SettingText(setting));
        }
        *camera = std::make_unique<ConfiguredCamera>(std::move(opened), id,
                                                     settings_.frameTimeoutSeconds);
        return J_ST_SUCCESS;
    }

  private:
    const std::unique_ptr<CameraBackend> backend_;
    const CameraSettings settings_;
    std::vector<std::string> listed_;
};

} // namespace

std::unique_ptr<CameraBackend> ConfigureBackend(std::unique_ptr<CameraBackend> backend,
                                                const CameraSettings &settings)
{
    return std::make_unique<ConfiguredBackend>(std::move(backend), settings);
}
