#include "TvxControl2.h"

#include "ChildProcess.h"
#include "Client.h"
#include "ServedSensors.h"

#include <gtest/gtest.h>

#include <signal.h>

#include <chrono>
#include <thread>

namespace
{

using namespace std::chrono_literals;

std::string ErrorText(int32_t status)
{
    std::string text(static_cast<std::size_t>(TvxGetErrorText(status, nullptr, 0)), '\0');
    EXPECT_EQ(TvxGetErrorText(status, text.data(), static_cast<int32_t>(text.size())), 0);
    return text.c_str();
}

// What the editor's transfers do on the driver path, one call sequence each.
struct Transfer { int32_t status = 0; uint32_t code = 0; std::string data; };

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

// The block write, then the completion's error query.
Transfer Download(int32_t sensor, const std::string& data, const char* command)
{
    Transfer t;
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

    std::string Stored(DataArea area, const std::string& serial = "100001")
    {
        return sensors.Store().LoadArea(serial, area);
    }

    // The tool serving the store, up once the sockets of its three sensors answer.
    pid_t ServeByTool()
    {
        const pid_t pid =
            child_process::Start({OSTREL_SENSORSIM_TOOL, "--store", (sensors.Root() / "store").string(), "serve"});
        for (const char* serial : {"100001", "100002", "100003"}) {
            const std::string path = usbtmc::UsbSocketPath(usbtmc::EnsureRuntimeFolder(), serial).string();
            usbtmc::Client client;
            for (int i = 0; i < 500 && client.Open(path, usbtmc::DeadlineAfter(100)) != usbtmc::LinkStatus::Ok; ++i)
                std::this_thread::sleep_for(10ms);
        }
        return pid;
    }

    ServedSensors sensors;
    const std::string socket = usbtmc::UsbSocketPath(usbtmc::EnsureRuntimeFolder(), "100001").string();
};

// The steps of the fault rows, on the open handle `id`.
Transfer Read(int32_t id, const std::string&) { return Upload(id, true, 300); }
Transfer Write(int32_t id, const std::string& data) { return Download(id, data, "cal:user:data"); }
Transfer Restart(int32_t id, const std::string&) { return {TvxSendVendorOutRequest(id, 1, 1, 0)}; }

// Bad calls are refused. The sensors are listed; download, store-and-restart, then upload on a new handle
// gives back the bytes, and the other area keeps its own (the factory sample, or nothing). The tool serving
// the sensors is killed and started again in between. Junk on a sensor's socket ends only its connection.
// Then the faults, one after the other on a handle of its own, show what the caller sees, and nothing they
// or a refused write do changes what the sensor stores. Last, a sensor goes while a handle is open.
TEST_F(TvxDriver, WritesEachDataSetIntoItsAreaReadsItBackAndKeepsItThroughFaults)
{
    EXPECT_EQ(ErrorText(static_cast<int32_t>(0xD0010005u)), "The sensor reported error 5.");
    char name[TVX_DEVICE_TEXT_SIZE], type[TVX_DEVICE_TEXT_SIZE], serial[TVX_DEVICE_TEXT_SIZE];
    int32_t count = 0, present = 0, handle = 0;
    EXPECT_EQ(TvxGetDeviceInfo(0, name, nullptr, name, &present), TVX_ERR_INVALID_ARGUMENT);
    EXPECT_EQ(TvxGetDeviceInfo(0, name, name, name, &present), TVX_ERR_LIST_NOT_LOCKED);
    EXPECT_EQ(TvxOpenSensor(nullptr, &handle), TVX_ERR_INVALID_ARGUMENT);
    EXPECT_EQ(TvxOpenSensor("TVXUSB::../../etc", &handle), TVX_ERR_NO_SUCH_DEVICE);
    EXPECT_EQ(TvxSendCommand(12345, "*idn?", 10), TVX_ERR_INVALID_HANDLE);
    EXPECT_EQ(TvxGetBinaryResult(12345, nullptr, 10, &present), TVX_ERR_INVALID_ARGUMENT);
    TvxCloseDriver();
    EXPECT_EQ(TvxSendCommand(12345, "*idn?", 10), TVX_ERR_NOT_OPEN);
    EXPECT_EQ(TvxOpenDriver(), 0);

    const struct
    {
        const char* serial;
        const char* model;
        bool hasUserData;
        const char* sample; // what is written
        bool forceFactory;  // on upload
        DataArea area;      // where it must land
    } written[] = {
        {"100001", "TVX-18G", true, "user_v3.cal", false, DataArea::User},       // a user data set
        {"100002", "TVX-18G", true, "factory_v4.cal", true, DataArea::Factory},  // factory, read when forced
        {"100003", "TVX-6G", false, "factory_v4.cal", false, DataArea::Factory}, // a model with no user area
    };
    for (const auto& row : written)
        sensors.Add(row.serial, row.model, row.hasUserData);
    pid_t server = ServeByTool();
    std::string listed;
    EXPECT_EQ(TvxLockDeviceList() + TvxGetDeviceListLength(&count), 0);
    for (int32_t i = 0; i < count && TvxGetDeviceInfo(i, name, type, serial, &present) == 0; ++i)
        listed += std::string(name) + "|" + type + "|" + serial + "|" + std::to_string(present) + ";";
    EXPECT_EQ(TvxCommitDeviceList(), 0);
    EXPECT_EQ(listed,
              "TVXUSB::100001|TVX-18G|100001|1;TVXUSB::100002|TVX-18G|100002|1;TVXUSB::100003|TVX-6G|100003|1;");
    for (const auto& row : written) {
        SCOPED_TRACE(row.serial);
        const std::string data = SampleDataFor(row.sample, row.model, row.serial);
        int32_t sensor = Open(row.serial);
        const Transfer down = Download(sensor, data, row.area == DataArea::User ? "cal:user:data" : "cal:data");
        EXPECT_EQ(std::make_pair(down.status, down.code), std::make_pair(0, 0u)) << std::hex << down.code;
        EXPECT_EQ(TvxSendVendorOutRequest(sensor, 1, 1, 0), 0);
        EXPECT_EQ(TvxSendCommand(sensor, "*cls", 1000), TVX_ERR_CONNECTION_LOST) << "the sensor restarted";
        TvxCloseSensor(sensor);
        kill(server, SIGKILL); // killed outright, the tool leaves its socket, and the next one replaces it
        child_process::Wait(server, 10000);
        server = ServeByTool();
        EXPECT_EQ(Stored(row.area, row.serial), data);
        EXPECT_EQ(Stored(row.area == DataArea::User ? DataArea::Factory : DataArea::User, row.serial),
                  row.area == DataArea::User ? SampleDataFor("factory_v3.cal", row.model, row.serial) : "");
        sensor = Open(row.serial);
        const Transfer up = Upload(sensor, row.forceFactory);
        EXPECT_EQ(up.status, 0) << ErrorText(up.status);
        EXPECT_EQ(up.data, data);
        TvxCloseSensor(sensor);
    }
    for (const std::string& junk : {std::string("\x01\0\0\0\xff\xff\xff\xff", 8), std::string(64, '\xA5'),
                                    std::string("\x00\0\0\0\x02\0\0\0xy", 10)}) {
        usbtmc::Link link;
        ASSERT_EQ(usbtmc::Link::Connect(socket, usbtmc::DeadlineAfter(1000), link), usbtmc::LinkStatus::Ok);
        EXPECT_EQ(link.SendBytes({usbtmc::Piece(junk.data(), junk.size())}, usbtmc::DeadlineAfter(1000)),
                  usbtmc::LinkStatus::Ok);
        char byte = 0;
        EXPECT_EQ(link.ReceiveBytes(&byte, 1, usbtmc::DeadlineAfter(2000)), usbtmc::LinkStatus::Closed);
    }
    std::string damaged = SampleDataFor("user_v3.cal", "TVX-18G", "100001");
    damaged[damaged.size() / 2] ^= 0x55;
    const struct
    {
        const char* name;
        std::vector<std::string> faults;
        Transfer (*step)(int32_t id, const std::string& data);
        int32_t status;                     // of the step
        uint32_t code;                      // the sensor's error code afterwards
        const char* text;                   // in the text of the status, or of the code when there is one
        bool lateReply = false; // with the faults gone, the error query gets its own reply, not the late one
        std::string data = SampleDataFor("user_v3.cal", "TVX-18G", "100001"); // what is written
    } faulty[] = {
        {"LateReplyTimesOut", {"delay=600"}, Read, TVX_ERR_TIMEOUT, 0, "did not answer within the timeout", true},
        {"DropInTheReply", {"drop-after=1000"}, Read, TVX_ERR_CONNECTION_LOST, 0, "connection"},
        {"DropInTheWrite", {"drop-after=1000"}, Write, TVX_ERR_CONNECTION_LOST, 0, "connection"},
        {"GarbageIsNoBlock", {"garbage"}, Read, 0, 0, "No error"},
        {"BadDigitCount", {"bad-digit-count"}, Read, TVX_ERR_PROTOCOL, 0, "not a valid reply"},
        {"BadLength", {"bad-length"}, Read, TVX_ERR_PROTOCOL, 0, "not a valid reply"},
        {"NoFinalLineFeed", {"no-final-lf"}, Read, TVX_ERR_PROTOCOL, 0, "not a valid reply"},
        {"RefusedWrite", {"refuse-write=-350"}, Write, 0, 0xD001FEA2,
         "Sensor error -350, Queue overflow;write refused"},
        {"RestartFails", {"restart-fails"}, Restart, TVX_ERR_REQUEST_FAILED, 0, "refused the request"},
        {"DataSetOfAnotherSensor", {}, Write, 0, TVX_SENSOR_ERROR_SETTINGS_CONFLICT,
         "the data set is for TVX-18G Ser.# 999999, this sensor is TVX-18G Ser.# 100001", false,
         SampleDataFor("user_v3.cal", "TVX-18G", "999999")},
        {"FactoryDataSetIntoTheUserArea", {}, Write, 0, TVX_SENSOR_ERROR_SETTINGS_CONFLICT,
         "a factory data set does not go into the user data area", false,
         SampleDataFor("factory_v3.cal", "TVX-18G", "100001")},
        {"DamagedDataSet", {}, Write, 0, TVX_SENSOR_ERROR_BLOCK_DATA, "checksum test failed", false, damaged},
    };
    const auto stored = std::make_pair(Stored(DataArea::Factory), Stored(DataArea::User));
    for (const auto& c : faulty) {
        SCOPED_TRACE(c.name);
        sensors.SetFaults("100001", c.faults);
        const int32_t sensor = Open("100001");
        const Transfer t = c.step(sensor, c.data);
        EXPECT_TRUE(t.data.empty());
        EXPECT_EQ(std::make_pair(t.status, t.code), std::make_pair(c.status, c.code)) << ErrorText(t.status);
        EXPECT_PRED_FORMAT2(testing::IsSubstring, c.text, ErrorText(t.code ? static_cast<int32_t>(t.code) : t.status));
        if (c.lateReply) {
            sensors.SetFaults("100001", {});
            EXPECT_EQ(TvxSendCommand(sensor, "syst:err?", 1000), 0);
            EXPECT_EQ(TvxGetStringResult(sensor, name, sizeof name), 0);
            EXPECT_STREQ(name, "-410,\"Query INTERRUPTED\"");
            int32_t available = 1;
            EXPECT_EQ(TvxDataAvailable(sensor, &available) + available, 0);
        }
        EXPECT_TRUE(std::make_pair(Stored(DataArea::Factory), Stored(DataArea::User)) == stored);
        TvxCloseSensor(sensor);
    }

    const int32_t sensor = Open("100001");
    // A quoted text holds no question mark of a query, and one after it makes one; a result cut short stays.
    ASSERT_EQ(TvxSendCommand(sensor, "syst:info 'x?';*idn?", 1000), 0);
    EXPECT_EQ(TvxGetStringResult(sensor, name, 33), 34) << "no room for the zero of the 33 characters";
    EXPECT_STREQ(name, "Trobe&Lindvar,TVX-18G,100001,2.1");
    EXPECT_EQ(TvxGetStringResult(sensor, name, sizeof name), 0);
    EXPECT_STREQ(name, "Trobe&Lindvar,TVX-18G,100001,2.14");
    EXPECT_EQ(TvxGetBinaryResult(sensor, name, sizeof name, &present), TVX_ERR_NO_RESULT);
    // 100002 goes while a handle of it is open; it is then neither listed nor opened.
    handle = Open("100002");
    sensors.SetFaults("100002", {"unplugged"});
    std::this_thread::sleep_for(400ms);
    EXPECT_EQ(TvxSendCommand(handle, "*idn?", 1000), TVX_ERR_CONNECTION_LOST);
    EXPECT_EQ(TvxLockDeviceList() + TvxGetDeviceListLength(&count) + TvxCommitDeviceList(), 0);
    EXPECT_EQ(count, 2);
    EXPECT_EQ(TvxOpenSensor("TVXUSB::100002", &handle), TVX_ERR_NO_SUCH_DEVICE);
    kill(server, SIGTERM); // ended, the tool removes its socket
    EXPECT_EQ(child_process::Wait(server, 10000), 0);
    EXPECT_FALSE(std::filesystem::exists(socket));
}

} // namespace
