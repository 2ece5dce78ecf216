// The driver library and the VISA library with sensors on USB as real devices
// (emulated at the usbfs level under the unmodified libusb), beside a
// simulated sensor on its socket.

#include "ChildProcess.h"
#include "Client.h"
#include "EmulatedUsb.h"
#include "ServedSensors.h"
#include "TvxControl2.h"
#include "UsbDevice.h"
#include "VisaLoader.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <thread>

namespace
{

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

const VisaFunctions& Visa()
{
    static const std::shared_ptr<const VisaFunctions> functions = VisaLoader::Load({OSTREL_VISA_LIBRARY});
    if (!functions)
        throw std::runtime_error("our VISA library does not load");
    return *functions;
}

const std::string real = "USB0::0x1B7E::0x0118::100001::INSTR";

// One side of the dialogue with a sensor: our VISA library or the driver library.
class Path
{
public:
    virtual ~Path() = default;
    virtual bool Open(const std::string& name) = 0;
    virtual void Close() = 0;
    virtual void SetTimeout(int ms) = 0;
    // A command, and for a query its answer; the status as text, "ok" for success.
    virtual std::string Send(const std::string& command, std::string* answer = nullptr) = 0;
    virtual std::string WriteBlock(const std::string& command, const std::string& data) = 0;
};

std::string VisaStatus(ViStatus status)
{
    if (status == VI_SUCCESS)
        return "ok";
    ViChar text[256] = {};
    Visa().viStatusDesc(0, status, text);
    return std::string(text).substr(0, std::string(text).find(':'));
}

class VisaPath : public Path
{
public:
    VisaPath() { Visa().viOpenDefaultRM(&m_manager); }
    ~VisaPath() override
    {
        Close();
        Visa().viClose(m_manager);
    }
    bool Open(const std::string& name) override
    {
        return Visa().viOpen(m_manager, name.c_str(), VI_NULL, VI_NULL, &m_session) == VI_SUCCESS;
    }
    void Close() override
    {
        if (m_session)
            Visa().viClose(m_session);
        m_session = 0;
    }
    void SetTimeout(int ms) override { Visa().viSetAttribute(m_session, VI_ATTR_TMO_VALUE, static_cast<ViAttrState>(ms)); }
    std::string Send(const std::string& command, std::string* answer) override
    {
        const std::string line = command + "\n";
        ViUInt32 count = 0;
        ViStatus status = Visa().viWrite(m_session, reinterpret_cast<ViConstBuf>(line.data()),
                                         static_cast<ViUInt32>(line.size()), &count);
        if (status != VI_SUCCESS || !answer)
            return VisaStatus(status);
        answer->assign(64u << 20, '\0');
        status = Visa().viRead(m_session, reinterpret_cast<ViBuf>(answer->data()), static_cast<ViUInt32>(answer->size()),
                               &count);
        answer->resize(count);
        return VisaStatus(status);
    }
    std::string WriteBlock(const std::string& command, const std::string& data) override
    {
        const std::string message = command + " " + Block(data) + "\n";
        ViUInt32 count = 0;
        return VisaStatus(Visa().viWrite(m_session, reinterpret_cast<ViConstBuf>(message.data()),
                                         static_cast<ViUInt32>(message.size()), &count));
    }

private:
    ViSession m_manager = 0;
    ViSession m_session = 0;
};

std::string DriverStatus(int32_t status)
{
    if (status == 0)
        return "ok";
    std::string text(static_cast<std::size_t>(TvxGetErrorText(status, nullptr, 0)), '\0');
    TvxGetErrorText(status, text.data(), static_cast<int32_t>(text.size()));
    return text.c_str();
}

class DriverPath : public Path
{
public:
    DriverPath() { TvxOpenDriver(); }
    ~DriverPath() override { TvxCloseDriver(); }
    bool Open(const std::string& name) override { return TvxOpenSensor(name.c_str(), &m_sensor) == 0; }
    void Close() override
    {
        if (m_sensor)
            TvxCloseSensor(m_sensor);
        m_sensor = 0;
    }
    void SetTimeout(int ms) override { m_timeout = ms; }
    std::string Send(const std::string& command, std::string* answer) override
    {
        TvxEmptyAllBuffers(m_sensor);
        const int32_t status = TvxSendCommand(m_sensor, command.c_str(), m_timeout);
        if (status != 0 || !answer)
            return DriverStatus(status);
        int32_t available = 0;
        uint32_t type = 0;
        uint32_t length = 0;
        if (TvxDataAvailable(m_sensor, &available) != 0 || !available ||
            TvxGetData(m_sensor, &type, &length, nullptr) != 0)
            return "no result";
        answer->assign(length + 1, '\0');
        int32_t count = 0;
        const int32_t got = type == TVX_RESULT_TEXT
                                ? TvxGetStringResult(m_sensor, answer->data(), static_cast<int32_t>(length + 1))
                                : TvxGetBinaryResult(m_sensor, answer->data(), static_cast<int32_t>(length), &count);
        answer->resize(length);
        if (type == TVX_RESULT_TEXT)
            *answer += "\n";
        else
            *answer = Block(*answer) + "\n";
        return DriverStatus(got);
    }
    std::string WriteBlock(const std::string& command, const std::string& data) override
    {
        return DriverStatus(
            TvxSendBinaryBlock(m_sensor, command.c_str(), data.data(), static_cast<int32_t>(data.size()), m_timeout));
    }

private:
    int32_t m_sensor = 0;
    int m_timeout = 5000;
};

// Sensors 100001 (its kernel driver bound) and 100002 (no serial number) and
// a counter on the emulated bus, 100009 on its socket.
class UsbBus : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (!EmulatedUsbBus::Available())
            GTEST_SKIP() << "not under umockdev's preload library";
        for (const char* serial : {"100001", "100002", "100009"})
            sensors.Add(serial);
        sensors.Start();
        bus.emplace();
        EmulatedUsbBus::Options driver;
        driver.kernelDriver = true;
        sensor = bus->AddSensor(sensors.Served("100001"), driver); // the same sensor as on its socket
        bus->AddCounter();
        EmulatedUsbBus::Options noSerial;
        noSerial.serialReadable = false;
        noSerialSensor = bus->AddSensor(sensors.Store(), "100002", noSerial);
    }

    std::unique_ptr<Path> Make(bool visa)
    {
        return visa ? std::unique_ptr<Path>(new VisaPath) : std::unique_ptr<Path>(new DriverPath);
    }

    ServedSensors sensors;
    std::optional<EmulatedUsbBus> bus;
    int sensor = 0;
    int noSerialSensor = 0;
};

