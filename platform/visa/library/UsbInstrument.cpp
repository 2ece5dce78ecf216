#include "Instrument.h"

#include "Client.h"
#include "RuntimeFolder.h"
#include "UsbDevice.h"

#include <cctype>
#include <thread>

namespace ostrel_visa
{

namespace
{

using usbtmc::LinkStatus;

ViStatus StatusOf(LinkStatus status)
{
    switch (status) {
    case LinkStatus::Ok:
        return VI_SUCCESS;
    case LinkStatus::Timeout:
        return VI_ERROR_TMO;
    case LinkStatus::Closed:
        return VI_ERROR_CONN_LOST;
    case LinkStatus::Protocol:
        return VI_ERROR_IO;
    case LinkStatus::System:
        break;
    }
    return VI_ERROR_SYSTEM_ERROR;
}

constexpr int controlTimeoutMs = 2000;
using usbtmc::Client;

class UsbInstrument : public Instrument
{
public:
    // A device on the bus cannot tell that a session has ended: its lock
    // goes with the session.
    ~UsbInstrument() override
    {
        if (m_locked)
            Unlock();
    }

    ViStatus Open(const ResourceName& name, std::string& problem)
    {
        if (name.board == RealUsbBoard)
            return OpenReal(name, problem);
        if (name.board != SimulatedUsbBoard || name.interfaceNumber != 0)
            return VI_ERROR_RSRC_NFOUND;
        // Serial numbers that could leave the folder name no socket.
        for (char c : name.serialNumber)
            if (!std::isalnum(static_cast<unsigned char>(c)) && c != '.' && c != '_' && c != '-')
                return VI_ERROR_RSRC_NFOUND;
        const auto deadline = usbtmc::DeadlineAfter(controlTimeoutMs);
        const std::string path = usbtmc::UsbSocketPath(usbtmc::RuntimeFolder(), name.serialNumber).string();
        LinkStatus status = m_client.Open(path, deadline);
        if (status == LinkStatus::Ok)
            status = m_client.QueryDeviceInfo(m_info, deadline);
        if (status != LinkStatus::Ok || m_info.vendorId != name.vendorId || m_info.productId != name.productId ||
            m_info.serialNumber != name.serialNumber)
            return status == LinkStatus::Timeout ? VI_ERROR_TMO : VI_ERROR_RSRC_NFOUND;
        return VI_SUCCESS;
    }

    ViStatus OpenReal(const ResourceName& name, std::string& problem)
    {
        usbtmc::UsbTmcSelector selector;
        selector.vendorId = name.vendorId;
        selector.productId = name.productId;
        selector.interfaceNumber = name.interfaceNumber;
        selector.serialNumber = name.serialNumber;
        selector.bySerial = !ParseNoSerialName(name.serialNumber, selector.bus, selector.address);
        std::unique_ptr<usbtmc::Pipes> pipes;
        switch (usbtmc::OpenUsbTmc(selector, pipes, m_info, problem)) {
        case usbtmc::OpenResult::Ok:
            break;
        case usbtmc::OpenResult::NotFound:
            return VI_ERROR_RSRC_NFOUND;
        case usbtmc::OpenResult::NoAccess:
            return VI_ERROR_NPERMISSION;
        case usbtmc::OpenResult::Busy:
            return VI_ERROR_RSRC_BUSY;
        case usbtmc::OpenResult::Failed:
            return VI_ERROR_SYSTEM_ERROR;
        }
        m_client.Open(std::move(pipes));
        m_interfaceNumber = name.interfaceNumber;
        // Only a sensor knows the lock request; any other instrument is kept
        // from other programs by the claim on its interface alone.
        m_vendorLock = m_info.vendorId == usbtmc::VendorId;
        return VI_SUCCESS;
    }

    ViStatus Write(const char* data, std::size_t count, bool end, ViUInt32 timeoutMs, std::size_t& written) override
    {
        written = 0;
        const auto deadline = DeadlineAfter(timeoutMs);
        ViStatus status = WaitWhileLockedElsewhere(deadline);
        if (status == VI_SUCCESS)
            status = StatusOf(m_client.Write({std::string_view(data, count)}, end, deadline));
        if (status == VI_SUCCESS)
            written = count;
        return status;
    }

    ViStatus Read(char* destination, std::size_t capacity, ViUInt32 timeoutMs, std::size_t& count) override
    {
        count = 0;
        const auto deadline = DeadlineAfter(timeoutMs);
        ViStatus status = WaitWhileLockedElsewhere(deadline);
        bool end = false;
        if (status == VI_SUCCESS)
            status = StatusOf(m_client.Read(destination, capacity, count, end, deadline));
        // The lock taken after the message was sent: the sensor dropped it.
        if (status == VI_ERROR_TMO && WaitWhileLockedElsewhere(Clock::now()) == VI_ERROR_RSRC_LOCKED)
            return VI_ERROR_RSRC_LOCKED;
        if (status != VI_SUCCESS)
            return status;
        return end ? VI_SUCCESS : VI_SUCCESS_MAX_CNT;
    }

