// Parsing of CAMERA_SDK_CAMERA, CAMERA_SDK_FEATURES, CAMERA_SDK_FRAME_TIMEOUT and
// CAMERA_SDK_SAVE_WAIT_MS, and of the values they carry.
#include "camera_settings.h"

#include "sim_config.h"

#include <charconv>
#include <cmath>
#include <system_error>

namespace {

const char *const kFeaturesVariable = "CAMERA_SDK_FEATURES";
const char *const kFrameTimeoutVariable = "CAMERA_SDK_FRAME_TIMEOUT";
const char *const kSaveWaitVariable = "CAMERA_SDK_SAVE_WAIT_MS";
const double kMinFrameTimeoutSeconds = 0.001;
const double kMaxFrameTimeoutSeconds = 86400;

std::string Trimmed(const std::string &text)
{
    const char *blank = " \t";
    const size_t first = text.find_first_not_of(blank);
    if (first == std::string::npos)
        return {};
    return text.substr(first, text.find_last_not_of(blank) - first + 1);
}

// Returns the problem with item, empty when it is one Name=Value pair or blank.
std::string ParseFeatureItem(const std::string &item, std::vector<FeatureSetting> *features)
{
    if (Trimmed(item).empty())
        return {};
    const size_t equals = item.find('=');
    if (equals == std::string::npos)
        return ConfigProblem(kFeaturesVariable, Trimmed(item), "has no '=' (Name=Value;...)");
    const std::string name = Trimmed(item.substr(0, equals));
    if (name.empty())
        return ConfigProblem(kFeaturesVariable, Trimmed(item), "has no feature name");
    features->push_back(FeatureSetting{name, Trimmed(item.substr(equals + 1))});
    return {};
}

// Empty when unset or empty (the default stays), else whole milliseconds within the range.
std::string ParseSaveWait(const char *value, uint32_t *milliseconds)
{
    const std::string text = value == nullptr ? "" : value;
    if (text.empty())
        return {};
    int64_t parsed = 0;
    if (!ParseFeatureInteger(text, &parsed))
        return ConfigProblem(kSaveWaitVariable, text, "is not an integer");
    if (parsed < 0 || parsed > kMaxSaveWaitMs)
        return ConfigProblem(kSaveWaitVariable, text,
                             "is out of range (0 to " + std::to_string(kMaxSaveWaitMs) + ")");
    *milliseconds = static_cast<uint32_t>(parsed);
    return {};
}

// Returns the problem with the variable's value, empty when it is unset or well formed.
std::string ParseFrameTimeout(const char *value, double *seconds)
{
    const std::string text = value == nullptr ? "" : value;
    if (text.empty())
        return {};
    double parsed = 0;
    if (!ParseFeatureFloat(text, &parsed) || parsed < kMinFrameTimeoutSeconds ||
        parsed > kMaxFrameTimeoutSeconds)
        return ConfigProblem(kFrameTimeoutVariable, text,
                             "is not a number of seconds from 0.001 to 86400");
    *seconds = parsed;
    return {};
}

} // namespace

std::string ParseCameraSettings(const VariableLookup &lookup, CameraSettings *settings)
{
    CameraSettings parsed;
    const char *cameraId = lookup("CAMERA_SDK_CAMERA");
    if (cameraId != nullptr)
        parsed.cameraId = cameraId;
    const char *list = lookup(kFeaturesVariable);
    const std::string text = list == nullptr ? "" : list;
    size_t start = 0;
    while (start <= text.size()) {
        const size_t semicolon = text.find(';', start);
        const std::string problem =
            ParseFeatureItem(text.substr(start, semicolon - start), &parsed.features);
        if (!problem.empty())
            return problem;
        if (semicolon == std::string::npos)
            break;
        start = semicolon + 1;
    }
    std::string problem = ParseSaveWait(lookup(kSaveWaitVariable), &parsed.saveWaitMs);
    if (problem.empty())
        problem = ParseFrameTimeout(lookup(kFrameTimeoutVariable), &parsed.frameTimeoutSeconds);
    if (!problem.empty())
        return problem;
    *settings = parsed;
    return {};
}

bool ParseFeatureInteger(const std::string &text, int64_t *value)
{
    const size_t digits = !text.empty() && text[0] == '-' ? 1 : 0;
    if (text.size() == digits || text.find_first_not_of("0123456789", digits) != std::string::npos)
        return false;
    int64_t parsed = 0;
    const std::from_chars_result result =
        std::from_chars(text.data(), text.data() + text.size(), parsed);
    if (result.ec != std::errc())
        return false;
    *value = parsed;
    return true;
}

bool ParseFeatureFloat(const std::string &text, double *value)
{
    double parsed = 0;
    const char *end = text.data() + text.size();
    const std::from_chars_result result = std::from_chars(text.data(), end, parsed);
    if (result.ec != std::errc() || result.ptr != end || !std::isfinite(parsed))
        return false;
    *value = parsed;
    return true;
}
