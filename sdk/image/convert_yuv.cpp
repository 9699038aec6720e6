// YUV 4:2:2 (8 bits) to 24-bit RGB: ITU-R BT.601 full range, as JPEG's YCbCr (JFIF).
//
// R = Y + 1.402 (V - 128), G = Y - 0.344136 (U - 128) - 0.714136 (V - 128),
// B = Y + 1.772 (U - 128), in 16-bit fixed point, rounded to nearest and clamped to 0..255;
// the gains then apply to R, G and B.
#include "row_source.h"

#if defined(__SSE2__)
#include "simd_rows.h"
#endif

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

#if defined(__SSE2__)
// The vector form splits each factor into a whole part and a fraction that fits a signed
// 16-bit multiply: (Y << 16) + f * c + half, shifted right by 16, is Y + whole * c +
// ((fraction * c + half) >> 16) exactly, since the shift rounds down either way. Each pair's
// three offsets from Y are then small, and Y plus offset saturated to a byte is the clamp.
const int16_t kRedFromVFraction = 26345;    // 1.402 = 1 + fraction
const int16_t kGreenFromUFraction = -22554; // -0.344136 = 0 + fraction
const int16_t kGreenFromVFraction = 18734;  // -0.714136 = -1 + fraction
const int16_t kBlueFromUFraction = -14942;  // 1.772 = 2 + fraction
static_assert(kRedFromV == 65536 + kRedFromVFraction, "red from V");
static_assert(-kGreenFromU == kGreenFromUFraction, "green from U");
static_assert(-kGreenFromV == -65536 + kGreenFromVFraction, "green from V");
static_assert(kBlueFromU == 2 * 65536 + kBlueFromUFraction, "blue from U");

// (uFactor * u + vFactor * v + half) >> 16 for the 8 pairs of two registers of (u, v) lanes.
__m128i FractionOffsets(__m128i chromaLow, __m128i chromaHigh, int16_t uFactor, int16_t vFactor)
{
    const __m128i factors = _mm_set1_epi32(
        static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint16_t>(vFactor)) << 16 |
                             static_cast<uint16_t>(uFactor)));
    const __m128i half = _mm_set1_epi32(kHalf);
    return _mm_packs_epi32(
        _mm_srai_epi32(_mm_add_epi32(_mm_madd_epi16(chromaLow, factors), half), 16),
        _mm_srai_epi32(_mm_add_epi32(_mm_madd_epi16(chromaHigh, factors), half), 16));
}

// Y plus its pair's offset, clamped to a byte, for 16 pixels.
__m128i PlusOffsets(__m128i lumaLow, __m128i lumaHigh, __m128i pairOffsets)
{
    return _mm_packus_epi16(_mm_adds_epi16(lumaLow, _mm_unpacklo_epi16(pairOffsets, pairOffsets)),
                            _mm_adds_epi16(lumaHigh, _mm_unpackhi_epi16(pairOffsets, pairOffsets)));
}

// Yuv422Row at unit gains, 16 pixels a step. Returns the pixels it converted.
template <bool UFirst> uint32_t Yuv422Vectors(const uint8_t *in, uint32_t width, uint8_t *out)
{
    const __m128i byteMask = _mm_set1_epi16(0x00FF);
    const __m128i bias = _mm_set1_epi16(128);
    uint32_t x = 0;
    for (; x + 16 <= width; x += 16, in += 32, out += 48) {
        const __m128i low = Load(in);
        const __m128i high = Load(in + 16);
        const __m128i lumaLow = UFirst ? _mm_srli_epi16(low, 8) : _mm_and_si128(low, byteMask);
        const __m128i lumaHigh = UFirst ? _mm_srli_epi16(high, 8) : _mm_and_si128(high, byteMask);
        // Lanes u, v, u, v, ...: pairs 0 to 3, then 4 to 7.
        const __m128i chromaLow =
            _mm_sub_epi16(UFirst ? _mm_and_si128(low, byteMask) : _mm_srli_epi16(low, 8), bias);
        const __m128i chromaHigh =
            _mm_sub_epi16(UFirst ? _mm_and_si128(high, byteMask) : _mm_srli_epi16(high, 8), bias);
        const __m128i u = _mm_packs_epi32(_mm_srai_epi32(_mm_slli_epi32(chromaLow, 16), 16),
                                          _mm_srai_epi32(_mm_slli_epi32(chromaHigh, 16), 16));
        const __m128i v =
            _mm_packs_epi32(_mm_srai_epi32(chromaLow, 16), _mm_srai_epi32(chromaHigh, 16));
        const __m128i red =
            _mm_add_epi16(FractionOffsets(chromaLow, chromaHigh, 0, kRedFromVFraction), v);
        const __m128i green = _mm_sub_epi16(
            FractionOffsets(chromaLow, chromaHigh, kGreenFromUFraction, kGreenFromVFraction), v);
        const __m128i blue = _mm_add_epi16(
            FractionOffsets(chromaLow, chromaHigh, kBlueFromUFraction, 0), _mm_add_epi16(u, u));
        StoreRgb(PlusOffsets(lumaLow, lumaHigh, red), PlusOffsets(lumaLow, lumaHigh, green),
                 PlusOffsets(lumaLow, lumaHigh, blue), out);
    }
    return x;
}
#endif

template <RowLoops Loops>
void Yuv422Rows(const RowSource &rows, const Gains &gains, uint32_t firstRow, uint32_t endRow,
                uint8_t *output)
{
    const bool uFirst = rows.format.layout[0] == 'U';
    WithMaps<uint8_t>(8, gains, [&](const auto *maps) {
        using Map = std::remove_const_t<std::remove_pointer_t<decltype(maps)>>;
        const auto row = uFirst ? Yuv422Row<true, Map> : Yuv422Row<false, Map>;
        for (uint32_t y = firstRow; y < endRow; ++y) {
            const uint8_t *in = rows.Row<uint8_t>(y);
            uint8_t *out = output + 3 * size_t{y} * rows.width;
            uint32_t done = 0;
#if defined(__SSE2__)
            if (Loops == RowLoops::Fast && std::is_same_v<Map, IdentityMap<uint8_t>>)
                done = uFirst ? Yuv422Vectors<true>(in, rows.width, out)
                              : Yuv422Vectors<false>(in, rows.width, out);
#endif
            row(in + 2 * size_t{done}, rows.width - done, maps, out + 3 * size_t{done});
        }
    });
}

} // namespace

void ConvertYuv422Rows(const RowSource &rows, const Gains &gains, uint32_t firstRow,
                       uint32_t endRow, uint8_t *output)
{
    Yuv422Rows<RowLoops::Fast>(rows, gains, firstRow, endRow, output);
}

void ConvertYuv422RowsPlainly(const RowSource &rows, const Gains &gains, uint32_t firstRow,
                              uint32_t endRow, uint8_t *output)
{
    Yuv422Rows<RowLoops::Plain>(rows, gains, firstRow, endRow, output);
}
