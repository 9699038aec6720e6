// The test pattern's samples, row by row, packed as the pixel format packs them.
#include "sim_pattern.h"

#include "packing.h"

#include <cstring>

namespace {

const uint32_t kGreenOffset = 85;
const uint32_t kBlueOffset = 170;

// The pattern's offset for a sample named by its layout letter.
uint32_t OffsetOf(char letter)
{
    return letter == 'G' || letter == 'U'   ? kGreenOffset
           : letter == 'B' || letter == 'V' ? kBlueOffset
                                            : 0;
}

// Row y's samples of a format with a layout of letters (RGB, YUV 4:2:2): the letters repeat
// every pixel (RGB) or every pair of pixels (YUV), and the k-th Y of a pair is pixel k's.
// An odd width of YUV 4:2:2 ends its row with a part pair (such a frame is not converted).
void RenderLetters(const PixelFormatInfo &format, uint32_t width, uint32_t y, uint64_t frameId,
                   uint16_t *samples)
{
    const char *letters = format.layout;
    const uint32_t letterCount = static_cast<uint32_t>(std::strlen(letters));
    const uint32_t pixelsPerRun = letterCount / format.samplesPerPixel;
    const uint32_t rowSamples = width * format.samplesPerPixel;
    const uint16_t opaque = static_cast<uint16_t>((1u << format.significantBits) - 1);
    uint32_t written = 0;
    for (uint32_t first = 0; first < width; first += pixelsPerRun) {
        uint32_t lumaSeen = 0;
        for (uint32_t i = 0; i < letterCount && written < rowSamples; ++i, ++written) {
            const char letter = letters[i];
            const uint32_t x = letter == 'Y' ? first + lumaSeen++ : first;
            samples[written] =
                letter == 'a'
                    ? opaque
                    : SimPatternSample(x, y, frameId, format.significantBits, OffsetOf(letter));
        }
    }
}

} // namespace

void RenderSimPattern(const PixelFormatInfo &format, uint32_t width, uint32_t height,
                      uint64_t frameId, uint16_t *samples, uint8_t *data)
{
    const uint32_t rowSamples = width * format.samplesPerPixel;
    for (uint32_t y = 0; y < height; ++y) {
        if (format.layout == nullptr || format.family == PixelFamily::Bayer) {
            // The ramp wraps at 256 or 1024: one step a pixel from the row's first value.
            const uint32_t wrap = format.significantBits == 8 ? 256 : 1024;
            const uint32_t shift = format.significantBits == 8 ? 0 : format.significantBits - 10;
            uint32_t ramp = static_cast<uint32_t>((uint64_t{y} + frameId) % wrap);
            for (uint32_t x = 0; x < width; ++x, ramp = ramp + 1 == wrap ? 0 : ramp + 1)
                samples[x] = static_cast<uint16_t>(ramp << shift);
        } else {
            RenderLetters(format, width, y, frameId, samples);
        }
        PackSamples(format, samples, uint64_t{y} * rowSamples, rowSamples, data);
    }
}
