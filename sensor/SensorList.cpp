#include "SensorList.h"

#include "DriverResults.h"
#include "ScpiHelpers.h"
#include "TvxControl2.h"

#include <boost/algorithm/string/predicate.hpp>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <locale>

namespace
{

// Attribute and status texts of VISA.
constexpr std::size_t visaTextSize = 256;

// Case-insensitive: both sides upper-cased in the process's default locale.
bool BeginsWith(const std::string& text, const char* prefix)
{
    return boost::algorithm::istarts_with(text, prefix, std::locale());
}

bool IsMakersInstrument(const std::string& manufacturer, const std::string& model)
{
    return BeginsWith(manufacturer, "TROBE") && manufacturer.find('&') != std::string::npos &&
           boost::algorithm::iends_with(manufacturer, "LINDVAR", std::locale()) && BeginsWith(model, "TVX");
}

std::string Attribute(const VisaFunctions& visa, ViSession session, ViAttr attribute)
{
    char text[visaTextSize] = {};
    if (visa.viGetAttribute(session, attribute, text) < VI_SUCCESS)
        return "error";
    text[visaTextSize - 1] = '\0';
    return text;
}

// Opens every resource the expression finds, at most as many as the find
// call counted, and hands each open session to `visit`.
void VisitResources(const VisaFunctions& visa, ViSession manager, const char* expression,
                    const std::function<void(const char* descriptor, ViSession session)>& visit)
{
    ViFindList list = 0;
    ViUInt32 count = 0;
    char descriptor[VI_FIND_BUFLEN] = {};
    ViStatus found = visa.viFindRsrc(manager, expression, &list, &count, descriptor);
    for (ViUInt32 pass = 0; pass < count && found == VI_SUCCESS; ++pass) {
        descriptor[VI_FIND_BUFLEN - 1] = '\0';
        ViSession session = 0;
        if (visa.viOpen(manager, descriptor, VI_NULL, VI_NULL, &session) >= VI_SUCCESS) {
            visit(descriptor, session);
            visa.viClose(session);
        }
        found = visa.viFindNext(list, descriptor);
    }
    if (list != 0) // a failed find leaves no list
        visa.viClose(list);
}

const char* StepText(TransferStep step)
{
    switch (step) {
    case TransferStep::Opening: return "opening the sensor";
    case TransferStep::Locking: return "locking the sensor for this program";
    case TransferStep::Identifying: return "asking the sensor for its type and serial number";
    case TransferStep::ReadingDates: return "reading the sensor's calibration dates";
    case TransferStep::Probing: return "asking the sensor for its data areas";
    case TransferStep::Writing: return "writing the data set";
    case TransferStep::ReadingBack: return "reading the data set back";
    case TransferStep::Restarting: return "storing the data set and restarting the sensor";
    case TransferStep::Reading: return "reading the data set";
    }
    return "";
}

bool OnLan(const std::string& descriptor)
{
    return BeginsWith(descriptor, "TCPIP");
}

} // namespace

const char* ConnectionText(SensorConnection connection)
{
    return connection == Visa ? "VISA" : "TvxControl2.dll";
}

SensorList::SensorList(std::int32_t commandTimeout, std::shared_ptr<const VisaFunctions> visa)
    : commandTimeout(commandTimeout)
    , m_visa(std::move(visa))
{
    if (ReportDriverError(TvxOpenDriver()))
        usbDriverAvailable = false;
    // The loader has already said so when it found no VISA library.
    visaAvailable = m_visa != nullptr;
}

SensorList::~SensorList()
{
    TvxCloseDriver();
}

bool SensorList::ReportDriverError(std::int32_t status)
{
    if (status == 0)
        return false;
    const std::int32_t length = TvxGetErrorText(status, nullptr, 0);
    std::string text(static_cast<std::size_t>(std::max<std::int32_t>(length, 0)), '\0');
    if (!text.empty())
        TvxGetErrorText(status, text.data(), length);
    text.resize(std::min(text.find('\0'), text.size()));
    Advice advice = Advice::None;
    if (status == TVX_ERR_TIMEOUT)
        advice = Advice::Timeout;
    else if (status == TVX_ERR_BUSY || status == TVX_ERR_LOCKED)
        advice = Advice::Lock;
    else if (status == TVX_ERR_CONNECTION_LOST || status == TVX_ERR_NO_SUCH_DEVICE)
        advice = Advice::Connection;
    Report(std::move(text), advice);
    return true;
}

bool SensorList::ReportVisaError(ViStatus status)
{
    if (status == VI_SUCCESS)
        return false;
    std::string text;
    char description[visaTextSize] = {};
    if (status == VI_ERROR_INV_FMT && !blockFault.empty())
        text = "The sensor's answer is not a valid data block: " + blockFault + ".";
    else if (!m_visa || m_visa->viStatusDesc(instrument, status, description) < VI_SUCCESS)
        text = "Unknown VISA status!";
    else
        text = (description[visaTextSize - 1] = '\0', description);
    blockFault.clear();
    Advice advice = Advice::None;
    if (status == VI_ERROR_TMO)
        advice = Advice::Timeout;
    else if (status == VI_ERROR_RSRC_LOCKED || status == VI_ERROR_RSRC_BUSY)
        advice = Advice::Lock;
    else if (status == VI_ERROR_CONN_LOST || status == VI_ERROR_RSRC_NFOUND || status == VI_ERROR_IO)
        advice = Advice::Connection;
    Report(std::move(text), advice);
    return true;
}

