// save_throughput: the library's conversion and TIFF save of each pixel format, each beside a
// plain write and rename of the same bytes in the same folder, and their ratios.
#include "bench_setting.h"
#include "camera.h"
#include "server_process.h"

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace {

const char *const kFormats[] = {"Mono8", "Mono16", "BayerRG8", "BayerRG16"};
const uint32_t kUnitGain = 4096;

// One pixel format's raw frame and its converted image, and the files they are saved to.
struct FormatCase {
    std::string format;
    RawFrame raw;
    J_IMAGE_RECORD converted{};
    std::string tiffFile;
    std::string plainFile;
    std::string plainTemporary;
};

void CountBytes(benchmark::State &state, uint32_t bytes)
{
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * bytes);
}

void Convert(benchmark::State &state, FormatCase *formatCase)
{
    for (auto _ : state) {
        if (J_Image_FromRawToImage(&formatCase->raw.record, &formatCase->converted, kUnitGain,
                                   kUnitGain, kUnitGain) != J_ST_SUCCESS) {
            state.SkipWithError("J_Image_FromRawToImage failed");
            return;
        }
    }
    CountBytes(state, formatCase->converted.imageSize);
}

void Save(benchmark::State &state, FormatCase *formatCase)
{
    for (auto _ : state) {
        if (J_Image_SaveFile(&formatCase->converted, formatCase->tiffFile.c_str()) !=
            J_ST_SUCCESS) {
            state.SkipWithError("J_Image_SaveFile failed");
            return;
        }
    }
    CountBytes(state, formatCase->converted.imageSize);
}

// What the server does with each frame: J_Image_Malloc, FromRawToImage, SaveFile, Free.
void ConvertAndSave(benchmark::State &state, FormatCase *formatCase)
{
    for (auto _ : state) {
        if (!SaveFrame(&formatCase->raw.record, formatCase->tiffFile.c_str())) {
            state.SkipWithError("SaveFrame failed");
            return;
        }
    }
    CountBytes(state, formatCase->converted.imageSize);
}

// The converted bytes written to a new file that is then renamed over the last one.
void PlainWriteRename(benchmark::State &state, FormatCase *formatCase)
{
    const J_IMAGE_RECORD &image = formatCase->converted;
    for (auto _ : state) {
        std::FILE *file = std::fopen(formatCase->plainTemporary.c_str(), "wb");
        const bool written =
            file != nullptr && std::fwrite(image.buffer, 1, image.imageSize, file) ==
                                   image.imageSize;
        const bool closed = file != nullptr && std::fclose(file) == 0;
        if (!written || !closed ||
            std::rename(formatCase->plainTemporary.c_str(), formatCase->plainFile.c_str()) != 0) {
            state.SkipWithError("plain write failed");
            return;
        }
    }
    CountBytes(state, image.imageSize);
}

// The console report, keeping each benchmark's time per iteration for the ratios: the
// median of repetitions when there are several, else the one run.
class RatioReporter : public benchmark::ConsoleReporter {
  public:
    // Colours only on a terminal, so that a log or pipe gets plain text.
    RatioReporter() : ConsoleReporter(isatty(STDOUT_FILENO) ? OO_Defaults : OO_Tabular) {}

    void ReportRuns(const std::vector<Run> &runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        for (const Run &run : runs) {
            if (run.error_occurred)
                continue;
            const std::string name = run.run_name.str();
            if (run.run_type == Run::RT_Aggregate && run.aggregate_name == "median") {
                timesMs_[name] = run.GetAdjustedRealTime();
                medians_.insert(name);
            } else if (run.run_type == Run::RT_Iteration && medians_.count(name) == 0) {
                timesMs_[name] = run.GetAdjustedRealTime();
            }
        }
    }

    // The time of benchmark name in ms, or a negative value when it did not run.
    double TimeMs(const std::string &name) const
    {
        const auto found = timesMs_.find(name);
        return found == timesMs_.end() ? -1.0 : found->second;
    }

  private:
    std::map<std::string, double> timesMs_;
    std::set<std::string> medians_;
};

