#include "Link.h"

#include "UsbTmc.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>

namespace usbtmc
{

Deadline DeadlineAfter(long long milliseconds)
{
    return Clock::now() + std::chrono::milliseconds(std::max(0LL, milliseconds));
}

long long GraceMs(Deadline deadline, long long most)
{
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return std::min(most, 50 + std::max(0LL, static_cast<long long>(left)) / 20);
}

Link::Link(int descriptor) : m_fd(descriptor)
{
    if (m_fd < 0)
        return;
    ::fcntl(m_fd, F_SETFL, ::fcntl(m_fd, F_GETFL) | O_NONBLOCK);
    // Room for a few transfers: fewer wake-ups while a data set streams.
    const int size = 4 << 20;
    ::setsockopt(m_fd, SOL_SOCKET, SO_SNDBUF, &size, sizeof size);
    ::setsockopt(m_fd, SOL_SOCKET, SO_RCVBUF, &size, sizeof size);
}

Link::~Link()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

Link::Link(Link&& other) noexcept : m_fd(other.m_fd)
{
    other.m_fd = -1;
}

Link& Link::operator=(Link&& other) noexcept
{
    if (this != &other) {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = other.m_fd;
        other.m_fd = -1;
    }
    return *this;
}

void Link::Shutdown()
{
    if (m_fd >= 0)
        ::shutdown(m_fd, SHUT_RDWR);
}

LinkStatus Link::Connect(const std::string& socketPath, Deadline deadline, Link& link)
{
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (socketPath.size() >= sizeof address.sun_path)
        return LinkStatus::System;
    std::memcpy(address.sun_path, socketPath.c_str(), socketPath.size() + 1);
    Link candidate(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (!candidate.IsOpen())
        return LinkStatus::System;
    for (;;) {
        if (::connect(candidate.m_fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0)
            break;
        if (errno == EINTR)
            continue;
        // A full listen queue: the server is busy, try again until the deadline.
        if (errno == EAGAIN) {
            if (Clock::now() >= deadline)
                return LinkStatus::Timeout;
            ::usleep(1000);
            continue;
        }
        return errno == ENOENT || errno == ECONNREFUSED ? LinkStatus::Closed : LinkStatus::System;
    }
    link = std::move(candidate);
    return LinkStatus::Ok;
}

LinkStatus Link::Wait(short events, Deadline deadline)
{
    for (;;) {
        int timeout = -1;
        if (deadline != NoDeadline) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
            if (left < 0)
                return LinkStatus::Timeout;
            // Rounded up, so that the wait never ends before the deadline.
            timeout = static_cast<int>(std::min<long long>(left + 1, 1 << 30));
        }
        pollfd entry{m_fd, events, 0};
        const int ready = ::poll(&entry, 1, timeout);
        if (ready > 0)
            return LinkStatus::Ok;
        if (ready == 0)
            continue; // the loop checks the deadline
        if (errno != EINTR)
            return LinkStatus::System;
    }
}

LinkStatus Link::WaitReadable(Deadline deadline)
{
    if (m_fd < 0)
        return LinkStatus::Closed;
    return Wait(POLLIN, deadline);
}

LinkStatus Link::SendPacket(std::uint8_t endpoint, const std::vector<iovec>& pieces, Deadline deadline)
{
    std::size_t total = 0;
    for (const iovec& piece : pieces)
        total += piece.iov_len;
    if (total > MaxPacketLength)
        return LinkStatus::Protocol;
    const auto header = EncodeLinkHeader(endpoint, static_cast<std::uint32_t>(total));
    std::vector<iovec> all;
    all.reserve(pieces.size() + 1);
    all.push_back(Piece(header.data(), header.size()));
    all.insert(all.end(), pieces.begin(), pieces.end());
    return SendBytes(std::move(all), deadline);
}

LinkStatus Link::SendBytes(std::vector<iovec> left, Deadline deadline)
{
    if (m_fd < 0)
        return LinkStatus::Closed;
    std::size_t first = 0;
    for (;;) {
        while (first < left.size() && left[first].iov_len == 0)
            ++first;
        if (first == left.size())
            return LinkStatus::Ok;
        msghdr message{};
        message.msg_iov = left.data() + first;
        message.msg_iovlen = std::min<std::size_t>(left.size() - first, IOV_MAX);
        const ssize_t sent = ::sendmsg(m_fd, &message, MSG_NOSIGNAL);
        if (sent < 0) {
            if (errno == EINTR)
                continue;
            if (errno == EAGAIN) {
                const LinkStatus waited = Wait(POLLOUT, deadline);
                if (waited != LinkStatus::Ok)
                    return waited;
                continue;
            }
            return errno == EPIPE || errno == ECONNRESET ? LinkStatus::Closed : LinkStatus::System;
        }
        std::size_t done = static_cast<std::size_t>(sent);
        while (done > 0) {
            const std::size_t take = std::min(done, left[first].iov_len);
            left[first].iov_base = static_cast<char*>(left[first].iov_base) + take;
            left[first].iov_len -= take;
            done -= take;
            if (left[first].iov_len == 0)
                ++first;
        }
    }
}

LinkStatus Link::ReceiveBytes(char* destination, std::size_t count, Deadline deadline)
{
    if (m_fd < 0)
        return LinkStatus::Closed;
    while (count > 0) {
        const ssize_t got = ::recv(m_fd, destination, count, 0);
        if (got > 0) {
            destination += got;
            count -= static_cast<std::size_t>(got);
            continue;
        }
        if (got == 0)
            return LinkStatus::Closed;
        if (errno == EINTR)
            continue;
        if (errno == EAGAIN) {
            const LinkStatus waited = Wait(POLLIN, deadline);
            if (waited != LinkStatus::Ok)
                return waited;
            continue;
        }
        return errno == ECONNRESET ? LinkStatus::Closed : LinkStatus::System;
    }
    return LinkStatus::Ok;
}

LinkStatus Link::SkipBytes(std::size_t count, Deadline deadline)
{
    char scratch[4096];
    while (count > 0) {
        const std::size_t part = std::min(count, sizeof scratch);
        const LinkStatus status = ReceiveBytes(scratch, part, deadline);
        if (status != LinkStatus::Ok)
            return status;
        count -= part;
    }
    return LinkStatus::Ok;
}

LinkStatus Link::ReceiveHeader(std::uint8_t& endpoint, std::uint32_t& length, Deadline deadline)
{
    char header[LinkHeaderSize];
    const LinkStatus status = ReceiveBytes(header, sizeof header, deadline);
    if (status != LinkStatus::Ok)
        return status;
    return DecodeLinkHeader(header, endpoint, length) ? LinkStatus::Ok : LinkStatus::Protocol;
}

} // namespace usbtmc
