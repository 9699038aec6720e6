// The extension of wrapped 16-bit frame ids.
#include "genicam_frame_ids.h"

namespace {

const uint64_t kLargestShortId = 65535; // 16-bit block ids run 1 to 65535; 0 is not used

} // namespace

uint64_t FrameIdExtender::Extend(uint64_t cameraId)
{
    if (cameraId < lastCameraId_ && lastCameraId_ <= kLargestShortId)
        wrapOffset_ += kLargestShortId;
    lastCameraId_ = cameraId;
    return cameraId + wrapOffset_;
}
