// The camera timestamp that the capture server writes into each saved TIFF.
#ifndef CAPTURE_BENCH_FRAME_TIMESTAMP_H
#define CAPTURE_BENCH_FRAME_TIMESTAMP_H

#include <cstdint>
#include <string>

// Reads "timestamp_us=<t>" from the ImageDescription of the TIFF at path. The simulated
// camera stamps each frame with the system's monotonic clock when it starts to render it.
bool ReadFrameTimestampUs(const std::string &path, uint64_t *timestampUs);

#endif
