#include "DownloadDialog.h"

#include "BusyWait.h"
#include "DriverResults.h"
#include "MessageBox.h"
#include "Resource.h"
#include "ScpiHelpers.h"
#include "TextConversion.h"
#include "TransferWorkers.h"
#include "TvxControl2.h"
#include "WaitCursor.h"


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

const char* const Unchanged = "The sensor's data is unchanged.";
const char* const WriteUnknown =
    "Whether the sensor took the data set is not known: \"Load Calibration Data\" shows what it holds.";
const char* const WrittenUnchecked =
    "The sensor took the data set; whether it holds it exactly is not known: \"Load Calibration Data\" shows what "
    "it holds.";

const char* AreaText(DataAreaChoice area)
{
    switch (area) {
    case DataAreaChoice::User: return "user data set";
    case DataAreaChoice::Factory: return "factory data set";
    case DataAreaChoice::Unknown: break;
    }
    return "not known (the sensor did not say)";
}

// The identity fields of an answer to "*idn?": manufacturer, model, serial
// number, firmware; false unless there are four.
bool SplitIdentity(const std::string& reply, std::array<std::string, 4>& fields)
{
    std::size_t start = 0;
    for (std::size_t i = 0; i < fields.size(); ++i) {
        const std::size_t comma = reply.find(',', start);
        if ((comma == std::string::npos) != (i + 1 == fields.size()))
            return false;
        std::string field = reply.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
        const std::size_t first = field.find_first_not_of(" \t\r\n");
        const std::size_t last = field.find_last_not_of(" \t\r\n");
        fields[i] = first == std::string::npos ? std::string() : field.substr(first, last - first + 1);
        start = comma + 1;
    }
    return true;
}

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
    MapMessage(WM_CHECK_DRIVER_DONE, &CDownloadDialog::OnCheckDriverDone);
    MapMessage(WM_CHECK_VISA_DONE, &CDownloadDialog::OnCheckVisaDone);
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
    if (!m_transferring && !m_busy)
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

// While the dialog waits on a sensor, its buttons rest and the text says what
// it waits for.
void CDownloadDialog::SetBusy(bool busy, const std::string& text)
{
    m_busy = busy;
    if (busy)
        SetText(text);
    EnableDlgItem(IDC_RESCAN, !busy);
    EnableDlgItem(IDCANCEL, !busy);
    if (busy)
        EnableDlgItem(IDC_DOWNLOAD, false);
}

void CDownloadDialog::SearchCompatibleSensor()
{
    CWaitCursor wait;
    found = false;
    EnableDlgItem(IDC_DOWNLOAD, false);
    const std::string connect = "Connect " + (sensorName.empty() ? std::string("(untyped sensor)") : sensorName) +
                                " Ser.# " + (serialNumber.empty() ? std::string("(empty)") : serialNumber) +
                                "\r\nand choose \"Rescan\".";
    SetBusy(true, connect + "\r\n\r\nSearching for sensors" + (includeNetwork ? " on USB and the LAN ..." : " ..."));
    WhileBusy([this] {
        Scan(includeNetwork);
        return true;
    });
    SetBusy(false);
    SetText(connect);
    for (std::size_t i = 0; i < records.size(); ++i) {
        const SensorRecord& record = records[i];
        if (record.type != sensorName || record.serialNumber != serialNumber)
            continue;
        const std::string sensor = record.type + " Serial # " + record.serialNumber + " via " +
                                   ConnectionText(record.connection);
        SetBusy(true, "Compatible sensor found:\r\n" + sensor + "\r\n\r\nAsking it for its data areas ...");
        m_area = ProbeArea(record);
        SetBusy(false);
        found = true;
        foundIndex = static_cast<std::uint32_t>(i);
        SetText("Compatible sensor found:\r\n" + sensor + "\r\nData area: " + AreaText(m_area) +
                "\r\n\r\nChoose \"Download\" to save\r\ncalibration data to sensor.");
        EnableDlgItem(IDC_DOWNLOAD, true);
        break;
    }
}

