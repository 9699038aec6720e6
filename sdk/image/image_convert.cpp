// The whole-image conversion: checks a raw frame, then walks its rows in strips, each strip
// converted by its format family's row functions, on two threads when the frame is large.
#include "image_convert.h"

#include "pixel_formats.h"
#include "row_source.h"

#include <cstdio>
#include <new>
#include <system_error>
#include <thread>
#include <vector>

namespace {

// Indexed by RowLoops, then by PixelFamily.
const ConvertRows kFamilyConverters[2][4] = {
    {ConvertMonoRows, ConvertBayerRows, ConvertRgbRows, ConvertYuv422Rows},
    {ConvertMonoRowsPlainly, ConvertBayerRowsPlainly, ConvertRgbRowsPlainly,
     ConvertYuv422RowsPlainly}};

// From this many pixels on, a second thread converts half the rows: below it, starting the
// thread and waking a second core (about 0.3 ms here) costs more than it saves. Measured with
// bench/save_throughput: at 1280x1024 every format but the 12-bit Bayer ones converts faster
// on one thread, at 2448x2048 every format but Mono8 and Mono16 faster on two.
const uint64_t kThreadedPixels = 2 * 1024 * 1024;

// Rows at a time within a thread, so that unpacked rows stay in the cache.
const uint32_t kRowsPerStrip = 64;

struct Strip {
    uint32_t firstRow;
    uint32_t endRow;
};

// Converts rows firstRow..endRow - 1 in strips of rowsPerStrip, with scratch for unpacking.
void ConvertRowRange(const J_IMAGE_RECORD &raw, const PixelFormatInfo &format, const Gains &gains,
                     Strip rows, uint32_t rowsPerStrip, RowLoops loops, uint16_t *scratch,
                     uint8_t *output)
{
    const ConvertRows convert =
        kFamilyConverters[static_cast<size_t>(loops)][static_cast<size_t>(format.family)];
    for (uint32_t first = rows.firstRow; first < rows.endRow; first += rowsPerStrip) {
        const uint32_t end =
            rows.endRow - first < rowsPerStrip ? rows.endRow : first + rowsPerStrip;
        const RowSource source(raw, format, first, end, scratch, loops);
        convert(source, gains, first, end, output);
    }
}

// Scratch for a strip of rowsPerStrip rows; false when there is no memory for it.
bool ReserveScratch(const PixelFormatInfo &format, uint32_t width, uint32_t rowsPerStrip,
                    std::vector<uint16_t> *scratch)
{
    try {
        scratch->resize(RowSource::ScratchSamples(format, width, rowsPerStrip));
    } catch (const std::bad_alloc &) {
        return false;
    }
    return true;
}

} // namespace

J_STATUS_TYPE DescribeConversion(const J_IMAGE_RECORD &rawFrame, Conversion *conversion)
{
    if (rawFrame.buffer == nullptr)
        return J_ST_INVALID_PARAMETER;
    const PixelFormatInfo *raw = FindPixelFormat(rawFrame.pixelFormat);
    if (raw == nullptr) {
        std::fprintf(stderr, "Jai_Factory: pixel format 0x%08X is not one this library converts\n",
                     static_cast<unsigned>(rawFrame.pixelFormat));
        return J_ST_CONVERSION_FAILED;
    }
    uint32_t rawBytes = 0;
    if (!ImageBytes(*raw, rawFrame.width, rawFrame.height, &rawBytes) ||
        rawFrame.imageSize < rawBytes)
        return J_ST_INVALID_PARAMETER;
    if (raw->packing == Packing::Words && reinterpret_cast<uintptr_t>(rawFrame.buffer) % 2 != 0)
        return J_ST_INVALID_PARAMETER; // 16-bit samples are read as aligned words
    if (raw->family == PixelFamily::Yuv422 && rawFrame.width % 2 != 0) {
        // Each pair of pixels shares its U and V: a row's last pixel would have none.
        std::fprintf(stderr, "Jai_Factory: %s frames of odd width (%u) cannot be converted\n",
                     raw->name, static_cast<unsigned>(rawFrame.width));
        return J_ST_CONVERSION_FAILED;
    }
    const PixelFormatInfo &result = *FindPixelFormat(raw->convertedFormat);
    uint32_t resultBytes = 0;
    if (!ImageBytes(result, rawFrame.width, rawFrame.height, &resultBytes))
        return J_ST_CONVERSION_FAILED;
    *conversion = Conversion{raw, J_IMAGE_RECORD{}};
    J_IMAGE_RECORD &converted = conversion->converted;
    converted.pixelFormat = result.format;
    converted.width = rawFrame.width;
    converted.height = rawFrame.height;
    converted.imageSize = resultBytes;
    converted.frameId = rawFrame.frameId;
    converted.timestampUs = rawFrame.timestampUs;
    return J_ST_SUCCESS;
}

