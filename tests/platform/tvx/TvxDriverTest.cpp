#include "TvxControl2.h"

#include "ServedSensors.h"
#include "ChildProcess.h"
#include "Client.h"
#include "Tamrix.h"

#include <gtest/gtest.h>

#include <signal.h>

#include <chrono>
#include <fstream>
#include <iterator>
#include <thread>

namespace
{

std::string ErrorText(int32_t status)
{
    std::string text(static_cast<std::size_t>(TvxGetErrorText(status, nullptr, 0)), '\0');
    EXPECT_EQ(TvxGetErrorText(status, text.data(), static_cast<int32_t>(text.size())), 0);
    return text.c_str();
}

std::string TextResult(int32_t sensor)
{
    uint32_t type = 99;
    if (TvxGetData(sensor, &type, nullptr, nullptr) != 0 || type != TVX_RESULT_TEXT)
        return "(no text result)";
    std::string text(static_cast<std::size_t>(TvxGetStringResult(sensor, nullptr, 0)), '\0');
    EXPECT_EQ(TvxGetStringResult(sensor, text.data(), static_cast<int32_t>(text.size())), 0);
    return text.c_str();
}

std::string SocketOf100001()
{
    return usbtmc::UsbSocketPath(usbtmc::EnsureRuntimeFolder(), "100001").string();
}

// What the editor's transfers do on the driver path, one call sequence each.
struct Transfer
{
    int32_t status = 0;
    uint32_t code = 0;
    std::string data;
};

Transfer Upload(int32_t sensor, bool forceFactory, int32_t timeout = 5000)
{
    Transfer t;
    if (!forceFactory && (t.status = TvxEmptyAllBuffers(sensor)) == 0 &&
        (t.status = TvxSendCommand(sensor, "cal:user:data?", timeout)) == 0)
        t.status = TvxGetError(sensor, &t.code);
    if (forceFactory || (t.status == 0 && t.code == TVX_SENSOR_ERROR_UNDEFINED_HEADER))
        if ((t.status = TvxEmptyAllBuffers(sensor)) == 0)
            t.status = TvxSendCommand(sensor, "cal:data?", timeout);
    int32_t available = 0, length = 0, count = 0;
    uint32_t type = 99;
    if (t.status == 0 && TvxDataAvailable(sensor, &available) == 0 && available &&
        TvxGetData(sensor, &type, nullptr, nullptr) == 0 && type == TVX_RESULT_BINARY &&
        TvxGetBinaryResultLength(sensor, &length) == 0) {
        t.data.resize(static_cast<std::size_t>(length));
        EXPECT_EQ(TvxGetBinaryResult(sensor, t.data.data(), length, &count) + count - length, 0);
    }
    return t;
}

// The write, then the completion's error query.
Transfer Download(int32_t sensor, const std::string& data, bool forceFactory)
{
    Transfer t;
    if (!forceFactory && (t.status = TvxSendCommand(sensor, "cal:user:data #10", 5000)) == 0)
        t.status = TvxGetError(sensor, &t.code);
    if (t.status != 0 ||
        (!forceFactory && t.code != TVX_SENSOR_ERROR_BLOCK_DATA && t.code != TVX_SENSOR_ERROR_UNDEFINED_HEADER))
        return t;
    const char* command = t.code == TVX_SENSOR_ERROR_BLOCK_DATA ? "cal:user:data" : "cal:data";
    if ((t.status = TvxEmptyErrorQueue(sensor)) == 0 &&
        (t.status = TvxSendBinaryBlock(sensor, command, data.data(), static_cast<int32_t>(data.size()), 5000)) == 0)
        t.status = TvxGetError(sensor, &t.code);
    return t;
}

class TvxDriver : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_EQ(TvxOpenDriver(), 0); }
    void TearDown() override { TvxCloseDriver(); }

    int32_t Open(const std::string& serial)
    {
        int32_t sensor = 0;
        EXPECT_EQ(TvxOpenSensor(("TVXUSB::" + serial).c_str(), &sensor), 0);
        return sensor;
    }

    std::string Stored(DataArea area) { return sensors.Store().LoadArea("100001", area); }

    ServedSensors sensors;
};