std::vector<std::string> FindVisa(const char* expression)
{
    ViSession manager = 0;
    Visa().viOpenDefaultRM(&manager);
    ViFindList list = 0;
    ViUInt32 count = 0;
    ViChar name[256] = {};
    std::vector<std::string> found;
    for (ViStatus status = Visa().viFindRsrc(manager, expression, &list, &count, name); status == VI_SUCCESS;
         status = Visa().viFindNext(list, name))
        found.push_back(name);
    Visa().viClose(manager);
    return found;
}

// What each listed instrument says of itself: model, maker, serial number
// (or why not), ids and interface.
std::string Describe(const std::string& name)
{
    ViSession manager = 0;
    ViSession session = 0;
    Visa().viOpenDefaultRM(&manager);
    std::string described;
    if (Visa().viOpen(manager, name.c_str(), VI_NULL, VI_NULL, &session) == VI_SUCCESS) {
        for (ViAttr attribute : {VI_ATTR_MODEL_NAME, VI_ATTR_MANF_NAME, VI_ATTR_USB_SERIAL_NUM}) {
            ViChar text[256] = {};
            described += Visa().viGetAttribute(session, attribute, text) == VI_SUCCESS ? text : "-";
            described += "|";
        }
        for (ViAttr attribute : {VI_ATTR_MANF_ID, VI_ATTR_MODEL_CODE, VI_ATTR_USB_INTFC_NUM}) {
            ViUInt16 value = 0;
            Visa().viGetAttribute(session, attribute, &value);
            described += std::to_string(value) + "|";
        }
        Visa().viClose(session);
    }
    Visa().viClose(manager);
    return described;
}

