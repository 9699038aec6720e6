// The simulated camera's test pattern, in the encoding of any pixel format.
#ifndef JAI_FACTORY_SIM_PATTERN_H
#define JAI_FACTORY_SIM_PATTERN_H

#include "pixel_formats.h"

#include <cstdint>

// Value of the diagonal ramp x + y + frameId (plus offset) as a sample of significantBits:
// ramp mod 256 for 8 bits; for deeper samples (ramp mod 1024) in the top 10 bits, so that a
// 16-bit sample is (ramp mod 1024) * 64 and a 10-bit one ramp mod 1024.
inline uint16_t SimPatternSample(uint32_t x, uint32_t y, uint64_t frameId, uint32_t significantBits,
                                 uint32_t offset = 0)
{
    const uint64_t ramp = uint64_t{x} + y + frameId + offset;
    return static_cast<uint16_t>(significantBits == 8 ? ramp % 256
                                                      : (ramp % 1024) << (significantBits - 10));
}

// Renders frame frameId of the pattern into data, ImageBytes(format, width, height) bytes,
// through samples, room for one row's samples (width * samplesPerPixel).
// Mono and Bayer: the ramp. RGB: red the ramp, green the ramp + 85, blue the ramp + 170, alpha
// the largest value. YUV 4:2:2: Y the ramp, U and V those of the pair's first pixel + 85 and
// + 170.
void RenderSimPattern(const PixelFormatInfo &format, uint32_t width, uint32_t height,
                      uint64_t frameId, uint16_t *samples, uint8_t *data);

#endif
