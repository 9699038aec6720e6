// libusb-1.0's entry points that Aravis calls, answered by the emulated device on its bus.
#include "usb3_bus.h"

#include <libusb.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>

// A device as one context lists it: the same pointer for as long as it stays plugged in.
struct libusb_device {
    libusb_context *context;
    uint64_t attachment;
};

struct libusb_device_handle {
    libusb_device *device;
};

namespace {

struct HotplugCallback {
    int handle;
    int events;
    libusb_hotplug_callback_fn function;
    void *userData;
};

struct PlugEvent {
    int handle;
    libusb_device *device;
    libusb_hotplug_event event;
};

} // namespace

struct libusb_context {
    std::vector<std::unique_ptr<libusb_device>> devices;
    std::vector<HotplugCallback> callbacks;
    int nextCallback = 1;
    std::deque<PlugEvent> events;
    std::deque<libusb_transfer *> finished;
};

namespace {

// All of it under the bus's mutex.
std::vector<libusb_context *> contexts;
libusb_context *defaultContext = nullptr;
std::deque<libusb_transfer *> pending; // stream transfers, in the order they were submitted

libusb_context *ContextOf(libusb_context *context)
{
    return context != nullptr ? context : defaultContext;
}

libusb_device *DeviceFor(libusb_context *context, uint64_t attachment)
{
    for (const std::unique_ptr<libusb_device> &device : context->devices)
        if (device->attachment == attachment)
            return device.get();
    context->devices.push_back(std::make_unique<libusb_device>(libusb_device{context, attachment}));
    return context->devices.back().get();
}

bool Attached(const libusb_device *device)
{
    return device->attachment != 0 && device->attachment == Usb3Bus::Get().Attachment();
}

void Finish(libusb_transfer *transfer, libusb_transfer_status status, int length)
{
    transfer->status = status;
    transfer->actual_length = length;
    transfer->dev_handle->device->context->finished.push_back(transfer);
}

// Waits until ready() or the timeout (0: none), as the bus changes.
template <typename Ready>
bool WaitFor(std::unique_lock<std::mutex> &lock, unsigned int timeoutMs, Ready ready)
{
    std::condition_variable &changed = Usb3Bus::Get().Changed();
    if (timeoutMs == 0) {
        changed.wait(lock, ready);
        return true;
    }
    return changed.wait_for(lock, std::chrono::milliseconds(timeoutMs), ready);
}

void Deregister(libusb_context *context, int handle)
{
    std::vector<HotplugCallback> &callbacks = context->callbacks;
    callbacks.erase(std::remove_if(callbacks.begin(), callbacks.end(),
                                   [&](const HotplugCallback &c) { return c.handle == handle; }),
                    callbacks.end());
}

} // namespace

void ServeTransfers()
{
    Usb3Bus &bus = Usb3Bus::Get();
    while (!pending.empty()) {
        libusb_transfer *transfer = pending.front();
        int length = 0;
        if (!bus.TakeStream(transfer->buffer, transfer->length, &length))
            return;
        pending.pop_front();
        Finish(transfer, LIBUSB_TRANSFER_COMPLETED, length);
    }
}

void AnnouncePlug(uint64_t attachment, bool arrived)
{
    if (!arrived) {
        for (libusb_transfer *transfer : pending)
            Finish(transfer, LIBUSB_TRANSFER_NO_DEVICE, 0);
        pending.clear();
    }
    const libusb_hotplug_event event =
        arrived ? LIBUSB_HOTPLUG_EVENT_DEVICE_ARRIVED : LIBUSB_HOTPLUG_EVENT_DEVICE_LEFT;
    for (libusb_context *context : contexts)
        for (const HotplugCallback &callback : context->callbacks)
            if ((callback.events & event) != 0)
                context->events.push_back({callback.handle, DeviceFor(context, attachment), event});
}

int LIBUSB_CALL libusb_init(libusb_context **context)
{
    Usb3Bus &bus = Usb3Bus::Get();
    std::lock_guard<std::mutex> lock(bus.Mutex());
    libusb_context *made = new libusb_context();
    contexts.push_back(made);
    if (context != nullptr)
        *context = made;
    else if (defaultContext == nullptr)
        defaultContext = made;
    return LIBUSB_SUCCESS;
}

