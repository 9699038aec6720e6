// The stream of a GenICam camera: Aravis buffers of the payload size, frames to the sink.
//
// Frames reach the sink on Aravis's stream thread, only while acquiring, only when complete,
// and only when their first packet came after the latest "AcquisitionStart", so that a frame
// left in flight by an earlier acquisition is never passed off as a new one. The frames that
// arrive incomplete are counted, with Aravis's counts of missing and resent packets.
#ifndef JAI_FACTORY_GENICAM_STREAM_H
#define JAI_FACTORY_GENICAM_STREAM_H

#include "camera_backend.h"

#include <arv.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>

class GenicamStream;

// What a camera's loss handler (on Aravis's heartbeat thread) shares with its open stream.
struct CameraLoss {
    std::atomic<bool> lost{false};
    std::mutex mutex;                // held while a loss is told to the stream
    GenicamStream *stream = nullptr; // the open stream, under mutex
};

// Marks the camera lost; a capture that waits on its stream gets a frame record with no
// pixels, so that it ends (its save fails) instead of waiting for ever.
void ReportCameraLost(CameraLoss *loss);

// Opens the camera's stream with buffers of payloadBytes. J_ST_NOT_AVAILABLE when Aravis
// refuses it.
J_STATUS_TYPE OpenGenicamStream(ArvCamera *camera, CameraLoss *loss, const FrameSink &sink,
                                uint32_t payloadBytes, std::unique_ptr<BackendStream> *stream);

#endif