// Every USBTMC interface is listed with its name, beside the simulated
// sensor; each says who it is; the driver lists the maker's devices, the
// one without a serial number with "error" for it. The counter answers on
// interface 1.
TEST_F(UsbBus, ListsEveryInstrumentAndNamesEachOnce)
{
    const std::vector<std::string> all = FindVisa("USB?*INSTR");
    const std::vector<std::string> expected = {real, "USB0::0x1209::0x0001::C123::1::INSTR",
                                               "USB0::0x1B7E::0x0118::NOSERIAL-1-4::INSTR",
                                               "USB9::0x1B7E::0x0118::100001::INSTR",
                                               "USB9::0x1B7E::0x0118::100002::INSTR",
                                               "USB9::0x1B7E::0x0118::100009::INSTR"};
    EXPECT_EQ(all, expected);
    EXPECT_EQ(FindVisa("USB?::0x1B7E?*INSTR").size(), 5u);
    const std::pair<std::string, std::string> described[] = {
        {real, "TVX-18G|Trobe&Lindvar|100001|7038|280|0|"},
        {expected[1], "Counter|Test Instruments|C123|4617|1|1|"},
        {expected[2], "TVX-18G|Trobe&Lindvar|-|7038|280|0|"},
    };
    for (const auto& [name, text] : described)
        EXPECT_EQ(Describe(name), text) << name;

    VisaPath counter;
    std::string answer;
    ASSERT_TRUE(counter.Open(expected[1]));
    EXPECT_EQ(counter.Send("*IDN?", &answer), "ok");
    EXPECT_EQ(answer, "Test Instruments,Counter,C123,1.0\n");

    TvxOpenDriver();
    int32_t count = 0;
    std::string listed;
    TvxLockDeviceList();
    TvxGetDeviceListLength(&count);
    for (int32_t i = 0; i < count; ++i) {
        char name[TVX_DEVICE_TEXT_SIZE], type[TVX_DEVICE_TEXT_SIZE], serial[TVX_DEVICE_TEXT_SIZE];
        int32_t present = 0;
        TvxGetDeviceInfo(i, name, type, serial, &present);
        listed += std::string(name) + "|" + type + "|" + serial + "|" + std::to_string(present) + ";";
    }
    TvxCommitDeviceList();
    TvxCloseDriver();
    EXPECT_EQ(listed, "TVXUSB::100001|TVX-18G|100001|1;TVXUSB::100002|TVX-18G|100002|1;"
                      "TVXUSB::100009|TVX-18G|100009|1;TVXUSB::USB::100001|TVX-18G|100001|1;"
                      "TVXUSB::USB::@1.4|TVX-18G|error|1;");
}

// Over each library, on a high-speed and a full-speed link: identity, the factory area read, then a data set
// written into each area and read back byte for byte. The kernel driver is away while the
// sensor is open and back once it is closed. The sensor on its socket is the
// same one: the data set is there, the lock is shared.
TEST_F(UsbBus, MovesBothDataAreasByteForByte)
{
    // 100006 is on a full-speed link, its packets of 64 bytes.
    EmulatedUsbBus::Options fullSpeed;
    fullSpeed.fullSpeed = true;
    sensors.Add("100006");
    bus->AddSensor(sensors.Store(), "100006", fullSpeed);
    for (const std::string serial : {"100001", "100006"}) {
        const std::string user = SampleDataFor("user_v3.cal", "TVX-18G", serial);
        const std::string factory = SampleDataFor("factory_v4.cal", "TVX-18G", serial);
        for (const bool visa : {true, false}) {
            SCOPED_TRACE((visa ? "VISA " : "driver ") + serial);
            const auto path = Make(visa);
            ASSERT_TRUE(path->Open(visa ? "USB0::0x1B7E::0x0118::" + serial + "::INSTR" : "TVXUSB::USB::" + serial));
            EXPECT_EQ(bus->KernelDriverBound(sensor), serial != "100001"); // 100001's driver, away while it is open
            std::string answer;
            EXPECT_EQ(path->Send("*idn?", &answer), "ok");
            EXPECT_EQ(answer, "Trobe&Lindvar,TVX-18G," + serial + ",2.14\n");
            EXPECT_EQ(path->Send("cal:data?", &answer), "ok");
            EXPECT_TRUE(answer == Block(sensors.Store().LoadArea(serial, DataArea::Factory)) + "\n");
            for (const auto& [command, data] : {std::pair{"cal:user:data", user}, std::pair{"cal:data", factory}}) {
                EXPECT_EQ(path->WriteBlock(command, data), "ok");
                EXPECT_EQ(path->Send("syst:err?", &answer), "ok");
                EXPECT_EQ(answer, "0,\"No error\"\n");
                EXPECT_EQ(path->Send(command + std::string("?"), &answer), "ok");
                EXPECT_TRUE(answer == Block(data) + "\n") << command;
            }
            path->Close();
            EXPECT_TRUE(bus->KernelDriverBound(sensor));
        }
    }
    EXPECT_EQ(bus->KernelDriverReattached(sensor), 2);
    const std::string user = SampleDataFor("user_v3.cal", "TVX-18G", "100001");

    // The same sensor on its socket: what came over USB is there, and its lock is one.
    ViSession manager = 0, device = 0, socket = 0;
    Visa().viOpenDefaultRM(&manager);
    ASSERT_EQ(Visa().viOpen(manager, real.c_str(), VI_EXCLUSIVE_LOCK, 1000, &device), VI_SUCCESS);
    EXPECT_EQ(Visa().viOpen(manager, "USB9::0x1B7E::0x0118::100001::INSTR", VI_EXCLUSIVE_LOCK, 200, &socket),
              VI_ERROR_RSRC_LOCKED);
    Visa().viClose(device);
    VisaPath onSocket;
    std::string answer;
    ASSERT_TRUE(onSocket.Open("USB9::0x1B7E::0x0118::100001::INSTR"));
    EXPECT_EQ(onSocket.Send("cal:user:data?", &answer), "ok");
    EXPECT_TRUE(answer == Block(user) + "\n");
    Visa().viClose(manager);
}

