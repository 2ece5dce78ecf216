#include "LanSensors.h"
#include "LanTransport.h"
#include "RpcChannel.h"

#include <poll.h>

#include <functional>
#include <thread>

namespace
{

using namespace std::chrono_literals;
using vxi11::EncodeWords;
using vxi11::Status;

std::string Record(const std::string& body)
{
    return EncodeWords({0x80000000u | static_cast<std::uint32_t>(body.size())}) + body;
}

std::string Call(std::uint32_t program, std::uint32_t version, std::uint32_t procedure, const std::string& arguments = {})
{
    const auto header = vxi11::EncodeCallHeader(7, program, version, procedure);
    return std::string(header.data(), header.size()) + arguments;
}

std::string Opaque(const std::string& data)
{
    return EncodeWords({static_cast<std::uint32_t>(data.size())}) + data + std::string(vxi11::XdrPadding(data.size()), '\0');
}

// The words of the one reply to `bytes` on a new connection to 127.0.0.2;
// none when the connection ends without one, ~0 when it just stays silent.
std::vector<std::uint32_t> Exchange(std::uint16_t port, const std::string& bytes)
{
    vxi11::RpcChannel channel(usbtmc::Link(Socket("127.0.0.2", port, false)));
    channel.SetLimit(4096);
    const auto deadline = vxi11::Clock::now() + 2s;
    std::string reply;
    if (channel.Link().SendBytes({usbtmc::Piece(bytes.data(), bytes.size())}, deadline) != usbtmc::LinkStatus::Ok)
        return {};
    const usbtmc::LinkStatus status = channel.Begin(deadline);
    if (status != usbtmc::LinkStatus::Ok || channel.ReadRest(reply, 4096, deadline) != usbtmc::LinkStatus::Ok)
        return status == usbtmc::LinkStatus::Timeout ? std::vector<std::uint32_t>{~0u} : std::vector<std::uint32_t>{};
    std::vector<std::uint32_t> words;
    vxi11::DatagramSource source(reply.data(), reply.size());
    for (std::uint32_t word = 0; source.Word(word);)
        words.push_back(word);
    return words;
}

struct PeerRow
{
    const char* name;
    bool core; // to the core channel, else to the portmapper
    std::string bytes;
    std::vector<std::uint32_t> reply; // empty: the connection ends
};

void PrintTo(const PeerRow& row, std::ostream* out) { *out << row.name; }

using BadCalls = LanTable<PeerRow>;

TEST_P(BadCalls, GetTheirAnswerAndTheSensorServesOn)
{
    const PeerRow& row = GetParam();
    Serve();
    const auto port = Exchange(111, Record(Call(100000, 2, 3, EncodeWords({vxi11::CoreProgram, 1, IPPROTO_TCP, 0}))));
    ASSERT_EQ(port.size(), 7u);
    EXPECT_EQ(Exchange(row.core ? static_cast<std::uint16_t>(port.back()) : 111, row.bytes), row.reply);
    vxi11::Client client;
    std::string reply;
    EXPECT_TRUE(Open(client).ok() && Query(client, "*idn?\n", reply).ok());
}

const std::string noLock = EncodeWords({1, 0, 0});
const std::string ping = Call(100000, 2, 0);

INSTANTIATE_TEST_SUITE_P(
    Lan, BadCalls,
    testing::Values(
        PeerRow{"OtherRpcVersion", false, Record(EncodeWords({7, 0, 3, 100000, 2, 0, 0, 0, 0, 0})), {7, 1, 1, 0, 2, 2}},
        PeerRow{"OtherProgram", false, Record(Call(100003, 3, 0)), {7, 1, 0, 0, 0, 1}},
        PeerRow{"OtherPortmapperVersion", false, Record(Call(100000, 4, 0)), {7, 1, 0, 0, 0, 2, 2, 2}},
        PeerRow{"CallInThreeFragments", false,
                EncodeWords({0, 20}) + ping.substr(0, 20) + EncodeWords({0x80000000u | 20}) + ping.substr(20),
                {7, 1, 0, 0, 0, 0}},
        PeerRow{"CredentialsTooLong", false,
                Record(EncodeWords({7, 0, 2, 100000, 2, 0, 0, 404}) + std::string(404, '\0') + EncodeWords({0, 0})), {}},
        PeerRow{"RecordOverTheLimit", true, EncodeWords({0xFFFFFFFFu}) + Call(vxi11::CoreProgram, 1, 0), {}},
        PeerRow{"UnknownProcedure", true, Record(Call(vxi11::CoreProgram, 1, 99)), {7, 1, 0, 0, 0, 3}},
        PeerRow{"UnknownDevice", true, Record(Call(vxi11::CoreProgram, 1, 10, noLock + Opaque("inst7"))),
                {7, 1, 0, 0, 0, 0, vxi11::ErrorDeviceNotAccessible, 0, 0, LanTransport::MaxRecvSize}},
        PeerRow{"DeviceNameTooLong", true, Record(Call(vxi11::CoreProgram, 1, 10, noLock + Opaque(std::string(99, 'a')))),
                {7, 1, 0, 0, 0, 4}},
        PeerRow{"WriteOverMaxRecvSize", true,
                Record(Call(vxi11::CoreProgram, 1, 11, EncodeWords({1, 0, 0, 8, LanTransport::MaxRecvSize + 1}))),
                {7, 1, 0, 0, 0, 4}},
        PeerRow{"ReadWithoutALink", true, Record(Call(vxi11::CoreProgram, 1, 12, EncodeWords({99, 16, 0, 0, 0, 0}))),
                {7, 1, 0, 0, 0, 0, vxi11::ErrorInvalidLink, 0, 0}}),
    RowName);

std::string ReadReply(std::uint32_t xid, const std::string& data)
{
    return vxi11::EncodeAcceptedReply(xid, 0) + EncodeWords({0, vxi11::ReasonEnd}) + Opaque(data);
}

// An instrument at 127.0.0.9 whose portmapper names itself as the core
// channel too; that takes create_link and gives `reply` (of the call's xid) to
// the call after, then hangs up or answers Device_Error 0 until the client does.
class FakeInstrument
{
public:
    FakeInstrument(std::string (*reply)(std::uint32_t), bool hangUp) : m_listener(Socket("127.0.0.9", 111, true))
    {
        m_thread = std::thread([=] {
            Serve({[](std::uint32_t xid) { return Record(vxi11::EncodeAcceptedReply(xid, 0) + EncodeWords({111})); }}, true);
            Serve({[](std::uint32_t xid) { return Record(vxi11::EncodeAcceptedReply(xid, 0) + EncodeWords({0, 1, 0, 1024})); },
                   reply},
                  hangUp);
        });
    }
    ~FakeInstrument()
    {
        m_thread.join();
        ::close(m_listener);
    }

private:
    void Serve(const std::vector<std::function<std::string(std::uint32_t)>>& replies, bool hangUp)
    {
        pollfd entry{m_listener, POLLIN, 0};
        if (::poll(&entry, 1, 3000) != 1)
            return;
        vxi11::RpcChannel channel(usbtmc::Link(::accept4(m_listener, nullptr, nullptr, SOCK_CLOEXEC)));
        channel.SetLimit(4096);
        for (std::size_t call = 0; call < replies.size() || !hangUp; ++call) {
            const auto deadline = vxi11::Clock::now() + 3s;
            vxi11::RecordSource source(channel, deadline);
            std::uint32_t xid = 0;
            if (channel.Begin(deadline) != usbtmc::LinkStatus::Ok || !source.Word(xid) ||
                channel.SkipRest(deadline) != usbtmc::LinkStatus::Ok)
                return;
            const std::string reply = call < replies.size() ? replies[call](xid)
                                                            : Record(vxi11::EncodeAcceptedReply(xid, 0) + EncodeWords({0}));
            channel.Link().SendBytes({usbtmc::Piece(reply.data(), reply.size())}, deadline);
        }
    }