struct DialogueCase
{
    const char* name;
    const char* model;
    bool hasUserData;
    const char* sample; // what is written
    bool forceFactory;
    DataArea area;      // where it must land
};

const auto RowName = [](const auto& info) { return std::string(info.param.name); };

void PrintTo(const DialogueCase& row, std::ostream* out) { *out << row.name; }

template <typename Row>
class Table : public TvxDriver, public ::testing::WithParamInterface<Row>
{
};

using Dialogue = Table<DialogueCase>;

// Download, store-and-restart, then upload on a new handle gives back the bytes.
TEST_P(Dialogue, WritesIntoTheRightAreaAndReadsItBack)
{
    const DialogueCase& c = GetParam();
    sensors.Add("100001", c.model, c.hasUserData);
    sensors.Start();
    const std::string data = SampleDataFor(c.sample, c.model, "100001");
    const DataArea other = c.area == DataArea::User ? DataArea::Factory : DataArea::User;
    const std::string otherBefore = Stored(other);

    char name[TVX_DEVICE_TEXT_SIZE], type[TVX_DEVICE_TEXT_SIZE], serial[TVX_DEVICE_TEXT_SIZE];
    int32_t count = 0, present = 0;
    EXPECT_EQ(TvxLockDeviceList() + TvxGetDeviceListLength(&count), 0);
    ASSERT_EQ(count, 1);
    EXPECT_EQ(TvxGetDeviceInfo(0, name, type, serial, &present) + TvxCommitDeviceList(), 0);
    EXPECT_EQ(std::string(name) + "|" + type + "|" + serial + "|" + std::to_string(present),
              std::string("TVXUSB::100001|") + c.model + "|100001|1");

    int32_t sensor = Open("100001");
    const Transfer down = Download(sensor, data, c.forceFactory);
    EXPECT_EQ(down.status, 0) << ErrorText(down.status);
    EXPECT_EQ(down.code, 0u) << ErrorText(static_cast<int32_t>(down.code));
    EXPECT_EQ(TvxSendVendorOutRequest(sensor, 1, 1, 0), 0);
    EXPECT_EQ(TvxSendCommand(sensor, "*cls", 1000), TVX_ERR_CONNECTION_LOST) << "the sensor restarted";
    TvxCloseSensor(sensor);

    EXPECT_EQ(Stored(c.area), data);
    EXPECT_EQ(Stored(other), otherBefore);
    sensor = Open("100001");
    const Transfer up = Upload(sensor, c.forceFactory);
    EXPECT_EQ(up.status, 0) << ErrorText(up.status);
    EXPECT_EQ(up.data, data);
    TvxCloseSensor(sensor);
}

INSTANTIATE_TEST_SUITE_P(
    Areas, Dialogue,
    ::testing::Values(DialogueCase{"UserDataSetIntoTheUserArea", "TVX-18G", true, "user_v3.cal", false, DataArea::User},
                      DialogueCase{"FactoryDataSetWhenForced", "TVX-18G", true, "factory_v4.cal", true, DataArea::Factory},
                      DialogueCase{"FactoryAreaOfAModelWithoutUserArea", "TVX-6G", false, "factory_v4.cal", false,
                                   DataArea::Factory}),
    RowName);

enum class Step
{
    Read,          // the factory data query, as an upload does
    Write,         // the user data probe and write, as a download does
    WriteFactory,  // the factory data write
    Restart,       // the store-and-restart request
    Lock,          // the exclusive lock, as VISA takes it
    Find,          // the device list and opening the sensor
    LoseOpenHandle, // the sensor goes while a handle is open
    Junk           // bytes that are no packets on connections of their own, then a handle
};

struct FaultCase
{
    const char* name;
    std::vector<std::string> faults;
    Step step;
    int32_t status;      // of the step
    uint32_t code;       // the sensor's error code afterwards
    const char* text;                    // in the text of the status, or of the code when there is one
    const char* sample = "user_v3.cal";  // the sample written
    const char* written = "100001";      // made out to this serial number
    bool corrupt = false;
    const char* next = nullptr; // with the faults gone, a query on the same handle and its whole reply
    const char* nextReply = nullptr;
};

void PrintTo(const FaultCase& row, std::ostream* out) { *out << row.name; }

using Faults = Table<FaultCase>;