void SensorList::ReportMessage(const char* text)
{
    std::fprintf(stderr, "%s\n", text ? text : "");
}

void SensorList::ReportProblem(const std::string& text, bool tooSlow)
{
    Report(text, tooSlow ? Advice::Timeout : Advice::None);
}

void SensorList::Report(std::string text, Advice advice)
{
    ReportMessage(Described(std::move(text), advice).c_str());
}

std::string SensorList::DescribeFailure(std::string text) const
{
    return Described(std::move(text), Advice::None);
}

std::string SensorList::Described(std::string text, Advice advice) const
{
    if (m_transfer) {
        text += "\r\n\r\nSensor: " + m_sensor.type + " Ser.# " + m_sensor.serialNumber + ", " +
                m_sensor.resourceDescriptor + " via " + ConnectionText(m_sensor.connection);
        text += std::string("\r\nFailed step: ") + StepText(m_step);
        if (!transferArea.empty() && (m_step == TransferStep::Writing || m_step == TransferStep::ReadingBack ||
                                      m_step == TransferStep::Reading))
            text += (m_step == TransferStep::Writing ? " into the " : " from the ") + transferArea;
        if (!m_dataState.empty())
            text += "\r\n" + m_dataState;
        switch (advice) {
        case Advice::Timeout:
            text += "\r\nIf the sensor needs longer, raise the timeouts under Options > Remote.";
            break;
        case Advice::Lock:
            text += "\r\nAnother program is using the sensor: close it or let it finish, then try again.";
            break;
        case Advice::Connection:
            text += OnLan(m_sensor.resourceDescriptor)
                        ? "\r\nCheck the LAN connection and the sensor's address, then try again."
                        : "\r\nCheck the sensor's USB cable, then try again.";
            break;
        case Advice::None:
            break;
        }
    }
    return text;
}

void SensorList::BeginTransfer(const SensorRecord& sensor)
{
    m_transfer = true;
    m_sensor = sensor;
    m_step = TransferStep::Opening;
    m_dataState = "The sensor's data is unchanged.";
    transferArea.clear();
    blockFault.clear();
}

void SensorList::SetStep(TransferStep step, std::string dataState)
{
    m_step = step;
    m_dataState = std::move(dataState);
}

void SensorList::EndTransfer()
{
    m_transfer = false;
}

void SensorList::Scan(bool includeNetwork)
{
    records.clear();
    ViSession manager = 0;
    if (visaAvailable && m_visa && m_visa->viOpenDefaultRM(&manager) >= VI_SUCCESS) {
        const VisaFunctions& visa = *m_visa;
        VisitResources(visa, manager, "USB?::0x1B7E?*INSTR", [&](const char* descriptor, ViSession session) {
            const std::string model = Attribute(visa, session, VI_ATTR_MODEL_NAME);
            const std::string serial = Attribute(visa, session, VI_ATTR_USB_SERIAL_NUM);
            if (BeginsWith(model, "TVX"))
                records.push_back({descriptor, model, serial, Visa});
        });
        if (includeNetwork) {
            VisitResources(visa, manager, "TCPIP?*INSTR", [&](const char* descriptor, ViSession session) {
                std::string manufacturer, model, serial, firmware;
                if (VisaQueryIdentity(visa, session, manufacturer, model, serial, firmware) == VI_SUCCESS &&
                    IsMakersInstrument(manufacturer, model))
                    records.push_back({descriptor, model, serial, Visa});
            });
        }
        visa.viClose(manager);
    }
    if (!usbDriverAvailable)
        return;
    for (const DriverSensor& sensor : ListDriverSensors()) {
        const bool listed = std::any_of(records.begin(), records.end(), [&](const SensorRecord& record) {
            return record.type == sensor.type && record.serialNumber == sensor.serialNumber;
        });
        if (!listed)
            records.push_back({sensor.name, sensor.type, sensor.serialNumber, Driver});
    }
}

std::string SensorList::ReadDriverText(std::int32_t sensor)
{
    std::string text;
    const std::int32_t status = ReadDriverTextResult(sensor, commandTimeout, text);
    if (status != TVX_ERR_TIMEOUT && status != TVX_ERR_NO_RESULT)
        ReportDriverError(status);
    return status == 0 ? text : std::string();
}

std::string SensorList::ReadDriverBlock(std::int32_t sensor, std::int32_t timeout)
{
    std::string block;
    const std::int32_t status = ReadDriverBlockResult(sensor, timeout, block);
    if (status != TVX_ERR_TIMEOUT && status != TVX_ERR_NO_RESULT)
        ReportDriverError(status);
    return status == 0 ? block : std::string();
}
