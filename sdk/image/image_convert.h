// Conversion of raw frames: grey for Mono formats, RGB by bilinear demosaic for Bayer formats.
//
// Gains are in units of 1/4096 (4096 leaves a value as it is), with rounding to nearest and
// clamping at the largest sample value. RGB images take the red, green and blue gains; grey
// images take the green gain, as green is the channel that carries brightness.
#ifndef JAI_FACTORY_IMAGE_CONVERT_H
#define JAI_FACTORY_IMAGE_CONVERT_H

#include <Jai_Factory.h>

#include <cstdint>

struct Gains {
    uint32_t red;
    uint32_t green;
    uint32_t blue;
};

// Checks rawFrame and describes its converted image in *converted: pixel format, width,
// height, imageSize, frameId and timestampUs, with a null buffer.
J_STATUS_TYPE DescribeConversion(const J_IMAGE_RECORD &rawFrame, J_IMAGE_RECORD *converted);

// True when converted has the pixel format and dimensions of expected (as DescribeConversion
// gives them) and room for its pixels.
bool MatchesConversion(const J_IMAGE_RECORD &converted, const J_IMAGE_RECORD &expected);

// Converts the pixels of rawFrame, which DescribeConversion accepted, into output, which holds
// the imageSize that DescribeConversion gave.
void ConvertPixels(const J_IMAGE_RECORD &rawFrame, uint8_t *output, const Gains &gains);

#endif
