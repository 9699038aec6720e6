// The listening endpoint's steps, with socket calls that fail on request.
#include "listening_endpoint.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// What the fake calls do and what they saw; one test at a time uses it.
struct FakeSockets {
    int startupResult = 0;
    WORD grantedVersion = MAKEWORD(2, 2);
    bool socketFails = false;
    bool bindFails = false;
    bool listenFails = false;
    std::vector<int> acceptErrors; // errors of the accepts before the one that succeeds
    int error = 0;
    int cleanups = 0;
    std::vector<SOCKET> closed;
    int accepts = 0;
};

FakeSockets fake;

const SOCKET kListening = 7;
const SOCKET kClient = 8;

const SocketCalls kFakeCalls = {
    [](WORD, WSADATA *data) {
        data->wVersion = fake.grantedVersion;
        data->wHighVersion = MAKEWORD(2, 2);
        std::snprintf(data->szSystemStatus, sizeof data->szSystemStatus, "Running");
        return fake.startupResult;
    },
    [] { return ++fake.cleanups, 0; },
    [] { return fake.error; },
    [](int, int, int) {
        fake.error = 24;
        return fake.socketFails ? SOCKET(INVALID_SOCKET) : kListening;
    },
    [](SOCKET) {},
    [](SOCKET, const sockaddr *address, int length) {
        const sockaddr_in *ipv4 = reinterpret_cast<const sockaddr_in *>(address);
        EXPECT_EQ(length, 16);
        EXPECT_EQ(ntohs(ipv4->sin_port), 55555);
        EXPECT_EQ(ntohl(ipv4->sin_addr.s_addr), 0x7f000001u);
        fake.error = 98;
        return fake.bindFails ? SOCKET_ERROR : 0;
    },
    [](SOCKET, int backlog) {
        EXPECT_EQ(backlog, 1);
        fake.error = 22;
        return fake.listenFails ? SOCKET_ERROR : 0;
    },
    [](SOCKET) {
        const size_t attempt = static_cast<size_t>(fake.accepts++);
        if (attempt < fake.acceptErrors.size()) {
            fake.error = fake.acceptErrors[attempt];
            return SOCKET(INVALID_SOCKET);
        }
        return kClient;
    },
    [](SOCKET socket) { return fake.closed.push_back(socket), 0; },
};

struct Opened {
    bool ok;
    std::string console;
};

Opened Open()
{
    SOCKET listening = INVALID_SOCKET;
    testing::internal::CaptureStdout();
    const bool ok = OpenListeningEndpoint(kFakeCalls, &listening);
    const std::string console = testing::internal::GetCapturedStdout();
    if (ok) {
        EXPECT_EQ(listening, kListening);
    }
    return {ok, console};
}

const char kWinsockLines[] = "Starting socket testing\n"
                             "\tThe Winsock dll found!\n"
                             "\tThe status: Running.\n"
                             "\tThe dll supports the Winsock version 2.2!\n"
                             "\tThe highest version this dll can support: 2.2\n";

class ListeningEndpoint : public testing::Test {
  protected:
    void SetUp() override { fake = FakeSockets{}; }
};

} // namespace

TEST_F(ListeningEndpoint, PrintsEveryStepWhenAllSucceed)
{
    const Opened opened = Open();
    EXPECT_TRUE(opened.ok);
    EXPECT_EQ(opened.console, std::string(kWinsockLines) + "Socket setup\n\tSocket is OK!\n"
                                                           "Bind\n\tbind is OK!\n"
                                                           "Listen\n\tWaiting for connections...\n");
    EXPECT_EQ(fake.cleanups, 0);
    EXPECT_TRUE(fake.closed.empty());
}

TEST_F(ListeningEndpoint, MissingWinsockEndsWithoutCleanup)
{
    fake.startupResult = 10091;
    const Opened opened = Open();
    EXPECT_FALSE(opened.ok);
    EXPECT_EQ(opened.console, "Starting socket testing\n\tThe Winsock dll not found!\n");
    EXPECT_EQ(fake.cleanups, 0);
}

TEST_F(ListeningEndpoint, OtherGrantedVersionIsRefused)
{
    fake.grantedVersion = MAKEWORD(1, 1);
    const Opened opened = Open();
    EXPECT_FALSE(opened.ok);
    EXPECT_EQ(opened.console, "Starting socket testing\n\tThe Winsock dll found!\n"
                              "\tThe status: Running.\n"
                              "\tThe dll do not support the Winsock version 1.1!\n");
    EXPECT_EQ(fake.cleanups, 1);
    fake.grantedVersion = MAKEWORD(2, 1);
    EXPECT_NE(Open().console.find("version 2.1!\n"), std::string::npos);
}

TEST_F(ListeningEndpoint, SocketFailureCleansUp)
{
    fake.socketFails = true;
    const Opened opened = Open();
    EXPECT_FALSE(opened.ok);
    EXPECT_EQ(opened.console, std::string(kWinsockLines) + "Socket setup\n\tError at socket(): 24\n");
    EXPECT_EQ(fake.cleanups, 1);
}

TEST_F(ListeningEndpoint, BindFailureClosesTheSocket)
{
    fake.bindFails = true;
    const Opened opened = Open();
    EXPECT_FALSE(opened.ok);
    EXPECT_EQ(opened.console, std::string(kWinsockLines) + "Socket setup\n\tSocket is OK!\n"
                                                           "Bind\n\tbind() failed: 98.\n");
    EXPECT_EQ(fake.closed, std::vector<SOCKET>{kListening});
}

TEST_F(ListeningEndpoint, ListenFailureIsOnlyReported)
{
    fake.listenFails = true;
    const Opened opened = Open();
    EXPECT_TRUE(opened.ok);
    EXPECT_NE(opened.console.find("Listen\n\tlisten(): Error listening on socket 22.\n"),
              std::string::npos);
}

TEST_F(ListeningEndpoint, AcceptRetriesOnlyAbortedOrInterruptedConnections)
{
    fake.acceptErrors = {WSAECONNABORTED, WSAEINTR, WSAECONNRESET};
    SOCKET client = INVALID_SOCKET;
    testing::internal::CaptureStdout();
    EXPECT_TRUE(AcceptClient(kFakeCalls, kListening, &client));
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(client, kClient);
    EXPECT_EQ(fake.accepts, 4);
}

// After a failed listen every accept fails the same way: the wait must not spin for ever.
TEST_F(ListeningEndpoint, AcceptGivesUpOnOtherErrors)
{
    fake.acceptErrors = {WSAEINTR, 22, 22};
    SOCKET client = INVALID_SOCKET;
    testing::internal::CaptureStdout();
    EXPECT_FALSE(AcceptClient(kFakeCalls, kListening, &client));
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "\taccept() failed: 22.\n");
    EXPECT_EQ(fake.accepts, 2);
}
