#include "UsbDevice.h"

#include <libusb.h>

#include <dirent.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <fstream>
#include <mutex>

namespace usbtmc
{

namespace
{

constexpr unsigned listTimeoutMs = 1000;
// The longest a wait for libusb's events lasts before the deadline and a
// shutdown are looked at again.
constexpr long eventSliceUs = 50000;
// How long a cancelled transfer may take to come back.
constexpr int cancelTimeoutMs = 1000;

struct Context
{
    libusb_context* context = nullptr;
    int status = libusb_init(&context);
    ~Context()
    {
        if (status == 0)
            libusb_exit(context);
    }
    Context() = default;
    Context(const Context&) = delete;
    Context& operator=(const Context&) = delete;
};

struct DeviceList
{
    libusb_device** devices = nullptr;
    ssize_t count = 0;
    explicit DeviceList(libusb_context* context) : count(libusb_get_device_list(context, &devices)) {}
    ~DeviceList()
    {
        if (count >= 0)
            libusb_free_device_list(devices, 1);
    }
    DeviceList(const DeviceList&) = delete;
    DeviceList& operator=(const DeviceList&) = delete;
    libusb_device* const* begin() const { return devices; }
    libusb_device* const* end() const { return devices + std::max<ssize_t>(count, 0); }
};

struct ConfigDescriptor
{
    libusb_config_descriptor* config = nullptr;
    explicit ConfigDescriptor(libusb_device* device)
    {
        if (libusb_get_active_config_descriptor(device, &config) != 0)
            libusb_get_config_descriptor(device, 0, &config);
    }
    ~ConfigDescriptor()
    {
        if (config)
            libusb_free_config_descriptor(config);
    }
    ConfigDescriptor(const ConfigDescriptor&) = delete;
    ConfigDescriptor& operator=(const ConfigDescriptor&) = delete;
};

bool IsUsbTmc(const libusb_interface_descriptor& setting)
{
    return setting.bInterfaceClass == InterfaceClassApplication && setting.bInterfaceSubClass == InterfaceSubclassUsbTmc;
}

std::string Hex4(std::uint16_t value)
{
    char text[8];
    std::snprintf(text, sizeof text, "0x%04X", value);
    return text;
}

std::string FirstLine(const std::string& path)
{
    std::ifstream file(path);
    std::string line;
    std::getline(file, line);
    return line;
}

// What the kernel read of a device's strings, from sysfs: readable by everyone,
// also when the device node is not.
void ReadKernelTexts(UsbTmcInterface& entry)
{
    const std::string root = "/sys/bus/usb/devices/";
    DIR* folder = ::opendir(root.c_str());
    if (!folder)
        return;
    while (const dirent* item = ::readdir(folder)) {
        const std::string path = root + item->d_name + "/";
        if (item->d_name[0] == '.' || FirstLine(path + "busnum") != std::to_string(entry.bus) ||
            FirstLine(path + "devnum") != std::to_string(entry.address))
            continue;
        entry.manufacturer = FirstLine(path + "manufacturer");
        entry.product = FirstLine(path + "product");
        entry.serialNumber = FirstLine(path + "serial");
        break;
    }
    ::closedir(folder);
}

bool ReadString(libusb_device_handle* handle, std::uint8_t index, std::string& text)
{
    text.clear();
    if (index == 0)
        return false;
    unsigned char buffer[256];
    const int length = libusb_get_string_descriptor_ascii(handle, index, buffer, sizeof buffer);
    if (length < 0)
        return false;
    text.assign(reinterpret_cast<const char*>(buffer), static_cast<std::size_t>(length));
    return true;
}

std::string ErrorText(int error)
{
    return libusb_strerror(static_cast<libusb_error>(error));
}

LinkStatus StatusOfError(int error)
{
    switch (error) {
    case LIBUSB_SUCCESS:
        return LinkStatus::Ok;
    case LIBUSB_ERROR_TIMEOUT:
        return LinkStatus::Timeout;
    case LIBUSB_ERROR_NO_DEVICE:
    case LIBUSB_ERROR_NOT_FOUND:
        return LinkStatus::Closed;
    case LIBUSB_ERROR_IO:
    case LIBUSB_ERROR_PIPE:
    case LIBUSB_ERROR_OVERFLOW:
        return LinkStatus::Protocol;
    default:
        return LinkStatus::System;
    }
}

struct Endpoints
{
    std::uint8_t bulkOut = 0;
    std::uint8_t bulkIn = 0;
    std::uint8_t interruptIn = 0;
    std::size_t maxPacket = 64;    // of bulk-IN
    std::size_t maxPacketOut = 64;
};

Endpoints EndpointsOf(const libusb_interface_descriptor& setting)
{
    Endpoints found;
    for (int i = 0; i < setting.bNumEndpoints; ++i) {
        const libusb_endpoint_descriptor& endpoint = setting.endpoint[i];
        const int type = endpoint.bmAttributes & LIBUSB_TRANSFER_TYPE_MASK;
        const bool in = (endpoint.bEndpointAddress & LIBUSB_ENDPOINT_IN) != 0;
        if (type == LIBUSB_TRANSFER_TYPE_BULK && !in && !found.bulkOut) {
            found.bulkOut = endpoint.bEndpointAddress;
            found.maxPacketOut = std::max<std::size_t>(endpoint.wMaxPacketSize & 0x7FF, 8);
        } else if (type == LIBUSB_TRANSFER_TYPE_BULK && in && !found.bulkIn) {
            found.bulkIn = endpoint.bEndpointAddress;
            found.maxPacket = std::max<std::size_t>(endpoint.wMaxPacketSize & 0x7FF, 8);
        } else if (type == LIBUSB_TRANSFER_TYPE_INTERRUPT && in && !found.interruptIn) {
            found.interruptIn = endpoint.bEndpointAddress;
        }
    }
    return found;
}

// The pipes of a claimed interface. Every transfer is submitted on its own
// and waited for with libusb's events until it completes, its deadline passes
// or Shutdown cancels it; only a device that does not give back a cancelled
// transfer leaves it behind, and counts as gone.
class UsbPipes : public Pipes
{
public:
    UsbPipes(std::unique_ptr<Context> context, libusb_device_handle* handle, std::uint8_t interfaceNumber,
             const Endpoints& endpoints)
        : m_context(std::move(context)), m_handle(handle), m_interface(interfaceNumber), m_endpoints(endpoints)
    {
    }

