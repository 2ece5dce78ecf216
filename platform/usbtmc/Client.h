#pragma once

// The host side of a USBTMC/USB488 device on a sensor socket: control
// requests, messages out, messages in, the status byte, device clear and the
// identity from the descriptors. One thread uses a client at a time; Shutdown
// may come from any thread. A call that times out in the middle of a packet,
// or gets something that is no packet, leaves the client broken: every later
// call gives Closed, as for a device that went away.

#include "Link.h"
#include "UsbTmc.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace usbtmc
{

struct DeviceInfo
{
    std::uint16_t vendorId = 0;
    std::uint16_t productId = 0;
    std::string manufacturer;
    std::string product;
    std::string serialNumber;
};

class Client
{
public:
    LinkStatus Open(const std::string& socketPath, Deadline deadline);
    bool IsOpen() const { return m_link.IsOpen() && !m_broken; }
    void Shutdown() { m_link.Shutdown(); }

    // A control transfer. `in` (may be null) receives the IN data; `stalled`
    // tells whether the device refused the request.
    LinkStatus Control(const SetupPacket& setup, std::string_view out, std::string* in, bool& stalled,
                       Deadline deadline);

    // Sends the pieces, in order, as one message (split into transfers of at
    // most MaxTransferData bytes); the last transfer carries EOM when `end`.
    LinkStatus Write(const std::vector<std::string_view>& pieces, bool end, Deadline deadline);

    // Reads at most `capacity` message bytes straight into `destination`,
    // stopping early at the end of the message (`end` then true).
    LinkStatus Read(char* destination, std::size_t capacity, std::size_t& count, bool& end, Deadline deadline);

    LinkStatus ReadStatusByte(std::uint8_t& statusByte, Deadline deadline);
    // Device clear: the device drops unread input and output.
    LinkStatus Clear(Deadline deadline);
    LinkStatus QueryDeviceInfo(DeviceInfo& info, Deadline deadline);

private:
    LinkStatus Fail(LinkStatus status);
    std::uint8_t NextTag();

    Link m_link;
    std::uint8_t m_tag = 0;
    bool m_broken = false;
};

} // namespace usbtmc
