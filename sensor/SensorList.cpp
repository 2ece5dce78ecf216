#include "SensorList.h"

#include "MemoryAdvice.h"

#include "ScpiHelpers.h"
#include "TvxControl2.h"

#include <boost/algorithm/string/predicate.hpp>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <locale>
#include <thread>

namespace
{

// Attribute and status texts of VISA.
constexpr std::size_t visaTextSize = 256;

using Clock = std::chrono::steady_clock;

Clock::time_point DeadlineAfter(std::int32_t milliseconds)
{
    return Clock::now() + std::chrono::milliseconds(milliseconds);
}

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

// Polls until a result waits; false at the deadline or when the driver
// cannot say, which it would not be able to on the next poll either.
bool AwaitResult(SensorList& list, std::int32_t sensor, Clock::time_point deadline)
{
    for (;;) {
        std::int32_t available = 0;
        if (list.ReportDriverError(TvxDataAvailable(sensor, &available)))
            return false;
        if (available != 0)
            return true;
        if (Clock::now() > deadline)
            return false;
        std::this_thread::yield();
    }
}

// Drops waiting results until one of `type` comes first; false when none is left.
bool SkipToResult(SensorList& list, std::int32_t sensor, std::uint32_t type)
{
    for (;;) {
        std::uint32_t found = 0, length = 0, sequence = 0;
        if (list.ReportDriverError(TvxGetData(sensor, &found, &length, &sequence)))
            return false;
        if (found == type)
            return true;
        list.ReportDriverError(TvxDiscardResult(sensor));
        std::int32_t available = 0;
        list.ReportDriverError(TvxDataAvailable(sensor, &available));
        if (available == 0)
            return false;
    }
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
    ReportMessage(text.c_str());
    return true;
}

bool SensorList::ReportVisaError(ViStatus status)
{
    if (status == VI_SUCCESS)
        return false;
    char text[visaTextSize] = {};
    if (!m_visa || m_visa->viStatusDesc(instrument, status, text) < VI_SUCCESS)
        ReportMessage("Unknown VISA status!");
    else {
        text[visaTextSize - 1] = '\0';
        ReportMessage(text);
    }
    return true;
}

void SensorList::ReportMessage(const char* text)
{
    std::fprintf(stderr, "%s\n", text ? text : "");
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
    TvxLockDeviceList();
    std::int32_t count = 0;
    TvxGetDeviceListLength(&count);
    for (std::int32_t index = 0; index < count; ++index) {
        char name[TVX_DEVICE_TEXT_SIZE] = {};
        char type[TVX_DEVICE_TEXT_SIZE] = {};
        char serial[TVX_DEVICE_TEXT_SIZE] = {};
        std::int32_t present = 0;
        TvxGetDeviceInfo(index, name, type, serial, &present);
        name[TVX_DEVICE_TEXT_SIZE - 1] = type[TVX_DEVICE_TEXT_SIZE - 1] = serial[TVX_DEVICE_TEXT_SIZE - 1] = '\0';
        const bool listed = std::any_of(records.begin(), records.end(), [&](const SensorRecord& record) {
            return record.type == type && record.serialNumber == serial;
        });
        if (present != 0 && !listed)
            records.push_back({name, type, serial, Driver});
    }
    TvxCommitDeviceList();
}

std::string SensorList::ReadDriverText(std::int32_t sensor)
{
    if (!AwaitResult(*this, sensor, DeadlineAfter(commandTimeout)) || !SkipToResult(*this, sensor, TVX_RESULT_TEXT))
        return {};
    // With no buffer the driver gives the length to provide, not a status.
    const std::int32_t length = TvxGetStringResult(sensor, nullptr, 0);
    if (length <= 0) {
        ReportDriverError(length);
        return {};
    }
    std::string text(static_cast<std::size_t>(length), '\0');
    ReportDriverError(TvxGetStringResult(sensor, text.data(), length));
    text.resize(std::min(text.find('\0'), text.size()));
    return text;
}

std::string SensorList::ReadDriverBlock(std::int32_t sensor, std::int32_t timeout)
{
    if (!AwaitResult(*this, sensor, DeadlineAfter(timeout)) || !SkipToResult(*this, sensor, TVX_RESULT_BINARY))
        return {};
    std::int32_t length = 0;
    if (ReportDriverError(TvxGetBinaryResultLength(sensor, &length)) || length < 0)
        return {};
    std::string block;
    tamrix_memory::ResizeForWriting(block, static_cast<std::size_t>(length));
    std::int32_t count = 0;
    if (ReportDriverError(TvxGetBinaryResult(sensor, block.data(), length, &count)))
        return {};
    block.resize(static_cast<std::size_t>(std::clamp(count, 0, length)));
    return block;
}
