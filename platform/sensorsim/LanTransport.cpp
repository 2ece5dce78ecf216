#include "LanTransport.h"

#include "ConnectionThreads.h"
#include "MessageBuffer.h"
#include "RpcChannel.h"
#include "RuntimeFolder.h"
#include "SensorServer.h"
#include "StoreSupport.h"
#include "Vxi11Client.h"
#include "vxi11.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <rpc/pmap_prot.h>
#include <strings.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <map>
#include <thread>

using namespace vxi11;
using usbtmc::Clock;
using usbtmc::Piece;

namespace
{

// Once a record has begun, the rest of it may take this long, and so may the reply.
constexpr auto recordWait = std::chrono::seconds(30);
// A wait for something another connection may cause looks again this often.
constexpr auto crossConnectionPoll = std::chrono::milliseconds(20);
// The arguments of every call but device_write fit in this.
constexpr std::size_t maxArguments = 1024;
constexpr std::size_t maxDeviceName = 64;
constexpr std::size_t maxLinksPerConnection = 16;
constexpr std::size_t maxConnections = 32;
constexpr std::size_t maxDatagram = 2048;

enum class Service
{
    Portmapper,
    Core
};

struct DeviceLink
{
    std::uint64_t owner = ServedSensor::NewOwner();
    MessageBuffer message;
    bool discarding = false;     // the message grew too long: the rest goes unread
    std::uint64_t replySent = 0; // bytes of the current response sent on this link
};

struct Connection : ServedConnection
{
    Service service = Service::Core;
    RpcChannel channel;
    std::atomic<bool> closed{false};
    std::map<Device_Link, DeviceLink> links; // its thread's own

    void Close() override
    {
        closed = true;
        channel.Link().Shutdown();
    }
};

// Create_LinkParms with a device name of bounded length, decoded into the
// caller's buffer (the generated routine would take any length).
bool_t DecodeCreateLink(XDR* xdr, Create_LinkParms* parameters)
{
    return xdr_int(xdr, &parameters->clientId) && xdr_bool(xdr, &parameters->lockDevice) &&
           xdr_u_int(xdr, &parameters->lock_timeout) && xdr_string(xdr, &parameters->device, maxDeviceName);
}

int BoundSocket(int type, in_addr_t address, std::uint16_t port, bool reuse)
{
    const int fd = ::socket(AF_INET, type | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0)
        return -1;
    const int on = 1;
    if (reuse)
        ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_port = htons(port);
    local.sin_addr.s_addr = address;
    if (::bind(fd, reinterpret_cast<const sockaddr*>(&local), sizeof local) == 0 &&
        (type != SOCK_STREAM || ::listen(fd, 16) == 0))
        return fd;
    const int problem = errno;
    ::close(fd);
    errno = problem;
    return -1;
}

// The broadcast address of the network that has `address`, or 0.
in_addr_t BroadcastOf(in_addr_t address)
{
    in_addr_t broadcast = 0;
    ifaddrs* interfaces = nullptr;
    if (::getifaddrs(&interfaces) != 0)
        return 0;
    for (const ifaddrs* entry = interfaces; entry; entry = entry->ifa_next) {
        if (entry->ifa_addr && entry->ifa_addr->sa_family == AF_INET && (entry->ifa_flags & IFF_BROADCAST) &&
            entry->ifa_broadaddr &&
            reinterpret_cast<const sockaddr_in*>(entry->ifa_addr)->sin_addr.s_addr == address)
            broadcast = reinterpret_cast<const sockaddr_in*>(entry->ifa_broadaddr)->sin_addr.s_addr;
    }
    ::freeifaddrs(interfaces);
    return broadcast;
}

std::string PortProblem(const std::string& address)
{
    if (errno == EADDRNOTAVAIL)
        return "no network interface here has the address " + address;
    return "needs port 111 on " + address + ": " + std::strerror(errno) +
           "; run serve as root or inside a network namespace of your own";
}

// The refusal of a call to another program, version or RPC version; empty when it is ours.
std::string Refusal(const CallHeader& call, std::uint32_t program, std::uint32_t version)
{
    if (call.rpcVersion != rpc::Version)
        return EncodeRpcMismatch(call.xid);
    if (call.program != program)
        return EncodeAcceptedReply(call.xid, rpc::ProgramUnavailable);
    if (call.version != version)
        return EncodeAcceptedReply(call.xid, rpc::ProgramMismatch, version);
    return {};
}

} // namespace