// Sensor 100001's interface through the USBTMC layer alone (null if it cannot be opened).
std::unique_ptr<usbtmc::Pipes> OpenSensor100001()
{
    usbtmc::UsbTmcSelector selector;
    selector.vendorId = usbtmc::VendorId;
    selector.serialNumber = "100001";
    std::unique_ptr<usbtmc::Pipes> pipes;
    usbtmc::DeviceInfo info;
    std::string problem;
    EXPECT_EQ(usbtmc::OpenUsbTmc(selector, pipes, info, problem), usbtmc::OpenResult::Ok) << problem;
    return pipes;
}

// A device clear drops an unread reply. What a broken or vanishing sensor
// does to each library: a reply that never comes ends at the timeout and the
// next query is answered; an unplug in the middle of a block is a lost
// connection, at once.
TEST_F(UsbBus, EndsEachFaultAndGoesOnWhereItCan)
{
    {
        // Device clear: the unread reply is gone, the next one comes.
        usbtmc::Client client;
        client.Open(OpenSensor100001());
        ASSERT_TRUE(client.IsOpen());
        char reply[256];
        std::size_t count = 0;
        bool end = false;
        EXPECT_EQ(client.Write({"*idn?\n"}, true, usbtmc::DeadlineAfter(1000)), usbtmc::LinkStatus::Ok);
        bus->TakeRequests(sensor);
        EXPECT_EQ(client.Clear(usbtmc::DeadlineAfter(1000)), usbtmc::LinkStatus::Ok);
        EXPECT_EQ(bus->TakeRequests(sensor),
                  (std::vector<std::string>{"INITIATE_CLEAR", "CHECK_CLEAR_STATUS", "CLEAR_HALT 0x01"}));
        EXPECT_EQ(client.Read(reply, sizeof reply, count, end, usbtmc::DeadlineAfter(200)), usbtmc::LinkStatus::Timeout);
        EXPECT_EQ(client.Write({"*idn?\n"}, true, usbtmc::DeadlineAfter(1000)), usbtmc::LinkStatus::Ok);
        EXPECT_EQ(client.Read(reply, sizeof reply, count, end, usbtmc::DeadlineAfter(1000)), usbtmc::LinkStatus::Ok);
        EXPECT_EQ(std::string(reply, count), "Trobe&Lindvar,TVX-18G,100001,2.14\n");
    }
    // A transfer that times out either way is aborted as USBTMC has it; the
    // next query is answered and no part of a block is kept.
    const std::vector<std::string> abortIn = {"INITIATE_ABORT_BULK_IN", "CHECK_ABORT_BULK_IN_STATUS"};
    const std::vector<std::string> abortOut = {"INITIATE_ABORT_BULK_OUT", "CHECK_ABORT_BULK_OUT_STATUS",
                                               "CLEAR_HALT 0x01"};
    const std::string held = sensors.Store().LoadArea("100001", DataArea::User);
    const std::string block = SampleDataFor("factory_v4.cal", "TVX-18G", "100001");
    for (const bool visa : {true, false})
        for (const bool out : {false, true}) {
            SCOPED_TRACE(std::string(visa ? "VISA" : "driver") + (out ? ", data not taken" : ", no reply"));
            const auto path = Make(visa);
            ASSERT_TRUE(path->Open(visa ? real : "TVXUSB::USB::100001"));
            path->SetTimeout(1000); // the abort after it gets 100 ms
            std::string answer;
            out ? bus->HoldBulkOut(sensor, true) : sensors.SetFaults("100001", {"delay=60000"});
            bus->TakeRequests(sensor);
            auto start = Clock::now();
            EXPECT_EQ(out ? path->WriteBlock("cal:user:data", block) : path->Send("*idn?", &answer),
                      visa ? "VI_ERROR_TMO" : "The sensor did not answer within the timeout.");
            EXPECT_LT(Clock::now() - start, 2500ms); // no more than scheduling past the timeout, even under load
            // (The driver's test path clears the device before each command.)
            std::vector<std::string> requests = bus->TakeRequests(sensor);
            requests.erase(requests.begin(), std::find_if(requests.begin(), requests.end(), [](const std::string& r) {
                               return r.rfind("INITIATE_ABORT", 0) == 0;
                           }));
            EXPECT_EQ(requests, out ? abortOut : abortIn);
            bus->HoldBulkOut(sensor, false);
            sensors.SetFaults("100001", {});
            EXPECT_EQ(path->Send("*idn?", &answer), "ok");
            EXPECT_EQ(answer, "Trobe&Lindvar,TVX-18G,100001,2.14\n");
            EXPECT_TRUE(sensors.Store().LoadArea("100001", DataArea::User) == held);
            path->Close();
        }
    for (const bool visa : {true, false}) {
        SCOPED_TRACE(visa ? "VISA unplug" : "driver unplug");
        EmulatedUsbBus::Options options;
        const std::string serial = visa ? "100003" : "100004";
        sensors.Add(serial);
        const int address = bus->AddSensor(sensors.Store(), serial, options);
        const auto path = Make(visa);
        ASSERT_TRUE(path->Open(visa ? "USB0::0x1B7E::0x0118::" + serial + "::INSTR" : "TVXUSB::USB::" + serial));
        path->SetTimeout(2000);
        sensors.SetFaults(serial, {"delay=500"});
        std::thread unplug([&] {
            std::this_thread::sleep_for(200ms);
            bus->Unplug(address);
        });
        std::string answer;
        const auto start = Clock::now();
        EXPECT_EQ(path->Send("cal:data?", &answer),
                  visa ? "VI_ERROR_CONN_LOST" : "The connection to the sensor was lost.");
        EXPECT_LT(Clock::now() - start, 1000ms);
        unplug.join();
    }
}

