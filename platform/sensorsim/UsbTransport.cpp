#include "UsbTransport.h"

#include "ConnectionThreads.h"
#include "Link.h"
#include "MessageBuffer.h"
#include "SensorServer.h"
#include "UsbTmc.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <optional>
#include <thread>

using namespace usbtmc;

namespace
{

// A read waiting for a reply that another connection may cause looks again this often.
constexpr auto crossConnectionPoll = std::chrono::milliseconds(20);
constexpr std::size_t maxControlData = 4096;

struct Connection : ServedConnection
{
    std::uint64_t id = ServedSensor::NewOwner();
    Link link;

    void Close() override { link.Shutdown(); }
};

} // namespace

struct UsbTransport::Impl
{
    std::shared_ptr<ServedSensor> sensor;
    std::filesystem::path path;
    int listener = -1;
    int wake[2] = {-1, -1};
    std::atomic<bool> stopping{false};
    std::thread acceptor;
    std::unique_ptr<ConnectionThreads<Connection>> connections; // the acceptor's own

    void Accept();
    void Serve(Connection& connection);
    bool HandleControl(Connection& connection, const std::string& packet);
};

UsbTransport::UsbTransport(std::shared_ptr<ServedSensor> sensor, std::filesystem::path socketPath)
    : m_impl(std::make_unique<Impl>())
{
    Impl& impl = *m_impl;
    impl.sensor = std::move(sensor);
    impl.path = std::move(socketPath);
    const std::string path = impl.path.string();
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.size() >= sizeof address.sun_path)
        throw SensorServerError("The socket path is too long: " + path);
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    impl.listener = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (impl.listener < 0 || ::pipe2(impl.wake, O_CLOEXEC | O_NONBLOCK) != 0)
        throw SensorServerError(std::string("Cannot make a socket: ") + std::strerror(errno));
    ::unlink(path.c_str());
    if (::bind(impl.listener, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(impl.listener, 16) != 0) {
        const std::string problem = std::strerror(errno);
        ::close(impl.listener);
        ::close(impl.wake[0]);
        ::close(impl.wake[1]);
        throw SensorServerError("Cannot listen on " + path + ": " + problem);
    }
    ::chmod(path.c_str(), 0600);
    impl.connections = std::make_unique<ConnectionThreads<Connection>>(*impl.sensor);
    impl.acceptor = std::thread([&impl] {
        while (!impl.stopping) {
            pollfd entries[] = {{impl.wake[0], POLLIN, 0}, {impl.listener, POLLIN, 0}};
            if (::poll(entries, 2, 200) > 0 && (entries[1].revents & POLLIN))
                impl.Accept();
            impl.connections->Reap();
        }
        impl.connections->Stop();
    });
}

UsbTransport::~UsbTransport()
{
    Impl& impl = *m_impl;
    // The name goes first: once it is gone nobody finds the socket, so a client
    // never sees a name it cannot connect to.
    ::unlink(impl.path.c_str());
    impl.stopping = true;
    const char byte = 0;
    [[maybe_unused]] const ssize_t ignored = ::write(impl.wake[1], &byte, 1);
    impl.acceptor.join();
    ::close(impl.listener);
    ::close(impl.wake[0]);
    ::close(impl.wake[1]);
}

void UsbTransport::Impl::Accept()
{
    const int fd = ::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0)
        return;
    auto connection = std::make_unique<Connection>();
    connection->link = Link(fd);
    connections->Start(
        std::move(connection),
        [this](Connection& served) {
            Serve(served);
            // The peer sees the end now, not when the connection is reaped.
            served.link.Shutdown();
        },
        [this](Connection& served) { sensor->Release(served.id); });
}

