// The listening endpoint: Windows Sockets start-up, the socket on the protocol's address and
// port, and the wait for the one client.
#ifndef CAPTURE_LISTENING_ENDPOINT_H
#define CAPTURE_LISTENING_ENDPOINT_H

#include "platform.h"
#include "socket_calls.h"

// Starts Windows Sockets and opens the listening socket, printing each step. False after a
// failure before listening, which has undone its own steps; a failed listen is only printed.
bool OpenListeningEndpoint(const SocketCalls &calls, SOCKET *listeningSocket);

// Waits for a client and returns its socket. Retries at once when a pending connection
// was aborted or the wait interrupted; any other failure is printed and returns false.
bool AcceptClient(const SocketCalls &calls, SOCKET listeningSocket, SOCKET *clientSocket);

#endif
