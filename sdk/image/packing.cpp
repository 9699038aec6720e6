// Unpacking of PFNC "p" and GigE Vision "Packed" samples, and packing of every layout.
#include "packing.h"

#include <cstring>

#if defined(__SSE2__)
#include "simd_rows.h"

#include <tmmintrin.h>
#endif

namespace {

// GigE Vision packs two samples in three bytes: the high 8 bits of the first, the low bits of
// both (the first's in bits 0-3, the second's from bit 4), the high 8 bits of the second.
uint16_t GigeVisionSample(const uint8_t *pair, bool second, uint32_t lowBits)
{
    const uint32_t mask = (1u << lowBits) - 1;
    const uint32_t high = second ? pair[2] : pair[0];
    const uint32_t low = second ? pair[1] >> 4 & mask : pair[1] & mask;
    return static_cast<uint16_t>(high << lowBits | low);
}

// Groups of 4 Mono10p samples in 5 bytes, from a sample index that is a multiple of 4.
void UnpackLsb10Groups(const uint8_t *in, uint32_t groups, uint16_t *out)
{
    for (uint32_t g = 0; g < groups; ++g, in += 5, out += 4) {
        out[0] = static_cast<uint16_t>(in[0] | (in[1] & 0x03) << 8);
        out[1] = static_cast<uint16_t>(in[1] >> 2 | (in[2] & 0x0F) << 6);
        out[2] = static_cast<uint16_t>(in[2] >> 4 | (in[3] & 0x3F) << 4);
        out[3] = static_cast<uint16_t>(in[3] >> 6 | in[4] << 2);
    }
}

// Pairs of 12-bit samples in 3 bytes, from an even sample index.
void UnpackLsb12Groups(const uint8_t *in, uint32_t groups, uint16_t *out)
{
    for (uint32_t g = 0; g < groups; ++g, in += 3, out += 2) {
        out[0] = static_cast<uint16_t>(in[0] | (in[1] & 0x0F) << 8);
        out[1] = static_cast<uint16_t>(in[1] >> 4 | in[2] << 4);
    }
}

void UnpackGigeVisionGroups(const uint8_t *in, uint32_t groups, uint32_t lowBits, uint16_t *out)
{
    const uint32_t mask = (1u << lowBits) - 1;
    for (uint32_t g = 0; g < groups; ++g, in += 3, out += 2) {
        out[0] = static_cast<uint16_t>(in[0] << lowBits | (in[1] & mask));
        out[1] = static_cast<uint16_t>(in[2] << lowBits | (in[1] >> 4 & mask));
    }
}

#if defined(__SSE2__)
// Eight samples at a time with SSSE3's byte shuffle, where the processor has it. Each step
// reads 16 bytes, of which it uses the 10 or 12 that hold its eight samples.
const uint32_t kVectorSamples = 8;
const uint32_t kVectorRead = 16;

// PFNC packing puts sample k at bit k * bits: the shuffle gathers the two bytes that hold
// each sample into its 16-bit lane, a multiply shifts each lane left so that every sample
// ends at bit 15, and one shift right brings them down.
__attribute__((target("ssse3"))) void UnpackLsbVectors(const uint8_t *in, uint32_t bits,
                                                       uint32_t steps, uint16_t *out)
{
    alignas(16) int8_t gather[16];
    alignas(16) int16_t factors[kVectorSamples];
    for (uint32_t k = 0; k < kVectorSamples; ++k) {
        const uint32_t firstBit = k * bits;
        gather[2 * k] = static_cast<int8_t>(firstBit / 8);
        gather[2 * k + 1] = static_cast<int8_t>(firstBit / 8 + 1);
        factors[k] = static_cast<int16_t>(1 << (16 - bits - firstBit % 8));
    }
    const __m128i shuffle = _mm_load_si128(reinterpret_cast<const __m128i *>(gather));
    const __m128i shiftLeft = _mm_load_si128(reinterpret_cast<const __m128i *>(factors));
    const __m128i shiftRight = _mm_cvtsi32_si128(static_cast<int>(16 - bits));
    for (uint32_t step = 0; step < steps; ++step, in += bits, out += kVectorSamples) {
        const __m128i bytes = Load(in);
        const __m128i lanes = _mm_mullo_epi16(_mm_shuffle_epi8(bytes, shuffle), shiftLeft);
        Store(out, _mm_srl_epi16(lanes, shiftRight));
    }
}

// GigE Vision packing: each sample's high byte shifted up, or'ed with its low bits, which
// are the shared byte's low nibble for the first of a pair and its high nibble for the second.
__attribute__((target("ssse3"))) void UnpackGigeVisionVectors(const uint8_t *in, uint32_t lowBits,
                                                              uint32_t steps, uint16_t *out)
{
    const __m128i highBytes =
        _mm_setr_epi8(0, -1, 2, -1, 3, -1, 5, -1, 6, -1, 8, -1, 9, -1, 11, -1);
    const __m128i sharedBytes =
        _mm_setr_epi8(1, -1, 1, -1, 4, -1, 4, -1, 7, -1, 7, -1, 10, -1, 10, -1);
    const __m128i nibbleUp = _mm_setr_epi16(16, 1, 16, 1, 16, 1, 16, 1);
    const __m128i lowMask = _mm_set1_epi16(static_cast<int16_t>((1 << lowBits) - 1));
    const __m128i highShift = _mm_cvtsi32_si128(static_cast<int>(lowBits));
    for (uint32_t step = 0; step < steps; ++step, in += 12, out += kVectorSamples) {
        const __m128i bytes = Load(in);
        const __m128i high = _mm_sll_epi16(_mm_shuffle_epi8(bytes, highBytes), highShift);
        const __m128i shared = _mm_shuffle_epi8(bytes, sharedBytes);
        const __m128i low =
            _mm_and_si128(_mm_srli_epi16(_mm_mullo_epi16(shared, nibbleUp), 4), lowMask);
        Store(out, _mm_or_si128(high, low));
    }
}

// The groups the vector steps unpack from the first of groups on: as many as whole steps can
// take while each step's read stays within the groups' bytes.
uint32_t UnpackVectorGroups(const PixelFormatInfo &format, const uint8_t *in, uint32_t groups,
                            uint16_t *out)
{
    const uint64_t bytes = uint64_t{groups} * format.bytesPerGroup;
    const uint32_t groupsPerStep = kVectorSamples / format.pixelsPerGroup;
    const uint32_t stepBytes = groupsPerStep * format.bytesPerGroup;
    if (!HasByteShuffle() || bytes < kVectorRead)
        return 0;
    const uint32_t steps = static_cast<uint32_t>((bytes - kVectorRead) / stepBytes + 1);
    if (format.packing == Packing::GigeVision)
        UnpackGigeVisionVectors(in, format.significantBits - 8, steps, out);
    else
        UnpackLsbVectors(in, format.significantBits, steps, out);
    return steps * groupsPerStep;
}
#endif

void UnpackGroups(const PixelFormatInfo &format, const uint8_t *in, uint32_t groups, uint16_t *out)
{
#if defined(__SSE2__)
    const uint32_t done = UnpackVectorGroups(format, in, groups, out);
    in += uint64_t{done} * format.bytesPerGroup;
    out += uint64_t{done} * format.pixelsPerGroup;
    groups -= done;
#endif
    if (format.packing == Packing::GigeVision)
        UnpackGigeVisionGroups(in, groups, format.significantBits - 8, out);
    else if (format.significantBits == 10)
        UnpackLsb10Groups(in, groups, out);
    else
        UnpackLsb12Groups(in, groups, out);
}

} // namespace

