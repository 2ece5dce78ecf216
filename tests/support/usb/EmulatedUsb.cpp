#include "EmulatedUsb.h"

#include "ServedSensor.h"
#include "UsbTmc.h"

#include <umockdev.h>

#include <sys/ioctl.h>
#include <linux/usbdevice_fs.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <filesystem>
#include <map>
#include <mutex>
#include <stdexcept>
#include <thread>
#include <utility>
#include <vector>

using namespace usbtmc;

namespace
{

constexpr std::uint8_t busNumber = 1;
constexpr std::size_t maxPacket = 512;

void Put16(std::string& to, std::size_t at, std::uint16_t value)
{
    to[at] = static_cast<char>(value & 0xFF);
    to[at + 1] = static_cast<char>(value >> 8);
}

struct EndpointPlan
{
    std::uint8_t address;
    std::uint8_t attributes; // 2 bulk, 3 interrupt
    std::uint16_t maxPacketSize;
};

struct InterfacePlan
{
    std::uint8_t number;
    std::uint8_t cls, subclass, protocol;
    std::vector<EndpointPlan> endpoints;
};

// The device descriptor followed by the whole configuration, as sysfs gives it.
std::string Descriptors(std::uint16_t vendor, std::uint16_t product, const std::vector<InterfacePlan>& interfaces)
{
    std::string all = EncodeDeviceDescriptor(vendor, product);
    std::string config(9, '\0');
    config[0] = 9;
    config[1] = 2;
    config[4] = static_cast<char>(interfaces.size());
    config[5] = 1;                   // bConfigurationValue
    config[7] = static_cast<char>(0x80);
    config[8] = 50;
    for (const InterfacePlan& plan : interfaces) {
        std::string interface(9, '\0');
        interface[0] = 9;
        interface[1] = 4;
        interface[2] = static_cast<char>(plan.number);
        interface[4] = static_cast<char>(plan.endpoints.size());
        interface[5] = static_cast<char>(plan.cls);
        interface[6] = static_cast<char>(plan.subclass);
        interface[7] = static_cast<char>(plan.protocol);
        config += interface;
        for (const EndpointPlan& endpoint : plan.endpoints) {
            std::string e(7, '\0');
            e[0] = 7;
            e[1] = 5;
            e[2] = static_cast<char>(endpoint.address);
            e[3] = static_cast<char>(endpoint.attributes);
            Put16(e, 4, endpoint.maxPacketSize);
            e[6] = endpoint.attributes == 3 ? 1 : 0;
            config += e;
        }
    }
    Put16(config, 2, static_cast<std::uint16_t>(config.size()));
    return all + config;
}

// A URB as the client submitted it, with its buffer, until it is reaped.
struct Urb
{
    UMockdevIoctlData* data = nullptr;
    UMockdevIoctlData* buffer = nullptr;
    std::size_t taken = 0; // bulk-OUT bytes the device took of it
    usbdevfs_urb* View() const { return reinterpret_cast<usbdevfs_urb*>(data->data); }
    unsigned char* Bytes() const { return buffer ? buffer->data : nullptr; }
    void Release()
    {
        if (buffer)
            g_object_unref(buffer);
        g_object_unref(data);
    }
};

struct ClientState
{
    std::deque<Urb> bulkOut; // the device takes no more of them for now
    std::deque<Urb> bulkIn;
    std::deque<Urb> interruptIn;
    std::deque<Urb> done;
    std::uint64_t owner = ServedSensor::NewOwner();
};

} // namespace

struct EmulatedUsbBus::Device
{
    std::mutex mutex;
    int address = 0;
    std::string node;
    std::string syspath;
    std::uint16_t vendor = 0;
    std::uint16_t product = 0;
    std::string strings[3]; // manufacturer, product, serial
    Options options;
    std::uint8_t interfaceNumber = 0;
    bool hasInterrupt = true;
    bool driverBound = false;
    std::size_t packet = maxPacket; // of the bulk endpoints
    UMockdevIoctlClient* claimedBy = nullptr; // as usbfs: one open file at a time claims the interface
    int reattached = 0;
    bool gone = false;
    bool holdOut = false;   // takes the first packet of a bulk-OUT URB, then NAKs
    bool outHalted = false; // after an aborted bulk-OUT transfer, until the host clears it
    std::vector<std::string> requests;
    Impl* bus = nullptr;
    UMockdevIoctlBase* handler = nullptr;
    std::map<UMockdevIoctlClient*, ClientState> clients;

