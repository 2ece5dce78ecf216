#include "SimSensor.h"

#include "LibraryErrorTable.h"
#include "MemoryAdvice.h"
#include "Tamrix.h"
#include "UsbTmc.h"

#include <algorithm>
#include <cctype>
#include <utility>

namespace
{

// SCPI-99 error queue: ten entries, the last replaced by "Queue overflow".
constexpr std::size_t maxErrors = 10;

const struct
{
    std::int32_t code;
    const char* text;
} standardErrors[] = {
    {-100, "Command error"},
    {-102, "Syntax error"},
    {-104, "Data type error"},
    {-108, "Parameter not allowed"},
    {-109, "Missing parameter"},
    {-113, "Undefined header"},
    {-161, "Invalid block data"},
    {-200, "Execution error"},
    {-221, "Settings conflict"},
    {-222, "Data out of range"},
    {-223, "Too much data"},
    {-224, "Illegal parameter value"},
    {-240, "Hardware error"},
    {-250, "Mass storage error"},
    {-300, "Device-specific error"},
    {-310, "System error"},
    {-330, "Self-test failed"},
    {-350, "Queue overflow"},
    {-410, "Query INTERRUPTED"},
};

std::string StandardText(std::int32_t code)
{
    for (const auto& entry : standardErrors)
        if (entry.code == code)
            return entry.text;
    return code < 0 ? "Error" : "Device-specific error";
}

std::uint32_t SensorCodeOf(std::int32_t scpiCode)
{
    switch (scpiCode) {
    case 0:
        return 0;
    case -113:
        return usbtmc::SensorErrorUndefinedHeader;
    case -161:
        return usbtmc::SensorErrorBlockData;
    case -221:
        return usbtmc::SensorErrorSettingsConflict;
    default:
        return usbtmc::SensorErrorScpiBase | (static_cast<std::uint32_t>(scpiCode) & 0xFFFF);
    }
}

// Error texts go out inside an SCPI string and are read as ISO-8859-1 by the
// host: printable ASCII only.
std::string Printable(const std::string& text)
{
    std::string result = text;
    for (char& c : result)
        if (static_cast<unsigned char>(c) < 0x20 || static_cast<unsigned char>(c) > 0x7E)
            c = '?';
    return result;
}

std::string Upper(std::string text)
{
    for (char& c : text)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

bool IsSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// A definite-length block starting at `at` ("#", digit count n, n digits of
// length L, L bytes): gives the offset of the data and L, or false.
bool ParseBlock(std::string_view text, std::size_t at, std::size_t end, std::size_t& data, std::size_t& length)
{
    if (at + 2 > end || text[at] != '#' || text[at + 1] < '1' || text[at + 1] > '9')
        return false;
    const std::size_t digits = static_cast<std::size_t>(text[at + 1] - '0');
    if (at + 2 + digits > end)
        return false;
    length = 0;
    for (std::size_t i = 0; i < digits; ++i) {
        const char c = text[at + 2 + i];
        if (c < '0' || c > '9')
            return false;
        length = length * 10 + static_cast<std::size_t>(c - '0');
    }
    data = at + 2 + digits;
    return length <= end - data;
}

// SCPI mnemonics: a node matches its short form (the upper-case letters) or
// its long form, in any case; nodes in brackets may be left out.
struct Node
{
    std::string shortForm;
    std::string longForm;
    bool optional;
};

std::vector<Node> PatternNodes(const std::string& pattern)
{
    std::vector<Node> nodes;
    std::size_t at = 0;
    while (at < pattern.size()) {
        bool optional = false;
        if (pattern[at] == '[') {
            optional = true;
            ++at;
        }
        if (pattern[at] == ':')
            ++at;
        std::size_t stop = at;
        while (stop < pattern.size() && pattern[stop] != ':' && pattern[stop] != '[' && pattern[stop] != ']')
            ++stop;
        Node node{{}, {}, optional};
        for (std::size_t i = at; i < stop; ++i) {
            if (std::isupper(static_cast<unsigned char>(pattern[i])))
                node.shortForm += pattern[i];
            node.longForm += static_cast<char>(std::toupper(static_cast<unsigned char>(pattern[i])));
        }
        nodes.push_back(node);
        at = stop;
        if (at < pattern.size() && pattern[at] == ']')
            ++at;
    }
    return nodes;
}

bool MatchNodes(const std::vector<Node>& pattern, std::size_t p, const std::vector<std::string>& header, std::size_t h)
{
    if (p == pattern.size())
        return h == header.size();
    if (pattern[p].optional && MatchNodes(pattern, p + 1, header, h))
        return true;
    return h < header.size() && (header[h] == pattern[p].shortForm || header[h] == pattern[p].longForm) &&
           MatchNodes(pattern, p + 1, header, h + 1);
}

bool HeaderMatches(std::string pattern, std::string upperHeader)
{
    const bool query = pattern.back() == '?';
    if (query != (upperHeader.back() == '?'))
        return false;
    if (pattern[0] == '*')
        return upperHeader == pattern;
    if (query) {
        pattern.pop_back();
        upperHeader.pop_back();
    }
    std::vector<std::string> nodes;
    std::size_t at = !upperHeader.empty() && upperHeader[0] == ':' ? 1 : 0;
    for (;;) {
        const std::size_t colon = upperHeader.find(':', at);
        nodes.push_back(upperHeader.substr(at, colon - at));
        if (colon == std::string::npos)
            break;
        at = colon + 1;
    }
    return MatchNodes(PatternNodes(pattern), 0, nodes, 0);
}

// What syst:info? gives, in the order of the stored dates.
const char* const infoKeys[] = {"cal. misc.", "cal. abs.", "cal. refl.", "cal. temp.", "cal. lin."};
const CMeasurement* const* const infoMeasurements[] = {&CMeasurement::Misc, &CMeasurement::Abso, &CMeasurement::Refl,
                                                       &CMeasurement::Temp, &CMeasurement::Lin};

std::vector<std::string> DatesOf(const CTamrix& set)
{
    std::vector<std::string> dates(std::size(infoKeys));
    for (std::size_t i = 0; i < dates.size(); ++i)
        dates[i] = set.GetCalDate(*infoMeasurements[i]);
    return dates;
}

std::vector<std::string> DatesOf(const std::string& factoryData)
{
    try {
        CTamrix set;
        set.EnableUtf8Support(true);
        CTamrixUtil::LoadTMXFromBuffer2(set, factoryData);
        return DatesOf(set);
    } catch (const TvxKyyCalcDLLError&) {
        // A factory area that holds no readable data set has no dates.
        return std::vector<std::string>(std::size(infoKeys));
    }
}

std::shared_ptr<const std::string> Shared(std::string text)
{
    return std::make_shared<const std::string>(std::move(text));
}

OutputPiece PieceOf(std::shared_ptr<const std::string> storage)
{
    const std::size_t size = storage->size();
    return OutputPiece{std::move(storage), 0, size};
}

} // namespace

// One program message unit: header (upper case, without white space) and the
// parameter text after it.
struct SimSensor::Unit
{
    std::string_view message;
    std::string header;
    std::size_t parameters; // offset into message
    std::size_t end;        // offset into message
};

SimSensor::SimSensor(SensorIdentity identity, std::string factoryData, std::string userData, Persist persist)
    : m_identity(std::move(identity)), m_persist(std::move(persist)), m_factoryDates(DatesOf(factoryData))
{
    m_factory = Shared(std::move(factoryData));
    m_user = Shared(std::move(userData));
}

void SimSensor::Execute(std::string_view message)
{
    if (m_outputLeft > 0) {
        DeviceClear();
        QueueError(-410);
    }
    m_response.clear();
    // Split into units at the semicolons that are outside strings and blocks;
    // the final line feed (and other trailing white space) ends the message.
    std::size_t end = message.size();
    std::size_t start = 0;
    std::size_t at = 0;
    auto finishUnit = [&](std::size_t stop) {
        std::size_t first = start;
        while (first < stop && IsSpace(message[first]))
            ++first;
        std::size_t last = stop;
        while (last > first && IsSpace(message[last - 1]))
            --last;
        if (first == last) {
            if (stop < end || start > 0)
                QueueError(-102, "empty command");
            return;
        }
        std::size_t headerEnd = first;
        while (headerEnd < last && !IsSpace(message[headerEnd]))
            ++headerEnd;
        std::size_t parameters = headerEnd;
        while (parameters < last && IsSpace(message[parameters]))
            ++parameters;
        ExecuteUnit(Unit{message, Upper(std::string(message.substr(first, headerEnd - first))), parameters, last});
    };
    while (at < end) {
        const char c = message[at];
        if (c == '"' || c == '\'') {
            const std::size_t close = message.find(c, at + 1);
            at = close == std::string_view::npos ? end : close + 1;
        } else if (c == '#') {
            std::size_t data = 0;
            std::size_t length = 0;
            at = ParseBlock(message, at, end, data, length) ? data + length : at + 1;
        } else if (c == ';') {
            finishUnit(at);
            start = ++at;
        } else {
            ++at;
        }
    }
    finishUnit(end);
    FinishResponse();
}

void SimSensor::ExecuteUnit(const Unit& unit)
{
    const std::string_view message = unit.message;
    const bool hasParameters = unit.parameters < unit.end;
    const auto noParameters = [&] {
        if (hasParameters)
            QueueError(-108);
        return !hasParameters;
    };
    const std::string& header = unit.header;

    if (HeaderMatches("*IDN?", header)) {
        if (noParameters())
            RespondText(std::string(SensorManufacturer) + "," + m_identity.model + "," + m_identity.serialNumber + "," +
                        m_identity.firmware);
    } else if (HeaderMatches("*CLS", header)) {
        if (noParameters())
            m_errors.clear();
    } else if (HeaderMatches("SYSTem:ERRor[:NEXT]?", header)) {
        if (noParameters()) {
            const SensorError error = PopError();
            std::string quoted;
            for (char c : error.text)
                quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
            RespondText(std::to_string(error.scpiCode) + ",\"" + quoted + "\"");
        }
    } else if (HeaderMatches("SYSTem:HELP:HEADers?", header)) {
        if (noParameters())
            RespondBlock(Shared(HelpHeaders()));
    } else if (HeaderMatches("SYSTem:INFO?", header)) {
        if (!hasParameters) {
            QueueError(-109);
            return;
        }
        const char quote = message[unit.parameters];
        if ((quote != '"' && quote != '\'') || unit.end - unit.parameters < 2 || message[unit.end - 1] != quote) {
            QueueError(-104, "a string is expected");
            return;
        }
        // A doubled quotation mark stands for one (IEEE 488.2, 7.7.5).
        std::string key;
        for (std::size_t i = unit.parameters + 1; i + 1 < unit.end; ++i) {
            if (message[i] == quote) {
                if (i + 2 >= unit.end || message[i + 1] != quote) {
                    QueueError(-104, "a string is expected");
                    return;
                }
                ++i;
            }
            key += message[i];
        }
        bool known = false;
        const std::string date = CalDate(key, known);
        if (known)
            RespondText(date);
        else
            QueueError(-224, "no information '" + key + "'");
    } else {
        const bool user = HeaderMatches("CALibration:USER:DATA", header) || HeaderMatches("CALibration:USER:DATA?", header);
        const bool factory = HeaderMatches("CALibration:DATA", header) || HeaderMatches("CALibration:DATA?", header);
        if ((!user && !factory) || (user && !m_identity.hasUserData)) {
            QueueError(-113);
            return;
        }
        const DataArea area = user ? DataArea::User : DataArea::Factory;
        if (header.back() == '?') {
            if (noParameters())
                RespondBlock(area == DataArea::User ? m_user : m_factory);
            return;
        }
        if (!hasParameters) {
            QueueError(-109);
            return;
        }
        std::size_t data = 0;
        std::size_t length = 0;
        if (message[unit.parameters] != '#') {
            QueueError(-104, "a block is expected");
            return;
        }
        if (!ParseBlock(message, unit.parameters, unit.end, data, length) || data + length != unit.end) {
            QueueError(-161, "the block does not match its header");
            return;
        }
        WriteArea(area, message.substr(data, length));
    }
}

void SimSensor::WriteArea(DataArea area, std::string_view block)
{
    const std::optional<std::int32_t> refused = area == DataArea::User && m_faults.refuseUserWrite
                                                    ? m_faults.refuseUserWrite
                                                    : m_faults.refuseWrite;
    if (refused) {
        QueueError(*refused, "write refused");
        return;
    }
    if (block.empty()) {
        QueueError(-161, "the block holds no data set");
        return;
    }
    // The one copy of the data the sensor keeps.
    auto stored = std::make_shared<std::string>();
    stored->reserve(block.size());
    tamrix_memory::AdviseHugePages(stored->data(), stored->capacity());
    stored->append(block);
    std::shared_ptr<const std::string> data = std::move(stored);
    CTamrix set;
    set.EnableUtf8Support(true);
    try {
        CTamrixUtil::LoadTMXFromBuffer2(set, *data);
    } catch (const TvxKyyCalcDLLError& error) {
        QueueError(-161, LibraryErrorText(error.code));
        return;
    }
    const bool userSet = set.GetChannelNumber() == 0;
    if (userSet != (area == DataArea::User)) {
        QueueError(-221, userSet ? "a user data set does not go into the factory data area"
                                 : "a factory data set does not go into the user data area");
        return;
    }
    if (set.GetSensorName() != m_identity.model || set.GetSerialNumber() != m_identity.serialNumber) {
        QueueError(-221, "the data set is for " + set.GetSensorName() + " Ser.# " + set.GetSerialNumber() +
                             ", this sensor is " + m_identity.model + " Ser.# " + m_identity.serialNumber);
        return;
    }
    if (m_faults.corruptStore) {
        // A sensor whose memory fails: it takes the set and keeps a byte of
        // its middle changed.
        auto changed = std::make_shared<std::string>(*data);
        (*changed)[changed->size() / 2] ^= 0x01;
        data = std::move(changed);
    }
    try {
        if (m_persist)
            m_persist(area, *data);
    } catch (const SensorStoreError& error) {
        QueueError(-250, error.what());
        return;
    }
    if (area == DataArea::User) {
        m_user = std::move(data);
    } else {
        m_factoryDates = DatesOf(set);
        m_factory = std::move(data);
    }
}

void SimSensor::QueueError(std::int32_t code, const std::string& detail)
{
    SensorError error{code, StandardText(code), SensorCodeOf(code)};
    if (!detail.empty())
        error.text += ";" + Printable(detail);
    if (m_errors.size() >= maxErrors) {
        m_errors.back() = SensorError{-350, StandardText(-350), SensorCodeOf(-350)};
        return;
    }
    m_errors.push_back(std::move(error));
}

SensorError SimSensor::PopError()
{
    if (m_errors.empty())
        return SensorError{0, "No error", 0};
    SensorError error = std::move(m_errors.front());
    m_errors.pop_front();
    return error;
}

std::uint8_t SimSensor::StatusByte() const
{
    return static_cast<std::uint8_t>((m_outputLeft > 0 ? usbtmc::StatusMessageAvailable : 0) |
                                     (m_errors.empty() ? 0 : usbtmc::StatusErrorQueue));
}

// Response message units are separated by ";" and the message ends with a
// line feed (IEEE 488.2, 8.4).
void SimSensor::Respond(std::vector<OutputPiece> pieces)
{
    if (!m_response.empty())
        m_response.push_back(PieceOf(Shared(";")));
    for (auto& piece : pieces)
        m_response.push_back(std::move(piece));
}

void SimSensor::RespondText(std::string text)
{
    Respond({PieceOf(Shared(std::move(text)))});
}

void SimSensor::RespondBlock(std::shared_ptr<const std::string> data)
{
    std::string length = std::to_string(data->size());
    std::size_t digits = length.size();
    // One byte short, so that a reader takes the last data byte for the end.
    if (m_faults.badLength)
        length = std::to_string(data->empty() ? 1 : data->size() - 1);
    if (m_faults.badDigitCount)
        digits = length.size() % 9 + 1;
    Respond({PieceOf(Shared("#" + std::to_string(digits) + length)), PieceOf(std::move(data))});
}

void SimSensor::FinishResponse()
{
    if (m_response.empty())
        return;
    if (m_faults.garbage) {
        m_response.clear();
        m_response.push_back(PieceOf(Shared(std::string("\x7F\xFE\x01 ~noise~ \x00\xFF", 13))));
    }
    if (!m_faults.noFinalLf)
        m_response.push_back(PieceOf(Shared("\n")));
    for (auto& piece : m_response) {
        m_outputLeft += piece.size;
        m_output.push_back(std::move(piece));
    }
    m_response.clear();
}

OutputChunk SimSensor::TakeOutput(std::size_t maxBytes)
{
    OutputChunk chunk;
    while (chunk.size < maxBytes && !m_output.empty()) {
        OutputPiece& front = m_output.front();
        const std::size_t take = std::min(front.size, maxBytes - chunk.size);
        chunk.pieces.push_back(OutputPiece{front.storage, front.offset, take});
        chunk.size += take;
        front.offset += take;
        front.size -= take;
        if (front.size == 0)
            m_output.pop_front();
    }
    m_outputLeft -= chunk.size;
    chunk.end = m_outputLeft == 0 && chunk.size > 0;
    return chunk;
}

void SimSensor::DeviceClear()
{
    m_output.clear();
    m_outputLeft = 0;
}

void SimSensor::Restart()
{
    DeviceClear();
    m_errors.clear();
}

std::string SimSensor::CalDate(const std::string& key, bool& known) const
{
    for (std::size_t i = 0; i < std::size(infoKeys); ++i) {
        if (Upper(key) == Upper(infoKeys[i])) {
            known = true;
            return m_factoryDates[i];
        }
    }
    known = false;
    return {};
}

// One header a line, "/qonly/" marking queries without a setting form and
// "/nquery/" settings without a query form (SCPI-99, SYSTem:HELP:HEADers?).
std::string SimSensor::HelpHeaders() const
{
    std::string list = "*CLS/nquery/\n*ESE\n*ESR?/qonly/\n*IDN?/qonly/\n*OPC\n*RST/nquery/\n*SRE\n*STB?/qonly/\n"
                       "*TST?/qonly/\n*WAI/nquery/\n"
                       ":CALibration:DATA\n"
                       ":CALibration:DATA:LENGth?/qonly/\n";
    if (m_identity.hasUserData)
        list += ":CALibration:USER:DATA\n:CALibration:USER:DATA:LENGth?/qonly/\n";
    list += ":CALibration:ZERO:AUTO\n"
            ":CALibration:ZERO:FAST:AUTO/nquery/\n"
            ":FETCh:SCALar:POWer:AVG?/qonly/\n"
            ":INITiate:CONTinuous\n"
            ":INITiate:IMMediate/nquery/\n"
            ":SENSe:AVERage:COUNt\n"
            ":SENSe:AVERage:COUNt:AUTO\n"
            ":SENSe:AVERage:STATe\n"
            ":SENSe:CORRection:OFFSet\n"
            ":SENSe:CORRection:OFFSet:STATe\n"
            ":SENSe:CORRection:SPDevice:SELect\n"
            ":SENSe:CORRection:SPDevice:STATe\n"
            ":SENSe:FREQuency\n"
            ":SENSe:FUNCtion\n"
            ":SENSe:POWer:AVG:APERture\n"
            ":SYSTem:ERRor:ALL?/qonly/\n"
            ":SYSTem:ERRor:COUNt?/qonly/\n"
            ":SYSTem:ERRor:NEXT?/qonly/\n"
            ":SYSTem:HELP:HEADers?/qonly/\n"
            ":SYSTem:INFO?/qonly/\n"
            ":SYSTem:PRESet/nquery/\n"
            ":TRIGger:COUNt\n"
            ":TRIGger:DELay\n"
            ":TRIGger:SOURce\n"
            ":UNIT:POWer\n";
    return list;
}
