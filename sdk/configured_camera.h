// A camera opened by its ID with every CAMERA_SDK_FEATURES setting written in order, and
// opened again the same way when it comes back after its control was lost.
//
// A setting that the camera refuses prints one line on standard error (the setting, the
// camera's reason and the settings written before it, which the camera keeps) and fails the
// opening with J_ST_INVALID_PARAMETER. The lines of a loss, all with the camera ID: one when
// the loss is found, one when the camera is back (how long it was away, the settings written
// again), and one when it comes back unfit (a refused setting, a frame larger than the stream
// buffer), after which it counts as away again.
#ifndef JAI_FACTORY_CONFIGURED_CAMERA_H
#define JAI_FACTORY_CONFIGURED_CAMERA_H

#include "camera_backend.h"
#include "camera_settings.h"

#include <chrono>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

// "a, b, c", or "none" for no items: how the lines of the configured layer list things.
std::string Listed(const std::vector<std::string> &items);

// What a configured camera needs of its backend to open again; owned by the configured
// backend, which outlives its cameras.
struct CameraSource {
    CameraBackend *backend;
    std::mutex *backendMutex; // held around every call into backend
    const CameraSettings *settings;
};

// Opens camera id of source's backend (which lists it) and writes the settings.
J_STATUS_TYPE OpenConfiguredCamera(const CameraSource &source, const std::string &id,
                                   std::unique_ptr<BackendCamera> *camera);

enum class CameraReturn {
    Away,  // not listed, or not opened
    Back,  // opened, settings written, stream open
    Unfit, // opened, but a setting was refused or its stream did not open: one line said why
};

// The camera as the entry points hold it. Its stream (frame_wait.h) asks it to drop the
// backend's camera once lost and to look for it again. The entry points' calls run on their
// thread, Lose and Return on the stream's return thread.
class ConfiguredCamera : public BackendCamera {
  public:
    ConfiguredCamera(std::unique_ptr<BackendCamera> camera, const std::string &id,
                     const CameraSource &source);
    J_STATUS_TYPE GetValueInt64(const std::string &feature, int64_t *value) override;
    std::string SetFeature(const std::string &feature, const std::string &value) override;
    J_STATUS_TYPE OpenStream(const FrameSink &sink, uint32_t bufferSize,
                             std::unique_ptr<BackendStream> *stream) override;

    // Says that the camera is lost, then drops its stream and the camera, in that order.
    void Lose(std::unique_ptr<BackendStream> stream);
    // Looks for the camera's ID once; when it is listed, opens it with the settings written
    // again and opens its stream to sink with bufferSize.
    CameraReturn Return(const FrameSink &sink, uint32_t bufferSize,
                        std::unique_ptr<BackendStream> *stream);
    // Seconds since Lose.
    double SecondsAway() const;
    const std::string &Id() const { return id_; }

  private:
    const std::string id_;
    const CameraSource source_;
    mutable std::mutex mutex_;
    std::unique_ptr<BackendCamera> camera_; // null while lost, under mutex_
    std::chrono::steady_clock::time_point lostAt_;
};

#endif
