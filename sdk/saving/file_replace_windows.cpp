// Moving a file into place on Windows, where a program that holds the target open without
// delete sharing makes the replace fail until it closes the file: the replace is tried again
// for a bounded time. MoveFileExW is called itself, because std::filesystem::rename (MinGW's
// libstdc++) turns every error but access denied into EIO, losing the sharing violation.
#include "file_replace.h"

#include <windows.h>

#include <thread>

namespace {

// Between two tries. A reader that loops over the file leaves it closed only for moments, so
// a try finds such a moment by chance; tries that follow each other at once find it no
// sooner (under Wine they slow the reader down as much) and would keep a processor busy. A
// fixed pause can fall into step with a reader's own period and miss its moments for the
// whole wait, so the pause sweeps from the shortest to the longest and starts again.
const std::chrono::microseconds kShortestRetryPause{100};
const std::chrono::microseconds kLongestRetryPause{1000};

// A file that waiting could make replaceable: neither a folder nor read-only, which are
// refused with access denied too, for good.
bool IsReplaceableFile(const std::filesystem::path &target)
{
    const DWORD attributes = GetFileAttributesW(target.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES &&
           (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY)) == 0;
}

// True when some program (a virus scanner, say) holds our own temporary file open without
// delete sharing: the refusal is then not the target's. Only this library knows the file's
// name, so opening it for a moment disturbs no reader of the images.
bool IsHeldOpen(const std::filesystem::path &file)
{
    const HANDLE handle =
        CreateFileW(file.c_str(), DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return GetLastError() == ERROR_SHARING_VIOLATION;
    CloseHandle(handle);
    return false;
}

// Windows answers a replace over a file held open with access denied (some file systems, and
// Wine for the file renamed, with a sharing violation).
bool RefusedForHeldTarget(DWORD error, const std::filesystem::path &temporary,
                          const std::filesystem::path &target)
{
    return (error == ERROR_ACCESS_DENIED || error == ERROR_SHARING_VIOLATION) &&
           IsReplaceableFile(target) && !IsHeldOpen(temporary);
}

} // namespace

ReplaceOutcome MoveIntoPlace(const std::filesystem::path &temporary,
                             const std::filesystem::path &target, std::chrono::milliseconds wait)
{
    const std::chrono::steady_clock::time_point start = std::chrono::steady_clock::now();
    std::chrono::microseconds pause = kShortestRetryPause;
    for (;;) {
        if (MoveFileExW(temporary.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING))
            return ReplaceOutcome::Replaced;
        if (!RefusedForHeldTarget(GetLastError(), temporary, target))
            return ReplaceOutcome::Failed;
        const std::chrono::steady_clock::duration waited = std::chrono::steady_clock::now() - start;
        if (waited >= wait)
            return ReplaceOutcome::HeldOpen;
        std::this_thread::sleep_for(pause);
        pause = pause < kLongestRetryPause ? pause + kShortestRetryPause : kShortestRetryPause;
    }
}
