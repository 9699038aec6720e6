// The command loop and the fatal end.
#include "command_loop.h"

#include "command_table.h"
#include "platform.h"
#include "protocol.h"
#include "stopwatch.h"

#include <cstdio>
#include <cstdlib>

int FatalEnd(const char *text)
{
    std::printf("%s", text);
    SystemPause();
    return EXIT_FAILURE;
}

static void Reply(const CommandLoopPorts &ports, const char *reply, int size)
{
    ports.send(ports.context, reply, size);
}

// Captures into slot and answers. True when the loop goes on; otherwise the capture ended
// the program and *exitStatus holds its status.
static bool ServeCapture(const CommandLoopPorts &ports, Slot slot, int *exitStatus)
{
    const CaptureOutcome outcome = ports.capture(ports.context, slot);
    if (outcome == CaptureOutcome::StartFailed) {
        *exitStatus = FatalEnd("fail:Capturage start\n");
        return false;
    }
    if (outcome == CaptureOutcome::StopFailed) {
        *exitStatus = FatalEnd("fail:Capturage stop\n");
        return false;
    }
    if (outcome == CaptureOutcome::Saved)
        Reply(ports, kDoneReply, sizeof kDoneReply - 1);
    else
        Reply(ports, kFailReply, sizeof kFailReply - 1);
    std::printf(slot == Slot::One ? "imgSeq1:%d\n" : "imgSeq2:%d\n", slot == Slot::One ? 1 : 0);
    return true;
}

int RunCommandLoop(const CommandLoopPorts &ports)
{
    // Room for a terminator after every receive; nothing past the received bytes is read.
    char commandBuffer[kCommandBufferSize] = {};
    for (;;) {
        StopwatchStart();
        const int received = ports.receive(ports.context, commandBuffer, kReceiveSize);
        if (received == 0) {
            std::printf("\tClient disconnected\n");
            ports.closeCamera(ports.context);
            return EXIT_SUCCESS;
        }
        if (received < 0) {
            std::printf("\trecv() failed: %ld.\n",
                        static_cast<long>(ports.receiveError(ports.context)));
            ports.closeCamera(ports.context);
            return EXIT_FAILURE;
        }
        int exitStatus = EXIT_SUCCESS;
        switch (MatchCommand(commandBuffer, received)) {
        case Command::Get1:
            if (!ServeCapture(ports, Slot::One, &exitStatus))
                return exitStatus;
            break;
        case Command::Get2:
            if (!ServeCapture(ports, Slot::Two, &exitStatus))
                return exitStatus;
            break;
        case Command::End:
            std::printf("\tRecived end command\n");
            Reply(ports, kTerminatedReply, sizeof kTerminatedReply - 1);
            ports.closeCamera(ports.context);
            return EXIT_SUCCESS;
        case Command::Undefined:
            std::printf("\tRecived undifined command\n");
            break;
        }
    }
}
