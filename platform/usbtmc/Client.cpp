#include "Client.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <thread>

namespace usbtmc
{

namespace
{

// How long the abort of a transfer that timed out may take at most.
constexpr int abortTimeoutMs = 500;
// Room for one packet of any speed and a transfer's last bytes with padding.
constexpr std::size_t scratchSize = 1024 + 2 * BulkHeaderSize;
// How often a lock another holds is asked for again, and the least time a
// lock request is given.
constexpr auto lockPoll = std::chrono::milliseconds(10);
constexpr int lockRequestMs = 100;

bool Succeeded(const std::string& reply)
{
    return !reply.empty() && static_cast<std::uint8_t>(reply[0]) == USBTMC_STATUS_SUCCESS;
}

bool Pending(const std::string& reply)
{
    return !reply.empty() && static_cast<std::uint8_t>(reply[0]) == USBTMC_STATUS_PENDING;
}

} // namespace

LinkStatus Client::Open(const std::string& socketPath, Deadline deadline)
{
    std::unique_ptr<Pipes> pipes;
    const LinkStatus status = SocketPipes::Connect(socketPath, deadline, pipes);
    Open(std::move(pipes));
    return status;
}

void Client::Open(std::unique_ptr<Pipes> pipes)
{
    m_pipes = std::move(pipes);
    m_broken = false;
    m_tag = 0;
}

void Client::Shutdown()
{
    if (m_pipes)
        m_pipes->Shutdown();
}

LinkStatus Client::Fail(LinkStatus status)
{
    m_broken = true;
    if (m_pipes)
        m_pipes->Shutdown();
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
    const LinkStatus status = m_pipes->Control(setup, out, in, stalled, deadline);
    // A control reply has no tag: one lost to a timeout would answer the next request.
    return status == LinkStatus::Ok ? status : Fail(status);
}

LinkStatus Client::TimedOut(bool bulkIn, std::uint8_t tag)
{
    if (!m_pipes->Usable())
        return Fail(LinkStatus::Timeout);
    const LinkStatus status = Abort(bulkIn, tag, DeadlineAfter(m_abortMs));
    if (status != LinkStatus::Ok && !m_broken)
        Fail(status);
    return LinkStatus::Timeout;
}

// The USBTMC abort of the transfer with `tag`: the device drops it, the host
// reads what the device still sends, and after an OUT transfer the halt the
// device set is cleared. A device that has nothing to abort says so, or (a
// simulated sensor's socket) refuses the request: then there is nothing to do.
LinkStatus Client::Abort(bool bulkIn, std::uint8_t tag, Deadline deadline)
{
    const std::uint16_t endpoint = bulkIn ? m_pipes->BulkInEndpoint() : m_pipes->BulkOutEndpoint();
    std::string reply;
    bool stalled = false;
    LinkStatus status = Control({RequestTypeClassEndpointIn, bulkIn ? INITIATE_ABORT_BULK_IN : INITIATE_ABORT_BULK_OUT,
                                 tag, endpoint, 2},
                                {}, &reply, stalled, deadline);
    if (status != LinkStatus::Ok || stalled || !Succeeded(reply))
        return status;
    if (bulkIn && (status = Drain(deadline)) != LinkStatus::Ok)
        return status;
    for (;;) {
        status = Control({RequestTypeClassEndpointIn,
                          bulkIn ? CHECK_ABORT_BULK_IN_STATUS : CHECK_ABORT_BULK_OUT_STATUS, 0, endpoint, 8},
                         {}, &reply, stalled, deadline);
        if (status != LinkStatus::Ok)
            return status;
        if (stalled || reply.empty())
            return LinkStatus::Protocol;
        if (!Pending(reply))
            break;
        if (Clock::now() >= deadline)
            return LinkStatus::Timeout;
        if (bulkIn && reply.size() > 1 && (reply[1] & 1)) {
            if ((status = Drain(deadline)) != LinkStatus::Ok)
                return status;
        } else {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }
    return bulkIn ? LinkStatus::Ok : m_pipes->ClearHalt(endpoint, deadline);
}

// Reads bulk-IN until a short packet ends what the device still had to send.
LinkStatus Client::Drain(Deadline deadline)
{
    std::array<char, scratchSize> scratch;
    const std::size_t packet = std::min(m_pipes->MaxPacketSize(), scratch.size());
    for (;;) {
        std::size_t count = 0;
        const LinkStatus status = m_pipes->BulkIn(scratch.data(), packet, count, deadline);
        if (status != LinkStatus::Ok)
            return status;
        if (count < packet)
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
    m_abortMs = GraceMs(deadline, abortTimeoutMs);
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
        const LinkStatus status = m_pipes->BulkOut(parts, deadline);
        if (status == LinkStatus::Timeout)
            return TimedOut(false, header.tag);
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
    m_abortMs = GraceMs(deadline, abortTimeoutMs);
    while (count < capacity && !end) {
        BulkHeader request;
        request.msgId = REQUEST_DEV_DEP_MSG_IN;
        request.tag = NextTag();
        request.transferSize = static_cast<std::uint32_t>(std::min<std::size_t>(capacity - count, MaxTransferData));
        const auto bytes = EncodeBulkHeader(request);
        LinkStatus status = m_pipes->BulkOut({Piece(bytes.data(), bytes.size())}, deadline);
        if (status == LinkStatus::Timeout)
            return TimedOut(false, request.tag);
        if (status != LinkStatus::Ok)
            return Fail(status);
        std::size_t got = request.transferSize;
        status = ReadTransfer(request.tag, destination + count, got, end, deadline);
        count += got;
        if (status != LinkStatus::Ok)
            return status;
    }
    return LinkStatus::Ok;
}

// One DEV_DEP_MSG_IN transfer answering the request with `tag`, of at most
// `count` message bytes: its first packet through a small buffer, every whole
// packet after it straight into `destination`, the last bytes and the padding
// through the buffer again. `count` gives the message bytes received.
LinkStatus Client::ReadTransfer(std::uint8_t tag, char* destination, std::size_t& count, bool& end,
                                Deadline deadline)
{
    const std::size_t requested = count;
    count = 0;
    std::array<char, scratchSize> scratch;
    const std::size_t packet = std::min(m_pipes->MaxPacketSize(), scratch.size() - 2 * BulkHeaderSize);
    for (;;) {
        std::size_t got = 0;
        LinkStatus status = m_pipes->BulkIn(scratch.data(), packet, got, deadline);
        if (status == LinkStatus::Timeout)
            return TimedOut(true, tag);
        if (status != LinkStatus::Ok)
            return Fail(status);
        if (got == 0)
            continue; // the zero-length packet that ended an earlier transfer
        BulkHeader answer;
        if (got < BulkHeaderSize || !DecodeBulkHeader(scratch.data(), answer) || answer.msgId != DEV_DEP_MSG_IN)
            return Fail(LinkStatus::Protocol);
        const std::size_t size = answer.transferSize;
        const std::size_t total = BulkHeaderSize + size + PaddingFor(size);
        if (got > total || (got < total && got < packet))
            return Fail(LinkStatus::Protocol);
        if (answer.tag != tag) {
            // A late answer to a request given up: its rest goes.
            if (got < total && (status = Drain(deadline)) != LinkStatus::Ok)
                return status == LinkStatus::Timeout ? TimedOut(true, tag) : Fail(status);
            continue;
        }
        if (size > requested)
            return Fail(LinkStatus::Protocol);
        const std::size_t first = std::min(got - BulkHeaderSize, size);
        std::memcpy(destination, scratch.data() + BulkHeaderSize, first);
        count = first;
        std::size_t have = got;
        if (have < total) {
            const std::size_t middle = (size - first) / packet * packet;
            if (middle > 0) {
                status = m_pipes->BulkIn(destination + count, middle, got, deadline);
                count += got;
                have += got;
                if (status == LinkStatus::Timeout)
                    return TimedOut(true, tag);
                if (status != LinkStatus::Ok)
                    return Fail(status);
                if (got < middle)
                    return Fail(LinkStatus::Protocol);
            }
            const std::size_t tail = total - have;
            if (tail > 0) {
                status = m_pipes->BulkIn(scratch.data(), tail, got, deadline);
                if (status == LinkStatus::Timeout)
                    return TimedOut(true, tag);
                if (status != LinkStatus::Ok)
                    return Fail(status);
                if (got < tail)
                    return Fail(LinkStatus::Protocol);
                std::memcpy(destination + count, scratch.data(), size - count);
                count = size;
            }
        }
        end = (answer.attributes & AttributeEom) != 0;
        return LinkStatus::Ok;
    }
}

LinkStatus Client::LockRequest(std::uint8_t request, char& answer, Deadline deadline)
{
    std::string reply;
    bool stalled = false;
    const LinkStatus status = Control({RequestTypeVendorIn, request, 0, 0, 1}, {}, &reply, stalled, deadline);
    if (status == LinkStatus::Ok && !stalled && reply.size() == 1)
        answer = reply[0];
    return status;
}

LinkStatus Client::AwaitLock(std::uint8_t request, LockAnswer& answer, Deadline deadline)
{
    for (;;) {
        std::string reply;
        bool stalled = false;
        // A control request cut off by its deadline leaves the connection
        // unusable: the last one is given room even at the deadline.
        const LinkStatus status = Control({RequestTypeVendorIn, request, 0, 0, 1}, {}, &reply, stalled,
                                          std::max(deadline, DeadlineAfter(lockRequestMs)));
        if (status != LinkStatus::Ok)
            return status;
        if (stalled || reply.size() != 1) {
            answer = LockAnswer::NotKnown;
            return status;
        }
        if (request == VendorLockState ? reply[0] != LockHeldElsewhere : reply[0] == '\1') {
            answer = LockAnswer::Yes;
            return status;
        }
        const auto now = Clock::now();
        if (now >= deadline) {
            answer = LockAnswer::HeldElsewhere;
            return status;
        }
        std::this_thread::sleep_for(std::min<Clock::duration>(lockPoll, deadline - now));
    }
}

LinkStatus Client::ReadStatusByte(std::uint8_t& statusByte, Deadline deadline)
{
    // USB488: bTag 2 to 127 in wValue, echoed in the reply and, on an
    // interface with an interrupt-IN endpoint, in the notification that
    // carries the status byte.
    const std::uint8_t tag = static_cast<std::uint8_t>(2 + NextTag() % 126);
    std::string reply;
    bool stalled = false;
    if (!IsOpen())
        return LinkStatus::Closed;
    LinkStatus status = Control({RequestTypeClassInterfaceIn, READ_STATUS_BYTE, tag, m_pipes->InterfaceNumber(), 3},
                                {}, &reply, stalled, deadline);
    if (status != LinkStatus::Ok)
        return status;
    if (stalled || reply.size() < 2 || !Succeeded(reply) || static_cast<std::uint8_t>(reply[1]) != tag)
        return LinkStatus::Protocol;
    if (!m_pipes->HasInterruptIn()) {
        if (reply.size() != 3)
            return LinkStatus::Protocol;
        statusByte = static_cast<std::uint8_t>(reply[2]);
        return LinkStatus::Ok;
    }
    for (;;) {
        char notification[64];
        std::size_t got = 0;
        status = m_pipes->InterruptIn(notification, sizeof notification, got, deadline);
        if (status == LinkStatus::Timeout)
            return status; // a late notification carries this tag and is passed over next time
        if (status != LinkStatus::Ok)
            return Fail(status);
        if (got < 2)
            return LinkStatus::Protocol;
        if (static_cast<std::uint8_t>(notification[0]) == (NotifyStatusByte | tag)) {
            statusByte = static_cast<std::uint8_t>(notification[1]);
            return LinkStatus::Ok;
        }
    }
}

LinkStatus Client::Clear(Deadline deadline)
{
    if (!IsOpen())
        return LinkStatus::Closed;
    const std::uint16_t interface = m_pipes->InterfaceNumber();
    std::string reply;
    bool stalled = false;
    LinkStatus status = Control({RequestTypeClassInterfaceIn, INITIATE_CLEAR, 0, interface, 1}, {}, &reply, stalled, deadline);
    if (status != LinkStatus::Ok)
        return status;
    if (stalled || !Succeeded(reply))
        return LinkStatus::Protocol;
    for (;;) {
        status = Control({RequestTypeClassInterfaceIn, CHECK_CLEAR_STATUS, 0, interface, 2}, {}, &reply, stalled,
                         deadline);
        if (status != LinkStatus::Ok)
            return status;
        if (stalled)
            return LinkStatus::Protocol;
        if (!Pending(reply))
            break;
        if (Clock::now() >= deadline)
            return LinkStatus::Timeout;
        if (reply.size() > 1 && (reply[1] & 1)) {
            if ((status = Drain(deadline)) != LinkStatus::Ok)
                return status == LinkStatus::Timeout ? status : Fail(status);
        } else {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }
    if (!Succeeded(reply))
        return LinkStatus::Protocol;
    status = m_pipes->ClearHalt(m_pipes->BulkOutEndpoint(), deadline);
    return status == LinkStatus::Ok ? status : Fail(status);
}

LinkStatus Client::StringDescriptor(std::uint8_t index, std::string& text, bool& stalled, Deadline deadline)
{
    text.clear();
    stalled = index == 0;
    if (stalled)
        return LinkStatus::Ok;
    std::string descriptor;
    const LinkStatus status =
        Control({RequestTypeStandardIn, GET_DESCRIPTOR, static_cast<std::uint16_t>(DescriptorString << 8 | index),
                 0x0409, 255},
                {}, &descriptor, stalled, deadline);
    if (status == LinkStatus::Ok && !stalled && !DecodeStringDescriptor(descriptor, text))
        stalled = true;
    return status;
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
    // iManufacturer, iProduct, iSerialNumber; a text the device does not give stays empty.
    std::string* const texts[] = {&info.manufacturer, &info.product, &info.serialNumber};
    for (int i = 0; i < 3; ++i) {
        if ((status = StringDescriptor(static_cast<std::uint8_t>(descriptor[14 + i]), *texts[i], stalled, deadline)) !=
            LinkStatus::Ok)
            return status;
        if (i == 2)
            info.serialRead = !stalled;
    }
    return LinkStatus::Ok;
}

} // namespace usbtmc
