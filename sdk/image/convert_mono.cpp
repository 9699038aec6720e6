// Mono formats to grey of the output depth: each sample through the green channel's map.
#include "row_source.h"

#if defined(__SSE2__)
#include "simd_rows.h"
#endif

namespace {

template <RowLoops Loops, typename Sample, typename Map>
void MonoRow(const Sample *in, uint32_t width, const Map &map, Sample *out)
{
    uint32_t x = 0;
#if defined(__SSE2__)
    // The maps with a vector form, a register at a time; the rest below.
    if constexpr (Loops == RowLoops::Fast && VectorMap<Map>::kVectorMap) {
        const VectorMap<Map> vectorMap(map);
        for (; x + kLanes<Sample> <= width; x += kLanes<Sample>)
            Store(out + x, vectorMap(Load(in + x)));
    }
#endif
    for (; x < width; ++x)
        out[x] = map(in[x]);
}

template <RowLoops Loops, typename Sample>
void MonoRows(const RowSource &rows, const Gains &gains, uint32_t firstRow, uint32_t endRow,
              uint8_t *output)
{
    // Grey takes the green gain: green is the channel that carries brightness.
    const Gains grey{gains.green, gains.green, gains.green};
    WithMaps<Sample>(rows.format.significantBits, grey, [&](const auto *maps) {
        Sample *out = reinterpret_cast<Sample *>(output);
        for (uint32_t y = firstRow; y < endRow; ++y)
            MonoRow<Loops>(rows.Row<Sample>(y), rows.width, maps[1], out + size_t{y} * rows.width);
    });
}

template <RowLoops Loops>
void MonoFamilyRows(const RowSource &rows, const Gains &gains, uint32_t firstRow, uint32_t endRow,
                    uint8_t *output)
{
    WithSampleType(rows.format, [&](auto sample) {
        MonoRows<Loops, decltype(sample)>(rows, gains, firstRow, endRow, output);
    });
}

} // namespace

void ConvertMonoRows(const RowSource &rows, const Gains &gains, uint32_t firstRow, uint32_t endRow,
                     uint8_t *output)
{
    MonoFamilyRows<RowLoops::Fast>(rows, gains, firstRow, endRow, output);
}

void ConvertMonoRowsPlainly(const RowSource &rows, const Gains &gains, uint32_t firstRow,
                            uint32_t endRow, uint8_t *output)
{
    MonoFamilyRows<RowLoops::Plain>(rows, gains, firstRow, endRow, output);
}
