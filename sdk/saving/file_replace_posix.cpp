// Moving a file into place on POSIX systems: rename(2), which replaces the target whoever
// holds it open.
#include "file_replace.h"

#include <system_error>

ReplaceOutcome MoveIntoPlace(const std::filesystem::path &temporary,
                             const std::filesystem::path &target, std::chrono::milliseconds)
{
    std::error_code error;
    std::filesystem::rename(temporary, target, error);
    return error ? ReplaceOutcome::Failed : ReplaceOutcome::Replaced;
}
