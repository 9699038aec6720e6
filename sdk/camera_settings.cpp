// Parsing of CAMERA_SDK_CAMERA, CAMERA_SDK_FEATURES, CAMERA_SDK_FRAME_TIMEOUT and
// CAMERA_SDK_SAVE_WAIT_MS.
#include "camera_settings.h"

#include "setting_grammar.h"

namespace {

const char *const kFeaturesVariable = "CAMERA_SDK_FEATURES";
const double kMinFrameTimeoutSeconds = 0.001;
const double kMaxFrameTimeoutSeconds = 86400;

// Returns the problem with item (trimmed, not blank), empty when it is one Name=Value pair.
std::string ParseFeatureItem(const std::string &item, std::vector<FeatureSetting> *features)
{
    const size_t equals = item.find('=');
    if (equals == std::string::npos)
        return ConfigProblem(kFeaturesVariable, item, "has no '=' (Name=Value;...)");
    const std::string name = Trimmed(item.substr(0, equals));
    if (name.empty())
        return ConfigProblem(kFeaturesVariable, item, "has no feature name");
    features->push_back(FeatureSetting{name, Trimmed(item.substr(equals + 1))});
    return {};
}

} // namespace

std::string ParseCameraSettings(const VariableLookup &lookup, CameraSettings *settings)
{
    CameraSettings parsed;
    parsed.cameraId = Trimmed(VariableValue(lookup, "CAMERA_SDK_CAMERA"));
    for (const std::string &item : SplitList(VariableValue(lookup, kFeaturesVariable), ';')) {
        const std::string problem = ParseFeatureItem(item, &parsed.features);
        if (!problem.empty())
            return problem;
    }
    int64_t saveWaitMs = parsed.saveWaitMs;
    std::string problem =
        ReadInteger(lookup, "CAMERA_SDK_SAVE_WAIT_MS", 0, kMaxSaveWaitMs, &saveWaitMs);
    if (problem.empty())
        problem = ReadNumber(lookup, "CAMERA_SDK_FRAME_TIMEOUT", kMinFrameTimeoutSeconds,
                             kMaxFrameTimeoutSeconds, &parsed.frameTimeoutSeconds);
    if (!problem.empty())
        return problem;
    parsed.saveWaitMs = static_cast<uint32_t>(saveWaitMs);
    *settings = parsed;
    return {};
}
