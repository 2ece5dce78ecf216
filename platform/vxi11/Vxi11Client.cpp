#include "Vxi11Client.h"

#include "RpcChannel.h"
#include "vxi11.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <rpc/pmap_prot.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <functional>
#include <mutex>
#include <random>
#include <set>
#include <thread>

namespace vxi11
{

namespace
{

// Kept back from the time the instrument is given (at most a tenth of it),
// for its answer to come back before the caller's deadline.
constexpr auto replyAllowance = std::chrono::milliseconds(100);
constexpr auto destroyWait = std::chrono::milliseconds(500);
// Results other than device_read's are a few words.
constexpr std::size_t maxResult = 64;

Status StatusOf(LinkStatus status)
{
    switch (status) {
    case LinkStatus::Ok:
        return Status::Ok;
    case LinkStatus::Timeout:
        return Status::Timeout;
    case LinkStatus::Protocol:
        return Status::Protocol;
    default:
        return Status::Closed;
    }
}

std::uint32_t RandomWord()
{
    std::random_device random;
    return random();
}

LinkStatus WaitFor(int fd, short events, Deadline deadline)
{
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left < 0)
            return LinkStatus::Timeout;
        pollfd entry{fd, events, 0};
        const int ready = ::poll(&entry, 1, static_cast<int>(std::min<long long>(left + 1, INT_MAX)));
        if (ready > 0)
            return LinkStatus::Ok;
        if (ready < 0 && errno != EINTR)
            return LinkStatus::System;
    }
}

