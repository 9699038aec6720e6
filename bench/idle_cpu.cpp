// idle_cpu: the capture server's processor time while it waits, first for a client and then,
// connected, for a command, as a share of one core.
#include "bench_setting.h"
#include "capture_client.h"
#include "server_process.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

namespace {

const double kDefaultSeconds = 5.0;
// Lets start-up, or the accept, settle before the window opens.
const auto kSettle = std::chrono::milliseconds(300);

// The server's share of one core over seconds, in percent; negative when unreadable.
double BusyPercent(const BenchServer &server, double seconds)
{
    const double before = ProcessorSeconds(server.pid);
    const auto start = std::chrono::steady_clock::now();
    std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
    const double after = ProcessorSeconds(server.pid);
    const double elapsed =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (before < 0 || after < 0)
        return -1.0;
    return 100.0 * (after - before) / elapsed;
}

} // namespace

int main(int argc, char **argv)
{
    std::setvbuf(stdout, nullptr, _IONBF, 0);
    double seconds = kDefaultSeconds;
    std::string binary = ServerBesideThisProgram();
    for (int index = 1; index < argc; ++index) {
        const bool hasValue = index + 1 < argc;
        if (std::strcmp(argv[index], "--seconds") == 0 && hasValue) {
            char *end = nullptr;
            seconds = std::strtod(argv[++index], &end);
            if (*end != '\0' || !(seconds > 0.0 && seconds <= 3600.0)) {
                std::fprintf(stderr, "idle_cpu: --seconds takes 0 to 3600\n");
                return 2;
            }
        } else if (std::strcmp(argv[index], "--server") == 0 && hasValue) {
            binary = argv[++index];
        } else {
            std::fprintf(stderr, "Usage: idle_cpu [--seconds S] [--server PATH]\n");
            return 2;
        }
    }
    BenchSetting setting;
    std::string error;
    ParseBenchSetting("1280x1024:BayerRG8:30", &setting, &error);
    BenchServer server;
    if (!StartServer(binary, setting.variables, &server, &error)) {
        std::fprintf(stderr, "idle_cpu: %s\n", error.c_str());
        return 1;
    }
    std::this_thread::sleep_for(kSettle);
    const double beforeClient = BusyPercent(server, seconds);
    ServerConnection connection;
    if (!ConnectAsClient(server, &connection, &error)) {
        std::fprintf(stderr, "idle_cpu: %s\n", error.c_str());
        StopServer(&server);
        return 1;
    }
    std::this_thread::sleep_for(kSettle);
    const double beforeCommand = BusyPercent(server, seconds);
    const bool ended = SendCommand(connection, ClientCommand::End, 10000).outcome ==
                       ReplyOutcome::Terminated;
    Disconnect(&connection);
    const int status = StopServer(&server);
    if (beforeClient < 0 || beforeCommand < 0 || !ended || status != 0) {
        std::fprintf(stderr, "idle_cpu: the server could not be measured or did not end well\n");
        return 1;
    }
    std::printf("idle_cpu: capture-server with the default camera, %.1f s each\n", seconds);
    std::printf("  waiting for a client:   %.3f%% of one core\n", beforeClient);
    std::printf("  waiting for a command:  %.3f%% of one core\n", beforeCommand);
    return 0;
}
