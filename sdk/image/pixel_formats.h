// The pixel formats the library knows: one table row a format, asked instead of switched on.
#ifndef JAI_FACTORY_PIXEL_FORMATS_H
#define JAI_FACTORY_PIXEL_FORMATS_H

#include <Jai_Factory.h>

#include <cstddef>
#include <cstdint>
#include <string>

// How a raw frame is converted; each family is one file, convert_<family>.cpp.
enum class PixelFamily {
    Mono,   // grey samples, to grey of the output depth
    Bayer,  // one colour a pixel in a 2x2 mosaic, demosaiced to RGB
    Rgb,    // three colour samples a pixel (and alpha, dropped), to RGB
    Yuv422, // Y a pixel, U and V shared by each pair of pixels, to 8-bit RGB
};

// How samples are laid out in the frame's bytes (multi-byte values little-endian).
enum class Packing {
    Bytes,      // one byte a sample
    Words,      // one 16-bit word a sample, in the machine's byte order
    Lsb,        // PFNC "p" formats: samples bit after bit, least significant bit first
    GigeVision, // GigE Vision's "Packed" formats: 2 samples in 3 bytes, high bits whole
};

struct PixelFormatInfo {
    uint32_t format;
    const char *name; // as the GenICam pixel format naming convention (PFNC) spells it
    PixelFamily family;
    Packing packing;
    uint32_t significantBits; // of each sample: 8 to 16
    uint32_t bytesPerSample;  // 1 or 2: a sample in memory, once unpacked
    uint32_t samplesPerPixel; // 1 mono and Bayer, 3 RGB, 4 with alpha, 2 YUV 4:2:2
    uint32_t pixelsPerGroup;  // the smallest run of whole pixels that fills whole bytes...
    uint32_t bytesPerGroup;   // ...and those bytes. Packed rows run on across row ends.
    const char *layout;       // Bayer: colours of the top-left 2x2 block, row by row ("RGGB");
                              // RGB: the order of the samples ("BGRa"); YUV: "YUYV" or "UYVY"
    uint32_t convertedFormat; // what J_Image_FromRawToImage makes of it
    bool savable;             // J_Image_SaveFile writes it (a converted form)
};

// The entry of format, or of the format called name; null for one the library does not know.
const PixelFormatInfo *FindPixelFormat(uint32_t format);
const PixelFormatInfo *FindPixelFormatByName(const std::string &name);

// The whole table: *count entries.
const PixelFormatInfo *AllPixelFormats(size_t *count);

// Bytes of a width x height image in format. False when a dimension is zero or the size does
// not fit in 32 bits.
bool ImageBytes(const PixelFormatInfo &format, uint32_t width, uint32_t height, uint32_t *bytes);

#endif
