#include "VisaLoader.h"

#include "ChildProcess.h"
#include "HostileSensor.h"
#include "PrivateNetwork.h"
#include "ServedSensors.h"
#include "SensorSamples.h"
#include "TvxControl2.h"

#include <gtest/gtest.h>

#include <link.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <functional>
#include <thread>

namespace
{

const VisaFunctions& Visa()
{
    static const std::shared_ptr<const VisaFunctions> functions = VisaLoader::Load({OSTREL_VISA_LIBRARY});
    if (!functions)
        throw std::runtime_error("our VISA library does not load");
    return *functions;
}

const std::string factory = SampleDataFor("factory_v3.cal", "TVX-18G", "100001");
const std::string user = SampleDataFor("user_v3.cal", "TVX-18G", "100001");

ViStatus Write(ViSession session, const std::string& data)
{
    ViUInt32 count = 0;
    const ViStatus status =
        Visa().viWrite(session, reinterpret_cast<ViConstBuf>(data.data()), static_cast<ViUInt32>(data.size()), &count);
    EXPECT_TRUE(status != VI_SUCCESS || count == data.size());
    return status;
}

std::string Read(ViSession session, std::size_t capacity, ViStatus& status)
{
    std::string data(capacity, '\0');
    ViUInt32 count = 0;
    status = Visa().viRead(session, reinterpret_cast<ViBuf>(data.data()), static_cast<ViUInt32>(capacity), &count);
    data.resize(count);
    return data;
}

// In a sanitizer build our library needs the sanitizers' runtime, which must
// come first in a program that was built without it: the Python interpreter
// gets the libraries this test program runs with preloaded.
void PreloadSanitizerRuntime()
{
#ifdef __SANITIZE_ADDRESS__
    std::string preload;
    dl_iterate_phdr(
        [](dl_phdr_info* info, std::size_t, void* data) {
            const std::string name = info->dlpi_name ? info->dlpi_name : "";
            // The runtime intercepts the RPC library's XDR calls and finds
            // them only in libraries that are there when it starts.
            if (name.find("libasan.so") != std::string::npos || name.find("libubsan.so") != std::string::npos ||
                name.find("libtirpc.so") != std::string::npos) {
                auto& list = *static_cast<std::string*>(data);
                list += (list.empty() ? "" : ":") + name;
            }
            return 0;
        },
        &preload);
    ::setenv("LD_PRELOAD", preload.c_str(), 1);
    // The interpreter's own allocations are no business of this test.
    ::setenv("ASAN_OPTIONS", "detect_leaks=0", 1);
#endif
}

// One served sensor, 100001, on USB (the parameter true) or on the LAN, and a resource manager of our
// VISA library.
class VisaSession : public ::testing::TestWithParam<bool>
{
protected:
    void SetUp() override
    {
        if (!Usb() && !private_network::Problem().empty())
            GTEST_SKIP() << "no LAN without a private network: " << private_network::Problem();
        SensorIdentity identity = NewSensorIdentity("100001", "TVX-18G");
        identity.onUsb = Usb();
        identity.lanAddress = Usb() ? "" : "127.0.0.2";
        sensors.Store().Add(identity, factory);
        sensors.Start();
        ASSERT_EQ(Visa().viOpenDefaultRM(&manager), VI_SUCCESS);
    }

    void TearDown() override
    {
        if (manager)
            Visa().viClose(manager);
    }

    bool Usb() const { return GetParam(); }

    std::string Resource() const
    {
        return Usb() ? "USB9::0x1B7E::0x0118::100001::INSTR" : "TCPIP0::127.0.0.2::inst0::INSTR";
    }

    ViSession Open(ViUInt32 timeoutMs = 2000, const std::string& name = "")
    {
        ViSession session = 0;
        const std::string resource = name.empty() ? Resource() : name;
        EXPECT_EQ(Visa().viOpen(manager, resource.c_str(), VI_NULL, VI_NULL, &session), VI_SUCCESS);
        Visa().viSetAttribute(session, VI_ATTR_TMO_VALUE, timeoutMs);
        return session;
    }

