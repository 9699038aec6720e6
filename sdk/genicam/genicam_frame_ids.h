// Frame ids of GenICam cameras carried past the wrap of 16-bit GigE Vision block ids.
//
// A GigE Vision 1 camera numbers its frames 1 to 65535 and then starts again at 1, so that a
// later frame may carry a smaller id. The extender adds 65535 at each such wrap, so that the
// ids it gives always increase. A buffer that finishes late, after a newer one, keeps the
// place of its own id and counts as no wrap. Ids above 65535 (64-bit block ids) never wrap and
// pass as they are.
#ifndef JAI_FACTORY_GENICAM_FRAME_IDS_H
#define JAI_FACTORY_GENICAM_FRAME_IDS_H

#include <cstdint>

class FrameIdExtender {
  public:
    // The extended id of the camera's id of the next buffer seen, in the order they finish.
    uint64_t Extend(uint64_t cameraId);

  private:
    uint64_t lastCameraId_ = 0;
    uint64_t wrapOffset_ = 0;
};

#endif
