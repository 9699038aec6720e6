// The camera choice around any backend; its cameras are opened as configured_camera.h says.
#include "configured_backend.h"

#include "configured_camera.h"
#include "setting_grammar.h"

#include <algorithm>
#include <cstdio>
#include <mutex>
#include <vector>

namespace {

class ConfiguredBackend : public CameraBackend {
  public:
    ConfiguredBackend(std::unique_ptr<CameraBackend> backend, const CameraSettings &settings)
        : backend_(std::move(backend)), settings_(settings)
    {
    }

    J_STATUS_TYPE UpdateCameraList(bool *listChanged) override
    {
        std::vector<std::string> found;
        {
            std::lock_guard<std::mutex> lock(backendMutex_);
            bool changed = false;
            const J_STATUS_TYPE status = backend_->UpdateCameraList(&changed);
            if (status != J_ST_SUCCESS)
                return status;
            for (uint32_t index = 0; index < backend_->CameraCount(); ++index)
                found.push_back(backend_->CameraId(index));
        }
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
        return OpenConfiguredCamera(CameraSource{backend_.get(), &backendMutex_, &settings_}, id,
                                    camera);
    }

  private:
    const std::unique_ptr<CameraBackend> backend_;
    const CameraSettings settings_;
    // A lost camera's stream looks for it on its own thread (configured_camera.h).
    std::mutex backendMutex_;
    std::vector<std::string> listed_;
};

} // namespace

std::unique_ptr<CameraBackend> ConfigureBackend(std::unique_ptr<CameraBackend> backend,
                                                const CameraSettings &settings)
{
    return std::make_unique<ConfiguredBackend>(std::move(backend), settings);
}
