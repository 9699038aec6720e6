// The one call through which every backend hands a frame to the program's callback.
#include "frame_sink.h"

namespace {

// Each thread's own: set and read on the same thread, so nothing is shared.
thread_local bool insideFrameCallback = false;

} // namespace

void DeliverFrame(const FrameSink &sink, J_IMAGE_RECORD *frame)
{
    insideFrameCallback = true;
    sink.callback(sink.callbackObject, frame);
    insideFrameCallback = false;
}

bool InsideFrameCallback() { return insideFrameCallback; }
