#include "DownloadDialog.h"

#include "MessageBox.h"
#include "Resource.h"
#include "ScpiHelpers.h"
#include "TextConversion.h"
#include "TransferWorkers.h"
#include "TvxControl2.h"
#include "WaitCursor.h"

#include <boost/thread/thread.hpp>

#include <QWidget>

namespace
{

constexpr ViUInt32 lockTimeoutMs = 5000;

// The calibration dates of a sensor, in the order of the data set's dates.
const struct
{
    const char* kind; // the opening text of a difference
    const char* driverCommand;
    const char* visaCommand;
} dateCommands[] = {
    {"Miscellaneous:\n\tDate in cal. data set: ", "syst:info? \"cal. misc.\"", "*cls;syst:info? 'cal. misc.'"},
    {"Absolute:\n\tDate in cal. data set: ", "syst:info? \"cal. abs.\"", "*cls;syst:info? 'cal. abs.'"},
    {"Reflection:\n\tDate in cal. data set: ", "syst:info? \"cal. refl.\"", "*cls;syst:info? 'cal. refl.'"},
    {"Temperature:\n\tDate in cal. data set: ", "syst:info? \"cal. temp.\"", "*cls;syst:info? 'cal. temp.'"},
    {"Linearity:\n\tDate in cal. data set: ", "syst:info? \"cal. lin.\"", "*cls;syst:info? 'cal. lin.'"},
};

} // namespace

CDownloadDialog::CDownloadDialog(std::int32_t commandTimeout, std::int32_t uploadTimeout_, bool includeNetwork_,
                                 bool forceFactory_, QWidget* parent, std::shared_ptr<const VisaFunctions> visa)
    : CDialog(IDD_DOWNLOAD, parent)
    , SensorList(commandTimeout, std::move(visa))
    , uploadTimeout(uploadTimeout_)
    , includeNetwork(includeNetwork_)
    , forceFactory(forceFactory_)
{
    MapCommand(IDC_RESCAN, [this] { SearchCompatibleSensor(); });
    MapCommand(IDC_DOWNLOAD, [this] { StartDownload(); });
    MapMessage(WM_DOWNLOAD_DRIVER_DONE, &CDownloadDialog::OnDownloadDriverDone);
    MapMessage(WM_DOWNLOAD_VISA_DONE, &CDownloadDialog::OnDownloadVisaDone);
}

CDownloadDialog::~CDownloadDialog()
{
    DestroyWindow();
}

void CDownloadDialog::SetSensorIdentity(const std::string& name, const std::string& serial)
{
    sensorName = name;
    serialNumber = serial;
}

void CDownloadDialog::SetCalDates(const std::string& misc, const std::string& abso, const std::string& refl,
                                  const std::string& temp, const std::string& lin)
{
    calDates = {misc, abso, refl, temp, lin};
}

void CDownloadDialog::ReportMessage(const char* text)
{
    MessageBox(this, Latin1ToWide(text), QString(), MB_OK | MB_ICONERROR);
}

bool CDownloadDialog::OnInitDialog()
{
    SearchCompatibleSensor();
    return true;
}

// A worker holds the sensor: the dialog stays until its message has come.
void CDownloadDialog::OnCancel()
{
    if (!m_transferring)
        CDialog::OnCancel();
}

void CDownloadDialog::OnDestroy()
{
    TvxCloseDriver();
    CDialog::OnDestroy();
}

void CDownloadDialog::SetText(const std::string& latin1)
{
    SetDlgItemText(IDC_DOWNLOAD_TEXT, Latin1ToWide(latin1));
}

