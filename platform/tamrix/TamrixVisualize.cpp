// The text rendering of a whole data set.

#include "Tamrix.h"

#include "MemoryAdvice.h"

#include <array>
#include <charconv>
#include <cmath>
#include <cstring>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace
{

constexpr std::size_t labelWidth = 26;
constexpr std::string_view columnGap = "  ";

template <typename Number>
void AppendNumber(std::string& out, Number value)
{
    char text[32];
    const std::to_chars_result result = std::to_chars(text, text + sizeof text, value);
    out.append(text, static_cast<std::size_t>(result.ptr - text));
}

// Characters as a window shows them: one per byte that does not continue a
// UTF-8 sequence.
std::size_t DisplayWidth(std::string_view text)
{
    std::size_t width = 0;
    for (const char c : text)
        width += (static_cast<unsigned char>(c) & 0xC0u) != 0x80u;
    return width;
}

void AppendSpaces(std::string& out, std::size_t count)
{
    out.append(count, ' ');
}

// A stored text in quotes, so that an empty text and leading or trailing
// spaces show. Control characters would break the lines, so they appear as
// their Unicode control pictures (U+2400 ...).
std::string Quoted(const std::string& text)
{
    std::string shown;
    shown.reserve(text.size() + 2);
    shown += '"';
    for (const char c : text) {
        const unsigned char byte = static_cast<unsigned char>(c);
        if (byte < 0x20u) {
            shown += "\xE2\x90";
            shown += static_cast<char>(0x80u + byte);
        } else if (byte == 0x7Fu) {
            shown += "\xE2\x90\xA1";
        } else {
            shown += c;
        }
    }
    shown += '"';
    return shown;
}

std::string Hex32(std::uint32_t value)
{
    static constexpr char digits[] = "0123456789ABCDEF";
    std::string text = "0x00000000";
    for (std::size_t i = 0; i < 8; ++i)
        text[9 - i] = digits[(value >> (4 * i)) & 0xFu];
    return text;
}

void AppendLine(std::string& out, std::string_view line)
{
    out += line;
    out += '\n';
}

// "  label    value" with the values of a block in one column.
void AppendField(std::string& out, std::string_view label, std::string_view value, std::size_t depth = 1)
{
    AppendSpaces(out, 2 * depth);
    out += label;
    const std::size_t used = 2 * depth + DisplayWidth(label);
    AppendSpaces(out, used < labelWidth ? labelWidth - used : 1);
    out += value;
    out += '\n';
}

std::string Figure(float value, std::string_view unit)
{
    if (std::isnan(value))
        return "not given";
    std::string text;
    AppendNumber(text, value);
    text += ' ';
    text += unit;
    return text;
}

// A table with aligned columns. Cells are kept in one buffer: a device can
// have 100000 points of 13 numbers each.
struct Column
{
    std::string header;
    bool numeric; // right-aligned, ASCII only
    std::size_t width;
};

struct Table
{
    std::vector<Column> columns;
    std::string cells;
    std::vector<std::size_t> cellEnds;
};

// Columns before `textColumns` hold texts, the others numbers.
Table MakeTable(const std::vector<std::string>& headers, std::size_t textColumns = 0)
{
    Table table;
    for (std::size_t i = 0; i < headers.size(); ++i)
        table.columns.push_back({headers[i], i >= textColumns, DisplayWidth(headers[i])});
    return table;
}

void ReserveCells(Table& table, std::size_t count, std::size_t averageSize)
{
    if (table.cells.capacity() < count * averageSize) {
        std::string fresh;
        fresh.reserve(tamrix_memory::HugePageCapacity(count * averageSize, 1));
        tamrix_memory::AdviseHugePages(fresh.data(), fresh.capacity());
        table.cells.swap(fresh);
    }
    table.cellEnds.reserve(count);
}

void ClearRows(Table& table)
{
    table.cells.clear();
    table.cellEnds.clear();
    for (Column& column : table.columns)
        column.width = DisplayWidth(column.header);
}

void EndCell(Table& table, std::size_t start)
{
    Column& column = table.columns[table.cellEnds.size() % table.columns.size()];
    const std::string_view cell = std::string_view(table.cells).substr(start);
    const std::size_t width = column.numeric ? cell.size() : DisplayWidth(cell);
    if (width > column.width)
        column.width = width;
    table.cellEnds.push_back(table.cells.size());
}

void AddCell(Table& table, std::string_view text)
{
    const std::size_t start = table.cells.size();
    table.cells += text;
    EndCell(table, start);
}

template <typename Number>
void AddNumberCell(Table& table, Number value)
{
    const std::size_t start = table.cells.size();
    AppendNumber(table.cells, value);
    EndCell(table, start);
}

// One line of cells. The line is first filled with spaces and the cells are
// copied into place: one append per line instead of several per cell.
template <typename CellAt>
void AppendRow(std::string& out, const std::vector<Column>& columns, std::size_t depth, CellAt cellAt)
{
    std::size_t bytes = 2 * depth + (columns.size() - 1) * columnGap.size() + 1;
    for (std::size_t c = 0; c < columns.size(); ++c) {
        const std::string_view cell = cellAt(c);
        const std::size_t width = columns[c].numeric ? cell.size() : DisplayWidth(cell);
        const bool padded = columns[c].numeric || c + 1 < columns.size();
        bytes += cell.size() + (padded && columns[c].width > width ? columns[c].width - width : 0);
    }
    const std::size_t first = out.size();
    out.append(bytes, ' ');
    char* next = &out[first] + 2 * depth;
    for (std::size_t c = 0; c < columns.size(); ++c) {
        const std::string_view cell = cellAt(c);
        const std::size_t width = columns[c].numeric ? cell.size() : DisplayWidth(cell);
        const std::size_t padding = columns[c].width > width ? columns[c].width - width : 0;
        if (columns[c].numeric)
            next += padding;
        std::memcpy(next, cell.data(), cell.size());
        if (c + 1 < columns.size())
            next += cell.size() + columnGap.size() + (columns[c].numeric ? 0 : padding);
    }
    out.back() = '\n';
}

void AppendTable(std::string& out, const Table& table, std::size_t depth)
{
    const std::vector<Column>& columns = table.columns;
    AppendRow(out, columns, depth, [&](std::size_t c) { return std::string_view(columns[c].header); });
    for (std::size_t row = 0; row + columns.size() <= table.cellEnds.size(); row += columns.size()) {
        AppendRow(out, columns, depth, [&](std::size_t c) {
            const std::size_t begin = row + c == 0 ? 0 : table.cellEnds[row + c - 1];
            return std::string_view(table.cells.data() + begin, table.cellEnds[row + c] - begin);
        });
    }
}

void AppendIdentity(std::string& out, const TamrixContent& content)
{
    AppendLine(out, "Calibration data set");
    AppendField(out, "Sensor name", Quoted(content.sensorName));
    AppendField(out, "Stock number", Quoted(content.stockNumber));
    AppendField(out, "Attribute", Quoted(content.attribute));
    AppendField(out, "Serial number", Quoted(content.serialNumber));
    AppendField(out, "Internal serial number", Quoted(content.serialNumberInternal));
    std::string channel;
    AppendNumber(channel, content.channelNumber);
    channel += content.channelNumber == 0 ? " (user data set)" : " (factory data set)";
    AppendField(out, "Channel number", channel);
}

void AppendMiscNum(std::string& out, const MiscNum& misc)
{
    AppendLine(out, "Sensor figures");
    AppendField(out, "Reference frequency", Figure(misc.referenceFrequency, "Hz"));
    AppendField(out, "Reference power", Figure(misc.referencePower, "W"));
    AppendField(out, "Start frequency", Figure(misc.startFrequency, "Hz"));
    AppendField(out, "Stop frequency", Figure(misc.stopFrequency, "Hz"));
    AppendField(out, "Lower power limit", Figure(misc.minPower, "W"));
    AppendField(out, "Upper power limit", Figure(misc.maxPower, "W"));
    AppendField(out, "Lowest temperature", Figure(misc.minTemperature, "\xC2\xB0"
                                                                        "C"));
    AppendField(out, "Highest temperature", Figure(misc.maxTemperature, "\xC2\xB0"
                                                                         "C"));
}

void AppendCalInfo(std::string& out, const TamrixContent& content)
{
    AppendLine(out, "Calibrations");
    Table table = MakeTable({"Measurement", "Date", "Laboratory", "Engineer"}, 4);
    for (const CMeasurement* measurement : CMeasurement::All()) {
        const CalInfo& info = content.calInfo[static_cast<std::size_t>(measurement->Index())];
        AddCell(table, measurement->Name());
        AddCell(table, Quoted(info.date));
        AddCell(table, Quoted(info.laboratory));
        AddCell(table, Quoted(info.engineer));
    }
    AppendTable(out, table, 1);
}

std::string YesNo(bool value)
{
    return value ? "yes" : "no";
}

std::string DeviceName(const TamrixContent& content, std::int32_t index)
{
    std::string text;
    AppendNumber(text, SParaDeviceDisplayNumber(content.channelNumber, index));
    text += ' ';
    text += Quoted(content.devices[static_cast<std::size_t>(index)].mnemonic);
    return text;
}

void AppendSParaCorrection(std::string& out, const TamrixContent& content)
{
    AppendLine(out, "S-parameter correction");
    const std::uint32_t flags = content.sParaCorrDef;
    AppendField(out, "Flags", Hex32(flags));
    AppendField(out, "active after reset", YesNo(flags & sParaCorr_activeAfterReset), 2);
    AppendField(out, "state locked", YesNo(flags & sParaCorr_stateLocked), 2);
    AppendField(out, "device locked", YesNo(flags & sParaCorr_deviceLocked), 2);
    AppendField(out, "use factory flags", YesNo(flags & sParaCorr_useFactoryFlags), 2);
    const std::uint32_t known =
        sParaCorr_activeAfterReset | sParaCorr_stateLocked | sParaCorr_deviceLocked | sParaCorr_useFactoryFlags;
    if ((flags & ~known) != 0)
        AppendField(out, "other bits", Hex32(flags & ~known), 2);
    const bool hasDefault = content.sParaDefaultDevice >= 0
                            && static_cast<std::size_t>(content.sParaDefaultDevice) < content.devices.size();
    AppendField(out, "Default device", hasDefault ? DeviceName(content, content.sParaDefaultDevice) : "none");
    std::string count;
    AppendNumber(count, content.devices.size());
    AppendField(out, "Devices", count);
}

std::string DeviceFlags(std::uint32_t flags)
{
    std::string text = Hex32(flags);
    text += (flags & sParaDevice_writeProtected) ? " (write protected" : " (not write protected";
    if ((flags & ~sParaDevice_writeProtected) != 0)
        text += ", other bits " + Hex32(flags & ~sParaDevice_writeProtected);
    text += ')';
    return text;
}

// Columns in the usual order of a two-port: S11, S21, S12, S22.
Table MakePointTable()
{
    std::vector<std::string> headers{"#", "Frequency/Hz"};
    for (const char* name : {"S11", "S21", "S12", "S22"}) {
        for (const char* part : {" re", " im", " unc"})
            headers.push_back(std::string(name) + part);
    }
    return MakeTable(headers);
}

void AppendDevices(std::string& out, const TamrixContent& content)
{
    const std::array<const SParaType<1>*, 4> order{&SParaType<1>::S11, &SParaType<1>::S21, &SParaType<1>::S12,
                                                   &SParaType<1>::S22};
    Table table = MakePointTable();
    for (std::size_t d = 0; d < content.devices.size(); ++d) {
        const SParaDevice& device = content.devices[d];
        out += '\n';
        out += "Device ";
        out += DeviceName(content, static_cast<std::int32_t>(d));
        if (static_cast<std::int32_t>(d) == content.sParaDefaultDevice)
            out += " (default device)";
        out += '\n';
        AppendField(out, "Lower power limit", Figure(device.minPower, "W"));
        AppendField(out, "Upper power limit", Figure(device.maxPower, "W"));
        AppendField(out, "Flags", DeviceFlags(device.flags));
        std::string count;
        AppendNumber(count, device.points.size());
        AppendField(out, "Points", count);
        if (device.points.empty())
            continue;
        ClearRows(table);
        ReserveCells(table, device.points.size() * table.columns.size(), 11);
        for (std::size_t p = 0; p < device.points.size(); ++p) {
            const SParaPoint& point = device.points[p];
            AddNumberCell(table, p);
            AddNumberCell(table, point.frequency);
            for (const SParaType<1>* which : order) {
                const std::size_t first = 3 * static_cast<std::size_t>(which->index);
                for (std::size_t i = 0; i < 3; ++i)
                    AddNumberCell(table, point.values[first + i]);
            }
        }
        AppendTable(out, table, 1);
    }
}

void AppendCalTable(std::string& out, const char* title, const CMeasurement* measurement, const CalTable& table,
                    const std::string& axisHeader, const std::vector<std::string>& valueHeaders)
{
    out += '\n';
    out += title;
    out += " (";
    out += measurement->Name();
    out += ")\n";
    std::string count;
    AppendNumber(count, table.axis.size());
    AppendField(out, "Points", count);
    if (table.axis.empty())
        return;

    std::vector<std::string> headers{"#", axisHeader};
    const std::size_t perPoint = table.valuesPerPoint;
    if (perPoint == valueHeaders.size()) {
        headers.insert(headers.end(), valueHeaders.begin(), valueHeaders.end());
    } else {
        for (std::size_t i = 0; i < perPoint; ++i)
            headers.push_back("Value " + std::to_string(i + 1));
    }
    Table rows = MakeTable(headers);
    for (std::size_t p = 0; p < table.axis.size(); ++p) {
        AddNumberCell(rows, p);
        AddNumberCell(rows, table.axis[p]);
        for (std::size_t i = 0; i < perPoint; ++i) {
            const std::size_t at = p * perPoint + i;
            if (at < table.values.size())
                AddNumberCell(rows, table.values[at]);
            else
                AddCell(rows, "-");
        }
    }
    AppendTable(out, rows, 1);
}

} // namespace

