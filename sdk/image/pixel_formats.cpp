// The table of pixel formats and the image size computed from it.
#include "pixel_formats.h"

#include <limits>

namespace {

// J_PF_GRAY8 and J_PF_GRAY16 have the values of J_PF_MONO8 and J_PF_MONO16: those two entries
// describe both the raw frame and the converted grey image.
const PixelFormatInfo kPixelFormats[] = {
    {J_PF_MONO8, 1, 8, 1, nullptr, J_PF_GRAY8, true},
    {J_PF_MONO10, 2, 10, 1, nullptr, J_PF_GRAY16, false},
    {J_PF_MONO12, 2, 12, 1, nullptr, J_PF_GRAY16, false},
    {J_PF_MONO16, 2, 16, 1, nullptr, J_PF_GRAY16, true},
    {J_PF_BAYER_RG8, 1, 8, 1, "RGGB", J_PF_RGB24, false},
    {J_PF_BAYER_GR8, 1, 8, 1, "GRBG", J_PF_RGB24, false},
    {J_PF_BAYER_GB8, 1, 8, 1, "GBRG", J_PF_RGB24, false},
    {J_PF_BAYER_BG8, 1, 8, 1, "BGGR", J_PF_RGB24, false},
    {J_PF_BAYER_RG16, 2, 16, 1, "RGGB", J_PF_RGB48, false},
    {J_PF_BAYER_GR16, 2, 16, 1, "GRBG", J_PF_RGB48, false},
    {J_PF_BAYER_GB16, 2, 16, 1, "GBRG", J_PF_RGB48, false},
    {J_PF_BAYER_BG16, 2, 16, 1, "BGGR", J_PF_RGB48, false},
    {J_PF_RGB24, 1, 8, 3, nullptr, 0, true},
    {J_PF_RGB48, 2, 16, 3, nullptr, 0, true},
};

} // namespace

const PixelFormatInfo *FindPixelFormat(uint32_t format)
{
    for (const PixelFormatInfo &info : kPixelFormats) {
        if (info.format == format)
            return &info;
    }
    return nullptr;
}

bool ImageBytes(const PixelFormatInfo &format, uint32_t width, uint32_t height, uint32_t *bytes)
{
    if (width == 0 || height == 0)
        return false;
    const uint64_t pixelBytes = uint64_t{format.bytesPerSample} * format.samplesPerPixel;
    const uint64_t rows = std::numeric_limits<uint32_t>::max() / (pixelBytes * width);
    if (height > rows)
        return false;
    *bytes = static_cast<uint32_t>(pixelBytes * width * height);
    return true;
}