    // The USBTMC function: the sensor's engine, or a small answering machine.
    std::shared_ptr<ServedSensor> sensor;
    std::string counterReply;
    std::string outBytes; // bulk-OUT bytes not parsed yet
    std::string message;
    struct
    {
        bool active = false;
        std::uint8_t tag = 0;
        std::uint32_t size = 0;
    } request;
    std::string transfer; // the bulk-IN transfer being sent
    std::size_t sent = 0;
    bool shortPacket = false; // an aborted transfer ends with one
    std::deque<std::string> notifications;

    bool Control(const SetupPacket& setup, ClientState& client, std::string& reply);
    void SubmitOut(const Urb& urb, ClientState& client);
    void LeaveBus();
    void BulkOut(const unsigned char* bytes, std::size_t size);
    void Execute();
    void Pump(ClientState& client);
    bool HasOutput();
    std::uint8_t StatusByte();
    void DropOutput();
};

bool EmulatedUsbBus::Device::HasOutput()
{
    if (sensor) {
        std::lock_guard<std::mutex> lock(sensor->Mutex());
        return sensor->Engine().HasOutput() && std::chrono::steady_clock::now() >= sensor->outputDue;
    }
    return !counterReply.empty();
}

std::uint8_t EmulatedUsbBus::Device::StatusByte()
{
    if (!sensor)
        return counterReply.empty() ? 0 : StatusMessageAvailable;
    std::lock_guard<std::mutex> lock(sensor->Mutex());
    sensor->RefreshFaults();
    return sensor->Engine().StatusByte();
}

void EmulatedUsbBus::Device::DropOutput()
{
    request.active = false;
    transfer.clear();
    sent = 0;
    counterReply.clear();
    if (sensor) {
        std::lock_guard<std::mutex> lock(sensor->Mutex());
        sensor->Engine().DeviceClear();
    }
}

void EmulatedUsbBus::Device::Execute()
{
    if (!sensor) {
        if (message.find("*IDN?") != std::string::npos || message.find("*idn?") != std::string::npos)
            counterReply = "Test Instruments,Counter,C123,1.0\n";
        return;
    }
    std::lock_guard<std::mutex> lock(sensor->Mutex());
    sensor->RefreshFaults();
    sensor->Engine().Execute(message);
    sensor->outputDue =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(sensor->Engine().Faults().delayMs);
}

// The bulk-OUT stream, whatever its URBs: USBTMC transfers, each a header,
// its bytes and padding.
void EmulatedUsbBus::Device::BulkOut(const unsigned char* bytes, std::size_t size)
{
    outBytes.append(reinterpret_cast<const char*>(bytes), size);
    std::size_t at = 0;
    while (outBytes.size() - at >= BulkHeaderSize) {
        BulkHeader header;
        if (!DecodeBulkHeader(outBytes.data() + at, header)) {
            outBytes.clear();
            return;
        }
        if (header.msgId == REQUEST_DEV_DEP_MSG_IN) {
            request.active = true;
            request.tag = header.tag;
            request.size = header.transferSize;
            at += BulkHeaderSize;
            continue;
        }
        const std::size_t total = BulkHeaderSize + header.transferSize + PaddingFor(header.transferSize);
        if (outBytes.size() - at < total)
            break;
        if (message.empty() && !(header.attributes & AttributeEom))
            message.reserve(64u << 20);
        message.append(outBytes, at + BulkHeaderSize, header.transferSize);
        at += total;
        if (header.attributes & AttributeEom) {
            request.active = false;
            Execute();
            message.clear();
        }
    }
    outBytes.erase(0, at);
}

// A bulk-OUT URB: refused while the endpoint is halted; while held, the
// first packet is taken and the rest waits.
void EmulatedUsbBus::Device::SubmitOut(const Urb& submitted, ClientState& client)
{
    Urb urb = submitted;
    usbdevfs_urb* view = urb.View();
    const std::size_t length = static_cast<std::size_t>(view->buffer_length);
    if (outHalted) {
        view->actual_length = 0;
        view->status = -EPIPE;
        client.done.push_back(urb);
        return;
    }
    const std::size_t take = holdOut ? std::min(length - urb.taken, packet) : length - urb.taken;
    BulkOut(urb.Bytes() + urb.taken, take);
    urb.taken += take;
    if (urb.taken < length) {
        client.bulkOut.push_back(urb);
        return;
    }
    view->actual_length = static_cast<int>(length);
    view->status = 0;
    client.done.push_back(urb);
}

