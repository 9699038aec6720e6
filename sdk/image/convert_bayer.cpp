// Bayer formats to RGB of the output depth: bilinear demosaic, then each channel's map.
//
// Bilinear, stated for any pixel: a channel that the pixel samples is that sample; any other
// is the rounded mean of that channel's samples in the 3x3 neighbourhood, clipped to the image
// (0 when there are none: images one pixel wide or high lack a colour). DemosaicPixel is that
// general form, for the border; the interior pairs compute the same faster.
#include "row_source.h"

#if defined(__SSE2__)
#include "simd_rows.h"
#endif

namespace {

const uint32_t kRed = 0;
const uint32_t kGreen = 1;
const uint32_t kBlue = 2;

// Channel (kRed, kGreen, kBlue) of the raw sample at (x, y).
uint32_t ChannelAt(const char *mosaic, uint32_t x, uint32_t y)
{
    const char colour = mosaic[2 * (y & 1) + (x & 1)];
    return colour == 'R' ? kRed : colour == 'G' ? kGreen : kBlue;
}

template <typename Sample> uint32_t Mean2(Sample a, Sample b) { return (uint32_t{a} + b + 1) >> 1; }

template <typename Sample> uint32_t Mean4(Sample a, Sample b, Sample c, Sample d)
{
    return (uint32_t{a} + b + c + d + 2) >> 2;
}

// Pixel x of row y, whose rows above and below (null outside the image) are rows[0], rows[2].
template <typename Sample, typename Map>
void DemosaicPixel(const Sample *const rows[3], uint32_t y, uint32_t width, const char *mosaic,
                   uint32_t x, const Map *maps, Sample *outRow)
{
    uint32_t sums[3] = {0, 0, 0};
    uint32_t counts[3] = {0, 0, 0};
    for (uint32_t k = 0; k < 3; ++k) {
        if (rows[k] == nullptr)
            continue;
        for (uint32_t column = x == 0 ? 0 : x - 1; column <= x + 1 && column < width; ++column) {
            const uint32_t channel = ChannelAt(mosaic, column, y + k + 1); // parity of y + k - 1
            sums[channel] += rows[k][column];
            ++counts[channel];
        }
    }
    const uint32_t own = ChannelAt(mosaic, x, y);
    Sample *pixel = outRow + 3 * size_t{x};
    for (uint32_t channel = kRed; channel <= kBlue; ++channel) {
        uint32_t value = 0;
        if (channel == own)
            value = rows[1][x];
        else if (counts[channel] != 0)
            value = (sums[channel] + counts[channel] / 2) / counts[channel];
        pixel[channel] = maps[channel](value);
    }
}

// The pair of interior columns x (a RowChroma site: red or blue) and x + 1 (green) of an
// interior row.
template <typename Sample, uint32_t RowChroma, typename Map>
void DemosaicPair(const Sample *above, const Sample *row, const Sample *below, uint32_t x,
                  const Map *maps, Sample *out)
{
    const uint32_t otherChroma = kBlue - RowChroma;
    const Map &rowMap = maps[RowChroma];
    const Map &greenMap = maps[kGreen];
    const Map &otherMap = maps[otherChroma];
    // Every value before any store: a store might alias the input and force reloads.
    const Sample chromaOwn = rowMap(row[x]);
    const Sample chromaGreen = greenMap(Mean4(row[x - 1], row[x + 1], above[x], below[x]));
    const Sample chromaOther =
        otherMap(Mean4(above[x - 1], above[x + 1], below[x - 1], below[x + 1]));
    const Sample greenOwn = greenMap(row[x + 1]);
    const Sample greenRow = rowMap(Mean2(row[x], row[x + 2]));
    const Sample greenOther = otherMap(Mean2(above[x + 1], below[x + 1]));
    Sample *pair = out + 3 * size_t{x};
    pair[RowChroma] = chromaOwn;
    pair[kGreen] = chromaGreen;
    pair[otherChroma] = chromaOther;
    pair[3 + RowChroma] = greenRow;
    pair[3 + kGreen] = greenOwn;
    pair[3 + otherChroma] = greenOther;
}

// DemosaicPair for a register of pairs at a time, from column x (2 or more) on while the
// reads stay inside the row, for the maps that have a vector form. Returns the first column
// it left undone.
template <typename Sample, uint32_t RowChroma, typename Map>
uint32_t DemosaicVectorPairs(const Sample *above, const Sample *row, const Sample *below,
                             uint32_t x, uint32_t width, const Map *maps, Sample *out)
{
#if defined(__SSE2__)
    if constexpr (VectorMap<Map>::kVectorMap) {
        const uint32_t otherChroma = kBlue - RowChroma;
        const VectorMap<Map> rowMap(maps[RowChroma]);
        const VectorMap<Map> greenMap(maps[kGreen]);
        const VectorMap<Map> otherMap(maps[otherChroma]);
        const Sample tag{};
        const uint32_t step = 2 * kLanes<Sample>;
        for (; x >= 2 && x + step + 2 <= width; x += step) {
            // Even lanes are the RowChroma sites x, x + 2, ...; odd lanes the green ones.
            const EvenOdd left = SplitEvenOdd(row + x - 2);
            const EvenOdd here = SplitEvenOdd(row + x);
            const EvenOdd right = SplitEvenOdd(row + x + 2);
            const EvenOdd aboveLeft = SplitEvenOdd(above + x - 2);
            const EvenOdd aboveHere = SplitEvenOdd(above + x);
            const EvenOdd belowLeft = SplitEvenOdd(below + x - 2);
            const EvenOdd belowHere = SplitEvenOdd(below + x);
            __m128i chroma[3];
            __m128i green[3];
            chroma[RowChroma] = rowMap(here.even);
            chroma[kGreen] =
                greenMap(VectorMean4<Sample>(left.odd, here.odd, aboveHere.even, belowHere.even));
            chroma[otherChroma] = otherMap(
                VectorMean4<Sample>(aboveLeft.odd, aboveHere.odd, belowLeft.odd, belowHere.odd));
            green[RowChroma] = rowMap(VectorMean2(here.even, right.even, tag));
            green[kGreen] = greenMap(here.odd);
            green[otherChroma] = otherMap(VectorMean2(aboveHere.odd, belowHere.odd, tag));
            Sample *pixels = out + 3 * size_t{x};
            StoreRgb(InterleaveLow(chroma[kRed], green[kRed], tag),
                     InterleaveLow(chroma[kGreen], green[kGreen], tag),
                     InterleaveLow(chroma[kBlue], green[kBlue], tag), pixels);
            StoreRgb(InterleaveHigh(chroma[kRed], green[kRed], tag),
                     InterleaveHigh(chroma[kGreen], green[kGreen], tag),
                     InterleaveHigh(chroma[kBlue], green[kBlue], tag), pixels + 3 * kLanes<Sample>);
        }
    }
#else
    (void)above, (void)row, (void)below, (void)width, (void)maps, (void)out;
#endif
    return x;
}

// The interior columns of an interior row, in pairs from column first on (DemosaicPair).
// Returns the first column it left undone.
template <typename Sample, uint32_t RowChroma, typename Map>
uint32_t DemosaicInteriorPairs(const Sample *above, const Sample *row, const Sample *below,
                               uint32_t first, uint32_t width, const Map *maps, Sample *out)
{
    uint32_t x = first;
    for (; x < 2 && x + 2 < width; x += 2)
        DemosaicPair<Sample, RowChroma>(above, row, below, x, maps, out);
    x = DemosaicVectorPairs<Sample, RowChroma>(above, row, below, x, width, maps, out);
    for (; x + 2 < width; x += 2)
        DemosaicPair<Sample, RowChroma>(above, row, below, x, maps, out);
    return x;
}

template <RowLoops Loops, typename Sample, typename Map>
void DemosaicRow(const Sample *const rows[3], uint32_t y, uint32_t width, const char *mosaic,
                 const Map *maps, Sample *out)
{
    if (Loops == RowLoops::Plain || rows[0] == nullptr || rows[2] == nullptr) {
        for (uint32_t x = 0; x < width; ++x)
            DemosaicPixel(rows, y, width, mosaic, x, maps, out);
        return;
    }
    const bool greenFirst = ChannelAt(mosaic, 0, y) == kGreen;
    const uint32_t firstChroma = greenFirst ? 1 : 2;
    const uint32_t undone = ChannelAt(mosaic, firstChroma, y) == kRed
                                ? DemosaicInteriorPairs<Sample, kRed>(rows[0], rows[1], rows[2],
                                                                      firstChroma, width, maps, out)
                                : DemosaicInteriorPairs<Sample, kBlue>(
                                      rows[0], rows[1], rows[2], firstChroma, width, maps, out);
    // What the pairs leave: column 0, column 1 when it is green, the last one or two.
    DemosaicPixel(rows, y, width, mosaic, 0, maps, out);
    if (!greenFirst && width > 1)
        DemosaicPixel(rows, y, width, mosaic, 1, maps, out);
    for (uint32_t x = undone; x < width; ++x)
        DemosaicPixel(rows, y, width, mosaic, x, maps, out);
}

template <RowLoops Loops, typename Sample>
void BayerRows(const RowSource &rows, const Gains &gains, uint32_t firstRow, uint32_t endRow,
               uint8_t *output)
{
    WithMaps<Sample>(rows.format.significantBits, gains, [&](const auto *maps) {
        Sample *out = reinterpret_cast<Sample *>(output);
        for (uint32_t y = firstRow; y < endRow; ++y) {
            const Sample *const neighbourhood[3] = {
                y == 0 ? nullptr : rows.Row<Sample>(y - 1), rows.Row<Sample>(y),
                y + 1 == rows.height ? nullptr : rows.Row<Sample>(y + 1)};
            DemosaicRow<Loops>(neighbourhood, y, rows.width, rows.format.layout, maps,
                               out + 3 * size_t{y} * rows.width);
        }
    });
}

} // namespace

void ConvertBayerRows(const RowSource &rows, const Gains &gains, uint32_t firstRow, uint32_t endRow,
                      uint8_t *output)
{
    WithSampleType(rows.format, [&](auto sample) {
        BayerRows<RowLoops::Fast, decltype(sample)>(rows, gains, firstRow, endRow, output);
    });
}

void ConvertBayerRowsPlainly(const RowSource &rows, const Gains &gains, uint32_t firstRow,
                             uint32_t endRow, uint8_t *output)
{
    WithSampleType(rows.format, [&](auto sample) {
        BayerRows<RowLoops::Plain, decltype(sample)>(rows, gains, firstRow, endRow, output);
    });
}
