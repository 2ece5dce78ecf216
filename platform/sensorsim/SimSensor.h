#pragma once

// A simulated power sensor as its host sees it: identity, a factory and
// (where the model has one) a user data area each holding one calibration
// data set, the SCPI commands a sensor answers for reading and writing them,
// an SCPI-99 error queue and the IEEE 488.2 message exchange. Transports only
// carry bytes to and from it. Not thread-safe: the owner serialises calls.

#include "SensorStore.h"

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

struct SensorError
{
    std::int32_t scpiCode = 0;
    std::string text;             // "No error" for code 0
    std::uint32_t sensorCode = 0; // what the driver's error query gives (UsbTmc.h)
};

// Bytes of the response message, referring into shared storage so that a
// reply never copies a data area.
struct OutputPiece
{
    std::shared_ptr<const std::string> storage;
    std::size_t offset = 0;
    std::size_t size = 0;
};

struct OutputChunk
{
    std::vector<OutputPiece> pieces;
    std::size_t size = 0;
    bool end = false; // the chunk holds the last byte of the response
};

class SimSensor
{
public:
    // Called with a data area's new content once it has passed every check and
    // before it replaces the old one; throws SensorStoreError when it cannot
    // keep the data, and the sensor then keeps what it had.
    using Persist = std::function<void(DataArea, const std::string&)>;

    SimSensor(SensorIdentity identity, std::string factoryData, std::string userData, Persist persist);

    const SensorIdentity& Identity() const { return m_identity; }
    const SensorFaults& Faults() const { return m_faults; }
    void SetFaults(const SensorFaults& faults) { m_faults = faults; }

    // One complete program message (everything up to END). An unread response
    // is discarded first and reported as "Query INTERRUPTED" (IEEE 488.2, 6.3.2.3).
    void Execute(std::string_view message);

    bool HasOutput() const { return m_outputLeft > 0; }
    // Takes up to `maxBytes` bytes of the waiting response.
    OutputChunk TakeOutput(std::size_t maxBytes);

    std::uint8_t StatusByte() const;
    // The oldest error, removed from the queue; code 0 when there is none.
    SensorError PopError();
    void ClearErrors() { m_errors.clear(); }
    // Device clear: unread output is dropped without an error.
    void DeviceClear();
    // What a restart loses: output and error queue.
    void Restart();
    // Queues an SCPI error; `detail` follows the standard text after ";".
    void QueueError(std::int32_t code, const std::string& detail = {});

private:
    struct Unit;
    void ExecuteUnit(const Unit& unit);
    void WriteArea(DataArea area, std::string_view block);
    void Respond(std::vector<OutputPiece> pieces);
    void RespondText(std::string text);
    void RespondBlock(std::shared_ptr<const std::string> data);
    void FinishResponse();
    std::string HelpHeaders() const;
    std::string CalDate(const std::string& key, bool& known) const;

    SensorIdentity m_identity;
    SensorFaults m_faults;
    Persist m_persist;
    std::shared_ptr<const std::string> m_factory;
    std::shared_ptr<const std::string> m_user;
    std::vector<std::string> m_factoryDates; // Misc, Abso, Refl, Temp, Lin

    std::deque<SensorError> m_errors;
    std::vector<OutputPiece> m_response; // being built by the current message
    std::deque<OutputPiece> m_output;    // waiting to be read
    std::size_t m_outputLeft = 0;
};
