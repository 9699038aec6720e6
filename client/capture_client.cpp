// Connecting to the capture server, and each command's exchange with a bounded wait.
#include "capture_client.h"

#include <algorithm>
#include <chrono>
#include <cstring>

namespace {

using Clock = std::chrono::steady_clock;

struct CommandInfo {
    ClientCommand command;
    const char *word;
};

const CommandInfo kCommands[] = {
    {ClientCommand::Get1, kGet1Command},
    {ClientCommand::Get2, kGet2Command},
    {ClientCommand::End, kEndCommand},
};

enum class Readiness { Ready, TimedOut, Failed };

Clock::time_point DeadlineAfter(int timeoutMs)
{
    return Clock::now() + std::chrono::milliseconds(std::max(timeoutMs, 0));
}

timeval TimevalOf(Clock::duration duration)
{
    const auto micros = std::chrono::duration_cast<std::chrono::microseconds>(duration).count();
    timeval value{};
    value.tv_sec = static_cast<long>(micros / 1000000);
    value.tv_usec = static_cast<long>(micros % 1000000);
    return value;
}

// Waits until the socket has bytes to read (or, for a connect under way, until the connect
// has ended either way) or the deadline passes. A failed connect shows as writable on POSIX
// and as an exception on Windows, so both are watched.
Readiness WaitUntilReady(SOCKET socket, bool connecting, Clock::time_point deadline)
{
    for (;;) {
        const Clock::duration remaining =
            std::max(deadline - Clock::now(), Clock::duration::zero());
        timeval wait = TimevalOf(remaining);
        fd_set ready;
        FD_ZERO(&ready);
        FD_SET(socket, &ready);
        fd_set failed;
        FD_ZERO(&failed);
        FD_SET(socket, &failed);
        const int count = select(static_cast<int>(socket) + 1, connecting ? nullptr : &ready,
                                 connecting ? &ready : nullptr, &failed, &wait);
        if (count > 0)
            return Readiness::Ready;
        if (count == 0)
            return Readiness::TimedOut;
        if (WSAGetLastError() != WSAEINTR)
            return Readiness::Failed;
    }
}

ConnectResult FailedConnect(int error)
{
    if (error == WSAECONNREFUSED)
        return {ConnectOutcome::Refused, error};
    return {ConnectOutcome::Failed, error};
}

bool SetNonBlocking(SOCKET socket, bool nonBlocking)
{
    unsigned long mode = nonBlocking ? 1 : 0;
    return ioctlsocket(socket, FIONBIO, &mode) != SOCKET_ERROR;
}

// A connect in non-blocking mode, so that a server whose queue is full (it serves one client
// and leaves the others waiting) cannot hold the caller past the deadline.
ConnectResult ConnectWithin(SOCKET socket, uint16_t port, int timeoutMs)
{
    const Clock::time_point deadline = DeadlineAfter(timeoutMs);
    if (!SetNonBlocking(socket, true))
        return FailedConnect(WSAGetLastError());
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = inet_addr(kServerAddress);
    if (connect(socket, reinterpret_cast<const sockaddr *>(&address),
                static_cast<int>(sizeof address)) == SOCKET_ERROR) {
        const int error = WSAGetLastError();
        if (error != WSAEWOULDBLOCK)
            return FailedConnect(error);
        const Readiness readiness = WaitUntilReady(socket, true, deadline);
        if (readiness == Readiness::TimedOut)
            return {ConnectOutcome::TimedOut, 0};
        if (readiness == Readiness::Failed)
            return FailedConnect(WSAGetLastError());
        int pending = 0;
        socklen_t length = sizeof pending;
        if (getsockopt(socket, SOL_SOCKET, SO_ERROR, reinterpret_cast<char *>(&pending), &length) ==
            SOCKET_ERROR)
            return FailedConnect(WSAGetLastError());
        if (pending != 0)
            return FailedConnect(pending);
    }
    if (!SetNonBlocking(socket, false))
        return FailedConnect(WSAGetLastError());
    return {ConnectOutcome::Connected, 0};
}

// True while received can still grow into a reply the protocol gives command.
bool CouldBecomeReply(ClientCommand command, const std::string &received)
{
    const auto startsWith = [&received](const char *reply) {
        return std::strncmp(reply, received.c_str(), received.size()) == 0 &&
               received.size() <= std::strlen(reply);
    };
    if (command == ClientCommand::End)
        return startsWith(kTerminatedReply);
    return startsWith(kDoneReply) || startsWith(kFailReply);
}

// A capture's two replies are of one length, so that one length is read for either.
static_assert(sizeof kDoneReply == sizeof kFailReply, "Done and Fail replies differ in length");

size_t ReplyLength(ClientCommand command)
{
    return command == ClientCommand::End ? sizeof kTerminatedReply - 1 : sizeof kDoneReply - 1;
}

ReplyOutcome OutcomeOfReply(const std::string &reply)
{
    if (reply == kDoneReply)
        return ReplyOutcome::Done;
    if (reply == kFailReply)
        return ReplyOutcome::Fail;
    if (reply == kTerminatedReply)
        return ReplyOutcome::Terminated;
    return ReplyOutcome::Unexpected;
}

// Receives the reply to command as it comes, never more bytes than it still lacks, so that
// nothing of a later reply is taken; stops at the first byte that fits no reply.
ReplyOutcome ReceiveReply(SOCKET socket, ClientCommand command, Clock::time_point deadline,
                          std::string *reply, int *error)
{
    const size_t length = ReplyLength(command);
    char buffer[sizeof kTerminatedReply];
    while (reply->size() < length) {
        const Readiness readiness = WaitUntilReady(socket, false, deadline);
        if (readiness == Readiness::TimedOut)
            return ReplyOutcome::TimedOut;
        if (readiness == Readiness::Failed) {
            *error = WSAGetLastError();
            return ReplyOutcome::SocketError;
        }
        const int received =
            static_cast<int>(recv(socket, buffer, static_cast<int>(length - reply->size()), 0));
        if (received == 0)
            return ReplyOutcome::ConnectionClosed;
        if (received < 0) {
            const int failure = WSAGetLastError();
            if (failure == WSAEINTR)
                continue;
            if (failure == WSAECONNRESET || failure == WSAECONNABORTED)
                return ReplyOutcome::ConnectionClosed;
            *error = failure;
            return ReplyOutcome::SocketError;
        }
        reply->append(buffer, static_cast<size_t>(received));
        if (!CouldBecomeReply(command, *reply))
            return ReplyOutcome::Unexpected;
    }
    return OutcomeOfReply(*reply);
}

double MillisecondsBetween(Clock::time_point start, Clock::time_point end)
{
    return std::chrono::duration<double, std::milli>(end - start).count();
}

} // namespace