uint16_t UnpackSample(const PixelFormatInfo &format, const uint8_t *data, uint64_t index)
{
    const uint32_t bits = format.significantBits;
    if (format.packing == Packing::GigeVision)
        return GigeVisionSample(data + index / 2 * 3, index % 2 == 1, bits - 8);
    const uint64_t firstBit = index * bits;
    const uint32_t shift = static_cast<uint32_t>(firstBit % 8);
    const uint8_t *byte = data + firstBit / 8;
    uint32_t value = 0;
    for (uint32_t i = 0; i * 8 < shift + bits; ++i)
        value |= uint32_t{byte[i]} << 8 * i;
    return static_cast<uint16_t>(value >> shift & ((1u << bits) - 1));
}

void UnpackSamples(const PixelFormatInfo &format, const uint8_t *data, uint64_t first,
                   uint32_t count, uint16_t *out)
{
    // The samples before the first whole group and after the last one, one at a time.
    const uint32_t group = format.pixelsPerGroup;
    uint32_t done = 0;
    for (; done < count && (first + done) % group != 0; ++done)
        out[done] = UnpackSample(format, data, first + done);
    const uint32_t groups = (count - done) / group;
    UnpackGroups(format, data + (first + done) / group * format.bytesPerGroup, groups, out + done);
    done += groups * group;
    for (; done < count; ++done)
        out[done] = UnpackSample(format, data, first + done);
}

