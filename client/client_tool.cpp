// The run of capture-client: connect, send each command in turn, report, summarize.
#include "client_tool.h"

#include "capture_client.h"
#include "client_options.h"
#include "latency_summary.h"

#include <cstdio>
#include <string>
#include <vector>

namespace {

const int kExitOk = 0;
const int kExitFailed = 1;
const int kExitUsage = 2;

// Bytes as a quoted C string literal, so that any reply prints on one line.
std::string Quoted(const std::string &bytes)
{
    std::string text = "\"";
    for (const unsigned char byte : bytes) {
        if (byte == '\n') {
            text += "\\n";
        } else if (byte == '\r') {
            text += "\\r";
        } else if (byte == '"' || byte == '\\') {
            text += '\\';
            text += static_cast<char>(byte);
        } else if (byte < 0x20 || byte > 0x7e) {
            char escaped[5];
            std::snprintf(escaped, sizeof escaped, "\\x%02x", byte);
            text += escaped;
        } else {
            text += static_cast<char>(byte);
        }
    }
    return text + "\"";
}

const char *SlotFile(ClientCommand command)
{
    return command == ClientCommand::Get1 ? "0001.tiff" : "0002.tiff";
}

bool Connect(const ClientOptions &options, ServerConnection *connection)
{
    const ConnectResult result = ConnectToServer(options.port, options.timeoutMs, connection);
    if (result.outcome == ConnectOutcome::Connected)
        return true;
    std::fprintf(stderr, "capture-client: cannot connect to %s:%u: ", kServerAddress,
                 static_cast<unsigned>(options.port));
    if (result.outcome == ConnectOutcome::Refused)
        std::fprintf(stderr, "connection refused (is capture-server running?)\n");
    else if (result.outcome == ConnectOutcome::TimedOut)
        std::fprintf(stderr, "no answer within %g s\n", options.timeoutMs / 1000.0);
    else
        std::fprintf(stderr, "error %d\n", result.error);
    return false;
}

// Prints the reply line, or on stderr why there is none; true for the expected reply.
bool Report(ClientCommand command, const CommandResult &result, int timeoutMs)
{
    const char *word = CommandWord(command);
    switch (result.outcome) {
    case ReplyOutcome::Done:
    case ReplyOutcome::Fail:
    case ReplyOutcome::Terminated:
        std::printf("%s: %.*s (%.2f ms)\n", word, static_cast<int>(result.reply.size() - 1),
                    result.reply.c_str(), result.roundTripMs);
        break;
    case ReplyOutcome::Unexpected:
        std::fprintf(stderr, "capture-client: unexpected reply to %s: %s\n", word,
                     Quoted(result.reply).c_str());
        return false;
    case ReplyOutcome::ConnectionClosed:
        std::fprintf(stderr,
                     "capture-client: the server closed the connection before its reply "
                     "to %s\n",
                     word);
        return false;
    case ReplyOutcome::TimedOut:
        std::fprintf(stderr,
                     "capture-client: no reply to %s within %g s (the server serves only the "
                     "client that connected first: is another one connected?)\n",
                     word, timeoutMs / 1000.0);
        return false;
    case ReplyOutcome::SocketError:
        std::fprintf(stderr, "capture-client: sending %s or receiving its reply failed: error %d\n",
                     word, result.error);
        return false;
    }
    if (result.outcome == ReplyOutcome::Fail)
        std::fprintf(stderr, "capture-client: the server could not save %s (it answered Fail)\n",
                     SlotFile(command));
    return IsExpectedReply(command, result.outcome);
}

// The round-trip times of one command word's expected replies.
struct CommandTimes {
    ClientCommand command;
    std::vector<double> roundTripsMs;
};

void Record(std::vector<CommandTimes> *times, ClientCommand command, double roundTripMs)
{
    for (CommandTimes &entry : *times) {
        if (entry.command == command) {
            entry.roundTripsMs.push_back(roundTripMs);
            return;
        }
    }
    times->push_back(CommandTimes{command, {roundTripMs}});
}

void PrintSummaries(const std::vector<CommandTimes> &times)
{
    for (const CommandTimes &entry : times) {
        const LatencySummary summary = SummarizeLatencies(entry.roundTripsMs);
        std::printf("%s: count %lu, min %.2f ms, median %.2f ms, p95 %.2f ms, max %.2f ms\n",
                    CommandWord(entry.command), static_cast<unsigned long>(summary.count),
                    summary.minimum, summary.median, summary.p95, summary.maximum);
    }
}

// Sends command and reports it; true when its reply was the expected one.
bool Exchange(const ServerConnection &connection, ClientCommand command, int timeoutMs,
              double *roundTripMs)
{
    const CommandResult result = SendCommand(connection, command, timeoutMs);
    *roundTripMs = result.roundTripMs;
    return Report(command, result, timeoutMs);
}

// Every repetition, then End; stops at the first reply that is not the expected one. Only
// the repeated commands are summarized.
bool SendAll(const ServerConnection &connection, const ClientOptions &options,
             std::vector<CommandTimes> *times)
{
    double roundTripMs = 0.0;
    for (int round = 0; round < options.repeat; ++round) {
        for (const ClientCommand command : options.commands) {
            if (!Exchange(connection, command, options.timeoutMs, &roundTripMs))
                return false;
            Record(times, command, roundTripMs);
        }
    }
    if (!options.endAfterRepeats)
        return true;
    return Exchange(connection, ClientCommand::End, options.timeoutMs, &roundTripMs);
}

} // namespace

int RunClientTool(int argc, const char *const *argv)
{
    const ParsedOptions parsed = ParseClientOptions(argc, argv);
    if (parsed.outcome == ParseOutcome::Help) {
        PrintClientUsage();
        return kExitOk;
    }
    if (parsed.outcome == ParseOutcome::Version) {
        std::printf("capture-client %s\n", CAPTURE_VERSION);
        return kExitOk;
    }
    if (parsed.outcome == ParseOutcome::UsageError) {
        std::fprintf(stderr, "capture-client: %s\nTry 'capture-client --help'.\n",
                     parsed.error.c_str());
        return kExitUsage;
    }
    const ClientOptions &options = parsed.options;
    ServerConnection connection;
    if (!Connect(options, &connection))
        return kExitFailed;
    std::vector<CommandTimes> times;
    const bool allExpected = SendAll(connection, options, &times);
    Disconnect(&connection);
    if (options.summarize)
        PrintSummaries(times);
    return allExpected ? kExitOk : kExitFailed;
}
