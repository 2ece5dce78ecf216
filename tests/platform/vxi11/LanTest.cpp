// Sensors served on loopback addresses of the program's own network namespace, and peers of both
// ends that send what no good client or instrument would.

#include "ChildProcess.h"
#include "LanTransport.h"
#include "PrivateNetwork.h"
#include "RpcChannel.h"
#include "SensorDataSet.h"
#include "ServedSensors.h"
#include "StoreSupport.h"
#include "Vxi11Client.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <net/if.h>
#include <poll.h>
#include <sched.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <thread>

namespace
{

using namespace std::chrono_literals;
using namespace std::string_literals;
using vxi11::CoreProgram;
using vxi11::EncodeWords;
using vxi11::Status;

const auto RowName = [](const auto& info) { return std::string(info.param.name); };

// A TCP socket listening on, or connected to, host:port.
int Socket(const char* host, std::uint16_t port, bool listen)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const int on = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in address{AF_INET, htons(port), {::inet_addr(host)}, {}};
    const auto* raw = reinterpret_cast<const sockaddr*>(&address);
    if (listen ? ::bind(fd, raw, sizeof address) != 0 || ::listen(fd, 4) != 0 : ::connect(fd, raw, sizeof address) != 0)
        ADD_FAILURE() << "cannot " << (listen ? "listen on " : "connect to ") << host << ":" << port;
    return fd;
}

std::string Record(const std::string& body) { return EncodeWords({0x80000000u | std::uint32_t(body.size())}) + body; }

std::string Call(std::uint32_t program, std::uint32_t version, std::uint32_t procedure, const std::string& arguments = {})
{
    const auto header = vxi11::EncodeCallHeader(7, program, version, procedure);
    return std::string(header.data(), header.size()) + arguments;
}

std::string Opaque(const std::string& data)
{
    return EncodeWords({std::uint32_t(data.size())}) + data + std::string(vxi11::XdrPadding(data.size()), 0);
}

// 100001 at 127.0.0.2 and 100002 at 127.0.0.3.
class Lan : public testing::Test
{
protected:
    void SetUp() override
    {
        if (!private_network::Problem().empty())
            GTEST_SKIP() << "no network namespace of our own: " << private_network::Problem();
    }

    void Serve(const std::vector<std::string>& faults = {})
    {
        sensors.AddOnLan("100001", "127.0.0.2");
        sensors.AddOnLan("100002", "127.0.0.3");
        sensors.SetFaults("100001", faults);
        sensors.Start();
    }

    static vxi11::Result Open(vxi11::Client& client, const std::string& host = "127.0.0.2")
    {
        return client.Open(host, "inst0", vxi11::Clock::now() + 2s);
    }

    // Writes the message, then reads the whole response in reads of `chunk` bytes.
    static vxi11::Result Query(vxi11::Client& client, const std::string& message, std::string& reply,
                               std::uint32_t ioTimeoutMs = 2000, std::size_t chunk = 1 << 20)
    {
        reply.clear();
        vxi11::Result result = client.Write(message, true, ioTimeoutMs, 0, false);
        for (std::int32_t reason = 0; result.ok() && !(reason & vxi11::ReasonEnd);) {
            const std::size_t old = reply.size();
            std::size_t count = 0;
            reply.resize(old + chunk);
            result = client.Read(reply.data() + old, chunk, ioTimeoutMs, 0, false, count, reason);
            reply.resize(old + count);
        }
        return result;
    }

    std::string Stored(const std::string& serial, const char* file)
    {
        return ReadFileIfPresent(sensors.Root() / "store" / serial / file).value_or("(none)");
    }

    ServedSensors sensors;
};

template <typename Row>
class LanTable : public Lan, public testing::WithParamInterface<Row>
{
};

struct Step
{
    const char* message; // "{block}": the row's data as a block, "{data}": the bare data
    std::string reply;   // the whole reply
    Status status = Status::Ok; // of opening, at the first step, else of the query
    std::int32_t error = vxi11::ErrorNone;
    std::uint32_t ioTimeoutMs = 2000;
};

struct DialogueRow
{
    const char* name;
    const char* host;
    std::vector<std::string> faults; // of 100001
    std::size_t chunk;               // the size of each read
    int data; // 0 the served sensor's factory data set, 1 a user sample, 2 a large data set
    std::vector<Step> steps; // on one link
    const char* stores = nullptr; // the file that then holds the data; every other one is as it was
};

