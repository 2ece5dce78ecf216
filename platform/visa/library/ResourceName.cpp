#include "ResourceName.h"

#include <cctype>
#include <cstdio>
#include <regex>
#include <vector>

namespace ostrel_visa
{

namespace
{

std::vector<std::string> Split(const std::string& text)
{
    std::vector<std::string> parts;
    std::size_t at = 0;
    for (;;) {
        const std::size_t separator = text.find("::", at);
        parts.push_back(text.substr(at, separator - at));
        if (separator == std::string::npos)
            return parts;
        at = separator + 2;
    }
}

bool EqualsIgnoringCase(const std::string& a, const char* b)
{
    std::size_t i = 0;
    for (; i < a.size() && b[i]; ++i)
        if (std::toupper(static_cast<unsigned char>(a[i])) != std::toupper(static_cast<unsigned char>(b[i])))
            return false;
    return i == a.size() && !b[i];
}

// "USB", "USB0", "USB12": the board number after the interface.
bool InterfaceAndBoard(const std::string& part, const char* interface, ViUInt16& board)
{
    const std::size_t length = std::char_traits<char>::length(interface);
    if (part.size() < length || !EqualsIgnoringCase(part.substr(0, length), interface) || part.size() > length + 4)
        return false;
    unsigned value = 0;
    for (std::size_t i = length; i < part.size(); ++i) {
        if (!std::isdigit(static_cast<unsigned char>(part[i])))
            return false;
        value = value * 10 + static_cast<unsigned>(part[i] - '0');
    }
    board = static_cast<ViUInt16>(value);
    return true;
}

// A USB id: hexadecimal with 0x, or decimal, up to 0xFFFF.
bool UsbId(const std::string& text, std::uint16_t& id)
{
    std::size_t at = 0;
    int base = 10;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        at = 2;
        base = 16;
    }
    if (at == text.size() || text.size() - at > 5)
        return false;
    unsigned value = 0;
    for (std::size_t i = at; i < text.size(); ++i) {
        const char c = static_cast<char>(std::tolower(static_cast<unsigned char>(text[i])));
        int digit = -1;
        if (c >= '0' && c <= '9')
            digit = c - '0';
        else if (base == 16 && c >= 'a' && c <= 'f')
            digit = c - 'a' + 10;
        if (digit < 0)
            return false;
        value = value * static_cast<unsigned>(base) + static_cast<unsigned>(digit);
    }
    if (value > 0xFFFF)
        return false;
    id = static_cast<std::uint16_t>(value);
    return true;
}

} // namespace

bool PlainText(const std::string& text)
{
    if (text.empty())
        return false;
    for (char c : text)
        if (static_cast<unsigned char>(c) <= ' ' || static_cast<unsigned char>(c) > '~' || c == ':')
            return false;
    return true;
}

std::string ResourceName::Canonical() const
{
    char text[512];
    if (interfaceType == VI_INTF_USB && interfaceNumber != 0)
        std::snprintf(text, sizeof text, "USB%u::0x%04X::0x%04X::%s::%u::INSTR", board, vendorId, productId,
                      serialNumber.c_str(), interfaceNumber);
    else if (interfaceType == VI_INTF_USB)
        std::snprintf(text, sizeof text, "USB%u::0x%04X::0x%04X::%s::INSTR", board, vendorId, productId,
                      serialNumber.c_str());
    else
        std::snprintf(text, sizeof text, "TCPIP%u::%s::%s::INSTR", board, host.c_str(), deviceName.c_str());
    return text;
}