std::string Ratio(double timeMs, double plainMs)
{
    if (timeMs < 0 || plainMs <= 0)
        return "-";
    char text[32];
    std::snprintf(text, sizeof text, "%.2fx", timeMs / plainMs);
    return text;
}

void PrintRatios(const RatioReporter &reporter, const std::string &size)
{
    std::printf("\nTimes as multiples of the plain write and rename of the converted bytes, %s:\n"
                "| format | plain write (ms) | convert | save | convert and save |\n"
                "|---|---|---|---|---|\n",
                size.c_str());
    for (const char *format : kFormats) {
        const std::string suffix = std::string("/") + format;
        const double plainMs = reporter.TimeMs("PlainWriteRename" + suffix);
        if (plainMs < 0)
            continue;
        std::printf("| %s | %.3f | %s | %s | %s |\n", format, plainMs,
                    Ratio(reporter.TimeMs("Convert" + suffix), plainMs).c_str(),
                    Ratio(reporter.TimeMs("Save" + suffix), plainMs).c_str(),
                    Ratio(reporter.TimeMs("ConvertAndSave" + suffix), plainMs).c_str());
    }
}

// Sets up formatCase for format at size; false with *error on failure.
bool PrepareCase(const std::string &format, const std::string &size, const std::string &folder,
                 FormatCase *formatCase, std::string *error)
{
    BenchSetting setting;
    if (!ParseBenchSetting(size + ":" + format + ":30", &setting, error))
        return false;
    formatCase->format = format;
    MakeRawFrame(setting.config, 1, &formatCase->raw);
    if (J_Image_Malloc(&formatCase->raw.record, &formatCase->converted) != J_ST_SUCCESS ||
        J_Image_FromRawToImage(&formatCase->raw.record, &formatCase->converted, kUnitGain,
                               kUnitGain, kUnitGain) != J_ST_SUCCESS) {
        *error = "the library cannot convert " + format + " at " + size;
        return false;
    }
    formatCase->tiffFile = folder + "/" + format + ".tiff";
    formatCase->plainFile = folder + "/" + format + ".raw";
    formatCase->plainTemporary = folder + "/." + format + ".raw.tmp";
    return true;
}

void Register(FormatCase *formatCase)
{
    const std::string suffix = "/" + formatCase->format;
    benchmark::RegisterBenchmark(("Convert" + suffix).c_str(), Convert, formatCase)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark(("Save" + suffix).c_str(), Save, formatCase)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark(("ConvertAndSave" + suffix).c_str(), ConvertAndSave,
                                 formatCase)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark(("PlainWriteRename" + suffix).c_str(), PlainWriteRename,
                                 formatCase)
        ->Unit(benchmark::kMillisecond);
}

} // namespace

int main(int argc, char **argv)
{
    benchmark::Initialize(&argc, argv);
    std::string size = "1280x1024";
    for (int index = 1; index < argc; ++index) {
        if (std::strcmp(argv[index], "--size") == 0 && index + 1 < argc) {
            size = argv[++index];
            continue;
        }
        std::fprintf(stderr, "Usage: save_throughput [--size WIDTHxHEIGHT] [benchmark flags]\n");
        return 2;
    }
    const std::string folder = MakeTemporaryFolder("capture-bench-throughput-");
    if (folder.empty()) {
        std::fprintf(stderr, "save_throughput: cannot make a temporary folder\n");
        return 1;
    }
    std::error_code ignored;
    std::vector<std::unique_ptr<FormatCase>> cases;
    std::string error;
    for (const char *format : kFormats) {
        cases.push_back(std::make_unique<FormatCase>());
        if (!PrepareCase(format, size, folder, cases.back().get(), &error)) {
            std::fprintf(stderr, "save_throughput: %s\n", error.c_str());
            std::filesystem::remove_all(folder, ignored);
            return 1;
        }
        Register(cases.back().get());
    }
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    PrintRatios(reporter, size);
    for (const auto &formatCase : cases)
        J_Image_Free(&formatCase->converted);
    std::filesystem::remove_all(folder, ignored);
    benchmark::Shutdown();
    return 0;
}