struct LanTransport::Impl
{
    std::shared_ptr<ServedSensor> sensor;
    std::filesystem::path announcement;
    int portmapperTcp = -1;
    int portmapperUdp = -1;
    int broadcastUdp = -1;
    int coreTcp = -1;
    std::uint16_t corePort = 0;
    int wake[2] = {-1, -1};
    std::atomic<bool> stopping{false};
    std::atomic<Device_Link> nextLid{1};
    std::thread service;
    std::unique_ptr<ConnectionThreads<Connection>> connections; // the service thread's own

    ~Impl()
    {
        for (const int fd : {portmapperTcp, portmapperUdp, broadcastUdp, coreTcp, wake[0], wake[1]})
            if (fd >= 0)
                ::close(fd);
    }

    void Run();
    void Accept(int listener, Service kind);
    void AnswerDatagram(int socket, bool broadcast);
    std::string PortmapperReply(const CallHeader& call, MessageSource& source, bool& success) const;

    void Serve(Connection& connection);
    bool ServeCall(Connection& connection, Deadline deadline);
    bool ServeCore(Connection& connection, const CallHeader& call, RecordSource& source, Deadline deadline);
    Create_LinkResp CreateLink(Connection& connection, const Create_LinkParms& parameters);
    bool Write(Connection& connection, std::uint32_t xid, RecordSource& source, Deadline deadline);
    bool Read(Connection& connection, std::uint32_t xid, const Device_ReadParms& parameters);
    Device_ErrorCode Generic(Connection& connection, std::uint32_t procedure, const Device_GenericParms& parameters,
                             std::uint8_t& statusByte);
    Device_ErrorCode Lock(Connection& connection, std::uint32_t procedure, const Device_LockParms& parameters);

    DeviceLink* Find(Connection& connection, Device_Link lid);
    Device_ErrorCode Gate(std::unique_lock<std::mutex>& lock, Connection& connection, DeviceLink& link,
                          Device_Flags flags, std::uint32_t lockTimeoutMs);
    template <typename Ready>
    bool WaitUntil(std::unique_lock<std::mutex>& lock, Connection& connection, Deadline until, Ready ready);
    static bool Send(Connection& connection, std::vector<iovec> pieces);
};

LanTransport::LanTransport(std::shared_ptr<ServedSensor> sensor, const std::string& address,
                           const std::filesystem::path& runtimeFolder)
    : m_impl(std::make_unique<Impl>())
{
    Impl& impl = *m_impl;
    impl.sensor = std::move(sensor);
    in_addr local{};
    if (::inet_pton(AF_INET, address.c_str(), &local) != 1)
        throw SensorServerError("Bad LAN address '" + OneLineText(address) + "': use a dotted IPv4 address");
    impl.portmapperTcp = BoundSocket(SOCK_STREAM, local.s_addr, PMAPPORT, true);
    if (impl.portmapperTcp < 0)
        throw SensorServerError(PortProblem(address));
    impl.portmapperUdp = BoundSocket(SOCK_DGRAM, local.s_addr, PMAPPORT, false);
    if (impl.portmapperUdp < 0)
        throw SensorServerError(PortProblem(address));
    // A socket bound to a unicast address gets no broadcasts: another one,
    // bound to the network's broadcast address and shared by every sensor on
    // that network, gets them; the answers go out from the sensor's address.
    if (const in_addr_t broadcast = BroadcastOf(local.s_addr)) {
        impl.broadcastUdp = BoundSocket(SOCK_DGRAM, broadcast, PMAPPORT, true);
        if (impl.broadcastUdp < 0)
            throw SensorServerError(PortProblem(address));
    }
    impl.coreTcp = BoundSocket(SOCK_STREAM, local.s_addr, 0, true);
    sockaddr_in bound{};
    socklen_t size = sizeof bound;
    if (impl.coreTcp < 0 || ::getsockname(impl.coreTcp, reinterpret_cast<sockaddr*>(&bound), &size) != 0 ||
        ::pipe2(impl.wake, O_CLOEXEC | O_NONBLOCK) != 0)
        throw SensorServerError("Cannot serve on " + address + ": " + std::strerror(errno));
    impl.corePort = ntohs(bound.sin_port);
    impl.announcement = usbtmc::LanAnnouncementPath(runtimeFolder, impl.sensor->Serial());
    try {
        WriteFileAtomically(impl.announcement, address + "\n");
    } catch (const std::exception& error) {
        throw SensorServerError(error.what());
    }
    impl.connections = std::make_unique<ConnectionThreads<Connection>>(*impl.sensor);
    impl.service = std::thread([&impl] { impl.Run(); });
}