std::optional<ResourceName> ParseResourceName(const std::string& text)
{
    const std::vector<std::string> parts = Split(text);
    if (parts.size() < 3 || !EqualsIgnoringCase(parts.back(), "INSTR"))
        return std::nullopt;
    ResourceName name;
    if (InterfaceAndBoard(parts[0], "USB", name.board)) {
        // USB[board]::vendor::product::serial[::interface]::INSTR
        if (parts.size() != 5 && parts.size() != 6)
            return std::nullopt;
        if (!UsbId(parts[1], name.vendorId) || !UsbId(parts[2], name.productId) || !PlainText(parts[3]))
            return std::nullopt;
        std::uint16_t interfaceNumber = 0;
        if (parts.size() == 6 && (!UsbId(parts[4], interfaceNumber) || interfaceNumber > 0xFF))
            return std::nullopt;
        name.interfaceNumber = static_cast<std::uint8_t>(interfaceNumber);
        name.interfaceType = VI_INTF_USB;
        name.serialNumber = parts[3];
        return name;
    }
    if (InterfaceAndBoard(parts[0], "TCPIP", name.board)) {
        // TCPIP[board]::host[::device]::INSTR
        if (parts.size() != 3 && parts.size() != 4)
            return std::nullopt;
        if (!PlainText(parts[1]) || (parts.size() == 4 && !PlainText(parts[2])))
            return std::nullopt;
        name.interfaceType = VI_INTF_TCPIP;
        name.host = parts[1];
        name.deviceName = parts.size() == 4 ? parts[2] : "inst0";
        return name;
    }
    return std::nullopt;
}

std::string NoSerialName(std::uint8_t bus, std::uint8_t address)
{
    return "NOSERIAL-" + std::to_string(bus) + "-" + std::to_string(address);
}

bool ParseNoSerialName(const std::string& serial, std::uint8_t& bus, std::uint8_t& address)
{
    unsigned b = 0;
    unsigned a = 0;
    char end = 0;
    if (std::sscanf(serial.c_str(), "NOSERIAL-%3u-%3u%c", &b, &a, &end) != 2 || b > 255 || a > 255 ||
        serial != NoSerialName(static_cast<std::uint8_t>(b), static_cast<std::uint8_t>(a)))
        return false;
    bus = static_cast<std::uint8_t>(b);
    address = static_cast<std::uint8_t>(a);
    return true;
}

bool MatchesExpression(const std::string& expression, const std::string& name, bool& valid)
{
    std::string pattern;
    int depth = 0;
    bool inSet = false;
    for (std::size_t i = 0; i < expression.size(); ++i) {
        const char c = expression[i];
        if (c == '\\') {
            if (++i == expression.size()) {
                valid = false;
                return false;
            }
            // Letters and digits stay literal without the backslash, which
            // would give them a meaning in the pattern ("\d").
            if (!std::isalnum(static_cast<unsigned char>(expression[i])))
                pattern += '\\';
            pattern += expression[i];
            continue;
        }
        if (inSet) {
            if (c == ']')
                inSet = false;
            pattern += c;
            continue;
        }
        switch (c) {
        case '?':
            pattern += "[^]";
            break;
        case '[':
            inSet = true;
            pattern += '[';
            if (i + 1 < expression.size() && expression[i + 1] == '^')
                pattern += expression[++i];
            break;
        case '(':
            ++depth;
            pattern += c;
            break;
        case ')':
            if (--depth < 0) {
                valid = false;
                return false;
            }
            pattern += c;
            break;
        case '*':
        case '+':
        case '|':
            pattern += c;
            break;
        default:
            if (std::isalnum(static_cast<unsigned char>(c)))
                pattern += c;
            else
                pattern += std::string("\\") + c;
        }
    }
    if (inSet || depth != 0) {
        valid = false;
        return false;
    }
    try {
        valid = true;
        return std::regex_match(name, std::regex(pattern, std::regex::ECMAScript | std::regex::icase));
    } catch (const std::regex_error&) {
        valid = false;
        return false;
    }
}

bool MayMatchPrefix(const std::string& expression, const std::string& prefix)
{
    if (expression.find('|') != std::string::npos)
        return true;
    for (std::size_t i = 0; i < prefix.size() && i < expression.size(); ++i) {
        const char c = expression[i];
        if (!std::isalnum(static_cast<unsigned char>(c)))
            return true; // anything special: cannot tell
        // A literal followed by a repetition need not appear.
        if (i + 1 < expression.size() && expression[i + 1] == '*')
            return true;
        if (std::toupper(static_cast<unsigned char>(c)) != std::toupper(static_cast<unsigned char>(prefix[i])))
            return false;
    }
    return true;
}

} // namespace ostrel_visa
