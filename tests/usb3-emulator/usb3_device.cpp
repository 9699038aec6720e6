// The emulated USB3 Vision device: registers, control channel and frames over a fake camera.
#include "usb3_device.h"

#include <algorithm>
#include <cstring>

namespace {

const uint32_t kControlMagic = 0x43563355;
const uint32_t kLeaderMagic = 0x4C563355;
const uint32_t kTrailerMagic = 0x54563355;
const uint16_t kReadCommand = 0x0800;
const uint16_t kWriteCommand = 0x0802;
const uint16_t kSuccess = 0x0000;
const uint16_t kNotImplemented = 0x8001;
const uint16_t kInvalidAddress = 0x8003;
const uint16_t kWriteProtect = 0x8004;
const size_t kHeaderBytes = 12;
const size_t kLeaderBytes = 52;
const size_t kTrailerBytes = 28;
// The largest command and acknowledgement: the host reads the GenICam file in many steps.
const uint32_t kMaxTransfer = 1024;
const uint32_t kResponseTimeMs = 100;
const uint16_t kImagePayload = 0x0001;

// Where the device keeps what is not in the fake camera's memory (which ends at 0x10000 and
// is followed by its GenICam file): the bootstrap registers of the USB3 Vision technology,
// of the stream interface, the manifest and the GenICam file it points at.
const uint64_t kSbrmAddress = 0x01000000;
const uint64_t kSirmAddress = 0x01000100;
const uint64_t kManifestAddress = 0x01000200;
const uint64_t kXmlAddress = 0x02000000;
const size_t kSbrmBytes = 0x48;
const size_t kSirmBytes = 0x30;
const size_t kManifestBytes = 8 + 64;
// The writable stream interface registers, from the largest leader to the largest trailer.
const uint64_t kSirmControl = 0x04;
const uint64_t kSirmWritable = 0x18;
const size_t kSirmPayloadSize = 1; // among the writable ones

// The fields of the device's first registers that hosts read, laid over the fake camera's
// memory (whose own registers at these addresses the fake camera's GenICam file never uses).
const uint64_t kAbrmManufacturer = 0x0004;
const uint64_t kAbrmCapability = 0x01c4;
const uint64_t kAbrmEnd = 0x01e0;

void Put16(std::vector<uint8_t> *bytes, size_t at, uint16_t value)
{
    for (size_t index = 0; index < 2; ++index)
        (*bytes)[at + index] = static_cast<uint8_t>(value >> (8 * index));
}

void Put32(std::vector<uint8_t> *bytes, size_t at, uint32_t value)
{
    for (size_t index = 0; index < 4; ++index)
        (*bytes)[at + index] = static_cast<uint8_t>(value >> (8 * index));
}

void Put64(std::vector<uint8_t> *bytes, size_t at, uint64_t value)
{
    for (size_t index = 0; index < 8; ++index)
        (*bytes)[at + index] = static_cast<uint8_t>(value >> (8 * index));
}

uint64_t Get(const uint8_t *bytes, size_t count)
{
    uint64_t value = 0;
    for (size_t index = 0; index < count; ++index)
        value |= static_cast<uint64_t>(bytes[index]) << (8 * index);
    return value;
}

// Copies [address, address + size) out of a block at base; false when it does not lie inside.
bool ReadBlock(uint64_t base, const std::vector<uint8_t> &block, uint64_t address, uint32_t size,
               uint8_t *data)
{
    if (address < base || address + size > base + block.size())
        return false;
    std::memcpy(data, block.data() + (address - base), size);
    return true;
}

std::string FakeCameraString(ArvFakeCamera *camera, uint32_t address, uint32_t size)
{
    std::vector<char> text(size + 1, '\0');
    arv_fake_camera_read_memory(camera, address, size, text.data());
    return text.data();
}

} // namespace

Usb3Device::Usb3Device(const std::string &serial) : camera_(arv_fake_camera_new(serial.c_str()))
{
    guid_ = "U3VEMU" + serial;
    xml_ = arv_fake_camera_get_genicam_xml(camera_, &xmlSize_);
}

Usb3Device::~Usb3Device() { g_object_unref(camera_); }

// The manufacturer and model names are the fake camera's (the GigE Vision places of its memory).
std::string Usb3Device::String(uint8_t index) const
{
    switch (index) {
    case kManufacturer:
        return FakeCameraString(camera_, 0x48, 32);
    case kModel:
        return FakeCameraString(camera_, 0x68, 32);
    case kSerial:
        return FakeCameraString(camera_, 0xd8, 16);
    case kGuid:
        return guid_;
    default:
        return "";
    }
}

