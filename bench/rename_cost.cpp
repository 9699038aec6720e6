// rename_cost: how long renaming a new file over an old one of the same size takes, beside
// writing it, in a folder given on the command line. Portable (std::filesystem only), so that
// the Windows build can tell whether freeing the replaced file costs there what it costs on
// Linux with ext4 mounted with discard.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

const int kRuns = 21;

double MsSince(Clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

bool WriteFile(const std::string &path, const std::vector<char> &bytes)
{
    std::FILE *file = std::fopen(path.c_str(), "wb");
    if (file == nullptr)
        return false;
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    return std::fclose(file) == 0 && written;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "Usage: rename_cost FOLDER\n");
        return 2;
    }
    const std::filesystem::path folder = argv[1];
    const std::string target = (folder / "rename_cost.bin").string();
    const std::string temporary = (folder / ".rename_cost.bin.tmp").string();
    std::printf("| file (MB) | write (ms) | rename over the old file (ms) |\n|---|---|---|\n");
    // The converted sizes of 640x480 Mono8, 1280x1024 and 2448x2048 RGB24, 4096x3000 RGB48.
    for (const size_t bytes :
         {size_t{307200}, size_t{3932160}, size_t{15040512}, size_t{73728000}}) {
        const std::vector<char> contents(bytes, 'x');
        std::vector<double> writes;
        std::vector<double> renames;
        if (!WriteFile(target, contents)) {
            std::fprintf(stderr, "rename_cost: cannot write in %s\n", argv[1]);
            return 1;
        }
        for (int run = 0; run < kRuns; ++run) {
            const Clock::time_point writeStart = Clock::now();
            if (!WriteFile(temporary, contents))
                return 1;
            writes.push_back(MsSince(writeStart));
            std::error_code error;
            const Clock::time_point renameStart = Clock::now();
            std::filesystem::rename(temporary, target, error);
            renames.push_back(MsSince(renameStart));
            if (error)
                return 1;
        }
        std::printf("| %.1f | %.3f | %.3f |\n", bytes / 1e6, Median(writes), Median(renames));
    }
    std::error_code ignored;
    std::filesystem::remove(target, ignored);
    return 0;
}
