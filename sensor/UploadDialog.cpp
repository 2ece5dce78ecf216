#include "UploadDialog.h"

#include "BusyWait.h"
#include "DriverResults.h"
#include "ListCtrl.h"
#include "MessageBox.h"
#include "Resource.h"
#include "TextConversion.h"
#include "TransferWorkers.h"
#include "TvxControl2.h"
#include "WaitCursor.h"

#include <boost/bind/bind.hpp>

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
    if (!m_transferring && !m_busy)
        CDialog::OnCancel();
}

void CUploadDialog::OnDestroy()
{
    TvxCloseDriver();
    CDialog::OnDestroy();
}

void CUploadDialog::SetStatus(const std::string& latin1)
{
    SetDlgItemText(IDC_UPLOAD_STATUS, Latin1ToWide(latin1));
}

// While the dialog waits on a sensor, the line under the list says what for,
// and nothing can be chosen.
void CUploadDialog::SetBusy(bool busy, const std::string& text)
{
    m_busy = busy;
    EnableChoosing(!busy);
    SetStatus(text);
}

void CUploadDialog::FillSensorList()
{
    CWaitCursor wait;
    m_list->DeleteAllItems();
    SetBusy(true, std::string("Searching for sensors") + (includeNetwork ? " on USB and the LAN ..." : " ..."));
    WhileBusy([this] {
        Scan(includeNetwork);
        return true;
    });
    SetBusy(false);
    for (const SensorRecord& record : records) {
        const int row = m_list->InsertItem(m_list->GetItemCount(), Latin1ToWide(record.resourceDescriptor));
        m_list->SetItemText(row, 1, Latin1ToWide(record.type));
        m_list->SetItemText(row, 2, Latin1ToWide(record.serialNumber));
        m_list->SetItemText(row, 3, Latin1ToWide(ConnectionText(record.connection)));
    }
    SetStatus(records.empty() ? "No sensor found." : "");
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
    const VisaFunctions* visa = VisaLibrary();
    if (lockHeld && visa) {
        visa->viUnlock(instrument);
        lockHeld = false;
    }
    if (instrument && visa)
        visa->viClose(instrument);
    if (resourceManager && visa)
        visa->viClose(resourceManager);
    instrument = 0;
    resourceManager = 0;
}

void CUploadDialog::StartUpload()
{
    if (m_busy || m_transferring)
        return;
    resultData.clear();
    m_emptyReason.clear();
    const int row = m_list->GetFirstSelectedItem();
    if (row < 0 || static_cast<std::size_t>(row) >= records.size()) {
        MessageBox(this, QStringLiteral("No sensor selected!"), QString(), MB_OK | MB_ICONERROR);
        return;
    }
    const SensorRecord record = records[static_cast<std::size_t>(row)];
    m_sensorText = record.type + " Ser.# " + record.serialNumber;
    BeginTransfer(record);
    m_outcome = std::make_shared<TransferOutcome>();
    const auto giveUp = [this] {
        CloseVisaSessions();
        Finish(true);
    };
    if (record.connection == Driver) {
        if (ReportDriverError(TvxOpenSensor(record.resourceDescriptor.c_str(), &driverSensor)) || driverSensor == 0) {
            driverSensor = 0;
            return Finish(true);
        }
        if (!StartDetached(
                upload::ThreadFunctorLegacy{driverSensor, uploadTimeout, forceFactory, m_outcome, GetSafeHwnd()})) {
            MessageBox(this, QStringLiteral("Failed to start upload thread!"), QString(), MB_OK | MB_ICONERROR);
            TvxCloseSensor(driverSensor);
            driverSensor = 0;
            return Finish(true);
        }
    } else {
        const std::shared_ptr<const VisaFunctions> shared = SharedVisaLibrary();
        if (!shared)
            return Finish(true);
        const VisaFunctions& visa = *shared;
        if (ReportVisaError(visa.viOpenDefaultRM(&resourceManager)))
            return giveUp();
        SetBusy(true, "Opening " + m_sensorText + " ...");
        const ViStatus opened = WhileBusy(
            [&] { return visa.viOpen(resourceManager, record.resourceDescriptor.c_str(), 0, 0, &instrument); });
        SetBusy(false);
        if (ReportVisaError(opened))
            return giveUp();
        SetStep(TransferStep::Locking, "The sensor's data is unchanged.");
        SetBusy(true, "Waiting for the lock on " + m_sensorText + " (up to " + std::to_string(lockTimeoutMs / 1000) +
                          " s): another program may be using it ...");
        const ViSession session = instrument;
        const ViStatus locked =
            WhileBusy([&] { return visa.viLock(session, VI_EXCLUSIVE_LOCK, lockTimeoutMs, VI_NULL, VI_NULL); });
        SetBusy(false);
        if (locked == VI_SUCCESS) {
            lockHeld = true;
        } else if (locked != VI_ERROR_NSUP_OPER && locked != VI_WARN_EXT_FUNC_NIMPL) {
            ReportVisaError(locked);
            return giveUp();
        }
        SetStep(TransferStep::Reading, "The sensor's data is unchanged.");
        if (ReportVisaError(visa.viSetAttribute(instrument, VI_ATTR_TMO_VALUE, static_cast<ViUInt32>(commandTimeout))))
            return giveUp();
        if (!StartDetached(
                upload::ThreadFunctorVISA{shared, instrument, uploadTimeout, m_outcome, forceFactory, GetSafeHwnd()})) {
            MessageBox(this, QStringLiteral("Failed to start upload thread!"), QString(), MB_OK | MB_ICONERROR);
            return giveUp();
        }
    }
    m_transferring = true;
    EnableChoosing(false);
    SetStatus("Reading the data set from " + m_sensorText + " ...");
}