// A client nobody here wrote, pyvisa-py with its own USB backend, finds the
// emulated sensor a USBTMC device like any other. (It cannot list a bus with
// a device whose serial number cannot be read, so that one goes first.)
TEST_F(UsbBus, ServesPyvisaPyAsAnyUsbTmcDevice)
{
    if (::access("/usr/bin/python3", X_OK) != 0 ||
        child_process::Run({"/usr/bin/python3", "-c", "import pyvisa_py, usb"}, 20000) != 0)
        GTEST_SKIP() << "no pyvisa-py with pyusb for /usr/bin/python3";
    bus->Unplug(noSerialSensor); // its listing gives up at a serial number it cannot read
    const std::string user = SampleDataFor("user_v3.cal", "TVX-18G", "100001");
    const std::string userFile = (sensors.Root() / "user.cal").string();
    std::FILE* file = std::fopen(userFile.c_str(), "wb");
    std::fwrite(user.data(), 1, user.size(), file);
    std::fclose(file);
    EXPECT_EQ(child_process::Run({"/usr/bin/python3", OSTREL_TEST_DATA_DIR "/pyvisa_usb.py",
                                  (sensors.Root() / "store" / "100001" / "factory.cal").string(), userFile,
                                  "USB0::7038::280::100001::0::INSTR"},
                                 60000),
              0);
    EXPECT_TRUE(sensors.Store().LoadArea("100001", DataArea::User) == user);
}

