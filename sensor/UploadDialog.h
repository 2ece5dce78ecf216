#pragma once

// Upload Calibration Data: the user picks one reachable sensor, and the
// dialog reads the calibration data set stored in it (the user data set where
// the sensor has one, unless the factory data set is forced) on a worker
// thread. After OK, ResultData() is the block as received, perhaps empty.

#include "Dialog.h"
#include "SensorList.h"

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
    void CloseVisaSessions();

    bool lockHeld = false;
    std::string resultData;
    const std::int32_t uploadTimeout;
    const bool includeNetwork;
    const bool forceFactory;

    CListCtrl* m_list = nullptr;
    bool m_transferring = false;
    // What the VISA worker reads into; it shares it until its message comes.
    std::shared_ptr<std::string> m_received;
};
