// capture_latency: time from command sent to reply received against the real server, beside
// the floor of one frame period, the library's convert and save, and the 10 ms pause, and the
// goals' floor of a frame period and the longer of the pause and a plain write.
#include "bench_setting.h"
#include "camera.h"
#include "capture_client.h"
#include "frame_timestamp.h"
#include "latency_summary.h"
#include "phase_events.h"
#include "plain_write.h"
#include "server_process.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

namespace {

const int kDefaultCaptures = 200;
const int kWarmUpCaptures = 2;
const int kSaveRuns = 51;
const int kEarlyMemoryCapture = 10;
const double kPauseMs = 10.0;
// The goals allow a save a quarter more than a plain write of its bytes.
const double kPlainWriteAllowance = 1.25;
const int kReplyTimeoutMs = 30000;

struct Options {
    int captures = kDefaultCaptures;
    std::vector<std::string> settings;
    std::string server;
    bool tmpfs = false;  // the server's folder and the floor's saves on /dev/shm
    std::string samples; // every capture's reply time, for bench/plot_latency.py
    std::string probe;   // bench/phase_probe's library, preloaded into the server
};

// The phases of a capture, from the probe's stamps and the client's own times. The command
// thread's path adds up to the reply time; the frame thread's save runs beside its middle.
struct Phase {
    const char *name;
    double (*length)(const CaptureStamps &stamps, double sentMs, double receivedMs);
};

const Phase kPhases[] = {
    {"command to start command",
     [](const CaptureStamps &s, double sent, double) { return s.startCalled - sent; }},
    {"start command to frame callback",
     [](const CaptureStamps &s, double, double) { return s.frameClaimed - s.startCalled; }},
    {"callback to stop command",
     [](const CaptureStamps &s, double, double) { return s.stopCalled - s.frameClaimed; }},
    {"stop command",
     [](const CaptureStamps &s, double, double) { return s.stopReturned - s.stopCalled; }},
    {"stop to pause",
     [](const CaptureStamps &s, double, double) { return s.pauseBegan - s.stopReturned; }},
    {"pause", [](const CaptureStamps &s, double, double) { return s.pauseEnded - s.pauseBegan; }},
    {"pause to reply sent",
     [](const CaptureStamps &s, double, double) { return s.replySent - s.pauseEnded; }},
    {"reply's way back",
     [](const CaptureStamps &s, double, double received) { return received - s.replySent; }},
    // The frame thread, beside the stop and the pause.
    {"callback to conversion done",
     [](const CaptureStamps &s, double, double) { return s.converted - s.frameClaimed; }},
    {"conversion to file in place",
     [](const CaptureStamps &s, double, double) { return s.fileInPlace - s.converted; }},
    {"file in place to reply sent",
     [](const CaptureStamps &s, double, double) { return s.replySent - s.fileInPlace; }},
};
const size_t kPhaseCount = sizeof kPhases / sizeof kPhases[0];
const size_t kCommandThreadPhases = 8; // the first ones, which add up to the reply

struct SettingResult {
    LatencySummary replies;
    std::vector<double> roundTrips;
    double periodMs;
    double saveMs;
    double floorMs;
    // The server saves on the frame thread while the main thread pauses, so its own floor
    // takes the longer of the two rather than their sum.
    double overlappedFloorMs;
    // The goals' floor: a frame period + the longer of the pause and kPlainWriteAllowance
    // plain writes, at the plain writes' median and at their p95.
    LatencySummary plainWrites;
    double goalFloorMedianMs;
    double goalFloorP95Ms;
    bool stamped; // every saved frame's timestamp was read: the two parts below are known
    LatencySummary frameAfterCommand;
    LatencySummary replyAfterFrame;
    long earlyResidentKiB; // after kEarlyMemoryCapture captures; -1 when fewer were run
    long finalResidentKiB;
    LatencySummary phases[kPhaseCount];
};

const char kUsage[] =
    "Usage: capture_latency [--captures N] [--setting WIDTHxHEIGHT:FORMAT:FPS]... "
    "[--server PATH] [--tmpfs] [--samples FILE]\n"
    "Starts the capture server with the simulated camera at each setting (default: the four\n"
    "of the goals), runs N captures (default 200) alternating Get1 and Get2, and prints the\n"
    "time from command sent to reply received beside its floor, and the phases of the\n"
    "captures as the phase probe (preloaded into the server) stamps them. --tmpfs runs the\n"
    "server's folder (and the floor's saves) on the tmpfs /dev/shm; --samples writes every\n"
    "reply time with its setting's floors to FILE (CSV), for bench/plot_latency.py.\n";

bool ParseOptions(int argc, char **argv, Options *options)
{
    for (int index = 1; index < argc; ++index) {
        const bool hasValue = index + 1 < argc;
        if (std::strcmp(argv[index], "--captures") == 0 && hasValue) {
            char *end = nullptr;
            const long captures = std::strtol(argv[++index], &end, 10);
            if (*end != '\0' || captures < 1 || captures > 1000000)
                return false;
            options->captures = static_cast<int>(captures);
        } else if (std::strcmp(argv[index], "--setting") == 0 && hasValue) {
            options->settings.push_back(argv[++index]);
        } else if (std::strcmp(argv[index], "--server") == 0 && hasValue) {
            options->server = argv[++index];
        } else if (std::strcmp(argv[index], "--tmpfs") == 0) {
            options->tmpfs = true;
        } else if (std::strcmp(argv[index], "--samples") == 0 && hasValue) {
            options->samples = argv[++index];
        } else {
            return false;
        }
    }
    if (options->settings.empty())
        options->settings = DefaultBenchSettings();
    if (options->server.empty())
        options->server = ServerBesideThisProgram();
    options->probe = BesideThisProgram("libcapture_phase_probe.so");
    return true;
}

// The machine's load averages, since other work on it widens the tail.
std::string LoadAverage()
{
    std::ifstream loadavg("/proc/loadavg");
    std::string one;
    std::string five;
    std::string fifteen;
    loadavg >> one >> five >> fifteen;
    return one + " " + five + " " + fifteen;
}

double MillisecondsSince(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
        .count();
}

// The median time of the server's own save path (convert and save through the library) for
// a frame of the setting, in a temporary folder like the server's.
bool MedianSaveMs(const BenchSetting &setting, double *median, std::string *error)
{
    RawFrame frame;
    MakeRawFrame(setting.config, 1, &frame);
    const std::string folder = MakeTemporaryFolder("capture-bench-save-");
    if (folder.empty()) {
        *error = "cannot make a temporary folder";
        return false;
    }
    const std::string file = folder + "/0001.tiff";
    std::vector<double> times;
    bool saved = true;
    for (int run = 0; run < kSaveRuns && saved; ++run) {
        const auto start = std::chrono::steady_clock::now();
        saved = SaveFrame(&frame.record, file.c_str());
        times.push_back(MillisecondsSince(start));
    }
    RemoveFolder(folder);
    if (!saved) {
        *error = "the library could not convert and save a frame of " + setting.label;
        return false;
    }
    *median = SummarizeLatencies(times).median;
    return true;
}

// The times of one capture. The frame's timestamp and this program's clock are both the
// system's monotonic clock, so the two parts can be told apart.
struct CaptureTimes {
    double sentMs; // monotonic
    double roundTripMs;
    double frameAfterCommandMs; // from the command to the start of the frame's rendering
    double replyAfterFrameMs;   // from there to the reply
    bool stamped;               // the frame's timestamp could be read
};

struct SeriesTimes {
    std::vector<double> sentMs; // every capture's, the warm-up ones too
    std::vector<double> roundTrips;
    std::vector<double> framesAfterCommand;
    std::vector<double> repliesAfterFrame;
    bool stamped = true;
};

double MonotonicMs(std::chrono::steady_clock::time_point time)
{
    return std::chrono::duration<double, std::milli>(time.time_since_epoch()).count();
}

// One capture; false with *error set unless the reply was "Done\n".
bool Capture(const ServerConnection &connection, const BenchServer &server, int index,
             CaptureTimes *times, std::string *error)
{
    const bool slotOne = index % 2 == 0;
    const ClientCommand command = slotOne ? ClientCommand::Get1 : ClientCommand::Get2;
    const double sentMs = MonotonicMs(std::chrono::steady_clock::now());
    const CommandResult result = SendCommand(connection, command, kReplyTimeoutMs);
    if (result.outcome != ReplyOutcome::Done) {
        *error = std::string("capture ") + std::to_string(index + 1) + " (" + CommandWord(command) +
                 ") got no \"Done\\n\" reply";
        return false;
    }
    times->sentMs = sentMs;
    times->roundTripMs = result.roundTripMs;
    uint64_t frameUs = 0;
    times->stamped =
        ReadFrameTimestampUs(server.folder + (slotOne ? "/0001.tiff" : "/0002.tiff"), &frameUs);
    const double frameMs = static_cast<double>(frameUs) / 1000.0;
    times->frameAfterCommandMs = frameMs - sentMs;
    times->replyAfterFrameMs = sentMs + result.roundTripMs - frameMs;
    return true;
}

bool RunCaptures(const ServerConnection &connection, const BenchServer &server, int captures,
                 SeriesTimes *series, SettingResult *result, std::string *error)
{
    CaptureTimes times{};
    for (int index = 0; index < kWarmUpCaptures; ++index) {
        if (!Capture(connection, server, index, &times, error))
            return false;
        series->sentMs.push_back(times.sentMs);
    }
    result->earlyResidentKiB = -1;
    for (int index = 0; index < captures; ++index) {
        if (!Capture(connection, server, index, &times, error))
            return false;
        series->sentMs.push_back(times.sentMs);
        series->roundTrips.push_back(times.roundTripMs);
        series->framesAfterCommand.push_back(times.frameAfterCommandMs);
        series->repliesAfterFrame.push_back(times.replyAfterFrameMs);
        series->stamped = series->stamped && times.stamped;
        if (index + 1 == kEarlyMemoryCapture)
            result->earlyResidentKiB = ResidentKiB(server.pid);
    }
    result->finalResidentKiB = ResidentKiB(server.pid);
    if (SendCommand(connection, ClientCommand::End, kReplyTimeoutMs).outcome !=
        ReplyOutcome::Terminated) {
        *error = "no \"Terminated\\n\" reply to End";
        return false;
    }
    return true;
}

// Plain writes and renames of the saved file's bytes in the server's folder, as many as there
// were captures and at their cadence (each when its capture was sent, counted from the first).
bool MeasurePlainWrites(const std::string &folder, const std::vector<double> &sentMs,
                        std::vector<double> *times, std::string *error)
{
    std::ifstream saved(folder + "/0001.tiff", std::ios::binary);
    const std::vector<char> bytes((std::istreambuf_iterator<char>(saved)),
                                  std::istreambuf_iterator<char>());
    if (bytes.empty()) {
        *error = "cannot read the saved 0001.tiff for the plain writes";
        return false;
    }
    const std::string temporary = folder + "/.plain.tiff.tmp";
    const std::string target = folder + "/plain.tiff";
    const auto start = std::chrono::steady_clock::now();
    for (const double sent : sentMs) {
        std::this_thread::sleep_until(
            start + std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                        std::chrono::duration<double, std::milli>(sent - sentMs.front())));
        const auto began = std::chrono::steady_clock::now();
        if (!PlainWriteAndRename(bytes.data(), bytes.size(), temporary, target)) {
            *error = "a plain write and rename in " + folder + " failed";
            return false;
        }
        times->push_back(MillisecondsSince(began));
    }
    return true;
}

