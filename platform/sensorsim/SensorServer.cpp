#include "SensorServer.h"

#include "Link.h"
#include "MemoryAdvice.h"
#include "RuntimeFolder.h"
#include "SimSensor.h"
#include "Tamrix.h"
#include "UsbTmc.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <list>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <thread>

using namespace usbtmc;

namespace
{

// How often the server looks at the store for new, removed and changed sensors.
constexpr int refreshMilliseconds = 200;
// A read waiting for a reply that another connection may cause looks again this often.
constexpr auto crossConnectionPoll = std::chrono::milliseconds(20);
constexpr std::size_t maxMessageSize = maxDataSetSize + 4096;
constexpr std::size_t maxControlData = 4096;

struct Connection
{
    std::uint64_t id = 0;
    Link link;
    std::thread thread;
    std::atomic<bool> finished{false};
};

// One sensor of the store while it is served. The mutex guards everything but
// `listener`, which only the server's own thread uses.
struct Served
{
    std::string serial;
    bool onUsb = true;
    std::mutex mutex;
    std::unique_ptr<SimSensor> engine;
    std::string faultsStamp;
    Clock::time_point outputDue;
    std::uint64_t lockOwner = 0;
    std::set<Connection*> connections;
    int listener = -1;

    void CloseConnections()
    {
        for (Connection* connection : connections)
            connection->link.Shutdown();
    }
};

// The bytes of an incoming message, in storage that nobody zero-fills first.
class MessageBuffer
{
public:
    std::size_t Size() const { return m_size; }
    std::string_view View() const { return {m_data.get(), m_size}; }

    // Room for `count` more bytes at the end; gives where they go.
    char* Append(std::size_t count)
    {
        if (m_size + count > m_capacity)
            Reserve(std::max(m_size + count, 2 * m_capacity));
        char* const at = m_data.get() + m_size;
        m_size += count;
        return at;
    }

    void Reserve(std::size_t capacity)
    {
        if (capacity <= m_capacity)
            return;
        std::unique_ptr<char[]> data(new char[capacity]);
        tamrix_memory::AdviseHugePages(data.get(), capacity);
        if (m_size > 0)
            std::memcpy(data.get(), m_data.get(), m_size);
        m_data = std::move(data);
        m_capacity = capacity;
    }

    // A message that carries a block says its length in its first transfer:
    // room for all of it at once spares growing the buffer tens of times.
    void ReserveForBlock()
    {
        const std::string_view text = View();
        const std::size_t hash = text.find('#');
        if (hash == std::string_view::npos || hash + 2 > text.size())
            return;
        const std::size_t digits = static_cast<std::size_t>(text[hash + 1] - '0');
        if (digits < 1 || digits > 9 || hash + 2 + digits > text.size())
            return;
        std::size_t length = 0;
        for (std::size_t i = hash + 2; i < hash + 2 + digits; ++i) {
            if (text[i] < '0' || text[i] > '9')
                return;
            length = length * 10 + static_cast<std::size_t>(text[i] - '0');
        }
        if (length <= maxMessageSize)
            Reserve(std::min(maxMessageSize, hash + 2 + digits + length + 64));
    }

    void Clear()
    {
        m_data.reset();
        m_size = m_capacity = 0;
    }

private:
    std::unique_ptr<char[]> m_data;
    std::size_t m_size = 0;
    std::size_t m_capacity = 0;
};

std::string Errno(const std::string& what)
{
    return what + ": " + std::strerror(errno);
}

} // namespace

struct SensorServer::Impl
{
    SensorStore store;
    std::filesystem::path folder;
    int lockFile = -1;
    int wake[2] = {-1, -1};
    std::thread thread;
    std::atomic<bool> stopping{false};
    std::map<std::string, std::shared_ptr<Served>> sensors;
    std::map<std::string, std::string> failed; // serial -> the problem last reported
    std::list<std::shared_ptr<Connection>> connections;
    std::uint64_t nextConnection = 1;

    Impl(SensorStore s, std::filesystem::path f) : store(std::move(s)), folder(std::move(f)) {}

