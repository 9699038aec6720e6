// Moving a file into place on Windows, where a program that holds the target open makes the
// replace fail until it closes the file: the save waits a bounded time for a moment when the
// target is closed, takes its name away then and moves the new file in. MoveFileExW is called
// itself, because std::filesystem::rename (MinGW's libstdc++) turns every error but access
// denied into EIO, losing the sharing violation.
#include "file_replace.h"

#include <windows.h>

#include <thread>

namespace {

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

// Waits until deadline for a moment when no program has target open, and removes its name
// then. A reader that loops over the file leaves it closed only for some microseconds a
// cycle, and reopens it before a replace (several calls, under Wine several requests to its
// server) comes round again; opened with delete access and no sharing, the file is ours
// alone, so that no reader opens it again before its name goes. The tries follow each other
// at once: Windows sleeps whole timer ticks (1 to 15.6 ms), which miss such moments. Returns
// the last error: ERROR_SUCCESS once the name is gone, ERROR_SHARING_VIOLATION when some
// program held the file until deadline.
DWORD RemoveOnceClosed(const std::filesystem::path &target,
                       std::chrono::steady_clock::time_point deadline)
{
    for (;;) {
        const HANDLE handle = CreateFileW(target.c_str(), DELETE, 0, nullptr, OPEN_EXISTING,
                                          FILE_FLAG_DELETE_ON_CLOSE, nullptr);
        if (handle != INVALID_HANDLE_VALUE) {
            CloseHandle(handle);
            return ERROR_SUCCESS;
        }
        const DWORD error = GetLastError();
        if (error != ERROR_SHARING_VIOLATION || std::chrono::steady_clock::now() >= deadline)
            return error;
        std::this_thread::yield();
    }
}

} // namespace

ReplaceOutcome MoveIntoPlace(const std::filesystem::path &temporary,
                             const std::filesystem::path &target, std::chrono::milliseconds wait)
{
    const std::chrono::steady_clock::time_point deadline = std::chrono::steady_clock::now() + wait;
    if (MoveFileExW(temporary.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING))
        return ReplaceOutcome::Replaced;
    if (!RefusedForHeldTarget(GetLastError(), temporary, target))
        return ReplaceOutcome::Failed;
    const DWORD removal = RemoveOnceClosed(target, deadline);
    if (removal == ERROR_SHARING_VIOLATION)
        return ReplaceOutcome::HeldOpen;
    if (removal != ERROR_SUCCESS && removal != ERROR_FILE_NOT_FOUND)
        return ReplaceOutcome::Failed;
    return MoveFileExW(temporary.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING)
               ? ReplaceOutcome::Replaced
               : ReplaceOutcome::Failed;
}