bool MeasureSetting(const BenchSetting &setting, const Options &options, SettingResult *result,
                    std::string *error)
{
    result->periodMs = 1000.0 / setting.config.framesPerSecond;
    if (!MedianSaveMs(setting, &result->saveMs, error))
        return false;
    result->floorMs = result->periodMs + result->saveMs + kPauseMs;
    result->overlappedFloorMs = result->periodMs + std::max(result->saveMs, kPauseMs);

    const std::string probeFolder = MakeTemporaryFolder("capture-bench-phases-");
    if (probeFolder.empty()) {
        *error = "cannot make a temporary folder";
        return false;
    }
    const std::string probeLog = probeFolder + "/phases.log";
    Variables variables = setting.variables;
    variables.emplace_back("LD_PRELOAD", options.probe);
    variables.emplace_back("CAPTURE_PHASE_LOG", probeLog);
    BenchServer server;
    if (!StartServer(options.server, variables, &server, error)) {
        RemoveFolder(probeFolder);
        return false;
    }
    ServerConnection connection;
    if (!ConnectAsClient(server, &connection, error)) {
        StopServer(&server);
        return false;
    }
    SeriesTimes series;
    std::vector<double> plainTimes;
    const bool ran = RunCaptures(connection, server, options.captures, &series, result, error) &&
                     MeasurePlainWrites(server.folder,
                                        std::vector<double>(series.sentMs.begin() + kWarmUpCaptures,
                                                            series.sentMs.end()),
                                        &plainTimes, error);
    Disconnect(&connection);
    const std::string console = ConsoleTail(server);
    const int status = StopServer(&server);
    std::vector<CaptureStamps> stamps;
    std::string probeError;
    const bool stamped = ReadCaptureStamps(probeLog, &stamps, &probeError);
    RemoveFolder(probeFolder);
    if (!ran) {
        *error += "; the server's last lines:\n" + console;
        return false;
    }
    if (status != 0) {
        *error = "the server ended with status " + std::to_string(status) + ":\n" + console;
        return false;
    }
    result->replies = SummarizeLatencies(series.roundTrips);
    result->plainWrites = SummarizeLatencies(plainTimes);
    result->goalFloorMedianMs =
        result->periodMs + std::max(kPauseMs, kPlainWriteAllowance * result->plainWrites.median);
    result->goalFloorP95Ms =
        result->periodMs + std::max(kPauseMs, kPlainWriteAllowance * result->plainWrites.p95);
    result->roundTrips = series.roundTrips;
    result->stamped = series.stamped;
    result->frameAfterCommand = SummarizeLatencies(series.framesAfterCommand);
    result->replyAfterFrame = SummarizeLatencies(series.repliesAfterFrame);
    if (!stamped || stamps.size() != series.sentMs.size()) {
        *error = stamped ? "the phase probe stamped " + std::to_string(stamps.size()) +
                               " captures of " + std::to_string(series.sentMs.size())
                         : probeError;
        return false;
    }
    for (size_t phase = 0; phase < kPhaseCount; ++phase) {
        std::vector<double> lengths;
        for (size_t index = kWarmUpCaptures; index < stamps.size(); ++index) {
            const double sentMs = series.sentMs[index];
            const double receivedMs = sentMs + series.roundTrips[index - kWarmUpCaptures];
            lengths.push_back(kPhases[phase].length(stamps[index], sentMs, receivedMs));
        }
        result->phases[phase] = SummarizeLatencies(lengths);
    }
    return true;
}