// Hands out what is ready to the client's waiting URBs.
void EmulatedUsbBus::Device::Pump(ClientState& client)
{
    if (!holdOut)
        for (std::deque<Urb> waiting = std::exchange(client.bulkOut, {}); !waiting.empty(); waiting.pop_front())
            SubmitOut(waiting.front(), client);
    if (transfer.empty() && request.active && HasOutput()) {
        std::string data;
        bool end = true;
        if (sensor) {
            std::lock_guard<std::mutex> lock(sensor->Mutex());
            const OutputChunk chunk = sensor->Engine().TakeOutput(std::min<std::uint32_t>(request.size, MaxTransferData));
            for (const OutputPiece& piece : chunk.pieces)
                data.append(*piece.storage, piece.offset, piece.size);
            end = chunk.end;
        } else {
            data = counterReply.substr(0, request.size);
            counterReply.erase(0, data.size());
            end = counterReply.empty();
        }
        BulkHeader header;
        header.msgId = DEV_DEP_MSG_IN;
        header.tag = request.tag;
        header.transferSize = static_cast<std::uint32_t>(data.size());
        header.attributes = end ? AttributeEom : 0;
        const auto bytes = EncodeBulkHeader(header);
        transfer.assign(bytes.data(), bytes.size());
        transfer += data;
        transfer.append(PaddingFor(data.size()), '\0');
        sent = 0;
        request.active = false;
    }
    while ((!transfer.empty() || shortPacket) && !client.bulkIn.empty()) {
        Urb urb = client.bulkIn.front();
        client.bulkIn.pop_front();
        usbdevfs_urb* view = urb.View();
        const std::size_t length = static_cast<std::size_t>(view->buffer_length);
        const std::size_t take = std::min(length, transfer.size() - sent);
        if (take > 0)
            std::memcpy(urb.Bytes(), transfer.data() + sent, take);
        sent += take;
        view->actual_length = static_cast<int>(take);
        // A packet that does not fit what is left of the buffer overflows it, as on a real bus.
        view->status = length % packet != 0 && transfer.size() - sent > 0 ? -EOVERFLOW : 0;
        if (take < static_cast<std::size_t>(view->buffer_length) || sent == transfer.size()) {
            transfer.clear();
            sent = 0;
            shortPacket = false;
        }
        client.done.push_back(urb);
    }
    while (!notifications.empty() && !client.interruptIn.empty()) {
        Urb urb = client.interruptIn.front();
        client.interruptIn.pop_front();
        const std::string& note = notifications.front();
        const std::size_t take = std::min<std::size_t>(note.size(), static_cast<std::size_t>(urb.View()->buffer_length));
        std::memcpy(urb.Bytes(), note.data(), take);
        urb.View()->actual_length = static_cast<int>(take);
        urb.View()->status = 0;
        notifications.pop_front();
        client.done.push_back(urb);
    }
}