LanTransport::~LanTransport()
{
    Impl& impl = *m_impl;
    std::error_code ignored;
    std::filesystem::remove(impl.announcement, ignored);
    impl.stopping = true;
    const char byte = 0;
    [[maybe_unused]] const ssize_t written = ::write(impl.wake[1], &byte, 1);
    impl.service.join();
}

void LanTransport::Impl::Run()
{
    while (!stopping) {
        pollfd entries[] = {{wake[0], POLLIN, 0},
                            {portmapperTcp, POLLIN, 0},
                            {coreTcp, POLLIN, 0},
                            {portmapperUdp, POLLIN, 0},
                            {broadcastUdp, POLLIN, 0}};
        if (::poll(entries, std::size(entries), 200) > 0) {
            if (entries[1].revents & POLLIN)
                Accept(portmapperTcp, Service::Portmapper);
            if (entries[2].revents & POLLIN)
                Accept(coreTcp, Service::Core);
            if (entries[3].revents & POLLIN)
                AnswerDatagram(portmapperUdp, false);
            if (entries[4].revents & POLLIN)
                AnswerDatagram(broadcastUdp, true);
        }
        connections->Reap();
    }
    connections->Stop();
}

void LanTransport::Impl::Accept(int listener, Service kind)
{
    const int fd = ::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0)
        return;
    if (connections->Size() >= maxConnections) {
        ::close(fd);
        return;
    }
    const int on = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    auto connection = std::make_unique<Connection>();
    connection->service = kind;
    connection->channel = RpcChannel(usbtmc::Link(fd));
    connection->channel.SetLimit(rpc::MaxHeaderSize + maxArguments + (kind == Service::Core ? MaxRecvSize : 0));
    connections->Start(
        std::move(connection),
        [this](Connection& served) {
            Serve(served);
            served.channel.Link().Shutdown();
        },
        // Links, and the locks they hold, end with their connection.
        [this](Connection& served) {
            for (const auto& entry : served.links)
                sensor->Release(entry.second.owner);
        });
}

void LanTransport::Impl::AnswerDatagram(int socket, bool broadcast)
{
    char data[maxDatagram];
    sockaddr_in from{};
    socklen_t fromSize = sizeof from;
    const ssize_t size =
        ::recvfrom(socket, data, sizeof data, MSG_DONTWAIT | MSG_TRUNC, reinterpret_cast<sockaddr*>(&from), &fromSize);
    if (size <= 0 || static_cast<std::size_t>(size) > sizeof data)
        return;
    DatagramSource source(data, static_cast<std::size_t>(size));
    CallHeader call;
    if (!ReadCallHeader(source, call))
        return;
    std::string reply = Refusal(call, PMAPPROG, PMAPVERS);
    bool success = false;
    if (reply.empty())
        reply = PortmapperReply(call, source, success);
    // A broadcast gets answers only from those who could carry it out (RFC 5531 11 leaves errors unanswered).
    if (broadcast && !success)
        return;
    ::sendto(portmapperUdp, reply.data(), reply.size(), MSG_DONTWAIT, reinterpret_cast<const sockaddr*>(&from),
             fromSize);
}

