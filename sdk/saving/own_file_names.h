// The names of the library's own files beside a saved one: the temporary file of a save, and
// the hidden second name that keeps a replaced file alive until it is removed off the save.
#ifndef JAI_FACTORY_OWN_FILE_NAMES_H
#define JAI_FACTORY_OWN_FILE_NAMES_H

#include <filesystem>
#include <string>

enum class OwnFileKind { Temporary, Replaced };

// ".<file name>.Jai_Factory-<process token>-<serial>.tmp" (Temporary) or ".old" (Replaced) in
// target's folder: the token is 16 hex digits, random per process; the serial counts saves.
std::filesystem::path OwnFileName(const std::filesystem::path &target, OwnFileKind kind);

// True when fileName has the form above with another process's token: left behind by a run
// that ended before it could remove it.
bool IsOtherRunsOwnFile(const std::string &fileName);

#endif
