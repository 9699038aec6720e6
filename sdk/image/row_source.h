// The rows of a raw frame as samples, whatever their packing, for the family converters.
#ifndef JAI_FACTORY_ROW_SOURCE_H
#define JAI_FACTORY_ROW_SOURCE_H

#include "pixel_formats.h"
#include "sample_maps.h"

#include <Jai_Factory.h>

#include <cstddef>
#include <cstdint>

// Which loops convert: the fast ones (vectors, groups at a time), or the plain ones that they
// are tested against (a sample, a pixel at a time, as the conversion is defined).
enum class RowLoops { Fast, Plain };

// Rows firstRow to endRow - 1 of a raw frame, and the row either side where the frame has
// one (the demosaic reads them). Unpacked formats are read where they are; packed ones are
// unpacked into scratch first, which holds ScratchSamples of them.
class RowSource {
  public:
    RowSource(const J_IMAGE_RECORD &raw, const PixelFormatInfo &format, uint32_t firstRow,
              uint32_t endRow, uint16_t *scratch, RowLoops loops);

    // Samples a row: width * samplesPerPixel.
    static size_t ScratchSamples(const PixelFormatInfo &format, uint32_t width, uint32_t rows);

    // Row y's samples: uint8_t for Packing::Bytes, uint16_t for the others.
    template <typename Sample> const Sample *Row(uint32_t y) const
    {
        if (scratch_ != nullptr)
            return reinterpret_cast<const Sample *>(scratch_ +
                                                    (y - scratchFirstRow_) * rowSamples_);
        return reinterpret_cast<const Sample *>(raw_.buffer + y * rowSamples_ * sizeof(Sample));
    }

    const PixelFormatInfo &format;
    const uint32_t width;
    const uint32_t height;

  private:
    const J_IMAGE_RECORD &raw_;
    const size_t rowSamples_;
    const uint16_t *scratch_ = nullptr;
    uint32_t scratchFirstRow_ = 0;
};

// Calls convert with a value of the type that holds format's samples in a row: uint8_t for
// Packing::Bytes, uint16_t for the others.
template <typename Convert> void WithSampleType(const PixelFormatInfo &format, Convert convert)
{
    if (format.bytesPerSample == 1)
        convert(uint8_t{});
    else
        convert(uint16_t{});
}

// A family's conversion of rows firstRow to endRow - 1 into output, the whole converted image.
using ConvertRows = void (*)(const RowSource &rows, const Gains &gains, uint32_t firstRow,
                             uint32_t endRow, uint8_t *output);

void ConvertMonoRows(const RowSource &rows, const Gains &gains, uint32_t firstRow, uint32_t endRow,
                     uint8_t *output);
void ConvertBayerRows(const RowSource &rows, const Gains &gains, uint32_t firstRow, uint32_t endRow,
                      uint8_t *output);
void ConvertRgbRows(const RowSource &rows, const Gains &gains, uint32_t firstRow, uint32_t endRow,
                    uint8_t *output);
void ConvertYuv422Rows(const RowSource &rows, const Gains &gains, uint32_t firstRow,
                       uint32_t endRow, uint8_t *output);

// The plain loops of the families, that the fast ones are tested against.
void ConvertMonoRowsPlainly(const RowSource &rows, const Gains &gains, uint32_t firstRow,
                            uint32_t endRow, uint8_t *output);
void ConvertBayerRowsPlainly(const RowSource &rows, const Gains &gains, uint32_t firstRow,
                             uint32_t endRow, uint8_t *output);
void ConvertRgbRowsPlainly(const RowSource &rows, const Gains &gains, uint32_t firstRow,
                           uint32_t endRow, uint8_t *output);
void ConvertYuv422RowsPlainly(const RowSource &rows, const Gains &gains, uint32_t firstRow,
                              uint32_t endRow, uint8_t *output);

#endif