std::string LanTransport::Impl::PortmapperReply(const CallHeader& call, MessageSource& source, bool& success) const
{
    std::string reply = EncodeAcceptedReply(call.xid, rpc::Success);
    std::string none;
    success = true;
    if (call.procedure == PMAPPROC_NULL && source.Rest(none, 0))
        return reply;
    if (call.procedure == PMAPPROC_GETPORT) {
        pmap query{};
        if (DecodeRest(source, maxArguments, Xdr(xdr_pmap), &query)) {
            u_int port = 0;
            if (query.pm_prog == CoreProgram && query.pm_vers == CoreVersion && query.pm_prot == IPPROTO_TCP)
                port = corePort;
            else if (query.pm_prog == PMAPPROG && query.pm_vers == PMAPVERS &&
                     (query.pm_prot == IPPROTO_TCP || query.pm_prot == IPPROTO_UDP))
                port = PMAPPORT;
            return reply + EncodeXdr(Xdr(xdr_u_int), &port);
        }
    }
    if (call.procedure == PMAPPROC_DUMP && source.Rest(none, 0)) {
        pmaplist core{{CoreProgram, CoreVersion, IPPROTO_TCP, corePort}, nullptr};
        pmaplist udp{{PMAPPROG, PMAPVERS, IPPROTO_UDP, PMAPPORT}, &core};
        pmaplist tcp{{PMAPPROG, PMAPVERS, IPPROTO_TCP, PMAPPORT}, &udp};
        pmaplist* list = &tcp;
        return reply + EncodeXdr(Xdr(xdr_pmaplist), &list);
    }
    success = false;
    const bool known = call.procedure == PMAPPROC_NULL || call.procedure == PMAPPROC_GETPORT ||
                       call.procedure == PMAPPROC_DUMP;
    return EncodeAcceptedReply(call.xid, known ? rpc::GarbageArguments : rpc::ProcedureUnavailable);
}

void LanTransport::Impl::Serve(Connection& connection)
{
    while (!stopping && !connection.closed) {
        // Between calls a connection may stay idle as long as it likes.
        if (connection.channel.Begin(usbtmc::NoDeadline) != LinkStatus::Ok)
            return;
        const Deadline deadline = Clock::now() + recordWait;
        if (!ServeCall(connection, deadline) || connection.channel.SkipRest(deadline) != LinkStatus::Ok)
            return;
    }
}

bool LanTransport::Impl::Send(Connection& connection, std::vector<iovec> pieces)
{
    return connection.channel.Send(std::move(pieces), Clock::now() + recordWait) == LinkStatus::Ok;
}

bool LanTransport::Impl::ServeCall(Connection& connection, Deadline deadline)
{
    RecordSource source(connection.channel, deadline);
    CallHeader call;
    if (!ReadCallHeader(source, call))
        return false;
    const bool core = connection.service == Service::Core;
    std::string reply = Refusal(call, core ? CoreProgram : PMAPPROG, core ? CoreVersion : PMAPVERS);
    if (reply.empty() && core)
        return ServeCore(connection, call, source, deadline);
    bool success = false;
    if (reply.empty())
        reply = PortmapperReply(call, source, success);
    return source.Status() == LinkStatus::Ok && connection.channel.SkipRest(deadline) == LinkStatus::Ok &&
           Send(connection, {Piece(reply.data(), reply.size())});
}