    ~UsbPipes() override
    {
        // Releasing gives the interface back to the kernel driver that had it.
        libusb_release_interface(m_handle, m_interface);
        libusb_close(m_handle);
    }

    LinkStatus Control(const SetupPacket& setup, std::string_view out, std::string* in, bool& stalled,
                       Deadline deadline) override
    {
        stalled = false;
        const bool isIn = (setup.requestType & LIBUSB_ENDPOINT_IN) != 0;
        const std::size_t data = isIn ? setup.length : std::min<std::size_t>(out.size(), setup.length);
        std::vector<unsigned char> buffer(LIBUSB_CONTROL_SETUP_SIZE + data);
        libusb_fill_control_setup(buffer.data(), setup.requestType, setup.request, setup.value, setup.index,
                                  static_cast<std::uint16_t>(data));
        if (!isIn)
            std::copy(out.begin(), out.begin() + static_cast<std::ptrdiff_t>(data),
                      buffer.begin() + LIBUSB_CONTROL_SETUP_SIZE);
        std::size_t count = 0;
        int transferStatus = 0;
        const LinkStatus status = Run(
            [&](libusb_transfer* transfer) {
                libusb_fill_control_transfer(transfer, m_handle, buffer.data(), Completed, nullptr, 0);
            },
            count, transferStatus, deadline);
        if (transferStatus == LIBUSB_TRANSFER_STALL) {
            stalled = true;
            return LinkStatus::Ok;
        }
        if (status == LinkStatus::Ok && in)
            in->assign(reinterpret_cast<const char*>(buffer.data()) + LIBUSB_CONTROL_SETUP_SIZE, count);
        return status;
    }

    // The pieces go out as one stream of packets: only a short packet would
    // end the transfer early, so everything before the last packet leaves in
    // whole packets. Whole packets within a piece go straight from the
    // caller's memory; the bytes around them are gathered into packets first.
    LinkStatus BulkOut(const std::vector<iovec>& pieces, Deadline deadline) override
    {
        const std::size_t packet = m_endpoints.maxPacketOut;
        std::vector<unsigned char> gathered;
        std::size_t count = 0;
        // A device that takes fewer bytes than it was given is no USBTMC device.
        const auto send = [&](unsigned char* data, std::size_t size) {
            const LinkStatus status = Bulk(m_endpoints.bulkOut, data, size, count, deadline);
            return status == LinkStatus::Ok && count != size ? LinkStatus::Protocol : status;
        };
        const auto flush = [&] {
            LinkStatus status = LinkStatus::Ok;
            if (!gathered.empty())
                status = send(gathered.data(), gathered.size());
            gathered.clear();
            return status;
        };
        for (const iovec& piece : pieces) {
            auto* at = static_cast<unsigned char*>(piece.iov_base);
            std::size_t left = piece.iov_len;
            while (left > 0) {
                if (gathered.size() % packet == 0 && left >= packet) {
                    const std::size_t whole = left / packet * packet;
                    LinkStatus status = flush();
                    if (status == LinkStatus::Ok)
                        status = send(at, whole);
                    if (status != LinkStatus::Ok)
                        return status;
                    at += whole;
                    left -= whole;
                    continue;
                }
                const std::size_t take = std::min(left, packet - gathered.size() % packet);
                gathered.insert(gathered.end(), at, at + take);
                at += take;
                left -= take;
            }
        }
        return flush();
    }