bool MatchesConversion(const J_IMAGE_RECORD &converted, const J_IMAGE_RECORD &expected)
{
    return converted.pixelFormat == expected.pixelFormat && converted.width == expected.width &&
           converted.height == expected.height && converted.imageSize >= expected.imageSize;
}

J_STATUS_TYPE ConvertPixelsInStrips(const J_IMAGE_RECORD &rawFrame, const PixelFormatInfo &format,
                                    uint8_t *output, const Gains &gains, uint32_t rowsPerStrip,
                                    RowLoops loops)
{
    std::vector<uint16_t> scratch;
    if (!ReserveScratch(format, rawFrame.width, rowsPerStrip, &scratch))
        return J_ST_NOT_AVAILABLE;
    ConvertRowRange(rawFrame, format, gains, {0, rawFrame.height}, rowsPerStrip, loops,
                    scratch.data(), output);
    return J_ST_SUCCESS;
}

J_STATUS_TYPE ConvertPixelsOnTwoThreads(const J_IMAGE_RECORD &rawFrame,
                                        const PixelFormatInfo &format, uint8_t *output,
                                        const Gains &gains)
{
    std::vector<uint16_t> scratch[2];
    if (!ReserveScratch(format, rawFrame.width, kRowsPerStrip, &scratch[0]) ||
        !ReserveScratch(format, rawFrame.width, kRowsPerStrip, &scratch[1]))
        return J_ST_NOT_AVAILABLE;
    // The two halves write disjoint rows of output and only read the raw frame.
    const uint32_t middle = rawFrame.height / 2;
    std::thread second;
    try {
        second = std::thread(ConvertRowRange, std::cref(rawFrame), std::cref(format),
                             std::cref(gains), Strip{middle, rawFrame.height}, kRowsPerStrip,
                             RowLoops::Fast, scratch[1].data(), output);
    } catch (const std::system_error &) {
        // No thread to be had: this thread does all of it.
        ConvertRowRange(rawFrame, format, gains, {0, rawFrame.height}, kRowsPerStrip,
                        RowLoops::Fast, scratch[0].data(), output);
        return J_ST_SUCCESS;
    }
    ConvertRowRange(rawFrame, format, gains, {0, middle}, kRowsPerStrip, RowLoops::Fast,
                    scratch[0].data(), output);
    second.join();
    return J_ST_SUCCESS;
}

J_STATUS_TYPE ConvertPixels(const J_IMAGE_RECORD &rawFrame, const PixelFormatInfo &rawFormat,
                            uint8_t *output, const Gains &gains)
{
    const uint64_t pixels = uint64_t{rawFrame.width} * rawFrame.height;
    if (pixels < kThreadedPixels || rawFrame.height < 2)
        return ConvertPixelsInStrips(rawFrame, rawFormat, output, gains, kRowsPerStrip,
                                     RowLoops::Fast);
    return ConvertPixelsOnTwoThreads(rawFrame, rawFormat, output, gains);
}
