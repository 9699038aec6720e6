// The GenICam camera backend: the devices that Aravis finds, GigE Vision and USB3 Vision.
//
// Camera IDs are Aravis's device IDs, in Aravis's order. Integer features are read through
// the device's feature tree, and CAMERA_SDK_FEATURES written through it (genicam_features.h);
// "AcquisitionStart" and "AcquisitionStop" execute those commands.
// Frames come on Aravis's stream thread in the camera's own size, pixel format, frame id
// (carried past the 16-bit wrap, so that it always increases) and timestamp. A lost camera
// (Aravis's control-lost signal, or a command that no camera answers) says so through its
// stream's Lost(); the configured layer waits for it and opens it again (camera_return.h). A GigE
// Vision camera gets, as its stream opens, the largest packet size that passes, unless
// CAMERA_SDK_FEATURES sets GevSCPSPacketSize (one line on standard error gives it, with the camera
// ID).
#ifndef JAI_FACTORY_GENICAM_BACKEND_H
#define JAI_FACTORY_GENICAM_BACKEND_H

#include "backend_choice.h"

// The backend, or, in a library built without Aravis, the failure that says so.
BackendChoice ChooseGenicamBackend(const char *variable, const std::string &value);

#endif
