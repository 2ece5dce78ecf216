#pragma once

// One end of a sensor's local stream socket: whole packets (link header and
// transfer, see UsbTmc.h) sent and received with a deadline. Nothing blocks
// past its deadline; Shutdown, from any thread, makes a blocked call return
// Closed at once.

#include <sys/uio.h>

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace usbtmc
{

using Clock = std::chrono::steady_clock;
using Deadline = Clock::time_point;
constexpr Deadline NoDeadline = Deadline::max();
// Now plus `milliseconds` (negative counts as 0).
Deadline DeadlineAfter(long long milliseconds);
// How long a call that reaches `deadline` may go on to leave the link in
// order (abort a transfer, give back a lock): half of what a caller allows
// past a timeout (a tenth of it and 100 ms), at most `most` milliseconds.
long long GraceMs(Deadline deadline, long long most);

enum class LinkStatus
{
    Ok,
    Timeout,  // the deadline passed
    Closed,   // the peer went away, or Shutdown was called
    Protocol, // the peer sent something that is no packet
    System    // a system call failed otherwise
};

class Link
{
public:
    Link() = default;
    explicit Link(int descriptor); // takes ownership; made non-blocking
    ~Link();
    Link(Link&& other) noexcept;
    Link& operator=(Link&& other) noexcept;
    Link(const Link&) = delete;
    Link& operator=(const Link&) = delete;

    static LinkStatus Connect(const std::string& socketPath, Deadline deadline, Link& link);

    bool IsOpen() const { return m_fd >= 0; }
    int Descriptor() const { return m_fd; }
    void Shutdown();

    // One packet: the link header for `endpoint`, then every piece in order.
    LinkStatus SendPacket(std::uint8_t endpoint, const std::vector<iovec>& pieces, Deadline deadline);
    // The pieces as they are, without a link header.
    LinkStatus SendBytes(std::vector<iovec> pieces, Deadline deadline);
    LinkStatus ReceiveHeader(std::uint8_t& endpoint, std::uint32_t& length, Deadline deadline);
    LinkStatus ReceiveBytes(char* destination, std::size_t count, Deadline deadline);
    LinkStatus SkipBytes(std::size_t count, Deadline deadline);
    // Ok once bytes (or the end of the stream) can be read.
    LinkStatus WaitReadable(Deadline deadline);

private:
    LinkStatus Wait(short events, Deadline deadline);

    int m_fd = -1;
};

inline iovec Piece(const void* data, std::size_t size) { return iovec{const_cast<void*>(data), size}; }

} // namespace usbtmc
