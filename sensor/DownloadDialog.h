#pragma once

// Download Calibration Data: finds the one reachable sensor whose type and
// serial number are the data set's, and writes the data set into it, into
// its user data area when the data set is a user data set and the sensor has
// one, else into its factory data area, after the user has confirmed any
// difference of the calibration dates of a factory data set. The write runs
// on a worker thread; the dialog then checks the sensor's error state.

#include "BusyWait.h"
#include "Dialog.h"
#include "SensorList.h"
#include "TransferWorkers.h"

#include <array>
#include <memory>
#include <string>

class CDownloadDialog : public CDialog, public SensorList
{
    Q_OBJECT

public:
    CDownloadDialog(std::int32_t commandTimeout, std::int32_t uploadTimeout, bool includeNetwork, bool forceFactory,
                    QWidget* parent = nullptr,
                    std::shared_ptr<const VisaFunctions> visa = VisaLoader::Default());
    ~CDownloadDialog() override;

    void SetSensorIdentity(const std::string& sensorName, const std::string& serialNumber);
    void SetCalDates(const std::string& misc, const std::string& abso, const std::string& refl,
                     const std::string& temp, const std::string& lin);
    // The buffer the caller fills with the stored data set before DoModal.
    std::string& DataBuffer() { return dataBuffer; }

    void ReportMessage(const char* text) override;

protected:
    bool OnInitDialog() override;
    void OnCancel() override;
    void OnDestroy() override;

private:
    void SearchCompatibleSensor();
    DataAreaChoice ProbeArea(const SensorRecord& record);
    void StartDownload();
    bool StartDriverDownload(const SensorRecord& record, const std::shared_ptr<const std::string>& data);
    bool StartVisaDownload(const SensorRecord& record, const std::shared_ptr<const std::string>& data);
    bool IsDataSetsSensor(const std::string& manufacturer, const std::string& model, const std::string& serial);
    bool ConfirmCalDates(const std::array<std::string, 5>& sensorDates);
    void OnDownloadDriverDone(WPARAM wParam, LPARAM lParam);
    void OnDownloadVisaDone(WPARAM wParam, LPARAM lParam);
    void OnCheckDriverDone(WPARAM wParam, LPARAM lParam);
    void OnCheckVisaDone(WPARAM wParam, LPARAM lParam);
    void StartCheck();
    // The step of the worker's last status, and what is known of the data.
    void TakeWorkerStep(bool timedOut);
    void Succeed();
    void FinishFailedAttempt();
    void CloseDriverSensor();
    void CloseVisaSessions();
    void SetText(const std::string& latin1);
    void SetBusy(bool busy, const std::string& text = {});
    // A step of a running transfer that waits on the sensor: the dialog shows
    // `text` and keeps handling events; its buttons stay as the transfer set them.
    template <typename Work>
    auto WhileTransferring(const std::string& text, Work work)
    {
        SetText(text);
        m_busy = true;
        auto result = WhileBusy(work);
        m_busy = false;
        return result;
    }

    bool lockHeld = false;
    std::string dataBuffer;
    std::string sensorName;
    std::string serialNumber;
    bool found = false;
    std::uint32_t foundIndex = 0;
    std::array<std::string, 5> calDates; // Misc, Abso, Refl, Temp, Lin
    const std::int32_t uploadTimeout;
    const bool includeNetwork;
    const bool forceFactory;

    bool m_transferring = false;
    bool m_busy = false;
    DataAreaChoice m_area = DataAreaChoice::Unknown; // announced for the found sensor
    std::shared_ptr<const std::string> m_sent;
    std::shared_ptr<TransferOutcome> m_outcome;
};