bool EmulatedUsbBus::Device::Control(const SetupPacket& setup, ClientState& client, std::string& reply)
{
    const std::uint8_t kind = static_cast<std::uint8_t>(setup.value >> 8);
    const std::uint8_t index = static_cast<std::uint8_t>(setup.value & 0xFF);
    if (setup.requestType == RequestTypeStandardIn && setup.request == GET_DESCRIPTOR) {
        if (kind == DescriptorDevice) {
            reply = EncodeDeviceDescriptor(vendor, product);
            return true;
        }
        if (kind != DescriptorString)
            return false;
        if (index == 0) {
            reply = std::string("\x04\x03\x09\x04", 4);
            return true;
        }
        if (index > 3 || (index == 3 && !options.serialReadable))
            return false;
        reply = EncodeStringDescriptor(strings[index - 1]);
        return true;
    }
    const char success = static_cast<char>(USBTMC_STATUS_SUCCESS);
    if (setup.requestType == RequestTypeClassInterfaceIn) {
        switch (setup.request) {
        case GET_CAPABILITIES:
            reply.assign(0x18, '\0');
            reply[0] = success;
            Put16(reply, 2, 0x0100);
            reply[14] = hasInterrupt ? 0x04 : 0; // USB488 interface
            reply[15] = hasInterrupt ? 0x01 : 0;
            return true;
        case INITIATE_CLEAR:
            requests.push_back("INITIATE_CLEAR");
            DropOutput();
            message.clear();
            outBytes.clear();
            reply = std::string(1, success);
            return true;
        case CHECK_CLEAR_STATUS:
            requests.push_back("CHECK_CLEAR_STATUS");
            reply = std::string{success, 0};
            return true;
        case READ_STATUS_BYTE: {
            const std::uint8_t statusByte = StatusByte();
            if (hasInterrupt) {
                reply = {success, static_cast<char>(index), 0};
                notifications.push_back({static_cast<char>(NotifyStatusByte | index), static_cast<char>(statusByte)});
            } else {
                reply = {success, static_cast<char>(index), static_cast<char>(statusByte)};
            }
            return true;
        }
        default:
            return false;
        }
    }
    if (setup.requestType == RequestTypeClassEndpointIn) {
        switch (setup.request) {
        case INITIATE_ABORT_BULK_IN: {
            requests.push_back("INITIATE_ABORT_BULK_IN");
            const bool inProgress = request.active || !transfer.empty();
            const std::uint8_t tag = request.active ? request.tag : static_cast<std::uint8_t>(transfer.empty() ? 0 : transfer[1]);
            if (!inProgress || tag != index) {
                reply = {static_cast<char>(USBTMC_STATUS_TRANSFER_NOT_IN_PROGRESS), static_cast<char>(index)};
                return true;
            }
            DropOutput();
            shortPacket = true;
            reply = {success, static_cast<char>(index)};
            return true;
        }
        case CHECK_ABORT_BULK_IN_STATUS:
        case CHECK_ABORT_BULK_OUT_STATUS:
            requests.push_back(setup.request == CHECK_ABORT_BULK_IN_STATUS ? "CHECK_ABORT_BULK_IN_STATUS"
                                                                            : "CHECK_ABORT_BULK_OUT_STATUS");
            reply.assign(8, '\0');
            reply[0] = success;
            return true;
        case INITIATE_ABORT_BULK_OUT: {
            // Only a transfer of that tag that came in part is in progress;
            // dropping it halts bulk-OUT until the host clears the halt.
            requests.push_back("INITIATE_ABORT_BULK_OUT");
            const bool inProgress = outBytes.size() >= BulkHeaderSize && static_cast<std::uint8_t>(outBytes[1]) == index;
            if (!inProgress) {
                reply = {static_cast<char>(USBTMC_STATUS_TRANSFER_NOT_IN_PROGRESS), static_cast<char>(index)};
                return true;
            }
            message.clear();
            outBytes.clear();
            outHalted = true;
            reply = {success, static_cast<char>(index)};
            return true;
        }
        default:
            return false;
        }
    }
    if (!sensor)
        return false;
    std::lock_guard<std::mutex> lock(sensor->Mutex());
    if (setup.requestType == RequestTypeVendorIn && setup.request == VendorGetError) {
        const SensorError error = sensor->Engine().PopError();
        reply.assign(8, '\0');
        PutLittleEndian32(reply.data(), error.sensorCode);
        PutLittleEndian32(reply.data() + 4, static_cast<std::uint32_t>(error.scpiCode));
        reply += error.text;
        return true;
    }
    if (setup.requestType == RequestTypeVendorIn && (setup.request == VendorLock || setup.request == VendorUnlock)) {
        const bool done = setup.request == VendorLock ? sensor->TryLock(client.owner) : sensor->Unlock(client.owner);
        reply = std::string(1, done ? '\1' : '\0');
        return true;
    }
    if (setup.requestType == RequestTypeVendorOut && setup.request == VendorStoreAndRestart) {
        if (sensor->Engine().Faults().restartFails)
            return false;
        sensor->Restart();
        LeaveBus();
        return true;
    }
    return false;
}

struct EmulatedUsbBus::Impl
{
    UMockdevTestbed* testbed = nullptr;
    mutable std::mutex mutex; // the devices and the test bed
    std::map<int, std::unique_ptr<Device>> devices;
    int nextAddress = 2;

    // Sensors that restart: they leave the bus and come back, on a thread of their own.
    std::mutex restartMutex;
    std::condition_variable restartWake;
    std::deque<int> restarting;
    bool stopping = false;
    std::thread restarter;

    Device& Add(std::unique_ptr<Device> device, const std::vector<InterfacePlan>& interfaces);
    int AddSensor(std::shared_ptr<ServedSensor> sensor, const Options& options);
    void Unplug(Device& device);
    void Restart(int address);
    void Restarts();
    Device& At(int address) const
    {
        std::lock_guard<std::mutex> lock(mutex);
        return *devices.at(address);
    }
};

// Called while the device is locked: the bus takes it away once this request is answered.
void EmulatedUsbBus::Device::LeaveBus()
{
    if (bus)
        bus->Restart(address);
}

void EmulatedUsbBus::Impl::Restart(int address)
{
    std::lock_guard<std::mutex> lock(restartMutex);
    restarting.push_back(address);
    if (!restarter.joinable())
        restarter = std::thread([this] { Restarts(); });
    restartWake.notify_all();
}

