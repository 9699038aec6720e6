// The rows of a raw frame as samples: in place, or unpacked from PFNC or GigE Vision packing.
#include "row_source.h"

#include "packing.h"

#include <algorithm>

RowSource::RowSource(const J_IMAGE_RECORD &raw, const PixelFormatInfo &format, uint32_t firstRow,
                     uint32_t endRow, uint16_t *scratch, RowLoops loops)
    : format(format), width(raw.width), height(raw.height), raw_(raw),
      rowSamples_(size_t{raw.width} * format.samplesPerPixel)
{
    if (format.packing != Packing::Lsb && format.packing != Packing::GigeVision)
        return;
    const uint32_t first = firstRow == 0 ? 0 : firstRow - 1;
    const uint32_t end = std::min(endRow + 1, height);
    for (uint32_t y = first; y < end; ++y) {
        const uint64_t firstSample = uint64_t{y} * rowSamples_;
        uint16_t *row = scratch + (y - first) * rowSamples_;
        if (loops == RowLoops::Fast) {
            UnpackSamples(format, raw.buffer, firstSample, static_cast<uint32_t>(rowSamples_), row);
            continue;
        }
        for (size_t i = 0; i < rowSamples_; ++i)
            row[i] = UnpackSample(format, raw.buffer, firstSample + i);
    }
    scratch_ = scratch;
    scratchFirstRow_ = first;
}

size_t RowSource::ScratchSamples(const PixelFormatInfo &format, uint32_t width, uint32_t rows)
{
    if (format.packing != Packing::Lsb && format.packing != Packing::GigeVision)
        return 0;
    return (size_t{rows} + 2) * width * format.samplesPerPixel;
}