void UsbTransport::Impl::Serve(Connection& connection)
{
    Link& link = connection.link;
    struct
    {
        bool active = false;
        std::uint8_t tag = 0;
        std::uint32_t size = 0;
    } pending;
    MessageBuffer message;
    bool discarding = false; // a message too long to take: an error once it ends
    bool refused = false;    // a message sent while another connection holds the lock
    std::uint64_t replySent = 0; // bytes of the current response sent on this connection
    static constexpr char zeros[4] = {};

    while (!stopping) {
        if (pending.active) {
            std::unique_lock<std::mutex> lock(sensor->Mutex());
            const SensorFaults faults = sensor->RefreshFaults();
            if (faults.unplugged)
                return;
            Deadline wait = Clock::now() + crossConnectionPoll;
            if (sensor->Engine().HasOutput()) {
                if (Clock::now() >= sensor->outputDue) {
                    const OutputChunk chunk = sensor->Engine().TakeOutput(pending.size);
                    lock.unlock();
                    pending.active = false;
                    BulkHeader header;
                    header.msgId = DEV_DEP_MSG_IN;
                    header.tag = pending.tag;
                    header.transferSize = static_cast<std::uint32_t>(chunk.size);
                    header.attributes = chunk.end ? AttributeEom : 0;
                    const auto headerBytes = EncodeBulkHeader(header);
                    const auto linkBytes = EncodeLinkHeader(
                        EndpointBulkIn, static_cast<std::uint32_t>(BulkHeaderSize + chunk.size + PaddingFor(chunk.size)));
                    std::vector<iovec> pieces{Piece(linkBytes.data(), linkBytes.size()),
                                              Piece(headerBytes.data(), headerBytes.size())};
                    // A drop in the middle of the reply: the packet breaks off.
                    std::uint64_t allowed = chunk.size;
                    const bool drop = faults.dropAfter && replySent + chunk.size > *faults.dropAfter;
                    if (drop)
                        allowed = *faults.dropAfter > replySent ? *faults.dropAfter - replySent : 0;
                    for (const OutputPiece& piece : chunk.pieces) {
                        const std::size_t take = static_cast<std::size_t>(std::min<std::uint64_t>(piece.size, allowed));
                        pieces.push_back(Piece(piece.storage->data() + piece.offset, take));
                        allowed -= take;
                    }
                    if (!drop)
                        pieces.push_back(Piece(zeros, PaddingFor(chunk.size)));
                    if (link.SendBytes(std::move(pieces), NoDeadline) != LinkStatus::Ok || drop)
                        return;
                    replySent = chunk.end ? 0 : replySent + chunk.size;
                    continue;
                }
                wait = std::min(wait, sensor->outputDue);
            }
            lock.unlock();
            const LinkStatus status = link.WaitReadable(wait);
            if (status == LinkStatus::Timeout)
                continue;
            if (status != LinkStatus::Ok)
                return;
        }

        std::uint8_t endpoint = 0;
        std::uint32_t length = 0;
        if (link.ReceiveHeader(endpoint, length, NoDeadline) != LinkStatus::Ok)
            return;
        if (endpoint == EndpointControl) {
            if (length < SetupPacketSize || length > SetupPacketSize + maxControlData)
                return;
            std::string packet(length, '\0');
            if (link.ReceiveBytes(packet.data(), length, NoDeadline) != LinkStatus::Ok ||
                !HandleControl(connection, packet))
                return;
            continue;
        }
        if (endpoint != EndpointBulkOut || length < BulkHeaderSize)
            return;
        char headerBytes[BulkHeaderSize];
        BulkHeader header;
        if (link.ReceiveBytes(headerBytes, sizeof headerBytes, NoDeadline) != LinkStatus::Ok ||
            !DecodeBulkHeader(headerBytes, header))
            return;
        const std::size_t body = length - BulkHeaderSize;
        // While another connection holds the lock, this one's messages are
        // dropped whole and its reads go unanswered.
        const auto lockedOut = [&] {
            std::lock_guard<std::mutex> lock(sensor->Mutex());
            return sensor->HeldByOther(connection.id);
        };
        if (header.msgId == REQUEST_DEV_DEP_MSG_IN) {
            if (body != 0)
                return;
            if (lockedOut())
                continue;
            pending.active = header.transferSize > 0;
            pending.tag = header.tag;
            pending.size = std::min(header.transferSize, MaxTransferData);
            continue;
        }
        if (header.msgId != DEV_DEP_MSG_OUT || body != header.transferSize + PaddingFor(header.transferSize))
            return;
        // The host gave up on a read it requested before this message.
        pending.active = false;
        std::optional<std::uint64_t> dropAfter;
        {
            std::lock_guard<std::mutex> lock(sensor->Mutex());
            dropAfter = (message.Size() == 0 && !discarding ? sensor->RefreshFaults() : sensor->Engine().Faults()).dropAfter;
        }
        if (message.Size() == 0 && !discarding && !refused)
            refused = lockedOut();
        if (refused || discarding || message.Size() + header.transferSize > maxMessageSize) {
            discarding = !refused;
            if (link.SkipBytes(header.transferSize, NoDeadline) != LinkStatus::Ok)
                return;
        } else {
            const std::size_t old = message.Size();
            if (link.ReceiveBytes(message.Append(header.transferSize), header.transferSize, NoDeadline) !=
                LinkStatus::Ok)
                return;
            // A drop in the middle of a block write: the connection ends, nothing is kept.
            if (dropAfter && message.Size() > *dropAfter && message.CarriesBlock())
                return;
            if (old == 0 && !(header.attributes & AttributeEom))
                message.ReserveForBlock();
        }
        if (link.SkipBytes(PaddingFor(header.transferSize), NoDeadline) != LinkStatus::Ok)
            return;
        if (!(header.attributes & AttributeEom))
            continue;
        if (refused) {
            refused = false;
            continue;
        }
        {
            std::lock_guard<std::mutex> lock(sensor->Mutex());
            sensor->RefreshFaults();
            if (discarding)
                sensor->Engine().QueueError(-223, "the message is too long");
            else
                sensor->Engine().Execute(message.View());
            sensor->outputDue = Clock::now() + std::chrono::milliseconds(sensor->Engine().Faults().delayMs);
        }
        replySent = 0;
        discarding = false;
        message.Clear();
    }
}

