// The one call through which every backend hands a frame to the program's callback.
#include "frame_sink.h"

namespace {

// Each thread's own: set and read on the same thread, so nothing is shared.
thread_local bool insideFrameCallback = false;

} // namespace

void DeliverFrame(const FrameSink &sink, J_IMAGE_RECORD *frame, const FrameOrigin &origin)
{
    // Kept apart: the callback may change the record.
    const uint8_t *const buffer = frame->buffer;
    if (buffer != nullptr)
        RememberDeliveredFrame(buffer, FrameMetadata{origin, sink.cameraId, frame->pixelFormat});
    insideFrameCallback = true;
    sink.callback(sink.callbackObject, frame);
    insideFrameCallback = false;
    if (buffer != nullptr)
        ForgetDeliveredFrame(buffer);
}

bool InsideFrameCallback() { return insideFrameCallback; }
