// The registry of live image buffers.
#include "image_buffers.h"

#include <cstdlib>
#include <mutex>
#include <new>
#include <unordered_map>

namespace {

// A server converts each frame into a buffer of the same size, allocated and freed around
// it. Large ones come from the system each time, fresh pages that fault in as the conversion
// writes them (a 74 MB image: some tens of milliseconds), so the last one freed is kept.
struct LiveBuffers {
    std::mutex mutex;
    std::unordered_map<const uint8_t *, uint32_t> sizes;
    uint8_t *spare = nullptr;
    uint32_t spareSize = 0;
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
    LiveBuffers &live = TheLiveBuffers();
    uint8_t *buffer = nullptr;
    uint8_t *unfit = nullptr;
    {
        std::lock_guard<std::mutex> lock(live.mutex);
        if (live.spare != nullptr && live.spareSize == size)
            buffer = live.spare;
        else
            unfit = live.spare;
        live.spare = nullptr;
    }
    std::free(unfit);
    if (buffer == nullptr)
        buffer = static_cast<uint8_t *>(std::calloc(size, 1));
    if (buffer == nullptr)
        return nullptr;
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
    uint8_t *older = nullptr;
    {
        std::lock_guard<std::mutex> lock(live.mutex);
        const auto found = live.sizes.find(buffer);
        if (found == live.sizes.end())
            return false;
        older = live.spare;
        live.spare = buffer;
        live.spareSize = found->second;
        live.sizes.erase(found);
    }
    std::free(older);
    return true;
}

bool IsLiveImageBuffer(const uint8_t *buffer, uint32_t size)
{
    LiveBuffers &live = TheLiveBuffers();
    std::lock_guard<std::mutex> lock(live.mutex);
    const auto found = live.sizes.find(buffer);
    return found != live.sizes.end() && found->second >= size;
}
