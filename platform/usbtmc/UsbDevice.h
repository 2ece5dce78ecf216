#pragma once

// USBTMC interfaces of real USB devices, through libusb-1.0: finding them on
// every bus, and their pipes for a Client. An interface is found by its class
// codes (application class 0xFE, subclass 0x03) on whatever interface number
// it has. While the pipes are open the interface is claimed; a kernel driver
// that held it is detached for that time and given back afterwards.
//
// Each listing and each open device has a libusb context of its own, so a
// device plugged in a moment ago is seen and no event thread is shared.

#include "Client.h"
#include "Pipes.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace usbtmc
{

struct UsbTmcInterface
{
    std::uint8_t bus = 0;
    std::uint8_t address = 0;
    std::uint16_t vendorId = 0;
    std::uint16_t productId = 0;
    std::uint8_t interfaceNumber = 0;
    std::uint8_t protocol = 0; // 1: USB488
    // From the device's string descriptors, or for a device that cannot be
    // opened from what the kernel read of them; empty when unknown.
    std::string manufacturer;
    std::string product;
    std::string serialNumber;
    bool serialRead = false;
    // Why the device could not be opened or read, in words a user can act
    // on; empty when it could.
    std::string problem;

    // "bus 1, address 5 (vendor 0x1B7E, product 0x0118)"
    std::string Where() const;
};

// Every USBTMC interface of every USB device, by bus, address and interface
// number. No USB at all (no usbfs) gives an empty list.
std::vector<UsbTmcInterface> ListUsbTmcInterfaces();

// What picks one interface: the vendor, the product unless any will do, the
// serial number (for a device without one, the bus and address where it was
// found) and the interface number (or the first USBTMC interface).
struct UsbTmcSelector
{
    std::uint16_t vendorId = 0;
    std::optional<std::uint16_t> productId;
    std::string serialNumber;
    bool bySerial = true;
    std::uint8_t bus = 0;
    std::uint8_t address = 0;
    std::optional<std::uint8_t> interfaceNumber;
};

enum class OpenResult
{
    Ok,
    NotFound,  // no such device or interface is plugged in
    NoAccess,  // the user may not open the device
    Busy,      // another program holds the interface
    Failed     // anything else; `problem` says what
};

// Opens the interface and claims it. `info` gets the device's texts;
// `problem` the reason when it fails.
OpenResult OpenUsbTmc(const UsbTmcSelector& selector, std::unique_ptr<Pipes>& pipes, DeviceInfo& info,
                      std::string& problem);

// The text for a device the user may not open.
std::string NoAccessText(const UsbTmcInterface& device);

} // namespace usbtmc
