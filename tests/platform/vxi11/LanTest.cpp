// Sensors served on addresses of the program's own network namespace, and peers of both ends that send
// what no good client or instrument would.

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
#include <poll.h>

#include <algorithm>
#include <thread>

namespace
{

using namespace std::chrono_literals;
using vxi11::CoreProgram;
using vxi11::EncodeWords;
using vxi11::Status;

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

class Lan : public testing::Test
{
protected:
    void SetUp() override
    {
        if (!private_network::Problem().empty())
            GTEST_SKIP() << "no network namespace of our own: " << private_network::Problem();
    }

    static vxi11::Result Open(vxi11::Client& client, const std::string& host = "127.0.0.2")
    {
        return client.Open(host, "inst0", vxi11::Clock::now() + 2s);
    }

    // Writes the message, then reads the whole reply in reads of `chunk` bytes; it must be `expected`.
    static void Query(vxi11::Client& client, const std::string& message, const std::string& expected,
                      std::size_t chunk = 1 << 20, Status status = Status::Ok)
    {
        std::size_t count = 0;
        vxi11::Result result = client.Write(message, true, vxi11::Clock::now() + 2s, false, count);
        std::string reply;
        for (std::int32_t reason = 0; result.ok() && !(reason & vxi11::ReasonEnd);) {
            reply.resize(reply.size() + chunk);
            result = client.Read(&reply[reply.size() - chunk], chunk, vxi11::Clock::now() + 2s, false, count, reason);
            reply.resize(reply.size() - chunk + count);
        }
        EXPECT_EQ(result.status, status) << message.substr(0, 20);
        EXPECT_TRUE(reply == expected) << message.substr(0, 20) << " gave " << reply.substr(0, 40);
    }

    std::string Stored(const std::string& serial, const char* file)
    {
        return ReadFileIfPresent(sensors.Root() / "store" / serial / file).value_or("(none)");
    }

