// The camera settings that a benchmark runs at, and raw frames of the test pattern at them.
#ifndef CAPTURE_BENCH_BENCH_SETTING_H
#define CAPTURE_BENCH_BENCH_SETTING_H

#include "server_process.h"
#include "sim_config.h"

#include <Jai_Factory.h>

#include <cstdint>
#include <string>
#include <vector>

struct BenchSetting {
    std::string label;   // e.g. "640x480 Mono8 at 200 fps"
    Variables variables; // the SIMCAM_ variables that give the setting to the server
    SimConfig config;    // the same, as the camera library reads them
};

// Reads "WIDTHxHEIGHT:FORMAT:FPS", e.g. "640x480:Mono8:200", with the camera library's own
// parser. False with *error set when the text or a value is not usable.
bool ParseBenchSetting(const std::string &text, BenchSetting *setting, std::string *error);

// The four settings of the latency goals.
std::vector<std::string> DefaultBenchSettings();

// A raw frame as the simulated camera delivers it; the record points into samples.
struct RawFrame {
    std::vector<uint16_t> samples; // words, so that 16-bit samples are aligned
    J_IMAGE_RECORD record;
};

// Renders frame frameId of the test pattern at config's size and pixel format.
void MakeRawFrame(const SimConfig &config, uint64_t frameId, RawFrame *frame);

#endif
