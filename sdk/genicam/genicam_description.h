// What a GenICam camera says of itself and of its settings, read over its control channel.
//
// Every read goes over the network, so the camera is described when its settings can change:
// as its stream opens (after CAMERA_SDK_FEATURES are written), and again at a capture's start
// only for what can change by itself: exposure and gain where their automatic mode is on, and
// the device temperature once it is a minute old.
#ifndef JAI_FACTORY_GENICAM_DESCRIPTION_H
#define JAI_FACTORY_GENICAM_DESCRIPTION_H

#include "frame_metadata.h"

#include <arv.h>

#include <chrono>

struct GenicamDescription {
    CameraDescription camera;
    bool exposureAuto = false; // ExposureAuto is there and not Off
    bool gainAuto = false;     // GainAuto is there and not Off
    std::chrono::steady_clock::time_point temperatureReadAt;
};

// Reads everything: names, region, exposure, gain, frame rate, temperature, automatic modes.
GenicamDescription DescribeGenicamCamera(ArvCamera *camera);

// Reads again what may have changed by itself since; true when anything was read.
bool RefreshGenicamDescription(ArvCamera *camera, GenicamDescription *description);

#endif
