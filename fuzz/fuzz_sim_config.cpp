// Fuzz target: the parser of the SIMCAM_ variables, fed arbitrary values.
#include "sim_config.h"

#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

const char *const kVariables[] = {"SIMCAM_CAMERAS", "SIMCAM_WIDTH",  "SIMCAM_HEIGHT",
                                  "SIMCAM_PIXEL_FORMAT", "SIMCAM_FPS", "SIMCAM_FAIL"};
const size_t kVariableCount = sizeof kVariables / sizeof kVariables[0];

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
    const auto lookup = [&](const char *name) -> const char * {
        for (size_t i = 0; i < kVariableCount; ++i)
            if (std::string(name) == kVariables[i])
                return set[i] ? values[i].c_str() : nullptr;
        return nullptr;
    };
    const ParsedSimConfig parsed = ParseSimConfig(lookup);
    if (!parsed.ok) {
        // The error is one printable line.
        for (const char c : parsed.error)
            if (c < 0x20 || c > 0x7e)
                std::abort();
        return 0;
    }
    const SimConfig &config = parsed.config;
    if (config.cameraCount > 64 || !(config.framesPerSecond >= 0.001) ||
        !(config.framesPerSecond <= 100000))
        std::abort();
    return 0;
}