void PrintTo(const DialogueRow& row, std::ostream* out) { *out << row.name; }

std::string Fill(std::string text, const std::string& data)
{
    const std::string length = std::to_string(data.size());
    const std::string block = "#" + std::to_string(length.size()) + length + data; // IEEE 488.2, 8.7.9
    for (const auto& [mark, by] : {std::pair<std::string, std::string>{"{block}", block}, {"{data}", data}})
        if (const std::size_t at = text.find(mark); at != std::string::npos)
            text.replace(at, mark.size(), by);
    return text;
}

using Dialogues = LanTable<DialogueRow>;

TEST_P(Dialogues, GiveTheseRepliesAndStoreOnlyWhatWasWritten)
{
    const DialogueRow& row = GetParam();
    Serve(row.faults);
    const std::string serial = row.host == std::string("127.0.0.3") ? "100002" : "100001";
    const std::map<std::string, std::string> before{{"factory.cal", Stored(serial, "factory.cal")}, {"user.cal", "(none)"}};
    const std::string data = row.data == 0   ? before.at("factory.cal")
                             : row.data == 1 ? SampleDataFor("user_v3.cal", "TVX-18G", serial)
                                             : SensorDataSet(2, 25000);
    vxi11::Client client;
    vxi11::Result result = Open(client, row.host);
    const bool opened = result.ok();
    for (const Step& step : row.steps) {
        std::string reply;
        if (opened)
            result = Query(client, Fill(step.message, data), reply, step.ioTimeoutMs, row.chunk);
        EXPECT_EQ(result.status, step.status) << step.message;
        EXPECT_EQ(result.error, step.error) << step.message;
        EXPECT_TRUE(reply == Fill(step.reply, data)) << step.message << " gave " << reply.substr(0, 40);
    }
    for (const auto& [file, old] : before)
        EXPECT_TRUE(Stored(serial, file.c_str()) == (row.stores && file == row.stores ? data : old)) << file;
}

const Step idn1{"*idn?\n", "Trobe&Lindvar,TVX-18G,100001,2.14\n"}, idn2{"*idn?\n", "Trobe&Lindvar,TVX-18G,100002,2.14\n"},
    factory{"cal:data?\n", "{block}\n"};

INSTANTIATE_TEST_SUITE_P(
    Lan, Dialogues,
    testing::Values(
        DialogueRow{"SecondSensorInReadsOf1000", "127.0.0.3", {}, 1000, 0, {idn2, factory, factory, idn2}},
        DialogueRow{"UserSampleStoredAndReadBack", "127.0.0.2", {}, 1 << 20, 1,
                    {idn1, {"cal:user:data {block}\n;syst:err?\n", "0,\"No error\"\n"}, {"cal:user:data?\n", "{block}\n"}},
                    "user.cal"},
        DialogueRow{"LargeFactorySetStoredAndReadBack", "127.0.0.2", {}, 1 << 20, 2,
                    {{"cal:data {block}\n;syst:err?\n", "0,\"No error\"\n"}, factory, factory}, "factory.cal"},
        DialogueRow{"LateReplyTimesOutAndAnswersNoLaterQuery", "127.0.0.2", {"delay=500"}, 4096, 0,
                    {{"*idn?\n", "", Status::DeviceError, vxi11::ErrorIoTimeout, 300},
                     {"syst:info? 'cal. temp.'\n", "2024-03-13\n"}}},
        DialogueRow{"DropInTheReply", "127.0.0.2", {"drop-after=1000"}, 4096, 0, {{"cal:data?\n", "", Status::Closed}}},
        DialogueRow{"DropInTheWrite", "127.0.0.2", {"drop-after=1000"}, 4096, 1,
                    {{"cal:user:data {block}\n", "", Status::Closed}}},
        DialogueRow{"GarbageIsPassedOn", "127.0.0.2", {"garbage"}, 4096, 0, {{"*idn?\n", "\x7F\xFE\x01 ~noise~ \x00\n"s}}},
        DialogueRow{"BadLengthIsPassedOn", "127.0.0.2", {"bad-length"}, 4096, 0, {{"cal:data?\n", "#510198{data}\n"}}},
        DialogueRow{"LockedRefusesIo", "127.0.0.2", {"locked"}, 4096, 0,
                    {{"*idn?\n", "", Status::DeviceError, vxi11::ErrorLocked}}},
        DialogueRow{"UnpluggedIsUnreachable", "127.0.0.2", {"unplugged"}, 4096, 0, {{"*idn?\n", "", Status::Unreachable}}}),
    RowName);