void LIBUSB_CALL libusb_exit(libusb_context *context)
{
    std::lock_guard<std::mutex> lock(Usb3Bus::Get().Mutex());
    libusb_context *ended = ContextOf(context);
    if (ended == nullptr)
        return;
    contexts.erase(std::remove(contexts.begin(), contexts.end(), ended), contexts.end());
    if (ended == defaultContext)
        defaultContext = nullptr;
    delete ended;
}

const char *LIBUSB_CALL libusb_error_name(int code)
{
    switch (code) {
    case LIBUSB_SUCCESS:
        return "LIBUSB_SUCCESS";
    case LIBUSB_ERROR_IO:
        return "LIBUSB_ERROR_IO";
    case LIBUSB_ERROR_INVALID_PARAM:
        return "LIBUSB_ERROR_INVALID_PARAM";
    case LIBUSB_ERROR_ACCESS:
        return "LIBUSB_ERROR_ACCESS";
    case LIBUSB_ERROR_NO_DEVICE:
        return "LIBUSB_ERROR_NO_DEVICE";
    case LIBUSB_ERROR_NOT_FOUND:
        return "LIBUSB_ERROR_NOT_FOUND";
    case LIBUSB_ERROR_BUSY:
        return "LIBUSB_ERROR_BUSY";
    case LIBUSB_ERROR_TIMEOUT:
        return "LIBUSB_ERROR_TIMEOUT";
    case LIBUSB_ERROR_OVERFLOW:
        return "LIBUSB_ERROR_OVERFLOW";
    case LIBUSB_ERROR_PIPE:
        return "LIBUSB_ERROR_PIPE";
    case LIBUSB_ERROR_INTERRUPTED:
        return "LIBUSB_ERROR_INTERRUPTED";
    case LIBUSB_ERROR_NO_MEM:
        return "LIBUSB_ERROR_NO_MEM";
    case LIBUSB_ERROR_NOT_SUPPORTED:
        return "LIBUSB_ERROR_NOT_SUPPORTED";
    default:
        return "LIBUSB_ERROR_OTHER";
    }
}

ssize_t LIBUSB_CALL libusb_get_device_list(libusb_context *context, libusb_device ***list)
{
    Usb3Bus &bus = Usb3Bus::Get();
    std::lock_guard<std::mutex> lock(bus.Mutex());
    libusb_context *owner = ContextOf(context);
    const uint64_t attachment = bus.Attachment();
    const ssize_t count = attachment != 0 ? 1 : 0;
    *list = new libusb_device *[count + 1];
    if (count == 1)
        (*list)[0] = DeviceFor(owner, attachment);
    (*list)[count] = nullptr;
    return count;
}

// Devices live as long as their context: references are not counted.
void LIBUSB_CALL libusb_free_device_list(libusb_device **list, int) { delete[] list; }

int LIBUSB_CALL libusb_get_device_descriptor(libusb_device *, libusb_device_descriptor *descriptor)
{
    *descriptor = libusb_device_descriptor{};
    descriptor->bLength = LIBUSB_DT_DEVICE_SIZE;
    descriptor->bDescriptorType = LIBUSB_DT_DEVICE;
    descriptor->bcdUSB = 0x0300;
    // A composite device of the miscellaneous class, as USB3 Vision cameras are.
    descriptor->bDeviceClass = 0xef;
    descriptor->bDeviceSubClass = 0x02;
    descriptor->bDeviceProtocol = 0x01;
    descriptor->bMaxPacketSize0 = 9;
    descriptor->idVendor = 0x1209; // pid.codes' test product, which no real camera uses
    descriptor->idProduct = 0x0001;
    descriptor->bcdDevice = 0x0100;
    descriptor->iManufacturer = kManufacturer;
    descriptor->iProduct = kModel;
    descriptor->iSerialNumber = kSerial;
    descriptor->bNumConfigurations = 1;
    return LIBUSB_SUCCESS;
}

