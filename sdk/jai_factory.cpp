// The public C entry points and their registry of live handles.
//
// Handles are ids (never reused) cast to pointers and looked up under the registry mutex, so
// a null, unknown or closed handle is refused without being dereferenced. Every call into a
// backend is made under that mutex. Closed objects are unregistered under it but destroyed
// after it is released: destroying a stream joins its frame thread, whose callback may be
// waiting for the mutex; closing from inside a callback is refused (frame_sink.h). No
// exception crosses the C boundary. Each entry point checks its handle and pointer arguments
// before anything else; a failure that SIMCAM_FAIL lists comes after them, from the backend
// (injected_failures.h) or, for calls that are no backend call with a status, asked here.
#include <Jai_Factory.h>

#include "backend_choice.h"
#include "failure_points.h"
#include "file_remover.h"
#include "frame_metadata.h"
#include "frame_sink.h"
#include "image_buffers.h"
#include "image_convert.h"
#include "tiff_writer.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

namespace {

struct FactoryEntry {
    std::unique_ptr<CameraBackend> backend;
    FailureSet failures;
    uint32_t saveWaitMs;
};

struct CameraEntry {
    uint64_t factory;
    std::string id;
    std::unique_ptr<BackendCamera> camera;
    uint64_t stream; // 0 while the camera has no open stream
};

struct StreamEntry {
    uint64_t camera;
    std::unique_ptr<BackendStream> stream;
};

struct Registry {
    std::mutex mutex;
    uint64_t lastId = 0;
    std::map<uint64_t, FactoryEntry> factories;
    std::map<uint64_t, CameraEntry> cameras;
    std::map<uint64_t, StreamEntry> streams;
};

// Never destroyed: at process exit a frame thread may still run and use it.
Registry &TheRegistry()
{
    static Registry *const registry = new Registry;
    return *registry;
}

// The failures of the calls that take no handle (the J_Image_ calls but J_Image_OpenStream
// and J_Image_CloseStream): those of the newest open factory, none when no factory is open.
std::atomic<FailureSet> imageCallFailures{0};
// How long J_Image_SaveFile waits for a program that holds its file open: the newest open
// factory's, the default when none is open.
std::atomic<uint32_t> saveWaitMs{kDefaultSaveWaitMs};

uint64_t IdOf(const void *handle) { return reinterpret_cast<uintptr_t>(handle); }

void *HandleOf(uint64_t id) { return reinterpret_cast<void *>(static_cast<uintptr_t>(id)); }

// The live entry of handle; null for null (id 0 is never given out), unknown or closed.
template <typename Entry> Entry *Find(std::map<uint64_t, Entry> &entries, const void *handle)
{
    const auto found = entries.find(IdOf(handle));
    return found == entries.end() ? nullptr : &found->second;
}

// Runs an entry point's body so that no exception crosses the C boundary: the only ones
// possible are out of memory and failures to lock or to start a thread.
template <typename Body> J_STATUS_TYPE Guarded(Body body)
{
    try {
        return body();
    } catch (...) {
        return J_ST_NOT_AVAILABLE;
    }
}

// Runs an entry point's body with the registry locked and the live entry of handle; a null,
// unknown or closed handle is refused before the body runs.
template <typename Entry, typename Body>
J_STATUS_TYPE WithEntry(std::map<uint64_t, Entry> Registry::*entries, const void *handle, Body body)
{
    return Guarded([&]() -> J_STATUS_TYPE {
        Registry &registry = TheRegistry();
        std::lock_guard<std::mutex> lock(registry.mutex);
        Entry *entry = Find(registry.*entries, handle);
        if (entry == nullptr)
            return J_ST_INVALID_HANDLE;
        return body(registry, *entry);
    });
}

void RefreshImageCallSettings(const Registry &registry)
{
    imageCallFailures =
        registry.factories.empty() ? 0 : registry.factories.rbegin()->second.failures;
    saveWaitMs = registry.factories.empty() ? kDefaultSaveWaitMs
                                            : registry.factories.rbegin()->second.saveWaitMs;
}

bool ImageCallFails(FailurePoint point) { return Fails(imageCallFailures, point); }

// Unregisters camera's stream, if any, and hands it over for destruction.
std::unique_ptr<BackendStream> TakeStream(Registry &registry, CameraEntry *camera)
{
    const auto found = registry.streams.find(camera->stream);
    if (found == registry.streams.end())
        return nullptr;
    std::unique_ptr<BackendStream> stream = std::move(found->second.stream);
    registry.streams.erase(found);
    camera->stream = 0;
    return stream;
}

} // namespace

