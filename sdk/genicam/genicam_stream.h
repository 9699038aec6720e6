// The stream of a GenICam camera: Aravis buffers of the payload size, frames to the sink.
//
// Frames reach the sink on Aravis's stream thread, only while acquiring, only when complete,
// and only when their first packet came after the latest "AcquisitionStart", so that a frame
// left in flight by an earlier acquisition is never passed off as a new one. The frames that
// arrive incomplete are counted, with Aravis's counts of missing and resent packets. A lost
// camera's stream delivers nothing more and its starts fail without a command.
#ifndef JAI_FACTORY_GENICAM_STREAM_H
#define JAI_FACTORY_GENICAM_STREAM_H

#include "camera_backend.h"

#include <arv.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>

class GenicamStream;

// Whether control of a camera is lost: set by Aravis's control-lost signal (a GigE Vision
// heartbeat without answer; a USB3 Vision camera unplugged) or by a command that found no
// camera; read by the camera's stream.
struct CameraLoss {
    std::atomic<bool> lost{false};
    std::mutex mutex;                // held while the open stream is told of the loss
    GenicamStream *stream = nullptr; // the open stream, under mutex
};

// Marks the camera lost on Aravis's control-lost signal, and tells its open stream.
void ReportCameraLost(CameraLoss *loss);

// True for Aravis's errors that say the camera did not answer at all, as against a camera
// that answered with a refusal.
bool MeansCameraGone(const GError *error);

// Opens the camera's stream with buffers of payloadBytes. J_ST_NOT_AVAILABLE when Aravis
// refuses it.
J_STATUS_TYPE OpenGenicamStream(ArvCamera *camera, CameraLoss *loss, const FrameSink &sink,
                                uint32_t payloadBytes, std::unique_ptr<BackendStream> *stream);

#endif