void EmulatedUsbBus::Impl::Restarts()
{
    std::unique_lock<std::mutex> lock(restartMutex);
    for (;;) {
        restartWake.wait(lock, [this] { return stopping || !restarting.empty(); });
        if (stopping)
            return;
        const int address = restarting.front();
        restarting.pop_front();
        lock.unlock();
        Device& device = At(address);
        Unplug(device);
        lock.lock();
        if (restartWake.wait_for(lock, std::chrono::milliseconds(restartMs), [this] { return stopping; }))
            return;
        lock.unlock();
        bool unplugged = false;
        {
            std::lock_guard<std::mutex> sensorLock(device.sensor->Mutex());
            unplugged = device.sensor->RefreshFaults().unplugged;
        }
        if (!unplugged)
            AddSensor(device.sensor, device.options);
        lock.lock();
    }
}

namespace
{

int Fail(UMockdevIoctlClient* client, int error)
{
    umockdev_ioctl_client_complete(client, -1, error);
    return TRUE;
}

gboolean OnIoctl(UMockdevIoctlBase*, UMockdevIoctlClient* client, gpointer user)
{
    auto& device = *static_cast<EmulatedUsbBus::Device*>(user);
    std::lock_guard<std::mutex> lock(device.mutex);
    const unsigned long request = umockdev_ioctl_client_get_request(client);
    ClientState& state = device.clients[client];
    // A device that left still hands back its URBs, failed, as usbfs does.
    const bool reap = request == USBDEVFS_REAPURB || request == USBDEVFS_REAPURBNDELAY;
    if (device.gone && !(reap && !state.done.empty()))
        return Fail(client, ENODEV);
    UMockdevIoctlData* arg = umockdev_ioctl_client_get_arg(client);
    const std::size_t size = _IOC_SIZE(request);
    GError* error = nullptr;
    UMockdevIoctlData* data = size > 0 ? umockdev_ioctl_data_resolve(arg, 0, size, &error) : nullptr;
    if (size > 0 && !data) {
        g_clear_error(&error);
        return Fail(client, EFAULT);
    }
    const auto finish = [&](long result, int errorNumber) {
        umockdev_ioctl_client_complete(client, result, errorNumber);
        if (data)
            g_object_unref(data);
        return TRUE;
    };
    switch (request) {
    case USBDEVFS_GET_CAPABILITIES:
        *reinterpret_cast<std::uint32_t*>(data->data) =
            USBDEVFS_CAP_NO_PACKET_SIZE_LIM | USBDEVFS_CAP_REAP_AFTER_DISCONNECT | USBDEVFS_CAP_ZERO_PACKET;
        return finish(0, 0);
    case USBDEVFS_GETDRIVER: {
        auto* driver = reinterpret_cast<usbdevfs_getdriver*>(data->data);
        if (!device.driverBound || driver->interface != device.interfaceNumber)
            return finish(-1, ENODATA);
        std::strcpy(driver->driver, "usbtmc");
        return finish(0, 0);
    }
    case USBDEVFS_DISCONNECT_CLAIM:
        if (device.claimedBy && device.claimedBy != client)
            return finish(-1, EBUSY);
        device.driverBound = false;
        device.claimedBy = client;
        return finish(0, 0);
    case USBDEVFS_IOCTL: {
        const auto* command = reinterpret_cast<usbdevfs_ioctl*>(data->data);
        if (command->ioctl_code == static_cast<int>(USBDEVFS_DISCONNECT)) {
            device.driverBound = false;
            return finish(0, 0);
        }
        if (command->ioctl_code == static_cast<int>(USBDEVFS_CONNECT)) {
            if (device.options.kernelDriver && !device.driverBound) {
                device.driverBound = true;
                ++device.reattached;
            }
            return finish(1, 0);
        }
        return finish(-1, ENOTTY);
    }
    case USBDEVFS_CLAIMINTERFACE: {
        if (*reinterpret_cast<unsigned*>(data->data) != device.interfaceNumber)
            return finish(0, 0);
        if (device.driverBound || (device.claimedBy && device.claimedBy != client))
            return finish(-1, EBUSY);
        device.claimedBy = client;
        return finish(0, 0);
    }
    case USBDEVFS_CLEAR_HALT: {
        const unsigned endpoint = *reinterpret_cast<unsigned*>(data->data);
        char name[32];
        std::snprintf(name, sizeof name, "CLEAR_HALT 0x%02x", endpoint);
        device.requests.push_back(name);
        if (!(endpoint & 0x80))
            device.outHalted = false;
        return finish(0, 0);
    }
    case USBDEVFS_RELEASEINTERFACE:
        if (device.claimedBy == client && *reinterpret_cast<unsigned*>(data->data) == device.interfaceNumber)
            device.claimedBy = nullptr;
        return finish(0, 0);
    case USBDEVFS_SETINTERFACE:
    case USBDEVFS_SETCONFIGURATION:
    case USBDEVFS_RESETEP:
    case USBDEVFS_RESET:
        return finish(0, 0);
    case USBDEVFS_SUBMITURB: {
        auto* urb = reinterpret_cast<usbdevfs_urb*>(data->data);
        Urb held{data, nullptr};
        if (urb->buffer_length > 0) {
            held.buffer = umockdev_ioctl_data_resolve(data, offsetof(usbdevfs_urb, buffer),
                                                      static_cast<gsize>(urb->buffer_length), &error);
            if (!held.buffer) {
                g_clear_error(&error);
                return finish(-1, EFAULT);
            }
        }
        urb = held.View();
        if (urb->type == USBDEVFS_URB_TYPE_CONTROL) {
            if (urb->buffer_length < 8) {
                held.Release();
                data = nullptr;
                return finish(-1, EINVAL);
            }
            const SetupPacket setup = DecodeSetup(reinterpret_cast<const char*>(held.Bytes()));
            std::string reply;
            const bool answered = device.Control(setup, state, reply);
            const std::size_t room = static_cast<std::size_t>(urb->buffer_length) - 8;
            const std::size_t take = (setup.requestType & 0x80) ? std::min(reply.size(), room) : 0;
            std::memcpy(held.Bytes() + 8, reply.data(), take);
            urb->actual_length = static_cast<int>(take);
            urb->status = answered ? 0 : -EPIPE;
            state.done.push_back(held);
        } else if (urb->type == USBDEVFS_URB_TYPE_BULK && !(urb->endpoint & 0x80)) {
            device.SubmitOut(held, state);
        } else if (urb->type == USBDEVFS_URB_TYPE_BULK) {
            state.bulkIn.push_back(held);
        } else if (urb->type == USBDEVFS_URB_TYPE_INTERRUPT) {
            state.interruptIn.push_back(held);
        } else {
            held.Release();
            data = nullptr;
            return finish(-1, EINVAL);
        }
        umockdev_ioctl_client_complete(client, 0, 0);
        return TRUE; // the URB keeps `data`
    }
    case USBDEVFS_DISCARDURB: {
        const gulong address = *reinterpret_cast<const gulong*>(arg->data);
        for (std::deque<Urb>* queue : {&state.bulkOut, &state.bulkIn, &state.interruptIn})
            for (auto it = queue->begin(); it != queue->end(); ++it)
                if (it->data->client_addr == address) {
                    it->View()->status = -ENOENT;
                    it->View()->actual_length = static_cast<int>(it->taken);
                    state.done.push_back(*it);
                    queue->erase(it);
                    return finish(0, 0);
                }
        return finish(-1, EINVAL);
    }
    case USBDEVFS_REAPURB:
    case USBDEVFS_REAPURBNDELAY: {
        device.Pump(state);
        if (state.done.empty())
            return finish(-1, EAGAIN);
        Urb urb = state.done.front();
        state.done.pop_front();
        umockdev_ioctl_data_set_ptr(data, 0, urb.data);
        finish(0, 0);
        urb.Release();
        return TRUE;
    }
    default:
        return finish(-1, ENOTTY);
    }
}

char Hex(int value)
{
    return "0123456789abcdef"[value & 15];
}

} // namespace

