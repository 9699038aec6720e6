// The registry of live image buffers.
#include "image_buffers.h"

#include <cstdlib>
#include <mutex>
#include <new>
#include <unordered_map>

namespace {

struct LiveBuffers {
    std::mutex mutex;
    std::unordered_map<const uint8_t *, uint32_t> sizes;
};

// Never destroyed: a frame thread may still free buffers while the process exits.
LiveBuffers &TheLiveBuffers()
{
    static LiveBuffers *const buffers = new LiveBuffers;
    return *buffers;
}

} // namespace

uint8_t *AllocateImageBuffer(uint32_t size)
{
    uint8_t *buffer = static_cast<uint8_t *>(std::calloc(size, 1));
    if (buffer == nullptr)
        return nullptr;
    LiveBuffers &live = TheLiveBuffers();
    try {
        std::lock_guard<std::mutex> lock(live.mutex);
        live.sizes.emplace(buffer, size);
    } catch (const std::bad_alloc &) {
        std::free(buffer);
        return nullptr;
    }
    return buffer;
}

bool ReleaseImageBuffer(uint8_t *buffer)
{
    LiveBuffers &live = TheLiveBuffers();
    {
        std::lock_guard<std::mutex> lock(live.mutex);
        if (live.sizes.erase(buffer) == 0)
            return false;
    }
    std::free(buffer);
    return true;
}

bool IsLiveImageBuffer(const uint8_t *buffer, uint32_t size)
{
    LiveBuffers &live = TheLiveBuffers();
    std::lock_guard<std::mutex> lock(live.mutex);
    const auto found = live.sizes.find(buffer);
    return found != live.sizes.end() && found->second >= size;
}