// Answers one control request; false ends the connection.
bool UsbTransport::Impl::HandleControl(Connection& connection, const std::string& packet)
{
    const SetupPacket setup = DecodeSetup(packet.data());
    std::string reply;
    bool stall = false;
    bool restart = false;
    {
        std::lock_guard<std::mutex> lock(sensor->Mutex());
        const SensorFaults& faults = sensor->RefreshFaults();
        SimSensor& engine = sensor->Engine();
        if (faults.unplugged)
            return false;
        const SensorIdentity& identity = engine.Identity();
        const std::uint8_t type = setup.requestType;
        if (type == RequestTypeStandardIn && setup.request == GET_DESCRIPTOR) {
            const std::uint8_t kind = static_cast<std::uint8_t>(setup.value >> 8);
            const std::uint8_t index = static_cast<std::uint8_t>(setup.value & 0xFF);
            if (kind == DescriptorDevice)
                reply = EncodeDeviceDescriptor(VendorId, identity.productId);
            else if (kind == DescriptorString && index == 0)
                reply = std::string("\x04\x03\x09\x04", 4); // English (United States)
            else if (kind == DescriptorString && index == 1)
                reply = EncodeStringDescriptor(SensorManufacturer);
            else if (kind == DescriptorString && index == 2)
                reply = EncodeStringDescriptor(identity.model);
            else if (kind == DescriptorString && index == 3)
                reply = EncodeStringDescriptor(identity.serialNumber);
            else
                stall = true;
        } else if (type == RequestTypeClassInterfaceIn && setup.request == INITIATE_CLEAR) {
            engine.DeviceClear();
            reply = std::string(1, static_cast<char>(USBTMC_STATUS_SUCCESS));
        } else if (type == RequestTypeClassInterfaceIn && setup.request == CHECK_CLEAR_STATUS) {
            reply = std::string{static_cast<char>(USBTMC_STATUS_SUCCESS), 0};
        } else if (type == RequestTypeClassInterfaceIn && setup.request == READ_STATUS_BYTE) {
            reply = {static_cast<char>(USBTMC_STATUS_SUCCESS), static_cast<char>(setup.value & 0xFF),
                     static_cast<char>(engine.StatusByte())};
        } else if (type == RequestTypeVendorOut && setup.request == VendorStoreAndRestart && setup.value == 1 &&
                   setup.index == 0) {
            stall = faults.restartFails;
            restart = !stall;
        } else if (type == RequestTypeVendorIn && setup.request == VendorGetError) {
            const SensorError error = engine.PopError();
            reply.assign(8, '\0');
            PutLittleEndian32(reply.data(), error.sensorCode);
            PutLittleEndian32(reply.data() + 4, static_cast<std::uint32_t>(error.scpiCode));
            reply += error.text;
        } else if (type == RequestTypeVendorIn && setup.request == VendorLock) {
            reply = std::string(1, sensor->TryLock(connection.id) ? '\1' : '\0');
        } else if (type == RequestTypeVendorIn && setup.request == VendorUnlock) {
            reply = std::string(1, sensor->Unlock(connection.id) ? '\1' : '\0');
        } else if (type == RequestTypeVendorIn && setup.request == VendorLockState) {
            reply = std::string(1, sensor->HeldByOther(connection.id) ? LockHeldElsewhere
                                   : sensor->HeldBy(connection.id)    ? LockHeldHere
                                                                      : LockFree);
        } else {
            stall = true;
        }
    }
    if (reply.size() > setup.length)
        reply.resize(setup.length);
    const char status = static_cast<char>(stall ? ControlStall : ControlAck);
    if (connection.link.SendPacket(EndpointControlIn, {Piece(&status, 1), Piece(reply.data(), reply.size())},
                                   NoDeadline) != LinkStatus::Ok)
        return false;
    if (restart) {
        // The sensor restarts: every open handle loses its connection, and
        // what was written stays, since every write is stored as it arrives.
        std::lock_guard<std::mutex> lock(sensor->Mutex());
        sensor->Restart();
        return false;
    }
    return true;
}