J_STATUS_TYPE J_Factory_Open(const char *, FACTORY_HANDLE *factory)
{
    return Guarded([&]() -> J_STATUS_TYPE {
        if (factory == nullptr)
            return J_ST_INVALID_PARAMETER;
        *factory = nullptr;
        BackendChoice choice = ChooseBackend([](const char *name) { return std::getenv(name); });
        if (choice.status != J_ST_SUCCESS) {
            std::fprintf(stderr, "Jai_Factory: %s\n", choice.error.c_str());
            return choice.status;
        }
        if (Fails(choice.failures, FailurePoint::FactoryOpen))
            return J_ST_INJECTED_FAILURE;
        Registry &registry = TheRegistry();
        std::lock_guard<std::mutex> lock(registry.mutex);
        const uint64_t id = ++registry.lastId;
        registry.factories[id] =
            FactoryEntry{std::move(choice.backend), choice.failures, choice.saveWaitMs};
        RefreshImageCallSettings(registry);
        *factory = HandleOf(id);
        return J_ST_SUCCESS;
    });
}

J_STATUS_TYPE J_Factory_Close(FACTORY_HANDLE factory)
{
    return Guarded([&]() -> J_STATUS_TYPE {
        std::vector<std::unique_ptr<BackendStream>> streams;
        std::vector<std::unique_ptr<BackendCamera>> cameras;
        std::unique_ptr<CameraBackend> backend;
        Registry &registry = TheRegistry();
        {
            std::lock_guard<std::mutex> lock(registry.mutex);
            FactoryEntry *entry = Find(registry.factories, factory);
            if (entry == nullptr)
                return J_ST_INVALID_HANDLE;
            if (InsideFrameCallback())
                return J_ST_WRONG_STATE;
            // Room first, so that nothing below can fail half-way.
            streams.reserve(registry.cameras.size());
            cameras.reserve(registry.cameras.size());
            for (auto camera = registry.cameras.begin(); camera != registry.cameras.end();) {
                if (camera->second.factory != IdOf(factory)) {
                    ++camera;
                    continue;
                }
                streams.push_back(TakeStream(registry, &camera->second));
                cameras.push_back(std::move(camera->second.camera));
                camera = registry.cameras.erase(camera);
            }
            backend = std::move(entry->backend);
            registry.factories.erase(IdOf(factory));
            RefreshImageCallSettings(registry);
        }
        streams.clear();
        cameras.clear();
        backend.reset();
        // Nothing of the saves is left behind: the replaced files are removed by now.
        FinishRemovals();
        return J_ST_SUCCESS;
    });
}

J_STATUS_TYPE J_Factory_UpdateCameraList(FACTORY_HANDLE factory, uint8_t *listChanged)
{
    return WithEntry(&Registry::factories, factory,
                     [&](Registry &, FactoryEntry &entry) -> J_STATUS_TYPE {
                         if (listChanged == nullptr)
                             return J_ST_INVALID_PARAMETER;
                         bool changed = false;
                         const J_STATUS_TYPE status = entry.backend->UpdateCameraList(&changed);
                         if (status == J_ST_SUCCESS)
                             *listChanged = changed ? 1 : 0;
                         return status;
                     });
}

J_STATUS_TYPE J_Factory_GetNumOfCameras(FACTORY_HANDLE factory, uint32_t *count)
{
    return WithEntry(&Registry::factories, factory,
                     [&](Registry &, FactoryEntry &entry) -> J_STATUS_TYPE {
                         if (count == nullptr)
                             return J_ST_INVALID_PARAMETER;
                         if (Fails(entry.failures, FailurePoint::GetNumOfCameras))
                             return J_ST_INJECTED_FAILURE;
                         *count = entry.backend->CameraCount();
                         return J_ST_SUCCESS;
                     });
}

J_STATUS_TYPE J_Factory_GetCameraIDByIndex(FACTORY_HANDLE factory, int32_t index, char *cameraId,
                                           uint32_t *size)
{
    return WithEntry(
        &Registry::factories, factory, [&](Registry &, FactoryEntry &entry) -> J_STATUS_TYPE {
            if (cameraId == nullptr || size == nullptr || index < 0)
                return J_ST_INVALID_PARAMETER;
            if (Fails(entry.failures, FailurePoint::GetCameraIdByIndex))
                return J_ST_INJECTED_FAILURE;
            if (static_cast<uint32_t>(index) >= entry.backend->CameraCount())
                return J_ST_NOT_AVAILABLE;
            const std::string id = entry.backend->CameraId(static_cast<uint32_t>(index));
            const uint32_t needed = static_cast<uint32_t>(id.size() + 1);
            const bool fits = *size >= needed;
            if (fits)
                std::memcpy(cameraId, id.c_str(), needed);
            *size = needed;
            return fits ? J_ST_SUCCESS : J_ST_INVALID_PARAMETER;
        });
}

