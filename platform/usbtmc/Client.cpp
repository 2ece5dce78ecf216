#include "Client.h"

#include <algorithm>
#include <array>

namespace usbtmc
{

LinkStatus Client::Open(const std::string& socketPath, Deadline deadline)
{
    m_broken = false;
    m_tag = 0;
    return Link::Connect(socketPath, deadline, m_link);
}

// Timeouts between packets leave the stream in step; anything else does not.
LinkStatus Client::Fail(LinkStatus status)
{
    m_broken = true;
    m_link.Shutdown();
    return status;
}

std::uint8_t Client::NextTag()
{
    m_tag = static_cast<std::uint8_t>(m_tag == 255 ? 1 : m_tag + 1);
    return m_tag;
}

LinkStatus Client::Control(const SetupPacket& setup, std::string_view out, std::string* in, bool& stalled,
                           Deadline deadline)
{
    stalled = false;
    if (!IsOpen())
        return LinkStatus::Closed;
    const auto packet = EncodeSetup(setup);
    LinkStatus status =
        m_link.SendPacket(EndpointControl, {Piece(packet.data(), packet.size()), Piece(out.data(), out.size())},
                          deadline);
    if (status != LinkStatus::Ok)
        return Fail(status);
    // Bulk-IN packets of an abandoned read may still be on their way; they are
    // skipped. The control reply itself has no tag, so losing it would leave
    // the next request a stale answer: a timeout here breaks the client.
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

LinkStatus Client::Write(const std::vector<std::string_view>& pieces, bool end, Deadline deadline)
{
    if (!IsOpen())
        return LinkStatus::Closed;
    std::size_t total = 0;
    for (const auto& piece : pieces)
        total += piece.size();
    std::size_t pieceIndex = 0;
    std::size_t pieceOffset = 0;
    std::size_t left = total;
    static constexpr char zeros[4] = {};
    do {
        const std::size_t size = std::min<std::size_t>(left, MaxTransferData);
        left -= size;
        BulkHeader header;
        header.msgId = DEV_DEP_MSG_OUT;
        header.tag = NextTag();
        header.transferSize = static_cast<std::uint32_t>(size);
        header.attributes = left == 0 && end ? AttributeEom : 0;
        const auto bytes = EncodeBulkHeader(header);
        std::vector<iovec> parts{Piece(bytes.data(), bytes.size())};
        for (std::size_t need = size; need > 0;) {
            const std::string_view& piece = pieces[pieceIndex];
            const std::size_t take = std::min(need, piece.size() - pieceOffset);
            if (take > 0)
                parts.push_back(Piece(piece.data() + pieceOffset, take));
            need -= take;
            pieceOffset += take;
            if (pieceOffset == piece.size()) {
                ++pieceIndex;
                pieceOffset = 0;
            }
        }
        parts.push_back(Piece(zeros, PaddingFor(size)));
        const LinkStatus status = m_link.SendPacket(EndpointBulkOut, parts, deadline);
        if (status != LinkStatus::Ok)
            return Fail(status);
    } while (left > 0);
    return LinkStatus::Ok;
}

LinkStatus Client::Read(char* destination, std::size_t capacity, std::size_t& count, bool& end, Deadline deadline)
{
    count = 0;
    end = false;
    if (!IsOpen())
        return LinkStatus::Closed;
    while (count < capacity && !end) {
        BulkHeader request;
        request.msgId = REQUEST_DEV_DEP_MSG_IN;
        request.tag = NextTag();
        request.transferSize = static_cast<std::uint32_t>(std::min<std::size_t>(capacity - count, MaxTransferData));
        const auto bytes = EncodeBulkHeader(request);
        LinkStatus status = m_link.SendPacket(EndpointBulkOut, {Piece(bytes.data(), bytes.size())}, deadline);
        if (status != LinkStatus::Ok)
            return Fail(status);
        for (;;) {
            // Waiting for the answer to begin may time out harmlessly: the
            // device drops the request when the next one comes, and a late
            // answer carries the old tag.
            status = m_link.WaitReadable(deadline);
            if (status != LinkStatus::Ok)
                return status == LinkStatus::Timeout ? status : Fail(status);
            std::uint8_t endpoint = 0;
            std::uint32_t length = 0;
            status = m_link.ReceiveHeader(endpoint, length, deadline);
            if (status != LinkStatus::Ok)
                return Fail(status);
            if (endpoint != EndpointBulkIn || length < BulkHeaderSize)
                return Fail(LinkStatus::Protocol);
            char headerBytes[BulkHeaderSize];
            status = m_link.ReceiveBytes(headerBytes, sizeof headerBytes, deadline);
            if (status != LinkStatus::Ok)
                return Fail(status);
            BulkHeader answer;
            if (!DecodeBulkHeader(headerBytes, answer) || answer.msgId != DEV_DEP_MSG_IN)
                return Fail(LinkStatus::Protocol);
            const std::size_t body = length - BulkHeaderSize;
            if (answer.tag != request.tag) {
                status = m_link.SkipBytes(body, deadline);
                if (status != LinkStatus::Ok)
                    return Fail(status);
                continue;
            }
            if (answer.transferSize > request.transferSize ||
                body != answer.transferSize + PaddingFor(answer.transferSize))
                return Fail(LinkStatus::Protocol);
            status = m_link.ReceiveBytes(destination + count, answer.transferSize, deadline);
            if (status == LinkStatus::Ok)
                status = m_link.SkipBytes(PaddingFor(answer.transferSize), deadline);
            if (status != LinkStatus::Ok)
                return Fail(status);
            count += answer.transferSize;
            end = (answer.attributes & AttributeEom) != 0;
            break;
        }
    }
    return LinkStatus::Ok;
}

LinkStatus Client::ReadStatusByte(std::uint8_t& statusByte, Deadline deadline)
{
    // USB488: bTag 2 to 127 in wValue, echoed in the reply.
    const std::uint8_t tag = static_cast<std::uint8_t>(2 + NextTag() % 126);
    std::string reply;
    bool stalled = false;
    const LinkStatus status =
        Control({RequestTypeClassInterfaceIn, READ_STATUS_BYTE, tag, 0, 3}, {}, &reply, stalled, deadline);
    if (status != LinkStatus::Ok)
        return status;
    if (stalled || reply.size() != 3 || reply[0] != static_cast<char>(USBTMC_STATUS_SUCCESS) ||
        static_cast<std::uint8_t>(reply[1]) != tag)
        return LinkStatus::Protocol;
    statusByte = static_cast<std::uint8_t>(reply[2]);
    return LinkStatus::Ok;
}

LinkStatus Client::Clear(Deadline deadline)
{
    std::string reply;
    bool stalled = false;
    LinkStatus status = Control({RequestTypeClassInterfaceIn, INITIATE_CLEAR, 0, 0, 1}, {}, &reply, stalled, deadline);
    if (status != LinkStatus::Ok)
        return status;
    if (stalled || reply != std::string(1, static_cast<char>(USBTMC_STATUS_SUCCESS)))
        return LinkStatus::Protocol;
    status = Control({RequestTypeClassInterfaceIn, CHECK_CLEAR_STATUS, 0, 0, 2}, {}, &reply, stalled, deadline);
    if (status != LinkStatus::Ok)
        return status;
    return !stalled && !reply.empty() && reply[0] == static_cast<char>(USBTMC_STATUS_SUCCESS) ? LinkStatus::Ok
                                                                                            : LinkStatus::Protocol;
}

LinkStatus Client::QueryDeviceInfo(DeviceInfo& info, Deadline deadline)
{
    std::string descriptor;
    bool stalled = false;
    LinkStatus status = Control({RequestTypeStandardIn, GET_DESCRIPTOR, DescriptorDevice << 8, 0, 18}, {},
                                &descriptor, stalled, deadline);
    if (status != LinkStatus::Ok)
        return status;
    if (stalled || !DecodeDeviceDescriptor(descriptor, info.vendorId, info.productId))
        return LinkStatus::Protocol;
    std::string* const texts[] = {&info.manufacturer, &info.product, &info.serialNumber};
    for (std::uint16_t index = 1; index <= 3; ++index) {
        status = Control({RequestTypeStandardIn, GET_DESCRIPTOR, static_cast<std::uint16_t>(DescriptorString << 8 | index),
                          0x0409, 255},
                         {}, &descriptor, stalled, deadline);
        if (status != LinkStatus::Ok)
            return status;
        if (stalled || !DecodeStringDescriptor(descriptor, *texts[index - 1]))
            return LinkStatus::Protocol;
    }
    return LinkStatus::Ok;
}

} // namespace usbtmc
