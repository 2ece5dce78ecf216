#include "SensorServer.h"

#include "LanTransport.h"
#include "RuntimeFolder.h"
#include "ServedSensor.h"
#include "UsbTransport.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <map>
#include <mutex>
#include <thread>

namespace
{

// How often the server looks at the store for new, removed and changed sensors.
constexpr int refreshMilliseconds = 200;

std::string Errno(const std::string& what)
{
    return what + ": " + std::strerror(errno);
}

// A sensor with the transports it is reachable on now.
struct Hosted
{
    std::shared_ptr<ServedSensor> sensor;
    std::unique_ptr<UsbTransport> usb;
    std::unique_ptr<LanTransport> lan;
};

} // namespace

struct SensorServer::Impl
{
    SensorStore store;
    std::filesystem::path folder;
    int lockFile = -1;
    int wake[2] = {-1, -1};
    std::thread thread;
    std::atomic<bool> stopping{false};
    mutable std::mutex sensorsLock; // changes of `sensors` against Served()
    std::map<std::string, Hosted> sensors;
    std::map<std::string, std::string> failed; // serial, or serial and "lan" -> the problem last reported

    Impl(SensorStore s, std::filesystem::path f) : store(std::move(s)), folder(std::move(f)) {}

    void Run();
    void Refresh();
    void Report(const std::string& serial, const std::string& problem, bool lan = false);
};

SensorServer::SensorServer(SensorStore store, std::filesystem::path runtimeFolder)
    : m_impl(std::make_unique<Impl>(std::move(store), std::move(runtimeFolder)))
{
}

SensorServer::~SensorServer()
{
    Stop();
}

void SensorServer::Start()
{
    Impl& impl = *m_impl;
    if (impl.thread.joinable())
        return;
    const std::filesystem::path lockPath = impl.folder / "serve.lock";
    impl.lockFile = ::open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (impl.lockFile < 0)
        throw SensorServerError(Errno("Cannot open " + lockPath.string()));
    if (::flock(impl.lockFile, LOCK_EX | LOCK_NB) != 0) {
        ::close(impl.lockFile);
        impl.lockFile = -1;
        throw SensorServerError("Another ostrel-sensorsim serve is already serving sensors in " +
                                impl.folder.string());
    }
    // Holding the lock, every socket in the folder is a leftover of a server
    // that ended without removing it.
    for (const std::string& serial : usbtmc::UsbSocketSerials(impl.folder))
        ::unlink(usbtmc::UsbSocketPath(impl.folder, serial).c_str());
    std::error_code error;
    for (std::filesystem::directory_iterator entry(impl.folder, error), end; !error && entry != end;
         entry.increment(error)) {
        const std::string name = entry->path().filename().string();
        if (name.rfind("lan-", 0) == 0 && entry->path().extension() == ".addr")
            ::unlink(entry->path().c_str());
    }
    // So are the store's temporary files that no writer holds.
    impl.store.RemoveLeftovers();
    if (::pipe2(impl.wake, O_CLOEXEC | O_NONBLOCK) != 0)
        throw SensorServerError(Errno("Cannot start the server"));
    impl.stopping = false;
    impl.Refresh();
    impl.thread = std::thread([&impl] { impl.Run(); });
}

void SensorServer::Stop()
{
    Impl& impl = *m_impl;
    if (!impl.thread.joinable())
        return;
    impl.stopping = true;
    const char byte = 0;
    [[maybe_unused]] const ssize_t ignored = ::write(impl.wake[1], &byte, 1);
    impl.thread.join();
    for (int& fd : impl.wake) {
        ::close(fd);
        fd = -1;
    }
    ::close(impl.lockFile);
    impl.lockFile = -1;
}

std::shared_ptr<ServedSensor> SensorServer::Served(const std::string& serial) const
{
    std::lock_guard<std::mutex> lock(m_impl->sensorsLock);
    const auto it = m_impl->sensors.find(serial);
    return it == m_impl->sensors.end() ? nullptr : it->second.sensor;
}

void SensorServer::Impl::Run()
{
    while (!stopping) {
        pollfd entry{wake[0], POLLIN, 0};
        ::poll(&entry, 1, refreshMilliseconds);
        if (!stopping)
            Refresh();
    }
    std::lock_guard<std::mutex> lock(sensorsLock);
    sensors.clear();
}

// Reported once per problem; the sensor is tried again at every refresh.
void SensorServer::Impl::Report(const std::string& serial, const std::string& problem, bool lan)
{
    std::string& last = failed[lan ? serial + " lan" : serial];
    if (last == problem)
        return;
    last = problem;
    std::fprintf(stderr, "ostrel-sensorsim: sensor %s is not served%s: %s\n", serial.c_str(), lan ? " on the LAN" : "",
                 problem.c_str());
}

void SensorServer::Impl::Refresh()
{
    std::vector<std::string> serials;
    try {
        serials = store.Serials();
    } catch (const std::exception&) {
        // A store folder that cannot be read for a moment keeps what is served.
        return;
    }
    for (auto it = sensors.begin(); it != sensors.end();) {
        if (std::binary_search(serials.begin(), serials.end(), it->first)) {
            ++it;
        } else {
            std::lock_guard<std::mutex> lock(sensorsLock);
            it = sensors.erase(it);
        }
    }
    for (const std::string& serial : serials) {
        if (sensors.count(serial))
            continue;
        try {
            auto sensor = std::make_shared<ServedSensor>(store, serial);
            std::lock_guard<std::mutex> lock(sensorsLock);
            sensors[serial].sensor = std::move(sensor);
            failed.erase(serial);
        } catch (const std::exception& error) {
            Report(serial, error.what());
        }
    }
    for (auto& [serial, hosted] : sensors) {
        ServedSensor& sensor = *hosted.sensor;
        bool unplugged = false;
        {
            std::lock_guard<std::mutex> lock(sensor.Mutex());
            unplugged = sensor.RefreshFaults().unplugged;
        }
        if (unplugged) {
            hosted.usb.reset();
            hosted.lan.reset();
            continue;
        }
        try {
            if (sensor.Identity().onUsb && !hosted.usb)
                hosted.usb = std::make_unique<UsbTransport>(hosted.sensor, usbtmc::UsbSocketPath(folder, serial));
        } catch (const SensorServerError& error) {
            Report(serial, error.what());
        }
        try {
            if (!sensor.Identity().lanAddress.empty() && !hosted.lan) {
                hosted.lan = std::make_unique<LanTransport>(hosted.sensor, sensor.Identity().lanAddress, folder);
                failed.erase(serial + " lan");
            }
        } catch (const SensorServerError& error) {
            Report(serial, error.what(), true);
        }
    }
}
