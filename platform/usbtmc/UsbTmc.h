#pragma once

// The USB test and measurement class (USBTMC 1.0 with the USB488 subclass) as
// it travels over a local stream socket between a host (the driver library,
// the VISA library) and a simulated sensor. Every USB transfer is one packet:
//
//   link header, 8 bytes: endpoint address, three zero bytes, transfer length
//                         (32 bit, little endian)
//   the transfer:         for the control endpoint 0x00 the 8-byte setup packet
//                         followed by the OUT data; for its reply on 0x80 one
//                         status byte (Ack or Stall) followed by the IN data;
//                         for the bulk endpoints 0x01 and 0x81 the 12-byte
//                         USBTMC bulk header, the message bytes and zero
//                         padding to a multiple of four.
//
// So the same host code serves a real USB device once a transport hands it the
// transfers instead of the socket.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

namespace usbtmc
{

constexpr std::uint8_t EndpointControl = 0x00;
constexpr std::uint8_t EndpointControlIn = 0x80;
constexpr std::uint8_t EndpointBulkOut = 0x01;
constexpr std::uint8_t EndpointBulkIn = 0x81;

constexpr std::size_t LinkHeaderSize = 8;
constexpr std::size_t BulkHeaderSize = 12;
constexpr std::size_t SetupPacketSize = 8;

// Message bytes in one bulk transfer at most; longer messages are split.
constexpr std::uint32_t MaxTransferData = 8u << 20;
// A packet longer than this is a protocol fault and ends the connection.
constexpr std::uint32_t MaxPacketLength = MaxTransferData + BulkHeaderSize + 4;

// USBTMC bulk MsgID values (USBTMC 1.0, table 2).
constexpr std::uint8_t DEV_DEP_MSG_OUT = 1;
constexpr std::uint8_t REQUEST_DEV_DEP_MSG_IN = 2;
constexpr std::uint8_t DEV_DEP_MSG_IN = 2;
// bmTransferAttributes
constexpr std::uint8_t AttributeEom = 0x01;
constexpr std::uint8_t AttributeTermChar = 0x02;

// Control requests. bmRequestType values:
constexpr std::uint8_t RequestTypeStandardIn = 0x80;
constexpr std::uint8_t RequestTypeClassInterfaceIn = 0xA1;
constexpr std::uint8_t RequestTypeVendorOut = 0x40;
constexpr std::uint8_t RequestTypeVendorIn = 0xC0;
constexpr std::uint8_t RequestTypeClassEndpointIn = 0xA2;
constexpr std::uint8_t RequestTypeStandardEndpointOut = 0x02;
// Standard (USB 2.0, 9.4).
constexpr std::uint8_t CLEAR_FEATURE = 1;
constexpr std::uint8_t GET_DESCRIPTOR = 6;
constexpr std::uint8_t DescriptorDevice = 1;
constexpr std::uint8_t DescriptorString = 3;
constexpr std::uint16_t FeatureEndpointHalt = 0;
// USBTMC class requests (table 15) and USB488 (table 9).
constexpr std::uint8_t INITIATE_ABORT_BULK_OUT = 1;
constexpr std::uint8_t CHECK_ABORT_BULK_OUT_STATUS = 2;
constexpr std::uint8_t INITIATE_ABORT_BULK_IN = 3;
constexpr std::uint8_t CHECK_ABORT_BULK_IN_STATUS = 4;
constexpr std::uint8_t INITIATE_CLEAR = 5;
constexpr std::uint8_t CHECK_CLEAR_STATUS = 6;
constexpr std::uint8_t GET_CAPABILITIES = 7;
constexpr std::uint8_t READ_STATUS_BYTE = 128;
// USBTMC_status values (table 16).
constexpr std::uint8_t USBTMC_STATUS_SUCCESS = 0x01;
constexpr std::uint8_t USBTMC_STATUS_PENDING = 0x02;
constexpr std::uint8_t USBTMC_STATUS_FAILED = 0x80;
constexpr std::uint8_t USBTMC_STATUS_TRANSFER_NOT_IN_PROGRESS = 0x81;
// The interface class of a USBTMC function, and its USB488 protocol.
constexpr std::uint8_t InterfaceClassApplication = 0xFE;
constexpr std::uint8_t InterfaceSubclassUsbTmc = 0x03;
constexpr std::uint8_t InterfaceProtocolUsb488 = 0x01;
// USB488 interrupt-IN notification of READ_STATUS_BYTE: 0x80 | bTag, then the status byte.
constexpr std::uint8_t NotifyStatusByte = 0x80;
// The sensor's vendor requests.
//   OUT StoreAndRestart, wValue 1, wIndex 0: keep the written data, then restart.
//   IN  GetError: removes the oldest entry of the error queue and gives the
//       sensor error code (32 bit, 0 when the queue is empty), the SCPI code
//       (signed 32 bit) and the SCPI text, all little endian.
//   IN  Lock / Unlock: one byte, 1 when the exclusive lock is now held by this
//       connection (Lock) or was released (Unlock), 0 when another holds it.
//       While another connection holds the lock, the sensor refuses this
//       connection's messages: it drops them unexecuted and answers no read.
//   IN  LockState: one byte, 0 when nobody holds the lock, 1 when this
//       connection does, 2 when another does.
constexpr std::uint8_t VendorStoreAndRestart = 1;
constexpr std::uint8_t VendorGetError = 0x20;
constexpr std::uint8_t VendorLock = 0x30;
constexpr std::uint8_t VendorUnlock = 0x31;
constexpr std::uint8_t VendorLockState = 0x32;
constexpr char LockFree = 0;
constexpr char LockHeldHere = 1;
constexpr char LockHeldElsewhere = 2;

// Status byte bits (IEEE 488.2 / SCPI).
constexpr std::uint8_t StatusErrorQueue = 0x04;
constexpr std::uint8_t StatusMessageAvailable = 0x10;

// Control reply status.
constexpr std::uint8_t ControlAck = 0;
constexpr std::uint8_t ControlStall = 1;

// The sensor's error codes as GetError gives them.
constexpr std::uint32_t SensorErrorBlockData = 0xD0000001;       // the data block was refused
constexpr std::uint32_t SensorErrorSettingsConflict = 0xD0000002; // a data set not for this area or sensor
constexpr std::uint32_t SensorErrorUndefinedHeader = 0xD0000089;  // the command is unknown
// Any other SCPI error: this base with the low 16 bits of the SCPI code.
constexpr std::uint32_t SensorErrorScpiBase = 0xD0010000;

constexpr std::uint16_t VendorId = 0x1B7E;

struct SetupPacket
{
    std::uint8_t requestType = 0;
    std::uint8_t request = 0;
    std::uint16_t value = 0;
    std::uint16_t index = 0;
    std::uint16_t length = 0;
};

struct BulkHeader
{
    std::uint8_t msgId = 0;
    std::uint8_t tag = 0;
    std::uint32_t transferSize = 0;
    std::uint8_t attributes = 0;
    std::uint8_t termChar = 0;
};

std::array<char, LinkHeaderSize> EncodeLinkHeader(std::uint8_t endpoint, std::uint32_t length);
// False when the reserved bytes are not zero or the length exceeds MaxPacketLength.
bool DecodeLinkHeader(const char* bytes, std::uint8_t& endpoint, std::uint32_t& length);

std::array<char, SetupPacketSize> EncodeSetup(const SetupPacket& setup);
SetupPacket DecodeSetup(const char* bytes);

std::array<char, BulkHeaderSize> EncodeBulkHeader(const BulkHeader& header);
// False when bTagInverse does not match bTag or a reserved byte is set.
bool DecodeBulkHeader(const char* bytes, BulkHeader& header);

// Zero bytes that pad `size` message bytes to a multiple of four.
constexpr std::size_t PaddingFor(std::size_t size) { return (4 - size % 4) % 4; }

void PutLittleEndian32(char* at, std::uint32_t value);
std::uint32_t GetLittleEndian32(const char* at);

// A USB string descriptor for an ASCII text (UTF-16LE), and back; characters
// outside ASCII become '?'.
std::string EncodeStringDescriptor(const std::string& text);
bool DecodeStringDescriptor(const std::string& descriptor, std::string& text);

// The 18-byte device descriptor of a sensor: vendor, product and the string
// indexes 1 (manufacturer), 2 (product), 3 (serial number).
std::string EncodeDeviceDescriptor(std::uint16_t vendorId, std::uint16_t productId);
bool DecodeDeviceDescriptor(const std::string& descriptor, std::uint16_t& vendorId, std::uint16_t& productId);

} // namespace usbtmc
