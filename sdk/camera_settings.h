// The settings that every backend takes from the environment when the factory opens, each
// read as setting_grammar.h says (unset or blank keeps the default):
//   CAMERA_SDK_CAMERA    the ID of the one camera to list; by default every camera is listed
//   CAMERA_SDK_FEATURES  list separated by ';' of Name=Value pairs, written to a camera as it
//                        opens, in their order. Spaces and tabs around names and values are
//                        ignored; a value may be empty and may hold '=' (the first '=' ends the
//                        name). A backend reads a number or integer value by the same grammar.
//   CAMERA_SDK_SAVE_WAIT_MS  integer: how long a save waits for another program to close the
//                        file it replaces, in milliseconds, 0 to kMaxSaveWaitMs (file_replace.h)
//   CAMERA_SDK_FRAME_TIMEOUT  number: seconds that a capture waits for a whole frame beyond two
//                        frame intervals (frame_wait.h), 0.001 to 86400 (default 5)
#ifndef JAI_FACTORY_CAMERA_SETTINGS_H
#define JAI_FACTORY_CAMERA_SETTINGS_H

#include "camera_backend.h"
#include "file_replace.h"
#include "setting_grammar.h"

#include <cstdint>
#include <string>
#include <vector>

struct FeatureSetting {
    std::string name;
    std::string value;
};

constexpr double kDefaultFrameTimeoutSeconds = 5;

struct CameraSettings {
    std::string cameraId; // empty: every camera
    std::vector<FeatureSetting> features;
    uint32_t saveWaitMs = kDefaultSaveWaitMs;
    double frameTimeoutSeconds = kDefaultFrameTimeoutSeconds;
};

// Reads the variables through lookup; returns the refusal line of the first malformed one
// (ConfigProblem), empty when all are well formed.
std::string ParseCameraSettings(const VariableLookup &lookup, CameraSettings *settings);

#endif