bool LanTransport::Impl::ServeCore(Connection& connection, const CallHeader& call, RecordSource& source,
                                   Deadline deadline)
{
    const std::string success = EncodeAcceptedReply(call.xid, rpc::Success);
    const auto reply = [&](xdrproc_t routine, void* result) {
        const std::string bytes = success + EncodeXdr(routine, result);
        return Send(connection, {Piece(bytes.data(), bytes.size())});
    };
    const auto refuse = [&](std::uint32_t acceptStat) {
        const std::string bytes = EncodeAcceptedReply(call.xid, acceptStat);
        return source.Status() == LinkStatus::Ok && connection.channel.SkipRest(deadline) == LinkStatus::Ok &&
               Send(connection, {Piece(bytes.data(), bytes.size())});
    };
    Device_Error error{ErrorNone};
    switch (call.procedure) {
    case 0: // RPC's own ping (RFC 5531 12.1), which rpcinfo sends
        return connection.channel.SkipRest(deadline) == LinkStatus::Ok &&
               Send(connection, {Piece(success.data(), success.size())});
    case create_link: {
        char device[maxDeviceName + 1];
        Create_LinkParms parameters{0, 0, 0, device};
        if (!DecodeRest(source, maxArguments, Xdr(DecodeCreateLink), &parameters))
            return refuse(rpc::GarbageArguments);
        Create_LinkResp result = CreateLink(connection, parameters);
        return reply(Xdr(xdr_Create_LinkResp), &result);
    }
    case device_write:
        return Write(connection, call.xid, source, deadline);
    case device_read: {
        Device_ReadParms parameters{};
        if (!DecodeRest(source, maxArguments, Xdr(xdr_Device_ReadParms), &parameters))
            return refuse(rpc::GarbageArguments);
        return Read(connection, call.xid, parameters);
    }
    case device_readstb:
    case device_trigger:
    case device_clear:
    case device_remote:
    case device_local: {
        Device_GenericParms parameters{};
        if (!DecodeRest(source, maxArguments, Xdr(xdr_Device_GenericParms), &parameters))
            return refuse(rpc::GarbageArguments);
        Device_ReadStbResp result{};
        result.error = Generic(connection, call.procedure, parameters, result.stb);
        if (call.procedure == device_readstb)
            return reply(Xdr(xdr_Device_ReadStbResp), &result);
        error.error = result.error;
        return reply(Xdr(xdr_Device_Error), &error);
    }
    case device_lock: {
        Device_LockParms parameters{};
        if (!DecodeRest(source, maxArguments, Xdr(xdr_Device_LockParms), &parameters))
            return refuse(rpc::GarbageArguments);
        error.error = Lock(connection, call.procedure, parameters);
        return reply(Xdr(xdr_Device_Error), &error);
    }
    case device_unlock:
    case destroy_link: {
        Device_LockParms parameters{};
        if (!DecodeRest(source, maxArguments, Xdr(xdr_Device_Link), &parameters.lid))
            return refuse(rpc::GarbageArguments);
        error.error = Lock(connection, call.procedure, parameters);
        return reply(Xdr(xdr_Device_Error), &error);
    }
    case device_docmd: {
        Device_DocmdResp result{ErrorNotSupported, {0, nullptr}};
        return connection.channel.SkipRest(deadline) == LinkStatus::Ok && reply(Xdr(xdr_Device_DocmdResp), &result);
    }
    case device_enable_srq:
    case create_intr_chan:
    case destroy_intr_chan:
        // No service requests: a sensor has nothing to report that way.
        error.error = ErrorNotSupported;
        return connection.channel.SkipRest(deadline) == LinkStatus::Ok && reply(Xdr(xdr_Device_Error), &error);
    default:
        return refuse(rpc::ProcedureUnavailable);
    }
}

DeviceLink* LanTransport::Impl::Find(Connection& connection, Device_Link lid)
{
    const auto found = connection.links.find(lid);
    return found == connection.links.end() ? nullptr : &found->second;
}

// Holds `lock` on the sensor's mutex while it looks; between looks another
// connection may change the sensor. False at `until`, and at once when the
// connection closes or the sensor is unplugged.
template <typename Ready>
bool LanTransport::Impl::WaitUntil(std::unique_lock<std::mutex>& lock, Connection& connection, Deadline until,
                                   Ready ready)
{
    for (;;) {
        if (connection.closed || sensor->RefreshFaults().unplugged)
            return false;
        if (ready())
            return true;
        const auto now = Clock::now();
        if (now >= until)
            return false;
        lock.unlock();
        const auto pause = std::min<Clock::duration>(crossConnectionPoll, until - now);
        // The peer hanging up ends the wait: nobody is left to answer.
        pollfd entry{connection.channel.Link().Descriptor(), POLLRDHUP, 0};
        if (::poll(&entry, 1, static_cast<int>(std::chrono::ceil<std::chrono::milliseconds>(pause).count())) > 0)
            connection.Close();
        lock.lock();
    }
}

// VXI-11 B.6: an operation waits for a lock only when the client sets
// waitlock, and then up to lock_timeout.
Deadline LockWaitEnd(Device_Flags flags, std::uint32_t lockTimeoutMs)
{
    return usbtmc::DeadlineAfter(flags & FlagWaitLock ? lockTimeoutMs : 0);
}

Device_ErrorCode LanTransport::Impl::Gate(std::unique_lock<std::mutex>& lock, Connection& connection, DeviceLink& link,
                                          Device_Flags flags, std::uint32_t lockTimeoutMs)
{
    return WaitUntil(lock, connection, LockWaitEnd(flags, lockTimeoutMs), [&] { return !sensor->HeldByOther(link.owner); }) ? ErrorNone
                                                                                                  : ErrorLocked;
}