// While another program has the sensor's interface claimed, neither library
// can open it, and each says so; once it lets go, both can.
TEST_F(UsbBus, NamesADeviceAnotherProgramHolds)
{
    std::unique_ptr<usbtmc::Pipes> other = OpenSensor100001();
    ASSERT_TRUE(other);
    const std::string reason = "The USB device on bus 1, address " + std::to_string(sensor) +
                               " (vendor 0x1B7E, product 0x0118) is in use by another program.";
    for (const bool visa : {true, false}) {
        SCOPED_TRACE(visa ? "VISA" : "driver");
        std::string said;
        if (visa) {
            ViSession manager = 0, session = 0;
            Visa().viOpenDefaultRM(&manager);
            ViChar text[256] = {};
            Visa().viStatusDesc(0, Visa().viOpen(manager, real.c_str(), VI_NULL, VI_NULL, &session), text);
            said = text;
            Visa().viClose(manager);
        } else {
            const DriverPath driver; // opens the driver
            int32_t handle = 0;
            said = DriverStatus(TvxOpenSensor("TVXUSB::USB::100001", &handle));
        }
        EXPECT_EQ(said, (visa ? "VI_ERROR_RSRC_BUSY: " : "") + reason);
    }
    other.reset();
    for (const bool visa : {true, false}) {
        const auto path = Make(visa);
        EXPECT_TRUE(path->Open(visa ? real : "TVXUSB::USB::100001")) << (visa ? "VISA" : "driver");
    }
}

// Run by the next test as a user without rights to the device: what each
// library tells of it.
TEST(UsbDeviceWithoutRights, IsNamedWithWhatToDo)
{
    if (!std::getenv("OSTREL_USB_WITHOUT_RIGHTS"))
        GTEST_SKIP() << "run by UsbBus.NamesADeviceTheUserMayNotOpen";
    for (const auto& found : usbtmc::ListUsbTmcInterfaces())
        std::printf("list: %s\n", found.problem.c_str());
    TvxOpenDriver();
    int32_t count = 0;
    TvxLockDeviceList();
    TvxGetDeviceListLength(&count);
    for (int32_t i = 0; i < count; ++i) {
        char name[TVX_DEVICE_TEXT_SIZE], type[TVX_DEVICE_TEXT_SIZE], serial[TVX_DEVICE_TEXT_SIZE];
        int32_t present = 0, handle = 0;
        TvxGetDeviceInfo(i, name, type, serial, &present);
        const int32_t opened = TvxOpenSensor(name, &handle);
        std::printf("driver: %s|%s|%s|%d open: %s\n", name, type, serial, present, DriverStatus(opened).c_str());
    }
    TvxCommitDeviceList();
    TvxCloseDriver();
    for (const std::string& name : FindVisa("USB?*INSTR")) {
        ViSession manager = 0, session = 0;
        Visa().viOpenDefaultRM(&manager);
        ViChar text[256] = {};
        Visa().viStatusDesc(0, Visa().viOpen(manager, name.c_str(), VI_NULL, VI_NULL, &session), text);
        std::printf("visa: %s open: %s\n", name.c_str(), text);
        Visa().viClose(manager);
    }
}

// A user the system does not let open a device still finds it listed, with
// which device it is and what to do, from either library.
TEST_F(UsbBus, NamesADeviceTheUserMayNotOpen)
{
    EmulatedUsbBus::Options options;
    options.noAccess = true;
    sensors.Add("100005");
    bus->AddSensor(sensors.Store(), "100005", options);
    bus->ShareWithOtherUsers();
    char self[4096] = {};
    ASSERT_GT(::readlink("/proc/self/exe", self, sizeof self - 1), 0);
    const std::string command = "OSTREL_USB_WITHOUT_RIGHTS=1 setpriv --reuid=65534 --regid=65534 --clear-groups " +
                                std::string(self) + " --gtest_filter=UsbDeviceWithoutRights.* 2>/dev/null";
    FILE* child = ::popen(command.c_str(), "r");
    ASSERT_NE(child, nullptr);
    std::string said;
    for (char line[1024]; std::fgets(line, sizeof line, child);)
        if (std::strncmp(line, "list:", 5) == 0 || std::strncmp(line, "driver:", 7) == 0 ||
            std::strncmp(line, "visa:", 5) == 0)
            said += line;
    ::pclose(child);
    const std::string reason = "No permission to open the USB device on bus 1, address 5 (vendor 0x1B7E, product "
                               "0x0118): Ostrel's udev rule (70-ostrel.rules) gives the user at the seat access; "
                               "after installing it, unplug the device and plug it in again.";
    EXPECT_NE(said.find("list: " + reason), std::string::npos) << said;
    EXPECT_NE(said.find("driver: TVXUSB::USB::@1.5|TVX-18G|error|1 open: " + reason), std::string::npos) << said;
    EXPECT_NE(said.find("visa: USB0::0x1B7E::0x0118::NOSERIAL-1-5::INSTR open: VI_ERROR_NPERMISSION: " + reason),
              std::string::npos)
        << said;
}

} // namespace

int main(int argc, char** argv)
{
    EmulatedUsbBus::RestartUnderPreload(argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
