// A backend as CAMERA_SDK_CAMERA, CAMERA_SDK_FEATURES and CAMERA_SDK_FRAME_TIMEOUT shape it,
// the same for every backend.
//
// With a camera ID chosen, the list holds that camera only, or nothing: an update that does
// not find it prints one line on standard error with the IDs that were found. Each camera
// that opens gets the features written in their order, and is opened the same way again
// when it comes back after a loss (configured_camera.h). Each stream it opens waits for its
// frames within the bound of CAMERA_SDK_FRAME_TIMEOUT, and for a lost camera's return
// within that bound (frame_wait.h).
#ifndef JAI_FACTORY_CONFIGURED_BACKEND_H
#define JAI_FACTORY_CONFIGURED_BACKEND_H

#include "camera_backend.h"
#include "camera_settings.h"

#include <memory>

std::unique_ptr<CameraBackend> ConfigureBackend(std::unique_ptr<CameraBackend> backend,
                                                const CameraSettings &settings);

#endif
