#include "Pipes.h"

#include <algorithm>
#include <memory>

namespace usbtmc
{

LinkStatus SocketPipes::Connect(const std::string& socketPath, Deadline deadline, std::unique_ptr<Pipes>& pipes)
{
    auto made = std::make_unique<SocketPipes>();
    const LinkStatus status = Link::Connect(socketPath, deadline, made->m_link);
    if (status == LinkStatus::Ok)
        pipes = std::move(made);
    return status;
}

void SocketPipes::Shutdown()
{
    m_link.Shutdown();
}

// A stream cut in the middle of a packet cannot be read in step again.
LinkStatus SocketPipes::Fail(LinkStatus status)
{
    m_broken = true;
    m_link.Shutdown();
    return status;
}

LinkStatus SocketPipes::SkipRest(Deadline deadline)
{
    if (!m_inPacket)
        return LinkStatus::Ok;
    const LinkStatus status = m_link.SkipBytes(m_left, deadline);
    if (status != LinkStatus::Ok)
        return Fail(status);
    m_inPacket = false;
    m_left = 0;
    return LinkStatus::Ok;
}

LinkStatus SocketPipes::Control(const SetupPacket& setup, std::string_view out, std::string* in, bool& stalled,
                                Deadline deadline)
{
    stalled = false;
    if (!Usable())
        return LinkStatus::Closed;
    const auto packet = EncodeSetup(setup);
    LinkStatus status = m_link.SendPacket(
        EndpointControl, {Piece(packet.data(), packet.size()), Piece(out.data(), out.size())}, deadline);
    if (status != LinkStatus::Ok)
        return Fail(status);
    // Bulk-IN packets of an abandoned read may still be on their way; they are
    // skipped. The control reply itself has no tag, so losing it would leave
    // the next request a stale answer: a timeout here breaks the pipes.
    if ((status = SkipRest(deadline)) != LinkStatus::Ok)
        return status;
    for (;;) {
        std::uint8_t endpoint = 0;
        std::uint32_t length = 0;
        status = m_link.ReceiveHeader(endpoint, length, deadline);
        if (status != LinkStatus::Ok)
            return Fail(status);
        if (endpoint == EndpointBulkIn) {
            status = m_link.SkipBytes(length, deadline);
            if (status != LinkStatus::Ok)
                return Fail(status);
            continue;
        }
        if (endpoint != EndpointControlIn || length < 1 || length - 1 > setup.length)
            return Fail(LinkStatus::Protocol);
        std::string reply(length, '\0');
        status = m_link.ReceiveBytes(reply.data(), length, deadline);
        if (status != LinkStatus::Ok)
            return Fail(status);
        stalled = reply[0] != static_cast<char>(ControlAck);
        if (in)
            in->assign(reply, 1, std::string::npos);
        return LinkStatus::Ok;
    }
}

LinkStatus SocketPipes::BulkOut(const std::vector<iovec>& pieces, Deadline deadline)
{
    if (!Usable())
        return LinkStatus::Closed;
    const LinkStatus status = m_link.SendPacket(EndpointBulkOut, pieces, deadline);
    return status == LinkStatus::Ok ? status : Fail(status);
}

LinkStatus SocketPipes::BulkIn(char* destination, std::size_t capacity, std::size_t& count, Deadline deadline)
{
    count = 0;
    if (!Usable())
        return LinkStatus::Closed;
    if (!m_inPacket) {
        // Waiting for a packet to begin may time out harmlessly.
        LinkStatus status = m_link.WaitReadable(deadline);
        if (status != LinkStatus::Ok)
            return status == LinkStatus::Timeout ? status : Fail(status);
        std::uint8_t endpoint = 0;
        std::uint32_t length = 0;
        status = m_link.ReceiveHeader(endpoint, length, deadline);
        if (status != LinkStatus::Ok)
            return Fail(status);
        if (endpoint != EndpointBulkIn)
            return Fail(LinkStatus::Protocol);
        m_inPacket = true;
        m_left = length;
    }
    const std::size_t take = std::min(capacity, m_left);
    const LinkStatus status = m_link.ReceiveBytes(destination, take, deadline);
    if (status != LinkStatus::Ok)
        return Fail(status);
    count = take;
    m_left -= take;
    m_inPacket = m_left > 0;
    return LinkStatus::Ok;
}

LinkStatus SocketPipes::InterruptIn(char*, std::size_t, std::size_t& count, Deadline)
{
    count = 0;
    return LinkStatus::Protocol;
}

} // namespace usbtmc