    ServedSensors sensors;
    ViSession manager = 0;
};

// The same dialogue on both transports: identity, a factory block read in
// the pieces a block reader asks for, a user block written and read back.
TEST_P(VisaSession, RunsTheSensorDialogue)
{
    const std::string digits = std::to_string(factory.size());
    const struct
    {
        std::string write; // sent when not empty, else a read of `capacity` bytes
        std::size_t capacity;
        ViStatus status;
        std::string read;
    } steps[] = {
        {"*idn?\n", 0, VI_SUCCESS, ""},
        {"", 4096, VI_SUCCESS, "Trobe&Lindvar,TVX-18G,100001,2.14\n"},
        {"*cls;cal:data?\n", 0, VI_SUCCESS, ""},
        {"", 1, VI_SUCCESS_MAX_CNT, "#"},
        {"", 1, VI_SUCCESS_MAX_CNT, std::to_string(digits.size())},
        {"", digits.size(), VI_SUCCESS_MAX_CNT, digits},
        {"", factory.size(), VI_SUCCESS_MAX_CNT, factory},
        {"", 1, VI_SUCCESS, "\n"},
        {"*cls;cal:user:data " + Block(user) + "\n", 0, VI_SUCCESS, ""},
        {"syst:err?\n", 0, VI_SUCCESS, ""},
        {"", 4096, VI_SUCCESS, "0,\"No error\"\n"},
        {"*cls;cal:user:data?\n", 0, VI_SUCCESS, ""},
        {"", 1 << 20, VI_SUCCESS, Block(user) + "\n"},
    };
    const ViSession session = Open();
    for (const auto& step : steps) {
        SCOPED_TRACE("step " + std::to_string(&step - steps));
        if (!step.write.empty()) {
            EXPECT_EQ(Write(session, step.write), step.status);
            continue;
        }
        ViStatus status = VI_SUCCESS;
        const std::string read = Read(session, step.capacity, status);
        EXPECT_EQ(status, step.status);
        EXPECT_TRUE(read == step.read) << read.substr(0, 64);
    }
    EXPECT_EQ(Visa().viClose(session), VI_SUCCESS);
    EXPECT_EQ(Visa().viClose(session), VI_ERROR_INV_OBJECT);
}

// Only exclusive locks; a second session of the resource waits its timeout and is refused; once the first
// lets go, or closes, it gets the lock. A lock another client holds on the sensor itself refuses it too.
TEST_P(VisaSession, LocksExclusively)
{
    const ViSession first = Open();
    const ViSession second = Open();
    EXPECT_EQ(Visa().viLock(first, VI_SHARED_LOCK, 0, VI_NULL, VI_NULL), VI_ERROR_INV_LOCK_TYPE);
    EXPECT_EQ(Visa().viLock(first, VI_EXCLUSIVE_LOCK, 0, VI_NULL, VI_NULL), VI_SUCCESS);
    EXPECT_EQ(Visa().viLock(first, VI_EXCLUSIVE_LOCK, 0, VI_NULL, VI_NULL), VI_SUCCESS_NESTED_EXCLUSIVE);
    // Every call of another session, and on USB of the driver, waits its timeout and is refused.
    Visa().viSetAttribute(second, VI_ATTR_TMO_VALUE, 300);
    ViUInt32 count = 0;
    char buffer[64] = {};
    int32_t driver = 0;
    const bool driverOpen = Usb() && TvxOpenDriver() == 0 && TvxOpenSensor("TVXUSB::100001", &driver) == 0;
    const std::pair<const char*, std::function<ViStatus()>> refused[] = {
        {"lock", [&] { return Visa().viLock(second, VI_EXCLUSIVE_LOCK, 300, VI_NULL, VI_NULL); }},
        {"write", [&] { return Visa().viWrite(second, reinterpret_cast<ViConstBuf>("*idn?\n"), 6, &count); }},
        {"read", [&] { return Visa().viRead(second, reinterpret_cast<ViBuf>(buffer), sizeof buffer, &count); }},
        {"driver command", [&] { return TvxSendCommand(driver, "*idn?", 300); }},
        {"driver block", [&] { return TvxSendBinaryBlock(driver, "cal:user:data", "x", 1, 300); }},
        {"another process", [&] {
             PreloadSanitizerRuntime();
             const int exit = child_process::Run({"/usr/bin/python3", OSTREL_TEST_DATA_DIR "/pyvisa_locked_out.py",
                                                  OSTREL_VISA_LIBRARY, Resource()}, 60000);
             ::unsetenv("LD_PRELOAD");
             return exit == 0 ? VI_ERROR_RSRC_LOCKED : VI_ERROR_SYSTEM_ERROR;
         }},
    };
    for (const auto& [name, call] : refused) {
        const bool ofDriver = std::string(name).rfind("driver", 0) == 0;
        if (ofDriver && !Usb())
            continue;
        const auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(call(), ofDriver ? TVX_ERR_LOCKED : VI_ERROR_RSRC_LOCKED) << name;
        EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(250)) << name;
    }
    EXPECT_EQ(Visa().viUnlock(second), VI_ERROR_SESN_NLOCKED);
    EXPECT_EQ(Visa().viUnlock(first), VI_SUCCESS_NESTED_EXCLUSIVE);
    EXPECT_EQ(Visa().viUnlock(first), VI_SUCCESS);
    if (driverOpen) {
        std::string reply(64, '\0');
        EXPECT_EQ(TvxSendCommand(driver, "*idn?", 1000) + TvxGetStringResult(driver, reply.data(), 64), 0)
            << "the driver goes on once the lock is free";
        const std::string data = SampleDataFor("user_v3.cal", "TVX-18G", "100001");
        EXPECT_EQ(TvxSendBinaryBlock(driver, "cal:user:data", data.data(), static_cast<int32_t>(data.size()), 5000), 0);
    }
    TvxCloseDriver();
    EXPECT_EQ(Visa().viLock(second, VI_EXCLUSIVE_LOCK, 300, VI_NULL, VI_NULL), VI_SUCCESS)
        << "the driver lets go of the lock it took for its block";
    EXPECT_EQ(Visa().viLock(first, VI_EXCLUSIVE_LOCK, 0, VI_NULL, VI_NULL), VI_ERROR_RSRC_LOCKED);
    Visa().viClose(second);
    EXPECT_EQ(Visa().viLock(first, VI_EXCLUSIVE_LOCK, 1000, VI_NULL, VI_NULL), VI_SUCCESS)
        << "the lock ends with its session";
    Visa().viClose(first);
    sensors.SetFaults("100001", {"locked"});
    EXPECT_EQ(Visa().viLock(Open(300), VI_EXCLUSIVE_LOCK, 200, VI_NULL, VI_NULL), VI_ERROR_RSRC_LOCKED)
        << "the sensor's lock held by another of its clients";
}

