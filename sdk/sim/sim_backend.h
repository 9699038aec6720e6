// The simulated camera backend: cameras with configured features, a frame thread per stream.
//
// Acquisition: the first frame comes one frame period after "AcquisitionStart", then one a
// period. A frame that falls due while the callback still runs is delivered as soon as it
// returns, and the next one a full period after that: no burst of late frames. Start while
// acquiring and stop while stopped succeed and change nothing. Frame ids count from 1 per
// stream and go on across stops and starts.
#ifndef JAI_FACTORY_SIM_BACKEND_H
#define JAI_FACTORY_SIM_BACKEND_H

#include "camera_backend.h"
#include "sim_config.h"

#include <cstdint>
#include <memory>

std::unique_ptr<CameraBackend> MakeSimBackend(const SimConfig &config);

// Identifier of simulated camera index: "SIMCAM-<index>".
std::string SimCameraId(uint32_t index);

// Sample (x, y) of frame frameId of the test pattern: a diagonal ramp that moves one step a
// frame. 8-bit samples are ramp mod 256; 16-bit samples (ramp mod 1024) * 64.
inline uint16_t SimPatternSample(uint32_t x, uint32_t y, uint64_t frameId, bool sixteenBit)
{
    const uint64_t ramp = uint64_t{x} + y + frameId;
    return static_cast<uint16_t>(sixteenBit ? (ramp % 1024) * 64 : ramp % 256);
}

#endif
