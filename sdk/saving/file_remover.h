// Removal of files off the caller's thread: the hidden names of replaced files, whose removal
// frees their blocks (a wait for the disk on some file systems), and the library's leftovers
// from runs that ended without removing them.
//
// One thread of the library does the removals; it starts with the first one handed over and
// ends in FinishRemovals. At most kPendingRemovals files wait for it: one more is removed at
// once, on the caller's thread, so nothing piles up when saves come faster than removals.
#ifndef JAI_FACTORY_FILE_REMOVER_H
#define JAI_FACTORY_FILE_REMOVER_H

#include <cstddef>
#include <filesystem>

const size_t kPendingRemovals = 1;

// Removes file (never what a symlink there points to) soon, on the remover's thread.
void RemoveLater(const std::filesystem::path &file);

// Removes file (never what a symlink there points to) now. When the system refuses because
// another program holds it open (Windows), tries again after each later removal handed over
// and in FinishRemovals; one still held then is left, for a later run to remove.
void RemoveOnceReleased(const std::filesystem::path &file);

// The first time folder is named in this process: removes there, soon, every file that
// IsOtherRunsOwnFile recognises. Nothing else in the folder is touched.
void RemoveOtherRunsFilesOnce(const std::filesystem::path &folder);

// Waits until every removal handed over is done, then ends the remover's thread.
void FinishRemovals();

#endif
