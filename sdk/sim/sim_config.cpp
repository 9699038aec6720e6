// Parsing of the SIMCAM_ variables into the simulated camera's settings.
#include "sim_config.h"

#include "pixel_formats.h"
#include "setting_grammar.h"

#include <limits>

namespace {

const int64_t kMaxCameras = 64;
const int64_t kMaxLostAfterFrames = 1000000000;
const double kMaxLostForSeconds = 86400;

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

// Each reader returns the refusal line for its variable, empty when there is none.

std::string ReadPixelFormat(const VariableLookup &lookup, uint32_t *format)
{
    const char *variable = "SIMCAM_PIXEL_FORMAT";
    const std::string given = VariableValue(lookup, variable);
    const std::string name = Trimmed(given);
    if (name.empty())
        return {};
    const std::string problem = FindSimPixelFormat(name, format);
    return problem.empty() ? problem : ConfigProblem(variable, given, "is " + problem);
}

std::string ReadFailures(const VariableLookup &lookup, FailureSet *failures)
{
    const char *variable = "SIMCAM_FAIL";
    FailureSet parsed = 0;
    for (const std::string &item : SplitList(VariableValue(lookup, variable), ',')) {
        const NamedFailure *found = nullptr;
        for (const NamedFailure &named : kFailureNames) {
            if (item == named.name)
                found = &named;
        }
        if (found == nullptr)
            return ConfigProblem(variable, item, "is not an operation that can be made to fail");
        parsed |= FailureBit(found->point);
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
        error = ReadNumber(lookup, "SIMCAM_FPS", kMinFramesPerSecond, kMaxFramesPerSecond,
                           &config.framesPerSecond);
    if (error.empty())
        error = ReadFailures(lookup, &config.failures);
    int64_t lostAfter = 0;
    if (error.empty())
        error = ReadInteger(lookup, "SIMCAM_LOST_AFTER", 0, kMaxLostAfterFrames, &lostAfter);
    if (error.empty())
        error =
            ReadNumber(lookup, "SIMCAM_LOST_FOR", 0, kMaxLostForSeconds, &config.lostForSeconds);
    if (!error.empty())
        return ParsedSimConfig{false, SimConfig{}, error};
    config.cameraCount = static_cast<uint32_t>(cameraCount);
    config.lostAfterFrames = static_cast<uint64_t>(lostAfter);
    return ParsedSimConfig{true, config, {}};
}
