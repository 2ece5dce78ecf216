#include "RpcChannel.h"

#include <sys/socket.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace vxi11
{

namespace
{

constexpr std::uint32_t LastFragment = 0x80000000u;
constexpr std::size_t readAhead = 16384;

void PutWord(char* at, std::uint32_t value)
{
    at[0] = static_cast<char>(value >> 24);
    at[1] = static_cast<char>(value >> 16);
    at[2] = static_cast<char>(value >> 8);
    at[3] = static_cast<char>(value);
}

std::uint32_t GetWord(const char* at)
{
    const auto byte = [at](int i) { return static_cast<std::uint32_t>(static_cast<unsigned char>(at[i])); };
    return byte(0) << 24 | byte(1) << 16 | byte(2) << 8 | byte(3);
}

} // namespace

std::string EncodeWords(std::initializer_list<std::uint32_t> words)
{
    std::string bytes(words.size() * 4, '\0');
    char* at = bytes.data();
    for (const std::uint32_t word : words) {
        PutWord(at, word);
        at += 4;
    }
    return bytes;
}

LinkStatus RpcChannel::Send(std::vector<iovec> pieces, Deadline deadline)
{
    if (!IsOpen())
        return LinkStatus::Closed;
    std::size_t total = 0;
    for (const iovec& piece : pieces)
        total += piece.iov_len;
    if (total >= LastFragment)
        return LinkStatus::Protocol;
    char mark[4];
    PutWord(mark, LastFragment | static_cast<std::uint32_t>(total));
    pieces.insert(pieces.begin(), usbtmc::Piece(mark, sizeof mark));
    const LinkStatus status = m_link.SendBytes(std::move(pieces), deadline);
    // Part of a record may have gone out: nothing after it would be understood.
    if (status != LinkStatus::Ok)
        m_broken = true;
    return status;
}

// recv itself, not Link::ReceiveBytes: a deadline in the middle of a record
// must leave the count of what arrived, so that the next call goes on there.
// Small reads (headers, words) come from a read-ahead buffer; large ones go
// straight into the destination. The deadline is checked before every recv,
// not only when recv would wait: a peer that never stops sending must not
// keep the reader going past it.
LinkStatus RpcChannel::Receive(char* destination, std::size_t count, std::size_t& done, Deadline deadline)
{
    while (count > 0) {
        if (m_bufferEnd > m_bufferStart) {
            const std::size_t take = std::min(count, m_bufferEnd - m_bufferStart);
            std::memcpy(destination, m_buffer.get() + m_bufferStart, take);
            m_bufferStart += take;
            destination += take;
            count -= take;
            done += take;
            continue;
        }
        if (!IsOpen())
            return LinkStatus::Closed;
        if (Clock::now() >= deadline)
            return LinkStatus::Timeout;
        if (!m_buffer)
            m_buffer.reset(new char[readAhead]);
        const bool direct = count >= readAhead;
        const ssize_t got =
            ::recv(m_link.Descriptor(), direct ? destination : m_buffer.get(), direct ? count : readAhead, MSG_DONTWAIT);
        if (got > 0 && direct) {
            destination += got;
            count -= static_cast<std::size_t>(got);
            done += static_cast<std::size_t>(got);
        } else if (got > 0) {
            m_bufferStart = 0;
            m_bufferEnd = static_cast<std::size_t>(got);
        } else if (got == 0) {
            return LinkStatus::Closed;
        } else if (errno == EAGAIN) {
            const LinkStatus waited = m_link.WaitReadable(deadline);
            if (waited != LinkStatus::Ok)
                return waited;
        } else if (errno != EINTR) {
            return errno == ECONNRESET ? LinkStatus::Closed : LinkStatus::System;
        }
    }
    return LinkStatus::Ok;
}

LinkStatus RpcChannel::NextFragment(Deadline deadline)
{
    const LinkStatus status = Receive(m_mark.data() + m_markHave, m_mark.size() - m_markHave, m_markHave, deadline);
    if (status != LinkStatus::Ok)
        return status;
    m_markHave = 0;
    m_begun = true;
    const std::uint32_t mark = GetWord(m_mark.data());
    m_last = (mark & LastFragment) != 0;
    m_fragmentLeft = mark & ~LastFragment;
    m_recordSize += m_fragmentLeft;
    return LinkStatus::Ok;
}

// Reads fragment marks until there are bytes to read or the record has ended.
LinkStatus RpcChannel::Advance(Deadline deadline)
{
    for (;;) {
        if (m_recordSize > m_limit) {
            m_broken = true;
            return LinkStatus::Protocol;
        }
        if (m_fragmentLeft > 0 || m_last)
            return LinkStatus::Ok;
        // Empty fragments take no room and may come without end.
        if (Clock::now() >= deadline)
            return LinkStatus::Timeout;
        const LinkStatus status = NextFragment(deadline);
        if (status != LinkStatus::Ok)
            return status;
    }
}

LinkStatus RpcChannel::Begin(Deadline deadline)
{
    // A record that had not begun when the last read ended is the next one.
    if (Midway()) {
        const LinkStatus status = SkipRest(deadline);
        if (status != LinkStatus::Ok)
            return status;
    }
    m_inRecord = true;
    m_recordSize = 0;
    m_fragmentLeft = 0;
    m_begun = false;
    m_last = false;
    return Advance(deadline);
}

LinkStatus RpcChannel::Read(char* destination, std::size_t count, Deadline deadline)
{
    while (count > 0) {
        const LinkStatus advanced = Advance(deadline);
        if (advanced != LinkStatus::Ok)
            return advanced;
        if (AtEnd())
            return LinkStatus::Protocol;
        std::size_t got = 0;
        const LinkStatus status = Receive(destination, std::min(count, m_fragmentLeft), got, deadline);
        m_fragmentLeft -= got;
        destination += got;
        count -= got;
        if (status != LinkStatus::Ok)
            return status;
    }
    return LinkStatus::Ok;
}

LinkStatus RpcChannel::ReadRest(std::string& rest, std::size_t most, Deadline deadline)
{
    rest.clear();
    for (;;) {
        const LinkStatus advanced = Advance(deadline);
        if (advanced != LinkStatus::Ok || AtEnd())
            return advanced;
        const std::size_t old = rest.size();
        const std::size_t take = std::min<std::size_t>(m_fragmentLeft, 4096);
        if (old + take > most)
            return LinkStatus::Protocol;
        rest.resize(old + take);
        const LinkStatus status = Read(rest.data() + old, take, deadline);
        if (status != LinkStatus::Ok)
            return status;
    }
}

LinkStatus RpcChannel::SkipRest(Deadline deadline)
{
    char scratch[4096];
    for (;;) {
        const LinkStatus advanced = Advance(deadline);
        if (advanced != LinkStatus::Ok || AtEnd())
            return advanced;
        const LinkStatus status = Read(scratch, std::min(sizeof scratch, m_fragmentLeft), deadline);
        if (status != LinkStatus::Ok)
            return status;
    }
}

bool MessageSource::Word(std::uint32_t& value)
{
    char bytes[4];
    if (!Take(bytes, sizeof bytes))
        return false;
    value = GetWord(bytes);
    return true;
}

bool MessageSource::SkipAuth()
{
    std::uint32_t flavor = 0;
    std::uint32_t length = 0;
    char body[rpc::MaxAuthBody + 3];
    return Word(flavor) && Word(length) && length <= rpc::MaxAuthBody && Take(body, length + XdrPadding(length));
}

bool RecordSource::Take(char* destination, std::size_t count)
{
    m_status = m_channel.Read(destination, count, m_deadline);
    return m_status == LinkStatus::Ok;
}

bool RecordSource::Rest(std::string& rest, std::size_t most)
{
    m_status = m_channel.ReadRest(rest, most, m_deadline);
    return m_status == LinkStatus::Ok;
}

bool DatagramSource::Take(char* destination, std::size_t count)
{
    if (count > m_left)
        return false;
    std::memcpy(destination, m_data, count);
    m_data += count;
    m_left -= count;
    return true;
}

bool DatagramSource::Rest(std::string& rest, std::size_t most)
{
    if (m_left > most)
        return false;
    rest.assign(m_data, m_left);
    m_data += m_left;
    m_left = 0;
    return true;
}

std::array<char, 40> EncodeCallHeader(std::uint32_t xid, std::uint32_t program, std::uint32_t version,
                                      std::uint32_t procedure)
{
    std::array<char, 40> header{};
    const std::string words = EncodeWords({xid, rpc::Call, rpc::Version, program, version, procedure, 0, 0, 0, 0});
    std::memcpy(header.data(), words.data(), header.size());
    return header;
}

bool ReadCallHeader(MessageSource& source, CallHeader& header)
{
    std::uint32_t type = 0;
    return source.Word(header.xid) && source.Word(type) && type == rpc::Call && source.Word(header.rpcVersion) &&
           source.Word(header.program) && source.Word(header.version) && source.Word(header.procedure) &&
           source.SkipAuth() && source.SkipAuth();
}

std::string EncodeAcceptedReply(std::uint32_t xid, std::uint32_t acceptStat, std::uint32_t version)
{
    std::string reply = EncodeWords({xid, rpc::Reply, rpc::Accepted, 0, 0, acceptStat});
    if (acceptStat == rpc::ProgramMismatch)
        reply += EncodeWords({version, version});
    return reply;
}

std::string EncodeRpcMismatch(std::uint32_t xid)
{
    return EncodeWords({xid, rpc::Reply, rpc::Denied, rpc::RpcMismatch, rpc::Version, rpc::Version});
}

ReplyCheck ReadReplyHeader(MessageSource& source, std::uint32_t xid)
{
    std::uint32_t got = 0;
    if (!source.Word(got))
        return ReplyCheck::Refused;
    if (got != xid)
        return ReplyCheck::OtherXid;
    std::uint32_t type = 0;
    std::uint32_t state = 0;
    std::uint32_t accept = 0;
    return source.Word(type) && type == rpc::Reply && source.Word(state) && state == rpc::Accepted &&
                   source.SkipAuth() && source.Word(accept) && accept == rpc::Success
               ? ReplyCheck::Success
               : ReplyCheck::Refused;
}

std::string EncodeXdr(xdrproc_t routine, void* value)
{
    std::string bytes(xdr_sizeof(routine, value), '\0');
    XDR xdr;
    xdrmem_create(&xdr, bytes.data(), static_cast<u_int>(bytes.size()), XDR_ENCODE);
    const bool done = routine(&xdr, value);
    bytes.resize(done ? xdr_getpos(&xdr) : 0);
    xdr_destroy(&xdr);
    return bytes;
}

bool DecodeXdr(const std::string& bytes, xdrproc_t routine, void* value)
{
    XDR xdr;
    xdrmem_create(&xdr, const_cast<char*>(bytes.data()), static_cast<u_int>(bytes.size()), XDR_DECODE);
    const bool done = routine(&xdr, value) && xdr_getpos(&xdr) == bytes.size();
    xdr_destroy(&xdr);
    return done;
}

bool DecodeRest(MessageSource& source, std::size_t most, xdrproc_t routine, void* value)
{
    std::string rest;
    return source.Rest(rest, most) && DecodeXdr(rest, routine, value);
}

} // namespace vxi11
