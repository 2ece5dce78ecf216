#pragma once

// What the VXI-11 tests share: sensors served on loopback addresses of the
// program's own network namespace, and whole queries through the client.

#include "PrivateNetwork.h"
#include "ServedSensors.h"
#include "StoreSupport.h"
#include "Vxi11Client.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>

#include <chrono>
#include <string>

// A definite-length block (IEEE 488.2, 8.7.9).
inline std::string Block(const std::string& data)
{
    const std::string length = std::to_string(data.size());
    return "#" + std::to_string(length.size()) + length + data;
}

// A TCP socket listening on, or connected to, host:port.
inline int Socket(const char* host, std::uint16_t port, bool listen)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const int on = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = ::inet_addr(host);
    const auto* raw = reinterpret_cast<const sockaddr*>(&address);
    if (listen ? ::bind(fd, raw, sizeof address) != 0 || ::listen(fd, 4) != 0 : ::connect(fd, raw, sizeof address) != 0)
        ADD_FAILURE() << "cannot " << (listen ? "listen on " : "connect to ") << host << ":" << port;
    return fd;
}

class LanSensors : public testing::Test
{
protected:
    void SetUp() override
    {
        if (!private_network::Problem().empty())
            GTEST_SKIP() << "no network namespace of our own: " << private_network::Problem();
    }

    // 100001 at 127.0.0.2, with these faults, and 100002 at 127.0.0.3.
    void Serve(const std::vector<std::string>& faults = {})
    {
        sensors.AddOnLan("100001", "127.0.0.2");
        sensors.AddOnLan("100002", "127.0.0.3");
        sensors.SetFaults("100001", faults);
        sensors.Start();
    }

    static vxi11::Result Open(vxi11::Client& client, const std::string& host = "127.0.0.2")
    {
        return client.Open(host, "inst0", vxi11::Clock::now() + std::chrono::seconds(2));
    }

    // Writes the message, then reads the whole response in reads of `chunk` bytes.
    static vxi11::Result Query(vxi11::Client& client, const std::string& message, std::string& reply,
                               std::uint32_t ioTimeoutMs = 2000, std::size_t chunk = 1 << 20)
    {
        reply.clear();
        vxi11::Result result = client.Write(message, true, ioTimeoutMs, 0, false);
        std::int32_t reason = 0;
        while (result.ok() && !(reason & vxi11::ReasonEnd)) {
            const std::size_t old = reply.size();
            std::size_t count = 0;
            reply.resize(old + chunk);
            result = client.Read(reply.data() + old, chunk, ioTimeoutMs, 0, false, count, reason);
            reply.resize(old + count);
        }
        return result;
    }

    std::string Stored(const std::string& serial, const char* file)
    {
        return ReadFileIfPresent(sensors.Root() / "store" / serial / file).value_or("(none)");
    }

    ServedSensors sensors;
};

// A table of cases, one row a test named after the row.
template <typename Row>
class LanTable : public LanSensors, public testing::WithParamInterface<Row>
{
};

inline const auto RowName = [](const auto& info) { return std::string(info.param.name); };
