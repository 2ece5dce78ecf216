#include "ChildProcess.h"
#include "LanSensors.h"
#include "SensorDataSet.h"

#include <thread>

namespace
{

using namespace std::chrono_literals;
using vxi11::Status;

struct QueryRow
{
    const char* name;
    const char* host;
    std::size_t chunk; // the size of each read
    int data;          // "{block}" below: 0 the stored factory data set, 1 a user sample, 2 a large data set
    std::vector<std::pair<const char*, const char*>> steps; // each message on one link, and its whole reply
    const char* file = nullptr; // where the data set must be stored
};

void PrintTo(const QueryRow& row, std::ostream* out) { *out << row.name; }

using Queries = LanTable<QueryRow>;

std::string WithBlock(std::string text, const std::string& block)
{
    if (const std::size_t at = text.find("{block}"); at != std::string::npos)
        text.replace(at, 7, block);
    return text;
}

// A response read whole leaves the link ready for the next message.
TEST_P(Queries, GiveTheWholeResponse)
{
    const QueryRow& row = GetParam();
    Serve();
    const std::string data = row.data == 0   ? Stored("100001", "factory.cal")
                             : row.data == 1 ? SampleDataFor("user_v3.cal", "TVX-18G", "100001")
                                             : SensorDataSet(2, 25000);
    vxi11::Client client;
    ASSERT_TRUE(Open(client, row.host).ok());
    for (const auto& [message, expected] : row.steps) {
        std::string reply;
        EXPECT_TRUE(Query(client, WithBlock(message, Block(data)), reply, 2000, row.chunk).ok());
        EXPECT_TRUE(reply == WithBlock(expected, Block(data))) << message;
    }
    if (row.file)
        EXPECT_TRUE(Stored("100001", row.file) == data);
}

const std::pair<const char*, const char*> idn1{"*idn?\n", "Trobe&Lindvar,TVX-18G,100001,2.14\n"},
    idn2{"*idn?\n", "Trobe&Lindvar,TVX-18G,100002,2.14\n"}, factory{"cal:data?\n", "{block}\n"};

INSTANTIATE_TEST_SUITE_P(
    Lan, Queries,
    testing::Values(
        QueryRow{"IdentityAt127_0_0_2", "127.0.0.2", 4096, 0, {idn1, idn1}},
        QueryRow{"IdentityAt127_0_0_3", "127.0.0.3", 4096, 0, {idn2, idn2}},
        QueryRow{"FactoryBlockInOneRead", "127.0.0.2", 1 << 20, 0, {factory, factory}},
        QueryRow{"FactoryBlockInReadsOf1000", "127.0.0.2", 1000, 0, {factory, factory}},
        QueryRow{"UserSampleStoredAndReadBack", "127.0.0.2", 1 << 20, 1,
                 {{"cal:user:data {block}\n;syst:err?\n", "0,\"No error\"\n"}, {"cal:user:data?\n", "{block}\n"}},
                 "user.cal"},
        QueryRow{"LargeFactorySetStoredAndReadBack", "127.0.0.2", 1 << 20, 2,
                 {{"cal:data {block}\n;syst:err?\n", "0,\"No error\"\n"}, factory}, "factory.cal"}),
    RowName);

enum class Release
{
    Unlock,
    CloseTheLink,
    DropTheConnection
};

struct LockRow
{
    const char* name;
    Release release;
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
    const auto waited = vxi11::Clock::now() - start;
    EXPECT_GE(waited, 300ms);
    EXPECT_EQ(second.Write("*idn?\n", true, 1000, 0, false).error, vxi11::ErrorLocked);
    switch (GetParam().release) {
    case Release::Unlock:
        EXPECT_TRUE(first.Unlock().ok());
        break;
    case Release::CloseTheLink:
        first.Close();
        break;
    case Release::DropTheConnection:
        first.Shutdown();
        break;
    }
    EXPECT_TRUE(second.Lock(1000, true).ok());
    std::string reply;
    EXPECT_TRUE(Query(second, "*idn?\n", reply).ok());
}

INSTANTIATE_TEST_SUITE_P(Lan, LockContention,
                         testing::Values(LockRow{"FirstUnlocks", Release::Unlock},
                                         LockRow{"FirstClosesItsLink", Release::CloseTheLink},
                                         LockRow{"FirstConnectionDrops", Release::DropTheConnection}),
                         RowName);

struct FaultRow
{
    const char* name;
    std::vector<std::string> faults;
    const char* message; // "{user}": the block of a user data set for 100001
    Status status;       // of opening, else of the query
    std::int32_t error;
    std::string reply;   // how the reply begins
    const char* next = nullptr; // a query that follows on the same link, and its whole reply
    const char* nextReply = nullptr;
};

void PrintTo(const FaultRow& row, std::ostream* out) { *out << row.name; }

using Faults = LanTable<FaultRow>;

TEST_P(Faults, ShowWhatTheClientSeesAndKeepTheStoredData)
{
    const FaultRow& row = GetParam();
    Serve(row.faults);
    const std::string factory = Stored("100001", "factory.cal");
    std::string message = row.message;
    if (const std::size_t at = message.find("{user}"); at != std::string::npos)
        message.replace(at, 6, Block(SampleDataFor("user_v3.cal", "TVX-18G", "100001")));
    vxi11::Client client;
    vxi11::Result result = Open(client);
    std::string reply;
    if (result.ok())
        result = Query(client, message, reply, 300);
    EXPECT_EQ(result.status, row.status);
    EXPECT_EQ(result.error, row.error);
    EXPECT_EQ(reply.substr(0, row.reply.size()), row.reply);
    if (row.next) {
        EXPECT_TRUE(Query(client, row.next, reply, 1000).ok());
        EXPECT_EQ(reply, row.nextReply) << "a late reply answers no later query";
    }
    EXPECT_TRUE(Stored("100001", "factory.cal") == factory);
    EXPECT_EQ(Stored("100001", "user.cal"), "(none)");
}

INSTANTIATE_TEST_SUITE_P(
    Lan, Faults,
    testing::Values(
        FaultRow{"LateReplyTimesOut", {"delay=500"}, "*idn?\n", Status::DeviceError, vxi11::ErrorIoTimeout, "",
                 "syst:info? 'cal. temp.'\n", "2024-03-13\n"},
        FaultRow{"DropInTheReply", {"drop-after=1000"}, "cal:data?\n", Status::Closed, 0, ""},
        FaultRow{"DropInTheWrite", {"drop-after=1000"}, "cal:user:data {user}\n", Status::Closed, 0, ""},
        FaultRow{"GarbageIsPassedOn", {"garbage"}, "*idn?\n", Status::Ok, 0, std::string("\x7F\xFE\x01 ~noise~ \x00\n", 14)},
        FaultRow{"BadLengthIsPassedOn", {"bad-length"}, "cal:data?\n", Status::Ok, 0, "#510198\x89TMX"},
        FaultRow{"LockedRefusesIo", {"locked"}, "*idn?\n", Status::DeviceError, vxi11::ErrorLocked, ""},
        FaultRow{"UnpluggedIsUnreachable", {"unplugged"}, "*idn?\n", Status::Unreachable, 0, ""}),
    RowName);

TEST_F(LanSensors, AnnouncementsFollowWhatIsServed)
{
    sensors.AddOnLan("100001", "127.0.0.2");
    sensors.AddOnLan("100002", "127.0.0.3");
    const auto folder = usbtmc::EnsureRuntimeFolder();
    WriteFileAtomically(usbtmc::LanAnnouncementPath(folder, "999999"), "10.1.1.1\n");
    sensors.Start();
    EXPECT_EQ(usbtmc::LanSensorAddresses(folder), (std::vector<std::string>{"127.0.0.2", "127.0.0.3"}));
    sensors.Stop();
    EXPECT_TRUE(usbtmc::LanSensorAddresses(folder).empty());
}

TEST_F(LanSensors, APortmapperPortTakenIsReportedInOneLine)
{
    const int taken = Socket("127.0.0.2", 111, true);
    sensors.AddOnLan("100001", "127.0.0.2");
    testing::internal::CaptureStderr();
    sensors.Start();
    std::this_thread::sleep_for(500ms);
    sensors.Stop();
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "ostrel-sensorsim: sensor 100001 is not served on the LAN: needs port 111 on 127.0.0.2: Address already "
              "in use; run serve as root or inside a network namespace of your own\n");
    ::close(taken);
}

// A VXI-11 client nobody here wrote.
TEST_F(LanSensors, PyvisaPyQueriesWritesAndLocks)
{
    if (::access("/usr/bin/python3", X_OK) != 0)
        GTEST_SKIP() << "no /usr/bin/python3";
    Serve();
    const std::string user = SampleDataFor("user_v3.cal", "TVX-18G", "100001");
    const std::string userFile = (sensors.Root() / "user-upload.cal").string();
    WriteFileAtomically(userFile, user);
    EXPECT_EQ(child_process::Run({"/usr/bin/python3", OSTREL_TEST_DATA_DIR "/pyvisa_py_lan.py",
                                  "TCPIP0::127.0.0.2::inst0::INSTR",
                                  (sensors.Root() / "store" / "100001" / "factory.cal").string(), userFile},
                                 60000),
              0);
    EXPECT_TRUE(Stored("100001", "user.cal") == user);
}

} // namespace
