// The simulated camera's writable features.
#include "sim_features.h"

#include "setting_grammar.h"

#include <limits>

// The range of the features Width and Height.
const int64_t kMaxDimension = std::numeric_limits<uint32_t>::max();

std::string SetSimFeature(const std::string &feature, const std::string &value, SimConfig *config)
{
    if (feature == "Width")
        return ParseInteger(value, 1, kMaxDimension, &config->width);
    if (feature == "Height")
        return ParseInteger(value, 1, kMaxDimension, &config->height);
    if (feature == "PixelFormat")
        return FindSimPixelFormat(value, &config->pixelFormat);
    if (feature == "AcquisitionFrameRate")
        return ParseNumber(value, kMinFramesPerSecond, kMaxFramesPerSecond,
                           &config->framesPerSecond);
    return "no such feature (the simulated camera writes Width, Height, PixelFormat, "
           "AcquisitionFrameRate)";
}