bool EmulatedUsbBus::Available()
{
    const char* preload = std::getenv("LD_PRELOAD");
    return preload && std::strstr(preload, "libumockdev-preload");
}

void EmulatedUsbBus::RestartUnderPreload(char** argv)
{
    if (Available())
        return;
    const char* preload = std::getenv("LD_PRELOAD");
    const std::string libraries = std::string("libumockdev-preload.so.0") + (preload ? std::string(":") + preload : "");
    ::setenv("LD_PRELOAD", libraries.c_str(), 1);
    const char* sanitizer = std::getenv("ASAN_OPTIONS");
    const std::string options = (sanitizer ? std::string(sanitizer) + ":" : std::string()) + "verify_asan_link_order=0";
    ::setenv("ASAN_OPTIONS", options.c_str(), 1);
    ::execv("/proc/self/exe", argv);
    std::perror("cannot start the test program again under umockdev");
    std::exit(1);
}

EmulatedUsbBus::EmulatedUsbBus() : m_impl(std::make_unique<Impl>())
{
    if (!Available())
        throw std::runtime_error("umockdev's preload library is not loaded");
    m_impl->testbed = umockdev_testbed_new();
}

EmulatedUsbBus::~EmulatedUsbBus()
{
    {
        std::lock_guard<std::mutex> lock(m_impl->restartMutex);
        m_impl->stopping = true;
        m_impl->restartWake.notify_all();
    }
    if (m_impl->restarter.joinable())
        m_impl->restarter.join();
    for (auto& [address, device] : m_impl->devices) {
        if (!device->gone) {
            umockdev_testbed_detach_ioctl(m_impl->testbed, device->node.c_str(), nullptr);
            umockdev_testbed_remove_device(m_impl->testbed, device->syspath.c_str());
        }
        std::lock_guard<std::mutex> lock(device->mutex);
        for (auto& [client, state] : device->clients)
            for (std::deque<Urb>* queue : {&state.bulkOut, &state.bulkIn, &state.interruptIn, &state.done})
                for (Urb& urb : *queue)
                    urb.Release();
        g_object_unref(device->handler);
    }
    g_object_unref(m_impl->testbed);
    g_unsetenv("UMOCKDEV_DIR");
}

