// The bound on each capture's wait for its frame, the same around every backend's stream.
//
// After each "AcquisitionStart" that the camera accepts, a frame must reach the sink within
// the bound: CAMERA_SDK_FRAME_TIMEOUT seconds (5 unless set) plus two frame intervals (frame
// period plus exposure time, as the camera is set at that start). A camera's first frame
// after a start comes within one interval; the second allows for one frame lost on the way.
// Frames that arrive incomplete are dropped by the backends and do not count. When the bound
// passes without a frame, the wait ends as it does for a lost camera: the sink gets one frame
// record with no pixels (its save fails, so the capture fails), and one line on standard
// error says how many frames came incomplete, what the stream counted, and what to check.
// Stopping acquisition ends the wait too.
//
// A lost camera (its stream says Lost()) fails no start: the start succeeds and the wait
// runs, with the frame interval of the latest start the camera took. While the wait runs,
// the camera's ID is looked for at most once a second (ConfiguredCamera::Return); nothing is
// looked for between captures. A camera that is back gets a new stream to the same sink,
// started if acquisition still runs, and its first whole frame ends the wait. A camera that
// comes back unfit ends the wait at once; a wait that reaches its bound while the camera is
// away ends with one line that says so. Frame ids go on rising across a return: each new
// stream's ids are carried above the highest id delivered before.
#ifndef JAI_FACTORY_FRAME_WAIT_H
#define JAI_FACTORY_FRAME_WAIT_H

#include "camera_backend.h"

#include <cstdint>
#include <memory>
#include <string>

// The bound in seconds, for the configured timeout and the camera's frame interval.
double FrameWaitBoundSeconds(double timeoutSeconds, double frameIntervalSeconds);

class ConfiguredCamera;

// Opens backend camera's stream with the bound around it, for configured, which holds that
// camera and opens it again after a loss; the camera's own status when it fails.
J_STATUS_TYPE OpenBoundedStream(ConfiguredCamera *configured, BackendCamera *camera,
                                double timeoutSeconds, const FrameSink &sink, uint32_t bufferSize,
                                std::unique_ptr<BackendStream> *stream);

#endif