struct LockRow
{
    const char* name;
    void (*release)(vxi11::Client& first);
};

void PrintTo(const LockRow& row, std::ostream* out) { *out << row.name; }

using LockContention = LanTable<LockRow>;

TEST_P(LockContention, TheSecondWaitsItsLockTimeoutUntilTheFirstLetsGo)
{
    Serve();
    vxi11::Client first;
    vxi11::Client second;
    ASSERT_TRUE(Open(first).ok());
    ASSERT_TRUE(Open(second).ok());
    ASSERT_TRUE(first.Lock(0, false).ok());
    const auto start = vxi11::Clock::now();
    EXPECT_EQ(second.Lock(300, true).error, vxi11::ErrorLocked);
    EXPECT_GE(vxi11::Clock::now() - start, 300ms);
    EXPECT_EQ(second.Write("*idn?\n", true, 1000, 0, false).error, vxi11::ErrorLocked);
    GetParam().release(first);
    EXPECT_TRUE(second.Lock(1000, true).ok());
    std::string reply;
    EXPECT_TRUE(Query(second, "*idn?\n", reply).ok());
}

INSTANTIATE_TEST_SUITE_P(Lan, LockContention,
                         testing::Values(LockRow{"FirstUnlocks", [](vxi11::Client& c) { EXPECT_TRUE(c.Unlock().ok()); }},
                                         LockRow{"FirstClosesItsLink", [](vxi11::Client& c) { c.Close(); }},
                                         LockRow{"FirstConnectionDrops", [](vxi11::Client& c) { c.Shutdown(); }}),
                         RowName);

// A stale announcement goes; a sensor whose port is taken is reported once and not announced.
TEST_F(Lan, AnnouncementsFollowWhatIsServed)
{
    const int taken = Socket("127.0.0.2", 111, true);
    sensors.AddOnLan("100001", "127.0.0.2");
    sensors.AddOnLan("100002", "127.0.0.3");
    sensors.AddOnLan("100003", "127.0.0.4");
    const auto folder = usbtmc::EnsureRuntimeFolder();
    WriteFileAtomically(usbtmc::LanAnnouncementPath(folder, "999999"), "10.1.1.1\n");
    testing::internal::CaptureStderr();
    sensors.Start();
    EXPECT_EQ(usbtmc::LanSensorAddresses(folder), (std::vector<std::string>{"127.0.0.3", "127.0.0.4"}));
    std::this_thread::sleep_for(500ms);
    sensors.Stop();
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "ostrel-sensorsim: sensor 100001 is not served on the LAN: needs port 111 on 127.0.0.2: Address already "
              "in use; run serve as root or inside a network namespace of your own\n");
    EXPECT_TRUE(usbtmc::LanSensorAddresses(folder).empty());
    ::close(taken);
}

// A VXI-11 client nobody here wrote.
TEST_F(Lan, PyvisaPyQueriesWritesAndLocks)
{
    if (::access("/usr/bin/python3", X_OK) != 0)
        GTEST_SKIP() << "no /usr/bin/python3";
    Serve();
    const std::string user = SampleDataFor("user_v3.cal", "TVX-18G", "100001");
    const std::string userFile = (sensors.Root() / "user-upload.cal").string();
    WriteFileAtomically(userFile, user);
    EXPECT_EQ(child_process::Run({"/usr/bin/python3", OSTREL_TEST_DATA_DIR "/pyvisa_py_lan.py",
                                  "TCPIP0::127.0.0.2::inst0::INSTR", (sensors.Root() / "store/100001/factory.cal").string(),
                                  userFile},
                                 60000),
              0);
    EXPECT_TRUE(Stored("100001", "user.cal") == user);
}

