// One capture on camera 0 (main thread).
#include "capture_sequence.h"

#include "platform.h"
#include "stopwatch.h"

#include <cstdio>

static const DWORD kPauseBeforeReplyMs = 10;

// Busy-waits for the frame thread, pumping this thread's window messages so that a camera
// library that delivers frames through them can do so. The flag is tested first.
static void PumpMessagesUntil(bool (*done)())
{
    MSG message{};
    while (!done()) {
        if (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }
}

CaptureOutcome RunCapture(const CameraHandles &handles, Slot slot)
{
    ArmCapture(slot);
    if (!StartAcquisition(handles))
        return CaptureOutcome::StartFailed;
    PumpMessagesUntil(FrameArrived);
    if (!StopAcquisition(handles))
        return CaptureOutcome::StopFailed;
    std::printf("tictoc:\n");
    StopwatchLap();
    Sleep(kPauseBeforeReplyMs);
    // The reply must not come before the file it announces.
    PumpMessagesUntil(FrameHandled);
    return FrameSaved() ? CaptureOutcome::Saved : CaptureOutcome::SaveFailed;
}
