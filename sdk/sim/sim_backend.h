// The simulated camera backend: cameras with configured features, a frame thread per stream.
//
// Acquisition: the first frame comes one frame period after "AcquisitionStart", then one a
// period. A frame that falls due while the callback still runs is delivered as soon as it
// returns, and the next one a full period after that: no burst of late frames. Start while
// acquiring and stop while stopped succeed and change nothing. Frame ids count from 1 per
// stream and go on across stops and starts. With FrameData in SIMCAM_FAIL every frame arrives
// incomplete (it is counted, and dropped unseen); with FrameStart no frame comes at all.
#ifndef JAI_FACTORY_SIM_BACKEND_H
#define JAI_FACTORY_SIM_BACKEND_H

#include "camera_backend.h"
#include "sim_config.h"

#include <cstdint>
#include <memory>

std::unique_ptr<CameraBackend> MakeSimBackend(const SimConfig &config);

// Identifier of simulated camera index: "SIMCAM-<index>".
std::string SimCameraId(uint32_t index);

#endif