void PrintSetting(const BenchSetting &setting, const SettingResult &result)
{
    const LatencySummary &replies = result.replies;
    std::printf("%s: %zu captures\n", setting.label.c_str(), replies.count);
    std::printf("  reply (ms):     min %.2f  median %.2f  p95 %.2f  p99 %.2f  max %.2f\n",
                replies.minimum, replies.median, replies.p95, replies.p99, replies.maximum);
    std::printf("  floor (ms):     %.2f = frame period %.2f + convert and save %.2f + pause %.2f\n",
                result.floorMs, result.periodMs, result.saveMs, kPauseMs);
    std::printf("  overhead (ms):  median %+.2f  p95 %+.2f\n", replies.median - result.floorMs,
                replies.p95 - result.floorMs);
    std::printf("  with the save beside the pause, as the server runs them: floor %.2f, overhead "
                "median %+.2f  p95 %+.2f\n",
                result.overlappedFloorMs, replies.median - result.overlappedFloorMs,
                replies.p95 - result.overlappedFloorMs);
    std::printf("  goals' floor:   median %.2f, p95 %.2f = frame period + the longer of the pause "
                "and %.2f x a plain write and rename (median %.2f, p95 %.2f); overhead median "
                "%+.2f  p95 %+.2f\n",
                result.goalFloorMedianMs, result.goalFloorP95Ms, kPlainWriteAllowance,
                result.plainWrites.median, result.plainWrites.p95,
                replies.median - result.goalFloorMedianMs, replies.p95 - result.goalFloorP95Ms);
    if (result.stamped)
        std::printf("  parts (ms):     frame %.2f after the command (median; p95 %.2f), reply "
                    "%.2f after the frame (median; p95 %.2f)\n",
                    result.frameAfterCommand.median, result.frameAfterCommand.p95,
                    result.replyAfterFrame.median, result.replyAfterFrame.p95);
    std::printf("  phases (ms), median / p95; the first %zu add up to the reply, the last %zu "
                "run on the frame thread beside them:\n",
                kCommandThreadPhases, kPhaseCount - kCommandThreadPhases);
    for (size_t phase = 0; phase < kPhaseCount; ++phase)
        std::printf("    %-32s %7.3f / %7.3f\n", kPhases[phase].name, result.phases[phase].median,
                    result.phases[phase].p95);
    if (result.earlyResidentKiB >= 0)
        std::printf("  server RSS:     %ld KiB after %d captures, %ld KiB after %zu (%+ld)\n",
                    result.earlyResidentKiB, kEarlyMemoryCapture, result.finalResidentKiB,
                    replies.count, result.finalResidentKiB - result.earlyResidentKiB);
    else
        std::printf("  server RSS:     %ld KiB after %zu captures\n", result.finalResidentKiB,
                    replies.count);
}