// A numeric address at once; a host name on a thread of its own, given up
// (not waited for) at the deadline, since the resolver takes no deadline.
bool Resolve(const std::string& host, Deadline deadline, in_addr& address)
{
    if (::inet_pton(AF_INET, host.c_str(), &address) == 1)
        return true;
    struct Lookup
    {
        std::mutex mutex;
        bool done = false;
        bool found = false;
        in_addr address{};
    };
    auto lookup = std::make_shared<Lookup>();
    std::thread([lookup, host] {
        addrinfo hints{};
        hints.ai_family = AF_INET;
        hints.ai_socktype = SOCK_STREAM;
        addrinfo* found = nullptr;
        const bool ok = ::getaddrinfo(host.c_str(), nullptr, &hints, &found) == 0 && found;
        std::lock_guard<std::mutex> lock(lookup->mutex);
        if (ok)
            lookup->address = reinterpret_cast<const sockaddr_in*>(found->ai_addr)->sin_addr;
        lookup->found = ok;
        lookup->done = true;
        if (found)
            ::freeaddrinfo(found);
    }).detach();
    while (Clock::now() < deadline) {
        {
            std::lock_guard<std::mutex> lock(lookup->mutex);
            if (lookup->done) {
                address = lookup->address;
                return lookup->found;
            }
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return false;
}

// One call and its reply; replies to calls given up before are skipped,
// each within the larger of the two limits. Nothing goes out once the
// deadline has passed, and no number of records of other calls keeps the
// wait going past it.
LinkStatus Exchange(RpcChannel& channel, std::uint32_t xid, std::uint32_t program, std::uint32_t version,
                    std::uint32_t procedure, std::vector<iovec> arguments, std::size_t replyLimit,
                    std::size_t staleLimit, Deadline deadline, const std::function<bool(MessageSource&)>& results)
{
    if (Clock::now() >= deadline)
        return LinkStatus::Timeout;
    const auto header = EncodeCallHeader(xid, program, version, procedure);
    arguments.insert(arguments.begin(), usbtmc::Piece(header.data(), header.size()));
    LinkStatus status = channel.Send(std::move(arguments), deadline);
    for (;;) {
        if (status == LinkStatus::Ok && Clock::now() >= deadline)
            status = LinkStatus::Timeout;
        if (status != LinkStatus::Ok)
            return status;
        channel.SetLimit(std::max(replyLimit, staleLimit));
        status = channel.Begin(deadline);
        if (status != LinkStatus::Ok)
            return status;
        RecordSource source(channel, deadline);
        const ReplyCheck check = ReadReplyHeader(source, xid);
        if (check == ReplyCheck::OtherXid)
            continue;
        channel.SetLimit(replyLimit);
        if (check == ReplyCheck::Success && results(source) && channel.AtEnd())
            return LinkStatus::Ok;
        return source.Status() != LinkStatus::Ok ? source.Status() : LinkStatus::Protocol;
    }
}

template <typename T>
std::function<bool(MessageSource&)> ResultInto(xdrproc_t routine, T& value)
{
    return [routine, &value](MessageSource& source) { return DecodeRest(source, maxResult, routine, &value); };
}

} // namespace

struct Client::Impl
{
    // Guards the channels against Shutdown from another thread.
    std::mutex mutex;
    std::atomic<bool> shut{false};
    std::unique_ptr<RpcChannel> core;
    RpcChannel* connecting = nullptr;
    Device_Link lid = 0;
    std::uint32_t maxRecvSize = 0;
    std::uint32_t xid = RandomWord();
    std::size_t staleLimit = 0;

    LinkStatus Connect(RpcChannel& channel, in_addr address, std::uint16_t port, Deadline deadline);
    Result Call(std::uint32_t procedure, std::vector<iovec> arguments, std::size_t replyLimit, Deadline deadline,
                const std::function<bool(MessageSource&)>& results);
    Result ErrorCall(std::uint32_t procedure, xdrproc_t routine, void* arguments, Deadline deadline);

    // The io_timeout and lock_timeout of a call that must be answered by `deadline`.
    static std::uint32_t InstrumentTimeout(Deadline deadline)
    {
        const auto left = deadline - Clock::now();
        const auto given = std::chrono::duration_cast<std::chrono::milliseconds>(
            left - std::min<Clock::duration>(left / 10, replyAllowance));
        return static_cast<std::uint32_t>(std::clamp<long long>(given.count(), 0, UINT32_MAX));
    }
    static Device_Flags Flags(bool waitLock, bool end = false)
    {
        return (waitLock ? FlagWaitLock : 0) | (end ? FlagEnd : 0);
    }
};

LinkStatus Client::Impl::Connect(RpcChannel& channel, in_addr address, std::uint16_t port, Deadline deadline)
{
    channel = RpcChannel(usbtmc::Link(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)));
    if (!channel.IsOpen())
        return LinkStatus::System;
    {
        std::lock_guard<std::mutex> lock(mutex);
        if (shut)
            return LinkStatus::Closed;
        connecting = &channel;
    }
    const int fd = channel.Link().Descriptor();
    sockaddr_in peer{};
    peer.sin_family = AF_INET;
    peer.sin_port = htons(port);
    peer.sin_addr = address;
    LinkStatus status = LinkStatus::Ok;
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&peer), sizeof peer) != 0) {
        status = errno == EINPROGRESS ? WaitFor(fd, POLLOUT, deadline) : LinkStatus::Closed;
        int problem = 0;
        socklen_t size = sizeof problem;
        if (status == LinkStatus::Ok && (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &problem, &size) != 0 || problem))
            status = LinkStatus::Closed;
    }
    const int on = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    std::lock_guard<std::mutex> lock(mutex);
    connecting = nullptr;
    return shut ? LinkStatus::Closed : status;
}

Result Client::Impl::Call(std::uint32_t procedure, std::vector<iovec> arguments, std::size_t replyLimit,
                          Deadline deadline, const std::function<bool(MessageSource&)>& results)
{
    if (!core || !core->IsOpen() || shut)
        return {Status::Closed};
    const LinkStatus status = Exchange(*core, ++xid, CoreProgram, CoreVersion, procedure, std::move(arguments),
                                       replyLimit, staleLimit, deadline, results);
    // A reply given up in the middle would have to be skipped by the next
    // call, at whatever pace the instrument sends the rest: the link is
    // given up instead. One that never began is skipped when it comes.
    if (status == LinkStatus::Timeout && !core->Midway())
        staleLimit = std::max(staleLimit, replyLimit);
    else if (status != LinkStatus::Ok)
        core->Break();
    return {shut ? Status::Closed : StatusOf(status)};
}

