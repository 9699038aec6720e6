// Fuzz target: the command loop fed arbitrary receives, closes, errors and capture outcomes.
#include "command_loop.h"
#include "protocol.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

// The input read as a script of events, one opcode byte each:
//   0: a receive of the next n bytes (n from the byte after, up to 63)
//   1: the client closes          2: the receive fails (errno from the next byte)
//   3: the next captures end with the outcome from the next byte
// The script's end is a close.
struct FuzzWorld {
    const uint8_t *data;
    size_t size;
    size_t at = 0;
    int lastError = 0;
    CaptureOutcome outcome = CaptureOutcome::Saved;
    size_t receives = 0;
    size_t replies = 0;
    int cameraCloses = 0;
};

FuzzWorld &World(void *context) { return *static_cast<FuzzWorld *>(context); }

bool NextByte(FuzzWorld &world, uint8_t *byte)
{
    if (world.at == world.size)
        return false;
    *byte = world.data[world.at++];
    return true;
}

int FuzzReceive(void *context, char *buffer, int size)
{
    FuzzWorld &world = World(context);
    if (size <= 0 || size > kReceiveSize)
        std::abort();
    for (;;) {
        uint8_t opcode = 0;
        uint8_t argument = 0;
        if (!NextByte(world, &opcode) || !NextByte(world, &argument))
            return 0;
        switch (opcode % 4) {
        case 0: {
            const size_t wanted = argument % 64;
            size_t count = wanted < world.size - world.at ? wanted : world.size - world.at;
            if (count > static_cast<size_t>(size))
                count = static_cast<size_t>(size);
            if (count == 0)
                continue;
            std::memcpy(buffer, world.data + world.at, count);
            world.at += count;
            world.receives++;
            return static_cast<int>(count);
        }
        case 1:
            return 0;
        case 2:
            world.lastError = argument;
            return -1;
        default:
            world.outcome = static_cast<CaptureOutcome>(argument % 4);
            continue;
        }
    }
}

int FuzzReceiveError(void *context) { return World(context).lastError; }

void FuzzSend(void *context, const char *bytes, int size)
{
    const std::string reply(bytes, static_cast<size_t>(size));
    if (reply != kDoneReply && reply != kFailReply && reply != kTerminatedReply)
        std::abort();
    World(context).replies++;
}

CaptureOutcome FuzzCapture(void *context, Slot) { return World(context).outcome; }

void FuzzCloseCamera(void *context) { World(context).cameraCloses++; }

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    // The loop's console lines are not checked here; the fatal end's key wait must not block.
    if (std::freopen("/dev/null", "w", stdout) == nullptr ||
        std::freopen("/dev/null", "r", stdin) == nullptr)
        std::abort();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzWorld world{data, size};
    const CommandLoopPorts ports{&world,   FuzzReceive, FuzzReceiveError,
                                 FuzzSend, FuzzCapture, FuzzCloseCamera};
    const int status = RunCommandLoop(ports);
    // At most one reply a receive, the camera closed at most once, and a known status.
    if (world.replies > world.receives || world.cameraCloses > 1 ||
        (status != EXIT_SUCCESS && status != EXIT_FAILURE))
        std::abort();
    return 0;
}