EmulatedUsbBus::Device& EmulatedUsbBus::Impl::Add(std::unique_ptr<Device> device, const std::vector<InterfacePlan>& interfaces)
{
    std::lock_guard<std::mutex> lock(mutex);
    Device& added = *device;
    added.bus = this;
    added.address = nextAddress++;
    char node[64];
    std::snprintf(node, sizeof node, "/dev/bus/usb/%03d/%03d", busNumber, added.address);
    added.node = node;
    added.driverBound = added.options.kernelDriver;
    added.handler = umockdev_ioctl_base_new();
    g_signal_connect(added.handler, "handle-ioctl", G_CALLBACK(OnIoctl), &added);
    GError* error = nullptr;
    if (!umockdev_testbed_attach_ioctl(testbed, node, added.handler, &error)) {
        const std::string text = error ? error->message : "unknown";
        g_clear_error(&error);
        throw std::runtime_error("cannot attach the usbfs handler: " + text);
    }
    const std::string name = "1-" + std::to_string(added.address);
    const std::string bus = std::to_string(busNumber);
    const std::string address = std::to_string(added.address);
    std::string vendor(4, '0');
    std::string product(4, '0');
    for (int i = 0; i < 4; ++i) {
        vendor[3 - i] = Hex(added.vendor >> (4 * i));
        product[3 - i] = Hex(added.product >> (4 * i));
    }
    std::vector<const char*> attributes = {"busnum", bus.c_str(), "devnum", address.c_str(), "speed", added.packet == 64 ? "12" : "480",
                                           "bConfigurationValue", "1", "idVendor", vendor.c_str(),
                                           "idProduct", product.c_str(), "manufacturer", added.strings[0].c_str(),
                                           "product", added.strings[1].c_str()};
    if (added.options.serialReadable) {
        attributes.push_back("serial");
        attributes.push_back(added.strings[2].c_str());
    }
    attributes.push_back(nullptr);
    const char* properties[] = {"DEVNAME", node, "DEVTYPE", "usb_device", "BUSNUM", bus.c_str(),
                                "DEVNUM", address.c_str(), nullptr};
    gchar* syspath = umockdev_testbed_add_devicev(testbed, "usb", name.c_str(), nullptr,
                                                  const_cast<gchar**>(attributes.data()), const_cast<gchar**>(properties));
    if (!syspath)
        throw std::runtime_error("cannot add the device " + name);
    added.syspath = syspath;
    g_free(syspath);
    const std::string descriptors = Descriptors(added.vendor, added.product, interfaces);
    umockdev_testbed_set_attribute_binary(testbed, added.syspath.c_str(), "descriptors",
                                          reinterpret_cast<guint8*>(const_cast<char*>(descriptors.data())),
                                          static_cast<gint>(descriptors.size()));
    // The node: an empty file under the test bed's /dev, which the preload
    // library sends every access to; its ioctls come to the handler.
    gchar* root = umockdev_testbed_get_root_dir(testbed);
    const std::string file = std::string(root) + node;
    g_free(root);
    g_mkdir_with_parents(file.substr(0, file.rfind('/')).c_str(), 0755);
    if (FILE* created = std::fopen(file.c_str(), "w"))
        std::fclose(created);
    ::chmod(file.c_str(), added.options.noAccess ? 0 : 0666);
    const int key = added.address;
    devices.emplace(key, std::move(device));
    return added;
}

int EmulatedUsbBus::AddSensor(SensorStore& store, const std::string& serial, const Options& options)
{
    return AddSensor(std::make_shared<ServedSensor>(store, serial), options);
}

int EmulatedUsbBus::AddSensor(std::shared_ptr<ServedSensor> sensor, const Options& options)
{
    return m_impl->AddSensor(std::move(sensor), options);
}

