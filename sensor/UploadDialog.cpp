#include "UploadDialog.h"

#include "ListCtrl.h"
#include "MessageBox.h"
#include "Resource.h"
#include "TextConversion.h"
#include "TransferWorkers.h"
#include "TvxControl2.h"
#include "WaitCursor.h"

#include <boost/bind/bind.hpp>
#include <boost/thread/thread.hpp>

#include <QWidget>

namespace
{

constexpr ViUInt32 lockTimeoutMs = 5000;

} // namespace

CUploadDialog::CUploadDialog(std::int32_t commandTimeout, std::int32_t uploadTimeout_, bool includeNetwork_,
                             bool forceFactory_, QWidget* parent, std::shared_ptr<const VisaFunctions> visa)
    : CDialog(IDD_UPLOAD, parent)
    , SensorList(commandTimeout, std::move(visa))
    , uploadTimeout(uploadTimeout_)
    , includeNetwork(includeNetwork_)
    , forceFactory(forceFactory_)
{
    MapCommand(IDC_REBUILD_LIST, [this] { FillSensorList(); });
    MapCommand(IDC_UPLOAD, [this] { StartUpload(); });
    MapMessage(WM_UPLOAD_DRIVER_DONE, &CUploadDialog::OnUploadDriverDone);
    MapMessage(WM_UPLOAD_VISA_DONE, &CUploadDialog::OnUploadVisaDone);
    MapNotify(NM_CLICK, IDC_SENSOR_LIST, [this](int) { OnListClick(); });
    MapNotify(NM_DBLCLK, IDC_SENSOR_LIST, [this](int) { StartUpload(); });
}

CUploadDialog::~CUploadDialog()
{
    DestroyWindow();
}

void CUploadDialog::ReportMessage(const char* text)
{
    MessageBox(this, Latin1ToWide(text), QString(), MB_OK | MB_ICONERROR);
}

bool CUploadDialog::OnInitDialog()
{
    m_list = GetDlgItemAs<CListCtrl>(IDC_SENSOR_LIST);
    // Its columns and styles come with the template.
    FillSensorList();
    return true;
}

// A worker holds the sensor and writes for the dialog: the dialog stays until
// its message has come.
void CUploadDialog::OnCancel()
{
    if (!m_transferring)
        CDialog::OnCancel();
}

void CUploadDialog::OnDestroy()
{
    TvxCloseDriver();
    CDialog::OnDestroy();
}

void CUploadDialog::FillSensorList()
{
    CWaitCursor wait;
    m_list->DeleteAllItems();
    Scan(includeNetwork);
    for (const SensorRecord& record : records) {
        const int row = m_list->InsertItem(m_list->GetItemCount(), Latin1ToWide(record.resourceDescriptor));
        m_list->SetItemText(row, 1, Latin1ToWide(record.type));
        m_list->SetItemText(row, 2, Latin1ToWide(record.serialNumber));
        m_list->SetItemText(row, 3, Latin1ToWide(ConnectionText(record.connection)));
    }
    EnableDlgItem(IDC_UPLOAD, false);
    EnableDlgItem(IDOK, false);
}

void CUploadDialog::OnListClick()
{
    EnableDlgItem(IDC_UPLOAD, m_list->GetFirstSelectedItem() >= 0);
}

void CUploadDialog::EnableChoosing(bool enable)
{
    EnableDlgItem(IDC_SENSOR_LIST, enable);
    EnableDlgItem(IDC_REBUILD_LIST, enable);
    EnableDlgItem(IDCANCEL, enable);
    if (!enable) {
        EnableDlgItem(IDC_UPLOAD, false);
        EnableDlgItem(IDOK, false);
    }
}

void CUploadDialog::CloseVisaSessions()
{
    const VisaFunctions& visa = *VisaLibrary();
    if (lockHeld) {
        visa.viUnlock(instrument);
        lockHeld = false;
    }
    if (instrument)
        visa.viClose(instrument);
    if (resourceManager)
        visa.viClose(resourceManager);
    instrument = 0;
    resourceManager = 0;
}

void CUploadDialog::StartUpload()
{
    resultData.clear();
    const int row = m_list->GetFirstSelectedItem();
    if (row < 0 || static_cast<std::size_t>(row) >= records.size()) {
        MessageBox(this, QStringLiteral("No sensor selected!"), QString(), MB_OK | MB_ICONERROR);
        return;
    }
    const SensorRecord record = records[static_cast<std::size_t>(row)];
    if (record.connection == Driver) {
        if (ReportDriverError(TvxOpenSensor(record.resourceDescriptor.c_str(), &driverSensor)) || driverSensor == 0)
            return;
        try {
            boost::thread worker(upload::ThreadFunctorLegacy{driverSensor, uploadTimeout, forceFactory, GetSafeHwnd()});
            worker.detach();
        } catch (const std::exception&) {
            MessageBox(this, QStringLiteral("Failed to start upload thread!"), QString(), MB_OK | MB_ICONERROR);
            TvxCloseSensor(driverSensor);
            driverSensor = 0;
            return;
        }
    } else {
        const VisaFunctions& visa = *VisaLibrary();
        if (ReportVisaError(visa.viOpenDefaultRM(&resourceManager)))
            return;
        if (ReportVisaError(visa.viOpen(resourceManager, record.resourceDescriptor.c_str(), 0, 0, &instrument))) {
            CloseVisaSessions();
            return;
        }
        const ViStatus locked = visa.viLock(instrument, VI_EXCLUSIVE_LOCK, lockTimeoutMs, VI_NULL, VI_NULL);
        if (locked == VI_SUCCESS) {
            lockHeld = true;
        } else if (locked != VI_ERROR_NSUP_OPER && locked != VI_WARN_EXT_FUNC_NIMPL) {
            ReportVisaError(locked);
            CloseVisaSessions();
            return;
        }
        if (ReportVisaError(visa.viSetAttribute(instrument, VI_ATTR_TMO_VALUE, static_cast<ViUInt32>(commandTimeout)))) {
            CloseVisaSessions();
            return;
        }
        m_received = std::make_shared<std::string>();
        try {
            boost::thread worker(upload::ThreadFunctorVISA{SharedVisaLibrary(), instrument, uploadTimeout, m_received,
                                                           forceFactory, GetSafeHwnd()});
            worker.detach();
        } catch (const std::exception&) {
            MessageBox(this, QStringLiteral("Failed to start upload thread!"), QString(), MB_OK | MB_ICONERROR);
            CloseVisaSessions();
            return;
        }
    }
    m_transferring = true;
    EnableChoosing(false);
}

void CUploadDialog::OnUploadDriverDone(WPARAM wParam, LPARAM)
{
    m_transferring = false;
    EnableChoosing(true);
    if (!ReportDriverError(static_cast<std::int32_t>(wParam))) {
        resultData = ReadDriverBlock(driverSensor, commandTimeout);
        EnableDlgItem(IDOK, true);
        if (QWidget* ok = GetDlgItem(IDOK))
            ok->setFocus();
    }
    TvxCloseSensor(driverSensor);
    driverSensor = 0;
}

void CUploadDialog::OnUploadVisaDone(WPARAM wParam, LPARAM)
{
    m_transferring = false;
    EnableChoosing(true);
    if (ReportVisaError(static_cast<ViStatus>(wParam))) {
        resultData.clear();
    } else {
        resultData = std::move(*m_received);
        EnableDlgItem(IDOK, true);
        if (QWidget* ok = GetDlgItem(IDOK))
            ok->setFocus();
    }
    m_received.reset();
    CloseVisaSessions();
}
