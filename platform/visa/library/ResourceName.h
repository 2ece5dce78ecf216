#pragma once

// VISA resource names of the two kinds this library serves, and the VISA
// regular expressions of viFindRsrc.

#include "VisaTypes.h"

#include <cstdint>
#include <optional>
#include <string>

namespace ostrel_visa
{

struct ResourceName
{
    ViUInt16 interfaceType = 0; // VI_INTF_USB or VI_INTF_TCPIP
    ViUInt16 board = 0;
    // USB INSTR
    std::uint16_t vendorId = 0;
    std::uint16_t productId = 0;
    std::string serialNumber;
    std::uint8_t interfaceNumber = 0; // written only when not 0
    // TCPIP INSTR
    std::string host;
    std::string deviceName; // "inst0" unless given

    // "USB0::0x1B7E::0x0118::100001::INSTR", "USB0::0x1209::0x0001::C123::1::INSTR",
    // "TCPIP0::127.0.0.2::inst0::INSTR"
    std::string Canonical() const;
};

// Real USB devices are on board 0, the simulated sensors' sockets on a board
// of their own, so that the two never share a name.
constexpr ViUInt16 RealUsbBoard = 0;
constexpr ViUInt16 SimulatedUsbBoard = 9;

// Whether a text can be a part of a name: printable, no spaces, no colons.
bool PlainText(const std::string& text);

// The serial number part of a device that gives none: where it was found.
std::string NoSerialName(std::uint8_t bus, std::uint8_t address);
// False when `serial` is no such name.
bool ParseNoSerialName(const std::string& serial, std::uint8_t& bus, std::uint8_t& address);

// Parses "USB[board]::vendor::product::serial[::interface]::INSTR" and
// "TCPIP[board]::host[::device]::INSTR", case-insensitive; nothing else.
std::optional<ResourceName> ParseResourceName(const std::string& text);

// Whether `name` matches the VISA expression as a whole, case-insensitive:
// ? any character, * and + repeat what stands before them, [set] and [^set],
// | and ( ), \ takes the next character as it is. False in `valid` for an
// expression that cannot be read.
bool MatchesExpression(const std::string& expression, const std::string& name, bool& valid);

// Whether some name beginning with `prefix` could match the expression: its
// leading literal characters do not contradict the prefix.
bool MayMatchPrefix(const std::string& expression, const std::string& prefix);

} // namespace ostrel_visa
