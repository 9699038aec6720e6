// The command line of capture-client: the commands to send and how.
#ifndef CAPTURE_CLIENT_CLIENT_OPTIONS_H
#define CAPTURE_CLIENT_CLIENT_OPTIONS_H

#include "capture_client.h"

#include <cstdint>
#include <string>
#include <vector>

struct ClientOptions {
    std::vector<ClientCommand> commands; // sent in order, repeat times
    bool endAfterRepeats = false;        // End was given last: sent once, after the repeats
    int repeat = 1;
    bool summarize = false; // --repeat was given: print each command's summary
    int timeoutMs = 10000;
    uint16_t port = kServerPort;
};

enum class ParseOutcome { Run, Help, Version, UsageError };

struct ParsedOptions {
    ParseOutcome outcome;
    ClientOptions options; // when Run
    std::string error;     // when UsageError
};

// Reads the arguments after the program name.
ParsedOptions ParseClientOptions(int argc, const char *const *argv);

// Prints the text of --help on standard output.
void PrintClientUsage();

#endif
