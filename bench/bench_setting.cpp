// Parsing of benchmark settings, and raw frames of the simulated camera's pattern.
#include "bench_setting.h"

#include "pixel_formats.h"
#include "sim_pattern.h"

#include <limits>

namespace {

// The part of text before separator, which is removed from text with it; false when absent.
bool TakeField(std::string *text, char separator, std::string *field)
{
    const size_t at = text->find(separator);
    if (at == std::string::npos)
        return false;
    *field = text->substr(0, at);
    text->erase(0, at + 1);
    return true;
}

} // namespace

bool ParseBenchSetting(const std::string &text, BenchSetting *setting, std::string *error)
{
    std::string rest = text;
    std::string width;
    std::string height;
    std::string format;
    if (!TakeField(&rest, 'x', &width) || !TakeField(&rest, ':', &height) ||
        !TakeField(&rest, ':', &format)) {
        *error = "setting \"" + text + "\" is not WIDTHxHEIGHT:FORMAT:FPS";
        return false;
    }
    const Variables variables = {{"SIMCAM_WIDTH", width},
                                 {"SIMCAM_HEIGHT", height},
                                 {"SIMCAM_PIXEL_FORMAT", format},
                                 {"SIMCAM_FPS", rest}};
    const ParsedSimConfig parsed = ParseSimConfig([&variables](const char *name) -> const char * {
        for (const auto &variable : variables) {
            if (variable.first == name)
                return variable.second.c_str();
        }
        return nullptr;
    });
    if (!parsed.ok) {
        *error = "setting \"" + text + "\": " + parsed.error;
        return false;
    }
    const int64_t largest = std::numeric_limits<int32_t>::max();
    uint32_t frameBytes = 0;
    if (parsed.config.width < 1 || parsed.config.height < 1 || parsed.config.width > largest ||
        parsed.config.height > largest ||
        !ImageBytes(*FindPixelFormat(parsed.config.pixelFormat),
                    static_cast<uint32_t>(parsed.config.width),
                    static_cast<uint32_t>(parsed.config.height), &frameBytes)) {
        *error = "setting \"" + text + "\": no frame of that size";
        return false;
    }
    setting->label = width + "x" + height + " " + format + " at " + rest + " fps";
    setting->variables = variables;
    setting->config = parsed.config;
    return true;
}

std::vector<std::string> DefaultBenchSettings()
{
    return {"640x480:Mono8:200", "1280x1024:BayerRG8:100", "2448x2048:BayerRG8:30",
            "4096x3000:BayerRG16:10"};
}

void MakeRawFrame(const SimConfig &config, uint64_t frameId, RawFrame *frame)
{
    const PixelFormatInfo &format = *FindPixelFormat(config.pixelFormat);
    const uint32_t width = static_cast<uint32_t>(config.width);
    const uint32_t height = static_cast<uint32_t>(config.height);
    uint32_t bytes = 0;
    ImageBytes(format, width, height, &bytes);
    frame->samples.assign((size_t{bytes} + 1) / 2, 0);
    std::vector<uint16_t> rowSamples(size_t{width} * format.samplesPerPixel);
    uint8_t *bytesOut = reinterpret_cast<uint8_t *>(frame->samples.data());
    RenderSimPattern(format, width, height, frameId, rowSamples.data(), bytesOut);
    frame->record = J_IMAGE_RECORD{};
    frame->record.pixelFormat = config.pixelFormat;
    frame->record.width = width;
    frame->record.height = height;
    frame->record.imageSize = bytes;
    frame->record.buffer = bytesOut;
    frame->record.frameId = frameId;
}
