#pragma once

// The client end of a VXI-11 core channel (VXI-11 rev. 1.0): one link to one
// device of one instrument, found through the instrument's portmapper (port
// 111). ONC RPC over TCP with record marking; every call has a deadline and
// no reply can make the client allocate more than the caller allows. One
// thread uses a client at a time; Shutdown may come from any thread and makes
// a blocked call return Closed at once.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace vxi11
{

using Clock = std::chrono::steady_clock;
using Deadline = Clock::time_point;

// VXI-11 error codes (B.5.2).
constexpr std::int32_t ErrorNone = 0;
constexpr std::int32_t ErrorSyntax = 1;
constexpr std::int32_t ErrorDeviceNotAccessible = 3;
constexpr std::int32_t ErrorInvalidLink = 4;
constexpr std::int32_t ErrorParameter = 5;
constexpr std::int32_t ErrorChannelNotEstablished = 6;
constexpr std::int32_t ErrorNotSupported = 8;
constexpr std::int32_t ErrorOutOfResources = 9;
constexpr std::int32_t ErrorLocked = 11;
constexpr std::int32_t ErrorNoLockHeld = 12;
constexpr std::int32_t ErrorIoTimeout = 15;
constexpr std::int32_t ErrorIo = 17;
constexpr std::int32_t ErrorInvalidAddress = 21;
constexpr std::int32_t ErrorAbort = 23;
constexpr std::int32_t ErrorChannelAlreadyEstablished = 29;

// Device_Flags and the reason bits of device_read.
constexpr std::int32_t FlagWaitLock = 1;
constexpr std::int32_t FlagEnd = 8;
constexpr std::int32_t FlagTermCharSet = 128;
constexpr std::int32_t ReasonRequestCount = 1;
constexpr std::int32_t ReasonTermChar = 2;
constexpr std::int32_t ReasonEnd = 4;

constexpr std::uint32_t CoreProgram = 0x0607AF;
constexpr std::uint32_t CoreVersion = 1;

enum class Status
{
    Ok,
    Timeout,     // no reply before the deadline (the link stays usable)
    Closed,      // the connection went away, or Shutdown was called
    Unreachable, // no portmapper or no core channel at that address
    Protocol,    // a reply that is no valid RPC or VXI-11 reply
    DeviceError  // the instrument answered with a VXI-11 error code (see error)
};

struct Result
{
    Status status = Status::Ok;
    std::int32_t error = ErrorNone; // with DeviceError

    bool ok() const { return status == Status::Ok; }
};

class Client
{
public:
    Client();
    ~Client(); // destroys the link when there is one, within a short time
    Client(const Client&) = delete;
    Client& operator=(const Client&) = delete;

    // Asks the portmapper of `host` (a dotted IPv4 address or a host name)
    // for the core channel, connects and makes a link to `device` ("inst0").
    Result Open(const std::string& host, const std::string& device, Deadline deadline);
    void Close();
    void Shutdown();
    bool IsOpen() const;

    // The largest write the instrument takes in one device_write
    // (maxRecvSize); Write splits longer data itself.
    std::uint32_t MaxRecvSize() const;

    // Each call below ends by its deadline, whatever the instrument sends or
    // leaves unsent. The instrument is given the time left, less a little for
    // its answer to come back, for its I/O and for another link's lock (with
    // `waitLock`), so that its own timeout is what a caller hears of. A call
    // that gives up in the middle of a reply leaves the link closed.

    // device_write of all of `data`, as many calls as the instrument needs,
    // END on its last byte when `end`; `written` gets what it took.
    Result Write(std::string_view data, bool end, Deadline deadline, bool waitLock, std::size_t& written);
    // device_read into `destination` until the message ends (END or the
    // termination character), `capacity` bytes came or the deadline; `count`
    // gets what came (on failures too), `reason` the last reason bits.
    Result Read(char* destination, std::size_t capacity, Deadline deadline, bool waitLock, std::size_t& count,
                std::int32_t& reason);
    Result Lock(Deadline deadline, bool waitLock);
    Result Unlock(Deadline deadline);
    Result Clear(Deadline deadline, bool waitLock);

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

// The VXI-11 instruments that answer a portmapper broadcast (GETPORT of the
// core program, UDP, port 111) on the broadcast address of every local IPv4
// network that is up and not loopback, within one wait of `waitMs` shared by
// all networks. Dotted addresses, sorted, each once.
std::vector<std::string> DiscoverInstruments(int waitMs);

} // namespace vxi11