void PrintTable(const std::vector<BenchSetting> &settings,
                const std::vector<SettingResult> &results)
{
    std::printf("\n| setting | captures | min | median | p95 | p99 | max | floor | over median "
                "| over p95 | overlapped floor | over median | over p95 | goals' floor median / "
                "p95 | over median | over p95 |\n"
                "|---|---|---|---|---|---|---|---|---|---|---|---|---|---|---|---|\n");
    for (size_t index = 0; index < results.size(); ++index) {
        const LatencySummary &replies = results[index].replies;
        const double floorMs = results[index].floorMs;
        const double overlappedMs = results[index].overlappedFloorMs;
        const double goalMedianMs = results[index].goalFloorMedianMs;
        const double goalP95Ms = results[index].goalFloorP95Ms;
        std::printf("| %s | %zu | %.2f | %.2f | %.2f | %.2f | %.2f | %.2f | %+.2f | %+.2f | %.2f "
                    "| %+.2f | %+.2f | %.2f / %.2f | %+.2f | %+.2f |\n",
                    settings[index].label.c_str(), replies.count, replies.minimum, replies.median,
                    replies.p95, replies.p99, replies.maximum, floorMs, replies.median - floorMs,
                    replies.p95 - floorMs, overlappedMs, replies.median - overlappedMs,
                    replies.p95 - overlappedMs, goalMedianMs, goalP95Ms,
                    replies.median - goalMedianMs, replies.p95 - goalP95Ms);
    }
    std::printf("\nPhases, median / p95 (ms):\n\n| phase |");
    for (const BenchSetting &setting : settings)
        std::printf(" %s |", setting.label.c_str());
    std::printf("\n|---|");
    for (size_t index = 0; index < settings.size(); ++index)
        std::printf("---|");
    std::printf("\n");
    for (size_t phase = 0; phase < kPhaseCount; ++phase) {
        std::printf("| %s |", kPhases[phase].name);
        for (const SettingResult &result : results)
            std::printf(" %.3f / %.3f |", result.phases[phase].median, result.phases[phase].p95);
        std::printf("\n");
    }
}

