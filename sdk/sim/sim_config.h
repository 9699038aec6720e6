// The simulated camera's settings and their parsing from the SIMCAM_ variables, each read
// as setting_grammar.h says (unset or blank keeps the default):
//   SIMCAM_CAMERAS       integer: cameras listed, 0 to 64 (default 1)
//   SIMCAM_WIDTH/HEIGHT  integers: what the features "Width" and "Height" return, any 64-bit
//                        integer (default 1280 x 1024); a stream opens only for 1 to 4294967295
//   SIMCAM_PIXEL_FORMAT  any raw format by its PFNC name (pixel_formats.cpp; default BayerRG8)
//   SIMCAM_FPS           number: frames a second, 0.001 to 100000 (default 30)
//   SIMCAM_FAIL          list separated by ',': operations that then fail (kFailureNames,
//                        sim_config.cpp), and FrameData or FrameStart for frames that come
//                        incomplete or not at all
//   SIMCAM_LOST_AFTER    integer: the camera goes away after this many frames of a stream,
//                        once, 0 to 1000000000 (default 0: never)
//   SIMCAM_LOST_FOR      number: and comes back after this many seconds, 0 to 86400 (default 5)
#ifndef JAI_FACTORY_SIM_CONFIG_H
#define JAI_FACTORY_SIM_CONFIG_H

#include "camera_backend.h"
#include "failure_points.h"
#include "setting_grammar.h"

#include <cstdint>
#include <string>

// The range of SIMCAM_FPS and of the feature AcquisitionFrameRate.
constexpr double kMinFramesPerSecond = 0.001;
constexpr double kMaxFramesPerSecond = 100000;

struct SimConfig {
    uint32_t cameraCount = 1;
    int64_t width = 1280;
    int64_t height = 1024;
    uint32_t pixelFormat = J_PF_BAYER_RG8;
    double framesPerSecond = 30;
    FailureSet failures = 0;
    uint64_t lostAfterFrames = 0; // the camera goes away after this many frames; 0: never
    double lostForSeconds = 5;    // and comes back after this long
};

struct ParsedSimConfig {
    bool ok;
    SimConfig config;  // when ok
    std::string error; // when not ok, the refusal line, e.g. SIMCAM_FPS: "abc" is not a number
};

// Reads the SIMCAM_ variables through lookup; touches nothing else. Reports the first
// malformed variable.
ParsedSimConfig ParseSimConfig(const VariableLookup &lookup);

// The raw format that name names (pixel_formats.cpp), as SIMCAM_PIXEL_FORMAT takes it;
// returns the problem ("not a pixel format ...") for any other name, empty when it is known.
std::string FindSimPixelFormat(const std::string &name, uint32_t *format);

#endif
