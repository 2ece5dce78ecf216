#include "UsbTmc.h"

namespace usbtmc
{

namespace
{

void PutLittleEndian16(char* at, std::uint16_t value)
{
    at[0] = static_cast<char>(value & 0xFF);
    at[1] = static_cast<char>(value >> 8);
}

std::uint16_t GetLittleEndian16(const char* at)
{
    return static_cast<std::uint16_t>(static_cast<unsigned char>(at[0]) | static_cast<unsigned char>(at[1]) << 8);
}

} // namespace

void PutLittleEndian32(char* at, std::uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        at[i] = static_cast<char>((value >> (8 * i)) & 0xFF);
}

std::uint32_t GetLittleEndian32(const char* at)
{
    std::uint32_t value = 0;
    for (int i = 3; i >= 0; --i)
        value = value << 8 | static_cast<unsigned char>(at[i]);
    return value;
}

std::array<char, LinkHeaderSize> EncodeLinkHeader(std::uint8_t endpoint, std::uint32_t length)
{
    std::array<char, LinkHeaderSize> bytes{};
    bytes[0] = static_cast<char>(endpoint);
    PutLittleEndian32(bytes.data() + 4, length);
    return bytes;
}

bool DecodeLinkHeader(const char* bytes, std::uint8_t& endpoint, std::uint32_t& length)
{
    if (bytes[1] != 0 || bytes[2] != 0 || bytes[3] != 0)
        return false;
    endpoint = static_cast<std::uint8_t>(bytes[0]);
    length = GetLittleEndian32(bytes + 4);
    return length <= MaxPacketLength;
}

std::array<char, SetupPacketSize> EncodeSetup(const SetupPacket& setup)
{
    std::array<char, SetupPacketSize> bytes{};
    bytes[0] = static_cast<char>(setup.requestType);
    bytes[1] = static_cast<char>(setup.request);
    PutLittleEndian16(bytes.data() + 2, setup.value);
    PutLittleEndian16(bytes.data() + 4, setup.index);
    PutLittleEndian16(bytes.data() + 6, setup.length);
    return bytes;
}

SetupPacket DecodeSetup(const char* bytes)
{
    SetupPacket setup;
    setup.requestType = static_cast<std::uint8_t>(bytes[0]);
    setup.request = static_cast<std::uint8_t>(bytes[1]);
    setup.value = GetLittleEndian16(bytes + 2);
    setup.index = GetLittleEndian16(bytes + 4);
    setup.length = GetLittleEndian16(bytes + 6);
    return setup;
}

std::array<char, BulkHeaderSize> EncodeBulkHeader(const BulkHeader& header)
{
    std::array<char, BulkHeaderSize> bytes{};
    bytes[0] = static_cast<char>(header.msgId);
    bytes[1] = static_cast<char>(header.tag);
    bytes[2] = static_cast<char>(~header.tag);
    PutLittleEndian32(bytes.data() + 4, header.transferSize);
    bytes[8] = static_cast<char>(header.attributes);
    bytes[9] = static_cast<char>(header.termChar);
    return bytes;
}

bool DecodeBulkHeader(const char* bytes, BulkHeader& header)
{
    if (static_cast<std::uint8_t>(bytes[1]) != static_cast<std::uint8_t>(~bytes[2]) || bytes[3] != 0 ||
        bytes[10] != 0 || bytes[11] != 0)
        return false;
    header.msgId = static_cast<std::uint8_t>(bytes[0]);
    header.tag = static_cast<std::uint8_t>(bytes[1]);
    header.transferSize = GetLittleEndian32(bytes + 4);
    header.attributes = static_cast<std::uint8_t>(bytes[8]);
    header.termChar = static_cast<std::uint8_t>(bytes[9]);
    return true;
}

std::string EncodeStringDescriptor(const std::string& text)
{
    // bLength is one byte: at most 126 characters fit.
    const std::size_t count = text.size() < 126 ? text.size() : 126;
    std::string descriptor(2 + 2 * count, '\0');
    descriptor[0] = static_cast<char>(descriptor.size());
    descriptor[1] = static_cast<char>(DescriptorString);
    for (std::size_t i = 0; i < count; ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        descriptor[2 + 2 * i] = static_cast<char>(c < 0x80 ? c : '?');
    }
    return descriptor;
}

bool DecodeStringDescriptor(const std::string& descriptor, std::string& text)
{
    if (descriptor.size() < 2 || static_cast<unsigned char>(descriptor[0]) != descriptor.size() ||
        descriptor[1] != static_cast<char>(DescriptorString) || descriptor.size() % 2 != 0)
        return false;
    text.clear();
    for (std::size_t i = 2; i < descriptor.size(); i += 2) {
        const std::uint16_t unit = GetLittleEndian16(descriptor.data() + i);
        text += unit < 0x80 ? static_cast<char>(unit) : '?';
    }
    return true;
}

std::string EncodeDeviceDescriptor(std::uint16_t vendorId, std::uint16_t productId)
{
    std::string d(18, '\0');
    d[0] = 18;                                 // bLength
    d[1] = static_cast<char>(DescriptorDevice);
    PutLittleEndian16(&d[2], 0x0200);          // bcdUSB 2.0
    d[7] = 64;                                 // bMaxPacketSize0
    PutLittleEndian16(&d[8], vendorId);
    PutLittleEndian16(&d[10], productId);
    PutLittleEndian16(&d[12], 0x0100);         // bcdDevice
    d[14] = 1;                                 // iManufacturer
    d[15] = 2;                                 // iProduct
    d[16] = 3;                                 // iSerialNumber
    d[17] = 1;                                 // bNumConfigurations
    return d;
}

bool DecodeDeviceDescriptor(const std::string& descriptor, std::uint16_t& vendorId, std::uint16_t& productId)
{
    if (descriptor.size() != 18 || descriptor[0] != 18 || descriptor[1] != static_cast<char>(DescriptorDevice))
        return false;
    vendorId = GetLittleEndian16(descriptor.data() + 8);
    productId = GetLittleEndian16(descriptor.data() + 10);
    return true;
}

} // namespace usbtmc
