// The command loop: one receive a pass, matched against the commands and acted on.
#ifndef CAPTURE_COMMAND_LOOP_H
#define CAPTURE_COMMAND_LOOP_H

#include "camera.h"

enum class CaptureOutcome { Saved, SaveFailed, StartFailed, StopFailed };

// What the loop needs from the world: the client connection and the camera. The server
// passes the client socket and camera 0; tests and fuzzing pass stand-ins.
struct CommandLoopPorts {
    void *context;
    // Up to size bytes into buffer: their count, 0 when the client closed, negative on error.
    int (*receive)(void *context, char *buffer, int size);
    // The error number of the last failed receive.
    int (*receiveError)(void *context);
    void (*send)(void *context, const char *bytes, int size);
    // One capture into slot, from arming to the saved file (or the failure).
    CaptureOutcome (*capture)(void *context, Slot slot);
    void (*closeCamera)(void *context);
};

// Main thread. Serves the client until it ends the session; returns the exit status.
int RunCommandLoop(const CommandLoopPorts &ports);

// Main thread. Prints text, waits for a key, and returns the exit status of a fatal end.
int FatalEnd(const char *text);

#endif