J_STATUS_TYPE J_Camera_Open(FACTORY_HANDLE factory, const char *cameraId, CAM_HANDLE *camera)
{
    if (camera != nullptr)
        *camera = nullptr;
    return WithEntry(
        &Registry::factories, factory,
        [&](Registry &registry, FactoryEntry &entry) -> J_STATUS_TYPE {
            if (cameraId == nullptr || camera == nullptr)
                return J_ST_INVALID_PARAMETER;
            for (const auto &open : registry.cameras) {
                if (open.second.factory == IdOf(factory) && open.second.id == cameraId)
                    return J_ST_WRONG_STATE; // a camera is open once at a time
            }
            std::unique_ptr<BackendCamera> opened;
            const J_STATUS_TYPE status = entry.backend->OpenCamera(cameraId, &opened);
            if (status != J_ST_SUCCESS)
                return status;
            const uint64_t id = ++registry.lastId;
            registry.cameras[id] = CameraEntry{IdOf(factory), cameraId, std::move(opened), 0};
            *camera = HandleOf(id);
            return J_ST_SUCCESS;
        });
}

J_STATUS_TYPE J_Camera_Close(CAM_HANDLE camera)
{
    return Guarded([&]() -> J_STATUS_TYPE {
        std::unique_ptr<BackendStream> stream;
        std::unique_ptr<BackendCamera> closing;
        Registry &registry = TheRegistry();
        {
            std::lock_guard<std::mutex> lock(registry.mutex);
            CameraEntry *entry = Find(registry.cameras, camera);
            if (entry == nullptr)
                return J_ST_INVALID_HANDLE;
            if (InsideFrameCallback())
                return J_ST_WRONG_STATE;
            stream = TakeStream(registry, entry);
            closing = std::move(entry->camera);
            registry.cameras.erase(IdOf(camera));
        }
        stream.reset();
        closing.reset();
        return J_ST_SUCCESS;
    });
}

J_STATUS_TYPE J_Camera_GetValueInt64(CAM_HANDLE camera, const char *featureName, int64_t *value)
{
    return WithEntry(&Registry::cameras, camera,
                     [&](Registry &, CameraEntry &entry) -> J_STATUS_TYPE {
                         if (featureName == nullptr || value == nullptr)
                             return J_ST_INVALID_PARAMETER;
                         return entry.camera->GetValueInt64(featureName, value);
                     });
}

J_STATUS_TYPE J_Camera_ExecuteCommand(CAM_HANDLE camera, const char *featureName)
{
    return WithEntry(
        &Registry::cameras, camera, [&](Registry &registry, CameraEntry &entry) -> J_STATUS_TYPE {
            if (featureName == nullptr)
                return J_ST_INVALID_PARAMETER;
            const std::string command = featureName;
            const bool start = command == "AcquisitionStart";
            if (!start && command != "AcquisitionStop")
                return J_ST_INVALID_PARAMETER;
            StreamEntry *stream = Find(registry.streams, HandleOf(entry.stream));
            if (stream == nullptr)
                return J_ST_WRONG_STATE; // acquisition needs an open stream
            return start ? stream->stream->StartAcquisition() : stream->stream->StopAcquisition();
        });
}

J_STATUS_TYPE J_Image_OpenStream(CAM_HANDLE camera, uint32_t channel, void *callbackObject,
                                 J_FRAME_CALLBACK callback, STREAM_HANDLE *stream,
                                 uint32_t bufferSize, uint32_t flags)
{
    if (stream != nullptr)
        *stream = nullptr;
    return WithEntry(&Registry::cameras, camera,
                     [&](Registry &registry, CameraEntry &entry) -> J_STATUS_TYPE {
                         if (callback == nullptr || stream == nullptr || channel != 0 || flags != 0)
                             return J_ST_INVALID_PARAMETER;
                         if (entry.stream != 0)
                             return J_ST_WRONG_STATE; // one stream a camera
                         std::unique_ptr<BackendStream> opened;
                         const J_STATUS_TYPE status = entry.camera->OpenStream(
                             FrameSink{callback, callbackObject, entry.id}, bufferSize, &opened);
                         if (status != J_ST_SUCCESS)
                             return status;
                         const uint64_t id = ++registry.lastId;
                         registry.streams[id] = StreamEntry{IdOf(camera), std::move(opened)};
                         entry.stream = id;
                         *stream = HandleOf(id);
                         return J_ST_SUCCESS;
                     });
}

