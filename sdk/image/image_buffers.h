// The buffers that J_Image_Malloc hands out, tracked so that only live ones are used or freed.
#ifndef JAI_FACTORY_IMAGE_BUFFERS_H
#define JAI_FACTORY_IMAGE_BUFFERS_H

#include <cstdint>

// A tracked buffer of size bytes (aligned for any sample); null when out of memory. The
// buffer last released is handed out again when it has the same size, with its old bytes;
// any other is new and zeroed.
uint8_t *AllocateImageBuffer(uint32_t size);

// Frees a tracked buffer, keeping the last one released for the next allocation. False, and
// nothing done, for a buffer that is not live.
bool ReleaseImageBuffer(uint8_t *buffer);

// True for a live buffer of at least size bytes.
bool IsLiveImageBuffer(const uint8_t *buffer, uint32_t size);

#endif
