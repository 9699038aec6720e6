// The client side of the capture server's protocol: connect, send one command, read its reply.
#ifndef CAPTURE_CLIENT_CAPTURE_CLIENT_H
#define CAPTURE_CLIENT_CAPTURE_CLIENT_H

#include "platform.h"
#include "protocol.h"

#include <cstdint>
#include <string>

enum class ClientCommand { Get1, Get2, End };

// The command named by word, exactly as the protocol spells it.
// False for any other word, which the server would not answer.
bool ParseClientCommand(const char *word, ClientCommand *command);

// The word sent for command.
const char *CommandWord(ClientCommand command);

enum class ConnectOutcome { Connected, Refused, TimedOut, Failed };

struct ServerConnection {
    SOCKET socket = INVALID_SOCKET;
};

struct ConnectResult {
    ConnectOutcome outcome;
    int error; // the system's error number when Failed
};

// Connects to the server's address at port, waiting at most timeoutMs for the connection to be
// made.
ConnectResult ConnectToServer(uint16_t port, int timeoutMs, ServerConnection *connection);

// Closes the connection; a closed one is left as it is.
void Disconnect(ServerConnection *connection);

enum class ReplyOutcome {
    Done,             // "Done\n": the capture's file is in place
    Fail,             // "Fail\n": the capture's frame could not be saved
    Terminated,       // "Terminated\n": the server ends
    Unexpected,       // other bytes, or a reply that does not belong to the command
    ConnectionClosed, // the server closed the connection before the whole reply came
    TimedOut,         // the whole reply did not come within the time allowed
    SocketError,      // the send or the receive failed
};

struct CommandResult {
    ReplyOutcome outcome;
    std::string reply;  // the bytes received for this command
    double roundTripMs; // from the send to the last byte of the reply
    int error;          // the system's error number after SocketError
};

// Sends command in one write, then reads the reply that the protocol gives it ("Done\n" or
// "Fail\n" for a capture, "Terminated\n" for End), waiting at most timeoutMs for all of it.
CommandResult SendCommand(const ServerConnection &connection, ClientCommand command, int timeoutMs);

// True for the reply that means the command did what it was sent for.
bool IsExpectedReply(ClientCommand command, ReplyOutcome outcome);

#endif