Create_LinkResp LanTransport::Impl::CreateLink(Connection& connection, const Create_LinkParms& parameters)
{
    Create_LinkResp result{ErrorNone, 0, 0, MaxRecvSize};
    if (::strcasecmp(parameters.device, "inst0") != 0) {
        result.error = ErrorDeviceNotAccessible;
        return result;
    }
    if (connection.links.size() >= maxLinksPerConnection) {
        result.error = ErrorOutOfResources;
        return result;
    }
    DeviceLink link;
    if (parameters.lockDevice) {
        std::unique_lock<std::mutex> lock(sensor->Mutex());
        if (!WaitUntil(lock, connection, usbtmc::DeadlineAfter(parameters.lock_timeout),
                       [&] { return sensor->TryLock(link.owner); })) {
            result.error = ErrorLocked;
            return result;
        }
    }
    result.lid = nextLid++;
    connection.links.emplace(result.lid, std::move(link));
    return result;
}

bool LanTransport::Impl::Write(Connection& connection, std::uint32_t xid, RecordSource& source, Deadline deadline)
{
    // Device_WriteParms up to the data, which goes straight into the message.
    std::uint32_t words[5];
    for (std::uint32_t& word : words)
        if (!source.Word(word))
            return false;
    const std::uint32_t length = words[4];
    RpcChannel& channel = connection.channel;
    const auto reply = [&](Device_ErrorCode error, std::uint32_t size) {
        const std::string bytes =
            EncodeAcceptedReply(xid, error < 0 ? rpc::GarbageArguments : rpc::Success) +
            (error < 0 ? std::string() : EncodeWords({static_cast<std::uint32_t>(error), size}));
        return Send(connection, {Piece(bytes.data(), bytes.size())});
    };
    if (length > MaxRecvSize)
        return channel.SkipRest(deadline) == LinkStatus::Ok && reply(-1, 0);
    DeviceLink* const link = Find(connection, static_cast<Device_Link>(words[0]));
    if (!link)
        return channel.SkipRest(deadline) == LinkStatus::Ok && reply(ErrorInvalidLink, 0);
    std::optional<std::uint64_t> dropAfter;
    {
        std::unique_lock<std::mutex> lock(sensor->Mutex());
        const Device_ErrorCode gate = Gate(lock, connection, *link, static_cast<Device_Flags>(words[3]), words[2]);
        if (gate != ErrorNone) {
            lock.unlock();
            return channel.SkipRest(Clock::now() + recordWait) == LinkStatus::Ok && reply(gate, 0);
        }
        dropAfter = sensor->Engine().Faults().dropAfter;
    }
    deadline = std::max(deadline, Clock::now() + recordWait);
    const bool end = (words[3] & FlagEnd) != 0;
    if (link->discarding || link->message.Size() + length > maxMessageSize) {
        link->discarding = true;
        if (channel.SkipRest(deadline) != LinkStatus::Ok)
            return false;
    } else {
        const std::size_t old = link->message.Size();
        if (channel.Read(link->message.Append(length), length, deadline) != LinkStatus::Ok)
            return false;
        // A drop in the middle of a block write: the connection ends, nothing is kept.
        if (dropAfter && link->message.Size() > *dropAfter && link->message.CarriesBlock())
            return false;
        char padding[4];
        if (channel.Read(padding, XdrPadding(length), deadline) != LinkStatus::Ok || !channel.AtEnd()) {
            link->message.Clear();
            return channel.SkipRest(deadline) == LinkStatus::Ok && reply(-1, 0);
        }
        if (old == 0 && !end)
            link->message.ReserveForBlock();
    }
    if (end) {
        std::lock_guard<std::mutex> lock(sensor->Mutex());
        sensor->RefreshFaults();
        if (link->discarding)
            sensor->Engine().QueueError(-223, "the message is too long");
        else
            sensor->Engine().Execute(link->message.View());
        sensor->outputDue = Clock::now() + std::chrono::milliseconds(sensor->Engine().Faults().delayMs);
        link->replySent = 0;
        link->discarding = false;
        link->message.Clear();
    }
    return reply(ErrorNone, length);
}

