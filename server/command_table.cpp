// Matching of a received message against the command words.
#include "command_table.h"

#include <cstring>

struct CommandWord {
    const char *word;
    Command command;
};

static const CommandWord kCommandTable[] = {
    {"Get1", Command::Get1},
    {"Get2", Command::Get2},
    {"End", Command::End},
};

Command MatchCommand(const char *received, int length)
{
    for (const CommandWord &entry : kCommandTable) {
        const int wordLength = static_cast<int>(std::strlen(entry.word));
        if (length >= wordLength && std::strncmp(received, entry.word, wordLength) == 0)
            return entry.command;
    }
    return Command::Undefined;
}
