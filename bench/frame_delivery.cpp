// frame_delivery: how late the simulated camera's callback starts after its frame falls due,
// in-process, with the server's save path in the callback and the server's pause between.
#include "bench_setting.h"
#include "camera.h"
#include "environment.h"
#include "latency_summary.h"
#include "server_process.h"

#include <Jai_Factory.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

const int kDefaultCycles = 100;
const auto kPause = std::chrono::milliseconds(10);
const auto kCallbackTimeout = std::chrono::seconds(30);

// Shared between the main thread and the frame thread.
struct Delivery {
    std::string file;
    std::atomic<int64_t> callbackStartNs{0};
    std::atomic<bool> handled{false};
};

int64_t NowNs()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now().time_since_epoch())
        .count();
}

void OnFrame(void *context, J_IMAGE_RECORD *frame)
{
    const int64_t startNs = NowNs();
    Delivery *delivery = static_cast<Delivery *>(context);
    if (delivery->handled.load())
        return; // a frame after the cycle's one, before its stop
    SaveFrame(frame, delivery->file.c_str());
    delivery->callbackStartNs = startNs;
    delivery->handled = true;
}

// Opens the simulated camera at setting and runs cycles of start, one frame, stop and pause,
// each frame's lateness in ms appended to lateMs. False with *error set on failure.
bool MeasureSetting(const BenchSetting &setting, int cycles, const std::string &folder,
                    std::vector<double> *lateMs, std::string *error)
{
    for (const auto &variable : setting.variables)
        SetEnvironmentValue(variable.first.c_str(), variable.second.c_str());
    const int64_t periodNs = static_cast<int64_t>(1e9 / setting.config.framesPerSecond);
    Delivery delivery;
    delivery.file = folder + "/0001.tiff";
    FACTORY_HANDLE factory = nullptr;
    CAM_HANDLE camera = nullptr;
    STREAM_HANDLE stream = nullptr;
    uint8_t changed = 0;
    const uint32_t bufferBytes =
        static_cast<uint32_t>(setting.config.width * setting.config.height * 2);
    if (J_Factory_Open("", &factory) != J_ST_SUCCESS ||
        J_Factory_UpdateCameraList(factory, &changed) != J_ST_SUCCESS ||
        J_Camera_Open(factory, "SIMCAM-0", &camera) != J_ST_SUCCESS ||
        J_Image_OpenStream(camera, 0, &delivery, OnFrame, &stream, bufferBytes, 0) !=
            J_ST_SUCCESS) {
        *error = "cannot open the simulated camera's stream";
        J_Factory_Close(factory);
        return false;
    }
    bool ran = true;
    for (int cycle = 0; cycle < cycles && ran; ++cycle) {
        delivery.handled = false;
        const int64_t commandNs = NowNs();
        ran = J_Camera_ExecuteCommand(camera, "AcquisitionStart") == J_ST_SUCCESS;
        const Clock::time_point giveUp = Clock::now() + kCallbackTimeout;
        while (ran && !delivery.handled && Clock::now() < giveUp)
            std::this_thread::sleep_for(std::chrono::microseconds(100));
        ran = ran && delivery.handled &&
              J_Camera_ExecuteCommand(camera, "AcquisitionStop") == J_ST_SUCCESS;
        // Due one period after the start command; taken just before it, so this errs late.
        if (ran)
            lateMs->push_back((delivery.callbackStartNs - commandNs - periodNs) / 1e6);
        std::this_thread::sleep_for(kPause);
    }
    J_Factory_Close(factory);
    if (!ran)
        *error = "a frame did not come";
    return ran;
}

} // namespace

int main(int argc, char **argv)
{
    std::setvbuf(stdout, nullptr, _IONBF, 0);
    int cycles = kDefaultCycles;
    std::vector<std::string> texts;
    for (int index = 1; index < argc; ++index) {
        const bool hasValue = index + 1 < argc;
        if (std::strcmp(argv[index], "--cycles") == 0 && hasValue) {
            cycles = std::atoi(argv[++index]);
        } else if (std::strcmp(argv[index], "--setting") == 0 && hasValue) {
            texts.push_back(argv[++index]);
        } else {
            std::fputs(
                "Usage: frame_delivery [--cycles N] [--setting WIDTHxHEIGHT:FORMAT:FPS]...\n",
                stderr);
            return 2;
        }
    }
    if (cycles < 1)
        cycles = kDefaultCycles;
    if (texts.empty())
        texts = DefaultBenchSettings();
    const std::string folder = MakeTemporaryFolder("capture-bench-delivery-");
    if (folder.empty()) {
        std::fprintf(stderr, "frame_delivery: cannot make a temporary folder\n");
        return 1;
    }
    std::printf("frame_delivery: %d frames a setting; ms from the frame's due time to the start "
                "of its callback\n| setting | frames | median | p95 | p99 | max |\n"
                "|---|---|---|---|---|---|\n",
                cycles);
    int status = 0;
    for (const std::string &text : texts) {
        BenchSetting setting;
        std::string error;
        std::vector<double> lateMs;
        if (!ParseBenchSetting(text, &setting, &error) ||
            !MeasureSetting(setting, cycles, folder, &lateMs, &error)) {
            std::fprintf(stderr, "frame_delivery: %s: %s\n", text.c_str(), error.c_str());
            status = 1;
            break;
        }
        const LatencySummary late = SummarizeLatencies(lateMs);
        std::printf("| %s | %zu | %.3f | %.3f | %.3f | %.3f |\n", setting.label.c_str(), late.count,
                    late.median, late.p95, late.p99, late.maximum);
    }
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
    return status;
}
