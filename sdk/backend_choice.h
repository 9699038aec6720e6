// The choice of the camera backend at J_Factory_Open, and what it hands the entry points.
#ifndef JAI_FACTORY_BACKEND_CHOICE_H
#define JAI_FACTORY_BACKEND_CHOICE_H

#include "camera_backend.h"
#include "failure_points.h"
#include "setting_grammar.h"

#include <Jai_Factory.h>

#include <cstdint>
#include <memory>
#include <string>

struct BackendChoice {
    J_STATUS_TYPE status;
    std::unique_ptr<CameraBackend> backend; // when status is J_ST_SUCCESS
    // The operations that the configuration makes fail: the backend already fails its own;
    // the entry points ask about the others (injected_failures.h).
    FailureSet failures;
    std::string error;       // when status is not J_ST_SUCCESS: one line naming variable and value
    uint32_t saveWaitMs = 0; // CAMERA_SDK_SAVE_WAIT_MS, when status is J_ST_SUCCESS
};

// The one place that picks the backend: CAMERA_SDK_BACKEND ("sim" when unset or empty), then
// that backend's own configuration, then the settings of every backend (camera_settings.h),
// wrapped in the failures that the configuration lists (injected_failures.h).
BackendChoice ChooseBackend(const VariableLookup &lookup);

#endif