    void Run();
    void Refresh();
    void Add(const std::string& serial);
    void Listen(Served& sensor);
    void StopListening(Served& sensor);
    void Accept(const std::shared_ptr<Served>& sensor);
    void Reap(bool all);
    void RefreshFaults(Served& sensor);
    void Serve(const std::shared_ptr<Served>& sensor, Connection& connection);
    bool HandleControl(Served& sensor, Connection& connection, const std::string& packet);
};

SensorServer::SensorServer(SensorStore store, std::filesystem::path runtimeFolder)
    : m_impl(std::make_unique<Impl>(std::move(store), std::move(runtimeFolder)))
{
}

SensorServer::~SensorServer()
{
    Stop();
}

void SensorServer::Start()
{
    Impl& impl = *m_impl;
    if (impl.thread.joinable())
        return;
    const std::filesystem::path lockPath = impl.folder / "serve.lock";
    impl.lockFile = ::open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (impl.lockFile < 0)
        throw SensorServerError(Errno("Cannot open " + lockPath.string()));
    if (::flock(impl.lockFile, LOCK_EX | LOCK_NB) != 0) {
        ::close(impl.lockFile);
        impl.lockFile = -1;
        throw SensorServerError("Another ostrel-sensorsim serve is already serving sensors in " +
                                impl.folder.string());
    }
    // Holding the lock, every socket in the folder is a leftover of a server
    // that ended without removing it.
    for (const std::string& serial : UsbSocketSerials(impl.folder))
        ::unlink(UsbSocketPath(impl.folder, serial).c_str());
    if (::pipe2(impl.wake, O_CLOEXEC | O_NONBLOCK) != 0)
        throw SensorServerError(Errno("Cannot start the server"));
    impl.stopping = false;
    impl.Refresh();
    impl.thread = std::thread([&impl] { impl.Run(); });
}

void SensorServer::Stop()
{
    Impl& impl = *m_impl;
    if (!impl.thread.joinable())
        return;
    impl.stopping = true;
    const char byte = 0;
    [[maybe_unused]] const ssize_t ignored = ::write(impl.wake[1], &byte, 1);
    impl.thread.join();
    for (int& fd : impl.wake) {
        ::close(fd);
        fd = -1;
    }
    ::close(impl.lockFile);
    impl.lockFile = -1;
}

