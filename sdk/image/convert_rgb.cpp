// RGB and BGR formats, with or without alpha (dropped), to RGB of the output depth.
#include "row_source.h"

#include <cstring>

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

template <typename Sample, typename Map>
void RgbRows(const RowSource &rows, const Map *maps, uint32_t firstRow, uint32_t endRow,
             uint8_t *output)
{
    const bool redFirst = rows.format.layout[0] == 'R';
    const bool alpha = rows.format.samplesPerPixel == 4;
    const auto row = alpha ? (redFirst ? RgbRow<4, 0, Sample, Map> : RgbRow<4, 2, Sample, Map>)
                           : (redFirst ? RgbRow<3, 0, Sample, Map> : RgbRow<3, 2, Sample, Map>);
    Sample *out = reinterpret_cast<Sample *>(output);
    for (uint32_t y = firstRow; y < endRow; ++y)
        row(rows.Row<Sample>(y), rows.width, maps, out + 3 * size_t{y} * rows.width);
}

template <typename Sample>
void RgbRowsOfDepth(const RowSource &rows, const Gains &gains, uint32_t firstRow, uint32_t endRow,
                    uint8_t *output)
{
    WithMaps<Sample>(rows.format.significantBits, gains, [&](const auto *maps) {
        RgbRows<Sample>(rows, maps, firstRow, endRow, output);
    });
}

} // namespace

void ConvertRgbRows(const RowSource &rows, const Gains &gains, uint32_t firstRow, uint32_t endRow,
                    uint8_t *output)
{
    if (rows.format.bytesPerSample == 1)
        RgbRowsOfDepth<uint8_t>(rows, gains, firstRow, endRow, output);
    else
        RgbRowsOfDepth<uint16_t>(rows, gains, firstRow, endRow, output);
}

void ConvertRgbRowsPlainly(const RowSource &rows, const Gains &gains, uint32_t firstRow,
                           uint32_t endRow, uint8_t *output)
{
    ConvertRgbRows(rows, gains, firstRow, endRow, output);
}
