#include "SensorList.h"

#include "FakeVisa.h"
#include "PrivateNetwork.h"
#include "ServedSensors.h"
#include "TvxControl2.h"

#include <gtest/gtest.h>

#include <chrono>

// The LAN rows serve a sensor at 127.0.0.2 with its own portmapper.
bool TestsUsePrivateNetwork()
{
    return true;
}

namespace
{

const auto RowName = [](const auto& info) { return std::string(info.param.name); };

class RecordingList : public SensorList
{
public:
    using SensorList::SensorList;
    void ReportMessage(const char* text) override { messages.push_back(text); }
    std::vector<std::string> messages;
};

FakeResource Usb(const std::string& model, const std::string& serial) { return {"USB0::" + serial, model, serial, ""}; }
FakeResource Lan(const std::string& identity) { return {"TCPIP0::10.0.0.9::inst0::INSTR", "", "", identity}; }

enum class Library { None, Fake, Ours };

struct ScanCase
{
    const char* name;
    Library visa;
    std::vector<FakeResource> resources; // of the fake library
    std::vector<std::string> served;     // serial numbers on USB, "SERIAL@ADDRESS" on the LAN only
    bool network;
    std::vector<std::string> listed; // connection, descriptor, type, serial number
    bool driver = true;
};

using Scan = ::testing::TestWithParam<ScanCase>;

TEST_P(Scan, ListsEachSensorOnceUsbThenLanThenDriver)
{
    const ScanCase& c = GetParam();
    if (c.visa == Library::Ours && !private_network::Problem().empty())
        GTEST_SKIP() << private_network::Problem();
    ServedSensors sensors;
    for (const std::string& served : c.served) {
        const std::size_t at = served.find('@');
        at == std::string::npos ? sensors.Add(served) : sensors.AddOnLan(served.substr(0, at), served.substr(at + 1));
    }
    sensors.Start();
    FakeVisa fake;
    fake.resources = c.resources;
    ::testing::internal::CaptureStderr();
    RecordingList list(1000, c.visa == Library::Fake   ? fake.Table()
                             : c.visa == Library::Ours ? VisaLoader::Load({OSTREL_VISA_LIBRARY})
                                                       : nullptr);
    list.usbDriverAvailable = c.driver;
    list.Scan(c.network);
    list.Scan(c.network); // each one afresh
    std::vector<std::string> listed;
    for (const SensorRecord& r : list.records)
        listed.push_back(std::string(ConnectionText(r.connection)) + " " + r.resourceDescriptor + " " + r.type + " " +
                         r.serialNumber);
    EXPECT_EQ(listed, c.listed);
    EXPECT_EQ(fake.open, 0) << "sessions, find lists or resource manager left open";
    EXPECT_EQ(list.messages, std::vector<std::string>{});
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
}

const std::string idn = "Trobe&Lindvar,TVX-18G,100003,2.14\n";
const std::string lanName = "TCPIP0::10.0.0.9::inst0::INSTR ";

INSTANTIATE_TEST_SUITE_P(
    Sensors, Scan,
    ::testing::Values(
        ScanCase{"DriverSensorAlsoOnVisaOnce", Library::Fake, {Lan(idn), Usb("TVX-18G", "1")}, {"2", "1"}, true,
                 {"VISA USB0::1 TVX-18G 1", "VISA " + lanName + "TVX-18G 100003",
                  "TvxControl2.dll TVXUSB::2 TVX-18G 2"}},
        ScanCase{"TypeDiffersInCase", Library::Fake, {Usb("tvx-18g", "1")}, {"1"}, false,
                 {"VISA USB0::1 tvx-18g 1", "TvxControl2.dll TVXUSB::1 TVX-18G 1"}},
        ScanCase{"TwoCharacterModel", Library::Fake, {Usb("TV", "1")}, {}, false, {}},
        ScanCase{"UnreadableModel", Library::Fake, {Usb("?", "1")}, {}, false, {}},
        ScanCase{"UnreadableSerial", Library::Fake, {Usb("TVX-6G", "?")}, {}, false, {"VISA USB0::? TVX-6G error"}},
        ScanCase{"UnopenableResource", Library::Fake, {Usb("-", "1"), Usb("TVX-6G", "2")}, {}, false,
                 {"VISA USB0::2 TVX-6G 2"}},
        ScanCase{"NetworkLeftOut", Library::Fake, {Lan(idn)}, {}, false, {}},
        ScanCase{"MakerInLowerCase", Library::Fake, {Lan(" trobe&lindvar, tvx-18g ,7,1\n")}, {}, true,
                 {"VISA " + lanName + "tvx-18g 7"}},
        ScanCase{"MakerWithoutAmpersand", Library::Fake, {Lan("Trobe Lindvar,TVX-18G,7,1")}, {}, true, {}},
        ScanCase{"MakerSuffixed", Library::Fake, {Lan("Trobe&Lindvar Inc,TVX-18G,7,1")}, {}, true, {}},
        ScanCase{"MakerPrefixed", Library::Fake, {Lan("ATrobe&Lindvar,TVX-18G,7,1")}, {}, true, {}},
        ScanCase{"OtherModelOnTheLan", Library::Fake, {Lan("Trobe&Lindvar,PS-18,7,1")}, {}, true, {}},
        ScanCase{"ThreeIdentityFields", Library::Fake, {Lan("Trobe&Lindvar,TVX-18G,7")}, {}, true, {}},
        ScanCase{"FiveIdentityFields", Library::Fake, {Lan("Trobe&Lindvar,TVX-18G,7,1,2")}, {}, true, {}},
        ScanCase{"NoDriverNoVisa", Library::None, {}, {"1"}, true, {}, false},
        ScanCase{"OurLibraryUsbAndLan", Library::Ours, {}, {"1", "2@127.0.0.2"}, true,
                 {"VISA USB0::0x1B7E::0x0118::1::INSTR TVX-18G 1", "VISA TCPIP0::127.0.0.2::inst0::INSTR TVX-18G 2"}}),
    RowName);

struct ReportCase
{
    const char* name;
    bool driver;
    std::int32_t status;
    bool textFails;
    std::vector<std::string> shown;
};

using Report = ::testing::TestWithParam<ReportCase>;

TEST_P(Report, ShowsTheLibrarysTextOfEveryStatusButZero)
{
    const ReportCase& c = GetParam();
    FakeVisa fake;
    fake.statusTextFails = c.textFails;
    RecordingList list(1000, fake.Table());
    list.instrument = 7;
    EXPECT_EQ(c.driver ? list.ReportDriverError(c.status) : list.ReportVisaError(c.status), !c.shown.empty());
    EXPECT_EQ(list.messages, c.shown);
}

INSTANTIATE_TEST_SUITE_P(
    Statuses, Report,
    ::testing::Values(
        ReportCase{"DriverSuccess", true, 0, false, {}},
        ReportCase{"DriverTimeout", true, TVX_ERR_TIMEOUT, false, {"The sensor did not answer within the timeout."}},
        ReportCase{"VisaSuccess", false, VI_SUCCESS, false, {}},
        ReportCase{"VisaError", false, VI_ERROR_TMO, false, {"status BFFF0015 on session 7"}},
        ReportCase{"VisaCompletionCode", false, VI_SUCCESS_MAX_CNT, false, {"status 3FFF0006 on session 7"}},
        ReportCase{"VisaTextUnavailable", false, VI_ERROR_TMO, true, {"Unknown VISA status!"}}),
    RowName);

struct ReaderCase
{
    const char* name;
    std::vector<std::string> commands; // "close": the sensor is closed
    bool block;
    std::string result;
    bool waits; // for the timeout
    std::vector<std::string> shown;
};

using DriverResult = ::testing::TestWithParam<ReaderCase>;

TEST_P(DriverResult, IsTheNextOfItsKindWithinTheTimeout)
{
    const ReaderCase& c = GetParam();
    ServedSensors sensors;
    sensors.Add("1");
    sensors.Start();
    RecordingList list(600, nullptr);
    std::int32_t sensor = 0;
    ASSERT_EQ(TvxOpenSensor("TVXUSB::1", &sensor), 0);
    for (const std::string& command : c.commands)
        ASSERT_EQ(command == "close" ? TvxCloseSensor(sensor) : TvxSendCommand(sensor, command.c_str(), 2000), 0);
    const auto start = std::chrono::steady_clock::now();
    const std::string result = c.block ? list.ReadDriverBlock(sensor, 200) : list.ReadDriverText(sensor);
    const auto waited = std::chrono::steady_clock::now() - start;
    const std::chrono::milliseconds timeout(c.block ? 200 : list.commandTimeout);
    EXPECT_TRUE(result == (c.result == "factory" ? SampleDataFor("factory_v3.cal", "TVX-18G", "1") : c.result));
    EXPECT_EQ(waited >= timeout, c.waits);
    EXPECT_LT(waited, timeout + std::chrono::milliseconds(300));
    EXPECT_EQ(list.messages, c.shown);
}

INSTANTIATE_TEST_SUITE_P(
    Results, DriverResult,
    ::testing::Values(ReaderCase{"TextAfterBinary", {"cal:data?", "*idn?"}, false, "Trobe&Lindvar,TVX-18G,1,2.14",
                                 false, {}},
                      ReaderCase{"TextOnlyBinary", {"cal:data?"}, false, "", false, {}},
                      ReaderCase{"TextNever", {}, false, "", true, {}},
                      ReaderCase{"TextOfClosedSensor", {"close"}, false, "", false,
                                 {"The sensor is not open (invalid sensor handle)."}},
                      ReaderCase{"BlockAfterText", {"*idn?", "cal:data?"}, true, "factory", false, {}},
                      ReaderCase{"BlockOnlyText", {"*idn?"}, true, "", false, {}},
                      ReaderCase{"BlockNever", {}, true, "", true, {}}),
    RowName);

} // namespace
