// Parsing of capture-client's arguments, strict: every malformed value is a usage error.
#include "client_options.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

const long kMaxRepeat = 1000000;
const double kMaxTimeoutSeconds = 86400.0;

ParsedOptions UsageError(const std::string &error) { return {ParseOutcome::UsageError, {}, error}; }

// A whole decimal number from minimum to maximum; nothing before or after it.
bool ParseWhole(const char *text, long minimum, long maximum, long *value)
{
    if (*text < '0' || *text > '9')
        return false;
    errno = 0;
    char *end = nullptr;
    const long parsed = std::strtol(text, &end, 10);
    if (errno != 0 || *end != '\0' || parsed < minimum || parsed > maximum)
        return false;
    *value = parsed;
    return true;
}

// Seconds as a decimal number above 0, up to a day, as whole milliseconds (at least one).
bool ParseSeconds(const char *text, int *milliseconds)
{
    if ((*text < '0' || *text > '9') && *text != '.')
        return false;
    errno = 0;
    char *end = nullptr;
    const double seconds = std::strtod(text, &end);
    if (errno != 0 || *end != '\0' || !(seconds > 0.0 && seconds <= kMaxTimeoutSeconds))
        return false;
    *milliseconds = static_cast<int>(std::fmax(1.0, std::round(seconds * 1000.0)));
    return true;
}

} // namespace

ParsedOptions ParseClientOptions(int argc, const char *const *argv)
{
    ParsedOptions parsed{ParseOutcome::Run, {}, ""};
    ClientOptions &options = parsed.options;
    for (int index = 0; index < argc; ++index) {
        const char *argument = argv[index];
        if (std::strcmp(argument, "--help") == 0 || std::strcmp(argument, "-h") == 0)
            return {ParseOutcome::Help, {}, ""};
        if (std::strcmp(argument, "--version") == 0)
            return {ParseOutcome::Version, {}, ""};
        const bool takesValue = std::strcmp(argument, "--repeat") == 0 ||
                                std::strcmp(argument, "--timeout") == 0 ||
                                std::strcmp(argument, "--port") == 0;
        if (takesValue) {
            if (index + 1 == argc)
                return UsageError(std::string(argument) + " needs a value");
            const char *value = argv[++index];
            long whole = 0;
            if (std::strcmp(argument, "--repeat") == 0) {
                if (!ParseWhole(value, 1, kMaxRepeat, &whole))
                    return UsageError("--repeat takes a whole number from 1 to 1000000, not \"" +
                                      std::string(value) + "\"");
                options.repeat = static_cast<int>(whole);
                options.summarize = true;
            } else if (std::strcmp(argument, "--timeout") == 0) {
                if (!ParseSeconds(value, &options.timeoutMs))
                    return UsageError("--timeout takes seconds above 0, up to 86400, not \"" +
                                      std::string(value) + "\"");
            } else {
                if (!ParseWhole(value, 1, 65535, &whole))
                    return UsageError("--port takes a port from 1 to 65535, not \"" +
                                      std::string(value) + "\"");
                options.port = static_cast<uint16_t>(whole);
            }
            continue;
        }
        if (argument[0] == '-')
            return UsageError("unknown option \"" + std::string(argument) + "\"");
        ClientCommand command = ClientCommand::End;
        if (!ParseClientCommand(argument, &command))
            return UsageError("unknown command \"" + std::string(argument) +
                              "\": the server answers only Get1, Get2 and End");
        if (options.endAfterRepeats)
            return UsageError("End must be the last command: the server ends after it");
        if (command == ClientCommand::End)
            options.endAfterRepeats = true;
        else
            options.commands.push_back(command);
    }
    if (options.commands.empty() && !options.endAfterRepeats)
        return UsageError("no command given");
    return parsed;
}

void PrintClientUsage()
{
    std::printf(
        "Usage: capture-client [--repeat N] [--timeout SECONDS] [--port PORT] COMMAND...\n"
        "Sends each COMMAND to the capture server on %s:%u, waits for its reply before\n"
        "sending the next, and prints each reply with its round-trip time in milliseconds.\n"
        "\n"
        "Commands, spelt exactly so (the server is case-sensitive):\n"
        "  Get1   capture one new frame into 0001.tiff; the reply is Done, or Fail\n"
        "  Get2   capture one new frame into 0002.tiff; the reply is Done, or Fail\n"
        "  End    close the camera and end the server; the reply is Terminated\n"
        "Any other word is refused before anything is sent, as the server never answers it.\n"
        "End can only come last.\n"
        "\n"
        "Options:\n"
        "  --repeat N         send the commands N times over (End, if given, once after them)\n"
        "                     and print each command's count, minimum, median, 95th percentile\n"
        "                     and maximum round-trip time\n"
        "  --timeout SECONDS  the longest wait for the connection and for each reply (default 10)\n"
        "  --port PORT        connect to PORT instead of %u, e.g. a test server\n"
        "  --help             print this text\n"
        "  --version          print the version of the release\n"
        "\n"
        "Exit status: 0 when every reply was the expected one (Done, Terminated); 1 on a Fail\n"
        "reply, a timeout, a refused or lost connection or any other reply; 2 on a usage error.\n",
        kServerAddress, static_cast<unsigned>(kServerPort), static_cast<unsigned>(kServerPort));
}