bool ParseClientCommand(const char *word, ClientCommand *command)
{
    for (const CommandInfo &info : kCommands) {
        if (std::strcmp(word, info.word) == 0) {
            *command = info.command;
            return true;
        }
    }
    return false;
}

const char *CommandWord(ClientCommand command)
{
    for (const CommandInfo &info : kCommands) {
        if (info.command == command)
            return info.word;
    }
    return "";
}

ConnectResult ConnectToServer(uint16_t port, int timeoutMs, ServerConnection *connection)
{
    WSADATA data{};
    const int startup = WSAStartup(MAKEWORD(2, 2), &data);
    if (startup != 0)
        return {ConnectOutcome::Failed, startup};
    const SOCKET opened = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (opened == INVALID_SOCKET) {
        const int error = WSAGetLastError();
        WSACleanup();
        return {ConnectOutcome::Failed, error};
    }
    const ConnectResult result = ConnectWithin(opened, port, timeoutMs);
    if (result.outcome != ConnectOutcome::Connected) {
        closesocket(opened);
        WSACleanup();
        return result;
    }
    connection->socket = opened;
    return result;
}

void Disconnect(ServerConnection *connection)
{
    if (connection->socket == INVALID_SOCKET)
        return;
    closesocket(connection->socket);
    connection->socket = INVALID_SOCKET;
    WSACleanup();
}

CommandResult SendCommand(const ServerConnection &connection, ClientCommand command, int timeoutMs)
{
    CommandResult result{ReplyOutcome::SocketError, "", 0.0, 0};
    const char *word = CommandWord(command);
    const int length = static_cast<int>(std::strlen(word));
    const Clock::time_point sentAt = Clock::now();
    const Clock::time_point deadline = DeadlineAfter(timeoutMs);
    // One write: the server takes each receive as one command, so a split word would be
    // read as two unknown ones.
    const int sent = static_cast<int>(send(connection.socket, word, length, 0));
    if (sent != length) {
        result.error = sent < 0 ? WSAGetLastError() : 0;
        return result;
    }
    result.outcome =
        ReceiveReply(connection.socket, command, deadline, &result.reply, &result.error);
    result.roundTripMs = MillisecondsBetween(sentAt, Clock::now());
    return result;
}

bool IsExpectedReply(ClientCommand command, ReplyOutcome outcome)
{
    if (command == ClientCommand::End)
        return outcome == ReplyOutcome::Terminated;
    return outcome == ReplyOutcome::Done;
}
