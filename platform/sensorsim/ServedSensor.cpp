#include "ServedSensor.h"

ServedSensor::ServedSensor(SensorStore& store, const std::string& serial)
    : m_store(store), m_serial(serial), m_identity(store.LoadIdentity(serial))
{
    m_faultsStamp = store.FaultsStamp(serial);
    const SensorFaults faults = store.LoadFaults(serial);
    SensorStore* const storeOf = &store;
    m_engine = std::make_unique<SimSensor>(
        m_identity, store.LoadArea(serial, DataArea::Factory), store.LoadArea(serial, DataArea::User),
        [storeOf, serial](DataArea area, const std::string& data) {
            try {
                storeOf->SaveArea(serial, area, data);
            } catch (const SensorStoreError&) {
                throw;
            } catch (const std::exception& error) {
                throw SensorStoreError(error.what());
            }
        });
    m_engine->SetFaults(faults);
}

// The faults file is read again only when it was replaced.
const SensorFaults& ServedSensor::RefreshFaults()
{
    try {
        std::string stamp = m_store.FaultsStamp(m_serial);
        if (stamp != m_faultsStamp) {
            m_engine->SetFaults(m_store.LoadFaults(m_serial));
            m_faultsStamp = std::move(stamp);
        }
    } catch (const std::exception&) {
        // Half-removed sensor or unreadable file: the faults stay as they were.
    }
    return m_engine->Faults();
}

bool ServedSensor::HeldByOther(std::uint64_t owner) const
{
    return m_engine->Faults().locked || (m_lockOwner != 0 && m_lockOwner != owner);
}

bool ServedSensor::TryLock(std::uint64_t owner)
{
    if (HeldByOther(owner))
        return false;
    m_lockOwner = owner;
    return true;
}

bool ServedSensor::Unlock(std::uint64_t owner)
{
    if (m_lockOwner != owner || owner == 0)
        return false;
    m_lockOwner = 0;
    return true;
}

void ServedSensor::Release(std::uint64_t owner)
{
    if (m_lockOwner == owner)
        m_lockOwner = 0;
}

void ServedSensor::CloseConnections()
{
    for (Closable* connection : m_connections)
        connection->Close();
}

void ServedSensor::Restart()
{
    if (m_engine->Faults().goneAfterRestart) {
        // It does not come back: from now on it is unplugged, for every
        // transport and until the fault is taken away.
        SensorFaults faults = m_engine->Faults();
        faults.unplugged = true;
        try {
            m_store.SaveFaults(m_serial, faults);
        } catch (const std::exception&) {
        }
        m_engine->SetFaults(faults);
    }
    m_engine->Restart();
    m_lockOwner = 0;
    CloseConnections();
}

std::uint64_t ServedSensor::NewOwner()
{
    static std::atomic<std::uint64_t> next{1};
    return next++;
}
