#pragma once

// A sensor socket that misbehaves, for the tests and benchmarks of how the
// driver and VISA libraries end their calls. It answers the requests that
// open a sensor as a sensor does, says it has a message whenever asked, and
// answers each read request (and, for one misbehaviour, the status byte
// request) in its own bad way. One connection at a time, on its own thread.

#include "Link.h"
#include "RuntimeFolder.h"
#include "UsbTmc.h"

#include <sys/socket.h>
#include <sys/un.h>

#include <atomic>
#include <filesystem>
#include <string>
#include <thread>

class HostileSensor
{
public:
    enum class Misbehaviour
    {
        Silent,              // after the first message, nothing at all
        Dribble,             // a byte every 50 ms, never the end
        EmptyTransfers,      // transfers without a byte, as fast as asked for
        WrongTags,           // answers that belong to no request, as fast as asked for
        HugeBlock,           // "#9256000000", 64 KiB, then dribbles
        StatusByteNeverComes // the status byte request is never answered
    };

    static constexpr const char* Serial = "666666";
    static constexpr std::uint16_t ProductId = 0x0118;

    explicit HostileSensor(Misbehaviour misbehaviour) : m_misbehaviour(misbehaviour)
    {
        const std::string path = usbtmc::UsbSocketPath(usbtmc::EnsureRuntimeFolder(), Serial).string();
        std::filesystem::remove(path);
        m_listener = usbtmc::Link(::socket(AF_UNIX, SOCK_STREAM, 0));
        sockaddr_un address{AF_UNIX, {}};
        path.copy(address.sun_path, sizeof address.sun_path - 1);
        if (::bind(m_listener.Descriptor(), reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
            ::listen(m_listener.Descriptor(), 4) != 0)
            throw std::runtime_error("cannot listen on " + path);
        m_path = path;
        m_thread = std::thread([this] { Serve(); });
    }

    ~HostileSensor()
    {
        m_stop = true;
        m_thread.join();
        std::filesystem::remove(m_path);
    }

    HostileSensor(const HostileSensor&) = delete;
    HostileSensor& operator=(const HostileSensor&) = delete;

private:
    using Link = usbtmc::Link;

    usbtmc::Deadline Soon() const { return usbtmc::DeadlineAfter(20); }

    void Serve()
    {
        while (!m_stop) {
            if (m_listener.WaitReadable(Soon()) != usbtmc::LinkStatus::Ok)
                continue;
            Link connection(::accept(m_listener.Descriptor(), nullptr, nullptr));
            m_silent = false;
            m_blockSent = false;
            while (!m_stop && connection.IsOpen() && Step(connection)) {
            }
        }
    }

    // One packet from the client and what this sensor makes of it; false
    // when the connection is to end.
    bool Step(Link& connection)
    {
        using namespace usbtmc;
        const LinkStatus waited = connection.WaitReadable(Soon());
        if (waited == LinkStatus::Timeout)
            return true;
        std::uint8_t endpoint = 0;
        std::uint32_t length = 0;
        if (waited != LinkStatus::Ok || connection.ReceiveHeader(endpoint, length, DeadlineAfter(1000)) != LinkStatus::Ok)
            return false;
        std::string packet(length, '\0');
        if (connection.ReceiveBytes(packet.data(), length, DeadlineAfter(1000)) != LinkStatus::Ok)
            return false;
        if (m_silent)
            return true;
        if (endpoint == EndpointControl && length >= SetupPacketSize)
            return Control(connection, DecodeSetup(packet.data()));
        BulkHeader header;
        if (endpoint != EndpointBulkOut || length < BulkHeaderSize || !DecodeBulkHeader(packet.data(), header))
            return false;
        if (header.msgId == REQUEST_DEV_DEP_MSG_IN)
            return Answer(connection, header.tag);
        m_silent = m_misbehaviour == Misbehaviour::Silent;
        return true;
    }

    bool Control(Link& connection, const usbtmc::SetupPacket& setup)
    {
        using namespace usbtmc;
        std::string reply;
        bool stall = false;
        const std::uint8_t kind = static_cast<std::uint8_t>(setup.value >> 8);
        const std::uint8_t index = static_cast<std::uint8_t>(setup.value & 0xFF);
        if (setup.request == GET_DESCRIPTOR && kind == DescriptorDevice)
            reply = EncodeDeviceDescriptor(VendorId, ProductId);
        else if (setup.request == GET_DESCRIPTOR && kind == DescriptorString && index == 0)
            reply = std::string("\x04\x03\x09\x04", 4);
        else if (setup.request == GET_DESCRIPTOR && kind == DescriptorString && index <= 3)
            reply = EncodeStringDescriptor(index == 3 ? Serial : "Hostile");
        else if (setup.requestType == RequestTypeClassInterfaceIn && setup.request == READ_STATUS_BYTE) {
            if (m_misbehaviour == Misbehaviour::StatusByteNeverComes)
                return true;
            reply = {static_cast<char>(USBTMC_STATUS_SUCCESS), static_cast<char>(index),
                     static_cast<char>(StatusMessageAvailable)};
        } else if (setup.requestType == RequestTypeVendorIn && setup.request == VendorLockState)
            reply = std::string(1, LockFree);
        else if (setup.requestType == RequestTypeVendorIn &&
                 (setup.request == VendorLock || setup.request == VendorUnlock))
            reply = "\1";
        else if (setup.request == INITIATE_CLEAR || setup.request == CHECK_CLEAR_STATUS)
            reply = {static_cast<char>(USBTMC_STATUS_SUCCESS), 0};
        else
            stall = true;
        reply.resize(std::min<std::size_t>(reply.size(), setup.length));
        const char status = static_cast<char>(stall ? ControlStall : ControlAck);
        return connection.SendPacket(EndpointControlIn, {Piece(&status, 1), Piece(reply.data(), reply.size())},
                                     usbtmc::DeadlineAfter(1000)) == LinkStatus::Ok;
    }

    bool Answer(Link& connection, std::uint8_t tag)
    {
        using namespace std::chrono_literals;
        switch (m_misbehaviour) {
        case Misbehaviour::Silent:
        case Misbehaviour::StatusByteNeverComes:
            m_silent = true;
            return true;
        case Misbehaviour::EmptyTransfers:
            return Send(connection, tag, "");
        case Misbehaviour::WrongTags:
            return Send(connection, static_cast<std::uint8_t>(tag + 1), "1");
        case Misbehaviour::HugeBlock:
            if (!m_blockSent) {
                m_blockSent = true;
                return Send(connection, tag, "#9256000000" + std::string(64 * 1024 - 11, 'x'));
            }
            [[fallthrough]];
        case Misbehaviour::Dribble:
            std::this_thread::sleep_for(50ms);
            return Send(connection, tag, "1");
        }
        return false;
    }

    bool Send(Link& connection, std::uint8_t tag, const std::string& body)
    {
        using namespace usbtmc;
        const auto header = EncodeBulkHeader({DEV_DEP_MSG_IN, tag, static_cast<std::uint32_t>(body.size()), 0, 0});
        static constexpr char zeros[4] = {};
        return connection.SendPacket(EndpointBulkIn,
                                     {Piece(header.data(), header.size()), Piece(body.data(), body.size()),
                                      Piece(zeros, PaddingFor(body.size()))},
                                     usbtmc::DeadlineAfter(1000)) == LinkStatus::Ok;
    }

    const Misbehaviour m_misbehaviour;
    usbtmc::Link m_listener;
    std::string m_path;
    std::atomic<bool> m_stop{false};
    bool m_silent = false;
    bool m_blockSent = false;
    std::thread m_thread;
};
