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
    // TCPIP INSTR
    std::string host;
    std::string deviceName; // "inst0" unless given

    // "USB0::0x1B7E::0x0118::100001::INSTR", "TCPIP0::127.0.0.2::inst0::INSTR"
    std::string Canonical() const;
};

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