bool Usb3Device::Overlay(uint64_t address, uint32_t size, uint8_t *data) const
{
    std::vector<uint8_t> abrm(kAbrmEnd, 0);
    const std::string manufacturer = String(kManufacturer);
    std::memcpy(abrm.data() + kAbrmManufacturer, manufacturer.c_str(),
                std::min<size_t>(manufacturer.size(), 63));
    Put32(&abrm, 0x01cc, kResponseTimeMs);
    Put64(&abrm, 0x01d0, kManifestAddress);
    Put64(&abrm, 0x01d8, kSbrmAddress);
    bool overlaid = false;
    for (uint64_t at = address; at < address + size && at < kAbrmEnd; ++at) {
        const bool served =
            (at >= kAbrmManufacturer && at < kAbrmManufacturer + 64) || at >= kAbrmCapability;
        if (served && data != nullptr)
            data[at - address] = abrm[at];
        overlaid = overlaid || served;
    }
    return overlaid;
}

uint16_t Usb3Device::Read(uint64_t address, uint32_t size, uint8_t *data) const
{
    std::vector<uint8_t> sbrm(kSbrmBytes, 0);
    Put32(&sbrm, 0x00, 0x00010000);
    Put32(&sbrm, 0x14, kMaxTransfer);
    Put32(&sbrm, 0x18, kMaxTransfer);
    Put32(&sbrm, 0x1c, 1);
    Put64(&sbrm, 0x20, kSirmAddress);
    Put32(&sbrm, 0x28, kSirmBytes);
    std::vector<uint8_t> sirm(kSirmBytes, 0);
    Put32(&sirm, 0x00, 0); // transfers aligned to single bytes
    Put32(&sirm, kSirmControl, streamControl_);
    Put64(&sirm, 0x08, Payload());
    Put32(&sirm, 0x10, kLeaderBytes);
    Put32(&sirm, 0x14, kTrailerBytes);
    for (size_t index = 0; index < 6; ++index)
        Put32(&sirm, kSirmWritable + 4 * index, writableStreamRegisters_[index]);
    std::vector<uint8_t> manifest(kManifestBytes, 0);
    Put64(&manifest, 0, 1);
    Put32(&manifest, 8, 0x00010000); // file version 1.0.0
    Put32(&manifest, 12, 0);         // plain text, not zipped
    Put64(&manifest, 16, kXmlAddress);
    Put64(&manifest, 24, xmlSize_);
    const std::vector<uint8_t> xml(xml_, xml_ + xmlSize_);
    if (ReadBlock(kSbrmAddress, sbrm, address, size, data) ||
        ReadBlock(kSirmAddress, sirm, address, size, data) ||
        ReadBlock(kManifestAddress, manifest, address, size, data) ||
        ReadBlock(kXmlAddress, xml, address, size, data))
        return kSuccess;
    if (address + size > ARV_FAKE_CAMERA_MEMORY_SIZE)
        return kInvalidAddress;
    arv_fake_camera_read_memory(camera_, static_cast<guint32>(address), size, data);
    Overlay(address, size, data);
    return kSuccess;
}

uint16_t Usb3Device::Write(uint64_t address, uint32_t size, const uint8_t *data)
{
    if (address >= kSirmAddress && address + size <= kSirmAddress + kSirmBytes) {
        for (uint64_t at = address - kSirmAddress; at + 4 <= address - kSirmAddress + size;
             at += 4) {
            const uint32_t value =
                static_cast<uint32_t>(Get(data + at - (address - kSirmAddress), 4));
            if (at == kSirmControl)
                streamControl_ = value;
            else if (at >= kSirmWritable)
                writableStreamRegisters_[(at - kSirmWritable) / 4] = value;
            else
                return kWriteProtect;
        }
        return kSuccess;
    }
    if (address + size > ARV_FAKE_CAMERA_MEMORY_SIZE)
        return address >= kSbrmAddress ? kWriteProtect : kInvalidAddress;
    if (Overlay(address, size, nullptr))
        return kWriteProtect;
    arv_fake_camera_write_memory(camera_, static_cast<guint32>(address), size, data);
    return kSuccess;
}

