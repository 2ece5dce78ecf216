#pragma once

// One sensor of the store while it is served, shared by every transport that
// reaches it (USB sockets, the LAN). The mutex guards the engine, the faults
// and the lock; everything else is fixed at construction.

#include "SensorStore.h"
#include "SimSensor.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <set>
#include <string>

// Something a transport can close from another thread: a connection, a link.
class Closable
{
public:
    virtual ~Closable() = default;
    virtual void Close() = 0;
};

class ServedSensor
{
public:
    // Loads the sensor from the store; throws what the store throws.
    ServedSensor(SensorStore& store, const std::string& serial);

    const std::string& Serial() const { return m_serial; }
    const SensorIdentity& Identity() const { return m_identity; }
    std::mutex& Mutex() { return m_mutex; }

    // The rest expects the mutex held.
    SimSensor& Engine() { return *m_engine; }
    // The faults in force, read again from the store when the file changed.
    const SensorFaults& RefreshFaults();
    // When the reply of the last message may go out (the delay fault).
    std::chrono::steady_clock::time_point outputDue;

    // The exclusive lock: owners are ids from NewOwner().
    bool TryLock(std::uint64_t owner);
    // Someone else holds the lock (or the `locked` fault says so).
    bool HeldByOther(std::uint64_t owner) const;
    bool HeldBy(std::uint64_t owner) const { return owner != 0 && m_lockOwner == owner; }
    bool Unlock(std::uint64_t owner);
    void Release(std::uint64_t owner);

    void Attach(Closable* connection) { m_connections.insert(connection); }
    void Detach(Closable* connection) { m_connections.erase(connection); }
    void CloseConnections();
    // Restart: the engine forgets its queues, the lock goes, every connection closes.
    void Restart();

    static std::uint64_t NewOwner();

private:
    SensorStore& m_store;
    std::string m_serial;
    SensorIdentity m_identity;
    std::mutex m_mutex;
    std::unique_ptr<SimSensor> m_engine;
    std::string m_faultsStamp;
    std::uint64_t m_lockOwner = 0;
    std::set<Closable*> m_connections;
};
