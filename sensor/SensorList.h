#pragma once

// The sensors reachable now, over the USB driver library and over VISA (USB
// and, on request, the LAN), and the texts of their statuses. Both transfer
// dialogs are one.

#include "VisaLoader.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

enum SensorConnection : std::int32_t
{
    Driver = 0, // through TvxControl2
    Visa = 1
};

// "TvxControl2.dll" for Driver, "VISA" for Visa: how lists and texts name them.
const char* ConnectionText(SensorConnection connection);

struct SensorRecord
{
    std::string resourceDescriptor; // VISA resource string, or the driver's device name
    std::string type;               // sensor type (model)
    std::string serialNumber;
    SensorConnection connection = Driver;
};

// The steps of a transfer, as its failure messages name them.
enum class TransferStep
{
    Opening,
    Locking,
    Identifying,
    ReadingDates,
    Probing,
    Writing,
    ReadingBack,
    Restarting,
    Reading
};

class SensorList
{
public:
    // Opens the driver library and finds out whether VISA can be had; `visa`
    // is the VISA library to use (null: none). Failures go to ReportMessage,
    // which during construction is this class's own (standard error).
    explicit SensorList(std::int32_t commandTimeout,
                        std::shared_ptr<const VisaFunctions> visa = VisaLoader::Default());
    virtual ~SensorList(); // closes the driver library

    SensorList(const SensorList&) = delete;
    SensorList& operator=(const SensorList&) = delete;

    // Rebuilds `records`: VISA USB sensors, then (includeNetwork) LAN sensors,
    // then the driver's, without a second record of a type and serial number.
    void Scan(bool includeNetwork);

    // True when `status` is not 0; its text then went to ReportMessage.
    bool ReportDriverError(std::int32_t status);
    bool ReportVisaError(ViStatus status);
    // Shows or logs an error text (ISO-8859-1). This class writes it to
    // standard error; the dialogs show it in a message box.
    virtual void ReportMessage(const char* text);

    // While a transfer runs, every text reported names the sensor, the step
    // that failed, what is known of the sensor's data and what to try.
    void BeginTransfer(const SensorRecord& sensor);
    // `dataState`: a sentence on the sensor's data ("The sensor's data is
    // unchanged."), or empty when nothing is known.
    void SetStep(TransferStep step, std::string dataState);
    void EndTransfer();
    bool InTransfer() const { return m_transfer; }
    // A text of the transfer's own (not a status), with the same additions.
    // `tooSlow`: with the advice to give the sensor more time.
    void ReportProblem(const std::string& text, bool tooSlow = false);
    // The text with those additions, for a message box of the caller's own.
    std::string DescribeFailure(std::string text) const;
    // What was wrong with a data block VISA's helpers refused (VI_ERROR_INV_FMT);
    // the next report of that status says it instead of VISA's own text.
    std::string blockFault;
    // The area a write goes to or a read comes from, named in the step.
    std::string transferArea;

    // The next text result of a driver query, or an empty text when none
    // comes within the command timeout or only other results come.
    std::string ReadDriverText(std::int32_t sensor);
    // The next binary result, or empty bytes when none comes within `timeout`
    // milliseconds or its length cannot be read.
    std::string ReadDriverBlock(std::int32_t sensor, std::int32_t timeout);

    // The VISA functions, or null when there is no VISA library.
    const VisaFunctions* VisaLibrary() const { return m_visa.get(); }
    // The same, for a worker that must keep the library loaded.
    std::shared_ptr<const VisaFunctions> SharedVisaLibrary() const { return m_visa; }

    bool usbDriverAvailable = true;
    bool visaAvailable = true;
    ViSession resourceManager = 0; // of the current transfer
    ViSession instrument = 0;      // of the current transfer; also the session of the status texts
    std::int32_t driverSensor = 0; // handle of the current transfer
    const std::int32_t commandTimeout;
    std::vector<SensorRecord> records;

private:
    enum class Advice
    {
        None,
        Timeout,
        Lock,
        Connection
    };
    void Report(std::string text, Advice advice);
    std::string Described(std::string text, Advice advice) const;

    std::shared_ptr<const VisaFunctions> m_visa;
    bool m_transfer = false;
    SensorRecord m_sensor;
    TransferStep m_step = TransferStep::Opening;
    std::string m_dataState;
};