// Find lists the served sensor of the transport; a name in any case opens it, one not well formed or of
// another product opens nothing; its attributes; unplugged after the find, it opens no more.
TEST_P(VisaSession, FindsOpensAndDescribesTheSensor)
{
    ViFindList list = 0;
    ViUInt32 count = 0;
    ViChar found[VI_FIND_BUFLEN] = {};
    const char* expression = Usb() ? "USB?::0x1B7E?*INSTR" : "TCPIP?*INSTR";
    ASSERT_EQ(Visa().viFindRsrc(manager, expression, &list, &count, found), VI_SUCCESS);
    EXPECT_EQ(count, 1u);
    EXPECT_EQ(std::string(found), Resource());
    EXPECT_EQ(Visa().viFindNext(list, found), VI_ERROR_RSRC_NFOUND);
    EXPECT_EQ(Visa().viClose(list), VI_SUCCESS);
    EXPECT_EQ(Visa().viFindRsrc(manager, "GPIB?*", &list, &count, found), VI_ERROR_RSRC_NFOUND);
    EXPECT_EQ(Visa().viFindRsrc(manager, "USB[", &list, &count, found), VI_ERROR_INV_EXPR);

    ViSession session = 0;
    const std::pair<const char*, ViStatus> refused[] = {
        {"USB0::0x1B7E::0x0118::100001::0::0::INSTR", VI_ERROR_INV_RSRC_NAME}, // a part too many
        {"USB0::0x11B7E::0x0118::100001::INSTR", VI_ERROR_INV_RSRC_NAME},     // a vendor id over 0xFFFF
        {"USB9::0x1B7E::0x0119::100001::INSTR", VI_ERROR_RSRC_NFOUND},        // another product
        {"USB0::0x1B7E::0x0118::100001::INSTR", VI_ERROR_RSRC_NFOUND},        // a real device, not plugged in
    };
    for (const auto& [name, status] : refused)
        EXPECT_EQ(Visa().viOpen(manager, name, VI_NULL, VI_NULL, &session), status) << name;
    session = Open(2000, Usb() ? "usb9::0x1b7e::0x0118::100001::instr" : "tcpip0::127.0.0.2::inst0::instr");
    ViChar text[256] = {};
    EXPECT_EQ(Visa().viGetAttribute(session, VI_ATTR_RSRC_NAME, text), VI_SUCCESS);
    EXPECT_EQ(std::string(text), Resource());
    if (Usb()) {
        EXPECT_EQ(Visa().viGetAttribute(session, VI_ATTR_MODEL_NAME, text), VI_SUCCESS);
        EXPECT_EQ(std::string(text), "TVX-18G");
        EXPECT_EQ(Visa().viGetAttribute(session, VI_ATTR_USB_SERIAL_NUM, text), VI_SUCCESS);
        EXPECT_EQ(std::string(text), "100001");
    }
    ViUInt32 timeout = 0;
    sensors.SetFaults("100001", {"unplugged"});
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    ViSession unplugged = 0;
    EXPECT_EQ(Visa().viOpen(manager, Resource().c_str(), VI_NULL, VI_NULL, &unplugged), VI_ERROR_RSRC_NFOUND)
        << "found, then unplugged";
    Visa().viClose(manager);
    manager = 0;
    EXPECT_EQ(Visa().viGetAttribute(session, VI_ATTR_TMO_VALUE, &timeout), VI_ERROR_INV_OBJECT)
        << "closing the resource manager closes its sessions";
}

