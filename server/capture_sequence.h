// One capture on camera 0, from arming the capture flags to the saved file.
#ifndef CAPTURE_CAPTURE_SEQUENCE_H
#define CAPTURE_CAPTURE_SEQUENCE_H

#include "camera.h"
#include "command_loop.h"

// Main thread. Arms slot, runs acquisition until the frame arrives, stops it, prints the
// elapsed time, waits 10 ms and then for the frame's file to be in place.
CaptureOutcome RunCapture(const CameraHandles &handles, Slot slot);

#endif
