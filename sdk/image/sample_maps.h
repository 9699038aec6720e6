// Maps from a raw sample to an output sample: widening to the output depth, gain, clamping.
//
// Gains are in units of 1 / (1 << 12) = 1/4096, rounded to nearest and clamped at the largest
// output value. Raw samples deeper than 8 bits are widened to 16 bits because their converted
// image is 16-bit, which readers show with 65535 as white: unwidened, a 10-bit image would
// look black. The top bits are repeated into the freed low bits, so that the widest value
// becomes 65535; a raw value above the format's significant bits is first clamped to them.
#ifndef JAI_FACTORY_SAMPLE_MAPS_H
#define JAI_FACTORY_SAMPLE_MAPS_H

#include <algorithm>
#include <cstdint>

struct Gains {
    uint32_t red;
    uint32_t green;
    uint32_t blue;
};

const uint32_t kUnitGain = 4096;
const uint32_t kGainShift = 12;

// The widening alone: what every map does at unit gain. Plain integer steps on the sample
// type, so that loops over it vectorise.
template <typename Sample> class WidenMap {
  public:
    explicit WidenMap(uint32_t significantBits)
        : maxRaw_(static_cast<Sample>((1u << significantBits) - 1)),
          up_(8 * sizeof(Sample) - significantBits), down_(significantBits - up_)
    {
    }
    Sample operator()(uint32_t value) const
    {
        const uint32_t clamped = std::min<uint32_t>(value, maxRaw_);
        return static_cast<Sample>((clamped << up_) | (clamped >> down_));
    }
    // For the vector form of the same steps.
    Sample MaxRaw() const { return maxRaw_; }
    uint32_t Up() const { return up_; }
    uint32_t Down() const { return down_; }

  private:
    Sample maxRaw_;
    uint32_t up_;
    uint32_t down_;
};

// The map of samples that fill their type (8 bits in bytes, 16 in words) at unit gain.
template <typename Sample> class IdentityMap {
  public:
    Sample operator()(uint32_t value) const { return static_cast<Sample>(value); }
};

// Widening, then the gain, rounded and clamped.
class GainScale {
  public:
    GainScale(uint32_t significantBits, uint32_t outputBits, uint32_t gain)
        : maxRaw_((1u << significantBits) - 1), up_(outputBits - significantBits),
          down_(significantBits - up_), gain_(gain), maxOut_((1u << outputBits) - 1)
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

// GainScale as fast as the sample depth allows: a table for 8 bits, arithmetic for 16.
template <typename Sample> class GainMap;

template <> class GainMap<uint8_t> {
  public:
    GainMap(uint32_t significantBits, uint32_t gain)
    {
        const GainScale scale(significantBits, 8, gain);
        for (uint32_t value = 0; value < 256; ++value)
            table_[value] = static_cast<uint8_t>(scale(value));
    }
    uint8_t operator()(uint32_t value) const { return table_[value]; }

  private:
    uint8_t table_[256];
};

template <> class GainMap<uint16_t> {
  public:
    GainMap(uint32_t significantBits, uint32_t gain) : scale_(significantBits, 16, gain) {}
    uint16_t operator()(uint32_t value) const { return static_cast<uint16_t>(scale_(value)); }

  private:
    GainScale scale_;
};

// Calls convert with three maps (red, green, blue). At unit gains, the fast and common case,
// the identity when samples fill their type, else the widening alone; otherwise gain maps.
template <typename Sample, typename Convert>
void WithMaps(uint32_t significantBits, const Gains &gains, Convert convert)
{
    if (gains.red == kUnitGain && gains.green == kUnitGain && gains.blue == kUnitGain) {
        if (significantBits == 8 * sizeof(Sample)) {
            const IdentityMap<Sample> maps[3] = {};
            convert(maps);
            return;
        }
        const WidenMap<Sample> widen(significantBits);
        const WidenMap<Sample> maps[3] = {widen, widen, widen};
        convert(maps);
        return;
    }
    const GainMap<Sample> maps[3] = {GainMap<Sample>(significantBits, gains.red),
                                     GainMap<Sample>(significantBits, gains.green),
                                     GainMap<Sample>(significantBits, gains.blue)};
    convert(maps);
}

#endif
