// Writers killed with SIGKILL at a random moment of a write: the data set
// store, the settings save and a served simulated sensor taking a block over
// USB and over the LAN. In every trial the file holds the old or the new
// content whole, and the next store of that file leaves no temporary file of
// it behind. OSTREL_CRASH_TRIALS sets the number of trials of each writer.

#include "ChildProcess.h"
#include "Client.h"
#include "PrivateNetwork.h"
#include "RuntimeFolder.h"
#include "SensorDataSet.h"
#include "SensorStore.h"
#include "Settings.h"
#include "StoreSupport.h"
#include "Tamrix.h"
#include "Vxi11Client.h"

#include <dirent.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <cstdlib>
#include <functional>
#include <iostream>
#include <random>
#include <thread>

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace
{

std::string g_self; // this program, run again as a child writer

int Trials()
{
    const char* text = std::getenv("OSTREL_CRASH_TRIALS");
    return text && std::atoi(text) > 0 ? std::atoi(text) : 3;
}

// The names in `folder` that begin with ".<file>.": the temporary files of `file`.
std::vector<std::string> Leftovers(const fs::path& folder, const std::string& file)
{
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        if (entry.path().filename().string().rfind("." + file + ".", 0) == 0)
            names.push_back(entry.path().filename().string());
    return names;
}

ino_t Inode(const fs::path& path)
{
    struct stat status {};
    return ::stat(path.c_str(), &status) == 0 ? status.st_ino : 0;
}

// The data sets the writers alternate between, as the store writes them.
const std::string& DataSet(int which)
{
    static const std::string sets[] = {SensorDataSet(1, 3000), SensorDataSet(2, 2000)};
    return sets[which];
}

// A settings text of `which`'s own long lab name.
std::string Lab(int which) { return std::string(std::size_t{1} << 20, which ? 'b' : 'a'); }

void SaveSettings(const fs::path& path, int which)
{
    std::string lab = Lab(which);
    std::string eng = "eng";
    int timeout = 1000 + which;
    int calDataTimeout = 60000;
    bool network = false;
    bool factory = true;
    if (!WriteSettingsFile(QString::fromStdString(path.string()), {lab, eng, timeout, calDataTimeout, network, factory}))
        std::exit(2);
}

void StoreDataSet(const fs::path& path, int which)
{
    static CTamrix sets[2];
    if (sets[which].Content().devices.empty()) {
        sets[which].EnableUtf8Support(true);
        CTamrixUtil::LoadTMXFromBuffer2(sets[which], DataSet(which));
    }
    CTamrixUtil::StoreTMXToFile2(sets[which], path.c_str(), '3', '0');
}

// The child writers: store the two contents in turn until killed.
[[noreturn]] void RunWriter(const std::string& kind, const fs::path& path)
{
    for (int which = 0;; which ^= 1) {
        if (kind == "settings")
            SaveSettings(path, which);
        else
            StoreDataSet(path, which);
    }
}

// Which of the two contents `path` holds, loaded whole; -1 for neither.
int SettingsHeld(const fs::path& path)
{
    std::string lab, eng;
    int timeout = 0, calDataTimeout = 0;
    bool network = false, factory = false;
    if (!ReadSettingsFile(QString::fromStdString(path.string()), {lab, eng, timeout, calDataTimeout, network, factory}))
        return -1;
    return lab == Lab(0) && timeout == 1000 ? 0 : lab == Lab(1) && timeout == 1001 ? 1 : -1;
}

int DataSetHeld(const fs::path& path, const std::string (&stored)[2])
{
    CTamrix set;
    set.EnableUtf8Support(true);
    try {
        CTamrixUtil::LoadTMXFromFile2(set, path.c_str());
    } catch (const std::exception&) {
        return -1;
    }
    const std::string bytes = ReadFileIfPresent(path).value_or("");
    return bytes == stored[0] ? 0 : bytes == stored[1] ? 1 : -1;
}

class Folder : public testing::Test
{
protected:
    void SetUp() override
    {
        std::string pattern = "/tmp/ostrel-crash-XXXXXX";
        ASSERT_TRUE(::mkdtemp(pattern.data()));
        root = pattern;
    }

    void TearDown() override
    {
        std::error_code ignored;
        fs::remove_all(root, ignored);
    }

    // Trials() times: `killOne` kills a writer of `file` at the moment it is
    // given (up to twice the time of one write); then the file must hold
    // content `held()` (0 or 1, whole), and the next store `store` must remove
    // what the kill left.
    void KillTrials(const std::string& writer, Clock::duration writeTime, const fs::path& file,
                    const std::function<void(Clock::duration)>& killOne, const std::function<int()>& held,
                    const std::function<void(int)>& store)
    {
        std::mt19937_64 random{std::random_device{}()};
        std::uniform_int_distribution<Clock::rep> moment(0, 2 * writeTime.count());
        int contents[2] = {};
        int leftoversSeen = 0; // trials whose kill left a temporary file behind
        for (int trial = 0; trial < Trials(); ++trial) {
            killOne(Clock::duration(moment(random)));
            if (HasFatalFailure())
                return;
            const int content = held();
            ASSERT_GE(content, 0) << "trial " << trial << ": " << file << " holds neither content whole";
            ++contents[content];
            leftoversSeen += !Leftovers(file.parent_path(), file.filename().string()).empty();
            store(content);
            EXPECT_EQ(Leftovers(file.parent_path(), file.filename().string()), std::vector<std::string>{})
                << "trial " << trial;
        }
        std::cout << writer << ": " << Trials() << " kills, old/new content " << contents[0] << "/" << contents[1]
                  << ", temporary file left by the kill " << leftoversSeen << " times\n";
    }

    // Kills a writer child of `kind` that stores the two contents to `file` in turns.
    void KillWriters(const std::string& kind, const fs::path& file, const std::function<int()>& held,
                     const std::function<void(int)>& store)
    {
        const auto start = Clock::now();
        store(0);
        KillTrials(kind, Clock::now() - start, file, [&](Clock::duration delay) {
            const ino_t before = Inode(file);
            const pid_t child = child_process::Start({g_self, "--writer", kind, file.string()});
            ASSERT_NE(child, 0);
            // Killed once it has stored at least once: then it is in its loop.
            const auto end = Clock::now() + std::chrono::seconds(20);
            while (Inode(file) == before && Clock::now() < end)
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            std::this_thread::sleep_for(delay);
            ::kill(child, SIGKILL);
            EXPECT_EQ(child_process::Wait(child, 5000), -1) << "the writer ended by itself";
        }, held, store);
    }

    fs::path root;
};

TEST_F(Folder, DataSetStoreKilledKeepsOldOrNewSetWhole)
{
    const fs::path file = root / "set.tmx";
    std::string stored[2];
    for (int which : {1, 0}) {
        StoreDataSet(file, which);
        stored[which] = ReadFileIfPresent(file).value_or("");
    }
    KillWriters("tmx", file, [&] { return DataSetHeld(file, stored); }, [&](int which) { StoreDataSet(file, which); });
}

TEST_F(Folder, SettingsSaveKilledKeepsOldOrNewSettingsWhole)
{
    const fs::path file = root / "Ostrel.cfg";
    KillWriters("settings", file, [&] { return SettingsHeld(file); }, [&](int which) { SaveSettings(file, which); });
}

// A served sensor's factory area, written over one transport.
struct Transport
{
    const char* name;
    bool lan;
};

void PrintTo(const Transport& transport, std::ostream* out) { *out << transport.name; }

class SensorKilled : public Folder, public testing::WithParamInterface<Transport>
{
protected:
    Clock::time_point killedBy = Clock::time_point::max(); // no connection is tried after

    // Sends `data` as the factory data set of 100001 on the served sensors and
    // waits for the answer to the error query behind it, trying to connect
    // until `connectBy` (the server may still be starting) or the kill.
    bool Send(const std::string& data, Clock::time_point connectBy)
    {
        connectBy = std::min(connectBy, killedBy);
        const std::string length = std::to_string(data.size());
        const std::string message = "cal:data #" + std::to_string(length.size()) + length + data + ";syst:err?\n";
        std::string reply(64, '\0');
        std::size_t count = 0;
        if (GetParam().lan) {
            vxi11::Client client;
            std::int32_t reason = 0;
            while (!client.Open("127.0.0.2", "inst0", vxi11::Clock::now() + std::chrono::seconds(1)).ok())
                if (Clock::now() > connectBy)
                    return false;
            return client.Write(message, true, vxi11::Clock::now() + std::chrono::seconds(20), false, count).ok() &&
                   client.Read(reply.data(), reply.size(), vxi11::Clock::now() + std::chrono::seconds(20), false, count,
                               reason).ok();
        }
        usbtmc::Client client;
        bool end = false;
        const std::string socket = usbtmc::UsbSocketPath(usbtmc::RuntimeFolder(), "100001").string();
        while (client.Open(socket, usbtmc::DeadlineAfter(1000)) != usbtmc::LinkStatus::Ok) {
            if (Clock::now() > connectBy)
                return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        return client.Write({message}, true, usbtmc::DeadlineAfter(20000)) == usbtmc::LinkStatus::Ok &&
               client.Read(reply.data(), reply.size(), count, end, usbtmc::DeadlineAfter(20000)) ==
                   usbtmc::LinkStatus::Ok;
    }
};

TEST_P(SensorKilled, InTheMiddleOfADataSetWriteKeepsOldOrNewSetWhole)
{
    if (GetParam().lan && !private_network::Problem().empty())
        GTEST_SKIP() << "no network namespace of our own: " << private_network::Problem();
    ::setenv("XDG_RUNTIME_DIR", (root / "run").c_str(), 1);
    fs::create_directory(root / "run");
    SensorStore store(root / "store");
    SensorIdentity identity = NewSensorIdentity("100001", "TVX-18G");
    identity.onUsb = !GetParam().lan;
    identity.lanAddress = GetParam().lan ? "127.0.0.2" : "";
    store.Add(identity, DataSet(0));
    const fs::path file = root / "store" / "100001" / "factory.cal";

    const std::vector<std::string> serve{OSTREL_SENSORSIM_TOOL, "--store", (root / "store").string(), "serve"};
    Clock::duration writeTime{};
    {
        const pid_t server = child_process::Start(serve);
        ASSERT_NE(server, 0);
        const auto start = Clock::now();
        ASSERT_TRUE(Send(DataSet(1), Clock::now() + std::chrono::seconds(10)));
        writeTime = Clock::now() - start;
        ::kill(server, SIGKILL);
        child_process::Wait(server, 5000);
    }
    ASSERT_TRUE(store.LoadArea("100001", DataArea::Factory) == DataSet(1));
    const auto held = [&] {
        const std::string bytes = store.LoadArea("100001", DataArea::Factory);
        return bytes == DataSet(0) ? 0 : bytes == DataSet(1) ? 1 : -1;
    };
    KillTrials(GetParam().name, writeTime, file, [&](Clock::duration delay) {
        const int next = 1 - held();
        const pid_t server = child_process::Start(serve);
        ASSERT_NE(server, 0);
        killedBy = Clock::now() + delay;
        std::thread kill([&] {
            std::this_thread::sleep_for(delay);
            ::kill(server, SIGKILL);
        });
        Send(DataSet(next), Clock::now() + std::chrono::seconds(10));
        kill.join();
        child_process::Wait(server, 5000);
    }, held, [&](int content) { store.SaveArea("100001", DataArea::Factory, DataSet(content)); });
}

INSTANTIATE_TEST_SUITE_P(Sensor, SensorKilled,
                         testing::Values(Transport{"Usb", false}, Transport{"Lan", true}),
                         [](const testing::TestParamInfo<Transport>& info) { return std::string(info.param.name); });

} // namespace

int main(int argc, char** argv)
{
    g_self = fs::canonical("/proc/self/exe").string();
    if (argc == 4 && std::string(argv[1]) == "--writer")
        RunWriter(argv[2], argv[3]);
    private_network::Enter();
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