    LinkStatus BulkIn(char* destination, std::size_t capacity, std::size_t& count, Deadline deadline) override
    {
        return Bulk(m_endpoints.bulkIn, reinterpret_cast<unsigned char*>(destination), capacity, count, deadline);
    }

    LinkStatus InterruptIn(char* destination, std::size_t capacity, std::size_t& count, Deadline deadline) override
    {
        int transferStatus = 0;
        return Run(
            [&](libusb_transfer* transfer) {
                libusb_fill_interrupt_transfer(transfer, m_handle, m_endpoints.interruptIn,
                                               reinterpret_cast<unsigned char*>(destination),
                                               static_cast<int>(capacity), Completed, nullptr, 0);
            },
            count, transferStatus, deadline);
    }

    LinkStatus ClearHalt(std::uint8_t endpoint, Deadline) override
    {
        if (m_shutdown)
            return LinkStatus::Closed;
        return StatusOfError(libusb_clear_halt(m_handle, endpoint));
    }

    bool HasInterruptIn() const override { return m_endpoints.interruptIn != 0; }
    std::uint8_t InterfaceNumber() const override { return m_interface; }
    std::uint8_t BulkOutEndpoint() const override { return m_endpoints.bulkOut; }
    std::uint8_t BulkInEndpoint() const override { return m_endpoints.bulkIn; }
    std::size_t MaxPacketSize() const override { return m_endpoints.maxPacket; }
    bool Usable() const override { return !m_shutdown && !m_gone; }

    void Shutdown() override
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_shutdown = true;
        if (m_current)
            libusb_cancel_transfer(m_current);
        libusb_interrupt_event_handler(m_context->context);
    }

private:
    static void LIBUSB_CALL Completed(libusb_transfer* transfer)
    {
        *static_cast<int*>(transfer->user_data) = 1;
    }

    LinkStatus Bulk(std::uint8_t endpoint, unsigned char* data, std::size_t length, std::size_t& count,
                    Deadline deadline)
    {
        int transferStatus = 0;
        const LinkStatus status = Run(
            [&](libusb_transfer* transfer) {
                libusb_fill_bulk_transfer(transfer, m_handle, endpoint, data, static_cast<int>(length), Completed,
                                          this, 0);
            },
            count, transferStatus, deadline);
        return transferStatus == LIBUSB_TRANSFER_STALL ? LinkStatus::Protocol : status;
    }

