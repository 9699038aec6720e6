// The internal interface between the entry points and a camera implementation (a backend).
//
// The entry points serialise every call into a backend, its cameras and its streams; only a
// stream's own frame thread runs alongside those calls, and the configured layer's return
// thread, which lists and opens a lost camera again under a lock of its own
// (configured_camera.h). An object is destroyed outside that serialisation, once nothing can
// reach it, in the order stream, camera, backend.
#ifndef JAI_FACTORY_CAMERA_BACKEND_H
#define JAI_FACTORY_CAMERA_BACKEND_H

#include <Jai_Factory.h>

#include "frame_sink.h"

#include <cstdint>
#include <memory>
#include <string>

// What a stream counted since it opened. Any thread may read it.
struct StreamCounts {
    uint64_t incompleteFrames = 0; // frames dropped because they did not arrive whole
    bool countsPackets = false;    // the two below are counted (GigE Vision)
    uint64_t missingPackets = 0;
    uint64_t resentPackets = 0;
    bool overUsb = false; // a USB3 Vision stream: the cable, port and hub carry it
};

class BackendStream {
  public:
    // Ends delivery: once the destructor returns, no callback runs or starts.
    virtual ~BackendStream() = default;
    // Frames reach the sink between these two; each is harmless when repeated.
    virtual J_STATUS_TYPE StartAcquisition() = 0;
    virtual J_STATUS_TYPE StopAcquisition() = 0;
    // The time one frame takes as the camera is set now: its frame period plus its exposure
    // time, in seconds; what is unknown counts as 0.
    virtual double FrameIntervalSeconds() = 0;
    virtual StreamCounts Counts() const = 0;
    // True once control of the camera is lost (unplugged, switched off, cut from the
    // network): the stream delivers nothing more, a start fails, and only the camera opened
    // again by its ID gives frames. Any thread may ask; it costs no call to the camera.
    virtual bool Lost() const = 0;
};

class BackendCamera {
  public:
    virtual ~BackendCamera() = default;
    virtual J_STATUS_TYPE GetValueInt64(const std::string &feature, int64_t *value) = 0;
    // Writes value (text, read as the feature's type needs) to feature; returns the camera's
    // reason when it lacks the feature, refuses the value or does not let it be written,
    // empty when the value is written.
    virtual std::string SetFeature(const std::string &feature, const std::string &value) = 0;
    // Opens the camera's one stream; a frame larger than bufferSize fails it.
    virtual J_STATUS_TYPE OpenStream(const FrameSink &sink, uint32_t bufferSize,
                                     std::unique_ptr<BackendStream> *stream) = 0;
};

class CameraBackend {
  public:
    virtual ~CameraBackend() = default;
    // Looks for cameras; the list is empty before the first call.
    virtual J_STATUS_TYPE UpdateCameraList(bool *listChanged) = 0;
    virtual uint32_t CameraCount() const = 0;
    // Identifier of camera index, below CameraCount().
    virtual std::string CameraId(uint32_t index) const = 0;
    // J_ST_NOT_AVAILABLE for an identifier that is not in the list. A camera may be opened
    // again once the one opened before is destroyed.
    virtual J_STATUS_TYPE OpenCamera(const std::string &id,
                                     std::unique_ptr<BackendCamera> *camera) = 0;
};

#endif
