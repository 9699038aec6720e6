// The Windows Sockets calls of the listening endpoint, as a table that tests can replace
// to make each call fail.
#ifndef CAPTURE_SOCKET_CALLS_H
#define CAPTURE_SOCKET_CALLS_H

#include "platform.h"

struct SocketCalls {
    int (*startup)(WORD versionRequested, WSADATA *data);
    int (*cleanup)();
    int (*lastError)();
    SOCKET (*open)(int family, int type, int protocol);
    void (*allowQuickRebind)(SOCKET socket);
    int (*bind)(SOCKET socket, const sockaddr *address, int addressLength);
    int (*listen)(SOCKET socket, int backlog);
    SOCKET (*accept)(SOCKET socket);
    int (*close)(SOCKET socket);
};

// The system's own calls.
const SocketCalls &SystemSocketCalls();

#endif