    template <typename Fill>
    LinkStatus Run(Fill fill, std::size_t& count, int& transferStatus, Deadline deadline)
    {
        count = 0;
        transferStatus = LIBUSB_TRANSFER_ERROR;
        if (!Usable())
            return LinkStatus::Closed;
        libusb_transfer* transfer = libusb_alloc_transfer(0);
        if (!transfer)
            return LinkStatus::System;
        int completed = 0;
        fill(transfer);
        transfer->user_data = &completed;
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            if (m_shutdown) {
                libusb_free_transfer(transfer);
                return LinkStatus::Closed;
            }
            const int submitted = libusb_submit_transfer(transfer);
            if (submitted != 0) {
                libusb_free_transfer(transfer);
                if (submitted == LIBUSB_ERROR_NO_DEVICE)
                    m_gone = true;
                return StatusOfError(submitted);
            }
            m_current = transfer;
        }
        bool cancelled = false;
        Deadline given = NoDeadline; // for the cancelled transfer to come back
        while (!completed) {
            const auto left = std::chrono::duration_cast<std::chrono::microseconds>(deadline - Clock::now()).count();
            if (left <= 0 && !cancelled) {
                std::lock_guard<std::mutex> lock(m_mutex);
                libusb_cancel_transfer(transfer);
                cancelled = true;
            }
            if (cancelled && given == NoDeadline)
                given = DeadlineAfter(cancelTimeoutMs);
            if (cancelled && Clock::now() >= given) {
                // A device that neither completes nor gives back a transfer
                // is as good as gone. The transfer stays allocated: freeing it
                // while the system may still hold it is worse than the bytes.
                std::lock_guard<std::mutex> lock(m_mutex);
                m_current = nullptr;
                m_gone = true;
                return LinkStatus::Closed;
            }
            timeval wait{0, std::clamp<long>(static_cast<long>(left), 1000, eventSliceUs)};
            const int handled = libusb_handle_events_timeout_completed(m_context->context, &wait, &completed);
            if (handled != 0 && handled != LIBUSB_ERROR_INTERRUPTED && handled != LIBUSB_ERROR_TIMEOUT && !cancelled) {
                std::lock_guard<std::mutex> lock(m_mutex);
                libusb_cancel_transfer(transfer);
                cancelled = true;
            }
        }
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_current = nullptr;
        }
        count = static_cast<std::size_t>(std::max(transfer->actual_length, 0));
        transferStatus = transfer->status;
        libusb_free_transfer(transfer);
        switch (transferStatus) {
        case LIBUSB_TRANSFER_COMPLETED:
            return LinkStatus::Ok;
        case LIBUSB_TRANSFER_CANCELLED:
        case LIBUSB_TRANSFER_TIMED_OUT:
            return m_shutdown ? LinkStatus::Closed : LinkStatus::Timeout;
        case LIBUSB_TRANSFER_NO_DEVICE:
            m_gone = true;
            return LinkStatus::Closed;
        default:
            return LinkStatus::Protocol;
        }
    }

    std::unique_ptr<Context> m_context;
    libusb_device_handle* m_handle;
    std::uint8_t m_interface;
    Endpoints m_endpoints;
    std::mutex m_mutex; // m_current and the cancel against the completion
    libusb_transfer* m_current = nullptr;
    std::atomic<bool> m_shutdown{false};
    std::atomic<bool> m_gone{false};
};

// Where a device is and what it is, from its device descriptor.
UsbTmcInterface Locate(libusb_device* device, const libusb_device_descriptor& descriptor)
{
    UsbTmcInterface entry;
    entry.bus = libusb_get_bus_number(device);
    entry.address = libusb_get_device_address(device);
    entry.vendorId = descriptor.idVendor;
    entry.productId = descriptor.idProduct;
    return entry;
}

// The device's texts from its string descriptors; false when it gives no serial number.
bool ReadTexts(libusb_device_handle* handle, const libusb_device_descriptor& descriptor, std::string& manufacturer,
               std::string& product, std::string& serialNumber)
{
    ReadString(handle, descriptor.iManufacturer, manufacturer);
    ReadString(handle, descriptor.iProduct, product);
    return ReadString(handle, descriptor.iSerialNumber, serialNumber);
}

std::string OpenProblem(const UsbTmcInterface& device, int error)
{
    return error == LIBUSB_ERROR_ACCESS
               ? NoAccessText(device)
               : "The USB device on " + device.Where() + " cannot be opened: " + ErrorText(error) + ".";
}

// The USBTMC interfaces of one device, with what its descriptors and strings say.
void AddInterfaces(libusb_device* device, std::vector<UsbTmcInterface>& found)
{
    libusb_device_descriptor descriptor{};
    if (libusb_get_device_descriptor(device, &descriptor) != 0)
        return;
    const ConfigDescriptor config(device);
    if (!config.config)
        return;
    UsbTmcInterface entry = Locate(device, descriptor);
    std::vector<UsbTmcInterface> interfaces;
    for (int i = 0; i < config.config->bNumInterfaces; ++i) {
        const libusb_interface& interface = config.config->interface[i];
        if (interface.num_altsetting < 1 || !IsUsbTmc(interface.altsetting[0]))
            continue;
        entry.interfaceNumber = interface.altsetting[0].bInterfaceNumber;
        entry.protocol = interface.altsetting[0].bInterfaceProtocol;
        interfaces.push_back(entry);
    }
    if (interfaces.empty())
        return;
    libusb_device_handle* handle = nullptr;
    const int opened = libusb_open(device, &handle);
    UsbTmcInterface texts = entry;
    if (opened == 0) {
        texts.serialRead = ReadTexts(handle, descriptor, texts.manufacturer, texts.product, texts.serialNumber);
        libusb_close(handle);
        if (!texts.serialRead)
            texts.problem = "The USB device on " + texts.Where() + " gives no serial number.";
    } else {
        ReadKernelTexts(texts);
        texts.serialRead = false;
        texts.problem = OpenProblem(texts, opened);
    }
    for (UsbTmcInterface& interface : interfaces) {
        interface.manufacturer = texts.manufacturer;
        interface.product = texts.product;
        interface.serialNumber = texts.serialNumber;
        interface.serialRead = texts.serialRead;
        interface.problem = texts.problem;
        found.push_back(std::move(interface));
    }
}

} // namespace

