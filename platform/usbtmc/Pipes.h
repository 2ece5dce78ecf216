#pragma once

// The pipes of one USBTMC interface as its client uses them: the default
// control pipe, bulk-OUT, bulk-IN and, for USB488 devices that have one,
// interrupt-IN. What carries them is the pipes' business: a sensor's local
// socket (SocketPipes) or a USB device through libusb (UsbDevice.h). The
// client above writes the USBTMC messages once for both.
//
// Transfers follow USB: a bulk-IN transfer ends when `capacity` bytes came
// or at a short packet (fewer bytes than MaxPacketSize() in one packet).
// A call that reaches its deadline gives Timeout; what it already moved is
// in `count`. Usable() tells whether a pipe that timed out can go on (a USB
// device can, after the client's abort; a socket cut in the middle of a
// packet cannot).

#include "Link.h"
#include "UsbTmc.h"

#include <sys/uio.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace usbtmc
{

class Pipes
{
public:
    virtual ~Pipes() = default;

    // A control transfer on the default pipe; `in` (may be null) receives
    // the IN data, `stalled` tells whether the device refused the request.
    virtual LinkStatus Control(const SetupPacket& setup, std::string_view out, std::string* in, bool& stalled,
                               Deadline deadline) = 0;
    // One bulk-OUT transfer made of the pieces in order.
    virtual LinkStatus BulkOut(const std::vector<iovec>& pieces, Deadline deadline) = 0;
    virtual LinkStatus BulkIn(char* destination, std::size_t capacity, std::size_t& count, Deadline deadline) = 0;
    virtual LinkStatus InterruptIn(char* destination, std::size_t capacity, std::size_t& count,
                                   Deadline deadline) = 0;
    virtual LinkStatus ClearHalt(std::uint8_t endpoint, Deadline deadline) = 0;

    virtual bool HasInterruptIn() const = 0;
    virtual std::uint8_t InterfaceNumber() const = 0;
    virtual std::uint8_t BulkOutEndpoint() const = 0;
    virtual std::uint8_t BulkInEndpoint() const = 0;
    virtual std::size_t MaxPacketSize() const = 0;
    virtual bool Usable() const = 0;
    // From any thread: a blocked call returns Closed at once, and so does every later one.
    virtual void Shutdown() = 0;
};

// A simulated sensor's socket (see UsbTmc.h): a bulk-IN transfer is one
// packet of the stream.
class SocketPipes : public Pipes
{
public:
    static LinkStatus Connect(const std::string& socketPath, Deadline deadline, std::unique_ptr<Pipes>& pipes);

    LinkStatus Control(const SetupPacket& setup, std::string_view out, std::string* in, bool& stalled,
                       Deadline deadline) override;
    LinkStatus BulkOut(const std::vector<iovec>& pieces, Deadline deadline) override;
    LinkStatus BulkIn(char* destination, std::size_t capacity, std::size_t& count, Deadline deadline) override;
    LinkStatus InterruptIn(char*, std::size_t, std::size_t& count, Deadline) override;
    LinkStatus ClearHalt(std::uint8_t, Deadline) override { return LinkStatus::Ok; }

    bool HasInterruptIn() const override { return false; }
    std::uint8_t InterfaceNumber() const override { return 0; }
    std::uint8_t BulkOutEndpoint() const override { return EndpointBulkOut; }
    std::uint8_t BulkInEndpoint() const override { return EndpointBulkIn; }
    std::size_t MaxPacketSize() const override { return 512; }
    bool Usable() const override { return m_link.IsOpen() && !m_broken; }
    void Shutdown() override;

private:
    LinkStatus Fail(LinkStatus status);
    // Reads up to the next bulk-IN packet, skipping what is left of the current one.
    LinkStatus SkipRest(Deadline deadline);

    Link m_link;
    std::size_t m_left = 0;      // bytes of the current bulk-IN packet not read yet
    bool m_inPacket = false;     // a bulk-IN packet has begun and not ended
    bool m_broken = false;
};

} // namespace usbtmc