void CDownloadDialog::SearchCompatibleSensor()
{
    CWaitCursor wait;
    found = false;
    EnableDlgItem(IDC_DOWNLOAD, false);
    SetText("Connect " + (sensorName.empty() ? std::string("(untyped sensor)") : sensorName) + " Ser.# " +
            (serialNumber.empty() ? std::string("(empty)") : serialNumber) + "\r\nand choose \"Rescan\".");
    Scan(includeNetwork);
    for (std::size_t i = 0; i < records.size(); ++i) {
        const SensorRecord& record = records[i];
        if (record.type != sensorName || record.serialNumber != serialNumber)
            continue;
        found = true;
        foundIndex = static_cast<std::uint32_t>(i);
        SetText("Compatible sensor found:\r\n" + record.type + " Serial # " + record.serialNumber + " via " +
                ConnectionText(record.connection) + "\r\n\r\nChoose \"Download\" to save\r\ncalibration data to sensor.");
        EnableDlgItem(IDC_DOWNLOAD, true);
        break;
    }
}

bool CDownloadDialog::ConfirmCalDates(const std::array<std::string, 5>& sensorDates)
{
    std::string message = "Different calibration dates detected! Proceed?\n\n";
    bool differs = false;
    for (std::size_t i = 0; i < sensorDates.size(); ++i) {
        if (sensorDates[i] == calDates[i])
            continue;
        differs = true;
        message += dateCommands[i].kind + calDates[i] + "\n\tDate in sensor: " + sensorDates[i] + "\n";
    }
    if (!differs)
        return true;
    return MessageBox(this, Latin1ToWide(message), QString(), MB_YESNO | MB_ICONEXCLAMATION | MB_DEFBUTTON2) != IDNO;
}

void CDownloadDialog::CloseVisaSessions()
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

void CDownloadDialog::StartDownload()
{
    if (!found || foundIndex >= records.size())
        return;
    const SensorRecord record = records[foundIndex];
    const auto data = std::make_shared<const std::string>(dataBuffer);
    if (record.connection == Driver) {
        if (ReportDriverError(TvxOpenSensor(record.resourceDescriptor.c_str(), &driverSensor)) || driverSensor == 0) {
            SearchCompatibleSensor();
            return;
        }
        if (forceFactory) {
            std::array<std::string, 5> dates;
            for (std::size_t i = 0; i < dates.size(); ++i) {
                if (ReportDriverError(TvxEmptyAllBuffers(driverSensor)) ||
                    ReportDriverError(TvxSendCommand(driverSensor, dateCommands[i].driverCommand, commandTimeout)))
                    continue;
                dates[i] = ReadDriverText(driverSensor);
            }
            if (!ConfirmCalDates(dates)) {
                TvxCloseSensor(driverSensor);
                driverSensor = 0;
                EndDialog(IDCANCEL);
                return;
            }
        }
        try {
            boost::thread worker(
                download::ThreadFunctorLegacy{driverSensor, uploadTimeout, forceFactory, data, GetSafeHwnd()});
            worker.detach();
        } catch (const std::exception&) {
            MessageBox(this, QStringLiteral("Failed to start download thread!"), QString(), MB_OK | MB_ICONERROR);
            TvxCloseSensor(driverSensor);
            driverSensor = 0;
            SearchCompatibleSensor();
            return;
        }
    } else {
        const VisaFunctions& visa = *VisaLibrary();
        if (ReportVisaError(visa.viOpenDefaultRM(&resourceManager))) {
            SearchCompatibleSensor();
            return;
        }
        if (ReportVisaError(visa.viOpen(resourceManager, record.resourceDescriptor.c_str(), 0, 0, &instrument))) {
            CloseVisaSessions();
            SearchCompatibleSensor();
            return;
        }
        const ViStatus locked = visa.viLock(instrument, VI_EXCLUSIVE_LOCK, lockTimeoutMs, VI_NULL, VI_NULL);
        if (locked == VI_SUCCESS) {
            lockHeld = true;
        } else if (locked != VI_ERROR_NSUP_OPER && locked != VI_WARN_EXT_FUNC_NIMPL) {
            ReportVisaError(locked);
            CloseVisaSessions();
            SearchCompatibleSensor();
            return;
        }
        if (forceFactory) {
            std::array<std::string, 5> dates;
            for (std::size_t i = 0; i < dates.size(); ++i) {
                if (ReportVisaError(VisaQueryString(visa, instrument, dateCommands[i].visaCommand, dates[i]))) {
                    CloseVisaSessions();
                    EndDialog(IDCANCEL);
                    return;
                }
            }
            if (!ConfirmCalDates(dates)) {
                CloseVisaSessions();
                EndDialog(IDCANCEL);
                return;
            }
        }
        if (ReportVisaError(visa.viSetAttribute(instrument, VI_ATTR_TMO_VALUE, static_cast<ViUInt32>(commandTimeout)))) {
            CloseVisaSessions();
            SearchCompatibleSensor();
            return;
        }
        try {
            boost::thread worker(download::ThreadFunctorVISA{SharedVisaLibrary(), instrument, uploadTimeout,
                                                             forceFactory, data, GetSafeHwnd()});
            worker.detach();
        } catch (const std::exception&) {
            MessageBox(this, QStringLiteral("Failed to start download thread!"), QString(), MB_OK | MB_ICONERROR);
            CloseVisaSessions();
            SearchCompatibleSensor();
            return;
        }
    }
    m_transferring = true;
    SetText("Download running ...");
    EnableDlgItem(IDC_RESCAN, false);
    EnableDlgItem(IDC_DOWNLOAD, false);
    EnableDlgItem(IDCANCEL, false);
}

