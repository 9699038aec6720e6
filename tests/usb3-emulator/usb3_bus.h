// The bus the emulated device sits on: whether it is plugged in, what waits in its endpoints,
// the thread that makes its frames, and the faults the environment asks for.
#ifndef USB3_EMULATOR_USB3_BUS_H
#define USB3_EMULATOR_USB3_BUS_H

#include "usb3_device.h"

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

// Everything here runs under Mutex(), which the libusb layer holds too; Changed() is notified
// whenever an endpoint gets data or the device is plugged in or out.
class Usb3Bus {
  public:
    // The one bus, its device plugged in unless the environment says otherwise.
    static Usb3Bus &Get();

    std::mutex &Mutex() { return mutex_; }
    std::condition_variable &Changed() { return changed_; }

    // The number of the device's current plugging-in, 0 while it is unplugged.
    uint64_t Attachment() const { return present_ ? attachment_ : 0; }
    bool HotPlug() const { return hotPlug_; }
    const Usb3Device &Device() const { return *device_; }

    // The control channel: a command in, its acknowledgement out.
    void Command(const uint8_t *data, int length);
    bool TakeAck(uint8_t *data, int length, int *actual);
    // The stream channel: the next bytes of the current transfer the device sends.
    bool TakeStream(uint8_t *data, int length, int *actual);
    // Drops what the stream channel holds (the host resets the endpoint).
    void ResetStream();

  private:
    Usb3Bus();
    void Run();
    void FollowPlugFile();
    void Plug(bool in);
    void SendFrame();

    std::mutex mutex_;
    std::condition_variable changed_;
    std::string serial_;
    std::string unpluggedWhile_; // a file whose presence unplugs the device
    std::string stalledWhile_;   // a file whose presence stalls the stream
    unsigned incompletePerMille_ = 0;
    bool hotPlug_ = true;
    bool present_ = false;
    uint64_t attachment_ = 0;
    uint64_t framesMade_ = 0;
    uint64_t frameDueUs_ = 0; // the next free-running frame's time, 0 while none is due
    std::unique_ptr<Usb3Device> device_;
    std::deque<std::vector<uint8_t>> acks_;
    std::deque<std::vector<uint8_t>> stream_; // transfers, the first one partly read
    size_t streamReadOffset_ = 0;
    size_t streamBytes_ = 0;
};

// Implemented by the libusb layer, called under the bus's mutex: asynchronous transfers take
// what the stream channel holds, and the device's plugging in or out reaches the host.
void ServeTransfers();
void AnnouncePlug(uint64_t attachment, bool arrived);

#endif
