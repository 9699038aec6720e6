// SSE2 pieces that the family converters' vector loops share: whole registers of 8-bit or
// 16-bit samples loaded, split into even and odd columns, averaged as the plain loops round,
// and stored as interleaved RGB. SSE2 is part of every x86-64 processor, so these need no
// run-time check; the family files use them where the compiler targets SSE2 and fall back to
// their plain loops elsewhere. Loops that need SSSE3's byte shuffle check HasByteShuffle.
#ifndef JAI_FACTORY_SIMD_ROWS_H
#define JAI_FACTORY_SIMD_ROWS_H

#include "sample_maps.h"

#include <emmintrin.h>

#include <cstdint>

// True when the processor has SSSE3, whose byte shuffle gathers the bytes of packed samples
// and of reordered channels; functions that use it are compiled for it alone.
inline bool HasByteShuffle()
{
    static const bool has = __builtin_cpu_supports("ssse3") != 0;
    return has;
}

// Samples a register holds.
template <typename Sample> constexpr uint32_t kLanes = 16 / sizeof(Sample);

inline __m128i Load(const void *at) { return _mm_loadu_si128(static_cast<const __m128i *>(at)); }

inline void Store(void *at, __m128i value) { _mm_storeu_si128(static_cast<__m128i *>(at), value); }

// The even and odd samples of the 2 * kLanes samples from at.
struct EvenOdd {
    __m128i even;
    __m128i odd;
};

inline EvenOdd SplitEvenOdd(const uint8_t *at)
{
    const __m128i low = Load(at);
    const __m128i high = Load(at + 16);
    const __m128i byteMask = _mm_set1_epi16(0x00FF);
    return {_mm_packus_epi16(_mm_and_si128(low, byteMask), _mm_and_si128(high, byteMask)),
            _mm_packus_epi16(_mm_srli_epi16(low, 8), _mm_srli_epi16(high, 8))};
}

inline EvenOdd SplitEvenOdd(const uint16_t *at)
{
    const __m128i low = Load(at);
    const __m128i high = Load(at + 8);
    // Sign-extended halves survive the signed pack bit for bit.
    return {_mm_packs_epi32(_mm_srai_epi32(_mm_slli_epi32(low, 16), 16),
                            _mm_srai_epi32(_mm_slli_epi32(high, 16), 16)),
            _mm_packs_epi32(_mm_srai_epi32(low, 16), _mm_srai_epi32(high, 16))};
}

// (a + b + 1) >> 1 in each lane.
inline __m128i VectorMean2(__m128i a, __m128i b, uint8_t) { return _mm_avg_epu8(a, b); }
inline __m128i VectorMean2(__m128i a, __m128i b, uint16_t) { return _mm_avg_epu16(a, b); }

// Lanes shifted right by 2 within their own width.
inline __m128i Quarter(__m128i value, uint8_t)
{
    return _mm_and_si128(_mm_srli_epi16(value, 2), _mm_set1_epi8(0x3F));
}
inline __m128i Quarter(__m128i value, uint16_t) { return _mm_srli_epi16(value, 2); }

inline __m128i Add(__m128i a, __m128i b, uint8_t) { return _mm_add_epi8(a, b); }
inline __m128i Add(__m128i a, __m128i b, uint16_t) { return _mm_add_epi16(a, b); }

// (a + b + c + d + 2) >> 2 in each lane without a wider type: the quarters of the four add
// up to at most the largest sample, and their low two bits give the rest of the sum.
template <typename Sample> __m128i VectorMean4(__m128i a, __m128i b, __m128i c, __m128i d)
{
    const Sample tag{};
    const __m128i quarters = Add(Add(Quarter(a, tag), Quarter(b, tag), tag),
                                 Add(Quarter(c, tag), Quarter(d, tag), tag), tag);
    const __m128i three = sizeof(Sample) == 1 ? _mm_set1_epi8(3) : _mm_set1_epi16(3);
    const __m128i lows = Add(Add(_mm_and_si128(a, three), _mm_and_si128(b, three), tag),
                             Add(_mm_and_si128(c, three), _mm_and_si128(d, three), tag), tag);
    const __m128i two = sizeof(Sample) == 1 ? _mm_set1_epi8(2) : _mm_set1_epi16(2);
    return Add(quarters, Quarter(Add(lows, two, tag), tag), tag);
}

// The maps of sample_maps.h on whole registers, for the maps that have a vector form: the
// identity and the widening of 16-bit samples. Others have none (kVectorMap false).
template <typename Map> struct VectorMap {
    static constexpr bool kVectorMap = false;
};

template <typename Sample> struct VectorMap<IdentityMap<Sample>> {
    static constexpr bool kVectorMap = true;
    explicit VectorMap(const IdentityMap<Sample> &) {}
    __m128i operator()(__m128i value) const { return value; }
};