    ViStatus Lock(ViUInt32 timeoutMs) override
    {
        if (!m_vendorLock)
            return m_client.IsOpen() ? VI_SUCCESS : VI_ERROR_CONN_LOST;
        auto answer = Client::LockAnswer::NotKnown;
        const ViStatus status = StatusOf(m_client.AwaitLock(usbtmc::VendorLock, answer, DeadlineAfter(timeoutMs)));
        if (status != VI_SUCCESS)
            return status;
        m_locked = answer == Client::LockAnswer::Yes;
        return m_locked ? VI_SUCCESS : answer == Client::LockAnswer::HeldElsewhere ? VI_ERROR_RSRC_LOCKED : VI_ERROR_IO;
    }

    ViStatus Unlock() override
    {
        if (!m_vendorLock)
            return m_client.IsOpen() ? VI_SUCCESS : VI_ERROR_CONN_LOST;
        std::string reply;
        bool stalled = false;
        const ViStatus status = StatusOf(m_client.Control({usbtmc::RequestTypeVendorIn, usbtmc::VendorUnlock, 0, 0, 1},
                                                          {}, &reply, stalled, usbtmc::DeadlineAfter(controlTimeoutMs)));
        if (status != VI_SUCCESS)
            return status;
        m_locked = false;
        return !stalled && reply == "\1" ? VI_SUCCESS : VI_ERROR_SESN_NLOCKED;
    }

    ViStatus Clear(ViUInt32 timeoutMs) override
    {
        const auto deadline = DeadlineAfter(timeoutMs);
        const ViStatus status = WaitWhileLockedElsewhere(deadline);
        return status != VI_SUCCESS ? status : StatusOf(m_client.Clear(deadline));
    }

    ViStatus TextAttribute(ViAttr attribute, std::string& value) override
    {
        switch (attribute) {
        case VI_ATTR_MODEL_NAME:
            value = m_info.product;
            return VI_SUCCESS;
        case VI_ATTR_MANF_NAME:
            value = m_info.manufacturer;
            return VI_SUCCESS;
        case VI_ATTR_USB_SERIAL_NUM:
            if (!m_info.serialRead)
                return VI_ERROR_NSUP_ATTR;
            value = m_info.serialNumber;
            return VI_SUCCESS;
        default:
            return VI_ERROR_NSUP_ATTR;
        }
    }

    ViStatus NumberAttribute(ViAttr attribute, ViUInt32& value) override
    {
        switch (attribute) {
        case VI_ATTR_MANF_ID:
            value = m_info.vendorId;
            return VI_SUCCESS;
        case VI_ATTR_MODEL_CODE:
            value = m_info.productId;
            return VI_SUCCESS;
        case VI_ATTR_USB_INTFC_NUM:
            value = m_interfaceNumber;
            return VI_SUCCESS;
        default:
            return VI_ERROR_NSUP_ATTR;
        }
    }

    void Shutdown() override { m_client.Shutdown(); }

private:
    // I/O of a session without the lock waits, up to `deadline`, while
    // another holds it, and is then refused, as VISA has it. A sensor that
    // cannot tell is taken as unlocked.
    ViStatus WaitWhileLockedElsewhere(Clock::time_point deadline)
    {
        if (!m_vendorLock || m_locked)
            return VI_SUCCESS;
        auto answer = Client::LockAnswer::NotKnown;
        const ViStatus status = StatusOf(m_client.AwaitLock(usbtmc::VendorLockState, answer, deadline));
        return status != VI_SUCCESS                          ? status
               : answer == Client::LockAnswer::HeldElsewhere ? VI_ERROR_RSRC_LOCKED
                                                             : VI_SUCCESS;
    }

    usbtmc::Client m_client;
    usbtmc::DeviceInfo m_info;
    std::uint8_t m_interfaceNumber = 0;
    bool m_vendorLock = true;
    bool m_locked = false; // this session holds the sensor's lock
};

} // namespace

std::unique_ptr<Instrument> OpenUsbInstrument(const ResourceName& name, ViStatus& status, std::string& problem)
{
    auto instrument = std::make_unique<UsbInstrument>();
    status = instrument->Open(name, problem);
    return status == VI_SUCCESS ? std::move(instrument) : nullptr;
}

ViUInt32 MillisecondsUntil(Clock::time_point deadline)
{
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left <= 0 ? 0 : static_cast<ViUInt32>(std::min<long long>(left, 0x7FFFFFFF));
}

Clock::time_point DeadlineAfter(ViUInt32 timeoutMs)
{
    if (timeoutMs == VI_TMO_INFINITE)
        return Clock::time_point::max();
    return Clock::now() + std::chrono::milliseconds(timeoutMs);
}

} // namespace ostrel_visa
