// Samples in and out of a frame's bytes, for every packing: one byte, one word, PFNC's bit
// packing ("p") and GigE Vision's "Packed". Packed samples run on across row ends, so a
// sample is addressed by its index in the whole frame.
#ifndef JAI_FACTORY_PACKING_H
#define JAI_FACTORY_PACKING_H

#include "pixel_formats.h"

#include <cstdint>

// Samples first to first + count - 1 of data, packed as format packs them (Lsb or GigeVision),
// as 16-bit samples into out. Reads only the bytes that hold those samples.
void UnpackSamples(const PixelFormatInfo &format, const uint8_t *data, uint64_t first,
                   uint32_t count, uint16_t *out);

// The plain form of UnpackSamples, one sample at a time from its definition: the reference
// that the fast loops are tested against.
uint16_t UnpackSample(const PixelFormatInfo &format, const uint8_t *data, uint64_t index);

// Writes samples[0..count) as samples first.. of data in format's packing (any packing).
// Bits of a packed byte that other samples share are kept.
void PackSamples(const PixelFormatInfo &format, const uint16_t *samples, uint64_t first,
                 uint32_t count, uint8_t *data);

#endif
