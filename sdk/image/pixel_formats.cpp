// The table of pixel formats and the image size computed from it.
#include "pixel_formats.h"

#include <limits>

namespace {

using F = PixelFamily;
using P = Packing;

// Mono8, Mono16, RGB8 and RGB16 have the values of J_PF_GRAY8, J_PF_GRAY16, J_PF_RGB24 and
// J_PF_RGB48: those entries describe both the raw frame and the converted image.
// clang-format off
const PixelFormatInfo kPixelFormats[] = {
    // format                  name               family    packing       bits bytes samples group bytes layout  converted    savable
    {J_PF_MONO8,               "Mono8",           F::Mono,  P::Bytes,      8, 1, 1, 1, 1, nullptr, J_PF_GRAY8,  true},
    {J_PF_MONO10,              "Mono10",          F::Mono,  P::Words,     10, 2, 1, 1, 2, nullptr, J_PF_GRAY16, false},
    {J_PF_MONO12,              "Mono12",          F::Mono,  P::Words,     12, 2, 1, 1, 2, nullptr, J_PF_GRAY16, false},
    {J_PF_MONO14,              "Mono14",          F::Mono,  P::Words,     14, 2, 1, 1, 2, nullptr, J_PF_GRAY16, false},
    {J_PF_MONO16,              "Mono16",          F::Mono,  P::Words,     16, 2, 1, 1, 2, nullptr, J_PF_GRAY16, true},
    {J_PF_MONO10P,             "Mono10p",         F::Mono,  P::Lsb,       10, 2, 1, 4, 5, nullptr, J_PF_GRAY16, false},
    {J_PF_MONO12P,             "Mono12p",         F::Mono,  P::Lsb,       12, 2, 1, 2, 3, nullptr, J_PF_GRAY16, false},
    {J_PF_MONO10_PACKED,       "Mono10Packed",    F::Mono,  P::GigeVision,10, 2, 1, 2, 3, nullptr, J_PF_GRAY16, false},
    {J_PF_MONO12_PACKED,       "Mono12Packed",    F::Mono,  P::GigeVision,12, 2, 1, 2, 3, nullptr, J_PF_GRAY16, false},
    {J_PF_BAYER_RG8,           "BayerRG8",        F::Bayer, P::Bytes,      8, 1, 1, 1, 1, "RGGB",  J_PF_RGB24,  false},
    {J_PF_BAYER_GR8,           "BayerGR8",        F::Bayer, P::Bytes,      8, 1, 1, 1, 1, "GRBG",  J_PF_RGB24,  false},
    {J_PF_BAYER_GB8,           "BayerGB8",        F::Bayer, P::Bytes,      8, 1, 1, 1, 1, "GBRG",  J_PF_RGB24,  false},
    {J_PF_BAYER_BG8,           "BayerBG8",        F::Bayer, P::Bytes,      8, 1, 1, 1, 1, "BGGR",  J_PF_RGB24,  false},
    {J_PF_BAYER_RG10,          "BayerRG10",       F::Bayer, P::Words,     10, 2, 1, 1, 2, "RGGB",  J_PF_RGB48,  false},
    {J_PF_BAYER_GR10,          "BayerGR10",       F::Bayer, P::Words,     10, 2, 1, 1, 2, "GRBG",  J_PF_RGB48,  false},
    {J_PF_BAYER_GB10,          "BayerGB10",       F::Bayer, P::Words,     10, 2, 1, 1, 2, "GBRG",  J_PF_RGB48,  false},
    {J_PF_BAYER_BG10,          "BayerBG10",       F::Bayer, P::Words,     10, 2, 1, 1, 2, "BGGR",  J_PF_RGB48,  false},
    {J_PF_BAYER_RG12,          "BayerRG12",       F::Bayer, P::Words,     12, 2, 1, 1, 2, "RGGB",  J_PF_RGB48,  false},
    {J_PF_BAYER_GR12,          "BayerGR12",       F::Bayer, P::Words,     12, 2, 1, 1, 2, "GRBG",  J_PF_RGB48,  false},
    {J_PF_BAYER_GB12,          "BayerGB12",       F::Bayer, P::Words,     12, 2, 1, 1, 2, "GBRG",  J_PF_RGB48,  false},
    {J_PF_BAYER_BG12,          "BayerBG12",       F::Bayer, P::Words,     12, 2, 1, 1, 2, "BGGR",  J_PF_RGB48,  false},
    {J_PF_BAYER_RG16,          "BayerRG16",       F::Bayer, P::Words,     16, 2, 1, 1, 2, "RGGB",  J_PF_RGB48,  false},
    {J_PF_BAYER_GR16,          "BayerGR16",       F::Bayer, P::Words,     16, 2, 1, 1, 2, "GRBG",  J_PF_RGB48,  false},
    {J_PF_BAYER_GB16,          "BayerGB16",       F::Bayer, P::Words,     16, 2, 1, 1, 2, "GBRG",  J_PF_RGB48,  false},
    {J_PF_BAYER_BG16,          "BayerBG16",       F::Bayer, P::Words,     16, 2, 1, 1, 2, "BGGR",  J_PF_RGB48,  false},
    {J_PF_BAYER_RG10P,         "BayerRG10p",      F::Bayer, P::Lsb,       10, 2, 1, 4, 5, "RGGB",  J_PF_RGB48,  false},
    {J_PF_BAYER_GR10P,         "BayerGR10p",      F::Bayer, P::Lsb,       10, 2, 1, 4, 5, "GRBG",  J_PF_RGB48,  false},
    {J_PF_BAYER_GB10P,         "BayerGB10p",      F::Bayer, P::Lsb,       10, 2, 1, 4, 5, "GBRG",  J_PF_RGB48,  false},
    {J_PF_BAYER_BG10P,         "BayerBG10p",      F::Bayer, P::Lsb,       10, 2, 1, 4, 5, "BGGR",  J_PF_RGB48,  false},
    {J_PF_BAYER_RG12P,         "BayerRG12p",      F::Bayer, P::Lsb,       12, 2, 1, 2, 3, "RGGB",  J_PF_RGB48,  false},
    {J_PF_BAYER_GR12P,         "BayerGR12p",      F::Bayer, P::Lsb,       12, 2, 1, 2, 3, "GRBG",  J_PF_RGB48,  false},
    {J_PF_BAYER_GB12P,         "BayerGB12p",      F::Bayer, P::Lsb,       12, 2, 1, 2, 3, "GBRG",  J_PF_RGB48,  false},
    {J_PF_BAYER_BG12P,         "BayerBG12p",      F::Bayer, P::Lsb,       12, 2, 1, 2, 3, "BGGR",  J_PF_RGB48,  false},
    {J_PF_BAYER_RG10_PACKED,   "BayerRG10Packed", F::Bayer, P::GigeVision,10, 2, 1, 2, 3, "RGGB",  J_PF_RGB48,  false},
    {J_PF_BAYER_GR10_PACKED,   "BayerGR10Packed", F::Bayer, P::GigeVision,10, 2, 1, 2, 3, "GRBG",  J_PF_RGB48,  false},
    {J_PF_BAYER_GB10_PACKED,   "BayerGB10Packed", F::Bayer, P::GigeVision,10, 2, 1, 2, 3, "GBRG",  J_PF_RGB48,  false},
    {J_PF_BAYER_BG10_PACKED,   "BayerBG10Packed", F::Bayer, P::GigeVision,10, 2, 1, 2, 3, "BGGR",  J_PF_RGB48,  false},
    {J_PF_BAYER_RG12_PACKED,   "BayerRG12Packed", F::Bayer, P::GigeVision,12, 2, 1, 2, 3, "RGGB",  J_PF_RGB48,  false},
    {J_PF_BAYER_GR12_PACKED,   "BayerGR12Packed", F::Bayer, P::GigeVision,12, 2, 1, 2, 3, "GRBG",  J_PF_RGB48,  false},
    {J_PF_BAYER_GB12_PACKED,   "BayerGB12Packed", F::Bayer, P::GigeVision,12, 2, 1, 2, 3, "GBRG",  J_PF_RGB48,  false},
    {J_PF_BAYER_BG12_PACKED,   "BayerBG12Packed", F::Bayer, P::GigeVision,12, 2, 1, 2, 3, "BGGR",  J_PF_RGB48,  false},
    {J_PF_RGB8,                "RGB8",            F::Rgb,   P::Bytes,      8, 1, 3, 1, 3, "RGB",   J_PF_RGB24,  true},
    {J_PF_BGR8,                "BGR8",            F::Rgb,   P::Bytes,      8, 1, 3, 1, 3, "BGR",   J_PF_RGB24,  false},
    {J_PF_RGBA8,               "RGBa8",           F::Rgb,   P::Bytes,      8, 1, 4, 1, 4, "RGBa",  J_PF_RGB24,  false},
    {J_PF_BGRA8,               "BGRa8",           F::Rgb,   P::Bytes,      8, 1, 4, 1, 4, "BGRa",  J_PF_RGB24,  false},
    {J_PF_RGB10,               "RGB10",           F::Rgb,   P::Words,     10, 2, 3, 1, 6, "RGB",   J_PF_RGB48,  false},
    {J_PF_BGR10,               "BGR10",           F::Rgb,   P::Words,     10, 2, 3, 1, 6, "BGR",   J_PF_RGB48,  false},
    {J_PF_RGB12,               "RGB12",           F::Rgb,   P::Words,     12, 2, 3, 1, 6, "RGB",   J_PF_RGB48,  false},
    {J_PF_BGR12,               "BGR12",           F::Rgb,   P::Words,     12, 2, 3, 1, 6, "BGR",   J_PF_RGB48,  false},
    {J_PF_RGB16,               "RGB16",           F::Rgb,   P::Words,     16, 2, 3, 1, 6, "RGB",   J_PF_RGB48,  true},
    {J_PF_BGR16,               "BGR16",           F::Rgb,   P::Words,     16, 2, 3, 1, 6, "BGR",   J_PF_RGB48,  false},
    {J_PF_YUV422_8,            "YUV422_8",        F::Yuv422,P::Bytes,      8, 1, 2, 2, 4, "YUYV",  J_PF_RGB24,  false},
    {J_PF_YUV422_8_UYVY,       "YUV422_8_UYVY",   F::Yuv422,P::Bytes,      8, 1, 2, 2, 4, "UYVY",  J_PF_RGB24,  false},
    {J_PF_YCBCR422_8,          "YCbCr422_8",      F::Yuv422,P::Bytes,      8, 1, 2, 2, 4, "YUYV",  J_PF_RGB24,  false},
};
// clang-format on

} // namespace