// Nothing a fault or a refused write does changes what the sensor stores.
TEST_P(Faults, ShowWhatTheCallerSeesAndKeepTheStoredData)
{
    const FaultCase& c = GetParam();
    sensors.Add("100001");
    sensors.Store().SaveArea("100001", DataArea::User, SampleDataFor("user_v3.cal", "TVX-18G", "100001"));
    sensors.SetFaults("100001", c.faults);
    const std::string factory = Stored(DataArea::Factory);
    const std::string user = Stored(DataArea::User);
    sensors.Start();

    int32_t sensor = 0;
    Transfer t;
    std::string data = SampleDataFor(c.sample, "TVX-18G", c.written);
    if (c.corrupt)
        data[data.size() / 2] ^= 0x55;
    switch (c.step) {
    case Step::Read:
        t = Upload(sensor = Open("100001"), true, 300);
        EXPECT_TRUE(t.data.empty());
        break;
    case Step::Write:
    case Step::WriteFactory:
        t = Download(sensor = Open("100001"), data, c.step == Step::WriteFactory);
        break;
    case Step::Restart:
        t.status = TvxSendVendorOutRequest(sensor = Open("100001"), 1, 1, 0);
        break;
    case Step::Lock: {
        usbtmc::Client client;
        ASSERT_EQ(client.Open(SocketOf100001(), usbtmc::DeadlineAfter(1000)), usbtmc::LinkStatus::Ok);
        std::string granted;
        bool stalled = false;
        ASSERT_EQ(client.Control({usbtmc::RequestTypeVendorIn, usbtmc::VendorLock, 0, 0, 1}, {}, &granted, stalled,
                                 usbtmc::DeadlineAfter(1000)),
                  usbtmc::LinkStatus::Ok);
        t.status = granted == "\1" ? 0 : TVX_ERR_REQUEST_FAILED;
        break;
    }
    case Step::Find: {
        int32_t count = -1;
        TvxLockDeviceList();
        TvxGetDeviceListLength(&count);
        TvxCommitDeviceList();
        EXPECT_EQ(count, 0);
        t.status = TvxOpenSensor("TVXUSB::100001", &sensor);
        break;
    }
    case Step::LoseOpenHandle:
        sensor = Open("100001");
        sensors.SetFaults("100001", {"unplugged"});
        std::this_thread::sleep_for(std::chrono::milliseconds(400));
        t.status = TvxSendCommand(sensor, "*idn?", 1000);
        break;
    case Step::Junk:
        for (const std::string& junk : {std::string("\x01\0\0\0\xff\xff\xff\xff", 8), std::string(64, '\xA5'),
                                       std::string("\x00\0\0\0\x02\0\0\0xy", 10)}) {
            usbtmc::Link link;
            ASSERT_EQ(usbtmc::Link::Connect(SocketOf100001(), usbtmc::DeadlineAfter(1000), link), usbtmc::LinkStatus::Ok);
            EXPECT_EQ(link.SendBytes({usbtmc::Piece(junk.data(), junk.size())}, usbtmc::DeadlineAfter(1000)),
                      usbtmc::LinkStatus::Ok);
            char byte = 0;
            EXPECT_EQ(link.ReceiveBytes(&byte, 1, usbtmc::DeadlineAfter(2000)), usbtmc::LinkStatus::Closed) << "that connection ends";
        }
        sensor = Open("100001");
        break;
    }
    EXPECT_EQ(t.status, c.status) << ErrorText(t.status);
    EXPECT_EQ(t.code, c.code) << std::hex << t.code;
    const std::string text = ErrorText(t.code ? static_cast<int32_t>(t.code) : t.status);
    EXPECT_NE(text.find(c.text), std::string::npos) << text;
    if (c.next) {
        sensors.SetFaults("100001", {});
        EXPECT_EQ(TvxSendCommand(sensor, c.next, 1000), 0);
        EXPECT_EQ(TextResult(sensor), c.nextReply) << "a late reply answers no later query";
        int32_t available = 1;
        EXPECT_EQ(TvxDataAvailable(sensor, &available) + available, 0);
    }
    if (sensor)
        TvxCloseSensor(sensor);
    EXPECT_EQ(Stored(DataArea::Factory), factory);
    EXPECT_EQ(Stored(DataArea::User), user);
}