namespace {

// The class-specific descriptor of the control interface; hosts read the string index of the
// device's GUID from its byte 11.
const unsigned char kDeviceInfo[20] = {20,   0x24, 0x01, 0x00,  0x00, 0x01, 0x00, 0x00,
                                       0x00, 0x00, 0x00, kGuid, 0x00, 0x00, 0x00, 0x00};

libusb_endpoint_descriptor Endpoint(uint8_t address)
{
    libusb_endpoint_descriptor endpoint{};
    endpoint.bLength = LIBUSB_DT_ENDPOINT_SIZE;
    endpoint.bDescriptorType = LIBUSB_DT_ENDPOINT;
    endpoint.bEndpointAddress = address;
    endpoint.bmAttributes = LIBUSB_TRANSFER_TYPE_BULK;
    endpoint.wMaxPacketSize = 1024;
    return endpoint;
}

// USB3 Vision's interface class, and the protocols of its control, event and stream interfaces.
libusb_interface_descriptor Interface(uint8_t number, uint8_t protocol,
                                      std::vector<uint8_t> endpoints)
{
    libusb_interface_descriptor interface {
    };
    interface.bLength = LIBUSB_DT_INTERFACE_SIZE;
    interface.bDescriptorType = LIBUSB_DT_INTERFACE;
    interface.bInterfaceNumber = number;
    interface.bNumEndpoints = static_cast<uint8_t>(endpoints.size());
    interface.bInterfaceClass = 0xef;
    interface.bInterfaceSubClass = 0x05;
    interface.bInterfaceProtocol = protocol;
    libusb_endpoint_descriptor *made = new libusb_endpoint_descriptor[endpoints.size()];
    for (size_t index = 0; index < endpoints.size(); ++index)
        made[index] = Endpoint(endpoints[index]);
    interface.endpoint = made;
    return interface;
}

} // namespace

int LIBUSB_CALL libusb_get_config_descriptor(libusb_device *, uint8_t index,
                                             libusb_config_descriptor **config)
{
    if (index != 0)
        return LIBUSB_ERROR_NOT_FOUND;
    libusb_config_descriptor *made = new libusb_config_descriptor{};
    made->bLength = LIBUSB_DT_CONFIG_SIZE;
    made->bDescriptorType = LIBUSB_DT_CONFIG;
    made->bNumInterfaces = 3;
    made->bConfigurationValue = 1;
    libusb_interface_descriptor *settings = new libusb_interface_descriptor[3];
    settings[0] = Interface(kControlInterface, 0x00, {kControlIn, kControlOut});
    settings[0].extra = kDeviceInfo;
    settings[0].extra_length = sizeof kDeviceInfo;
    settings[1] = Interface(1, 0x01, {kEventIn});
    settings[2] = Interface(kStreamInterface, 0x02, {kStreamIn});
    libusb_interface *interfaces = new libusb_interface[3];
    for (int number = 0; number < 3; ++number)
        interfaces[number] = libusb_interface{&settings[number], 1};
    made->interface = interfaces;
    *config = made;
    return LIBUSB_SUCCESS;
}

void LIBUSB_CALL libusb_free_config_descriptor(libusb_config_descriptor *config)
{
    if (config == nullptr)
        return;
    for (int number = 0; number < config->bNumInterfaces; ++number)
        delete[] config->interface[number].altsetting->endpoint;
    delete[] config->interface[0].altsetting;
    delete[] config->interface;
    delete config;
}

int LIBUSB_CALL libusb_open(libusb_device *device, libusb_device_handle **handle)
{
    std::lock_guard<std::mutex> lock(Usb3Bus::Get().Mutex());
    if (!Attached(device))
        return LIBUSB_ERROR_NO_DEVICE;
    *handle = new libusb_device_handle{device};
    return LIBUSB_SUCCESS;
}

void LIBUSB_CALL libusb_close(libusb_device_handle *handle) { delete handle; }

libusb_device *LIBUSB_CALL libusb_get_device(libusb_device_handle *handle)
{
    return handle->device;
}

int LIBUSB_CALL libusb_get_string_descriptor_ascii(libusb_device_handle *handle, uint8_t index,
                                                   unsigned char *data, int length)
{
    Usb3Bus &bus = Usb3Bus::Get();
    std::lock_guard<std::mutex> lock(bus.Mutex());
    if (!Attached(handle->device))
        return LIBUSB_ERROR_NO_DEVICE;
    const std::string text = bus.Device().String(index);
    if (text.empty() || length < 1)
        return LIBUSB_ERROR_PIPE;
    const size_t count = std::min<size_t>(text.size(), static_cast<size_t>(length - 1));
    std::memcpy(data, text.data(), count);
    data[count] = 0;
    return static_cast<int>(count);
}

