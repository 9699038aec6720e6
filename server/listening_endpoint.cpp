// Windows Sockets start-up, the listening socket, and the accept of the one client.
#include "listening_endpoint.h"

#include "protocol.h"

#include <cstdio>

static const WORD kWinsockVersion = MAKEWORD(2, 2);
static const int kBacklog = 1;

static bool StartWinsock(const SocketCalls &calls)
{
    std::printf("Starting socket testing\n");
    WSADATA data{};
    if (calls.startup(kWinsockVersion, &data) != 0) {
        std::printf("\tThe Winsock dll not found!\n");
        return false;
    }
    std::printf("\tThe Winsock dll found!\n");
    std::printf("\tThe status: %s.\n", data.szSystemStatus);
    if (LOBYTE(data.wVersion) != 2 || HIBYTE(data.wVersion) != 2) {
        std::printf("\tThe dll do not support the Winsock version %u.%u!\n",
                    static_cast<unsigned>(LOBYTE(data.wVersion)),
                    static_cast<unsigned>(HIBYTE(data.wVersion)));
        calls.cleanup();
        return false;
    }
    std::printf("\tThe dll supports the Winsock version %u.%u!\n", 2u, 2u);
    std::printf("\tThe highest version this dll can support: %u.%u\n",
                static_cast<unsigned>(LOBYTE(data.wHighVersion)),
                static_cast<unsigned>(HIBYTE(data.wHighVersion)));
    return true;
}

bool OpenListeningEndpoint(const SocketCalls &calls, SOCKET *listeningSocket)
{
    if (!StartWinsock(calls))
        return false;

    std::printf("Socket setup\n");
    const SOCKET endpoint = calls.open(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (endpoint == INVALID_SOCKET) {
        std::printf("\tError at socket(): %ld\n", static_cast<long>(calls.lastError()));
        calls.cleanup();
        return false;
    }
    std::printf("\tSocket is OK!\n");

    std::printf("Bind\n");
    // A restart right after the last run must not fail on its lingering connections.
    calls.allowQuickRebind(endpoint);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(kServerPort);
    address.sin_addr.s_addr = inet_addr(kServerAddress);
    if (calls.bind(endpoint, reinterpret_cast<const sockaddr *>(&address),
                   static_cast<int>(sizeof address)) == SOCKET_ERROR) {
        std::printf("\tbind() failed: %ld.\n", static_cast<long>(calls.lastError()));
        calls.close(endpoint);
        return false;
    }
    std::printf("\tbind is OK!\n");

    std::printf("Listen\n");
    if (calls.listen(endpoint, kBacklog) == SOCKET_ERROR)
        std::printf("\tlisten(): Error listening on socket %ld.\n",
                    static_cast<long>(calls.lastError()));
    else
        std::printf("\tWaiting for connections...\n");
    *listeningSocket = endpoint;
    return true;
}

// Errors after which the next accept can succeed: the pending connection went away, or a
// signal interrupted the wait.
static bool IsPassingAcceptError(int error)
{
    return error == WSAECONNABORTED || error == WSAECONNRESET || error == WSAEINTR;
}

bool AcceptClient(const SocketCalls &calls, SOCKET listeningSocket, SOCKET *clientSocket)
{
    for (;;) {
        const SOCKET client = calls.accept(listeningSocket);
        if (client != INVALID_SOCKET) {
            *clientSocket = client;
            return true;
        }
        const int error = calls.lastError();
        if (!IsPassingAcceptError(error)) {
            std::printf("\taccept() failed: %ld.\n", static_cast<long>(error));
            return false;
        }
    }
}
