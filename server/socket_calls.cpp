// The system's Windows Sockets calls behind the listening endpoint's table.
#include "socket_calls.h"

static const SocketCalls kSystemSocketCalls = {
    [](WORD versionRequested, WSADATA *data) { return WSAStartup(versionRequested, data); },
    [] { return WSACleanup(); },
    [] { return WSAGetLastError(); },
    [](int family, int type, int protocol) { return socket(family, type, protocol); },
    [](SOCKET socket) { AllowQuickRebind(socket); },
    [](SOCKET socket, const sockaddr *address, int addressLength) {
        return bind(socket, address, addressLength);
    },
    [](SOCKET socket, int backlog) { return listen(socket, backlog); },
    [](SOCKET socket) { return accept(socket, nullptr, nullptr); },
    [](SOCKET socket) { return closesocket(socket); },
};

const SocketCalls &SystemSocketCalls() { return kSystemSocketCalls; }