INSTANTIATE_TEST_SUITE_P(
    Sensor, Faults,
    ::testing::Values(
        FaultCase{"LateReplyTimesOut", {"delay=600"}, Step::Read, TVX_ERR_TIMEOUT, 0, "did not answer within the timeout",
                  "user_v3.cal", "100001", false, "syst:err?", "-410,\"Query INTERRUPTED\""},
        FaultCase{"DropInTheReply", {"drop-after=1000"}, Step::Read, TVX_ERR_CONNECTION_LOST, 0, "connection"},
        FaultCase{"DropInTheWrite", {"drop-after=1000"}, Step::WriteFactory, TVX_ERR_CONNECTION_LOST, 0, "connection",
                  "factory_v3.cal"},
        FaultCase{"GarbageIsNoBlock", {"garbage"}, Step::Read, 0, 0, "No error"},
        FaultCase{"BadDigitCount", {"bad-digit-count"}, Step::Read, TVX_ERR_PROTOCOL, 0, "not a valid reply"},
        FaultCase{"BadLength", {"bad-length"}, Step::Read, TVX_ERR_PROTOCOL, 0, "not a valid reply"},
        FaultCase{"NoFinalLineFeed", {"no-final-lf"}, Step::Read, TVX_ERR_PROTOCOL, 0, "not a valid reply"},
        FaultCase{"RefusedWriteFailsTheProbe", {"refuse-write=-350"}, Step::Write, 0, 0xD001FEA2,
                  "Sensor error -350, Queue overflow;write refused"},
        FaultCase{"RestartFails", {"restart-fails"}, Step::Restart, TVX_ERR_REQUEST_FAILED, 0, "refused the request"},
        FaultCase{"LockHeldByAnother", {"locked"}, Step::Lock, TVX_ERR_REQUEST_FAILED, 0, "refused"},
        FaultCase{"UnpluggedIsNotListed", {"unplugged"}, Step::Find, TVX_ERR_NO_SUCH_DEVICE, 0, "not connected"},
        FaultCase{"UnpluggedWhileOpen", {}, Step::LoseOpenHandle, TVX_ERR_CONNECTION_LOST, 0, "connection"},
        FaultCase{"DataSetOfAnotherSensor", {}, Step::Write, 0, TVX_SENSOR_ERROR_SETTINGS_CONFLICT,
                  "the data set is for TVX-18G Ser.# 999999, this sensor is TVX-18G Ser.# 100001", "user_v3.cal", "999999"},
        FaultCase{"FactoryDataSetIntoTheUserArea", {}, Step::Write, 0, TVX_SENSOR_ERROR_SETTINGS_CONFLICT,
                  "a factory data set does not go into the user data area", "factory_v3.cal"},
        FaultCase{"DamagedDataSet", {}, Step::Write, 0, TVX_SENSOR_ERROR_BLOCK_DATA, "checksum test failed", "user_v3.cal", "100001",
                  true},
        FaultCase{"JunkEndsOnlyItsConnection", {}, Step::Junk, 0, 0, "No error", "user_v3.cal", "100001", false, "*idn?",
                  "Trobe&Lindvar,TVX-18G,100001,2.14"}),
    RowName);

