#include "Instrument.h"

#include "Vxi11Client.h"

#include <arpa/inet.h>
#include <netdb.h>

#include <algorithm>

namespace ostrel_visa
{

namespace
{

// A host that does not answer is given up within this, whatever the open
// timeout (which is the time to wait for a lock).
constexpr ViUInt32 connectTimeoutMs = 2000;
// An unlock has no timeout of its own.
constexpr ViUInt32 unlockTimeoutMs = 2000;
// A shorter timeout could not be met by any instrument: a call and its reply
// take a round trip.
constexpr ViUInt32 shortestTimeoutMs = 50;

// The one deadline of an operation with the session's timeout.
Clock::time_point CallDeadline(ViUInt32 timeoutMs)
{
    return DeadlineAfter(std::max(timeoutMs, shortestTimeoutMs));
}

ViStatus StatusOf(const vxi11::Result& result)
{
    switch (result.status) {
    case vxi11::Status::Ok:
        return VI_SUCCESS;
    case vxi11::Status::Timeout:
        return VI_ERROR_TMO;
    case vxi11::Status::Closed:
        return VI_ERROR_CONN_LOST;
    case vxi11::Status::Unreachable:
        return VI_ERROR_RSRC_NFOUND;
    case vxi11::Status::Protocol:
        return VI_ERROR_IO;
    case vxi11::Status::DeviceError:
        break;
    }
    switch (result.error) {
    case vxi11::ErrorLocked:
        return VI_ERROR_RSRC_LOCKED;
    case vxi11::ErrorNoLockHeld:
        return VI_ERROR_SESN_NLOCKED;
    case vxi11::ErrorIoTimeout:
        return VI_ERROR_TMO;
    case vxi11::ErrorInvalidLink:
    case vxi11::ErrorChannelNotEstablished:
        return VI_ERROR_CONN_LOST;
    case vxi11::ErrorDeviceNotAccessible:
    case vxi11::ErrorInvalidAddress:
        return VI_ERROR_RSRC_NFOUND;
    case vxi11::ErrorNotSupported:
        return VI_ERROR_NSUP_OPER;
    default:
        return VI_ERROR_IO;
    }
}

class LanInstrument : public Instrument
{
public:
    explicit LanInstrument(const ResourceName& name) : m_name(name) {}

    ViStatus Open()
    {
        return StatusOf(m_client.Open(m_name.host, m_name.deviceName, DeadlineAfter(connectTimeoutMs)));
    }

    // Another link's lock is waited for within the same timeout.
    ViStatus Write(const char* data, std::size_t count, bool end, ViUInt32 timeoutMs, std::size_t& written) override
    {
        return StatusOf(m_client.Write(std::string_view(data, count), end, CallDeadline(timeoutMs), true, written));
    }

    ViStatus Read(char* destination, std::size_t capacity, ViUInt32 timeoutMs, std::size_t& count) override
    {
        std::int32_t reason = 0;
        const ViStatus status =
            StatusOf(m_client.Read(destination, capacity, CallDeadline(timeoutMs), true, count, reason));
        if (status != VI_SUCCESS || (reason & (vxi11::ReasonEnd | vxi11::ReasonTermChar)))
            return status;
        return VI_SUCCESS_MAX_CNT;
    }

    ViStatus Lock(ViUInt32 timeoutMs) override { return StatusOf(m_client.Lock(CallDeadline(timeoutMs), true)); }
    ViStatus Unlock() override { return StatusOf(m_client.Unlock(DeadlineAfter(unlockTimeoutMs))); }
    ViStatus Clear(ViUInt32 timeoutMs) override { return StatusOf(m_client.Clear(CallDeadline(timeoutMs), true)); }

    ViStatus TextAttribute(ViAttr attribute, std::string& value) override
    {
        switch (attribute) {
        case VI_ATTR_TCPIP_HOSTNAME:
            value = m_name.host;
            return VI_SUCCESS;
        case VI_ATTR_TCPIP_DEVICE_NAME:
            value = m_name.deviceName;
            return VI_SUCCESS;
        case VI_ATTR_TCPIP_ADDR: {
            in_addr address{};
            if (inet_pton(AF_INET, m_name.host.c_str(), &address) == 1) {
                value = m_name.host;
                return VI_SUCCESS;
            }
            addrinfo hints{};
            hints.ai_family = AF_INET;
            addrinfo* found = nullptr;
            if (getaddrinfo(m_name.host.c_str(), nullptr, &hints, &found) != 0 || !found)
                return VI_ERROR_NSUP_ATTR_STATE;
            char text[INET_ADDRSTRLEN] = {};
            inet_ntop(AF_INET, &reinterpret_cast<sockaddr_in*>(found->ai_addr)->sin_addr, text, sizeof text);
            freeaddrinfo(found);
            value = text;
            return VI_SUCCESS;
        }
        default:
            return VI_ERROR_NSUP_ATTR;
        }
    }

    ViStatus NumberAttribute(ViAttr, ViUInt32&) override { return VI_ERROR_NSUP_ATTR; }

    void Shutdown() override { m_client.Shutdown(); }

private:
    ResourceName m_name;
    vxi11::Client m_client;
};

} // namespace

std::unique_ptr<Instrument> OpenUsbInstrument(const ResourceName& name, ViStatus& status, std::string& problem);

ViStatus OpenInstrument(const ResourceName& name, std::unique_ptr<Instrument>& instrument, std::string& problem)
{
    ViStatus status = VI_SUCCESS;
    if (name.interfaceType == VI_INTF_USB) {
        instrument = OpenUsbInstrument(name, status, problem);
        return status;
    }
    auto lan = std::make_unique<LanInstrument>(name);
    status = lan->Open();
    if (status == VI_SUCCESS)
        instrument = std::move(lan);
    return status;
}

} // namespace ostrel_visa
