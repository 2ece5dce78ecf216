#include "ChildProcess.h"
#include "LanSensors.h"
#include "SensorServer.h"

#include <net/if.h>
#include <sched.h>

#include <thread>

namespace
{

using namespace std::chrono_literals;

const char* const peerInterface = "vx11peer";

std::string Ip()
{
    for (const char* path : {"/usr/sbin/ip", "/sbin/ip", "/usr/bin/ip"})
        if (::access(path, X_OK) == 0)
            return path;
    return {};
}

std::string NetworkNamespace(const std::string& pid)
{
    std::error_code error;
    return std::filesystem::read_symlink("/proc/" + pid + "/ns/net", error).string();
}

template <typename Done>
bool WaitFor(Done done)
{
    for (int i = 0; i < 250 && !done(); ++i)
        std::this_thread::sleep_for(20ms);
    return done();
}

// The sensor sits in a second namespace of the test's own, at the far end of
// a veth pair; the broadcast goes out on this end.
TEST_F(LanSensors, BroadcastFindsTheSensorOnTheOtherEndOfAVirtualNetwork)
{
    const std::string ip = Ip();
    if (ip.empty())
        GTEST_SKIP() << "no ip (iproute2)";
    sensors.AddOnLan("100001", "10.231.0.2");
    const pid_t peer = child_process::Start({"/proc/self/exe", "--lan-peer", (sensors.Root() / "store").string(), "10.231.0.2/24"});
    ASSERT_NE(peer, 0);
    const std::string pid = std::to_string(peer);
    EXPECT_TRUE(WaitFor([&] { return NetworkNamespace(pid) != NetworkNamespace("self"); }));
    const bool linked =
        child_process::Run({ip, "link", "add", "vx11here", "type", "veth", "peer", "name", peerInterface, "netns", pid},
                           5000) == 0 &&
        child_process::Run({ip, "addr", "add", "10.231.0.1/24", "brd", "+", "dev", "vx11here"}, 5000) == 0 &&
        child_process::Run({ip, "link", "set", "vx11here", "up"}, 5000) == 0;
    if (linked) {
        EXPECT_TRUE(WaitFor([] { return !usbtmc::LanSensorAddresses(usbtmc::RuntimeFolder()).empty(); }));
        EXPECT_EQ(vxi11::DiscoverInstruments(1000), std::vector<std::string>{"10.231.0.2"});
    }
    ::kill(peer, SIGTERM);
    EXPECT_EQ(child_process::Wait(peer, 5000), -1) << "the peer ended before the signal";
    if (!linked)
        GTEST_SKIP() << "cannot make a veth pair here";
}

} // namespace

// Enters a network namespace of its own, waits for its end of the veth pair,
// gives it the address and serves the store until a signal ends it.
int ServeAsLanPeer(const char* storeFolder, const char* addressWithBits)
{
    const std::string ip = Ip();
    if (::unshare(CLONE_NEWNET) != 0 || !WaitFor([] { return ::if_nametoindex(peerInterface) != 0; }))
        return 2;
    for (const std::vector<std::string>& command :
         {std::vector<std::string>{ip, "link", "set", "lo", "up"},
          std::vector<std::string>{ip, "addr", "add", addressWithBits, "brd", "+", "dev", peerInterface},
          std::vector<std::string>{ip, "link", "set", peerInterface, "up"}})
        if (child_process::Run(command, 5000) != 0)
            return 3;
    SensorServer server(SensorStore(storeFolder), usbtmc::EnsureRuntimeFolder());
    server.Start();
    ::pause();
    return 0;
}
