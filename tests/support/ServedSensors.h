#pragma once

// Simulated sensors for a test: a store in a fresh temporary folder, served in
// this process while Start() holds; XDG_RUNTIME_DIR points at the folder's own
// runtime folder for the lifetime of the object, so that the driver and VISA
// libraries find these sensors and no others.

#include "RuntimeFolder.h"
#include "ScopedEnvironment.h"
#include "SensorSamples.h"
#include "SensorServer.h"
#include "ServedSensor.h"
#include "SensorStore.h"
#include "Tamrix.h"

#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

// The data as a definite length block, as a sensor takes and gives a data set.
inline std::string Block(const std::string& data)
{
    const std::string length = std::to_string(data.size());
    return "#" + std::to_string(length.size()) + length + data;
}

class ServedSensors
{
public:
    // Under `base`, which must be short: socket paths stay below 108 bytes.
    explicit ServedSensors(const std::string& base = "/tmp")
    {
        std::string pattern = base + "/ostrel-sim-XXXXXX";
        if (!::mkdtemp(pattern.data()))
            throw std::runtime_error("cannot create a test folder");
        m_root = pattern;
        std::filesystem::create_directory(m_root / "run");
        m_runtime = ScopedEnvironmentVariable("XDG_RUNTIME_DIR", (m_root / "run").string());
        m_store = std::make_unique<SensorStore>(m_root / "store");
    }

    ~ServedSensors()
    {
        Stop();
        std::error_code ignored;
        std::filesystem::remove_all(m_root, ignored);
    }

    ServedSensors(const ServedSensors&) = delete;
    ServedSensors& operator=(const ServedSensors&) = delete;

    SensorStore& Store() { return *m_store; }
    const std::filesystem::path& Root() const { return m_root; }

    // Adds a sensor whose factory area holds the factory sample made out to it.
    void Add(const std::string& serial, const std::string& model = "TVX-18G", bool hasUserData = true)
    {
        SensorIdentity identity = NewSensorIdentity(serial, model);
        identity.hasUserData = hasUserData;
        m_store->Add(identity, SampleDataFor("factory_v3.cal", model, serial));
    }

    // Adds a sensor, reachable on the LAN only, at `address`.
    void AddOnLan(const std::string& serial, const std::string& address)
    {
        SensorIdentity identity = NewSensorIdentity(serial, "TVX-18G");
        identity.onUsb = false;
        identity.lanAddress = address;
        m_store->Add(identity, SampleDataFor("factory_v3.cal", "TVX-18G", serial));
    }

    void SetFaults(const std::string& serial, const std::vector<std::string>& settings)
    {
        SensorFaults faults;
        std::string error;
        for (const std::string& setting : settings)
            if (!faults.Apply(setting, error))
                throw std::runtime_error(error);
        m_store->SaveFaults(serial, faults);
    }

    void Start()
    {
        m_server = std::make_unique<SensorServer>(*m_store, usbtmc::EnsureRuntimeFolder());
        m_server->Start();
    }

    void Stop() { m_server.reset(); }

    // A sensor as the running server serves it, for another transport.
    std::shared_ptr<ServedSensor> Served(const std::string& serial) const
    {
        return m_server ? m_server->Served(serial) : nullptr;
    }

private:
    std::filesystem::path m_root;
    std::shared_ptr<void> m_runtime; // gives XDG_RUNTIME_DIR back
    std::unique_ptr<SensorStore> m_store;
    std::unique_ptr<SensorServer> m_server;
};
