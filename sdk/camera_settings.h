// The settings that every backend takes from the environment when the factory opens:
//   CAMERA_SDK_CAMERA    the ID of the one camera to list; unset or empty lists every camera
//   CAMERA_SDK_FEATURES  Name=Value pairs separated by ';', written to a camera as it opens,
//                        in their order. Spaces and tabs around names and values are ignored,
//                        and so are items that are empty or blank (a trailing ';', say); a
//                        value may be empty and may hold '=' (the first '=' ends the name).
//   CAMERA_SDK_SAVE_WAIT_MS  how long a save waits for another program to close the file it
//                        replaces, in milliseconds, 0 to kMaxSaveWaitMs (file_replace.h)
//   CAMERA_SDK_FRAME_TIMEOUT  seconds that a capture waits for a whole frame beyond two frame
//                        intervals (frame_wait.h): a number from 0.001 to 86400 (default 5)
// and the parsing of the values written through CAMERA_SDK_FEATURES, the same in every backend.
#ifndef JAI_FACTORY_CAMERA_SETTINGS_H
#define JAI_FACTORY_CAMERA_SETTINGS_H

#include "camera_backend.h"
#include "file_replace.h"

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

// Reads the variables through lookup; returns the problem of the first malformed one as an
// error line naming the variable (ConfigProblem), empty when all are well formed.
std::string ParseCameraSettings(const VariableLookup &lookup, CameraSettings *settings);

// A feature value as an integer: an optional minus sign, then decimal digits, within 64 bits.
bool ParseFeatureInteger(const std::string &text, int64_t *value);

// A feature value as a finite number: decimal, with an optional minus sign, fraction and
// exponent (2.5, -1, 1e-3).
bool ParseFeatureFloat(const std::string &text, double *value);

#endif