// One line a capture: setting, floor, overlapped floor, reply time (ms).
bool WriteSamples(const std::string &path, const std::vector<BenchSetting> &settings,
                  const std::vector<SettingResult> &results)
{
    std::FILE *file = std::fopen(path.c_str(), "w");
    if (file == nullptr)
        return false;
    std::fprintf(file, "setting,floor_ms,overlapped_floor_ms,reply_ms\n");
    for (size_t index = 0; index < results.size(); ++index) {
        for (const double replyMs : results[index].roundTrips)
            std::fprintf(file, "%s,%.3f,%.3f,%.3f\n", settings[index].label.c_str(),
                         results[index].floorMs, results[index].overlappedFloorMs, replyMs);
    }
    return std::fclose(file) == 0;
}

} // namespace

int main(int argc, char **argv)
{
    std::setvbuf(stdout, nullptr, _IONBF, 0);
    Options options;
    if (!ParseOptions(argc, argv, &options)) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    std::vector<BenchSetting> settings;
    for (const std::string &text : options.settings) {
        BenchSetting setting;
        std::string error;
        if (!ParseBenchSetting(text, &setting, &error)) {
            std::fprintf(stderr, "capture_latency: %s\n", error.c_str());
            return 2;
        }
        settings.push_back(setting);
    }
    if (options.tmpfs && !UseTmpfsForTemporaryFolders()) {
        std::fprintf(stderr, "capture_latency: --tmpfs: /dev/shm is not a tmpfs here\n");
        return 1;
    }
    std::printf("capture_latency: %d captures a setting after %d to warm up; times in ms from "
                "command sent to reply received; folders on %s; load average %s\n",
                options.captures, kWarmUpCaptures,
                options.tmpfs ? "tmpfs" : "the temporary folder's file system",
                LoadAverage().c_str());
    std::vector<SettingResult> results;
    for (const BenchSetting &setting : settings) {
        SettingResult result{};
        std::string error;
        if (!MeasureSetting(setting, options, &result, &error)) {
            std::fprintf(stderr, "capture_latency: %s: %s\n", setting.label.c_str(), error.c_str());
            return 1;
        }
        PrintSetting(setting, result);
        results.push_back(result);
    }
    PrintTable(settings, results);
    if (!options.samples.empty() && !WriteSamples(options.samples, settings, results)) {
        std::fprintf(stderr, "capture_latency: cannot write %s\n", options.samples.c_str());
        return 1;
    }
    std::printf("load average at the end: %s\n", LoadAverage().c_str());
    return 0;
}
