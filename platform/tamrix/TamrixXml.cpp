// The XML exchange of S-parameter devices (see XML-FORMAT.md beside this file).

#include "Tamrix.h"

#include "TamrixDetail.h"

#include "MemoryAdvice.h"

#include <pugixml.hpp>

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstring>
#include <istream>
#include <limits>
#include <ostream>
#include <string_view>
#include <system_error>
#include <utility>

namespace
{

constexpr const char* rootName = "SParameterDevices";
constexpr const char* formatVersionName = "formatVersion";
constexpr std::uint32_t formatVersion = 1;
constexpr const char* powerUnit = "W";
constexpr const char* indent = "  ";

// The order in which a point lists its S-parameters.
const std::array<const SParaType<1>*, 4>& DocumentOrder()
{
    static const std::array<const SParaType<1>*, 4> order{&SParaType<1>::S11, &SParaType<1>::S21,
                                                          &SParaType<1>::S12, &SParaType<1>::S22};
    return order;
}

constexpr std::array<const char*, 3> valueNames{"real", "imaginary", "uncertainty"};

[[noreturn]] void NotTheDocument()
{
    throw TvxKyyCalcDLLError(TamrixErrorCode::XmlError);
}

// Runs `read`; an error it throws is thrown again with `place` in front of the
// place it already names ("Device 1001, point 5").
template <class Read>
void Placed(const std::string& place, Read read)
{
    try {
        read();
    } catch (const TvxKyyCalcDLLError& error) {
        throw TvxKyyCalcDLLError(error.code, error.context ? place + ", " + error.context : place);
    }
}

// ---- writing ---------------------------------------------------------------

// Hands pugixml's output to the stream. pugixml leaves a carriage return in
// element text as it is, and every XML reader turns that into a line feed, so
// it is written as a character reference here (no other raw CR is ever written).
class StreamWriter final : public pugi::xml_writer
{
public:
    explicit StreamWriter(std::ostream& out) : m_out(out) {}

    void write(const void* data, std::size_t size) override
    {
        const char* next = static_cast<const char*>(data);
        const char* const end = next + size;
        while (next != end) {
            const void* found = std::memchr(next, '\r', static_cast<std::size_t>(end - next));
            if (!found) {
                Put(next, static_cast<std::size_t>(end - next));
                break;
            }
            const char* cr = static_cast<const char*>(found);
            Put(next, static_cast<std::size_t>(cr - next));
            Put("&#13;", 5);
            next = cr + 1;
        }
    }

    void Put(std::string_view text) { Put(text.data(), text.size()); }

    bool Failed() const { return m_failed; }

private:
    void Put(const char* data, std::size_t size)
    {
        if (m_failed)
            return;
        // A stream that throws on failure passes on whatever its buffer threw.
        try {
            m_out.write(data, static_cast<std::streamsize>(size));
        } catch (...) {
            m_failed = true;
        }
        if (!m_out)
            m_failed = true;
    }

