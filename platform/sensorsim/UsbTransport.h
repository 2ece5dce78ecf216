#pragma once

// A served sensor on USB: a local socket in the runtime folder that speaks
// USBTMC framing (see UsbTmc.h), one thread per connection. The destructor
// closes the socket and every connection and waits for their threads.

#include "ServedSensor.h"

#include <filesystem>
#include <memory>

class UsbTransport
{
public:
    // Throws SensorServerError when the socket cannot be made.
    UsbTransport(std::shared_ptr<ServedSensor> sensor, std::filesystem::path socketPath);
    ~UsbTransport();
    UsbTransport(const UsbTransport&) = delete;
    UsbTransport& operator=(const UsbTransport&) = delete;

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};