bool LanTransport::Impl::Read(Connection& connection, std::uint32_t xid, const Device_ReadParms& parameters)
{
    const auto fail = [&](Device_ErrorCode error) {
        const std::string bytes = EncodeAcceptedReply(xid, rpc::Success) +
                                  EncodeWords({static_cast<std::uint32_t>(error), 0, 0});
        return Send(connection, {Piece(bytes.data(), bytes.size())});
    };
    DeviceLink* const link = Find(connection, parameters.lid);
    if (!link)
        return fail(ErrorInvalidLink);
    std::unique_lock<std::mutex> lock(sensor->Mutex());
    const Device_ErrorCode gate = Gate(lock, connection, *link, parameters.flags, parameters.lock_timeout);
    if (gate != ErrorNone) {
        lock.unlock();
        return fail(gate);
    }
    // The reply of the last message may go out once it is due (the delay fault).
    const bool ready = WaitUntil(lock, connection, usbtmc::DeadlineAfter(parameters.io_timeout), [&] {
        return sensor->Engine().HasOutput() && Clock::now() >= sensor->outputDue;
    });
    if (!ready) {
        lock.unlock();
        return fail(ErrorIoTimeout);
    }
    const OutputChunk chunk = sensor->Engine().TakeOutput(parameters.requestSize);
    const std::optional<std::uint64_t> dropAfter = sensor->Engine().Faults().dropAfter;
    lock.unlock();

    // VXI-11 B.6.4: END marks the last byte of the response.
    const std::string header =
        EncodeAcceptedReply(xid, rpc::Success) +
        EncodeWords({ErrorNone, static_cast<std::uint32_t>(chunk.end ? ReasonEnd : ReasonRequestCount),
                     static_cast<std::uint32_t>(chunk.size)});
    std::vector<iovec> pieces{Piece(header.data(), header.size())};
    // A drop in the middle of the reply: the record breaks off.
    std::uint64_t allowed = chunk.size;
    const bool drop = dropAfter && link->replySent + chunk.size > *dropAfter;
    if (drop)
        allowed = *dropAfter > link->replySent ? *dropAfter - link->replySent : 0;
    for (const OutputPiece& piece : chunk.pieces) {
        const std::size_t take = static_cast<std::size_t>(std::min<std::uint64_t>(piece.size, allowed));
        pieces.push_back(Piece(piece.storage->data() + piece.offset, take));
        allowed -= take;
    }
    static constexpr char zeros[4] = {};
    pieces.push_back(Piece(zeros, XdrPadding(chunk.size)));
    link->replySent = chunk.end ? 0 : link->replySent + chunk.size;
    if (!drop)
        return Send(connection, std::move(pieces));
    // The record mark promises the whole reply; the connection ends before it.
    const std::string mark = EncodeWords({0x80000000u | static_cast<std::uint32_t>(header.size() + chunk.size +
                                                                                    XdrPadding(chunk.size))});
    pieces.pop_back();
    pieces.insert(pieces.begin(), Piece(mark.data(), mark.size()));
    connection.channel.Link().SendBytes(std::move(pieces), Clock::now() + recordWait);
    return false;
}

Device_ErrorCode LanTransport::Impl::Generic(Connection& connection, std::uint32_t procedure,
                                             const Device_GenericParms& parameters, std::uint8_t& statusByte)
{
    DeviceLink* const link = Find(connection, parameters.lid);
    if (!link)
        return ErrorInvalidLink;
    if (procedure == device_trigger)
        return ErrorNotSupported;
    std::unique_lock<std::mutex> lock(sensor->Mutex());
    const Device_ErrorCode gate = Gate(lock, connection, *link, parameters.flags, parameters.lock_timeout);
    if (gate != ErrorNone)
        return gate;
    statusByte = sensor->Engine().StatusByte();
    if (procedure == device_clear) {
        sensor->Engine().DeviceClear();
        link->message.Clear();
        link->discarding = false;
        link->replySent = 0;
    }
    return ErrorNone;
}

// device_lock, device_unlock and destroy_link.
Device_ErrorCode LanTransport::Impl::Lock(Connection& connection, std::uint32_t procedure,
                                          const Device_LockParms& parameters)
{
    DeviceLink* const link = Find(connection, parameters.lid);
    if (!link)
        return ErrorInvalidLink;
    std::unique_lock<std::mutex> lock(sensor->Mutex());
    if (procedure == device_unlock)
        return sensor->Unlock(link->owner) ? ErrorNone : ErrorNoLockHeld;
    if (procedure == destroy_link) {
        sensor->Release(link->owner);
        lock.unlock();
        connection.links.erase(parameters.lid);
        return ErrorNone;
    }
    return WaitUntil(lock, connection, LockWaitEnd(parameters.flags, parameters.lock_timeout), [&] { return sensor->TryLock(link->owner); }) ? ErrorNone : ErrorLocked;
}