// Calls with missing or short buffers refuse or cut, and tell the size to provide.
TEST_F(TvxDriver, RefusesMissingBuffersAndCutsShortOnes)
{
    char shortText[8] = "xxxxxxx";
    const std::string lost = "The connection to the sensor was lost.";
    EXPECT_EQ(TvxGetErrorText(TVX_ERR_CONNECTION_LOST, shortText, sizeof shortText),
              static_cast<int32_t>(lost.size() + 1));
    EXPECT_STREQ(shortText, lost.substr(0, 7).c_str());
    char name[TVX_DEVICE_TEXT_SIZE];
    int32_t present = 0, sensor = 0;
    EXPECT_EQ(TvxGetDeviceInfo(0, name, nullptr, name, &present), TVX_ERR_INVALID_ARGUMENT);
    EXPECT_EQ(TvxGetDeviceInfo(0, name, name, name, &present), TVX_ERR_LIST_NOT_LOCKED);
    EXPECT_EQ(TvxOpenSensor(nullptr, &sensor), TVX_ERR_INVALID_ARGUMENT);
    EXPECT_EQ(TvxOpenSensor("TVXUSB::../../etc", &sensor), TVX_ERR_NO_SUCH_DEVICE);
    EXPECT_EQ(TvxSendCommand(12345, "*idn?", 10), TVX_ERR_INVALID_HANDLE);
    EXPECT_EQ(TvxGetBinaryResult(12345, nullptr, 10, &present), TVX_ERR_INVALID_ARGUMENT);
    TvxCloseDriver();
    EXPECT_EQ(TvxSendCommand(12345, "*idn?", 10), TVX_ERR_NOT_OPEN);
    EXPECT_EQ(TvxOpenDriver(), 0);

    sensors.Add("100001");
    sensors.Start();
    sensor = Open("100001");
    ASSERT_EQ(TvxSendCommand(sensor, "*idn?", 1000), 0);
    EXPECT_EQ(TvxGetStringResult(sensor, shortText, sizeof shortText), 34);
    EXPECT_EQ(TextResult(sensor), "Trobe&Lindvar,TVX-18G,100001,2.14") << "a cut result stays";
    EXPECT_EQ(TvxGetBinaryResult(sensor, shortText, sizeof shortText, &present), TVX_ERR_NO_RESULT);
}

// serve is up once its socket answers.
pid_t Serve(const ServedSensors& sensors)
{
    const pid_t pid = child_process::Start({OSTREL_SENSORSIM_TOOL, "--store", (sensors.Root() / "store").string(), "serve"});
    for (int i = 0; i < 500; ++i) {
        usbtmc::Client client;
        if (client.Open(SocketOf100001(), usbtmc::DeadlineAfter(100)) == usbtmc::LinkStatus::Ok)
            return pid;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ADD_FAILURE() << "serve did not come up";
    return pid;
}

// Run as its own process by the test below: reads the user data back.
TEST(TvxDriverProcess, ReadBackHalf)
{
    const char* expected = std::getenv("OSTREL_EXPECTED_USER_DATA");
    if (!expected)
        GTEST_SKIP() << "part of ADownloadSurvivesTheServerAndIsReadByAnotherProcess";
    std::ifstream in(expected, std::ios::binary);
    const std::string data{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    int32_t sensor = 0;
    ASSERT_EQ(TvxOpenDriver() + TvxOpenSensor("TVXUSB::100001", &sensor), 0);
    const Transfer up = Upload(sensor, false);
    EXPECT_EQ(up.status, 0) << ErrorText(up.status);
    EXPECT_TRUE(up.data == data);
    TvxCloseDriver();
}

TEST_F(TvxDriver, ADownloadSurvivesTheServerAndIsReadByAnotherProcess)
{
    sensors.Add("100001");
    const std::string socket = SocketOf100001();
    pid_t server = Serve(sensors);
    const std::string data = SampleDataFor("user_v3.cal", "TVX-18G", "100001");
    const int32_t sensor = Open("100001");
    const Transfer down = Download(sensor, data, false);
    EXPECT_EQ(down.status + down.code, 0) << ErrorText(down.status);
    TvxCloseSensor(sensor);
    kill(server, SIGTERM);
    EXPECT_EQ(child_process::Wait(server, 10000), 0);
    EXPECT_FALSE(std::filesystem::exists(socket)) << "serve removes its sockets";

    // A server killed outright leaves its socket; the next one replaces it.
    server = Serve(sensors);
    kill(server, SIGKILL);
    child_process::Wait(server, 10000);
    EXPECT_TRUE(std::filesystem::exists(socket));
    server = Serve(sensors);
    const std::string expected = (sensors.Root() / "expected").string();
    std::ofstream(expected, std::ios::binary) << data;
    ::setenv("OSTREL_EXPECTED_USER_DATA", expected.c_str(), 1);
    EXPECT_EQ(child_process::Run({"/proc/self/exe", "--gtest_filter=TvxDriverProcess.ReadBackHalf"}, 30000), 0);
    ::unsetenv("OSTREL_EXPECTED_USER_DATA");
    kill(server, SIGTERM);
    EXPECT_EQ(child_process::Wait(server, 10000), 0);
}

} // namespace
