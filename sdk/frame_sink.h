// Where a stream hands its frames, and how the entry points know that a thread runs a frame
// callback.
#ifndef JAI_FACTORY_FRAME_SINK_H
#define JAI_FACTORY_FRAME_SINK_H

#include <Jai_Factory.h>

#include "frame_metadata.h"

#include <string>

// The callback given to J_Image_OpenStream.
struct FrameSink {
    J_FRAME_CALLBACK callback;
    void *callbackObject;
    std::string cameraId; // the camera whose frames these are, for their metadata
};

// Every backend hands each frame to its sink through this call, with where the frame comes
// from; the frame's metadata (frame_metadata.h) is known while the callback runs.
void DeliverFrame(const FrameSink &sink, J_IMAGE_RECORD *frame, const FrameOrigin &origin);

// True on a thread while DeliverFrame runs its callback there: closing a stream joins frame
// threads, which from a callback could be its own thread or one that waits for this one.
bool InsideFrameCallback();

#endif
