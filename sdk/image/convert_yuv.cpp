// YUV 4:2:2 (8 bits) to 24-bit RGB: ITU-R BT.601 full range, as JPEG's YCbCr (JFIF).
//
// R = Y + 1.402 (V - 128), G = Y - 0.344136 (U - 128) - 0.714136 (V - 128),
// B = Y + 1.772 (U - 128), in 16-bit fixed point, rounded to nearest and clamped to 0..255;
// the gains then apply to R, G and B.
#include "row_source.h"

#include <type_traits>

namespace {

const int32_t kRedFromV = 91881;   // 1.402 * 65536
const int32_t kGreenFromU = 22554; // 0.344136 * 65536
const int32_t kGreenFromV = 46802; // 0.714136 * 65536
const int32_t kBlueFromU = 116130; // 1.772 * 65536
const int32_t kHalf = 1 << 15;

uint8_t Clamp(int32_t fixed)
{
    const int32_t value = (fixed < 0 ? 0 : fixed) >> 16;
    return static_cast<uint8_t>(value > 255 ? 255 : value);
}

// Pairs of pixels in 4 bytes: Y0 U Y1 V (YUYV) or U Y0 V Y1 (UYVY).
template <bool UFirst, typename Map>
void Yuv422Row(const uint8_t *in, uint32_t width, const Map *maps, uint8_t *out)
{
    const uint32_t y0At = UFirst ? 1 : 0, uAt = UFirst ? 0 : 1;
    for (uint32_t x = 0; x + 1 < width; x += 2, in += 4, out += 6) {
        const int32_t u = int32_t{in[uAt]} - 128;
        const int32_t v = int32_t{in[uAt + 2]} - 128;
        const int32_t red = kRedFromV * v + kHalf;
        const int32_t green = -kGreenFromU * u - kGreenFromV * v + kHalf;
        const int32_t blue = kBlueFromU * u + kHalf;
        const int32_t luma0 = int32_t{in[y0At]} << 16;
        const int32_t luma1 = int32_t{in[y0At + 2]} << 16;
        out[0] = maps[0](Clamp(luma0 + red));
        out[1] = maps[1](Clamp(luma0 + green));
        out[2] = maps[2](Clamp(luma0 + blue));
        out[3] = maps[0](Clamp(luma1 + red));
        out[4] = maps[1](Clamp(luma1 + green));
        out[5] = maps[2](Clamp(luma1 + blue));
    }
}

} // namespace

void ConvertYuv422Rows(const RowSource &rows, const Gains &gains, uint32_t firstRow,
                       uint32_t endRow, uint8_t *output)
{
    const bool uFirst = rows.format.layout[0] == 'U';
    WithMaps<uint8_t>(8, gains, [&](const auto *maps) {
        using Map = std::remove_const_t<std::remove_pointer_t<decltype(maps)>>;
        const auto row = uFirst ? Yuv422Row<true, Map> : Yuv422Row<false, Map>;
        for (uint32_t y = firstRow; y < endRow; ++y)
            row(rows.Row<uint8_t>(y), rows.width, maps, output + 3 * size_t{y} * rows.width);
    });
}

void ConvertYuv422RowsPlainly(const RowSource &rows, const Gains &gains, uint32_t firstRow,
                              uint32_t endRow, uint8_t *output)
{
    ConvertYuv422Rows(rows, gains, firstRow, endRow, output);
}
