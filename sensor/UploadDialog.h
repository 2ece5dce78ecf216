#pragma once

// Upload Calibration Data: the user picks one reachable sensor, and the
// dialog reads the calibration data set stored in it (the user data set where
// the sensor has one, unless the factory data set is forced) on a worker
// thread. After OK, ResultData() is the block as received, perhaps empty.

#include "Dialog.h"
#include "SensorList.h"
#include "TransferWorkers.h"

#include <memory>
#include <string>

class CListCtrl;

class CUploadDialog : public CDialog, public SensorList
{
    Q_OBJECT

public:
    CUploadDialog(std::int32_t commandTimeout, std::int32_t uploadTimeout, bool includeNetwork, bool forceFactory,
                  QWidget* parent = nullptr,
                  std::shared_ptr<const VisaFunctions> visa = VisaLoader::Default());
    ~CUploadDialog() override;

    const std::string& ResultData() const { return resultData; }
    // Why ResultData() is empty after OK: the sensor's user data area holds
    // nothing, or no block came; empty when there is data.
    const std::string& EmptyReason() const { return m_emptyReason; }

    void ReportMessage(const char* text) override;

protected:
    bool OnInitDialog() override;
    void OnCancel() override;
    void OnDestroy() override;

private:
    void FillSensorList();
    void StartUpload();
    void OnListClick();
    void OnUploadDriverDone(WPARAM wParam, LPARAM lParam);
    void OnUploadVisaDone(WPARAM wParam, LPARAM lParam);
    void EnableChoosing(bool enable);
    void SetBusy(bool busy, const std::string& text = {});
    void SetStatus(const std::string& latin1);
    void Finish(bool failed);
    void CloseVisaSessions();

    bool lockHeld = false;
    std::string resultData;
    const std::int32_t uploadTimeout;
    const bool includeNetwork;
    const bool forceFactory;

    CListCtrl* m_list = nullptr;
    bool m_transferring = false;
    bool m_busy = false;
    std::string m_emptyReason;
    std::string m_sensorText; // "TVX-18G Ser.# 100001" of the transfer
    // What the worker tells besides its status; shared until its message comes.
    std::shared_ptr<TransferOutcome> m_outcome;
};