std::vector<uint8_t> Usb3Device::Answer(const uint8_t *command, int length)
{
    if (length < static_cast<int>(kHeaderBytes) || Get(command, 4) != kControlMagic)
        return {};
    const uint16_t code = static_cast<uint16_t>(Get(command + 6, 2));
    const uint16_t infoBytes = static_cast<uint16_t>(Get(command + 8, 2));
    const uint16_t id = static_cast<uint16_t>(Get(command + 10, 2));
    if (static_cast<size_t>(length) < kHeaderBytes + infoBytes)
        return {};
    const uint64_t address = infoBytes >= 8 ? Get(command + 12, 8) : 0;
    std::vector<uint8_t> ack(kHeaderBytes, 0);
    uint16_t status = kNotImplemented;
    if (code == kReadCommand && infoBytes >= 12) {
        const uint16_t size = static_cast<uint16_t>(Get(command + 22, 2));
        std::vector<uint8_t> data(size, 0);
        status = Read(address, size, data.data());
        if (status == kSuccess)
            ack.insert(ack.end(), data.begin(), data.end());
    } else if (code == kWriteCommand && infoBytes >= 8) {
        const uint32_t size = infoBytes - 8u;
        status = Write(address, size, command + 20);
        ack.resize(kHeaderBytes + 4, 0);
        Put16(&ack, kHeaderBytes + 2, static_cast<uint16_t>(status == kSuccess ? size : 0));
    }
    Put32(&ack, 0, kControlMagic);
    Put16(&ack, 4, status);
    Put16(&ack, 6, static_cast<uint16_t>(code + 1));
    Put16(&ack, 8, static_cast<uint16_t>(ack.size() - kHeaderBytes));
    Put16(&ack, 10, id);
    return ack;
}

bool Usb3Device::Streaming() const
{
    return (streamControl_ & 1) != 0 && arv_fake_camera_get_acquisition_status(camera_) != 0;
}

uint64_t Usb3Device::NextFrameTimeUs() const
{
    guint64 next = 0;
    arv_fake_camera_get_sleep_time_for_next_frame(camera_, &next);
    return next;
}

bool Usb3Device::FreeRunning() const { return arv_fake_camera_is_in_free_running_mode(camera_); }

bool Usb3Device::TakeSoftwareTrigger()
{
    return arv_fake_camera_is_in_software_trigger_mode(camera_) &&
           arv_fake_camera_check_and_acknowledge_software_trigger(camera_);
}

size_t Usb3Device::Payload() const { return arv_fake_camera_get_payload(camera_); }

std::vector<std::vector<uint8_t>> Usb3Device::NextFrame(bool incomplete)
{
    const size_t payload = Payload();
    ArvBuffer *image = arv_buffer_new_allocate(payload);
    guint32 packetSize = 0;
    arv_fake_camera_fill_buffer(camera_, image, &packetSize);
    // The fake camera counts 1 to 65535 and again from 1; a USB3 Vision camera never wraps.
    const uint64_t shortId = arv_buffer_get_frame_id(image);
    if (shortId < lastShortId_)
        wrapOffset_ += 65535;
    lastShortId_ = shortId;
    const uint64_t frameId = shortId + wrapOffset_;

    std::vector<std::vector<uint8_t>> transfers;
    std::vector<uint8_t> leader(kLeaderBytes, 0);
    Put32(&leader, 0, kLeaderMagic);
    Put16(&leader, 6, kLeaderBytes);
    Put64(&leader, 8, frameId);
    Put16(&leader, 18, kImagePayload);
    Put64(&leader, 20, arv_buffer_get_timestamp(image));
    Put32(&leader, 28, arv_buffer_get_image_pixel_format(image));
    Put32(&leader, 32, static_cast<uint32_t>(arv_buffer_get_image_width(image)));
    Put32(&leader, 36, static_cast<uint32_t>(arv_buffer_get_image_height(image)));
    Put32(&leader, 40, static_cast<uint32_t>(arv_buffer_get_image_x(image)));
    Put32(&leader, 44, static_cast<uint32_t>(arv_buffer_get_image_y(image)));
    transfers.push_back(leader);

    size_t bytes = 0;
    const uint8_t *pixels = static_cast<const uint8_t *>(arv_buffer_get_data(image, &bytes));
    const size_t chunk = writableStreamRegisters_[kSirmPayloadSize] > 0
                             ? writableStreamRegisters_[kSirmPayloadSize]
                             : payload;
    size_t sent = 0;
    for (size_t offset = 0; offset < payload; offset += chunk) {
        const size_t length = std::min(chunk, payload - offset);
        transfers.emplace_back(pixels + offset, pixels + offset + length);
        sent += length;
    }
    if (incomplete && transfers.size() > 1) {
        const size_t cut = std::max<size_t>(1, transfers.back().size() / 2);
        transfers.back().resize(transfers.back().size() - cut);
        sent -= cut;
    }
    g_object_unref(image);

    std::vector<uint8_t> trailer(kTrailerBytes, 0);
    Put32(&trailer, 0, kTrailerMagic);
    Put16(&trailer, 6, kTrailerBytes);
    Put64(&trailer, 8, frameId);
    Put64(&trailer, 20, sent);
    transfers.push_back(trailer);
    return transfers;
}
