// Matching of a received message against the command words.
#include "command_table.h"

#include "protocol.h"

#include <cstring>

struct CommandWord {
    const char *word;
    Command command;
};

static const CommandWord kCommandTable[] = {
    {kGet1Command, Command::Get1},
    {kGet2Command, Command::Get2},
    {kEndCommand, Command::End},
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
