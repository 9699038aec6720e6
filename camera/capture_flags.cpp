// The process-wide capture flags, shared by the main thread and the frame thread.
#include "camera.h"

static CaptureFlags captureFlags;

void ArmCapture(Slot slot)
{
    captureFlags.frameArrived = false;
    captureFlags.frameHandled = false;
    captureFlags.frameSaved = false;
    captureFlags.slotSelector = slot == Slot::One;
    // Last, so that the frame thread sees the slot and cleared flags once it can claim.
    captureFlags.captureArmed = true;
}

bool ClaimCapture() { return captureFlags.captureArmed.exchange(false); }

void RaiseFrameArrived() { captureFlags.frameArrived = true; }

void FinishCapture(bool saved)
{
    captureFlags.frameSaved = saved;
    captureFlags.frameHandled = true;
}

bool FrameArrived() { return captureFlags.frameArrived; }

bool FrameHandled() { return captureFlags.frameHandled; }

bool FrameSaved() { return captureFlags.frameSaved; }

bool SlotSelector() { return captureFlags.slotSelector; }
