// The emulated USB3 Vision device: its descriptors, its registers and control channel over an
// Aravis fake camera, and the leader, payload and trailer of each of its frames.
#ifndef USB3_EMULATOR_USB3_DEVICE_H
#define USB3_EMULATOR_USB3_DEVICE_H

#include <arv.h>

#include <cstdint>
#include <string>
#include <vector>

// The device's endpoints, as a host addresses them.
const uint8_t kControlOut = 0x01;
const uint8_t kControlIn = 0x81;
const uint8_t kEventIn = 0x82;
const uint8_t kStreamIn = 0x83;
const int kControlInterface = 0;
const int kStreamInterface = 2;

// The string descriptors' indexes.
enum StringIndex : uint8_t { kManufacturer = 1, kModel = 2, kSerial = 3, kGuid = 4 };

// One camera as it is from power-on to power-off: its registers live in the fake camera,
// except those of the USB3 Vision bootstrap, which live here. Not thread-safe: the bus calls
// it under its lock.
class Usb3Device {
  public:
    explicit Usb3Device(const std::string &serial);
    ~Usb3Device();
    Usb3Device(const Usb3Device &) = delete;
    Usb3Device &operator=(const Usb3Device &) = delete;

    // The string of a string descriptor, empty for an index the device does not have.
    std::string String(uint8_t index) const;

    // The acknowledgement of one control command, as the device sends it back.
    std::vector<uint8_t> Answer(const uint8_t *command, int length);

    // Whether the host has enabled the stream and the camera is acquiring.
    bool Streaming() const;
    // When the next frame is due in free-running mode, on the real-time clock in microseconds
    // (g_get_real_time): the fake camera's frames fall on whole frame periods of that clock.
    uint64_t NextFrameTimeUs() const;
    // Whether frames come at the frame rate rather than on triggers.
    bool FreeRunning() const;
    // Whether a software trigger came since the last call.
    bool TakeSoftwareTrigger();
    // The next frame's transfers: leader, payload cut into the host's transfer size, trailer.
    // An incomplete frame lacks the end of its last payload transfer.
    std::vector<std::vector<uint8_t>> NextFrame(bool incomplete);
    // The largest payload of one frame, to bound what the device holds back.
    size_t Payload() const;

  private:
    bool Overlay(uint64_t address, uint32_t size, uint8_t *data) const;
    uint16_t Read(uint64_t address, uint32_t size, uint8_t *data) const;
    uint16_t Write(uint64_t address, uint32_t size, const uint8_t *data);

    ArvFakeCamera *camera_;
    std::string guid_;
    const char *xml_ = nullptr;
    size_t xmlSize_ = 0;
    // The stream interface registers the host writes: control, then the transfer sizes.
    uint32_t streamControl_ = 0;
    uint32_t writableStreamRegisters_[6] = {};
    // The fake camera's 16-bit frame ids carried on into the 64-bit ids of USB3 Vision.
    uint64_t lastShortId_ = 0;
    uint64_t wrapOffset_ = 0;
};

#endif