int LIBUSB_CALL libusb_set_auto_detach_kernel_driver(libusb_device_handle *, int)
{
    return LIBUSB_SUCCESS;
}

int LIBUSB_CALL libusb_claim_interface(libusb_device_handle *handle, int number)
{
    std::lock_guard<std::mutex> lock(Usb3Bus::Get().Mutex());
    if (!Attached(handle->device))
        return LIBUSB_ERROR_NO_DEVICE;
    return number >= 0 && number < 3 ? LIBUSB_SUCCESS : LIBUSB_ERROR_NOT_FOUND;
}

int LIBUSB_CALL libusb_release_interface(libusb_device_handle *handle, int number)
{
    return libusb_claim_interface(handle, number);
}

// Only the endpoint halt is a request the device knows; resetting the stream's drops its data.
int LIBUSB_CALL libusb_control_transfer(libusb_device_handle *handle, uint8_t requestType,
                                        uint8_t request, uint16_t value, uint16_t, unsigned char *,
                                        uint16_t, unsigned int)
{
    std::lock_guard<std::mutex> lock(Usb3Bus::Get().Mutex());
    if (!Attached(handle->device))
        return LIBUSB_ERROR_NO_DEVICE;
    const bool endpointHalt =
        requestType ==
            (LIBUSB_ENDPOINT_OUT | LIBUSB_REQUEST_TYPE_STANDARD | LIBUSB_RECIPIENT_ENDPOINT) &&
        (request == LIBUSB_REQUEST_SET_FEATURE || request == LIBUSB_REQUEST_CLEAR_FEATURE) &&
        value == 0;
    return endpointHalt ? 0 : LIBUSB_ERROR_PIPE;
}

int LIBUSB_CALL libusb_clear_halt(libusb_device_handle *handle, unsigned char endpoint)
{
    Usb3Bus &bus = Usb3Bus::Get();
    std::lock_guard<std::mutex> lock(bus.Mutex());
    if (!Attached(handle->device))
        return LIBUSB_ERROR_NO_DEVICE;
    if (endpoint == kStreamIn)
        bus.ResetStream();
    return LIBUSB_SUCCESS;
}

int LIBUSB_CALL libusb_bulk_transfer(libusb_device_handle *handle, unsigned char endpoint,
                                     unsigned char *data, int length, int *actual,
                                     unsigned int timeoutMs)
{
    Usb3Bus &bus = Usb3Bus::Get();
    std::unique_lock<std::mutex> lock(bus.Mutex());
    int transferred = 0;
    if (actual != nullptr)
        *actual = 0;
    libusb_device *device = handle->device;
    if (!Attached(device))
        return LIBUSB_ERROR_NO_DEVICE;
    if (endpoint == kControlOut) {
        bus.Command(data, length);
        transferred = length;
    } else if (endpoint == kControlIn || endpoint == kStreamIn) {
        const auto take = [&] {
            if (!Attached(device))
                return true;
            return endpoint == kControlIn ? bus.TakeAck(data, length, &transferred)
                                          : bus.TakeStream(data, length, &transferred);
        };
        if (!WaitFor(lock, timeoutMs, take))
            return LIBUSB_ERROR_TIMEOUT;
        if (!Attached(device))
            return LIBUSB_ERROR_NO_DEVICE;
    } else {
        // The event channel: the device sends no events.
        if (!WaitFor(lock, timeoutMs, [&] { return !Attached(device); }))
            return LIBUSB_ERROR_TIMEOUT;
        return LIBUSB_ERROR_NO_DEVICE;
    }
    if (actual != nullptr)
        *actual = transferred;
    return LIBUSB_SUCCESS;
}

libusb_transfer *LIBUSB_CALL libusb_alloc_transfer(int isoPackets)
{
    const size_t bytes = sizeof(libusb_transfer) +
                         sizeof(libusb_iso_packet_descriptor) * static_cast<size_t>(isoPackets);
    return static_cast<libusb_transfer *>(std::calloc(1, bytes));
}

void LIBUSB_CALL libusb_free_transfer(libusb_transfer *transfer) { std::free(transfer); }