void SensorServer::Impl::Run()
{
    auto nextRefresh = Clock::now() + std::chrono::milliseconds(refreshMilliseconds);
    while (!stopping) {
        std::vector<pollfd> entries{{wake[0], POLLIN, 0}};
        std::vector<std::shared_ptr<Served>> listening;
        for (const auto& [serial, sensor] : sensors) {
            if (sensor->listener >= 0) {
                entries.push_back({sensor->listener, POLLIN, 0});
                listening.push_back(sensor);
            }
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(nextRefresh - Clock::now()).count();
        const int ready = ::poll(entries.data(), entries.size(), static_cast<int>(std::max<long long>(left, 0)));
        if (ready > 0) {
            for (std::size_t i = 1; i < entries.size(); ++i)
                if (entries[i].revents & POLLIN)
                    Accept(listening[i - 1]);
        }
        if (Clock::now() >= nextRefresh) {
            Refresh();
            Reap(false);
            nextRefresh = Clock::now() + std::chrono::milliseconds(refreshMilliseconds);
        }
    }
    for (auto& [serial, sensor] : sensors) {
        StopListening(*sensor);
        std::lock_guard<std::mutex> lock(sensor->mutex);
        sensor->CloseConnections();
    }
    Reap(true);
    sensors.clear();
}

void SensorServer::Impl::Refresh()
{
    std::vector<std::string> serials;
    try {
        serials = store.Serials();
    } catch (const std::exception&) {
        // A store folder that cannot be read for a moment keeps what is served.
        return;
    }
    for (auto it = sensors.begin(); it != sensors.end();) {
        if (std::binary_search(serials.begin(), serials.end(), it->first)) {
            ++it;
            continue;
        }
        StopListening(*it->second);
        std::lock_guard<std::mutex> lock(it->second->mutex);
        it->second->CloseConnections();
        it = sensors.erase(it);
    }
    for (const std::string& serial : serials)
        if (!sensors.count(serial))
            Add(serial);
    for (auto& [serial, sensor] : sensors) {
        bool unplugged = false;
        {
            std::lock_guard<std::mutex> lock(sensor->mutex);
            RefreshFaults(*sensor);
            unplugged = sensor->engine->Faults().unplugged;
            if (unplugged)
                sensor->CloseConnections();
        }
        if (unplugged)
            StopListening(*sensor);
        else if (sensor->onUsb && sensor->listener < 0)
            Listen(*sensor);
    }
}

void SensorServer::Impl::Add(const std::string& serial)
{
    auto sensor = std::make_shared<Served>();
    sensor->serial = serial;
    try {
        SensorIdentity identity = store.LoadIdentity(serial);
        sensor->onUsb = identity.onUsb;
        sensor->faultsStamp = store.FaultsStamp(serial);
        const SensorFaults faults = store.LoadFaults(serial);
        SensorStore* const storeOf = &store;
        sensor->engine = std::make_unique<SimSensor>(
            std::move(identity), store.LoadArea(serial, DataArea::Factory), store.LoadArea(serial, DataArea::User),
            [storeOf, serial](DataArea area, const std::string& data) {
                try {
                    storeOf->SaveArea(serial, area, data);
                } catch (const SensorStoreError&) {
                    throw;
                } catch (const std::exception& error) {
                    throw SensorStoreError(error.what());
                }
            });
        sensor->engine->SetFaults(faults);
    } catch (const std::exception& error) {
        // Reported once per problem; the sensor is tried again at every refresh.
        if (failed[serial] != error.what()) {
            failed[serial] = error.what();
            std::fprintf(stderr, "ostrel-sensorsim: sensor %s is not served: %s\n", serial.c_str(), error.what());
        }
        return;
    }
    failed.erase(serial);
    sensors.emplace(serial, std::move(sensor));
}

void SensorServer::Impl::Listen(Served& sensor)
{
    const std::string path = UsbSocketPath(folder, sensor.serial).string();
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.size() >= sizeof address.sun_path) {
        if (failed[sensor.serial] != "path") {
            failed[sensor.serial] = "path";
            std::fprintf(stderr, "ostrel-sensorsim: socket path too long: %s\n", path.c_str());
        }
        return;
    }
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0)
        return;
    ::unlink(path.c_str());
    if (::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 || ::listen(fd, 16) != 0) {
        std::fprintf(stderr, "ostrel-sensorsim: %s\n", Errno("cannot listen on " + path).c_str());
        ::close(fd);
        return;
    }
    ::chmod(path.c_str(), 0600);
    sensor.listener = fd;
}

void SensorServer::Impl::StopListening(Served& sensor)
{
    if (sensor.listener < 0)
        return;
    ::close(sensor.listener);
    sensor.listener = -1;
    ::unlink(UsbSocketPath(folder, sensor.serial).c_str());
}

void SensorServer::Impl::Accept(const std::shared_ptr<Served>& sensor)
{
    const int fd = ::accept4(sensor->listener, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0)
        return;
    auto connection = std::make_shared<Connection>();
    connection->id = nextConnection++;
    connection->link = Link(fd);
    {
        std::lock_guard<std::mutex> lock(sensor->mutex);
        RefreshFaults(*sensor);
        if (sensor->engine->Faults().unplugged)
            return; // the connection closes with it
        sensor->connections.insert(connection.get());
    }
    Connection* const raw = connection.get();
    connections.push_back(connection);
    raw->thread = std::thread([this, sensor, raw] {
        Serve(sensor, *raw);
        // The peer sees the end now, not when the connection is reaped.
        raw->link.Shutdown();
        {
            std::lock_guard<std::mutex> lock(sensor->mutex);
            sensor->connections.erase(raw);
            if (sensor->lockOwner == raw->id)
                sensor->lockOwner = 0;
        }
        raw->finished = true;
    });
}

void SensorServer::Impl::Reap(bool all)
{
    for (auto it = connections.begin(); it != connections.end();) {
        if (all || (*it)->finished) {
            (*it)->thread.join();
            it = connections.erase(it);
        } else {
            ++it;
        }
    }
}

