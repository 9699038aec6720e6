// Fuzz target: the settings' grammar, and the parsers of the SIMCAM_ variables and of the
// settings of every backend (CAMERA_SDK_CAMERA, CAMERA_SDK_FEATURES, CAMERA_SDK_FRAME_TIMEOUT,
// CAMERA_SDK_SAVE_WAIT_MS), fed arbitrary values.
#include "camera_settings.h"
#include "setting_grammar.h"
#include "sim_config.h"

#include <cfloat>
#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

const char *const kVariables[] = {"SIMCAM_CAMERAS",
                                  "SIMCAM_WIDTH",
                                  "SIMCAM_HEIGHT",
                                  "SIMCAM_PIXEL_FORMAT",
                                  "SIMCAM_FPS",
                                  "SIMCAM_FAIL",
                                  "SIMCAM_LOST_AFTER",
                                  "SIMCAM_LOST_FOR",
                                  "CAMERA_SDK_CAMERA",
                                  "CAMERA_SDK_FEATURES",
                                  "CAMERA_SDK_FRAME_TIMEOUT",
                                  "CAMERA_SDK_SAVE_WAIT_MS"};

const size_t kVariableCount = sizeof kVariables / sizeof kVariables[0];

// The error is one printable line.
void CheckErrorLine(const std::string &error)
{
    for (const char c : error)
        if (c < 0x20 || c > 0x7e)
            std::abort();
}

// The grammar on its own: an integer is also a number, a list's items are trimmed, not blank
// and free of the separator, and a refusal is one printable line.
void CheckGrammar(const std::string &value)
{
    int64_t integer = 0;
    double number = 0;
    if (ParseInteger(value, INT64_MIN, INT64_MAX, &integer).empty() &&
        !ParseNumber(value, -DBL_MAX, DBL_MAX, &number).empty())
        std::abort();
    for (const std::string &item : SplitList(value, ','))
        if (item.empty() || item != Trimmed(item) || item.find(',') != std::string::npos)
            std::abort();
    CheckErrorLine(ConfigProblem("VARIABLE", value, "is refused"));
}

} // namespace

// Input: the values of the variables in the order above, separated by NUL bytes; a missing
// value is unset.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    std::string values[kVariableCount];
    bool set[kVariableCount] = {};
    size_t index = 0;
    for (size_t at = 0; at < size && index < kVariableCount; ++at) {
        set[index] = true;
        if (data[at] == 0)
            ++index;
        else
            values[index] += static_cast<char>(data[at]);
    }
    for (const std::string &value : values)
        CheckGrammar(value);
    const auto lookup = [&](const char *name) -> const char * {
        for (size_t i = 0; i < kVariableCount; ++i)
            if (std::string(name) == kVariables[i])
                return set[i] ? values[i].c_str() : nullptr;
        return nullptr;
    };
    CameraSettings settings;
    const std::string settingsError = ParseCameraSettings(lookup, &settings);
    CheckErrorLine(settingsError);
    if (settingsError.empty() &&
        (!(settings.frameTimeoutSeconds >= 0.001 && settings.frameTimeoutSeconds <= 86400) ||
         settings.saveWaitMs > 60000))
        std::abort();
    for (const FeatureSetting &feature : settings.features)
        if (feature.name.empty() || feature.name.find(';') != std::string::npos ||
            feature.value.find(';') != std::string::npos)
            std::abort();
    const ParsedSimConfig parsed = ParseSimConfig(lookup);
    if (!parsed.ok) {
        CheckErrorLine(parsed.error);
        return 0;
    }
    const SimConfig &config = parsed.config;
    if (config.cameraCount > 64 || !(config.framesPerSecond >= 0.001) ||
        !(config.framesPerSecond <= 100000))
        std::abort();
    return 0;
}
