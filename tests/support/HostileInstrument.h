#pragma once

// A VXI-11 instrument that misbehaves at one stage of a session, for the
// tests and benchmarks of how the VXI-11 client ends its calls. Its
// portmapper on port 111 of `address` names the same port as the core
// channel; every call is answered as an instrument would, but those of the
// chosen stage, which get the misbehaviour. One connection at a time, on its
// own thread. Serve it on loopback inside a network namespace of the
// program's own (PrivateNetwork.h).

#include "RpcChannel.h"
#include "Vxi11Client.h"
#include "vxi11.h"

#include <arpa/inet.h>
#include <rpc/pmap_prot.h>
#include <sys/socket.h>

#include <atomic>
#include <stdexcept>
#include <string>
#include <thread>

class HostileInstrument
{
public:
    enum class Stage { Portmapper, CreateLink, Write, Read, Lock };
    enum class Misbehaviour
    {
        WrongXids,       // replies to no call, as fast as they go
        EmptyFragments,  // a record of empty non-last fragments without end
        Dribble,         // the reply a byte every 50 ms
        Piecemeal,       // every 50 ms a reply taking 1 KiB of a write, or giving one byte of a read without END
        TinyReceiveSize, // the link takes writes of one byte each (maxRecvSize 1)
        Silent           // no reply
    };

    HostileInstrument(const char* address, Stage stage, Misbehaviour misbehaviour)
        : m_stage(stage), m_misbehaviour(misbehaviour), m_listener(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0))
    {
        const int on = 1;
        ::setsockopt(m_listener.Descriptor(), SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
        sockaddr_in local{AF_INET, htons(PMAPPORT), {::inet_addr(address)}, {}};
        if (::bind(m_listener.Descriptor(), reinterpret_cast<sockaddr*>(&local), sizeof local) != 0 ||
            ::listen(m_listener.Descriptor(), 4) != 0)
            throw std::runtime_error(std::string("cannot listen on port 111 of ") + address);
        m_thread = std::thread([this] { Serve(); });
    }

    ~HostileInstrument()
    {
        m_stop = true;
        m_thread.join();
    }

    HostileInstrument(const HostileInstrument&) = delete;
    HostileInstrument& operator=(const HostileInstrument&) = delete;

private:
    using LinkStatus = usbtmc::LinkStatus;

    static usbtmc::Deadline Soon() { return usbtmc::DeadlineAfter(20); }

    void Serve()
    {
        while (!m_stop) {
            if (m_listener.WaitReadable(Soon()) != LinkStatus::Ok)
                continue;
            vxi11::RpcChannel channel(usbtmc::Link(::accept4(m_listener.Descriptor(), nullptr, nullptr, SOCK_CLOEXEC)));
            channel.SetLimit(vxi11::rpc::MaxHeaderSize + (2 << 20));
            while (!m_stop) {
                const LinkStatus status = channel.Begin(Soon());
                if (status != LinkStatus::Timeout && (status != LinkStatus::Ok || !Answer(channel)))
                    break;
            }
        }
    }

    void Pause()
    {
        for (int i = 0; i < 5 && !m_stop; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }

    // False once the client is gone or stopped reading.
    bool Send(vxi11::RpcChannel& channel, const std::string& bytes, bool dribble = false)
    {
        const std::size_t piece = dribble ? 1 : bytes.size();
        for (std::size_t done = 0; done < bytes.size() && !m_stop; done += piece) {
            if (dribble)
                Pause();
            if (channel.Link().SendBytes({usbtmc::Piece(bytes.data() + done, piece)}, usbtmc::DeadlineAfter(1000)) !=
                LinkStatus::Ok)
                return false;
        }
        return !m_stop;
    }

    // One call read and answered; false when the connection is to end.
    bool Answer(vxi11::RpcChannel& channel)
    {
        vxi11::RecordSource source(channel, usbtmc::DeadlineAfter(1000));
        vxi11::CallHeader call;
        std::string arguments;
        if (!vxi11::ReadCallHeader(source, call) || !source.Rest(arguments, 2 << 20))
            return false;
        const std::uint32_t procedures[] = {PMAPPROC_GETPORT, create_link, device_write, device_read, device_lock};
        const bool core = call.program == vxi11::CoreProgram;
        const bool now = call.procedure == procedures[static_cast<int>(m_stage)] && core == (m_stage != Stage::Portmapper);
        const bool piecemeal = now && m_misbehaviour == Misbehaviour::Piecemeal;
        std::string results = vxi11::EncodeWords({0}); // Device_Error of the calls not named below
        if (!core) {
            results = vxi11::EncodeWords({PMAPPORT});
        } else if (call.procedure == create_link) {
            results = vxi11::EncodeWords({0, 1, 0, m_misbehaviour == Misbehaviour::TinyReceiveSize ? 1u : 1u << 20});
        } else if (call.procedure == device_write && arguments.size() >= 20) {
            const std::uint32_t size = ntohl(reinterpret_cast<const std::uint32_t*>(arguments.data())[4]);
            results = vxi11::EncodeWords({0, piecemeal ? std::min(size, 1024u) : size});
        } else if (call.procedure == device_read) {
            results = vxi11::EncodeWords({0, piecemeal ? 0u : std::uint32_t{vxi11::ReasonEnd}, 1, 0x0A000000}); // "\n"
        }
        const auto reply = [&](std::uint32_t xid) {
            const std::string body = vxi11::EncodeAcceptedReply(xid, vxi11::rpc::Success) + results;
            return vxi11::EncodeWords({0x80000000u | static_cast<std::uint32_t>(body.size())}) + body;
        };
        if (piecemeal)
            Pause();
        // The client keeps the portmapper's connection open while it opens
        // the core channel: it ends here after its one call.
        if (!now || m_misbehaviour == Misbehaviour::TinyReceiveSize || piecemeal)
            return Send(channel, reply(call.xid)) && core;
        if (m_misbehaviour == Misbehaviour::Dribble)
            return Send(channel, reply(call.xid), true);
        if (m_misbehaviour == Misbehaviour::Silent)
            return true;
        const std::string one = m_misbehaviour == Misbehaviour::WrongXids ? reply(~call.xid) : std::string(4, '\0');
        std::string flood;
        while (flood.size() < 65536)
            flood += one;
        while (Send(channel, flood)) {
        }
        return false;
    }

    const Stage m_stage;
    const Misbehaviour m_misbehaviour;
    usbtmc::Link m_listener;
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};
