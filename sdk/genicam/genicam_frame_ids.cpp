// The extension of wrapped 16-bit frame ids.
#include "genicam_frame_ids.h"

namespace {

const uint64_t kLargestShortId = 65535; // 16-bit block ids run 1 to 65535; 0 is not used
// A smaller id is a wrap when it lies more than half the id range below the latest one.
const uint64_t kHalfRange = 32768;

} // namespace

uint64_t FrameIdExtender::Extend(uint64_t cameraId)
{
    if (cameraId > kLargestShortId || lastCameraId_ > kLargestShortId) {
        lastCameraId_ = cameraId;
        return cameraId + wrapOffset_;
    }
    // A buffer finished after a newer one (an incomplete frame that waited for its missing
    // packets) comes with a smaller id that is no wrap: it is placed where it belongs and does
    // not move the latest id.
    if (cameraId + kHalfRange < lastCameraId_) {
        wrapOffset_ += kLargestShortId;
    } else if (cameraId < lastCameraId_) {
        return cameraId + wrapOffset_;
    } else if (cameraId > lastCameraId_ + kHalfRange && wrapOffset_ >= kLargestShortId) {
        return cameraId + wrapOffset_ - kLargestShortId; // late, from before the latest wrap
    }
    lastCameraId_ = cameraId;
    return cameraId + wrapOffset_;
}