// What each fault looks like to a VISA client, one after the other on a
// session of its own: the bytes pass as the sensor sends them, and the
// statuses say what went wrong.
TEST_P(VisaSession, ShowsEachFaultAsItsStatus)
{
    const std::string length = std::to_string(factory.size());
    const struct
    {
        const char* name;
        std::vector<std::string> faults;
        const char* query;
        std::size_t capacity;
        ViStatus status;       // of the read
        std::string prefix;    // the read begins with it
        bool askAgain = false; // clear the faults; the next query gets its own answer
    } rows[] = {
        {"ReplyNeverComes", {"delay=1000"}, "*idn?\n", 4096, VI_ERROR_TMO, "", true},
        {"EndOnTheLastByte", {}, "*idn?\n", 34, VI_SUCCESS, "Trobe&Lindvar,"},
        {"CountBeforeTheEnd", {}, "*idn?\n", 33, VI_SUCCESS_MAX_CNT, "Trobe&Lindvar,"},
        {"LostInTheHeader", {"drop-after=2"}, "cal:data?\n", 4096, VI_ERROR_CONN_LOST, ""},
        {"LostInTheData", {"drop-after=3000"}, "cal:data?\n", 1 << 20, VI_ERROR_CONN_LOST, ""},
        {"ShortBlock", {"bad-length"}, "cal:data?\n", 1 << 20, VI_SUCCESS,
         "#" + std::to_string(length.size()) + std::to_string(factory.size() - 1)},
        {"WrongDigitCount", {"bad-digit-count"}, "cal:data?\n", 1 << 20, VI_SUCCESS,
         "#" + std::to_string(length.size() + 1) + length},
        {"Garbage", {"garbage"}, "cal:data?\n", 4096, VI_SUCCESS, "\x7F\xFE"},
    };
    for (const auto& c : rows) {
        SCOPED_TRACE(c.name);
        sensors.SetFaults("100001", c.faults);
        const ViSession session = Open(300);
        ViStatus status = VI_SUCCESS;
        EXPECT_EQ(Write(session, c.query), VI_SUCCESS);
        const std::string read = Read(session, c.capacity, status);
        EXPECT_EQ(status, c.status) << std::hex << status;
        EXPECT_EQ(read.substr(0, c.prefix.size()), c.prefix);
        if (c.askAgain) {
            sensors.SetFaults("100001", {});
            EXPECT_EQ(Write(session, "syst:info? 'cal. abs.'\n"), VI_SUCCESS);
            EXPECT_EQ(Read(session, 4096, status), "2024-03-12\n");
            EXPECT_EQ(status, VI_SUCCESS);
        }
        Visa().viClose(session);
    }
}

INSTANTIATE_TEST_SUITE_P(Transports, VisaSession, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "Usb" : "Lan"; });


// Resident memory in KiB: now, or at most since ResetPeakMemory.
long MemoryKiB(const char* field)
{
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind(field, 0) == 0)
            return std::stol(line.substr(std::string(field).size()));
    return -1;
}
void ResetPeakMemory() { std::ofstream("/proc/self/clear_refs") << "5"; }

