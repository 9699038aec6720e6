// The bus of the emulated device: plugging, endpoint queues, frames and faults.
#include "usb3_bus.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <thread>

namespace {

const std::chrono::milliseconds kTick(10);
// A device holds back no more than this many frames that the host does not read.
const size_t kHeldFrames = 4;

std::string Setting(const char *name, const char *fallback)
{
    const char *value = std::getenv(name);
    return value != nullptr ? value : fallback;
}

bool FileExists(const std::string &path)
{
    FILE *file = std::fopen(path.c_str(), "rb");
    if (file == nullptr)
        return false;
    std::fclose(file);
    return true;
}

} // namespace

// Never destroyed: Aravis's threads may call in until the process ends.
Usb3Bus &Usb3Bus::Get()
{
    static Usb3Bus *bus = new Usb3Bus();
    return *bus;
}

Usb3Bus::Usb3Bus()
{
    serial_ = Setting("USB3_EMULATOR_SERIAL", "UV01");
    unpluggedWhile_ = Setting("USB3_EMULATOR_UNPLUGGED_WHILE", "");
    stalledWhile_ = Setting("USB3_EMULATOR_STALLED_WHILE", "");
    incompletePerMille_ = static_cast<unsigned>(
        std::strtoul(Setting("USB3_EMULATOR_INCOMPLETE", "0").c_str(), nullptr, 10));
    hotPlug_ = Setting("USB3_EMULATOR_HOTPLUG", "1") != "0";
    std::lock_guard<std::mutex> lock(mutex_);
    FollowPlugFile();
    if (!present_ && unpluggedWhile_.empty())
        Plug(true);
    std::thread(&Usb3Bus::Run, this).detach();
}

void Usb3Bus::FollowPlugFile()
{
    const bool unplugged = !unpluggedWhile_.empty() && FileExists(unpluggedWhile_);
    if (unplugged == present_)
        Plug(!unplugged);
}

// Unplugging drops the camera with everything it held; plugging in powers up a fresh one.
void Usb3Bus::Plug(bool in)
{
    const uint64_t left = attachment_;
    present_ = in;
    acks_.clear();
    ResetStream();
    if (in) {
        device_ = std::make_unique<Usb3Device>(serial_);
        ++attachment_;
        AnnouncePlug(attachment_, true);
    } else {
        device_.reset();
        AnnouncePlug(left, false);
    }
    changed_.notify_all();
}

// Frames at the fake camera's rate or on its software trigger, while the host streams. A late
// wake-up sends the frame that was due late rather than skipping it, as a camera's own clock
// would not skip it.
void Usb3Bus::Run()
{
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        FollowPlugFile();
        const bool stalled = !stalledWhile_.empty() && FileExists(stalledWhile_);
        const bool sending = present_ && device_->Streaming() && !stalled;
        std::chrono::microseconds wait = kTick;
        if (sending && device_->FreeRunning()) {
            if (frameDueUs_ == 0)
                frameDueUs_ = device_->NextFrameTimeUs();
            const uint64_t now = static_cast<uint64_t>(g_get_real_time());
            if (now >= frameDueUs_) {
                SendFrame();
                frameDueUs_ = device_->NextFrameTimeUs();
                continue;
            }
            wait = std::min(wait, std::chrono::microseconds(frameDueUs_ - now));
        } else {
            frameDueUs_ = 0;
            if (sending && device_->TakeSoftwareTrigger())
                SendFrame();
        }
        changed_.wait_for(lock, wait);
    }
}

void Usb3Bus::SendFrame()
{
    if (streamBytes_ > kHeldFrames * device_->Payload())
        return; // the host reads nothing: the device drops the frame
    ++framesMade_;
    const bool incomplete =
        framesMade_ * incompletePerMille_ / 1000 != (framesMade_ - 1) * incompletePerMille_ / 1000;
    for (std::vector<uint8_t> &transfer : device_->NextFrame(incomplete)) {
        streamBytes_ += transfer.size();
        stream_.push_back(std::move(transfer));
    }
    ServeTransfers();
    changed_.notify_all();
}

void Usb3Bus::Command(const uint8_t *data, int length)
{
    std::vector<uint8_t> ack = device_->Answer(data, length);
    if (!ack.empty())
        acks_.push_back(std::move(ack));
}

bool Usb3Bus::TakeAck(uint8_t *data, int length, int *actual)
{
    if (acks_.empty())
        return false;
    const std::vector<uint8_t> &ack = acks_.front();
    *actual = static_cast<int>(std::min<size_t>(ack.size(), static_cast<size_t>(length)));
    std::memcpy(data, ack.data(), static_cast<size_t>(*actual));
    acks_.pop_front();
    return true;
}

// A host transfer shorter than the device's takes its beginning; the rest goes to the next.
bool Usb3Bus::TakeStream(uint8_t *data, int length, int *actual)
{
    if (stream_.empty())
        return false;
    const std::vector<uint8_t> &transfer = stream_.front();
    const size_t count =
        std::min<size_t>(transfer.size() - streamReadOffset_, static_cast<size_t>(length));
    std::memcpy(data, transfer.data() + streamReadOffset_, count);
    *actual = static_cast<int>(count);
    streamReadOffset_ += count;
    streamBytes_ -= count;
    if (streamReadOffset_ == transfer.size()) {
        stream_.pop_front();
        streamReadOffset_ = 0;
    }
    return true;
}

void Usb3Bus::ResetStream()
{
    stream_.clear();
    streamReadOffset_ = 0;
    streamBytes_ = 0;
}