// The words of the one reply to `bytes` on a new connection to 127.0.0.2;
// none when the connection ends without one, ~0 when it just stays silent.
std::vector<std::uint32_t> Exchange(std::uint16_t port, const std::string& bytes)
{
    const int fd = Socket("127.0.0.2", port, false);
    const timeval wait{2, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait);
    ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
    std::uint32_t mark = 0; // one fragment, as the sensor sends them
    const ssize_t got = ::recv(fd, &mark, 4, MSG_WAITALL);
    std::vector<std::uint32_t> words(got == 4 ? std::min<std::uint32_t>(ntohl(mark) & 0x7FFFFFFFu, 4096) / 4 : 0);
    if (got != 4 || ::recv(fd, words.data(), words.size() * 4, MSG_WAITALL) != static_cast<ssize_t>(words.size() * 4))
        words.assign(got < 0 ? 1 : 0, ~0u);
    ::close(fd);
    std::transform(words.begin(), words.end(), words.begin(), [](std::uint32_t word) { return ntohl(word); });
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
        PeerRow{"RecordOverTheLimit", true, EncodeWords({0xFFFFFFFFu}) + Call(CoreProgram, 1, 0), {}},
        PeerRow{"UnknownProcedure", true, Record(Call(CoreProgram, 1, 99)), {7, 1, 0, 0, 0, 3}},
        PeerRow{"UnknownDevice", true, Record(Call(CoreProgram, 1, 10, noLock + Opaque("inst7"))),
                {7, 1, 0, 0, 0, 0, vxi11::ErrorDeviceNotAccessible, 0, 0, LanTransport::MaxRecvSize}},
        PeerRow{"DeviceNameTooLong", true, Record(Call(CoreProgram, 1, 10, noLock + Opaque(std::string(99, 'a')))),
                {7, 1, 0, 0, 0, 4}},
        PeerRow{"WriteOverMaxRecvSize", true,
                Record(Call(CoreProgram, 1, 11, EncodeWords({1, 0, 0, 8, LanTransport::MaxRecvSize + 1}))), {7, 1, 0, 0, 0, 4}},
        PeerRow{"ReadWithoutALink", true, Record(Call(CoreProgram, 1, 12, EncodeWords({99, 16, 0, 0, 0, 0}))),
                {7, 1, 0, 0, 0, 0, vxi11::ErrorInvalidLink, 0, 0}}),
    RowName);

std::string ReadReply(std::uint32_t xid, const std::string& data)
{
    return vxi11::EncodeAcceptedReply(xid, 0) + EncodeWords({0, vxi11::ReasonEnd}) + Opaque(data);
}

struct ReplyRow
{
    const char* name;
    std::string (*reply)(std::uint32_t xid); // to the device_read
    Status status;
    const char* data;
    bool shutdown = false; // Shutdown from another thread ends the blocked read
};

void PrintTo(const ReplyRow& row, std::ostream* out) { *out << row.name; }

using BadReplies = LanTable<ReplyRow>;

// An instrument at 127.0.0.9 whose portmapper names itself as the core
// channel too. Its calls get in turn the port, create_link's result, the row's
// reply, then Device_Error 0 until the client hangs up.
TEST_P(BadReplies, GiveAClearStatus)
{
    const ReplyRow& row = GetParam();
    const int listener = Socket("127.0.0.9", 111, true);
    std::thread fake([&] {
        const std::string results[] = {EncodeWords({111}), EncodeWords({0, 1, 0, 1024}), "", EncodeWords({0})};
        std::size_t call = 0;
        for (pollfd entry{listener, POLLIN, 0}; call < 2 && ::poll(&entry, 1, 3000) == 1;) {
            vxi11::RpcChannel channel(usbtmc::Link(::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC)));
            channel.SetLimit(4096);
            do { // the portmapper's connection has one call, the core channel's the rest
                const auto deadline = vxi11::Clock::now() + 3s;
                vxi11::RecordSource source(channel, deadline);
                std::uint32_t xid = 0;
                if (channel.Begin(deadline) != usbtmc::LinkStatus::Ok || !source.Word(xid) ||
                    channel.SkipRest(deadline) != usbtmc::LinkStatus::Ok)
                    break;
                const std::string reply =
                    call == 2 ? row.reply(xid) : Record(vxi11::EncodeAcceptedReply(xid, 0) + results[std::min<std::size_t>(call, 3)]);
                channel.Link().SendBytes({usbtmc::Piece(reply.data(), reply.size())}, deadline);
            } while (++call > 1);
        }
    });
    {
        vxi11::Client client;
        EXPECT_EQ(Open(client, "127.0.0.9").status, Status::Ok);
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
    fake.join();
    ::close(listener);
}

