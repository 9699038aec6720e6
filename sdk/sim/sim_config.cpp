// Parsing of the SIMCAM_ variables into the simulated camera's settings.
#include "sim_config.h"

#include "pixel_formats.h"

#include <charconv>
#include <cstdio>
#include <limits>
#include <system_error>

namespace {

const int64_t kMaxCameras = 64;

struct NamedFailure {
    const char *name;
    FailurePoint point;
};

const NamedFailure kFailureNames[] = {
    {"J_Factory_Open", FailurePoint::FactoryOpen},
    {"J_Factory_UpdateCameraList", FailurePoint::UpdateCameraList},
    {"J_Factory_GetNumOfCameras", FailurePoint::GetNumOfCameras},
    {"J_Factory_GetCameraIDByIndex", FailurePoint::GetCameraIdByIndex},
    {"J_Camera_Open", FailurePoint::CameraOpen},
    {"J_Image_OpenStream", FailurePoint::OpenStream},
    {"J_Image_Malloc", FailurePoint::ImageMalloc},
    {"J_Image_FromRawToImage", FailurePoint::FromRawToImage},
    {"J_Image_SaveFile", FailurePoint::SaveFile},
    {"J_Image_Free", FailurePoint::ImageFree},
    {"Width", FailurePoint::Width},
    {"Height", FailurePoint::Height},
    {"AcquisitionStart", FailurePoint::AcquisitionStart},
    {"AcquisitionStop", FailurePoint::AcquisitionStop},
    {"FrameData", FailurePoint::FrameData},
    {"FrameStart", FailurePoint::FrameStart},
};

// The variable's value; empty when it is unset, which the readers take as "keep the default".
std::string ValueOf(const VariableLookup &lookup, const char *variable)
{
    const char *value = lookup(variable);
    return value == nullptr ? std::string() : std::string(value);
}

bool AllDigits(const std::string &text)
{
    return !text.empty() && text.find_first_not_of("0123456789") == std::string::npos;
}

// Each reader returns the problem with its variable, empty when there is none.

// An optional minus sign, then decimal digits.
std::string ReadInteger(const VariableLookup &lookup, const char *variable, int64_t minimum,
                        int64_t maximum, int64_t *value)
{
    const std::string text = ValueOf(lookup, variable);
    if (text.empty())
        return {};
    const bool negative = text[0] == '-';
    if (!AllDigits(negative ? text.substr(1) : text))
        return ConfigProblem(variable, text, "is not an integer");
    int64_t parsed = 0;
    const std::from_chars_result result =
        std::from_chars(text.data(), text.data() + text.size(), parsed);
    if (result.ec != std::errc() || parsed < minimum || parsed > maximum)
        return ConfigProblem(variable, text,
                             "is out of range (" + std::to_string(minimum) + " to " +
                                 std::to_string(maximum) + ")");
    *value = parsed;
    return {};
}

// Digits, optionally followed by a point and more digits.
std::string ReadFramesPerSecond(const VariableLookup &lookup, double *value)
{
    const char *variable = "SIMCAM_FPS";
    const std::string text = ValueOf(lookup, variable);
    if (text.empty())
        return {};
    const size_t point = text.find('.');
    const bool wellFormed = AllDigits(text.substr(0, point)) &&
                            (point == std::string::npos || AllDigits(text.substr(point + 1)));
    if (!wellFormed)
        return ConfigProblem(variable, text, "is not a number");
    double parsed = 0;
    const std::from_chars_result result =
        std::from_chars(text.data(), text.data() + text.size(), parsed, std::chars_format::fixed);
    if (result.ec != std::errc() || parsed < kMinFramesPerSecond || parsed > kMaxFramesPerSecond)
        return ConfigProblem(variable, text, "is out of range (0.001 to 100000)");
    *value = parsed;
    return {};
}

std::string ReadPixelFormat(const VariableLookup &lookup, uint32_t *format)
{
    const char *variable = "SIMCAM_PIXEL_FORMAT";
    const std::string text = ValueOf(lookup, variable);
    if (text.empty())
        return {};
    const std::string problem = FindSimPixelFormat(text, format);
    return problem.empty() ? problem : ConfigProblem(variable, text, "is " + problem);
}

std::string ReadFailures(const VariableLookup &lookup, FailureSet *failures)
{
    const char *variable = "SIMCAM_FAIL";
    const std::string text = ValueOf(lookup, variable);
    if (text.empty())
        return {};
    FailureSet parsed = 0;
    size_t start = 0;
    for (;;) {
        const size_t comma = text.find(',', start);
        const std::string item = text.substr(start, comma - start);
        if (item.empty())
            return ConfigProblem(variable, text, "has an empty item");
        const NamedFailure *found = nullptr;
        for (const NamedFailure &named : kFailureNames) {
            if (item == named.name)
                found = &named;
        }
        if (found == nullptr)
            return ConfigProblem(variable, item, "is not an operation that can be made to fail");
        parsed |= FailureBit(found->point);
        if (comma == std::string::npos)
            break;
        start = comma + 1;
    }
    *failures = parsed;
    return {};
}

} // namespace

std::string FindSimPixelFormat(const std::string &name, uint32_t *format)
{
    const PixelFormatInfo *named = FindPixelFormatByName(name);
    if (named == nullptr)
        return "not a pixel format this library knows (PFNC names, such as Mono12p)";
    *format = named->format;
    return {};
}

std::string ConfigProblem(const char *variable, const std::string &value,
                          const std::string &problem)
{
    std::string quoted;
    for (const char c : value) {
        const unsigned char byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte > 0x7E || c == '"' || c == '\\') {
            char escaped[5];
            std::snprintf(escaped, sizeof escaped, "\\x%02X", byte);
            quoted += escaped;
        } else {
            quoted += c;
        }
    }
    return std::string(variable) + ": \"" + quoted + "\" " + problem;
}

ParsedSimConfig ParseSimConfig(const VariableLookup &lookup)
{
    const int64_t minimum = std::numeric_limits<int64_t>::min();
    const int64_t maximum = std::numeric_limits<int64_t>::max();
    SimConfig config;
    int64_t cameraCount = config.cameraCount;
    std::string error = ReadInteger(lookup, "SIMCAM_CAMERAS", 0, kMaxCameras, &cameraCount);
    if (error.empty())
        error = ReadInteger(lookup, "SIMCAM_WIDTH", minimum, maximum, &config.width);
    if (error.empty())
        error = ReadInteger(lookup, "SIMCAM_HEIGHT", minimum, maximum, &config.height);
    if (error.empty())
        error = ReadPixelFormat(lookup, &config.pixelFormat);
    if (error.empty())
        error = ReadFramesPerSecond(lookup, &config.framesPerSecond);
    if (error.empty())
        error = ReadFailures(lookup, &config.failures);
    if (!error.empty())
        return ParsedSimConfig{false, SimConfig{}, error};
    config.cameraCount = static_cast<uint32_t>(cameraCount);
    return ParsedSimConfig{true, config, {}};
}