void CDownloadDialog::FinishFailedAttempt()
{
    m_transferring = false;
    EnableDlgItem(IDC_RESCAN, true);
    EnableDlgItem(IDCANCEL, true);
    SearchCompatibleSensor();
}

void CDownloadDialog::OnDownloadDriverDone(WPARAM wParam, LPARAM)
{
    const std::int32_t status = static_cast<std::int32_t>(wParam);
    if (status == UnexpectedUserDataProbe) {
        ReportMessage("The sensor did not answer the user data probe as a sensor does. Nothing was written.");
    } else if (!ReportDriverError(status)) {
        SetText("Download finished.");
        // A write the sensor refused is no download: its error is the
        // failure. Only then is the sensor asked to store and restart.
        std::uint32_t code = 0;
        if (!ReportDriverError(TvxGetError(driverSensor, &code)) &&
            !ReportDriverError(static_cast<std::int32_t>(code))) {
            if (!ReportDriverError(TvxSendVendorOutRequest(driverSensor, 1, 1, 0))) {
                TvxCloseSensor(driverSensor);
                driverSensor = 0;
                m_transferring = false;
                EndDialog(IDCANCEL);
                MessageBox(nullptr, QStringLiteral("Download successful."), QString(), MB_OK | MB_ICONINFORMATION);
                return;
            }
            MessageBox(this, QStringLiteral("Download successful, but flash or reset error."), QStringLiteral("Error"),
                       MB_OK | MB_ICONERROR);
        }
    }
    TvxCloseSensor(driverSensor);
    driverSensor = 0;
    FinishFailedAttempt();
}

void CDownloadDialog::OnDownloadVisaDone(WPARAM wParam, LPARAM)
{
    if (!ReportVisaError(static_cast<ViStatus>(wParam))) {
        SetText("Download finished.");
        const VisaFunctions& visa = *VisaLibrary();
        std::int32_t code = 0;
        std::string text;
        if (!ReportVisaError(visa.viSetAttribute(instrument, VI_ATTR_TMO_VALUE, static_cast<ViUInt32>(commandTimeout))) &&
            !ReportVisaError(VisaQueryError(visa, instrument, code, text))) {
            if (code == 0) {
                CloseVisaSessions();
                m_transferring = false;
                EndDialog(IDCANCEL);
                MessageBox(nullptr, QStringLiteral("Download successful."), QString(), MB_OK | MB_ICONINFORMATION);
                return;
            }
            MessageBox(this, Latin1ToWide(text), QStringLiteral("Error"), MB_OK | MB_ICONERROR);
        }
    }
    CloseVisaSessions();
    FinishFailedAttempt();
}
