// Moving a finished temporary file over the file it replaces, in one step. The system's own
// part: CMake builds file_replace_windows.cpp on Windows and file_replace_posix.cpp elsewhere.
#ifndef JAI_FACTORY_FILE_REPLACE_H
#define JAI_FACTORY_FILE_REPLACE_H

#include <chrono>
#include <cstdint>
#include <filesystem>

// How long a replace waits for a program that holds the target open, unless
// CAMERA_SDK_SAVE_WAIT_MS says otherwise; and the longest wait that variable may set.
const uint32_t kDefaultSaveWaitMs = 1000;
const uint32_t kMaxSaveWaitMs = 60000;

enum class ReplaceOutcome {
    Replaced,
    HeldOpen, // another program held target open for the whole wait; nothing was replaced
    Failed,   // any other refusal, at once
};

// Renames temporary over target (a symlink there is replaced, not followed). Windows refuses
// to replace a file that another program holds open, as the C library's fopen opens files;
// there the save waits, until wait has passed, for a moment when no program has target open,
// removes target's name then and moves temporary in (readers find no file for that moment).
// Where the system never refuses this way, the outcome is never HeldOpen. temporary stays
// when the outcome is not Replaced.
ReplaceOutcome MoveIntoPlace(const std::filesystem::path &temporary,
                             const std::filesystem::path &target, std::chrono::milliseconds wait);

#endif
