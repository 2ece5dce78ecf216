#pragma once

// Makes the sensors of a store reachable ("plugged in") while it runs: one
// local socket per sensor on USB in the runtime folder, speaking USBTMC
// framing (see UsbTmc.h), and a VXI-11 instrument at the address of each
// sensor on the LAN (see LanTransport.h). The server follows the store: sensors added or
// removed and faults changed by another process take effect within a fraction
// of a second; data written into a sensor goes to the store at once.

#include "SensorStore.h"

#include <filesystem>
#include <memory>
#include <string>
#include <stdexcept>

class SensorServerError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

class SensorServer
{
public:
    SensorServer(SensorStore store, std::filesystem::path runtimeFolder);
    ~SensorServer(); // stops
    SensorServer(const SensorServer&) = delete;
    SensorServer& operator=(const SensorServer&) = delete;

    // Claims the runtime folder (one server per folder, held by a lock file
    // that ends with the process), replaces sockets a crashed server left
    // behind, and starts serving. Throws SensorServerError with a one-line
    // text when another server holds the folder or a socket cannot be made.
    void Start();
    // Closes every connection, removes the sockets and releases the folder.
    void Stop();

    // The sensor of that serial number while it is served, else null: for
    // another transport of the same sensor (its engine, data and lock).
    std::shared_ptr<class ServedSensor> Served(const std::string& serial) const;

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};
