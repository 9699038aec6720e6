// Process entry of the capture server: start-up in order, then the command loop.
#include "camera.h"
#include "capture_sequence.h"
#include "command_loop.h"
#include "listening_endpoint.h"
#include "platform.h"

#include <cstdio>
#include <cstdlib>

struct Session {
    SOCKET client;
    CameraHandles *camera;
};

static int ReceiveFromClient(void *context, char *buffer, int size)
{
    return static_cast<int>(recv(static_cast<Session *>(context)->client, buffer, size, 0));
}

static int LastSocketError(void *) { return WSAGetLastError(); }

static void SendToClient(void *context, const char *bytes, int size)
{
    send(static_cast<Session *>(context)->client, bytes, size, 0);
}

static CaptureOutcome CaptureOnCamera(void *context, Slot slot)
{
    return RunCapture(*static_cast<Session *>(context)->camera, slot);
}

static void CloseSessionCamera(void *context)
{
    CloseCamera(static_cast<Session *>(context)->camera);
}

int main()
{
    // Each line reaches a pipe or file as it is printed, from both threads.
    std::setvbuf(stdout, nullptr, _IONBF, 0);

    SOCKET listeningSocket = INVALID_SOCKET;
    const SocketCalls &socketCalls = SystemSocketCalls();
    if (!OpenListeningEndpoint(socketCalls, &listeningSocket))
        return EXIT_FAILURE;

    CameraHandles camera;
    OpenCamera(&camera);

    std::printf("Waiting for a client to connect...\n");
    std::printf("***Hint: Server is ready...run your client program...***\n");

    const char *streamFailure = OpenStream(&camera);
    if (streamFailure != nullptr)
        return FatalEnd(streamFailure);

    Session session{INVALID_SOCKET, &camera};
    if (!AcceptClient(socketCalls, listeningSocket, &session.client))
        return EXIT_FAILURE;

    const CommandLoopPorts ports{&session,     ReceiveFromClient, LastSocketError,
                                 SendToClient, CaptureOnCamera,   CloseSessionCamera};
    return RunCommandLoop(ports);
}
