// The metadata of the frames being delivered and of the images converted from them.
#include "frame_metadata.h"

#include <map>
#include <mutex>
#include <new>

namespace {

struct MetadataRegistry {
    std::mutex mutex;
    std::map<const uint8_t *, std::shared_ptr<const FrameMetadata>> delivered; // raw buffers
    std::map<const uint8_t *, std::shared_ptr<const FrameMetadata>> converted; // image buffers
};

// Never destroyed: at process exit a frame thread may still deliver.
MetadataRegistry &TheRegistry()
{
    static MetadataRegistry *const registry = new MetadataRegistry;
    return *registry;
}

} // namespace

// Out of memory, the frame goes on without its metadata: its file then says less.
void RememberDeliveredFrame(const uint8_t *buffer, const FrameMetadata &metadata)
{
    MetadataRegistry &registry = TheRegistry();
    try {
        std::shared_ptr<const FrameMetadata> kept = std::make_shared<const FrameMetadata>(metadata);
        std::lock_guard<std::mutex> lock(registry.mutex);
        registry.delivered[buffer] = std::move(kept);
    } catch (const std::bad_alloc &) {
    }
}

void ForgetDeliveredFrame(const uint8_t *buffer)
{
    MetadataRegistry &registry = TheRegistry();
    std::lock_guard<std::mutex> lock(registry.mutex);
    registry.delivered.erase(buffer);
}

// Out of memory, the image is saved without the frame's metadata.
void CarryFrameMetadata(const uint8_t *raw, const uint8_t *converted)
{
    MetadataRegistry &registry = TheRegistry();
    std::lock_guard<std::mutex> lock(registry.mutex);
    registry.converted.erase(converted);
    const auto found = registry.delivered.find(raw);
    if (found == registry.delivered.end())
        return;
    try {
        registry.converted.emplace(converted, found->second);
    } catch (const std::bad_alloc &) {
    }
}

std::shared_ptr<const FrameMetadata> FindFrameMetadata(const uint8_t *buffer)
{
    MetadataRegistry &registry = TheRegistry();
    std::lock_guard<std::mutex> lock(registry.mutex);
    const auto found = registry.converted.find(buffer);
    return found == registry.converted.end() ? nullptr : found->second;
}

void ForgetFrameMetadata(const uint8_t *buffer)
{
    MetadataRegistry &registry = TheRegistry();
    std::lock_guard<std::mutex> lock(registry.mutex);
    registry.converted.erase(buffer);
}