    int m_listener;
    std::thread m_thread;
};

struct ReplyRow
{
    const char* name;
    std::string (*reply)(std::uint32_t xid);
    bool hangUp;
    Status status;
    const char* data;
    bool shutdown = false; // Shutdown from another thread ends the blocked read
};

void PrintTo(const ReplyRow& row, std::ostream* out) { *out << row.name; }

using BadReplies = LanTable<ReplyRow>;

TEST_P(BadReplies, GiveAClearStatus)
{
    const ReplyRow& row = GetParam();
    FakeInstrument fake(row.reply, row.hangUp);
    vxi11::Client client;
    ASSERT_EQ(Open(client, "127.0.0.9").status, Status::Ok);
    char data[16];
    std::size_t count = 0;
    std::int32_t reason = 0;
    std::thread stopper([&] {
        if (row.shutdown)
            std::this_thread::sleep_for(100ms), client.Shutdown();
    });
    EXPECT_EQ(client.Read(data, sizeof data, row.shutdown ? 60000 : 100, 0, false, count, reason).status, row.status);
    stopper.join();
    EXPECT_EQ(std::string(data, count), row.data);
}

INSTANTIATE_TEST_SUITE_P(
    Lan, BadReplies,
    testing::Values(
        ReplyRow{"ReplyToAnEarlierCallIsSkipped",
                 [](std::uint32_t xid) { return Record(ReadReply(xid - 1, "stale")) + Record(ReadReply(xid, "fresh")); },
                 false, Status::Ok, "fresh"},
        ReplyRow{"MoreDataThanAsked", [](std::uint32_t xid) { return Record(ReadReply(xid, std::string(17, 'x'))); },
                 false, Status::Protocol, ""},
        ReplyRow{"CallDenied", [](std::uint32_t xid) { return Record(vxi11::EncodeRpcMismatch(xid)); }, false,
                 Status::Protocol, ""},
        ReplyRow{"RecordOverTheLimit", [](std::uint32_t) { return EncodeWords({0x80000000u | 1u << 30}); }, false,
                 Status::Protocol, ""},
        ReplyRow{"CutShort", [](std::uint32_t xid) { return Record(ReadReply(xid, "fresh")).substr(0, 30); }, true,
                 Status::Closed, ""},
        ReplyRow{"NoReply", [](std::uint32_t) { return std::string(); }, false, Status::Timeout, ""},
        ReplyRow{"ShutdownEndsABlockedRead", [](std::uint32_t) { return std::string(); }, false, Status::Closed, "", true}),
    RowName);

} // namespace
