// The client library against a fake server: connecting, one command, and its reply.
#include "capture_client.h"
#include "fake_server.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

const int kTimeoutMs = 2000;

// Connects to server and sends command; the connection is closed again.
CommandResult Exchange(FakeServer &server, ClientCommand command, int timeoutMs = kTimeoutMs)
{
    ServerConnection connection;
    EXPECT_EQ(ConnectToServer(server.Port(), kTimeoutMs, &connection).outcome,
              ConnectOutcome::Connected);
    const CommandResult result = SendCommand(connection, command, timeoutMs);
    Disconnect(&connection);
    return result;
}

Answer Reply(const std::string &bytes) { return Answer{{bytes}, 0, false}; }

} // namespace

TEST(ClientCommands, OnlyTheExactWordsAreCommands)
{
    ClientCommand command = ClientCommand::End;
    ASSERT_TRUE(ParseClientCommand("Get2", &command));
    EXPECT_EQ(command, ClientCommand::Get2);
    for (const char *word : {"get1", "GET1", "Get1\n", "Get", "Get3", "Ending", "End ", ""})
        EXPECT_FALSE(ParseClientCommand(word, &command)) << word;
}

TEST(ClientExchange, EachReplyOfTheProtocolIsRecognised)
{
    FakeServer done([](const std::string &) { return Reply("Done\n"); });
    const CommandResult captured = Exchange(done, ClientCommand::Get1);
    EXPECT_EQ(captured.outcome, ReplyOutcome::Done);
    EXPECT_EQ(captured.reply, "Done\n");
    EXPECT_GT(captured.roundTripMs, 0.0);
    EXPECT_EQ(done.Received(), std::vector<std::string>{"Get1"}) << "no terminator, one write";

    FakeServer fail([](const std::string &) { return Reply("Fail\n"); });
    EXPECT_EQ(Exchange(fail, ClientCommand::Get2).outcome, ReplyOutcome::Fail);

    FakeServer terminated(LikeTheServer);
    EXPECT_EQ(Exchange(terminated, ClientCommand::End).outcome, ReplyOutcome::Terminated);
    EXPECT_EQ(terminated.Received(), std::vector<std::string>{"End"});
}

TEST(ClientExchange, AReplyInPiecesIsReadWhole)
{
    FakeServer server([](const std::string &) { return Answer{{"Te", "rmin", "ated\n"}, 30}; });
    const CommandResult result = Exchange(server, ClientCommand::End);
    EXPECT_EQ(result.outcome, ReplyOutcome::Terminated);
    EXPECT_EQ(result.reply, "Terminated\n");
}

TEST(ClientExchange, AReplyThatDoesNotBelongToTheCommandIsUnexpected)
{
    // Known at the first byte that fits no reply: no wait for the timeout.
    FakeServer stray([](const std::string &) { return Reply("X"); });
    const CommandResult toCapture = Exchange(stray, ClientCommand::Get1, 60000);
    EXPECT_EQ(toCapture.outcome, ReplyOutcome::Unexpected);
    EXPECT_EQ(toCapture.reply, "X");

    FakeServer terminated([](const std::string &) { return Reply("Terminated\n"); });
    EXPECT_EQ(Exchange(terminated, ClientCommand::Get1).outcome, ReplyOutcome::Unexpected);

    FakeServer done([](const std::string &) { return Reply("Done\n"); });
    EXPECT_EQ(Exchange(done, ClientCommand::End).outcome, ReplyOutcome::Unexpected);

    FakeServer lower([](const std::string &) { return Reply("done\n"); });
    EXPECT_EQ(Exchange(lower, ClientCommand::Get1).outcome, ReplyOutcome::Unexpected);
}

TEST(ClientExchange, NoMoreThanTheReplyIsTaken)
{
    // Two replies in one segment: the second stays for the next command.
    FakeServer server([](const std::string &) { return Reply("Fail\nDone\n"); });
    ServerConnection connection;
    ASSERT_EQ(ConnectToServer(server.Port(), kTimeoutMs, &connection).outcome,
              ConnectOutcome::Connected);
    EXPECT_EQ(SendCommand(connection, ClientCommand::Get1, kTimeoutMs).reply, "Fail\n");
    EXPECT_EQ(SendCommand(connection, ClientCommand::Get2, kTimeoutMs).reply, "Done\n");
    Disconnect(&connection);
}

TEST(ClientExchange, AMissingReplyTimesOut)
{
    FakeServer silent([](const std::string &) { return Answer{}; });
    const CommandResult result = Exchange(silent, ClientCommand::Get1, 200);
    EXPECT_EQ(result.outcome, ReplyOutcome::TimedOut);

    FakeServer halfReply([](const std::string &) { return Reply("Do"); });
    EXPECT_EQ(Exchange(halfReply, ClientCommand::Get1, 200).outcome, ReplyOutcome::TimedOut);
}

TEST(ClientExchange, AConnectionClosedBeforeTheWholeReplyIsReported)
{
    FakeServer closing([](const std::string &) { return Answer{{}, 0, true}; });
    EXPECT_EQ(Exchange(closing, ClientCommand::Get1).outcome, ReplyOutcome::ConnectionClosed);

    FakeServer halfReply([](const std::string &) { return Answer{{"Do"}, 0, true}; });
    const CommandResult result = Exchange(halfReply, ClientCommand::Get2);
    EXPECT_EQ(result.outcome, ReplyOutcome::ConnectionClosed);
    EXPECT_EQ(result.reply, "Do");
}

TEST(ClientConnect, APortWithoutServerIsRefused)
{
    ServerConnection connection;
    EXPECT_EQ(ConnectToServer(UnusedPort(), kTimeoutMs, &connection).outcome,
              ConnectOutcome::Refused);
    EXPECT_EQ(connection.socket, INVALID_SOCKET);
}

TEST(ClientConnect, AServerThatNeverAcceptsCannotHoldTheConnectPastItsTimeout)
{
    // A listener that never accepts: once its queue is full, further connects get no answer
    // (Linux drops them; other systems may refuse them).
    std::vector<ServerConnection> queued(8);
    WSADATA data{};
    WSAStartup(MAKEWORD(2, 2), &data);
    uint16_t port = 0;
    const SOCKET listener = BindEphemeralLoopback(&port);
    ASSERT_NE(listener, INVALID_SOCKET);
    ASSERT_EQ(listen(listener, 0), 0);
    ConnectOutcome last = ConnectOutcome::Connected;
    for (ServerConnection &connection : queued) {
        last = ConnectToServer(port, 300, &connection).outcome;
        if (last != ConnectOutcome::Connected)
            break;
    }
    EXPECT_TRUE(last == ConnectOutcome::TimedOut || last == ConnectOutcome::Refused);
    for (ServerConnection &connection : queued)
        Disconnect(&connection);
    closesocket(listener);
    WSACleanup();
}
