#pragma once

// What the transports of a sensor share about their connections: each one is
// attached to the sensor (so that a restart closes it), served on a thread of
// its own, and joined once it has finished. Used by one thread, the one that
// accepts the connections.

#include "ServedSensor.h"

#include <atomic>
#include <functional>
#include <list>
#include <memory>
#include <thread>

struct ServedConnection : Closable
{
    std::thread thread;
    std::atomic<bool> finished{false};
};

template <typename Connection>
class ConnectionThreads
{
public:
    explicit ConnectionThreads(ServedSensor& sensor) : m_sensor(sensor) {}
    ~ConnectionThreads() { Stop(); }

    std::size_t Size() const { return m_connections.size(); }

    // Serves the connection with `serve`, then runs `release` with the
    // sensor's mutex held; an unplugged sensor takes no connection.
    void Start(std::unique_ptr<Connection> connection, std::function<void(Connection&)> serve,
               std::function<void(Connection&)> release)
    {
        Connection* const raw = connection.get();
        {
            std::lock_guard<std::mutex> lock(m_sensor.Mutex());
            if (m_sensor.RefreshFaults().unplugged)
                return;
            m_sensor.Attach(raw);
        }
        m_connections.push_back(std::move(connection));
        raw->thread = std::thread([this, raw, serve = std::move(serve), release = std::move(release)] {
            serve(*raw);
            {
                std::lock_guard<std::mutex> lock(m_sensor.Mutex());
                m_sensor.Detach(raw);
                release(*raw);
            }
            raw->finished = true;
        });
    }

    // Joins the threads that have finished, or all of them.
    void Reap(bool all = false)
    {
        for (auto it = m_connections.begin(); it != m_connections.end();) {
            if (all || (*it)->finished) {
                (*it)->thread.join();
                it = m_connections.erase(it);
            } else {
                ++it;
            }
        }
    }

    void Stop()
    {
        {
            std::lock_guard<std::mutex> lock(m_sensor.Mutex());
            for (auto& connection : m_connections)
                connection->Close();
        }
        Reap(true);
    }

private:
    ServedSensor& m_sensor;
    std::list<std::unique_ptr<Connection>> m_connections;
};