// The calls whose result is a Device_Error.
Result Client::Impl::ErrorCall(std::uint32_t procedure, xdrproc_t routine, void* arguments, Deadline deadline)
{
    const std::string encoded = EncodeXdr(routine, arguments);
    Device_Error reply{};
    Result result = Call(procedure, {usbtmc::Piece(encoded.data(), encoded.size())}, rpc::MaxHeaderSize + maxResult,
                         deadline, ResultInto(Xdr(xdr_Device_Error), reply));
    if (result.ok() && reply.error != ErrorNone)
        result = {Status::DeviceError, reply.error};
    return result;
}

Client::Client() : m_impl(std::make_unique<Impl>()) {}

Client::~Client()
{
    Close();
}

Result Client::Open(const std::string& host, const std::string& device, Deadline deadline)
{
    Close();
    Impl& impl = *m_impl;
    in_addr address{};
    if (!Resolve(host, deadline, address))
        return {Status::Unreachable};

    // The portmapper's GETPORT over TCP (RFC 1833, 3.2).
    RpcChannel portmapper;
    LinkStatus status = impl.Connect(portmapper, address, PMAPPORT, deadline);
    if (status != LinkStatus::Ok)
        return {status == LinkStatus::Timeout ? Status::Timeout : Status::Unreachable};
    pmap query{CoreProgram, CoreVersion, IPPROTO_TCP, 0};
    const std::string arguments = EncodeXdr(Xdr(xdr_pmap), &query);
    u_int port = 0;
    status = Exchange(portmapper, RandomWord(), PMAPPROG, PMAPVERS, PMAPPROC_GETPORT,
                      {usbtmc::Piece(arguments.data(), arguments.size())}, rpc::MaxHeaderSize + maxResult, 0, deadline,
                      ResultInto(Xdr(xdr_u_int), port));
    if (status != LinkStatus::Ok)
        return {impl.shut ? Status::Closed : StatusOf(status)};
    if (port == 0 || port > 0xFFFF)
        return {Status::Unreachable};

    auto core = std::make_unique<RpcChannel>();
    status = impl.Connect(*core, address, static_cast<std::uint16_t>(port), deadline);
    if (status != LinkStatus::Ok)
        return {status == LinkStatus::Timeout ? Status::Timeout : Status::Unreachable};
    {
        std::lock_guard<std::mutex> lock(impl.mutex);
        impl.core = std::move(core);
    }
    impl.staleLimit = 0;
    Create_LinkParms parameters{static_cast<int>(::getpid()), false, 0, const_cast<char*>(device.c_str())};
    const std::string encoded = EncodeXdr(Xdr(xdr_Create_LinkParms), &parameters);
    Create_LinkResp reply{};
    Result result = impl.Call(create_link, {usbtmc::Piece(encoded.data(), encoded.size())},
                              rpc::MaxHeaderSize + maxResult, deadline, ResultInto(Xdr(xdr_Create_LinkResp), reply));
    if (result.ok() && reply.error != ErrorNone)
        result = {Status::DeviceError, reply.error};
    else if (result.ok() && reply.maxRecvSize == 0)
        result = {Status::Protocol};
    if (!result.ok()) {
        std::lock_guard<std::mutex> lock(impl.mutex);
        impl.core.reset();
        return result;
    }
    impl.lid = reply.lid;
    impl.maxRecvSize = reply.maxRecvSize;
    return result;
}

void Client::Close()
{
    Impl& impl = *m_impl;
    if (impl.core && impl.core->IsOpen() && !impl.shut) {
        Device_Link lid = impl.lid;
        impl.ErrorCall(destroy_link, Xdr(xdr_Device_Link), &lid, Clock::now() + destroyWait);
    }
    std::lock_guard<std::mutex> lock(impl.mutex);
    impl.core.reset();
    impl.shut = false;
}

