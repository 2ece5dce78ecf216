#include "Client.h"
#include "ServedSensors.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

namespace
{

using usbtmc::LinkStatus;

bool Reachable(const std::string& serial)
{
    usbtmc::Client client;
    usbtmc::DeviceInfo info;
    const auto deadline = usbtmc::DeadlineAfter(500);
    return client.Open(usbtmc::UsbSocketPath(usbtmc::RuntimeFolder(), serial).string(), deadline) == LinkStatus::Ok &&
           client.QueryDeviceInfo(info, deadline) == LinkStatus::Ok && info.serialNumber == serial;
}

// Waits for the server to follow a change of the store (it looks every 200 ms).
bool BecomesReachable(const std::string& serial, bool reachable)
{
    for (int i = 0; i < 50; ++i) {
        if (Reachable(serial) == reachable)
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
}

// 1 granted or released, 0 refused.
char LockRequest(usbtmc::Client& client, std::uint8_t request)
{
    std::string reply;
    bool stalled = false;
    EXPECT_EQ(client.Control({usbtmc::RequestTypeVendorIn, request, 0, 0, 1}, {}, &reply, stalled,
                             usbtmc::DeadlineAfter(1000)),
              LinkStatus::Ok);
    return reply.size() == 1 ? reply[0] : '?';
}

// One server's life: its lock, a late answer, the store it follows, the folder it keeps to itself. A read
// that timed out leaves its answer behind when it comes after all; the next read must not take it for its own.
TEST(SensorServer, LocksAnswersInTurnFollowsTheStoreAndKeepsItsFolderToItself)
{
    ServedSensors sensors;
    sensors.Add("100001");
    sensors.SetFaults("100001", {"delay=200"});
    // Temporary files of writers killed in the middle go at the start; one a
    // live writer holds, and every other name, stay.
    const std::filesystem::path folder = sensors.Store().Folder() / "100001";
    const std::vector<std::string> names{".factory.cal.partial-Ab3xYz", ".user.cal.partial-HELD00",
                                         ".factory.cal.partial-Ab3", "factory.cal.partial-Ab3xYz", "..partial-Ab3xYz"};
    for (const std::string& name : names)
        std::ofstream(folder / name) << "x";
    const int held = ::open((folder / names[1]).c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_EQ(::flock(held, LOCK_EX), 0);
    sensors.Start();
    for (const std::string& name : names)
        EXPECT_EQ(std::filesystem::exists(folder / name), name != names[0]) << name;
    ::close(held);
    EXPECT_TRUE(Reachable("100001"));
    const std::string socket = usbtmc::UsbSocketPath(usbtmc::RuntimeFolder(), "100001").string();
    usbtmc::Client first;
    usbtmc::Client second;
    ASSERT_EQ(first.Open(socket, usbtmc::DeadlineAfter(1000)), LinkStatus::Ok);
    ASSERT_EQ(second.Open(socket, usbtmc::DeadlineAfter(1000)), LinkStatus::Ok);
    EXPECT_EQ(LockRequest(first, usbtmc::VendorLock), 1);
    EXPECT_EQ(LockRequest(first, usbtmc::VendorLock), 1) << "the holder may ask again";
    EXPECT_EQ(LockRequest(second, usbtmc::VendorLock), 0);
    EXPECT_EQ(LockRequest(second, usbtmc::VendorUnlock), 0) << "only the holder releases";
    EXPECT_EQ(std::make_pair(LockRequest(first, usbtmc::VendorLockState), LockRequest(second, usbtmc::VendorLockState)),
              std::make_pair(usbtmc::LockHeldHere, usbtmc::LockHeldElsewhere));
    std::string refused(64, '\0');
    std::size_t got = 0;
    bool ended = false;
    ASSERT_EQ(second.Write({"*idn?\n"}, true, usbtmc::DeadlineAfter(1000)), LinkStatus::Ok);
    EXPECT_EQ(second.Read(refused.data(), refused.size(), got, ended, usbtmc::DeadlineAfter(300)), LinkStatus::Timeout)
        << "a message sent while another holds the lock is dropped";
    first = usbtmc::Client();
    bool granted = false;
    for (int i = 0; i < 50 && !granted; ++i) {
        granted = LockRequest(second, usbtmc::VendorLock) == 1;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_TRUE(granted) << "a closed connection lets go of its lock";

    std::string answer(256, '\0');
    std::size_t count = 0;
    bool end = false;
    ASSERT_EQ(second.Write({"*idn?\n"}, true, usbtmc::DeadlineAfter(1000)), LinkStatus::Ok);
    EXPECT_EQ(second.Read(answer.data(), answer.size(), count, end, usbtmc::DeadlineAfter(20)), LinkStatus::Timeout);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    ASSERT_EQ(second.Write({"syst:info? 'cal. temp.'\n"}, true, usbtmc::DeadlineAfter(1000)), LinkStatus::Ok);
    EXPECT_EQ(second.Read(answer.data(), answer.size(), count, end, usbtmc::DeadlineAfter(1000)), LinkStatus::Ok);
    EXPECT_EQ(answer.substr(0, count), "2024-03-13\n");

    sensors.Add("100002", "TVX-6G", false);
    EXPECT_TRUE(BecomesReachable("100002", true)) << "added while serving";
    sensors.SetFaults("100002", {"unplugged"});
    EXPECT_TRUE(BecomesReachable("100002", false)) << "unplugged";
    sensors.SetFaults("100002", {});
    EXPECT_TRUE(BecomesReachable("100002", true)) << "plugged in again";
    sensors.Store().Remove("100001");
    EXPECT_TRUE(BecomesReachable("100001", false)) << "removed while serving";
    EXPECT_EQ(usbtmc::UsbSocketSerials(usbtmc::RuntimeFolder()), std::vector<std::string>{"100002"});

    SensorServer another(sensors.Store(), usbtmc::RuntimeFolder());
    try {
        another.Start();
        ADD_FAILURE() << "a second server started on the same folder";
    } catch (const SensorServerError& error) {
        EXPECT_NE(std::string(error.what()).find("Another ostrel-sensorsim serve"), std::string::npos) << error.what();
    }
    EXPECT_TRUE(Reachable("100002")) << "the first server keeps serving";
    sensors.Stop();
    EXPECT_TRUE(usbtmc::UsbSocketSerials(usbtmc::RuntimeFolder()).empty()) << "no socket outlives the server";
}

} // namespace
