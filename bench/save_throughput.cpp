// save_throughput: the library's conversion and TIFF save of each pixel format, each beside a
// plain write and rename of the same bytes in the same folder and a memory copy of them, and
// their ratios.
#include "bench_setting.h"
#include "camera.h"
#include "plain_write.h"
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

// Today's four first, then one of each family and packing beside them.
const char *const kFormats[] = {
    "Mono8",     "Mono16",     "BayerRG8",        "BayerRG16", "Mono12", "Mono12p", "Mono12Packed",
    "BayerRG12", "BayerRG12p", "BayerRG10Packed", "RGB8",      "BGRa8",  "RGB12",   "YUV422_8"};
const uint32_t kUnitGain = 4096;

const char *const kDefaultSizes[] = {"1280x1024", "2448x2048"};

// A folder on one of the file systems compared.
struct FileSystem {
    std::string name; // "disk" (the system's temporary folder) or "tmpfs"
    std::string folder;
};

// One pixel format's raw frame and its converted image at one size.
struct FormatCase {
    std::string format;
    std::string size;
    RawFrame raw;
    J_IMAGE_RECORD converted{};
};

// The files a format case is saved to on one file system.
struct SaveCase {
    FormatCase *image;
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

// The converted bytes copied to another buffer: what the memory allows a conversion.
void MemoryCopy(benchmark::State &state, FormatCase *formatCase)
{
    const J_IMAGE_RECORD &image = formatCase->converted;
    std::vector<uint8_t> copy(image.imageSize);
    for (auto _ : state) {
        std::memcpy(copy.data(), image.buffer, image.imageSize);
        benchmark::ClobberMemory();
    }
    CountBytes(state, image.imageSize);
}

void Save(benchmark::State &state, SaveCase *saveCase)
{
    for (auto _ : state) {
        if (J_Image_SaveFile(&saveCase->image->converted, saveCase->tiffFile.c_str()) !=
            J_ST_SUCCESS) {
            state.SkipWithError("J_Image_SaveFile failed");
            return;
        }
    }
    CountBytes(state, saveCase->image->converted.imageSize);
}

// What the server does with each frame: J_Image_Malloc, FromRawToImage, SaveFile, Free.
void ConvertAndSave(benchmark::State &state, SaveCase *saveCase)
{
    for (auto _ : state) {
        if (!SaveFrame(&saveCase->image->raw.record, saveCase->tiffFile.c_str())) {
            state.SkipWithError("SaveFrame failed");
            return;
        }
    }
    CountBytes(state, saveCase->image->converted.imageSize);
}

// The converted bytes written to a new file that is then renamed over the last one.
void PlainWriteRename(benchmark::State &state, SaveCase *saveCase)
{
    const J_IMAGE_RECORD &image = saveCase->image->converted;
    for (auto _ : state) {
        if (!PlainWriteAndRename(image.buffer, image.imageSize, saveCase->plainTemporary,
                                 saveCase->plainFile)) {
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

void PrintRatios(const RatioReporter &reporter, const std::string &size,
                 const std::string &fileSystem)
{
    std::printf("\nTimes as multiples of the plain write and rename of the converted bytes, %s "
                "on %s, and the conversion as a multiple of a memory copy of them:\n"
                "| format | plain write (ms) | convert | save | convert and save | memory copy "
                "(ms) | convert / copy |\n"
                "|---|---|---|---|---|---|---|\n",
                size.c_str(), fileSystem.c_str());
    for (const char *format : kFormats) {
        const std::string image = std::string("/") + format + "/" + size;
        const std::string onFileSystem = image + "/" + fileSystem;
        const double plainMs = reporter.TimeMs("PlainWriteRename" + onFileSystem);
        if (plainMs < 0)
            continue;
        const double convertMs = reporter.TimeMs("Convert" + image);
        const double copyMs = reporter.TimeMs("MemoryCopy" + image);
        std::printf("| %s | %.3f | %s | %s | %s | %.3f | %s |\n", format, plainMs,
                    Ratio(convertMs, plainMs).c_str(),
                    Ratio(reporter.TimeMs("Save" + onFileSystem), plainMs).c_str(),
                    Ratio(reporter.TimeMs("ConvertAndSave" + onFileSystem), plainMs).c_str(),
                    copyMs, Ratio(convertMs, copyMs).c_str());
    }
}

// Sets up formatCase for format at size; false with *error on failure.
bool PrepareCase(const std::string &format, const std::string &size, FormatCase *formatCase,
                 std::string *error)
{
    BenchSetting setting;
    if (!ParseBenchSetting(size + ":" + format + ":30", &setting, error))
        return false;
    formatCase->format = format;
    formatCase->size = size;
    MakeRawFrame(setting.config, 1, &formatCase->raw);
    if (J_Image_Malloc(&formatCase->raw.record, &formatCase->converted) != J_ST_SUCCESS ||
        J_Image_FromRawToImage(&formatCase->raw.record, &formatCase->converted, kUnitGain,
                               kUnitGain, kUnitGain) != J_ST_SUCCESS) {
        *error = "the library cannot convert " + format + " at " + size;
        return false;
    }
    return true;
}

std::string CaseName(const FormatCase &formatCase)
{
    return "/" + formatCase.format + "/" + formatCase.size;
}

SaveCase MakeSaveCase(FormatCase *formatCase, const FileSystem &fileSystem)
{
    const std::string stem = formatCase->format + "-" + formatCase->size;
    return SaveCase{formatCase, fileSystem.folder + "/" + stem + ".tiff",
                    fileSystem.folder + "/" + stem + ".raw",
                    fileSystem.folder + "/." + stem + ".raw.tmp"};
}

void RegisterSaves(SaveCase *saveCase, const FileSystem &fileSystem)
{
    const std::string suffix = CaseName(*saveCase->image) + "/" + fileSystem.name;
    benchmark::RegisterBenchmark(("Save" + suffix).c_str(), Save, saveCase)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark(("ConvertAndSave" + suffix).c_str(), ConvertAndSave, saveCase)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark(("PlainWriteRename" + suffix).c_str(), PlainWriteRename, saveCase)
        ->Unit(benchmark::kMillisecond);
}

const char kUsage[] =
    "Usage: save_throughput [--size WIDTHxHEIGHT]... [--disk-only | --tmpfs-only] "
    "[benchmark flags]\n"
    "Default: 1280x1024 and 2448x2048, each on the system's temporary folder (\"disk\") and on\n"
    "the tmpfs /dev/shm.\n";

} // namespace

int main(int argc, char **argv)
{
    benchmark::Initialize(&argc, argv);
    std::vector<std::string> sizes;
    bool disk = true;
    bool tmpfs = true;
    for (int index = 1; index < argc; ++index) {
        if (std::strcmp(argv[index], "--size") == 0 && index + 1 < argc) {
            sizes.push_back(argv[++index]);
        } else if (std::strcmp(argv[index], "--disk-only") == 0) {
            tmpfs = false;
        } else if (std::strcmp(argv[index], "--tmpfs-only") == 0) {
            disk = false;
        } else {
            std::fputs(kUsage, stderr);
            return 2;
        }
    }
    if (sizes.empty())
        sizes.assign(std::begin(kDefaultSizes), std::end(kDefaultSizes));
    if (tmpfs && !IsTmpfs(kTmpfsFolder)) {
        std::fprintf(stderr, "save_throughput: %s is not a tmpfs here\n", kTmpfsFolder);
        return 1;
    }
    std::vector<FileSystem> fileSystems;
    if (disk)
        fileSystems.push_back({"disk", MakeTemporaryFolder("capture-bench-throughput-")});
    if (tmpfs)
        fileSystems.push_back({"tmpfs", MakeFolderIn(kTmpfsFolder, "capture-bench-throughput-")});
    std::error_code ignored;
    const auto removeFolders = [&fileSystems, &ignored] {
        for (const FileSystem &fileSystem : fileSystems)
            if (!fileSystem.folder.empty())
                std::filesystem::remove_all(fileSystem.folder, ignored);
    };
    for (const FileSystem &fileSystem : fileSystems) {
        if (fileSystem.folder.empty()) {
            std::fprintf(stderr, "save_throughput: cannot make a folder on %s\n",
                         fileSystem.name.c_str());
            removeFolders();
            return 1;
        }
    }
    std::vector<std::unique_ptr<FormatCase>> cases;
    std::vector<std::unique_ptr<SaveCase>> saveCases;
    std::string error;
    for (const std::string &size : sizes) {
        for (const char *format : kFormats) {
            cases.push_back(std::make_unique<FormatCase>());
            FormatCase *formatCase = cases.back().get();
            if (!PrepareCase(format, size, formatCase, &error)) {
                std::fprintf(stderr, "save_throughput: %s\n", error.c_str());
                removeFolders();
                return 1;
            }
            benchmark::RegisterBenchmark(("Convert" + CaseName(*formatCase)).c_str(), Convert,
                                         formatCase)
                ->Unit(benchmark::kMillisecond);
            benchmark::RegisterBenchmark(("MemoryCopy" + CaseName(*formatCase)).c_str(), MemoryCopy,
                                         formatCase)
                ->Unit(benchmark::kMillisecond);
            for (const FileSystem &fileSystem : fileSystems) {
                saveCases.push_back(
                    std::make_unique<SaveCase>(MakeSaveCase(formatCase, fileSystem)));
                RegisterSaves(saveCases.back().get(), fileSystem);
            }
        }
    }
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    for (const std::string &size : sizes)
        for (const FileSystem &fileSystem : fileSystems)
            PrintRatios(reporter, size, fileSystem.name);
    for (const auto &formatCase : cases)
        J_Image_Free(&formatCase->converted);
    removeFolders();
    benchmark::Shutdown();
    return 0;
}
