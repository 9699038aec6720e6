// The size checks for the stream buffer, so that no stream is opened with a wrapped size.
#include "camera.h"

#include <limits>

bool IsValidDimension(int64_t value)
{
    return value > 0 && value <= std::numeric_limits<int32_t>::max();
}

bool FrameBufferSize(uint32_t width, uint32_t height, uint32_t *bufferSize)
{
    const uint64_t bytesPerPixel = 6;
    const uint64_t pixels = static_cast<uint64_t>(width) * height; // cannot wrap in 64 bits
    if (pixels > std::numeric_limits<uint32_t>::max() / bytesPerPixel)
        return false;
    *bufferSize = static_cast<uint32_t>(pixels * bytesPerPixel);
    return true;
}