// The faults file is read again only when it was replaced.
void SensorServer::Impl::RefreshFaults(Served& sensor)
{
    try {
        std::string stamp = store.FaultsStamp(sensor.serial);
        if (stamp == sensor.faultsStamp)
            return;
        sensor.engine->SetFaults(store.LoadFaults(sensor.serial));
        sensor.faultsStamp = std::move(stamp);
    } catch (const std::exception&) {
        // Half-removed sensor or unreadable file: the faults stay as they were.
    }
}

void SensorServer::Impl::Serve(const std::shared_ptr<Served>& sensor, Connection& connection)
{
    Link& link = connection.link;
    struct
    {
        bool active = false;
        std::uint8_t tag = 0;
        std::uint32_t size = 0;
    } pending;
    MessageBuffer message;
    bool discarding = false;
    std::uint64_t replySent = 0; // bytes of the current response sent on this connection
    static constexpr char zeros[4] = {};

    while (!stopping) {
        if (pending.active) {
            std::unique_lock<std::mutex> lock(sensor->mutex);
            RefreshFaults(*sensor);
            const SensorFaults faults = sensor->engine->Faults();
            if (faults.unplugged)
                return;
            Deadline wait = Clock::now() + crossConnectionPoll;
            if (sensor->engine->HasOutput()) {
                if (Clock::now() >= sensor->outputDue) {
                    const OutputChunk chunk = sensor->engine->TakeOutput(pending.size);
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
                !HandleControl(*sensor, connection, packet))
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
        if (header.msgId == REQUEST_DEV_DEP_MSG_IN) {
            if (body != 0)
                return;
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
            std::lock_guard<std::mutex> lock(sensor->mutex);
            if (message.Size() == 0 && !discarding)
                RefreshFaults(*sensor);
            dropAfter = sensor->engine->Faults().dropAfter;
        }
        if (discarding || message.Size() + header.transferSize > maxMessageSize) {
            discarding = true;
            if (link.SkipBytes(header.transferSize, NoDeadline) != LinkStatus::Ok)
                return;
        } else {
            const std::size_t old = message.Size();
            std::size_t take = header.transferSize;
            const bool drop = dropAfter && old + take > *dropAfter;
            if (drop)
                take = static_cast<std::size_t>(*dropAfter - std::min<std::uint64_t>(old, *dropAfter));
            if (link.ReceiveBytes(message.Append(take), take, NoDeadline) != LinkStatus::Ok || drop)
                return;
            if (old == 0 && !(header.attributes & AttributeEom))
                message.ReserveForBlock();
        }
        if (link.SkipBytes(PaddingFor(header.transferSize), NoDeadline) != LinkStatus::Ok)
            return;
        if (!(header.attributes & AttributeEom))
            continue;
        {
            std::lock_guard<std::mutex> lock(sensor->mutex);
            RefreshFaults(*sensor);
            if (discarding)
                sensor->engine->QueueError(-223, "the message is too long");
            else
                sensor->engine->Execute(message.View());
            sensor->outputDue = Clock::now() + std::chrono::milliseconds(sensor->engine->Faults().delayMs);
        }
        replySent = 0;
        discarding = false;
        message.Clear();
    }
}

// Answers one control request; false ends the connection.
bool SensorServer::Impl::HandleControl(Served& sensor, Connection& connection, const std::string& packet)
{
    const SetupPacket setup = DecodeSetup(packet.data());
    std::string reply;
    bool stall = false;
    bool restart = false;
    {
        std::lock_guard<std::mutex> lock(sensor.mutex);
        RefreshFaults(sensor);
        SimSensor& engine = *sensor.engine;
        const SensorFaults& faults = engine.Faults();
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
            const bool granted = !faults.locked && (sensor.lockOwner == 0 || sensor.lockOwner == connection.id);
            if (granted)
                sensor.lockOwner = connection.id;
            reply = std::string(1, granted ? '\1' : '\0');
        } else if (type == RequestTypeVendorIn && setup.request == VendorUnlock) {
            const bool released = sensor.lockOwner == connection.id;
            if (released)
                sensor.lockOwner = 0;
            reply = std::string(1, released ? '\1' : '\0');
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
        std::lock_guard<std::mutex> lock(sensor.mutex);
        sensor.engine->Restart();
        sensor.lockOwner = 0;
        sensor.CloseConnections();
        return false;
    }
    return true;
}
