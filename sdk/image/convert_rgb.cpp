// RGB and BGR formats, with or without alpha (dropped), to RGB of the output depth.
#include "row_source.h"

#if defined(__SSE2__)
#include "simd_rows.h"

#include <tmmintrin.h>
#endif

#include <type_traits>

namespace {

// A pixel of Step samples with red at RedAt, green at 1 and blue at 2 - RedAt.
template <uint32_t Step, uint32_t RedAt, typename Sample, typename Map>
void RgbRow(const Sample *in, uint32_t width, const Map *maps, Sample *out)
{
    for (uint32_t x = 0; x < width; ++x, in += Step, out += 3) {
        out[0] = maps[0](in[RedAt]);
        out[1] = maps[1](in[1]);
        out[2] = maps[2](in[2 - RedAt]);
    }
}

#if defined(__SSE2__)
// RgbRow at unit gains, where every channel has the same map, with SSSE3's byte shuffle: each
// step reads the input registers of 16 or 8 pixels (8- or 16-bit samples) and gathers each of
// the three output registers from them byte by byte, then maps them. Returns the pixels it
// converted.
template <uint32_t Step, uint32_t RedAt, typename Sample, typename Map>
__attribute__((target("ssse3"))) uint32_t RgbVectors(const Sample *in, uint32_t width,
                                                     const Map &map, Sample *out)
{
    constexpr uint32_t sampleBytes = sizeof(Sample);
    constexpr uint32_t outRegisters = 3;
    constexpr uint32_t pixels = 16 * outRegisters / (3 * sampleBytes);
    constexpr uint32_t inRegisters = pixels * Step * sampleBytes / 16;
    __m128i gather[outRegisters][inRegisters];
    for (uint32_t r = 0; r < outRegisters; ++r) {
        for (uint32_t k = 0; k < inRegisters; ++k) {
            alignas(16) int8_t lanes[16];
            for (uint32_t j = 0; j < 16; ++j) {
                const uint32_t outByte = 16 * r + j;
                const uint32_t channel = outByte / sampleBytes % 3;
                const uint32_t source = channel == 0 ? RedAt : channel == 2 ? 2 - RedAt : 1;
                const uint32_t inByte = outByte / (3 * sampleBytes) * Step * sampleBytes +
                                        source * sampleBytes + outByte % sampleBytes;
                lanes[j] = static_cast<int8_t>(inByte / 16 == k ? inByte % 16 : 0x80);
            }
            gather[r][k] = _mm_load_si128(reinterpret_cast<const __m128i *>(lanes));
        }
    }
    const VectorMap<Map> vectorMap(map);
    constexpr uint32_t registerSamples = 16 / sampleBytes;
    uint32_t x = 0;
    for (; x + pixels <= width; x += pixels, in += pixels * Step, out += 3 * pixels) {
        __m128i input[inRegisters];
        for (uint32_t k = 0; k < inRegisters; ++k)
            input[k] = Load(in + k * registerSamples);
        for (uint32_t r = 0; r < outRegisters; ++r) {
            __m128i gathered = _mm_setzero_si128();
            for (uint32_t k = 0; k < inRegisters; ++k)
                gathered = _mm_or_si128(gathered, _mm_shuffle_epi8(input[k], gather[r][k]));
            Store(out + r * registerSamples, vectorMap(gathered));
        }
    }
    return x;
}
#endif

template <RowLoops Loops, uint32_t Step, uint32_t RedAt, typename Sample, typename Map>
void RgbRowWith(const Sample *in, uint32_t width, const Map *maps, Sample *out)
{
    uint32_t done = 0;
#if defined(__SSE2__)
    if constexpr (Loops == RowLoops::Fast && VectorMap<Map>::kVectorMap) {
        if (HasByteShuffle())
            done = RgbVectors<Step, RedAt>(in, width, maps[0], out);
    }
#endif
    RgbRow<Step, RedAt>(in + Step * size_t{done}, width - done, maps, out + 3 * size_t{done});
}

template <RowLoops Loops, typename Sample, typename Map>
void RgbRows(const RowSource &rows, const Map *maps, uint32_t firstRow, uint32_t endRow,
             uint8_t *output)
{
    const bool redFirst = rows.format.layout[0] == 'R';
    const bool alpha = rows.format.samplesPerPixel == 4;
    const auto row = alpha ? (redFirst ? RgbRowWith<Loops, 4, 0, Sample, Map>
                                       : RgbRowWith<Loops, 4, 2, Sample, Map>)
                           : (redFirst ? RgbRowWith<Loops, 3, 0, Sample, Map>
                                       : RgbRowWith<Loops, 3, 2, Sample, Map>);
    Sample *out = reinterpret_cast<Sample *>(output);
    for (uint32_t y = firstRow; y < endRow; ++y)
        row(rows.Row<Sample>(y), rows.width, maps, out + 3 * size_t{y} * rows.width);
}

template <RowLoops Loops>
void RgbFamilyRows(const RowSource &rows, const Gains &gains, uint32_t firstRow, uint32_t endRow,
                   uint8_t *output)
{
    WithSampleType(rows.format, [&](auto sample) {
        using Sample = decltype(sample);
        WithMaps<Sample>(rows.format.significantBits, gains, [&](const auto *maps) {
            using Map = std::remove_const_t<std::remove_pointer_t<decltype(maps)>>;
            RgbRows<Loops, Sample, Map>(rows, maps, firstRow, endRow, output);
        });
    });
}

} // namespace

void ConvertRgbRows(const RowSource &rows, const Gains &gains, uint32_t firstRow, uint32_t endRow,
                    uint8_t *output)
{
    RgbFamilyRows<RowLoops::Fast>(rows, gains, firstRow, endRow, output);
}

void ConvertRgbRowsPlainly(const RowSource &rows, const Gains &gains, uint32_t firstRow,
                           uint32_t endRow, uint8_t *output)
{
    RgbFamilyRows<RowLoops::Plain>(rows, gains, firstRow, endRow, output);
}