    std::ostream& m_out;
    bool m_failed = false;
};

template <typename Number>
void AppendNumber(std::string& out, Number value)
{
    // Shortest text that reads back as the same value; independent of the locale.
    char text[32];
    const std::to_chars_result result = std::to_chars(text, text + sizeof text, value);
    out.append(text, static_cast<std::size_t>(result.ptr - text));
}

template <typename Number>
void SetNumberText(pugi::xml_node element, Number value)
{
    std::string text;
    AppendNumber(text, value);
    element.text().set(text.c_str(), text.size());
}

void BuildPowerLimit(pugi::xml_node parent, const char* name, float watts)
{
    pugi::xml_node limit = parent.append_child(name);
    limit.append_attribute("unit").set_value(powerUnit);
    SetNumberText(limit, watts);
}

// Laid out as pugixml lays out elements, at the depth of a point.
void AppendPoint(std::string& out, const SParaPoint& point)
{
    out += "      <Point frequency=\"";
    AppendNumber(out, point.frequency);
    out += "\">\n";
    for (const SParaType<1>* which : DocumentOrder()) {
        const std::size_t first = 3 * static_cast<std::size_t>(which->index);
        out += "        <";
        out += which->name;
        for (std::size_t i = 0; i < valueNames.size(); ++i) {
            out += ' ';
            out += valueNames[i];
            out += "=\"";
            AppendNumber(out, point.values[first + i]);
            out += '"';
        }
        out += " />\n";
    }
    out += "      </Point>\n";
}

// The device's texts go through pugixml, which escapes the mnemonic. Points
// hold only fixed names and numbers and are written directly: as a tree they
// would take hundreds of bytes per point.
void WriteDevice(StreamWriter& writer, std::string& buffer, const SParaDevice& device)
{
    writer.Put("  <Device>\n");
    pugi::xml_document head;
    head.append_child("Mnemonic").text().set(device.mnemonic.c_str());
    BuildPowerLimit(head, "LowerPowerLimit", device.minPower);
    BuildPowerLimit(head, "UpperPowerLimit", device.maxPower);
    SetNumberText(head.append_child("Flags"), device.flags);
    for (pugi::xml_node element = head.first_child(); element; element = element.next_sibling())
        element.print(writer, indent, pugi::format_indent, pugi::encoding_utf8, 2);
    if (device.points.empty()) {
        writer.Put("    <Points />\n");
    } else {
        writer.Put("    <Points>\n");
        constexpr std::size_t flushSize = 60000;
        buffer.clear();
        for (const SParaPoint& point : device.points) {
            AppendPoint(buffer, point);
            if (buffer.size() >= flushSize) {
                writer.Put(buffer);
                buffer.clear();
                if (writer.Failed())
                    return;
            }
        }
        writer.Put(buffer);
        writer.Put("    </Points>\n");
    }
    writer.Put("  </Device>\n");
}

// ---- reading ---------------------------------------------------------------

// The bytes left in the stream, when its buffer can tell; 0 when not.
std::size_t RemainingSize(std::istream& in)
{
    std::streambuf* buffer = in.rdbuf();
    std::streampos here(-1);
    std::streampos end(-1);
    try {
        if (buffer)
            here = buffer->pubseekoff(0, std::ios_base::cur, std::ios_base::in);
        if (here == std::streampos(-1))
            return 0;
        end = buffer->pubseekoff(0, std::ios_base::end, std::ios_base::in);
        if (buffer->pubseekpos(here, std::ios_base::in) != here)
            throw TvxKyyCalcDLLError(TamrixErrorCode::FileRead);
    } catch (const TvxKyyCalcDLLError&) {
        throw;
    } catch (...) {
        throw TvxKyyCalcDLLError(TamrixErrorCode::FileRead);
    }
    return end != std::streampos(-1) && end > here ? static_cast<std::size_t>(end - here) : 0;
}

std::string ReadAll(std::istream& in)
{
    if (!in)
        throw TvxKyyCalcDLLError(TamrixErrorCode::FileRead);
    std::string text;
    // Only a hint, so that a large document is read into one buffer.
    constexpr std::size_t largestHint = std::size_t(1) << 30;
    const std::size_t expected = std::min(RemainingSize(in), largestHint);
    if (expected > 0) {
        text.reserve(tamrix_memory::HugePageCapacity(expected + 1, 1));
        tamrix_memory::AdviseHugePages(text.data(), text.capacity());
    }
    std::array<char, 64 * 1024> chunk;
    for (;;) {
        // A stream that throws on failure passes on whatever its buffer threw,
        // or throws at the end of the data when asked to.
        bool end = false;
        try {
            in.read(chunk.data(), static_cast<std::streamsize>(chunk.size()));
        } catch (...) {
            end = true;
        }
        if (in.bad())
            throw TvxKyyCalcDLLError(TamrixErrorCode::FileRead);
        text.append(chunk.data(), static_cast<std::size_t>(in.gcount()));
        if (end || in.gcount() == 0)
            return text;
    }
}

bool IsXmlSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

// Checks on the raw text that the parser does not make: pugixml decodes a
// reference to character 0 into a NUL that silently cuts the text short, and
// it drops text before and after the root element.
void CheckRawText(const std::string& text)
{
    if (text.find('\0') != std::string::npos)
        NotTheDocument();
    std::size_t first = 0;
    if (text.compare(0, 3, "\xEF\xBB\xBF") == 0)
        first = 3;
    while (first < text.size() && IsXmlSpace(text[first]))
        ++first;
    std::size_t last = text.size();
    while (last > first && IsXmlSpace(text[last - 1]))
        --last;
    if (first == last || text[first] != '<' || text[last - 1] != '>')
        NotTheDocument();

    for (std::size_t at = text.find("&#"); at != std::string::npos; at = text.find("&#", at + 2)) {
        std::size_t digit = at + 2;
        const bool hex = digit < text.size() && text[digit] == 'x';
        if (hex)
            ++digit;
        unsigned long code = 0;
        for (; digit < text.size(); ++digit) {
            const char c = text[digit];
            unsigned value;
            if (c >= '0' && c <= '9')
                value = static_cast<unsigned>(c - '0');
            else if (hex && c >= 'a' && c <= 'f')
                value = static_cast<unsigned>(c - 'a' + 10);
            else if (hex && c >= 'A' && c <= 'F')
                value = static_cast<unsigned>(c - 'A' + 10);
            else
                break;
            code = code * (hex ? 16 : 10) + value;
            if (code > 0x10FFFF)
                NotTheDocument();
        }
        if (code == 0)
            NotTheDocument();
    }
}

std::string_view Trimmed(const char* text)
{
    std::string_view view(text);
    while (!view.empty() && IsXmlSpace(view.front()))
        view.remove_prefix(1);
    while (!view.empty() && IsXmlSpace(view.back()))
        view.remove_suffix(1);
    return view;
}

// The value of a number text that is out of range for float or double, in the
// widest floating type; beyond even that it is no number this library takes.
long double WideValue(std::string_view text)
{
    long double value = 0.0L;
    const std::from_chars_result result = std::from_chars(text.data(), text.data() + text.size(), value);
    if (result.ec != std::errc() || result.ptr != text.data() + text.size())
        NotTheDocument();
    return value;
}

template <typename Number>
bool ParseComplete(std::string_view text, Number& value, std::errc& error)
{
    const std::from_chars_result result = std::from_chars(text.data(), text.data() + text.size(), value);
    error = result.ec;
    return result.ptr == text.data() + text.size();
}

// A number of the type it is kept in. Values are parsed as float directly:
// going through double would round twice and could miss the value that was
// written. A value beyond the type's range is refused with `overflowCode`; one
// below its smallest value rounds to zero, as a setter would round it.
template <typename Number>
Number ParseNumber(const char* text, std::int32_t overflowCode)
{
    const std::string_view trimmed = Trimmed(text);
    if (trimmed.empty())
        NotTheDocument();
    Number value = 0;
    std::errc error;
    if (!ParseComplete(trimmed, value, error))
        NotTheDocument();
    if (error == std::errc())
        return value;
    if (error != std::errc::result_out_of_range)
        NotTheDocument();
    const long double wide = WideValue(trimmed);
    if (std::fabs(wide) > static_cast<long double>(std::numeric_limits<Number>::max()))
        throw TvxKyyCalcDLLError(overflowCode);
    return static_cast<Number>(wide);
}

float ParseValue(const char* text)
{
    return ParseNumber<float>(text, TamrixErrorCode::SinglePrecisionOverflow);
}

double ParseFrequency(const char* text)
{
    return ParseNumber<double>(text, TamrixErrorCode::WrongArgument);
}

std::uint32_t ParseUnsigned(const char* text)
{
    const std::string_view trimmed = Trimmed(text);
    std::uint32_t value = 0;
    std::errc error;
    if (trimmed.empty() || !ParseComplete(trimmed, value, error) || error != std::errc())
        NotTheDocument();
    return value;
}

bool IsText(pugi::xml_node node)
{
    return node.type() == pugi::node_pcdata || node.type() == pugi::node_cdata;
}

// Whitespace between elements. The parser keeps it where it is an element's
// only content, as it must for a mnemonic of spaces.
bool IsLayout(pugi::xml_node node)
{
    return node.type() == pugi::node_pcdata && Trimmed(node.value()).empty();
}

// Visits the element children of `parent`; any text but layout is refused.
template <typename Visit>
void ForEachElement(pugi::xml_node parent, Visit visit)
{
    for (pugi::xml_node child = parent.first_child(); child; child = child.next_sibling()) {
        if (child.type() == pugi::node_element)
            visit(child);
        else if (!IsLayout(child))
            NotTheDocument();
    }
}

// The children of `parent` named `names`, in that order: each exactly once,
// no others and no text.
template <std::size_t Count>
std::array<pugi::xml_node, Count> RequiredChildren(pugi::xml_node parent, const std::array<const char*, Count>& names)
{
    std::array<pugi::xml_node, Count> found{};
    ForEachElement(parent, [&](pugi::xml_node child) {
        std::size_t i = 0;
        while (i < Count && std::strcmp(child.name(), names[i]) != 0)
            ++i;
        if (i == Count || found[i])
            NotTheDocument();
        found[i] = child;
    });
    for (const pugi::xml_node& child : found) {
        if (!child)
            NotTheDocument();
    }
    return found;
}

// The values of the attributes of `element` named `names`, in that order:
// each exactly once, and no others.
template <std::size_t Count>
std::array<const char*, Count> RequiredAttributes(pugi::xml_node element, const std::array<const char*, Count>& names)
{
    std::array<const char*, Count> found{};
    for (pugi::xml_attribute attribute = element.first_attribute(); attribute;
         attribute = attribute.next_attribute()) {
        std::size_t i = 0;
        while (i < Count && std::strcmp(attribute.name(), names[i]) != 0)
            ++i;
        if (i == Count || found[i])
            NotTheDocument();
        found[i] = attribute.value();
    }
    for (const char* value : found) {
        if (!value)
            NotTheDocument();
    }
    return found;
}

void NoAttributes(pugi::xml_node element)
{
    if (element.first_attribute())
        NotTheDocument();
}

// The text of an element that holds only text (possibly none).
std::string TextOf(pugi::xml_node element)
{
    std::string text;
    for (pugi::xml_node child = element.first_child(); child; child = child.next_sibling()) {
        if (!IsText(child))
            NotTheDocument();
        text += child.value();
    }
    return text;
}

float ReadPowerLimit(pugi::xml_node element)
{
    const auto [unit] = RequiredAttributes<1>(element, {"unit"});
    if (std::strcmp(unit, powerUnit) != 0)
        NotTheDocument();
    return ParseValue(TextOf(element).c_str());
}

SParaPoint ReadPoint(pugi::xml_node element)
{
    SParaPoint point;
    const auto [frequency] = RequiredAttributes<1>(element, {"frequency"});
    point.frequency = ParseFrequency(frequency);
    const auto& order = DocumentOrder();
    const std::array<pugi::xml_node, 4> sParas =
        RequiredChildren<4>(element, {order[0]->name, order[1]->name, order[2]->name, order[3]->name});
    for (std::size_t s = 0; s < order.size(); ++s) {
        ForEachElement(sParas[s], [](pugi::xml_node) { NotTheDocument(); });
        const std::array<const char*, 3> texts = RequiredAttributes<3>(sParas[s], valueNames);
        const std::size_t first = 3 * static_cast<std::size_t>(order[s]->index);
        for (std::size_t i = 0; i < texts.size(); ++i)
            point.values[first + i] = ParseValue(texts[i]);
    }
    return point;
}

std::vector<SParaPoint> ReadPoints(pugi::xml_node element)
{
    NoAttributes(element);
    std::size_t count = 0;
    ForEachElement(element, [&](pugi::xml_node child) {
        if (std::strcmp(child.name(), "Point") != 0)
            NotTheDocument();
        ++count;
    });
    if (count > static_cast<std::size_t>(maxSParaFreqNumber))
        throw TvxKyyCalcDLLError(TamrixErrorCode::WrongArgument, "point " + std::to_string(maxSParaFreqNumber + 1));
    std::vector<SParaPoint> points;
    points.reserve(count);
    ForEachElement(element, [&](pugi::xml_node child) {
        Placed("point " + std::to_string(points.size() + 1), [&] {
            points.push_back(ReadPoint(child));
            tamrix_detail::CheckSParaPoint(points.back());
        });
    });
    return points;
}

SParaDevice ReadDevice(pugi::xml_node element)
{
    NoAttributes(element);
    const auto [mnemonic, lower, upper, flags, points] = RequiredChildren<5>(
        element, {"Mnemonic", "LowerPowerLimit", "UpperPowerLimit", "Flags", "Points"});
    for (const pugi::xml_node& textElement : {mnemonic, flags})
        NoAttributes(textElement);
    SParaDevice device;
    device.mnemonic = TextOf(mnemonic);
    device.minPower = ReadPowerLimit(lower);
    device.maxPower = ReadPowerLimit(upper);
    device.flags = ParseUnsigned(TextOf(flags).c_str());
    device.points = ReadPoints(points);
    return device;
}

void CheckDeclaration(pugi::xml_node declaration)
{
    // The document is read as UTF-8 whatever it declares, so anything else is refused.
    const char* encoding = declaration.attribute("encoding").value();
    if (*encoding != '\0' && std::strcmp(encoding, "UTF-8") != 0 && std::strcmp(encoding, "utf-8") != 0)
        NotTheDocument();
}

pugi::xml_node RootOf(const pugi::xml_document& document)
{
    pugi::xml_node root;
    for (pugi::xml_node child = document.first_child(); child; child = child.next_sibling()) {
        if (child.type() == pugi::node_declaration) {
            CheckDeclaration(child);
        } else if (child.type() == pugi::node_element && !root) {
            root = child;
        } else {
            NotTheDocument();
        }
    }
    if (!root || std::strcmp(root.name(), rootName) != 0)
        NotTheDocument();
    const auto [version] = RequiredAttributes<1>(root, {formatVersionName});
    if (ParseUnsigned(version) != formatVersion)
        NotTheDocument();
    return root;
}

// The devices are numbered as the user sees them in a data set of this channel.
std::vector<SParaDevice> ReadDevices(pugi::xml_node root, long channelNumber)
{
    std::size_t count = 0;
    ForEachElement(root, [&](pugi::xml_node child) {
        if (std::strcmp(child.name(), "Device") != 0)
            NotTheDocument();
        ++count;
    });
    if (count > static_cast<std::size_t>(maxSParaDeviceNumber))
        throw TvxKyyCalcDLLError(TamrixErrorCode::WrongArgument);
    std::vector<SParaDevice> devices;
    devices.reserve(count);
    ForEachElement(root, [&](pugi::xml_node child) {
        const long number = SParaDeviceDisplayNumber(channelNumber, static_cast<long>(devices.size()));
        Placed("Device " + std::to_string(number), [&] {
            devices.push_back(ReadDevice(child));
            tamrix_detail::CheckSParaDevice(devices.back());
        });
    });
    return devices;
}

} // namespace

