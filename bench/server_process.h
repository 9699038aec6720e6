// A capture server run by a benchmark: its own temporary folder, the port lock, its readings.
#ifndef CAPTURE_BENCH_SERVER_PROCESS_H
#define CAPTURE_BENCH_SERVER_PROCESS_H

#include "capture_client.h"

#include <sys/types.h>

#include <string>
#include <utility>
#include <vector>

using Variables = std::vector<std::pair<std::string, std::string>>;

struct BenchServer {
    pid_t pid = -1;
    int lockFile = -1;
    std::string folder;      // the server's working folder, removed when it stops
    std::string consoleFile; // its standard output and error
};

// The file called name in the folder of this program's own binary.
std::string BesideThisProgram(const std::string &name);

// The capture-server beside this program's own binary.
std::string ServerBesideThisProgram();

// Takes the lock on the shared port (waiting for other runs), makes a temporary folder and
// starts binary there with variables added to this environment (SIMCAM_ ones replaced).
// Standard input is empty, so that a fatal end does not wait for a key. False with *error
// set when a step failed; nothing is left running then.
bool StartServer(const std::string &binary, const Variables &variables, BenchServer *server,
                 std::string *error);

// Connects as the server's one client, retrying while it has not started listening.
bool ConnectAsClient(const BenchServer &server, ServerConnection *connection, std::string *error);

// Waits for the server to end (killing it after a few seconds), removes its folder and
// releases the lock. Returns its exit status, or -1 when it had to be killed.
int StopServer(BenchServer *server);

// The last lines of the server's console, for a failure report.
std::string ConsoleTail(const BenchServer &server);

// The resident memory of process pid in KiB; -1 when it cannot be read.
long ResidentKiB(pid_t pid);

// Processor time used so far by all threads of process pid, in seconds; -1 when unknown.
double ProcessorSeconds(pid_t pid);

// The tmpfs that benchmarks compare against the disk.
const char kTmpfsFolder[] = "/dev/shm";

// True when folder is on a tmpfs.
bool IsTmpfs(const char *folder);

// Makes MakeTemporaryFolder use the tmpfs /dev/shm (through TMPDIR, which the server's own
// environment then carries too); false when /dev/shm is not a tmpfs.
bool UseTmpfsForTemporaryFolders();

// A new empty folder in the system's temporary folder; empty on failure.
std::string MakeTemporaryFolder(const char *prefix);

// Removes folder and what it holds, if it can.
void RemoveFolder(const std::string &folder);

// A new empty folder in base; empty on failure.
std::string MakeFolderIn(const std::string &base, const char *prefix);

#endif