// The end of a transfer, done or not: choosing again, and after a failure
// "Upload" for the row still selected.
void CUploadDialog::Finish(bool failed)
{
    m_transferring = false;
    EndTransfer();
    EnableChoosing(true);
    if (failed) {
        SetStatus("Reading from " + m_sensorText + " failed.");
        OnListClick();
    }
}

void CUploadDialog::OnUploadDriverDone(WPARAM wParam, LPARAM)
{
    const std::int32_t status = static_cast<std::int32_t>(wParam);
    SetStep(m_outcome->step, "The sensor's data is unchanged.");
    const bool user = m_outcome->area == DataAreaChoice::User;
    transferArea = user ? "user data area" : "factory data area";
    bool failed = ReportDriverError(status);
    if (!failed) {
        // The sensor sends the block as the answer to the worker's query: tens
        // of megabytes, and the window goes on meanwhile.
        std::string block;
        SetBusy(true, "Reading the data set from " + m_sensorText + " ...");
        const std::int32_t sensor = driverSensor;
        const std::int32_t read = WhileBusy([&] { return ReadDriverBlockResult(sensor, commandTimeout, block); });
        SetBusy(false);
        failed = read != TVX_ERR_TIMEOUT && read != TVX_ERR_NO_RESULT && ReportDriverError(read);
        resultData = std::move(block);
        if (!failed) {
            if (resultData.empty())
                m_emptyReason = read != 0 ? "No data set came from " + m_sensorText + " within " +
                                                std::to_string(commandTimeout) +
                                                " ms; the timeouts are set under Options > Remote."
                                 : user ? "The user data area of " + m_sensorText + " is empty."
                                        : "The factory data area of " + m_sensorText + " is empty.";
            EnableDlgItem(IDOK, true);
            if (QWidget* ok = GetDlgItem(IDOK))
                ok->setFocus();
        }
    }
    TvxCloseSensor(driverSensor);
    driverSensor = 0;
    Finish(failed);
    if (!failed)
        SetStatus(resultData.empty() ? m_emptyReason : "Read " + std::to_string(resultData.size()) + " bytes from " + m_sensorText + ".");
}

void CUploadDialog::OnUploadVisaDone(WPARAM wParam, LPARAM)
{
    m_transferring = false;
    EnableChoosing(true);
    SetStep(m_outcome->step, "The sensor's data is unchanged.");
    const bool user = m_outcome->area == DataAreaChoice::User;
    transferArea = user ? "user data area" : "factory data area";
    blockFault = m_outcome->fault;
    const bool failed = ReportVisaError(static_cast<ViStatus>(wParam));
    if (failed) {
        resultData.clear();
    } else {
        resultData = std::move(m_outcome->data);
        if (resultData.empty())
            m_emptyReason = (user ? "The user data area of " : "The factory data area of ") + m_sensorText + " is empty.";
        EnableDlgItem(IDOK, true);
        if (QWidget* ok = GetDlgItem(IDOK))
            ok->setFocus();
    }
    m_outcome.reset();
    CloseVisaSessions();
    Finish(failed);
    if (!failed)
        SetStatus(resultData.empty() ? m_emptyReason : "Read " + std::to_string(resultData.size()) + " bytes from " + m_sensorText + ".");
}