void Client::Shutdown()
{
    Impl& impl = *m_impl;
    std::lock_guard<std::mutex> lock(impl.mutex);
    impl.shut = true;
    if (impl.core)
        impl.core->Link().Shutdown();
    if (impl.connecting)
        impl.connecting->Link().Shutdown();
}

bool Client::IsOpen() const
{
    return m_impl->core && m_impl->core->IsOpen() && !m_impl->shut;
}

std::uint32_t Client::MaxRecvSize() const
{
    return m_impl->maxRecvSize;
}

Result Client::Write(std::string_view data, bool end, Deadline deadline, bool waitLock, std::size_t& written)
{
    Impl& impl = *m_impl;
    written = 0;
    do {
        const std::size_t size =
            std::min<std::size_t>(data.size() - written, std::max<std::uint32_t>(impl.maxRecvSize, 1));
        const bool last = written + size == data.size();
        const std::uint32_t timeoutMs = Impl::InstrumentTimeout(deadline);
        // The fixed fields and the length of the data, which goes out as it
        // is, without a copy.
        const std::string prefix =
            EncodeWords({static_cast<std::uint32_t>(impl.lid), timeoutMs, timeoutMs,
                         static_cast<std::uint32_t>(Impl::Flags(waitLock, last && end)), static_cast<std::uint32_t>(size)});
        static constexpr char zeros[4] = {};
        Device_WriteResp reply{};
        Result result = impl.Call(device_write,
                                  {usbtmc::Piece(prefix.data(), prefix.size()),
                                   usbtmc::Piece(data.data() + written, size), usbtmc::Piece(zeros, XdrPadding(size))},
                                  rpc::MaxHeaderSize + maxResult, deadline, ResultInto(Xdr(xdr_Device_WriteResp), reply));
        if (!result.ok())
            return result;
        // A device may take part of the data (the rest goes again), but
        // never more than it got, and taking nothing would never end. What
        // it took counts with an error too (its own timeout, say).
        if (reply.size > size)
            return {Status::Protocol};
        written += reply.size;
        if (reply.error != ErrorNone)
            return {Status::DeviceError, reply.error};
        if (reply.size == 0 && size > 0)
            return {Status::Protocol};
    } while (written < data.size());
    return {};
}

Result Client::Read(char* destination, std::size_t capacity, Deadline deadline, bool waitLock, std::size_t& count,
                    std::int32_t& reason)
{
    Impl& impl = *m_impl;
    count = 0;
    reason = 0;
    // A device may answer with less than asked and no END: read on. Each
    // reply's data goes straight into the caller's buffer, never more than
    // asked for.
    do {
        const std::uint32_t timeoutMs = Impl::InstrumentTimeout(deadline);
        Device_ReadParms parameters{impl.lid, static_cast<u_int>(std::min<std::size_t>(capacity - count, UINT_MAX)),
                                    timeoutMs, timeoutMs, Impl::Flags(waitLock), 0};
        const std::string encoded = EncodeXdr(Xdr(xdr_Device_ReadParms), &parameters);
        std::int32_t error = ErrorNone;
        std::size_t got = 0;
        const auto results = [&](MessageSource& source) {
            std::uint32_t words[3];
            if (!source.Word(words[0]) || !source.Word(words[1]) || !source.Word(words[2]) ||
                words[2] > parameters.requestSize)
                return false;
            error = static_cast<std::int32_t>(words[0]);
            char padding[4];
            if (!source.Take(destination + count, words[2]) || !source.Take(padding, XdrPadding(words[2])))
                return false;
            got = words[2];
            reason = static_cast<std::int32_t>(words[1]);
            return true;
        };
        Result result = impl.Call(device_read, {usbtmc::Piece(encoded.data(), encoded.size())},
                                  rpc::MaxHeaderSize + 12 + parameters.requestSize + 3, deadline, results);
        if (!result.ok())
            return result;
        count += got;
        if (error != ErrorNone)
            return {Status::DeviceError, error};
    } while (count < capacity && !(reason & (ReasonEnd | ReasonTermChar)));
    return {};
}