INSTANTIATE_TEST_SUITE_P(
    Lan, BadReplies,
    testing::Values(
        ReplyRow{"ReplyToAnEarlierCallIsSkipped",
                 [](std::uint32_t xid) { return Record(ReadReply(xid - 1, "stale")) + Record(ReadReply(xid, "fresh")); },
                 Status::Ok, "fresh"},
        ReplyRow{"MoreDataThanAsked", [](std::uint32_t xid) { return Record(ReadReply(xid, std::string(17, 'x'))); },
                 Status::Protocol, ""},
        ReplyRow{"CallDenied", [](std::uint32_t xid) { return Record(vxi11::EncodeRpcMismatch(xid)); }, Status::Protocol, ""},
        ReplyRow{"RecordOverTheLimit", [](std::uint32_t) { return EncodeWords({0x80000000u | 1u << 30}); }, Status::Protocol, ""},
        ReplyRow{"NoReply", [](std::uint32_t) { return std::string(); }, Status::Timeout, ""},
        ReplyRow{"ShutdownEndsABlockedRead", [](std::uint32_t) { return std::string(); }, Status::Closed, "", true}),
    RowName);

const char* const peerInterface = "vx11peer";

template <typename Done>
bool WaitFor(Done done)
{
    for (int i = 0; i < 250 && !done(); ++i)
        std::this_thread::sleep_for(20ms);
    return done();
}

std::string NetworkNamespace(const std::string& pid)
{
    std::error_code error;
    return std::filesystem::read_symlink("/proc/" + pid + "/ns/net", error).string();
}

bool RunAll(const std::vector<std::vector<std::string>>& commands)
{
    for (const std::vector<std::string>& command : commands)
        if (child_process::Run(command, 5000) != 0)
            return false;
    return true;
}

// The sensor sits in a second namespace of the test's own, at the far end of
// a veth pair; the broadcast goes out on this end.
TEST_F(Lan, BroadcastFindsTheSensorOnTheOtherEndOfAVirtualNetwork)
{
    sensors.AddOnLan("100001", "10.231.0.2");
    const pid_t peer = child_process::Start({"/proc/self/exe", "--lan-peer", (sensors.Root() / "store").string(), "10.231.0.2/24"});
    ASSERT_NE(peer, 0);
    const std::string pid = std::to_string(peer);
    EXPECT_TRUE(WaitFor([&] { return NetworkNamespace(pid) != NetworkNamespace("self"); }));
    const bool linked = RunAll({{"/usr/sbin/ip", "link", "add", "vx11here", "type", "veth", "peer", "name", peerInterface, "netns", pid},
                                {"/usr/sbin/ip", "addr", "add", "10.231.0.1/24", "brd", "+", "dev", "vx11here"},
                                {"/usr/sbin/ip", "link", "set", "vx11here", "up"}});
    if (linked) {
        EXPECT_TRUE(WaitFor([] { return !usbtmc::LanSensorAddresses(usbtmc::RuntimeFolder()).empty(); }));
        EXPECT_EQ(vxi11::DiscoverInstruments(1000), std::vector<std::string>{"10.231.0.2"});
    }
    ::kill(peer, SIGTERM);
    EXPECT_EQ(child_process::Wait(peer, 5000), -1) << "the peer ended before the signal";
    if (!linked)
        GTEST_SKIP() << "cannot make a veth pair here";
}

// Enters a network namespace of its own, waits for its end of the veth pair,
// gives it the address and serves the store until a signal ends it.
int ServeAsLanPeer(const char* storeFolder, const std::string& addressWithBits)
{
    if (::unshare(CLONE_NEWNET) != 0 || !WaitFor([] { return ::if_nametoindex(peerInterface) != 0; }) ||
        !RunAll({{"/usr/sbin/ip", "link", "set", "lo", "up"},
                 {"/usr/sbin/ip", "addr", "add", addressWithBits, "brd", "+", "dev", peerInterface},
                 {"/usr/sbin/ip", "link", "set", peerInterface, "up"}}))
        return 2;
    SensorServer server(SensorStore(storeFolder), usbtmc::EnsureRuntimeFolder());
    server.Start();
    ::pause();
    return 0;
}

} // namespace

// The tests run in a network namespace of the program's own, entered before any thread starts.
int main(int argc, char** argv)
{
    if (argc == 4 && std::strcmp(argv[1], "--lan-peer") == 0)
        return ServeAsLanPeer(argv[2], argv[3]);
    private_network::Enter();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