std::string CTamrix::Visualize() const
{
    const TamrixContent& content = m_content;
    // Grown once: a point line takes about 200 characters.
    std::size_t points = 0;
    for (const SParaDevice& device : content.devices)
        points += device.points.size();
    std::string out;
    out.reserve(tamrix_memory::HugePageCapacity(16384 + 200 * points, 1));
    tamrix_memory::AdviseHugePages(out.data(), out.capacity());
    AppendIdentity(out, content);
    out += '\n';
    AppendMiscNum(out, content.miscNum);
    out += '\n';
    AppendCalInfo(out, content);
    out += '\n';
    AppendSParaCorrection(out, content);
    if (!content.devices.empty())
        AppendLine(out, "  (re, im: real and imaginary part; unc: uncertainty)");
    AppendDevices(out, content);
    AppendCalTable(out, "Absolute calibration", CMeasurement::Abso, content.abso, "Frequency/Hz",
                   {"Factor", "Uncertainty"});
    AppendCalTable(out, "Reflection calibration", CMeasurement::Refl, content.refl, "Frequency/Hz",
                   {"Real", "Imaginary", "Uncertainty"});
    AppendCalTable(out, "Temperature calibration", CMeasurement::Temp, content.temp,
                   "Temperature/\xC2\xB0"
                   "C",
                   {"Factor", "Uncertainty"});
    AppendCalTable(out, "Linearity calibration", CMeasurement::Lin, content.lin, "Level/W", {"Factor", "Uncertainty"});
    return out;
}
