// The simulated camera's writable features.
#include "sim_features.h"

#include "camera_settings.h"

#include <limits>

namespace {

std::string SetDimension(const std::string &value, int64_t *dimension)
{
    const int64_t maximum = std::numeric_limits<uint32_t>::max();
    int64_t parsed = 0;
    if (!ParseFeatureInteger(value, &parsed))
        return "not an integer";
    if (parsed < 1 || parsed > maximum)
        return "out of range (1 to " + std::to_string(maximum) + ")";
    *dimension = parsed;
    return {};
}

std::string SetFrameRate(const std::string &value, double *framesPerSecond)
{
    double parsed = 0;
    if (!ParseFeatureFloat(value, &parsed))
        return "not a number";
    if (parsed < kMinFramesPerSecond || parsed > kMaxFramesPerSecond)
        return "out of range (0.001 to 100000)";
    *framesPerSecond = parsed;
    return {};
}

} // namespace

std::string SetSimFeature(const std::string &feature, const std::string &value, SimConfig *config)
{
    if (feature == "Width")
        return SetDimension(value, &config->width);
    if (feature == "Height")
        return SetDimension(value, &config->height);
    if (feature == "PixelFormat")
        return FindSimPixelFormat(value, &config->pixelFormat);
    if (feature == "AcquisitionFrameRate")
        return SetFrameRate(value, &config->framesPerSecond);
    return "no such feature (the simulated camera writes Width, Height, PixelFormat, "
           "AcquisitionFrameRate)";
}
