#pragma once

// The host side of a USBTMC/USB488 interface, whatever its pipes are (a
// sensor's socket, a USB device): control requests, messages out, messages
// in, the status byte, device clear, the abort of a transfer that timed out
// and the identity from the descriptors. One thread uses a client at a time;
// Shutdown may come from any thread. A call that gets something that is no
// USBTMC answer, or whose pipes cannot go on after a timeout, leaves the
// client broken: every later call gives Closed, as for a device that went away.

#include "Link.h"
#include "Pipes.h"
#include "UsbTmc.h"

#include <cstdint>
#include <memory>
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
    bool serialRead = true; // false: the device gave no serial number (serialNumber is empty)
};

class Client
{
public:
    LinkStatus Open(const std::string& socketPath, Deadline deadline);
    void Open(std::unique_ptr<Pipes> pipes);
    bool IsOpen() const { return m_pipes && m_pipes->Usable() && !m_broken; }
    void Shutdown();

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
    // One of the sensor's lock requests (VendorLock, VendorUnlock,
    // VendorLockState) and the byte it answers; `answer` stays as it was when
    // the device refuses the request or answers otherwise.
    LinkStatus LockRequest(std::uint8_t request, char& answer, Deadline deadline);
    // Asks VendorLock (take the lock) or VendorLockState (is it free of other
    // holders?) again and again until the sensor says yes or `deadline`
    // passes; a device that refuses the request leaves NotKnown.
    enum class LockAnswer { Yes, HeldElsewhere, NotKnown };
    LinkStatus AwaitLock(std::uint8_t request, LockAnswer& answer, Deadline deadline);
    // Device clear: the device drops unread input and output.
    LinkStatus Clear(Deadline deadline);
    // Vendor, product, manufacturer and product texts; the serial number when
    // the device gives one.
    LinkStatus QueryDeviceInfo(DeviceInfo& info, Deadline deadline);

private:
    LinkStatus Fail(LinkStatus status);
    // A timeout: the transfer is aborted when the pipes can go on, else the client breaks.
    LinkStatus TimedOut(bool bulkIn, std::uint8_t tag);
    LinkStatus Abort(bool bulkIn, std::uint8_t tag, Deadline deadline);
    LinkStatus Drain(Deadline deadline);
    LinkStatus ReadTransfer(std::uint8_t tag, char* destination, std::size_t& count, bool& end, Deadline deadline);
    LinkStatus StringDescriptor(std::uint8_t index, std::string& text, bool& stalled, Deadline deadline);
    std::uint8_t NextTag();

    std::unique_ptr<Pipes> m_pipes;
    std::uint8_t m_tag = 0;
    bool m_broken = false;
    // How long the abort of a transfer of the call under way may take.
    long long m_abortMs = 0;
};

} // namespace usbtmc
