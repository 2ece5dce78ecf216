#pragma once

// A served sensor on the LAN: a VXI-11 instrument at one IPv4 address, with
// a portmapper of its own on port 111 of that address (TCP and UDP, answering
// broadcasts on the address's network too) and the core channel, device
// "inst0", on a free port; one thread per connection. While it serves, the
// runtime folder announces the address (RuntimeFolder.h). The destructor
// closes every socket and connection and waits for their threads.

#include "ServedSensor.h"

#include <filesystem>
#include <memory>
#include <string>

class LanTransport
{
public:
    // Throws SensorServerError with a one-line text when the address or its
    // port 111 cannot be had.
    LanTransport(std::shared_ptr<ServedSensor> sensor, const std::string& address,
                 const std::filesystem::path& runtimeFolder);
    ~LanTransport();
    LanTransport(const LanTransport&) = delete;
    LanTransport& operator=(const LanTransport&) = delete;

    // The largest device_write the core channel takes (maxRecvSize): no
    // more, since some clients set END only on a last piece of at most 1024
    // bytes, and their longer pieces would never end a message.
    static constexpr std::uint32_t MaxRecvSize = 1024;

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};
