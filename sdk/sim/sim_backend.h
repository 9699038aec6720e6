// The simulated camera backend: cameras with configured features, a frame thread per stream.
//
// Acquisition: the first frame comes one frame period after "AcquisitionStart", then one a
// period. A frame that falls due while the callback still runs is delivered as soon as it
// returns, and the next one a full period after that: no burst of late frames. Start while
// acquiring and stop while stopped succeed and change nothing. Frame ids count from 1 per
// stream and go on across stops and starts. With FrameData in SIMCAM_FAIL every frame arrives
// incomplete (it is counted, and dropped unseen); with FrameStart no frame comes at all.
// A camera set to go away (lostAfterFrames) does so once in the backend's life, right after
// that frame of one of its streams: the stream is lost (Lost(), starts fail, no frames), and
// the camera is missing from the list until lostForSeconds have passed. Opened again, it is a
// fresh camera: the SIMCAM_ settings, ids from 1.
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
