// phase_probe: a preloaded library (LD_PRELOAD) that stamps the steps of each capture inside
// the capture server, with the product unchanged: it stands in for the camera library's
// entry points and the C library's recv, send and nanosleep that the server calls, notes the
// monotonic time, and calls the real one. Loaded only by capture_latency, so that it costs
// nothing anywhere else.
//
// The stamps are kept in memory and written, one "event nanoseconds" line each, to the file
// named by CAPTURE_PHASE_LOG when the process ends; a process that never called the camera
// library (a wrapper such as perf) writes nothing.
#include "phase_events.h"

#include <Jai_Factory.h>

#include <dlfcn.h>
#include <sys/socket.h>
#include <time.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

struct Stamp {
    PhaseEvent event;
    uint64_t nanoseconds;
};

// Room for about 80 000 captures; stamps past it are dropped.
const size_t kStampCapacity = 1 << 20;

Stamp stamps[kStampCapacity];
std::atomic<size_t> stampCount{0};
std::atomic<bool> cameraLibraryCalled{false};
// The thread that receives commands: its nanosleep is the server's pause (the camera's frame
// thread sleeps too).
thread_local bool commandThread = false;

void Note(PhaseEvent event)
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    const size_t index = stampCount.fetch_add(1, std::memory_order_relaxed);
    if (index < kStampCapacity)
        stamps[index] = {event, uint64_t(now.tv_sec) * 1000000000u + uint64_t(now.tv_nsec)};
}

template <typename Function> Function Real(const char *name)
{
    return reinterpret_cast<Function>(dlsym(RTLD_NEXT, name));
}

struct StampWriter {
    ~StampWriter()
    {
        const char *path = std::getenv("CAPTURE_PHASE_LOG");
        if (path == nullptr || !cameraLibraryCalled)
            return;
        std::FILE *file = std::fopen(path, "w");
        if (file == nullptr)
            return;
        const size_t count = std::min(stampCount.load(), kStampCapacity);
        for (size_t index = 0; index < count; ++index)
            std::fprintf(file, "%d %llu\n", static_cast<int>(stamps[index].event),
                         static_cast<unsigned long long>(stamps[index].nanoseconds));
        std::fclose(file);
    }
} stampWriter;

} // namespace

extern "C" {

ssize_t recv(int socket, void *buffer, size_t size, int flags)
{
    static const auto real = Real<ssize_t (*)(int, void *, size_t, int)>("recv");
    const ssize_t received = real(socket, buffer, size, flags);
    commandThread = true;
    if (received > 0)
        Note(PhaseEvent::Received);
    return received;
}

ssize_t send(int socket, const void *bytes, size_t size, int flags)
{
    static const auto real = Real<ssize_t (*)(int, const void *, size_t, int)>("send");
    Note(PhaseEvent::ReplySent);
    return real(socket, bytes, size, flags);
}

int nanosleep(const timespec *duration, timespec *remaining)
{
    static const auto real = Real<int (*)(const timespec *, timespec *)>("nanosleep");
    if (!commandThread)
        return real(duration, remaining);
    Note(PhaseEvent::PauseBegan);
    const int result = real(duration, remaining);
    Note(PhaseEvent::PauseEnded);
    return result;
}

J_STATUS_TYPE J_Camera_ExecuteCommand(CAM_HANDLE camera, const char *featureName)
{
    static const auto real =
        Real<J_STATUS_TYPE (*)(CAM_HANDLE, const char *)>("J_Camera_ExecuteCommand");
    cameraLibraryCalled = true;
    const bool start = std::strcmp(featureName, "AcquisitionStart") == 0;
    const bool stop = std::strcmp(featureName, "AcquisitionStop") == 0;
    if (start || stop)
        Note(start ? PhaseEvent::StartCalled : PhaseEvent::StopCalled);
    const J_STATUS_TYPE status = real(camera, featureName);
    if (start || stop)
        Note(start ? PhaseEvent::StartReturned : PhaseEvent::StopReturned);
    return status;
}

// The server's frame callback calls this first once it has claimed a capture's frame.
J_STATUS_TYPE J_Image_Malloc(const J_IMAGE_RECORD *rawFrame, J_IMAGE_RECORD *converted)
{
    static const auto real =
        Real<J_STATUS_TYPE (*)(const J_IMAGE_RECORD *, J_IMAGE_RECORD *)>("J_Image_Malloc");
    Note(PhaseEvent::FrameClaimed);
    return real(rawFrame, converted);
}

J_STATUS_TYPE J_Image_FromRawToImage(const J_IMAGE_RECORD *rawFrame, J_IMAGE_RECORD *converted,
                                     uint32_t redGain, uint32_t greenGain, uint32_t blueGain)
{
    static const auto real =
        Real<J_STATUS_TYPE (*)(const J_IMAGE_RECORD *, J_IMAGE_RECORD *, uint32_t, uint32_t,
                               uint32_t)>("J_Image_FromRawToImage");
    const J_STATUS_TYPE status = real(rawFrame, converted, redGain, greenGain, blueGain);
    Note(PhaseEvent::Converted);
    return status;
}

J_STATUS_TYPE J_Image_SaveFile(const J_IMAGE_RECORD *image, const char *fileName)
{
    static const auto real =
        Real<J_STATUS_TYPE (*)(const J_IMAGE_RECORD *, const char *)>("J_Image_SaveFile");
    const J_STATUS_TYPE status = real(image, fileName);
    Note(PhaseEvent::FileInPlace);
    return status;
}

} // extern "C"
