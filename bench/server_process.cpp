// Starting, stopping and reading a capture server child process (POSIX).
#include "server_process.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

extern char **environ;

namespace {

const char kPortLock[] = "/tmp/capture-server-port.lock";
const auto kStartTimeout = std::chrono::seconds(10);
const auto kExitTimeout = std::chrono::seconds(10);
const int kConnectAttemptMs = 1000;

// Blocks until this process holds the port lock; -1 on failure. The server inherits the
// descriptor, so the lock lasts as long as the server even if this program dies first.
int TakePortLock(std::string *error)
{
    const int file = open(kPortLock, O_RDWR | O_CREAT, 0666);
    if (file < 0) {
        *error = std::string("cannot open ") + kPortLock + ": " + std::strerror(errno);
        return -1;
    }
    if (flock(file, LOCK_EX | LOCK_NB) == 0)
        return file;
    std::fprintf(stderr, "waiting for another run to release port %u...\n",
                 static_cast<unsigned>(kServerPort));
    while (flock(file, LOCK_EX) != 0) {
        if (errno != EINTR) {
            *error = std::string("cannot lock ") + kPortLock + ": " + std::strerror(errno);
            close(file);
            return -1;
        }
    }
    return file;
}

// This environment without SIMCAM_ variables, then variables, as NAME=VALUE strings.
std::vector<std::string> ServerEnvironment(const Variables &variables)
{
    std::vector<std::string> entries;
    for (char **entry = environ; *entry != nullptr; ++entry) {
        if (std::strncmp(*entry, "SIMCAM_", 7) != 0)
            entries.emplace_back(*entry);
    }
    for (const auto &variable : variables)
        entries.push_back(variable.first + "=" + variable.second);
    return entries;
}

// In the child: only calls that are safe after fork, then exec.
[[noreturn]] void ExecServer(const char *binary, const char *folder, const char *console,
                             char *const *environment)
{
    const int input = open("/dev/null", O_RDONLY);
    const int output = open(console, O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (input < 0 || output < 0 || chdir(folder) != 0 || dup2(input, 0) < 0 ||
        dup2(output, 1) < 0 || dup2(output, 2) < 0)
        _exit(127);
    char *const arguments[] = {const_cast<char *>(binary), nullptr};
    execve(binary, arguments, environment);
    _exit(127);
}

void ReleaseLock(BenchServer *server)
{
    if (server->lockFile >= 0)
        close(server->lockFile);
    server->lockFile = -1;
}

} // namespace

std::string BesideThisProgram(const std::string &name)
{
    std::error_code error;
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error)
        return name;
    return (self.parent_path() / name).string();
}

std::string ServerBesideThisProgram() { return BesideThisProgram("capture-server"); }

bool IsTmpfs(const char *folder)
{
    const long kTmpfsMagic = 0x01021994;
    struct statfs info {};
    return statfs(folder, &info) == 0 && static_cast<long>(info.f_type) == kTmpfsMagic;
}

bool UseTmpfsForTemporaryFolders()
{
    return IsTmpfs(kTmpfsFolder) && setenv("TMPDIR", kTmpfsFolder, 1) == 0;
}

std::string MakeTemporaryFolder(const char *prefix)
{
    std::error_code error;
    const std::filesystem::path base = std::filesystem::temp_directory_path(error);
    if (error)
        return "";
    return MakeFolderIn(base.string(), prefix);
}

void RemoveFolder(const std::string &folder)
{
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
}

std::string MakeFolderIn(const std::string &base, const char *prefix)
{
    std::string pattern = (std::filesystem::path(base) / (std::string(prefix) + "XXXXXX")).string();
    if (mkdtemp(&pattern[0]) == nullptr)
        return "";
    return pattern;
}

bool StartServer(const std::string &binary, const Variables &variables, BenchServer *server,
                 std::string *error)
{
    if (access(binary.c_str(), X_OK) != 0) {
        *error = "no server to run at " + binary + " (build capture-server, or pass --server)";
        return false;
    }
    server->lockFile = TakePortLock(error);
    if (server->lockFile < 0)
        return false;
    server->folder = MakeTemporaryFolder("capture-bench-");
    if (server->folder.empty()) {
        *error = "cannot make a temporary folder";
        ReleaseLock(server);
        return false;
    }
    server->consoleFile = server->folder + "/console.log";
    std::vector<std::string> entries = ServerEnvironment(variables);
    std::vector<char *> environment;
    for (std::string &entry : entries)
        environment.push_back(&entry[0]);
    environment.push_back(nullptr);
    const pid_t child = fork();
    if (child < 0) {
        *error = std::string("fork failed: ") + std::strerror(errno);
        RemoveFolder(server->folder);
        ReleaseLock(server);
        return false;
    }
    if (child == 0)
        ExecServer(binary.c_str(), server->folder.c_str(), server->consoleFile.c_str(),
                   environment.data());
    server->pid = child;
    return true;
}

bool ConnectAsClient(const BenchServer &server, ServerConnection *connection, std::string *error)
{
    const auto deadline = std::chrono::steady_clock::now() + kStartTimeout;
    for (;;) {
        const ConnectResult result = ConnectToServer(kServerPort, kConnectAttemptMs, connection);
        if (result.outcome == ConnectOutcome::Connected)
            return true;
        int status = 0;
        if (waitpid(server.pid, &status, WNOHANG) == server.pid) {
            *error = "the server ended before it listened:\n" + ConsoleTail(server);
            return false;
        }
        if (std::chrono::steady_clock::now() > deadline) {
            *error = "the server did not listen within 10 s:\n" + ConsoleTail(server);
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

int StopServer(BenchServer *server)
{
    int exitStatus = -1;
    const auto deadline = std::chrono::steady_clock::now() + kExitTimeout;
    for (;;) {
        int status = 0;
        const pid_t ended = waitpid(server->pid, &status, WNOHANG);
        if (ended == server->pid) {
            exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
            break;
        }
        if (ended < 0 && errno != EINTR)
            break;
        if (std::chrono::steady_clock::now() > deadline) {
            kill(server->pid, SIGKILL);
            waitpid(server->pid, &status, 0);
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    server->pid = -1;
    RemoveFolder(server->folder);
    ReleaseLock(server);
    return exitStatus;
}

std::string ConsoleTail(const BenchServer &server)
{
    std::ifstream console(server.consoleFile);
    std::vector<std::string> lines;
    std::string line;
    while (std::getline(console, line))
        lines.push_back(line);
    std::string tail;
    const size_t shown = 12;
    for (size_t index = lines.size() > shown ? lines.size() - shown : 0; index < lines.size();
         ++index)
        tail += "    " + lines[index] + "\n";
    return tail;
}

long ResidentKiB(pid_t pid)
{
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.compare(0, 6, "VmRSS:") == 0)
            return std::strtol(line.c_str() + 6, nullptr, 10);
    }
    return -1;
}

double ProcessorSeconds(pid_t pid)
{
    // The first field of each thread's schedstat is its time on a processor in nanoseconds.
    std::error_code error;
    const std::filesystem::path tasks = "/proc/" + std::to_string(pid) + "/task";
    double seconds = 0.0;
    bool found = false;
    for (const auto &task : std::filesystem::directory_iterator(tasks, error)) {
        std::ifstream schedstat(task.path() / "schedstat");
        unsigned long long nanoseconds = 0;
        if (schedstat >> nanoseconds) {
            seconds += static_cast<double>(nanoseconds) / 1e9;
            found = true;
        }
    }
    return found ? seconds : -1.0;
}
