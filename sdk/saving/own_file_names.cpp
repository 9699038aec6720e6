// Names of the library's own files, and their recognition in a folder after another run.
#include "own_file_names.h"

#include <atomic>
#include <cctype>
#include <chrono>
#include <cinttypes>
#include <cstdint>
#include <cstdio>
#include <random>

namespace {

const char kMarker[] = ".Jai_Factory-";
const size_t kTokenDigits = 16;

const char *Suffix(OwnFileKind kind) { return kind == OwnFileKind::Temporary ? ".tmp" : ".old"; }

// Tells this process's names from another's in the same folder. Never destroyed: a frame
// callback may still be saving while the process exits.
const std::string &ProcessToken()
{
    static const std::string *const token = [] {
        std::random_device device;
        const uint64_t random = (uint64_t{device()} << 32) ^ device();
        const uint64_t mixed =
            random ^
            static_cast<uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
        char text[kTokenDigits + 1];
        std::snprintf(text, sizeof text, "%016" PRIx64, mixed);
        return new std::string(text);
    }();
    return *token;
}

bool AllOf(const std::string &text, size_t from, size_t to, int (*test)(int))
{
    for (size_t at = from; at < to; ++at) {
        if (!test(static_cast<unsigned char>(text[at])))
            return false;
    }
    return true;
}

bool EndsWith(const std::string &text, const std::string &end)
{
    return text.size() >= end.size() &&
           text.compare(text.size() - end.size(), end.size(), end) == 0;
}

} // namespace

std::filesystem::path OwnFileName(const std::filesystem::path &target, OwnFileKind kind)
{
    static std::atomic<uint64_t> serial{0};
    const std::string name = "." + target.filename().string() + kMarker + ProcessToken() + "-" +
                             std::to_string(serial++) + Suffix(kind);
    return target.parent_path() / name;
}

bool IsOtherRunsOwnFile(const std::string &fileName)
{
    const std::string suffix = EndsWith(fileName, Suffix(OwnFileKind::Temporary))
                                   ? Suffix(OwnFileKind::Temporary)
                                   : Suffix(OwnFileKind::Replaced);
    const size_t marker = fileName.rfind(kMarker);
    // "." and at least one character of the saved file's name before the marker.
    if (fileName.empty() || fileName[0] != '.' || !EndsWith(fileName, suffix) ||
        marker == std::string::npos || marker < 2)
        return false;
    const size_t token = marker + sizeof kMarker - 1;
    const size_t dash = token + kTokenDigits;
    const size_t serialEnd = fileName.size() - suffix.size();
    if (dash >= serialEnd || fileName[dash] != '-' || dash + 1 == serialEnd)
        return false;
    const auto isLowerHex = [](int c) { return std::isdigit(c) || (c >= 'a' && c <= 'f') ? 1 : 0; };
    return AllOf(fileName, token, dash, isLowerHex) &&
           AllOf(fileName, dash + 1, serialEnd, [](int c) { return std::isdigit(c); }) &&
           fileName.compare(token, kTokenDigits, ProcessToken()) != 0;
}