// Against a sensor that misbehaves in each way, a driver query and a VISA read end by their timeout with
// the timeout's status, and a block announced far beyond what comes makes the driver hold little more than
// what came.
class HostileSensors : public testing::TestWithParam<HostileSensor::Misbehaviour> {};
TEST_P(HostileSensors, EndEveryCallByItsTimeout)
{
    ServedSensors folder;
    HostileSensor sensor(GetParam());
    constexpr int timeoutMs = 500;
    const auto endsByItsTimeout = [&](const char* what, auto expected, auto call) {
        const auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(call(), expected) << what;
        const auto took = std::chrono::steady_clock::now() - start;
        EXPECT_GE(took, std::chrono::milliseconds(timeoutMs)) << what;
        EXPECT_LE(took, std::chrono::milliseconds(timeoutMs * 11 / 10 + 100)) << what;
    };
    ASSERT_EQ(TvxOpenDriver(), 0);
    int32_t driver = 0;
    ASSERT_EQ(TvxOpenSensor((std::string("TVXUSB::") + HostileSensor::Serial).c_str(), &driver), 0);
    ResetPeakMemory();
    const long before = MemoryKiB("VmRSS:");
    endsByItsTimeout("driver", TVX_ERR_TIMEOUT, [&] { return TvxSendCommand(driver, "cal:data?", timeoutMs); });
#ifndef __SANITIZE_ADDRESS__ // whose bookkeeping of an allocation follows its length
    EXPECT_LT(MemoryKiB("VmHWM:") - before, 32 * 1024) << "memory follows the data";
#endif
    TvxCloseDriver();

    ViSession manager = 0, session = 0;
    ASSERT_EQ(Visa().viOpenDefaultRM(&manager), VI_SUCCESS);
    ASSERT_EQ(Visa().viOpen(manager, "USB9::0x1B7E::0x0118::666666::INSTR", VI_NULL, VI_NULL, &session), VI_SUCCESS);
    Visa().viSetAttribute(session, VI_ATTR_TMO_VALUE, timeoutMs);
    EXPECT_EQ(Write(session, "cal:data?\n"), VI_SUCCESS);
    endsByItsTimeout("VISA", VI_ERROR_TMO, [&] {
        ViStatus status = VI_SUCCESS;
        Read(session, 1 << 20, status);
        return status;
    });
    Visa().viClose(manager);
}
using Misbehaviour = HostileSensor::Misbehaviour;
const char* const misbehaviourNames[] = {"Silent", "Dribble", "EmptyTransfers", "WrongTags", "HugeBlock",
                                         "StatusByteNeverComes"};
INSTANTIATE_TEST_SUITE_P(Visa, HostileSensors,
                         testing::Values(Misbehaviour::Silent, Misbehaviour::Dribble, Misbehaviour::EmptyTransfers,
                                         Misbehaviour::WrongTags, Misbehaviour::HugeBlock,
                                         Misbehaviour::StatusByteNeverComes),
                         [](const auto& info) { return misbehaviourNames[static_cast<int>(info.param)]; });

// A VISA client nobody here wrote, pyvisa's ctypes backend, on our library.
TEST(VisaLibraryClients, PyvisaCtypesBackendListsOpensQueriesAndLocks)
{
    if (::access("/usr/bin/python3", X_OK) != 0)
        GTEST_SKIP() << "no /usr/bin/python3";
    ServedSensors sensors;
    SensorIdentity identity = NewSensorIdentity("100001", "TVX-18G");
    const bool lan = private_network::Problem().empty();
    if (lan)
        identity.lanAddress = "127.0.0.2";
    sensors.Store().Add(identity, factory);
    sensors.Start();
    std::vector<std::string> arguments{"/usr/bin/python3", OSTREL_TEST_DATA_DIR "/pyvisa_ctypes.py", OSTREL_VISA_LIBRARY,
                                       (sensors.Root() / "store" / "100001" / "factory.cal").string(),
                                       "USB9::0x1B7E::0x0118::100001::INSTR"};
    if (lan)
        arguments.push_back("TCPIP0::127.0.0.2::inst0::INSTR");
    PreloadSanitizerRuntime();
    EXPECT_EQ(child_process::Run(arguments, 60000), 0);
    ::unsetenv("LD_PRELOAD");
}

} // namespace

int main(int argc, char** argv)
{
    private_network::Enter();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