// Which area a download would write: the factory area when forced, else the
// user area when the sensor lists the user data command. Asked on a session
// of its own; a sensor that does not answer leaves it unknown.
DataAreaChoice CDownloadDialog::ProbeArea(const SensorRecord& record)
{
    if (forceFactory)
        return DataAreaChoice::Factory;
    const auto choice = [](bool hasUser) { return hasUser ? DataAreaChoice::User : DataAreaChoice::Factory; };
    if (record.connection == Driver) {
        return WhileBusy([&] {
            std::int32_t sensor = 0;
            if (TvxOpenSensor(record.resourceDescriptor.c_str(), &sensor) != 0)
                return DataAreaChoice::Unknown;
            std::string headers;
            const std::int32_t status = QueryDriverBlock(sensor, "syst:help:head?", commandTimeout, headers);
            TvxCloseSensor(sensor);
            return status == 0 ? choice(HasUserDataCommand(headers)) : DataAreaChoice::Unknown;
        });
    }
    const std::shared_ptr<const VisaFunctions> shared = SharedVisaLibrary();
    if (!shared)
        return DataAreaChoice::Unknown;
    return WhileBusy([&] {
        const VisaFunctions& visa = *shared;
        ViSession manager = 0, session = 0;
        DataAreaChoice area = DataAreaChoice::Unknown;
        if (visa.viOpenDefaultRM(&manager) < VI_SUCCESS)
            return area;
        std::string headers;
        if (visa.viOpen(manager, record.resourceDescriptor.c_str(), 0, 0, &session) >= VI_SUCCESS &&
            visa.viSetAttribute(session, VI_ATTR_TMO_VALUE, static_cast<ViUInt32>(commandTimeout)) == VI_SUCCESS &&
            VisaQueryBlock(visa, session, "*cls;syst:help:head?", headers) == VI_SUCCESS)
            area = choice(HasUserDataCommand(headers));
        if (session)
            visa.viClose(session);
        visa.viClose(manager);
        return area;
    });
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

// The instrument that answers on the session about to write must be the data
// set's sensor: an address found at the search may belong to another one now.
bool CDownloadDialog::IsDataSetsSensor(const std::string& manufacturer, const std::string& model,
                                       const std::string& serial)
{
    if (model == sensorName && serial == serialNumber)
        return true;
    ReportProblem("The instrument that answers there is " + manufacturer + " " + model + " Ser.# " + serial +
                  ", not the data set's sensor " + sensorName + " Ser.# " + serialNumber +
                  ". Nothing was written; the dialog searches again.");
    return false;
}

void CDownloadDialog::CloseDriverSensor()
{
    if (driverSensor)
        TvxCloseSensor(driverSensor);
    driverSensor = 0;
}

void CDownloadDialog::CloseVisaSessions()
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

void CDownloadDialog::StartDownload()
{
    if (!found || foundIndex >= records.size() || m_busy || m_transferring)
        return;
    const SensorRecord record = records[foundIndex];
    BeginTransfer(record);
    transferArea = m_area == DataAreaChoice::User ? "user data area" : m_area == DataAreaChoice::Factory ? "factory data area" : "";
    m_sent = std::make_shared<const std::string>(dataBuffer);
    m_outcome = std::make_shared<TransferOutcome>();
    const bool started = record.connection == Driver ? StartDriverDownload(record, m_sent)
                                                     : StartVisaDownload(record, m_sent);
    if (!started) {
        EndTransfer();
        return;
    }
    m_transferring = true;
    SetText("Download running ...");
    EnableDlgItem(IDC_RESCAN, false);
    EnableDlgItem(IDC_DOWNLOAD, false);
    EnableDlgItem(IDCANCEL, false);
}

bool CDownloadDialog::StartDriverDownload(const SensorRecord& record, const std::shared_ptr<const std::string>& data)
{
    const auto giveUp = [this](bool endDialog) {
        CloseDriverSensor();
        endDialog ? EndDialog(IDCANCEL) : SearchCompatibleSensor();
        return false;
    };
    SetStep(TransferStep::Opening, Unchanged);
    if (ReportDriverError(TvxOpenSensor(record.resourceDescriptor.c_str(), &driverSensor)) || driverSensor == 0)
        return giveUp(false);
    SetStep(TransferStep::Identifying, Unchanged);
    SetBusy(true, "Asking " + record.type + " Ser.# " + record.serialNumber + " who it is ...");
    std::string reply;
    const std::int32_t sensor = driverSensor;
    const std::int32_t identified =
        WhileBusy([&] { return QueryDriverText(sensor, "*idn?", commandTimeout, reply); });
    SetBusy(false);
    std::array<std::string, 4> identity;
    if (ReportDriverError(identified))
        return giveUp(false);
    if (!SplitIdentity(reply, identity)) {
        ReportProblem("The sensor's answer to \"*idn?\" is not an identity: \"" + reply + "\".");
        return giveUp(false);
    }
    if (!IsDataSetsSensor(identity[0], identity[1], identity[2]))
        return giveUp(false);
    if (forceFactory) {
        SetStep(TransferStep::ReadingDates, Unchanged);
        SetBusy(true, "Reading the calibration dates of " + record.type + " Ser.# " + record.serialNumber + " ...");
        std::array<std::string, 5> dates;
        std::array<std::int32_t, 5> statuses{};
        WhileBusy([&] {
            for (std::size_t i = 0; i < dates.size(); ++i) {
                std::int32_t status = TvxEmptyAllBuffers(sensor);
                if (status == 0)
                    status = TvxSendCommand(sensor, dateCommands[i].driverCommand, commandTimeout);
                if (status == 0) {
                    status = ReadDriverTextResult(sensor, commandTimeout, dates[i]);
                    // No answer in time leaves the date empty without a word.
                    if (status == TVX_ERR_TIMEOUT || status == TVX_ERR_NO_RESULT)
                        status = 0;
                }
                statuses[i] = status;
            }
            return true;
        });
        SetBusy(false);
        for (std::size_t i = 0; i < dates.size(); ++i)
            if (ReportDriverError(statuses[i]))
                dates[i].clear();
        if (!ConfirmCalDates(dates))
            return giveUp(true);
    }
    if (StartDetached(download::ThreadFunctorLegacy{driverSensor, uploadTimeout, forceFactory, data, m_area, m_outcome,
                                                    GetSafeHwnd()}))
        return true;
    MessageBox(this, QStringLiteral("Failed to start download thread!"), QString(), MB_OK | MB_ICONERROR);
    return giveUp(false);
}

bool CDownloadDialog::StartVisaDownload(const SensorRecord& record, const std::shared_ptr<const std::string>& data)
{
    const auto giveUp = [this](bool endDialog) {
        CloseVisaSessions();
        endDialog ? EndDialog(IDCANCEL) : SearchCompatibleSensor();
        return false;
    };
    const std::shared_ptr<const VisaFunctions> shared = SharedVisaLibrary();
    if (!shared)
        return giveUp(false);
    const VisaFunctions& visa = *shared;
    const std::string sensor = record.type + " Ser.# " + record.serialNumber;
    SetStep(TransferStep::Opening, Unchanged);
    if (ReportVisaError(visa.viOpenDefaultRM(&resourceManager)))
        return giveUp(false);
    SetBusy(true, "Opening " + sensor + " ...");
    const ViStatus opened = WhileBusy(
        [&] { return visa.viOpen(resourceManager, record.resourceDescriptor.c_str(), 0, 0, &instrument); });
    SetBusy(false);
    if (ReportVisaError(opened))
        return giveUp(false);
    SetStep(TransferStep::Locking, Unchanged);
    SetBusy(true, "Waiting for the lock on " + sensor + " (up to " + std::to_string(lockTimeoutMs / 1000) +
                      " s): another program may be using it ...");
    const ViSession session = instrument;
    const ViStatus locked = WhileBusy([&] { return visa.viLock(session, VI_EXCLUSIVE_LOCK, lockTimeoutMs, VI_NULL, VI_NULL); });
    SetBusy(false);
    if (locked == VI_SUCCESS) {
        lockHeld = true;
    } else if (locked != VI_ERROR_NSUP_OPER && locked != VI_WARN_EXT_FUNC_NIMPL) {
        ReportVisaError(locked);
        return giveUp(false);
    }
    SetStep(TransferStep::Identifying, Unchanged);
    SetBusy(true, "Asking " + sensor + " who it is ...");
    std::string manufacturer, model, serial, firmware;
    const ViStatus identified =
        WhileBusy([&] { return VisaQueryIdentity(visa, session, manufacturer, model, serial, firmware); });
    SetBusy(false);
    if (ReportVisaError(identified) || !IsDataSetsSensor(manufacturer, model, serial))
        return giveUp(false);
    if (forceFactory) {
        SetStep(TransferStep::ReadingDates, Unchanged);
        SetBusy(true, "Reading the calibration dates of " + sensor + " ...");
        std::array<std::string, 5> dates;
        const ViStatus read = WhileBusy([&] {
            for (std::size_t i = 0; i < dates.size(); ++i)
                if (const ViStatus status = VisaQueryString(visa, session, dateCommands[i].visaCommand, dates[i]))
                    return status;
            return VI_SUCCESS;
        });
        SetBusy(false);
        if (ReportVisaError(read) || !ConfirmCalDates(dates))
            return giveUp(true);
    }
    SetStep(TransferStep::Writing, Unchanged);
    if (ReportVisaError(visa.viSetAttribute(instrument, VI_ATTR_TMO_VALUE, static_cast<ViUInt32>(commandTimeout))))
        return giveUp(false);
    if (StartDetached(download::ThreadFunctorVISA{shared, instrument, uploadTimeout, forceFactory, data, m_area,
                                                  m_outcome, GetSafeHwnd()}))
        return true;
    MessageBox(this, QStringLiteral("Failed to start download thread!"), QString(), MB_OK | MB_ICONERROR);
    return giveUp(false);
}

void CDownloadDialog::TakeWorkerStep(bool timedOut)
{
    const TransferStep step = m_outcome->step;
    if (m_outcome->area != DataAreaChoice::Unknown)
        transferArea = m_outcome->area == DataAreaChoice::User ? "user data area" : "factory data area";
    blockFault = m_outcome->fault;
    // The sensor takes a data set only as one whole block: a write that broke
    // off left its data as it was; one that timed out may have come through.
    const char* state = Unchanged;
    if (!m_outcome->problem.empty() && step != TransferStep::Probing)
        state = ""; // the problem says what the sensor holds
    else if (step == TransferStep::Writing && timedOut)
        state = WriteUnknown;
    else if (step == TransferStep::ReadingBack)
        state = WrittenUnchecked;
    else if (step == TransferStep::Restarting)
        state = "The sensor gave the data set sent back; whether it keeps it after a restart is not known.";
    SetStep(step, state);
}

void CDownloadDialog::FinishFailedAttempt()
{
    m_transferring = false;
    EndTransfer();
    EnableDlgItem(IDC_RESCAN, true);
    EnableDlgItem(IDCANCEL, true);
    SearchCompatibleSensor();
}

void CDownloadDialog::Succeed()
{
    CloseDriverSensor();
    CloseVisaSessions();
    m_transferring = false;
    EndTransfer();
    EndDialog(IDCANCEL);
    MessageBox(nullptr, QStringLiteral("Download successful."), QString(), MB_OK | MB_ICONINFORMATION);
}

// The write is done and the sensor took it: the area is read back (and on the
// driver path the sensor stored and restarted, then read once more) before
// anything is called a success.
void CDownloadDialog::StartCheck()
{
    SetText("Download finished.\r\nChecking what the sensor holds now ...");
    SetStep(TransferStep::ReadingBack, WrittenUnchecked);
    const bool started =
        driverSensor ? StartDetached(download::CheckFunctorLegacy{driverSensor, records[foundIndex].type,
                                                                 records[foundIndex].serialNumber, commandTimeout,
                                                                 uploadTimeout, m_sent, m_outcome, GetSafeHwnd()})
                     : StartDetached(download::CheckFunctorVISA{SharedVisaLibrary(), instrument, uploadTimeout, m_sent,
                                                                m_outcome, GetSafeHwnd()});
    if (!started) {
        ReportProblem("The data set could not be read back: no thread to do it could be started.");
        CloseDriverSensor();
        CloseVisaSessions();
        FinishFailedAttempt();
    }
}

void CDownloadDialog::OnDownloadDriverDone(WPARAM wParam, LPARAM)
{
    const std::int32_t status = static_cast<std::int32_t>(wParam);
    TakeWorkerStep(status == TVX_ERR_TIMEOUT);
    if (!m_outcome->problem.empty()) {
        ReportProblem(m_outcome->problem);
    } else if (status == UnexpectedUserDataProbe) {
        ReportProblem("The sensor did not answer the user data probe as a sensor does. Nothing was written.");
    } else if (!ReportDriverError(status)) {
        // A write the sensor refused is no download: its error is the
        // failure. Only then is the data set read back.
        std::uint32_t code = 0;
        SetStep(TransferStep::Writing, WriteUnknown);
        const std::int32_t sensor = driverSensor;
        const std::int32_t asked = WhileTransferring("Download finished.\r\nAsking the sensor whether it took the data set ...",
                                                     [&] { return TvxGetError(sensor, &code); });
        if (!ReportDriverError(asked)) {
            SetStep(TransferStep::Writing, Unchanged);
            if (!ReportDriverError(static_cast<std::int32_t>(code))) {
                StartCheck();
                return;
            }
        }
    }
    CloseDriverSensor();
    FinishFailedAttempt();
}

void CDownloadDialog::OnCheckDriverDone(WPARAM wParam, LPARAM)
{
    const std::int32_t status = static_cast<std::int32_t>(wParam);
    TakeWorkerStep(false);
    if (!m_outcome->problem.empty()) {
        ReportProblem(m_outcome->problem, m_outcome->tooSlow);
    } else if (!ReportDriverError(status)) {
        Succeed();
        return;
    } else if (m_outcome->step == TransferStep::Restarting) {
        MessageBox(this, QStringLiteral("Download successful, but flash or reset error."), QStringLiteral("Error"),
                   MB_OK | MB_ICONERROR);
    }
    CloseDriverSensor();
    FinishFailedAttempt();
}

void CDownloadDialog::OnDownloadVisaDone(WPARAM wParam, LPARAM)
{
    const ViStatus status = static_cast<ViStatus>(wParam);
    TakeWorkerStep(status == VI_ERROR_TMO);
    if (!m_outcome->problem.empty()) {
        ReportProblem(m_outcome->problem);
    } else if (!ReportVisaError(status)) {
        const VisaFunctions& visa = *VisaLibrary();
        std::int32_t code = 0;
        std::string text;
        SetStep(TransferStep::Writing, WriteUnknown);
        const ViSession session = instrument;
        if (!ReportVisaError(visa.viSetAttribute(instrument, VI_ATTR_TMO_VALUE, static_cast<ViUInt32>(commandTimeout))) &&
            !ReportVisaError(WhileTransferring("Download finished.\r\nAsking the sensor whether it took the data set ...",
                                               [&] { return VisaQueryError(visa, session, code, text); }))) {
            if (code == 0) {
                StartCheck();
                return;
            }
            SetStep(TransferStep::Writing, Unchanged);
            MessageBox(this, Latin1ToWide(DescribeFailure(text)), QStringLiteral("Error"), MB_OK | MB_ICONERROR);
        }
    }
    CloseVisaSessions();
    FinishFailedAttempt();
}

void CDownloadDialog::OnCheckVisaDone(WPARAM wParam, LPARAM)
{
    TakeWorkerStep(false);
    if (!m_outcome->problem.empty())
        ReportProblem(m_outcome->problem);
    else if (!ReportVisaError(static_cast<ViStatus>(wParam))) {
        Succeed();
        return;
    }
    CloseVisaSessions();
    FinishFailedAttempt();
}
