// Conversion of raw frames, the code both backends share: grey for Mono formats, RGB for the
// Bayer (bilinear demosaic), RGB and YUV 4:2:2 formats, of every packing (pixel_formats.h).
//
// Gains are in units of 1/4096 (4096 leaves a value as it is), with rounding to nearest and
// clamping at the largest sample value. RGB images take the red, green and blue gains; grey
// images take the green gain, as green is the channel that carries brightness.
#ifndef JAI_FACTORY_IMAGE_CONVERT_H
#define JAI_FACTORY_IMAGE_CONVERT_H

#include "pixel_formats.h"
#include "row_source.h"
#include "sample_maps.h"

#include <Jai_Factory.h>

#include <cstdint>

// A raw frame that DescribeConversion accepted: its format's table row, looked up once for
// the whole conversion, and its converted image.
struct Conversion {
    const PixelFormatInfo *rawFormat;
    J_IMAGE_RECORD converted; // pixel format, width, height, imageSize, frameId and
                              // timestampUs, with a null buffer
};

// Checks rawFrame and describes its conversion in *conversion. A format the library does not
// know fails with one line on standard error naming it.
J_STATUS_TYPE DescribeConversion(const J_IMAGE_RECORD &rawFrame, Conversion *conversion);

// True when converted has the pixel format and dimensions of expected (as DescribeConversion
// gives them) and room for its pixels.
bool MatchesConversion(const J_IMAGE_RECORD &converted, const J_IMAGE_RECORD &expected);

// Converts the pixels of rawFrame, which DescribeConversion accepted with rawFormat, into
// output, which holds the imageSize that DescribeConversion gave. Large frames are split
// across two threads. Fails only when it cannot get the memory it needs to unpack.
J_STATUS_TYPE ConvertPixels(const J_IMAGE_RECORD &rawFrame, const PixelFormatInfo &rawFormat,
                            uint8_t *output, const Gains &gains);

// ConvertPixels with the rows split in halves, the second half on a second thread: what it
// does for large frames. rawFrame has at least two rows.
J_STATUS_TYPE ConvertPixelsOnTwoThreads(const J_IMAGE_RECORD &rawFrame,
                                        const PixelFormatInfo &rawFormat, uint8_t *output,
                                        const Gains &gains);

// ConvertPixels on the calling thread alone, in strips of rowsPerStrip rows, with the fast
// loops or the plain ones: the same bytes.
J_STATUS_TYPE ConvertPixelsInStrips(const J_IMAGE_RECORD &rawFrame,
                                    const PixelFormatInfo &rawFormat, uint8_t *output,
                                    const Gains &gains, uint32_t rowsPerStrip, RowLoops loops);

#endif
