// What the library knows of a frame beyond its pixels, kept from its delivery to its save.
//
// A backend describes its camera when the description can change (as a stream opens, and at a
// capture's start where an automatic mode is on) and hands that description with each frame.
// While the frame callback runs, its raw buffer is known here; J_Image_FromRawToImage carries
// the frame's metadata over to the converted buffer, where J_Image_SaveFile finds it, and
// J_Image_Free drops it. Any thread may call these; they share one mutex.
#ifndef JAI_FACTORY_FRAME_METADATA_H
#define JAI_FACTORY_FRAME_METADATA_H

#include <Jai_Factory.h>

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

// What a camera says of itself and of its settings; a value it does not have stays empty.
struct CameraDescription {
    std::string vendor; // Make
    std::string model;  // Model
    std::optional<int64_t> offsetX;
    std::optional<int64_t> offsetY;
    std::optional<double> exposureUs;
    std::optional<double> gain;
    std::optional<double> frameRate;
    std::optional<double> temperatureC;
};

// Where a frame comes from, as its backend hands it over.
struct FrameOrigin {
    std::shared_ptr<const CameraDescription> camera; // null: nothing known
    bool cameraClock = false; // timestampUs counts on the camera's clock, not the host's
    std::chrono::system_clock::time_point arrival; // host time when the frame arrived
};

struct FrameMetadata {
    FrameOrigin origin;
    std::string cameraId;    // as J_Factory_GetCameraIDByIndex gives it
    uint32_t rawPixelFormat; // the format the camera sent
};

// The metadata of the raw frame in buffer, from now until ForgetDeliveredFrame(buffer).
void RememberDeliveredFrame(const uint8_t *buffer, const FrameMetadata &metadata);
void ForgetDeliveredFrame(const uint8_t *buffer);

// Gives the converted image in converted the metadata of the raw frame in raw; none when raw
// is no frame being delivered.
void CarryFrameMetadata(const uint8_t *raw, const uint8_t *converted);

// The metadata of the converted image in buffer; null when it has none.
std::shared_ptr<const FrameMetadata> FindFrameMetadata(const uint8_t *buffer);

// Drops the metadata of the converted image in buffer, as its buffer is freed.
void ForgetFrameMetadata(const uint8_t *buffer);

#endif