namespace {

void PackGigeVision(uint32_t bits, const uint16_t *samples, uint64_t first, uint32_t count,
                    uint8_t *data)
{
    const uint32_t lowBits = bits - 8;
    const uint32_t lowMask = (1u << lowBits) - 1;
    for (uint32_t i = 0; i < count; ++i) {
        const uint64_t index = first + i;
        const uint32_t value = samples[i] & ((1u << bits) - 1);
        uint8_t *pair = data + index / 2 * 3;
        const bool second = index % 2 == 1;
        const uint32_t at = second ? 4 : 0;
        pair[second ? 2 : 0] = static_cast<uint8_t>(value >> lowBits);
        pair[1] = static_cast<uint8_t>((pair[1] & ~(lowMask << at)) | (value & lowMask) << at);
    }
}

void PackLsb(uint32_t bits, const uint16_t *samples, uint64_t first, uint32_t count, uint8_t *data)
{
    for (uint32_t i = 0; i < count; ++i) {
        const uint64_t firstBit = (first + i) * bits;
        const uint32_t shift = static_cast<uint32_t>(firstBit % 8);
        const uint32_t value = (samples[i] & ((1u << bits) - 1)) << shift;
        const uint32_t mask = ((1u << bits) - 1) << shift;
        uint8_t *byte = data + firstBit / 8;
        for (uint32_t b = 0; b * 8 < shift + bits; ++b) {
            const uint32_t byteMask = mask >> 8 * b & 0xFF;
            byte[b] = static_cast<uint8_t>((byte[b] & ~byteMask) | (value >> 8 * b & byteMask));
        }
    }
}

} // namespace

void PackSamples(const PixelFormatInfo &format, const uint16_t *samples, uint64_t first,
                 uint32_t count, uint8_t *data)
{
    const uint32_t bits = format.significantBits;
    if (format.packing == Packing::GigeVision) {
        PackGigeVision(bits, samples, first, count, data);
    } else if (format.packing == Packing::Lsb) {
        PackLsb(bits, samples, first, count, data);
    } else if (format.packing == Packing::Bytes) {
        for (uint32_t i = 0; i < count; ++i)
            data[first + i] = static_cast<uint8_t>(samples[i]);
    } else {
        const uint16_t mask = static_cast<uint16_t>((1u << bits) - 1);
        uint8_t *words = data + 2 * first;
        for (uint32_t i = 0; i < count; ++i) {
            const uint16_t word = samples[i] & mask;
            std::memcpy(words + 2 * i, &word, 2);
        }
    }
}
