// Grey conversion, bilinear demosaic and gains, for 8- and 16-bit samples.
#include "image_convert.h"

#include "pixel_formats.h"

#include <algorithm>

namespace {

const uint32_t kGainShift = 12; // gains are in units of 1 / (1 << 12) = 1/4096

// Maps a raw sample, or the rounded mean of raw samples, to an output sample: clamps it to the
// format's significant bits, widens it to the output depth, applies the gain and clamps.
// Mono10 and Mono12 are widened to 16 bits because their converted image is 16-bit grey,
// which readers show with 65535 as white: unwidened, a 10-bit image would look black. The
// top bits are repeated into the freed low bits, so that the widest value becomes 65535.
class SampleScale {
  public:
    SampleScale(const PixelFormatInfo &format, uint32_t gain)
        : maxRaw_((1u << format.significantBits) - 1),
          up_(8 * format.bytesPerSample - format.significantBits),
          down_(format.significantBits - up_), gain_(gain),
          maxOut_((1u << (8 * format.bytesPerSample)) - 1)
    {
    }

    uint32_t operator()(uint32_t value) const
    {
        const uint64_t clamped = std::min(value, maxRaw_);
        const uint64_t widened = (clamped << up_) | (clamped >> down_);
        const uint64_t scaled = (widened * gain_ + (1u << (kGainShift - 1))) >> kGainShift;
        return static_cast<uint32_t>(std::min<uint64_t>(scaled, maxOut_));
    }