// Only the stream channel is read asynchronously; the transfer's timeout is not kept.
int LIBUSB_CALL libusb_submit_transfer(libusb_transfer *transfer)
{
    std::lock_guard<std::mutex> lock(Usb3Bus::Get().Mutex());
    if (!Attached(transfer->dev_handle->device))
        return LIBUSB_ERROR_NO_DEVICE;
    if (transfer->endpoint != kStreamIn || transfer->type != LIBUSB_TRANSFER_TYPE_BULK)
        return LIBUSB_ERROR_NOT_SUPPORTED;
    if (std::find(pending.begin(), pending.end(), transfer) != pending.end())
        return LIBUSB_ERROR_BUSY;
    pending.push_back(transfer);
    ServeTransfers();
    Usb3Bus::Get().Changed().notify_all();
    return LIBUSB_SUCCESS;
}

int LIBUSB_CALL libusb_cancel_transfer(libusb_transfer *transfer)
{
    std::lock_guard<std::mutex> lock(Usb3Bus::Get().Mutex());
    const auto found = std::find(pending.begin(), pending.end(), transfer);
    if (found == pending.end())
        return LIBUSB_ERROR_NOT_FOUND;
    pending.erase(found);
    Finish(transfer, LIBUSB_TRANSFER_CANCELLED, 0);
    Usb3Bus::Get().Changed().notify_all();
    return LIBUSB_SUCCESS;
}

// Hot-plug events first, then the finished transfers, each called back on this thread.
int LIBUSB_CALL libusb_handle_events_timeout(libusb_context *context, struct timeval *tv)
{
    Usb3Bus &bus = Usb3Bus::Get();
    std::unique_lock<std::mutex> lock(bus.Mutex());
    libusb_context *owner = ContextOf(context);
    const unsigned int timeoutMs =
        tv != nullptr ? static_cast<unsigned int>(tv->tv_sec * 1000 + tv->tv_usec / 1000) : 0;
    WaitFor(lock, std::max(timeoutMs, 1u),
            [&] { return !owner->events.empty() || !owner->finished.empty(); });
    std::deque<PlugEvent> events;
    events.swap(owner->events);
    std::deque<libusb_transfer *> finished;
    finished.swap(owner->finished);
    for (const PlugEvent &event : events) {
        const auto callback =
            std::find_if(owner->callbacks.begin(), owner->callbacks.end(),
                         [&](const HotplugCallback &c) { return c.handle == event.handle; });
        if (callback == owner->callbacks.end())
            continue;
        const HotplugCallback called = *callback;
        lock.unlock();
        const int done = called.function(owner, event.device, event.event, called.userData);
        lock.lock();
        if (done != 0)
            Deregister(owner, called.handle);
    }
    lock.unlock();
    for (libusb_transfer *transfer : finished)
        transfer->callback(transfer);
    return LIBUSB_SUCCESS;
}

// Without USB3_EMULATOR_HOTPLUG=0 hot-plug works as on Linux; with it, as on Windows, where
// libusb has none and a lost device shows only in its transfers.
int LIBUSB_CALL libusb_hotplug_register_callback(libusb_context *context, int events, int flags,
                                                 int, int, int, libusb_hotplug_callback_fn function,
                                                 void *userData,
                                                 libusb_hotplug_callback_handle *handle)
{
    Usb3Bus &bus = Usb3Bus::Get();
    std::lock_guard<std::mutex> lock(bus.Mutex());
    if (!bus.HotPlug())
        return LIBUSB_ERROR_NOT_SUPPORTED;
    libusb_context *owner = ContextOf(context);
    const HotplugCallback callback{owner->nextCallback++, events, function, userData};
    owner->callbacks.push_back(callback);
    if (handle != nullptr)
        *handle = callback.handle;
    if ((flags & LIBUSB_HOTPLUG_ENUMERATE) != 0 && (events & LIBUSB_HOTPLUG_EVENT_DEVICE_ARRIVED) &&
        bus.Attachment() != 0)
        owner->events.push_back({callback.handle, DeviceFor(owner, bus.Attachment()),
                                 LIBUSB_HOTPLUG_EVENT_DEVICE_ARRIVED});
    return LIBUSB_SUCCESS;
}

void LIBUSB_CALL libusb_hotplug_deregister_callback(libusb_context *context,
                                                    libusb_hotplug_callback_handle handle)
{
    std::lock_guard<std::mutex> lock(Usb3Bus::Get().Mutex());
    libusb_context *owner = ContextOf(context);
    if (owner != nullptr)
        Deregister(owner, handle);
}