Result Client::Lock(Deadline deadline, bool waitLock)
{
    Device_LockParms parameters{m_impl->lid, Impl::Flags(waitLock), Impl::InstrumentTimeout(deadline)};
    return m_impl->ErrorCall(device_lock, Xdr(xdr_Device_LockParms), &parameters, deadline);
}

Result Client::Unlock(Deadline deadline)
{
    Device_Link lid = m_impl->lid;
    return m_impl->ErrorCall(device_unlock, Xdr(xdr_Device_Link), &lid, deadline);
}

Result Client::Clear(Deadline deadline, bool waitLock)
{
    const std::uint32_t timeoutMs = Impl::InstrumentTimeout(deadline);
    Device_GenericParms parameters{m_impl->lid, Impl::Flags(waitLock), timeoutMs, timeoutMs};
    return m_impl->ErrorCall(device_clear, Xdr(xdr_Device_GenericParms), &parameters, deadline);
}

std::vector<std::string> DiscoverInstruments(int waitMs)
{
    const Deadline deadline = usbtmc::DeadlineAfter(waitMs);
    std::set<in_addr_t> broadcasts;
    ifaddrs* interfaces = nullptr;
    if (::getifaddrs(&interfaces) != 0)
        return {};
    for (const ifaddrs* entry = interfaces; entry; entry = entry->ifa_next) {
        const unsigned flags = entry->ifa_flags;
        if (entry->ifa_addr && entry->ifa_addr->sa_family == AF_INET && entry->ifa_broadaddr &&
            (flags & IFF_UP) && (flags & IFF_BROADCAST) && !(flags & IFF_LOOPBACK))
            broadcasts.insert(reinterpret_cast<const sockaddr_in*>(entry->ifa_broadaddr)->sin_addr.s_addr);
    }
    ::freeifaddrs(interfaces);
    usbtmc::Link socket(::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0));
    const int on = 1;
    if (broadcasts.empty() || !socket.IsOpen() ||
        ::setsockopt(socket.Descriptor(), SOL_SOCKET, SO_BROADCAST, &on, sizeof on) != 0)
        return {};

    const std::uint32_t xid = RandomWord();
    const auto header = EncodeCallHeader(xid, PMAPPROG, PMAPVERS, PMAPPROC_GETPORT);
    pmap query{CoreProgram, CoreVersion, IPPROTO_TCP, 0};
    const std::string message = std::string(header.data(), header.size()) + EncodeXdr(Xdr(xdr_pmap), &query);
    for (const in_addr_t broadcast : broadcasts) {
        sockaddr_in target{};
        target.sin_family = AF_INET;
        target.sin_port = htons(PMAPPORT);
        target.sin_addr.s_addr = broadcast;
        ::sendto(socket.Descriptor(), message.data(), message.size(), 0, reinterpret_cast<const sockaddr*>(&target),
                 sizeof target);
    }
    std::set<std::uint32_t> found; // host order, so that the addresses sort as numbers
    while (WaitFor(socket.Descriptor(), POLLIN, deadline) == LinkStatus::Ok) {
        char reply[1024];
        sockaddr_in from{};
        socklen_t fromSize = sizeof from;
        const ssize_t size = ::recvfrom(socket.Descriptor(), reply, sizeof reply, MSG_DONTWAIT,
                                        reinterpret_cast<sockaddr*>(&from), &fromSize);
        if (size <= 0 || fromSize != sizeof from)
            continue;
        DatagramSource source(reply, static_cast<std::size_t>(size));
        u_int port = 0;
        if (ReadReplyHeader(source, xid) == ReplyCheck::Success && DecodeRest(source, maxResult, Xdr(xdr_u_int), &port) &&
            port != 0)
            found.insert(ntohl(from.sin_addr.s_addr));
    }
    std::vector<std::string> addresses;
    for (const std::uint32_t address : found) {
        in_addr raw{htonl(address)};
        char text[INET_ADDRSTRLEN];
        addresses.emplace_back(::inet_ntop(AF_INET, &raw, text, sizeof text));
    }
    return addresses;
}

} // namespace vxi11
