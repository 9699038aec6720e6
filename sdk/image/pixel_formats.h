// The pixel formats the library knows: sample size, colour layout and converted form.
#ifndef JAI_FACTORY_PIXEL_FORMATS_H
#define JAI_FACTORY_PIXEL_FORMATS_H

#include <Jai_Factory.h>

#include <cstdint>

struct PixelFormatInfo {
    uint32_t format;
    uint32_t bytesPerSample;  // 1, or 2 for a 16-bit word in the machine's byte order
    uint32_t significantBits; // of each sample: 8, 10, 12 or 16
    uint32_t samplesPerPixel; // 1 for raw and grey, 3 for RGB
    const char *mosaic;       // Bayer colours of the top-left 2x2 block, row by row; else null
    uint32_t convertedFormat; // what J_Image_FromRawToImage makes of it; 0 if it is no raw format
    bool savable;             // J_Image_SaveFile writes it
};

// The entry of format; null for a format the library does not know.
const PixelFormatInfo *FindPixelFormat(uint32_t format);

// Bytes of a width x height image in format. False when a dimension is zero or the size does
// not fit in 32 bits.
bool ImageBytes(const PixelFormatInfo &format, uint32_t width, uint32_t height, uint32_t *bytes);

#endif
