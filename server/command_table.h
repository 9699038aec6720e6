// The commands of the protocol and how a received message is matched against them.
#ifndef CAPTURE_COMMAND_TABLE_H
#define CAPTURE_COMMAND_TABLE_H

enum class Command { Get1, Get2, End, Undefined };

// Matches the first bytes of one receive, case-sensitive, in the order Get1, Get2, End.
// Only the length bytes that this receive delivered count.
Command MatchCommand(const char *received, int length);

#endif
