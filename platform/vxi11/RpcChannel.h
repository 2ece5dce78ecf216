#pragma once

// ONC RPC version 2 (RFC 5531) as both ends of the VXI-11 channels and the
// portmapper use it: records on a TCP stream (record marking, RFC 5531 11),
// messages in datagrams, AUTH_NONE headers, and XDR through libtirpc. Reading
// never allocates more than the reader allows, and every wait has a deadline.

#include "Link.h"

#include <rpc/rpc.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

namespace vxi11
{

using usbtmc::Clock;
using usbtmc::Deadline;
using usbtmc::LinkStatus;

namespace rpc
{
constexpr std::uint32_t Version = 2;
constexpr std::uint32_t Call = 0;
constexpr std::uint32_t Reply = 1;
constexpr std::uint32_t Accepted = 0;
constexpr std::uint32_t Denied = 1;
constexpr std::uint32_t Success = 0;
constexpr std::uint32_t ProgramUnavailable = 1;
constexpr std::uint32_t ProgramMismatch = 2;
constexpr std::uint32_t ProcedureUnavailable = 3;
constexpr std::uint32_t GarbageArguments = 4;
constexpr std::uint32_t RpcMismatch = 0;
// opaque_auth carries at most 400 bytes (RFC 5531 8.2).
constexpr std::size_t MaxAuthBody = 400;
// The most a header may take on either side: xid, type, the fixed words and
// two authentication fields.
constexpr std::size_t MaxHeaderSize = 10 * 4 + 2 * MaxAuthBody;
} // namespace rpc

// A record stream on a connected socket. Records go out as one fragment;
// records coming in may have any number of fragments and are refused
// (Protocol) once they grow past the limit. Every read ends by its deadline,
// however fast bytes or empty fragments come; one that ends there keeps its
// place, so the next read goes on where it stopped; a send that ends early
// leaves the stream broken (every later call gives Closed).
class RpcChannel
{
public:
    RpcChannel() = default;
    explicit RpcChannel(usbtmc::Link link) : m_link(std::move(link)) {}

    usbtmc::Link& Link() { return m_link; }
    bool IsOpen() const { return m_link.IsOpen() && !m_broken; }
    // After something the owner cannot make sense of.
    void Break() { m_broken = true; }

    LinkStatus Send(std::vector<iovec> pieces, Deadline deadline);

    // Skips what is left of a record begun before, then starts the next one.
    LinkStatus Begin(Deadline deadline);
    void SetLimit(std::size_t limit) { m_limit = limit; }
    // Exactly `count` bytes of the record; Protocol when it ends before.
    LinkStatus Read(char* destination, std::size_t count, Deadline deadline);
    // What is left of the record, when that is at most `most` bytes.
    LinkStatus ReadRest(std::string& rest, std::size_t most, Deadline deadline);
    LinkStatus SkipRest(Deadline deadline);
    bool AtEnd() const { return m_last && m_fragmentLeft == 0; }
    // Part of a record has come in and the rest has not.
    bool Midway() const { return m_inRecord && !AtEnd() && (m_begun || m_markHave > 0); }

private:
    LinkStatus Receive(char* destination, std::size_t count, std::size_t& done, Deadline deadline);
    LinkStatus NextFragment(Deadline deadline);
    LinkStatus Advance(Deadline deadline);

    usbtmc::Link m_link;
    std::size_t m_limit = 0;
    std::size_t m_recordSize = 0;
    std::size_t m_fragmentLeft = 0;
    bool m_begun = false; // a fragment mark of the record under way came
    bool m_last = true;
    bool m_inRecord = false;
    std::array<char, 4> m_mark{};
    std::size_t m_markHave = 0;
    std::unique_ptr<char[]> m_buffer;
    std::size_t m_bufferStart = 0;
    std::size_t m_bufferEnd = 0;
    bool m_broken = false;
};

// Where the words of one message come from: a record of a stream or a datagram.
class MessageSource
{
public:
    virtual ~MessageSource() = default;
    virtual bool Take(char* destination, std::size_t count) = 0;
    // The rest of the message, when that is at most `most` bytes.
    virtual bool Rest(std::string& rest, std::size_t most) = 0;

    bool Word(std::uint32_t& value);
    // An opaque_auth (flavor and body), the body thrown away.
    bool SkipAuth();
};

class RecordSource : public MessageSource
{
public:
    RecordSource(RpcChannel& channel, Deadline deadline) : m_channel(channel), m_deadline(deadline) {}
    bool Take(char* destination, std::size_t count) override;
    bool Rest(std::string& rest, std::size_t most) override;
    // Why the last Take or Rest failed.
    LinkStatus Status() const { return m_status; }

private:
    RpcChannel& m_channel;
    Deadline m_deadline;
    LinkStatus m_status = LinkStatus::Ok;
};

class DatagramSource : public MessageSource
{
public:
    DatagramSource(const char* data, std::size_t size) : m_data(data), m_left(size) {}
    bool Take(char* destination, std::size_t count) override;
    bool Rest(std::string& rest, std::size_t most) override;

private:
    const char* m_data;
    std::size_t m_left;
};

struct CallHeader
{
    std::uint32_t xid = 0;
    std::uint32_t rpcVersion = 0;
    std::uint32_t program = 0;
    std::uint32_t version = 0;
    std::uint32_t procedure = 0;
};

// XDR unsigned ints, big-endian.
std::string EncodeWords(std::initializer_list<std::uint32_t> words);

// A call with AUTH_NONE credentials and verifier.
std::array<char, 40> EncodeCallHeader(std::uint32_t xid, std::uint32_t program, std::uint32_t version,
                                      std::uint32_t procedure);
// False when the message is no call (or is cut short).
bool ReadCallHeader(MessageSource& source, CallHeader& header);

// An accepted reply with `acceptStat` (for ProgramMismatch the one version
// served follows), or the denial of a call of another RPC version.
std::string EncodeAcceptedReply(std::uint32_t xid, std::uint32_t acceptStat, std::uint32_t version = 0);
std::string EncodeRpcMismatch(std::uint32_t xid);

enum class ReplyCheck
{
    Success,  // the results follow
    OtherXid, // a reply to some other call
    Refused   // no reply, or the call was not carried out
};
ReplyCheck ReadReplyHeader(MessageSource& source, std::uint32_t xid);

// XDR through libtirpc on memory. Decoding takes the whole buffer: a result
// with bytes left over is as bad as one cut short.
std::string EncodeXdr(xdrproc_t routine, void* value);
bool DecodeXdr(const std::string& bytes, xdrproc_t routine, void* value);
// The rest of the message (at most `most` bytes) decoded whole.
bool DecodeRest(MessageSource& source, std::size_t most, xdrproc_t routine, void* value);

template <typename Routine>
xdrproc_t Xdr(Routine routine)
{
    return reinterpret_cast<xdrproc_t>(routine);
}

inline std::size_t XdrPadding(std::size_t size)
{
    return (4 - size % 4) % 4;
}

} // namespace vxi11