  private:
    uint32_t maxRaw_;
    uint32_t up_;
    uint32_t down_;
    uint64_t gain_;
    uint32_t maxOut_;
};

// SampleScale as fast as the sample depth allows: a table for 8 bits, arithmetic for 16.
template <typename Sample> class SampleMap;

template <> class SampleMap<uint8_t> {
  public:
    SampleMap(const PixelFormatInfo &format, uint32_t gain)
    {
        const SampleScale scale(format, gain);
        for (uint32_t value = 0; value < 256; ++value)
            table_[value] = static_cast<uint8_t>(scale(value));
    }
    uint8_t operator()(uint32_t value) const { return table_[value]; }

  private:
    uint8_t table_[256];
};

template <> class SampleMap<uint16_t> {
  public:
    SampleMap(const PixelFormatInfo &format, uint32_t gain) : scale_(format, gain) {}
    uint16_t operator()(uint32_t value) const { return static_cast<uint16_t>(scale_(value)); }

  private:
    SampleScale scale_;
};

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

template <typename Sample>
void ConvertGrey(const Sample *in, size_t count, const SampleMap<Sample> &map, Sample *out)
{
    for (size_t i = 0; i < count; ++i)
        out[i] = map(in[i]);
}

// Bilinear demosaic, stated for any pixel: a channel that the pixel samples is that sample;
// any other is the rounded mean of that channel's samples in the 3x3 neighbourhood, clipped
// to the image (0 when there are none: images one pixel wide or high lack a colour). This is
// the general form, for the border; the interior pairs below compute the same faster.
template <typename Sample>
void DemosaicPixel(const Sample *in, uint32_t width, uint32_t height, const char *mosaic,
                   uint32_t x, uint32_t y, const SampleMap<Sample> *maps, Sample *out)
{
    uint32_t sums[3] = {0, 0, 0};
    uint32_t counts[3] = {0, 0, 0};
    for (uint32_t row = y == 0 ? 0 : y - 1; row <= y + 1 && row < height; ++row) {
        for (uint32_t column = x == 0 ? 0 : x - 1; column <= x + 1 && column < width; ++column) {
            const uint32_t channel = ChannelAt(mosaic, column, row);
            sums[channel] += in[size_t{row} * width + column];
            ++counts[channel];
        }
    }
    const uint32_t own = ChannelAt(mosaic, x, y);
    Sample *pixel = out + 3 * (size_t{y} * width + x);
    for (uint32_t channel = kRed; channel <= kBlue; ++channel) {
        uint32_t value = 0;
        if (channel == own)
            value = in[size_t{y} * width + x];
        else if (counts[channel] != 0)
            value = (sums[channel] + counts[channel] / 2) / counts[channel];
        pixel[channel] = maps[channel](value);
    }
}

// The interior columns of an interior row, in pairs from column first on: a RowChroma (red
// or blue) site at x, a green site at x+1. Returns the first column it left undone.
template <typename Sample, uint32_t RowChroma>
uint32_t DemosaicInteriorPairs(const Sample *above, const Sample *row, const Sample *below,
                               uint32_t first, uint32_t width, const SampleMap<Sample> *maps,
                               Sample *out)
{
    const uint32_t otherChroma = kBlue - RowChroma;
    const SampleMap<Sample> &rowMap = maps[RowChroma];
    const SampleMap<Sample> &greenMap = maps[kGreen];
    const SampleMap<Sample> &otherMap = maps[otherChroma];
    uint32_t x = first;
    for (; x + 2 < width; x += 2) {
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
    return x;
}

template <typename Sample>
void Demosaic(const Sample *in, uint32_t width, uint32_t height, const char *mosaic,
              const SampleMap<Sample> *maps, Sample *out)
{
    for (uint32_t y = 1; y + 1 < height; ++y) {
        const Sample *row = in + size_t{y} * width;
        Sample *outRow = out + 3 * size_t{y} * width;
        const bool greenFirst = ChannelAt(mosaic, 0, y) == kGreen;
        const uint32_t firstChroma = greenFirst ? 1 : 2;
        const uint32_t undone =
            ChannelAt(mosaic, firstChroma, y) == kRed
                ? DemosaicInteriorPairs<Sample, kRed>(row - width, row, row + width, firstChroma,
                                                      width, maps, outRow)
                : DemosaicInteriorPairs<Sample, kBlue>(row - width, row, row + width, firstChroma,
                                                       width, maps, outRow);
        // What the pairs leave: column 0, column 1 when it is green, the last one or two.
        DemosaicPixel(in, width, height, mosaic, 0, y, maps, out);
        if (!greenFirst && width > 1)
            DemosaicPixel(in, width, height, mosaic, 1, y, maps, out);
        for (uint32_t x = undone; x < width; ++x)
            DemosaicPixel(in, width, height, mosaic, x, y, maps, out);
    }
    for (uint32_t x = 0; x < width; ++x) {
        DemosaicPixel(in, width, height, mosaic, x, 0, maps, out);
        DemosaicPixel(in, width, height, mosaic, x, height - 1, maps, out);
    }
}

template <typename Sample>
void ConvertSamples(const J_IMAGE_RECORD &rawFrame, const PixelFormatInfo &format,
                    const Gains &gains, uint8_t *output)
{
    const Sample *in = reinterpret_cast<const Sample *>(rawFrame.buffer);
    Sample *out = reinterpret_cast<Sample *>(output);
    if (format.mosaic == nullptr) {
        const SampleMap<Sample> grey(format, gains.green);
        ConvertGrey(in, size_t{rawFrame.width} * rawFrame.height, grey, out);
        return;
    }
    const SampleMap<Sample> maps[3] = {SampleMap<Sample>(format, gains.red),
                                       SampleMap<Sample>(format, gains.green),
                                       SampleMap<Sample>(format, gains.blue)};
    Demosaic(in, rawFrame.width, rawFrame.height, format.mosaic, maps, out);
}

} // namespace

J_STATUS_TYPE DescribeConversion(const J_IMAGE_RECORD &rawFrame, J_IMAGE_RECORD *converted)
{
    if (rawFrame.buffer == nullptr)
        return J_ST_INVALID_PARAMETER;
    const PixelFormatInfo *raw = FindPixelFormat(rawFrame.pixelFormat);
    if (raw == nullptr || raw->convertedFormat == 0)
        return J_ST_CONVERSION_FAILED;
    uint32_t rawBytes = 0;
    if (!ImageBytes(*raw, rawFrame.width, rawFrame.height, &rawBytes) ||
        rawFrame.imageSize < rawBytes)
        return J_ST_INVALID_PARAMETER;
    if (reinterpret_cast<uintptr_t>(rawFrame.buffer) % raw->bytesPerSample != 0)
        return J_ST_INVALID_PARAMETER; // 16-bit samples are read as aligned words
    const PixelFormatInfo &result = *FindPixelFormat(raw->convertedFormat);
    uint32_t resultBytes = 0;
    if (!ImageBytes(result, rawFrame.width, rawFrame.height, &resultBytes))
        return J_ST_CONVERSION_FAILED;
    *converted = J_IMAGE_RECORD{};
    converted->pixelFormat = result.format;
    converted->width = rawFrame.width;
    converted->height = rawFrame.height;
    converted->imageSize = resultBytes;
    converted->frameId = rawFrame.frameId;
    converted->timestampUs = rawFrame.timestampUs;
    return J_ST_SUCCESS;
}

bool MatchesConversion(const J_IMAGE_RECORD &converted, const J_IMAGE_RECORD &expected)
{
    return converted.pixelFormat == expected.pixelFormat && converted.width == expected.width &&
           converted.height == expected.height && converted.imageSize >= expected.imageSize;
}

void ConvertPixels(const J_IMAGE_RECORD &rawFrame, uint8_t *output, const Gains &gains)
{
    const PixelFormatInfo &format = *FindPixelFormat(rawFrame.pixelFormat);
    if (format.bytesPerSample == 1)
        ConvertSamples<uint8_t>(rawFrame, format, gains, output);
    else
        ConvertSamples<uint16_t>(rawFrame, format, gains, output);
}
