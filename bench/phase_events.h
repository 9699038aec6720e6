// The steps of a capture that bench/phase_probe stamps inside the capture server, and their
// reading back into the phases of each capture.
#ifndef CAPTURE_BENCH_PHASE_EVENTS_H
#define CAPTURE_BENCH_PHASE_EVENTS_H

#include <cstdint>
#include <string>
#include <vector>

// As written to the log: the number, then the monotonic time in nanoseconds.
enum class PhaseEvent {
    Received,    // recv returned a command
    StartCalled, // AcquisitionStart sent to the camera
    StartReturned,
    FrameClaimed, // the frame callback began the save (J_Image_Malloc)
    Converted,    // J_Image_FromRawToImage returned
    FileInPlace,  // J_Image_SaveFile returned: the file is written and renamed
    StopCalled,   // AcquisitionStop
    StopReturned,
    PauseBegan, // the command thread's nanosleep
    PauseEnded,
    ReplySent, // send of the reply
};

// The monotonic times (ms) of one capture's steps, as the probe stamped them.
struct CaptureStamps {
    double received;
    double startCalled;
    double startReturned;
    double frameClaimed;
    double converted;
    double fileInPlace;
    double stopCalled;
    double stopReturned;
    double pauseBegan;
    double pauseEnded;
    double replySent;
};

// The captures in the probe's log at path, in order: each run of stamps from a received
// command that started the camera to its reply. False with *error set when the file cannot
// be read or a capture lacks a step.
bool ReadCaptureStamps(const std::string &path, std::vector<CaptureStamps> *captures,
                       std::string *error);

#endif