std::string UsbTmcInterface::Where() const
{
    return "bus " + std::to_string(bus) + ", address " + std::to_string(address) + " (vendor " + Hex4(vendorId) +
           ", product " + Hex4(productId) + ")";
}

// Short enough for a VISA status text (255 characters) with the status name before it.
std::string NoAccessText(const UsbTmcInterface& device)
{
    return "No permission to open the USB device on " + device.Where() +
           ": Ostrel's udev rule (70-ostrel.rules) gives the user at the seat access; after installing it, unplug "
           "the device and plug it in again.";
}

std::vector<UsbTmcInterface> ListUsbTmcInterfaces()
{
    std::vector<UsbTmcInterface> found;
    const Context context;
    if (context.status != 0)
        return found;
    const DeviceList devices(context.context);
    for (libusb_device* device : devices)
        AddInterfaces(device, found);
    std::sort(found.begin(), found.end(), [](const UsbTmcInterface& a, const UsbTmcInterface& b) {
        return std::tie(a.bus, a.address, a.interfaceNumber) < std::tie(b.bus, b.address, b.interfaceNumber);
    });
    return found;
}

OpenResult OpenUsbTmc(const UsbTmcSelector& selector, std::unique_ptr<Pipes>& pipes, DeviceInfo& info,
                      std::string& problem)
{
    problem.clear();
    OpenResult failure = OpenResult::NotFound;
    auto context = std::make_unique<Context>();
    if (context->status != 0)
        return OpenResult::NotFound;
    const DeviceList devices(context->context);
    for (libusb_device* device : devices) {
        libusb_device_descriptor descriptor{};
        if (libusb_get_device_descriptor(device, &descriptor) != 0 || descriptor.idVendor != selector.vendorId ||
            (selector.productId && descriptor.idProduct != *selector.productId))
            continue;
        const UsbTmcInterface where = Locate(device, descriptor);
        if (!selector.bySerial && (where.bus != selector.bus || where.address != selector.address))
            continue;
        const ConfigDescriptor config(device);
        const libusb_interface_descriptor* setting = nullptr;
        for (int i = 0; config.config && i < config.config->bNumInterfaces; ++i) {
            const libusb_interface& interface = config.config->interface[i];
            if (!setting && interface.num_altsetting >= 1 && IsUsbTmc(interface.altsetting[0]) &&
                (!selector.interfaceNumber || interface.altsetting[0].bInterfaceNumber == *selector.interfaceNumber))
                setting = &interface.altsetting[0];
        }
        if (!setting)
            continue;
        libusb_device_handle* handle = nullptr;
        const int opened = libusb_open(device, &handle);
        if (opened != 0) {
            // Another device of the same ids may be the one; this one is named in case none is.
            problem = OpenProblem(where, opened);
            failure = opened == LIBUSB_ERROR_ACCESS ? OpenResult::NoAccess : OpenResult::Failed;
            continue;
        }
        DeviceInfo texts;
        texts.vendorId = descriptor.idVendor;
        texts.productId = descriptor.idProduct;
        texts.serialRead = ReadTexts(handle, descriptor, texts.manufacturer, texts.product, texts.serialNumber);
        if (selector.bySerial && (!texts.serialRead || texts.serialNumber != selector.serialNumber)) {
            libusb_close(handle);
            continue;
        }
        const std::uint8_t interfaceNumber = setting->bInterfaceNumber;
        libusb_set_auto_detach_kernel_driver(handle, 1);
        const int claimed = libusb_claim_interface(handle, interfaceNumber);
        if (claimed != 0) {
            libusb_close(handle);
            problem = claimed == LIBUSB_ERROR_BUSY
                          ? "The USB device on " + where.Where() + " is in use by another program."
                          : "The USB device on " + where.Where() + " cannot be claimed: " + ErrorText(claimed) + ".";
            return claimed == LIBUSB_ERROR_BUSY ? OpenResult::Busy : OpenResult::Failed;
        }
        const Endpoints endpoints = EndpointsOf(*setting);
        if (!endpoints.bulkIn || !endpoints.bulkOut) {
            libusb_release_interface(handle, interfaceNumber);
            libusb_close(handle);
            problem = "The USBTMC interface of the USB device on " + where.Where() + " has no bulk endpoints.";
            return OpenResult::Failed;
        }
        info = texts;
        pipes = std::make_unique<UsbPipes>(std::move(context), handle, interfaceNumber, endpoints);
        return OpenResult::Ok;
    }
    return failure;
}

} // namespace usbtmc
