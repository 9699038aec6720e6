// Camera control: the camera handles, the capture flags, and the operations that open,
// drive and close camera 0 of the camera library and save its frames.
//
// Threads: everything here runs on the main thread, except FrameCallback and SaveFrame,
// which run on the camera library's frame thread. The two threads share only CaptureFlags.
#ifndef CAPTURE_CAMERA_H
#define CAPTURE_CAMERA_H

#include <Jai_Factory.h>

#include <atomic>
#include <cstdint>

struct CameraHandles {
    FACTORY_HANDLE factory = nullptr;
    CAM_HANDLE camera = nullptr;
    STREAM_HANDLE stream = nullptr;
    char cameraId[512] = {};
};

// One capture: the main thread arms it, the frame thread claims the first frame after that,
// saves it and reports back. Only the thread that claimed the frame writes its outcome.
struct CaptureFlags {
    std::atomic<bool> slotSelector{false}; // true: slot 1 ("0001.tiff"), false: slot 2
    std::atomic<bool> frameArrived{false}; // the capture's frame has reached the callback
    std::atomic<bool> captureArmed{false}; // a capture waits for its frame
    std::atomic<bool> frameHandled{false}; // the capture's frame is saved, or its save failed
    std::atomic<bool> frameSaved{false};   // outcome of that save, valid once frameHandled
};

enum class Slot { One, Two };

// Main thread. Camera start-up: opens the factory and camera 0, printing each step; failures
// are only reported and leave the handles as far as they got.
void OpenCamera(CameraHandles *handles);

// Main thread. Opens the stream of the camera with a buffer sized for its width and height.
// Returns nullptr on success, else the text of the failed step: "width\n", "height\n" or
// "open stream\n".
const char *OpenStream(CameraHandles *handles);

// Main thread. Closes stream, camera and factory, printing the two closing lines.
void CloseCamera(CameraHandles *handles);

// Main thread. Acquisition commands; true when the camera accepted them.
bool StartAcquisition(const CameraHandles &handles);
bool StopAcquisition(const CameraHandles &handles);

// Main thread. Prepares the capture of one frame into slot.
void ArmCapture(Slot slot);

// Frame thread. True for the first frame after ArmCapture, and for that frame only.
bool ClaimCapture();
// Frame thread. Releases the main thread's wait for the frame.
void RaiseFrameArrived();
// Frame thread. Records the outcome of the claimed frame's save, then marks it handled.
void FinishCapture(bool saved);

// Any thread. Readings of the capture flags.
bool FrameArrived();
bool FrameHandled();
bool FrameSaved();
bool SlotSelector();

// Frame thread. Handed to the camera library; saves the first frame of an armed capture and
// ignores every other frame.
void FrameCallback(void *callbackObject, J_IMAGE_RECORD *rawFrame);

// Frame thread. Raises frameArrived, then converts the frame and saves it under fileName.
// True when the frame was converted and saved.
bool SaveFrame(const J_IMAGE_RECORD *rawFrame, const char *fileName);

// Any thread. Size of the stream buffer for a frame of width x height: six bytes a pixel,
// room for 48-bit colour. False when the size does not fit in 32 bits.
bool FrameBufferSize(uint32_t width, uint32_t height, uint32_t *bufferSize);

// Any thread. A width or height that the stream can be opened with: 1 to 2^31-1.
bool IsValidDimension(int64_t value);

#endif