J_STATUS_TYPE J_Image_CloseStream(STREAM_HANDLE stream)
{
    return Guarded([&]() -> J_STATUS_TYPE {
        std::unique_ptr<BackendStream> closing;
        Registry &registry = TheRegistry();
        {
            std::lock_guard<std::mutex> lock(registry.mutex);
            StreamEntry *entry = Find(registry.streams, stream);
            if (entry == nullptr)
                return J_ST_INVALID_HANDLE;
            if (InsideFrameCallback())
                return J_ST_WRONG_STATE;
            closing = TakeStream(registry, Find(registry.cameras, HandleOf(entry->camera)));
        }
        closing.reset();
        return J_ST_SUCCESS;
    });
}

J_STATUS_TYPE J_Image_Malloc(const J_IMAGE_RECORD *rawFrame, J_IMAGE_RECORD *converted)
{
    return Guarded([&]() -> J_STATUS_TYPE {
        if (rawFrame == nullptr || converted == nullptr)
            return J_ST_INVALID_PARAMETER;
        if (ImageCallFails(FailurePoint::ImageMalloc))
            return J_ST_INJECTED_FAILURE;
        Conversion conversion{};
        const J_STATUS_TYPE status = DescribeConversion(*rawFrame, &conversion);
        if (status != J_ST_SUCCESS)
            return status;
        J_IMAGE_RECORD allocated = conversion.converted;
        allocated.buffer = AllocateImageBuffer(allocated.imageSize);
        if (allocated.buffer == nullptr)
            return J_ST_NOT_AVAILABLE;
        *converted = allocated;
        return J_ST_SUCCESS;
    });
}

J_STATUS_TYPE J_Image_FromRawToImage(const J_IMAGE_RECORD *rawFrame, J_IMAGE_RECORD *converted,
                                     uint32_t redGain, uint32_t greenGain, uint32_t blueGain)
{
    return Guarded([&]() -> J_STATUS_TYPE {
        if (rawFrame == nullptr || converted == nullptr || converted->buffer == nullptr)
            return J_ST_INVALID_PARAMETER;
        if (ImageCallFails(FailurePoint::FromRawToImage))
            return J_ST_INJECTED_FAILURE;
        Conversion conversion{};
        const J_STATUS_TYPE status = DescribeConversion(*rawFrame, &conversion);
        if (status != J_ST_SUCCESS)
            return status;
        if (!MatchesConversion(*converted, conversion.converted))
            return J_ST_CONVERSION_FAILED;
        if (!IsLiveImageBuffer(converted->buffer, conversion.converted.imageSize))
            return J_ST_INVALID_PARAMETER; // not a buffer from J_Image_Malloc, or too small
        const J_STATUS_TYPE converting =
            ConvertPixels(*rawFrame, *conversion.rawFormat, converted->buffer,
                          Gains{redGain, greenGain, blueGain});
        if (converting != J_ST_SUCCESS)
            return converting;
        converted->frameId = rawFrame->frameId;
        converted->timestampUs = rawFrame->timestampUs;
        CarryFrameMetadata(rawFrame->buffer, converted->buffer);
        return J_ST_SUCCESS;
    });
}

J_STATUS_TYPE J_Image_SaveFile(const J_IMAGE_RECORD *image, const char *fileName)
{
    return Guarded([&]() -> J_STATUS_TYPE {
        if (image == nullptr || fileName == nullptr)
            return J_ST_INVALID_PARAMETER;
        if (ImageCallFails(FailurePoint::SaveFile))
            return J_ST_INJECTED_FAILURE;
        return SaveTiff(*image, FindFrameMetadata(image->buffer).get(), fileName,
                        UniqueTemporaryName, std::chrono::milliseconds(saveWaitMs.load()));
    });
}

J_STATUS_TYPE J_Image_Free(J_IMAGE_RECORD *image)
{
    return Guarded([&]() -> J_STATUS_TYPE {
        if (image == nullptr)
            return J_ST_INVALID_PARAMETER;
        // Before the buffer can be handed out again.
        ForgetFrameMetadata(image->buffer);
        if (!ReleaseImageBuffer(image->buffer))
            return J_ST_INVALID_PARAMETER;
        image->buffer = nullptr;
        image->imageSize = 0;
        // A listed failure still frees the buffer, so that nothing leaks.
        return ImageCallFails(FailurePoint::ImageFree) ? J_ST_INJECTED_FAILURE : J_ST_SUCCESS;
    });
}