void CTamrix::ExportSPara(std::ostream& out) const
{
    if (!out)
        throw TvxKyyCalcDLLError(TamrixErrorCode::FileWrite);
    StreamWriter writer(out);
    std::string buffer = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<";
    buffer += rootName;
    buffer += ' ';
    buffer += formatVersionName;
    buffer += "=\"";
    AppendNumber(buffer, formatVersion);
    buffer += "\">\n";
    writer.Put(buffer);
    for (const SParaDevice& device : m_content.devices) {
        WriteDevice(writer, buffer, device);
        if (writer.Failed())
            break;
    }
    writer.Put("</");
    writer.Put(rootName);
    writer.Put(">\n");
    try {
        out.flush();
    } catch (...) {
        throw TvxKyyCalcDLLError(TamrixErrorCode::FileWrite);
    }
    if (writer.Failed() || !out)
        throw TvxKyyCalcDLLError(TamrixErrorCode::FileWrite);
}

void CTamrix::ImportSPara(std::istream& in)
{
    std::string text = ReadAll(in);
    CheckRawText(text);
    pugi::xml_document document;
    const unsigned options = pugi::parse_default | pugi::parse_declaration | pugi::parse_ws_pcdata_single;
    if (!document.load_buffer_inplace(text.data(), text.size(), options, pugi::encoding_utf8))
        NotTheDocument();
    std::vector<SParaDevice> devices = ReadDevices(RootOf(document), m_content.channelNumber);

    TamrixContent content = Content();
    content.devices = std::move(devices);
    if (content.sParaDefaultDevice >= 0
        && static_cast<std::size_t>(content.sParaDefaultDevice) >= content.devices.size())
        content.sParaDefaultDevice = -1;
    ReplaceContent(std::move(content));
}