template <> struct VectorMap<WidenMap<uint16_t>> {
    static constexpr bool kVectorMap = true;
    explicit VectorMap(const WidenMap<uint16_t> &map)
        : maxRaw_(_mm_set1_epi16(static_cast<short>(map.MaxRaw()))),
          up_(_mm_cvtsi32_si128(static_cast<int>(map.Up()))),
          down_(_mm_cvtsi32_si128(static_cast<int>(map.Down())))
    {
    }
    __m128i operator()(__m128i value) const
    {
        const __m128i clamped = _mm_sub_epi16(value, _mm_subs_epu16(value, maxRaw_));
        return _mm_or_si128(_mm_sll_epi16(clamped, up_), _mm_srl_epi16(clamped, down_));
    }

  private:
    __m128i maxRaw_;
    __m128i up_;
    __m128i down_;
};

// Two pixels in the low 6 bytes of each 64-bit lane, as 12 bytes from byte 0 (the top 4 zero).
inline __m128i CloseLanes(__m128i lanes)
{
    return _mm_or_si128(_mm_move_epi64(lanes), _mm_slli_si128(_mm_srli_si128(lanes, 8), 6));
}

// Four runs of 12 bytes (CloseLanes) stored as 48 bytes from out.
inline void Store48(uint8_t *out, __m128i first, __m128i second, __m128i third, __m128i fourth)
{
    Store(out, _mm_or_si128(first, _mm_slli_si128(second, 12)));
    Store(out + 16, _mm_or_si128(_mm_srli_si128(second, 4), _mm_slli_si128(third, 8)));
    Store(out + 32, _mm_or_si128(_mm_srli_si128(third, 8), _mm_slli_si128(fourth, 4)));
}

// RGB of four pixels at 32 bits each (the top byte zero) in the low 6 bytes of each lane.
inline __m128i ThreeByteLanes(__m128i pixels)
{
    const __m128i low = _mm_set_epi32(0, 0x00FFFFFF, 0, 0x00FFFFFF);
    const __m128i high = _mm_set_epi32(0x0000FFFF, static_cast<int>(0xFF000000u), 0x0000FFFF,
                                       static_cast<int>(0xFF000000u));
    return _mm_or_si128(_mm_and_si128(pixels, low), _mm_and_si128(_mm_srli_epi64(pixels, 8), high));
}

// Pixels 0 to kLanes - 1 of red, green and blue planes, stored as RGB from out.
inline void StoreRgb(__m128i red, __m128i green, __m128i blue, uint8_t *out)
{
    const __m128i zero = _mm_setzero_si128();
    const __m128i redGreenLow = _mm_unpacklo_epi8(red, green);
    const __m128i redGreenHigh = _mm_unpackhi_epi8(red, green);
    const __m128i blueLow = _mm_unpacklo_epi8(blue, zero);
    const __m128i blueHigh = _mm_unpackhi_epi8(blue, zero);
    Store48(out, CloseLanes(ThreeByteLanes(_mm_unpacklo_epi16(redGreenLow, blueLow))),
            CloseLanes(ThreeByteLanes(_mm_unpackhi_epi16(redGreenLow, blueLow))),
            CloseLanes(ThreeByteLanes(_mm_unpacklo_epi16(redGreenHigh, blueHigh))),
            CloseLanes(ThreeByteLanes(_mm_unpackhi_epi16(redGreenHigh, blueHigh))));
}

inline void StoreRgb(__m128i red, __m128i green, __m128i blue, uint16_t *out)
{
    const __m128i zero = _mm_setzero_si128();
    const __m128i redGreenLow = _mm_unpacklo_epi16(red, green);
    const __m128i redGreenHigh = _mm_unpackhi_epi16(red, green);
    const __m128i blueLow = _mm_unpacklo_epi16(blue, zero);
    const __m128i blueHigh = _mm_unpackhi_epi16(blue, zero);
    Store48(reinterpret_cast<uint8_t *>(out), CloseLanes(_mm_unpacklo_epi32(redGreenLow, blueLow)),
            CloseLanes(_mm_unpackhi_epi32(redGreenLow, blueLow)),
            CloseLanes(_mm_unpacklo_epi32(redGreenHigh, blueHigh)),
            CloseLanes(_mm_unpackhi_epi32(redGreenHigh, blueHigh)));
}

// Lanes of even and odd pixels interleaved: pixels 0 to kLanes - 1, then the next kLanes.
inline __m128i InterleaveLow(__m128i even, __m128i odd, uint8_t)
{
    return _mm_unpacklo_epi8(even, odd);
}
inline __m128i InterleaveHigh(__m128i even, __m128i odd, uint8_t)
{
    return _mm_unpackhi_epi8(even, odd);
}
inline __m128i InterleaveLow(__m128i even, __m128i odd, uint16_t)
{
    return _mm_unpacklo_epi16(even, odd);
}
inline __m128i InterleaveHigh(__m128i even, __m128i odd, uint16_t)
{
    return _mm_unpackhi_epi16(even, odd);
}

#endif
