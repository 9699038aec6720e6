// The buffers that J_Image_Malloc hands out, tracked so that only live ones are used or freed.
#ifndef JAI_FACTORY_IMAGE_BUFFERS_H
#define JAI_FACTORY_IMAGE_BUFFERS_H

#include <cstdint>

// A zeroed, tracked buffer of size bytes (aligned for any sample); null when out of memory.
uint8_t *AllocateImageBuffer(uint32_t size);

// Frees a tracked buffer. False, and nothing done, for a buffer that is not live.
bool ReleaseImageBuffer(uint8_t *buffer);

// True for a live buffer of at least size bytes.
bool IsLiveImageBuffer(const uint8_t *buffer, uint32_t size);

#endif