const PixelFormatInfo *FindPixelFormat(uint32_t format)
{
    for (const PixelFormatInfo &info : kPixelFormats) {
        if (info.format == format)
            return &info;
    }
    return nullptr;
}

const PixelFormatInfo *FindPixelFormatByName(const std::string &name)
{
    for (const PixelFormatInfo &info : kPixelFormats) {
        if (name == info.name)
            return &info;
    }
    return nullptr;
}

const PixelFormatInfo *AllPixelFormats(size_t *count)
{
    *count = sizeof kPixelFormats / sizeof kPixelFormats[0];
    return kPixelFormats;
}

bool ImageBytes(const PixelFormatInfo &format, uint32_t width, uint32_t height, uint32_t *bytes)
{
    if (width == 0 || height == 0)
        return false;
    const uint64_t pixels = uint64_t{width} * height;
    if (pixels > std::numeric_limits<uint32_t>::max())
        return false; // every format takes a byte a pixel or more
    // Packed formats end with a part group: only the bytes its bits reach.
    const uint64_t bits =
        pixels / format.pixelsPerGroup * 8 * format.bytesPerGroup +
        pixels % format.pixelsPerGroup * 8 * format.bytesPerGroup / format.pixelsPerGroup;
    const uint64_t total = (bits + 7) / 8;
    if (total > std::numeric_limits<uint32_t>::max())
        return false;
    *bytes = static_cast<uint32_t>(total);
    return true;
}