    ServedSensors sensors;
};

// Each sensor answers on its own address, in reads of any size; a large data set written over many
// device_writes is stored and read back; a connection dropped in a write stores nothing. A lock keeps
// other links out, until its link unlocks or drops its connection; Shutdown from another thread ends a
// call that waits for it. Then a VXI-11 client nobody here wrote queries, writes and locks on the sensor
// whose locking link dropped its connection.
TEST_F(Lan, DialoguesLocksAndAnotherClientStoreOnlyWhatWasWritten)
{
    sensors.AddOnLan("100001", "127.0.0.2");
    sensors.AddOnLan("100002", "127.0.0.3");
    sensors.Start();
    const std::string factory = Stored("100002", "factory.cal"), large = SensorDataSet(2, 25000);
    vxi11::Client first, second, other;
    ASSERT_TRUE(Open(first).ok() && Open(second, "127.0.0.3").ok() && Open(other).ok());
    Query(second, "*idn?\n", "Trobe&Lindvar,TVX-18G,100002,2.14\n", 1000);
    Query(second, "cal:data?\n", Block(factory) + "\n", 1000);
    Query(first, "cal:data " + Block(large) + "\n;syst:err?\n", "0,\"No error\"\n");
    Query(first, "cal:data?\n", Block(large) + "\n");
    sensors.SetFaults("100002", {"drop-after=1000"});
    Query(second, "cal:data " + Block(SampleDataFor("factory_v4.cal", "TVX-18G", "100002")) + "\n", "", 4096,
          Status::Closed);
    EXPECT_TRUE(Stored("100001", "factory.cal") == large);
    EXPECT_TRUE(Stored("100002", "factory.cal") == factory) << "a dropped write stores nothing";
    EXPECT_EQ(Stored("100001", "user.cal") + Stored("100002", "user.cal"), "(none)(none)");

    const auto in = [](auto wait) { return vxi11::Clock::now() + wait; };
    std::size_t written = 0;
    ASSERT_TRUE(first.Lock(in(1s), false).ok());
    EXPECT_EQ(other.Lock(in(300ms), true).error, vxi11::ErrorLocked);
    EXPECT_EQ(other.Write("*idn?\n", true, in(1s), false, written).error, vxi11::ErrorLocked);
    EXPECT_TRUE(first.Unlock(in(1s)).ok());
    EXPECT_TRUE(other.Lock(in(1s), true).ok()) << "after an unlock";
    std::thread stopper([&] { std::this_thread::sleep_for(100ms), first.Shutdown(); });
    EXPECT_EQ(first.Lock(in(5s), true).status, Status::Closed);
    stopper.join();
    other.Shutdown(); // its lock goes with its connection, or the client below could not use the sensor

    const std::string user = SampleDataFor("user_v3.cal", "TVX-18G", "100001");
    const std::string userFile = (sensors.Root() / "user-upload.cal").string();
    WriteFileAtomically(userFile, user);
    const std::string factoryFile = (sensors.Root() / "store/100001/factory.cal").string();
    EXPECT_EQ(child_process::Run({"/usr/bin/python3", OSTREL_TEST_DATA_DIR "/pyvisa_py_lan.py",
                                  "TCPIP0::127.0.0.2::inst0::INSTR", factoryFile, userFile}, 60000), 0);
    EXPECT_TRUE(Stored("100001", "user.cal") == user);
}

// A stale announcement goes; a sensor whose port is taken is reported once and not announced; a broadcast
// finds the sensor at one end of a veth pair (it goes out there and comes back to the sensor's socket).
TEST_F(Lan, AnnouncementsAndBroadcastsFollowWhatIsServed)
{
    const char* veth = "ip link del vx11here 2>/dev/null; ip link add vx11here type veth peer name vx11peer && ip link "
                       "set vx11peer up && ip addr add 10.231.0.1/24 brd + dev vx11here && ip link set vx11here up";
    if (child_process::Run({"/bin/sh", "-c", veth}, 5000) != 0)
        GTEST_SKIP() << "cannot make a veth pair here";
    const int taken = Socket("127.0.0.2", 111, true);
    sensors.AddOnLan("100001", "127.0.0.2");
    sensors.AddOnLan("100002", "10.231.0.1");
    sensors.AddOnLan("100003", "127.0.0.4");
    const auto folder = usbtmc::EnsureRuntimeFolder();
    WriteFileAtomically(usbtmc::LanAnnouncementPath(folder, "999999"), "10.1.1.1\n");
    testing::internal::CaptureStderr();
    sensors.Start();
    EXPECT_EQ(usbtmc::LanSensorAddresses(folder), (std::vector<std::string>{"10.231.0.1", "127.0.0.4"}));
    EXPECT_EQ(vxi11::DiscoverInstruments(500), std::vector<std::string>{"10.231.0.1"});
    sensors.Stop();
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "ostrel-sensorsim: sensor 100001 is not served on the LAN: needs port 111 on 127.0.0.2: Address already "
              "in use; run serve as root or inside a network namespace of your own\n");
    EXPECT_TRUE(usbtmc::LanSensorAddresses(folder).empty());
    ::close(taken);
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

// Each bad call, one after the other, gets its answer, and the sensor serves on.
TEST_F(Lan, BadCallsGetTheirAnswerAndTheSensorServesOn)
{
    sensors.AddOnLan("100001", "127.0.0.2");
    sensors.Start();
    const auto port = Exchange(111, Record(Call(100000, 2, 3, EncodeWords({vxi11::CoreProgram, 1, IPPROTO_TCP, 0}))));
    ASSERT_EQ(port.size(), 7u);
    const std::string noLock = EncodeWords({1, 0, 0}), ping = Call(100000, 2, 0);
    const struct
    {
        const char* name;
        bool core; // to the core channel, else to the portmapper
        std::string bytes;
        std::vector<std::uint32_t> reply; // empty: the connection ends
    } rows[] = {
        {"OtherRpcVersion", false, Record(EncodeWords({7, 0, 3, 100000, 2, 0, 0, 0, 0, 0})), {7, 1, 1, 0, 2, 2}},
        {"OtherProgram", false, Record(Call(100003, 3, 0)), {7, 1, 0, 0, 0, 1}},
        {"OtherPortmapperVersion", false, Record(Call(100000, 4, 0)), {7, 1, 0, 0, 0, 2, 2, 2}},
        {"CallInThreeFragments", false,
         EncodeWords({0, 20}) + ping.substr(0, 20) + EncodeWords({0x80000000u | 20}) + ping.substr(20),
         {7, 1, 0, 0, 0, 0}},
        {"CredentialsTooLong", false,
         Record(EncodeWords({7, 0, 2, 100000, 2, 0, 0, 404}) + std::string(404, '\0') + EncodeWords({0, 0})), {}},
        {"RecordOverTheLimit", true, EncodeWords({0xFFFFFFFFu}) + Call(CoreProgram, 1, 0), {}},
        {"UnknownProcedure", true, Record(Call(CoreProgram, 1, 99)), {7, 1, 0, 0, 0, 3}},
        {"UnknownDevice", true, Record(Call(CoreProgram, 1, 10, noLock + Opaque("inst7"))),
         {7, 1, 0, 0, 0, 0, vxi11::ErrorDeviceNotAccessible, 0, 0, LanTransport::MaxRecvSize}},
        {"DeviceNameTooLong", true, Record(Call(CoreProgram, 1, 10, noLock + Opaque(std::string(99, 'a')))),
         {7, 1, 0, 0, 0, 4}},
        {"WriteOverMaxRecvSize", true,
         Record(Call(CoreProgram, 1, 11, EncodeWords({1, 0, 0, 8, LanTransport::MaxRecvSize + 1}))), {7, 1, 0, 0, 0, 4}},
        {"ReadWithoutALink", true, Record(Call(CoreProgram, 1, 12, EncodeWords({99, 16, 0, 0, 0, 0}))),
         {7, 1, 0, 0, 0, 0, vxi11::ErrorInvalidLink, 0, 0}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const auto to = row.core ? static_cast<std::uint16_t>(port.back()) : std::uint16_t(111);
        EXPECT_EQ(Exchange(to, row.bytes), row.reply);
        vxi11::Client client;
        EXPECT_TRUE(Open(client).ok());
        Query(client, "*idn?\n", "Trobe&Lindvar,TVX-18G,100001,2.14\n");
    }
}

std::string ReadReply(std::uint32_t xid, const std::string& data)
{
    return Record(vxi11::EncodeAcceptedReply(xid, 0) + EncodeWords({0, vxi11::ReasonEnd}) + Opaque(data));
}

// For each row an instrument at 127.0.0.9 whose portmapper names itself as the core channel too. Its calls
// get in turn the port, create_link's result, the row's reply, then Device_Error 0 until the client hangs up.
TEST_F(Lan, BadRepliesGiveAClearStatus)
{
    const struct
    {
        const char* name;
        std::string (*reply)(std::uint32_t xid); // to the device_read; null: none
        Status status;
        const char* data;
        std::uint32_t maxRecvSize = 1024; // of the link
        Status open = Status::Ok;
    } rows[] = {
        {"ReplyToAnEarlierCallIsSkipped",
         [](std::uint32_t xid) { return ReadReply(xid - 1, "stale") + ReadReply(xid, "fresh"); }, Status::Ok, "fresh"},
        {"EarlierReplyOverTheLimit",
         [](std::uint32_t xid) { return ReadReply(xid - 1, std::string(1000, 's')) + ReadReply(xid, "fresh"); },
         Status::Protocol, ""},
        {"MoreDataThanAsked", [](std::uint32_t xid) { return ReadReply(xid, std::string(17, 'x')); }, Status::Protocol, ""},
        {"CallDenied", [](std::uint32_t xid) { return Record(vxi11::EncodeRpcMismatch(xid)); }, Status::Protocol, ""},
        {"NoReply", nullptr, Status::Timeout, ""},
        {"LinkWithoutAReceiveSize", nullptr, Status::Closed, "", 0, Status::Protocol},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const int listener = Socket("127.0.0.9", 111, true);
        std::thread fake([&] {
            const std::string results[] = {EncodeWords({111}), EncodeWords({0, 1, 0, row.maxRecvSize}), "",
                                           EncodeWords({0})};
            const auto deadline = vxi11::Clock::now() + 5s;
            std::size_t call = 0;
            for (pollfd entry{listener, POLLIN, 0}; call < 2 && ::poll(&entry, 1, 3000) == 1;) {
                vxi11::RpcChannel channel(usbtmc::Link(::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC)));
                vxi11::RecordSource source(channel, deadline);
                channel.SetLimit(4096);
                for (std::uint32_t xid = 0; channel.Begin(deadline) == usbtmc::LinkStatus::Ok && source.Word(xid) &&
                                            channel.SkipRest(deadline) == usbtmc::LinkStatus::Ok;) {
                    const std::string reply =
                        call == 2 ? (row.reply ? row.reply(xid) : std::string())
                                  : Record(vxi11::EncodeAcceptedReply(xid, 0) + results[std::min<std::size_t>(call, 3)]);
                    channel.Link().SendBytes({usbtmc::Piece(reply.data(), reply.size())}, deadline);
                    if (++call == 1)
                        break; // the portmapper's connection has one call, the core channel's the rest
                }
            }
        });
        vxi11::Client client;
        EXPECT_EQ(Open(client, "127.0.0.9").status, row.open);
        char data[16];
        std::size_t count = 0;
        std::int32_t reason = 0;
        EXPECT_EQ(client.Read(data, sizeof data, vxi11::Clock::now() + 100ms, false, count, reason).status, row.status);
        EXPECT_EQ(std::string(data, count), row.data);
        client.Close();
        fake.join();
        ::close(listener);
    }
}

} // namespace

// The tests run in a network namespace of the program's own, entered before any thread starts.
int main(int argc, char** argv)
{
    private_network::Enter();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