int EmulatedUsbBus::Impl::AddSensor(std::shared_ptr<ServedSensor> sensor, const Options& options)
{
    auto device = std::make_unique<Device>();
    device->sensor = std::move(sensor);
    const SensorIdentity& identity = device->sensor->Identity();
    device->vendor = VendorId;
    device->product = identity.productId;
    device->strings[0] = SensorManufacturer;
    device->strings[1] = identity.model;
    device->strings[2] = identity.serialNumber;
    device->options = options;
    device->packet = options.fullSpeed ? 64 : maxPacket;
    const auto packet = static_cast<std::uint16_t>(device->packet);
    return Add(std::move(device), {{0, InterfaceClassApplication, InterfaceSubclassUsbTmc, InterfaceProtocolUsb488,
                                   {{0x01, 2, packet}, {0x81, 2, packet}, {0x82, 3, 2}}}})
        .address;
}

int EmulatedUsbBus::AddCounter()
{
    auto device = std::make_unique<Device>();
    device->vendor = 0x1209;
    device->product = 0x0001;
    device->strings[0] = "Test Instruments";
    device->strings[1] = "Counter";
    device->strings[2] = "C123";
    device->interfaceNumber = 1;
    device->hasInterrupt = false;
    return m_impl
        ->Add(std::move(device), {{0, 0xFF, 0, 0, {{0x02, 2, maxPacket}}},
                                  {1, InterfaceClassApplication, InterfaceSubclassUsbTmc, 0,
                                   {{0x03, 2, maxPacket}, {0x84, 2, maxPacket}}}})
        .address;
}

void EmulatedUsbBus::ShareWithOtherUsers()
{
    gchar* root = umockdev_testbed_get_root_dir(m_impl->testbed);
    const std::filesystem::path folder = root;
    g_free(root);
    namespace fs = std::filesystem;
    // Everyone may add to the top folder, as the preload library does for a
    // client's event monitor socket.
    fs::permissions(folder, fs::perms::all | fs::perms::sticky_bit, fs::perm_options::replace);
    for (const fs::directory_entry& entry : fs::recursive_directory_iterator(folder)) {
        if (entry.is_symlink())
            continue;
        // Directories are entered, files read, the handlers' sockets connected to.
        const fs::perms readable = entry.is_directory() ? fs::perms::others_read | fs::perms::others_exec
                                   : entry.is_socket()  ? fs::perms::others_read | fs::perms::others_write
                                                        : fs::perms::others_read;
        fs::permissions(entry.path(), readable, fs::perm_options::add);
    }
    std::lock_guard<std::mutex> lock(m_impl->mutex);
    for (const auto& [address, device] : m_impl->devices)
        if (device->options.noAccess)
            fs::permissions(folder.string() + device->node, fs::perms::none);
}

void EmulatedUsbBus::Unplug(int address)
{
    m_impl->Unplug(m_impl->At(address));
}

void EmulatedUsbBus::Impl::Unplug(Device& device)
{
    {
        std::lock_guard<std::mutex> lock(device.mutex);
        device.gone = true;
        for (auto& [client, state] : device.clients)
            for (std::deque<Urb>* queue : {&state.bulkOut, &state.bulkIn, &state.interruptIn}) {
                for (Urb& urb : *queue) {
                    urb.View()->status = -ENODEV;
                    state.done.push_back(urb);
                }
                queue->clear();
            }
    }
    std::lock_guard<std::mutex> lock(mutex);
    umockdev_testbed_remove_device(testbed, device.syspath.c_str());
}

int EmulatedUsbBus::AddressOf(const std::string& serial) const
{
    std::lock_guard<std::mutex> lock(m_impl->mutex);
    for (const auto& [address, device] : m_impl->devices) {
        std::lock_guard<std::mutex> deviceLock(device->mutex);
        if (!device->gone && device->strings[2] == serial)
            return address;
    }
    return 0;
}

void EmulatedUsbBus::HoldBulkOut(int address, bool hold)
{
    Device& device = m_impl->At(address);
    std::lock_guard<std::mutex> lock(device.mutex);
    device.holdOut = hold;
}

std::vector<std::string> EmulatedUsbBus::TakeRequests(int address)
{
    Device& device = m_impl->At(address);
    std::lock_guard<std::mutex> lock(device.mutex);
    return std::exchange(device.requests, {});
}

bool EmulatedUsbBus::KernelDriverBound(int address) const
{
    Device& device = m_impl->At(address);
    std::lock_guard<std::mutex> lock(device.mutex);
    return device.driverBound;
}

int EmulatedUsbBus::KernelDriverReattached(int address) const
{
    Device& device = m_impl->At(address);
    std::lock_guard<std::mutex> lock(device.mutex);
    return device.reattached;
}
