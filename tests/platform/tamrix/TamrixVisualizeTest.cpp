#include "Tamrix.h"

#include <gtest/gtest.h>

#include <charconv>
#include <clocale>
#include <cstring>
#include <functional>
#include <limits>
#include <locale>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace
{

const char* const tabPicture = "\xE2\x90\x89"; // U+2409

SParaDevice Device(const std::string& mnemonic, std::size_t points, float maxPower, std::uint32_t flags)
{
    SParaDevice device;
    device.mnemonic = mnemonic;
    device.minPower = 1e-9f;
    device.maxPower = maxPower;
    device.flags = flags;
    for (std::size_t p = 0; p < points; ++p) {
        SParaPoint point;
        point.frequency = 1e7 * static_cast<double>(p + 1) * static_cast<double>(p + 1);
        for (std::size_t i = 0; i < point.values.size(); ++i)
            point.values[i] = static_cast<float>(i + 1) / 3.0f - static_cast<float>(p) * 1e-4f;
        device.points.push_back(point);
    }
    return device;
}

TamrixContent BaseContent()
{
    TamrixContent content;
    content.sensorName = "TLS-18G";
    content.stockNumber = "4127.3005K02";
    content.serialNumber = "104233";
    content.serialNumberInternal = "QX-0417-233";
    content.channelNumber = 3;
    content.miscNum.referenceFrequency = 5e7f;
    content.miscNum.minTemperature = -10.0f;
    content.miscNum.maxPower = 0.2f;
    CalInfo& abso = content.calInfo[static_cast<std::size_t>(CMeasurement::Abso->Index())];
    abso = {"2024-03-12", "Labor M\xC3\xBCller", "J\xC3\xB6rg Wei\xC3\x9F"};
    content.calInfo[static_cast<std::size_t>(CMeasurement::SPara->Index())] = {"2024-03-15", "Bench 4", "Petra"};
    content.sParaCorrDef = sParaCorr_activeAfterReset | sParaCorr_deviceLocked;
    content.devices = {Device("ATT 3dB", 3, 0.25f, 0), Device("Pad\twith tab", 2, 2.0f, sParaDevice_writeProtected),
                       Device("empty", 0, 0.1f, 0)};
    content.sParaDefaultDevice = 1;
    content.abso = {{1e7, 1.8e10}, 2, {1.0f, 0.01f, 0.98f, 0.02f}};
    content.refl = {{5e7}, 3, {0.01f, -0.02f, 0.005f}};
    content.temp = {{-10.0, 23.0, 50.0}, 2, {0.99f, 0.004f, 1.0f, 0.002f, 1.01f, 0.005f}};
    return content;
}

std::string Shown(const TamrixContent& content)
{
    CTamrix set;
    set.ReplaceContent(content);
    return set.Visualize();
}

std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

// The lines from the one that starts with `heading` up to the next empty line.
std::vector<std::string> Section(const std::string& text, const std::string& heading)
{
    std::vector<std::string> section;
    for (const std::string& line : Lines(text)) {
        if (section.empty() && line.compare(0, heading.size(), heading) != 0)
            continue;
        if (line.empty())
            break;
        section.push_back(line);
    }
    return section;
}

std::string Trimmed(const std::string& text)
{
    const std::size_t first = text.find_first_not_of(' ');
    if (first == std::string::npos)
        return {};
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

// The value shown after `label` in the section, or "(missing)".
std::string Field(const std::string& text, const std::string& heading, const std::string& label)
{
    for (const std::string& line : Section(text, heading)) {
        const std::string trimmed = Trimmed(line);
        if (trimmed.compare(0, label.size() + 2, label + "  ") == 0)
            return Trimmed(trimmed.substr(label.size()));
    }
    return "(missing)";
}

std::vector<std::string> Words(const std::string& line)
{
    std::vector<std::string> words;
    std::istringstream in(line);
    for (std::string word; in >> word;)
        words.push_back(word);
    return words;
}

std::size_t DisplayColumn(const std::string& line, std::size_t byte)
{
    std::size_t column = 0;
    for (std::size_t i = 0; i < byte && i < line.size(); ++i)
        column += (static_cast<unsigned char>(line[i]) & 0xC0u) != 0x80u;
    return column;
}

template <typename Number>
bool ShowsExactly(const std::string& text, Number expected)
{
    Number parsed{};
    const std::from_chars_result result = std::from_chars(text.data(), text.data() + text.size(), parsed);
    return result.ec == std::errc() && result.ptr == text.data() + text.size()
           && std::memcmp(&parsed, &expected, sizeof parsed) == 0;
}

} // namespace

TEST(TamrixVisualize, ShowsEveryFieldWithItsValue)
{
    struct Row
    {
        const char* name;
        std::function<void(TamrixContent&)> change;
        const char* heading;
        const char* label;
        std::string expected;
    };
    const auto same = [](TamrixContent&) {};
    const Row rows[] = {
        {"sensor name", same, "Calibration data set", "Sensor name", "\"TLS-18G\""},
        {"stock number", same, "Calibration data set", "Stock number", "\"4127.3005K02\""},
        {"empty attribute", same, "Calibration data set", "Attribute", "\"\""},
        {"internal serial number", same, "Calibration data set", "Internal serial number", "\"QX-0417-233\""},
        {"factory channel", same, "Calibration data set", "Channel number", "3 (factory data set)"},
        {"user channel", [](TamrixContent& c) { c.channelNumber = 0; }, "Calibration data set", "Channel number",
         "0 (user data set)"},
        {"given figure", same, "Sensor figures", "Reference frequency", "5e+07 Hz"},
        {"figure not given", same, "Sensor figures", "Start frequency", "not given"},
        {"negative temperature", same, "Sensor figures", "Lowest temperature", "-10 \xC2\xB0" "C"},
        {"power figure", same, "Sensor figures", "Upper power limit", "0.2 W"},
        {"correction flags", same, "S-parameter correction", "Flags", "0x00000005"},
        {"active after reset", same, "S-parameter correction", "active after reset", "yes"},
        {"state locked", same, "S-parameter correction", "state locked", "no"},
        {"device locked", same, "S-parameter correction", "device locked", "yes"},
        {"use factory flags", same, "S-parameter correction", "use factory flags", "no"},
        {"all flags", [](TamrixContent& c) { c.sParaCorrDef = 0xF; }, "S-parameter correction", "use factory flags",
         "yes"},
        {"default device", same, "S-parameter correction", "Default device",
         std::string("1 \"Pad") + tabPicture + "with tab\""},
        {"no default device", [](TamrixContent& c) { c.sParaDefaultDevice = -1; }, "S-parameter correction",
         "Default device", "none"},
        {"device count", same, "S-parameter correction", "Devices", "3"},
        {"device limits", same, "Device 0", "Upper power limit", "0.25 W"},
        {"lower device limit", same, "Device 0", "Lower power limit", "1e-09 W"},
        {"not write protected", same, "Device 0", "Flags", "0x00000000 (not write protected)"},
        {"write protected", same, "Device 1", "Flags", "0x00000001 (write protected)"},
        {"point count", same, "Device 0", "Points", "3"},
        {"device without points", same, "Device 2", "Points", "0"},
        {"table without points", same, "Linearity calibration (Lin)", "Points", "0"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        TamrixContent content = BaseContent();
        row.change(content);
        EXPECT_EQ(Field(Shown(content), row.heading, row.label), row.expected);
    }
}

TEST(TamrixVisualize, MarksTheDefaultDevice)
{
    const std::string text = Shown(BaseContent());
    EXPECT_EQ(Section(text, "Device 1").front(),
              std::string("Device 1 \"Pad") + tabPicture + "with tab\" (default device)");
    EXPECT_EQ(Section(text, "Device 0").front(), "Device 0 \"ATT 3dB\"");
}

TEST(TamrixVisualize, ShowsTheCalibrationRecordsInAlignedColumns)
{
    const std::vector<std::string> section = Section(Shown(BaseContent()), "Calibrations");
    ASSERT_EQ(section.size(), 8u);
    const std::string& header = section[1];
    EXPECT_EQ(Words(header), (std::vector<std::string>{"Measurement", "Date", "Laboratory", "Engineer"}));
    const std::size_t engineerColumn = DisplayColumn(header, header.find("Engineer"));
    for (std::size_t i = 0; i < CMeasurement::All().size(); ++i) {
        const std::string& line = section[i + 2];
        SCOPED_TRACE(line);
        EXPECT_EQ(Words(line).front(), CMeasurement::All()[i]->Name());
        // The last quoted text starts below "Engineer", also after a
        // laboratory with a two-byte character.
        const std::size_t engineerQuote = line.rfind('"', line.size() - 2);
        EXPECT_EQ(DisplayColumn(line, engineerQuote), engineerColumn);
    }
    EXPECT_NE(section[3].find("\"Labor M\xC3\xBCller\""), std::string::npos);
    EXPECT_NE(section[3].find("\"J\xC3\xB6rg Wei\xC3\x9F\""), std::string::npos);
}

TEST(TamrixVisualize, ShowsEveryPointOnItsOwnLineExactly)
{
    const TamrixContent content = BaseContent();
    const std::string text = Shown(content);
    for (std::size_t d = 0; d < 2; ++d) {
        const SParaDevice& device = content.devices[d];
        const std::vector<std::string> section = Section(text, "Device " + std::to_string(d));
        ASSERT_EQ(section.size(), 6 + device.points.size());
        const std::string& header = section[5];
        EXPECT_EQ(Words(header), (std::vector<std::string>{"#",      "Frequency/Hz", "S11", "re",  "S11", "im",
                                                           "S11",    "unc",          "S21", "re",  "S21", "im",
                                                           "S21",    "unc",          "S12", "re",  "S12", "im",
                                                           "S12",    "unc",          "S22", "re",  "S22", "im",
                                                           "S22",    "unc"}));
        const int shownOrder[] = {SParaType<1>::S11.index, SParaType<1>::S21.index, SParaType<1>::S12.index,
                                  SParaType<1>::S22.index};
        for (std::size_t p = 0; p < device.points.size(); ++p) {
            const std::string& line = section[6 + p];
            SCOPED_TRACE(line);
            EXPECT_EQ(line.size(), header.size()) << "columns are not aligned";
            const std::vector<std::string> words = Words(line);
            ASSERT_EQ(words.size(), 14u);
            EXPECT_EQ(words[0], std::to_string(p));
            EXPECT_TRUE(ShowsExactly(words[1], device.points[p].frequency));
            for (std::size_t s = 0; s < 4; ++s) {
                for (std::size_t part = 0; part < 3; ++part) {
                    const float value = device.points[p].values[3 * static_cast<std::size_t>(shownOrder[s]) + part];
                    EXPECT_TRUE(ShowsExactly(words[2 + 3 * s + part], value)) << "column " << 2 + 3 * s + part;
                }
            }
        }
    }
}

TEST(TamrixVisualize, ShowsEveryRowOfTheOtherCalibrationTables)
{
    struct Row
    {
        const char* heading;
        const CalTable TamrixContent::*table;
        std::vector<std::string> columns;
    };
    const Row rows[] = {
        {"Absolute calibration (Abso)", &TamrixContent::abso, {"#", "Frequency/Hz", "Factor", "Uncertainty"}},
        {"Reflection calibration (Refl)",
         &TamrixContent::refl,
         {"#", "Frequency/Hz", "Real", "Imaginary", "Uncertainty"}},
        {"Temperature calibration (Temp)",
         &TamrixContent::temp,
         {"#", "Temperature/\xC2\xB0" "C", "Factor", "Uncertainty"}},
    };
    const TamrixContent content = BaseContent();
    const std::string text = Shown(content);
    for (const Row& row : rows) {
        SCOPED_TRACE(row.heading);
        const CalTable& table = content.*row.table;
        const std::vector<std::string> section = Section(text, row.heading);
        ASSERT_EQ(section.size(), 3 + table.axis.size());
        EXPECT_EQ(Field(text, row.heading, "Points"), std::to_string(table.axis.size()));
        EXPECT_EQ(Words(section[2]), row.columns);
        for (std::size_t p = 0; p < table.axis.size(); ++p) {
            const std::vector<std::string> words = Words(section[3 + p]);
            ASSERT_EQ(words.size(), 2 + table.valuesPerPoint);
            EXPECT_TRUE(ShowsExactly(words[1], table.axis[p]));
            for (std::size_t v = 0; v < table.valuesPerPoint; ++v)
                EXPECT_TRUE(ShowsExactly(words[2 + v], table.values[p * table.valuesPerPoint + v]));
        }
    }
}

TEST(TamrixVisualize, KeepsEveryTextOnItsLine)
{
    TamrixContent content = BaseContent();
    content.devices[0].mnemonic = "line\nbreak\r\x01\x7F";
    content.calInfo[0].engineer = "tab\there";
    const std::string text = Shown(content);
    for (const char c : text)
        EXPECT_FALSE(static_cast<unsigned char>(c) < 0x20u && c != '\n') << "control character " << int(c);
    EXPECT_EQ(Section(text, "Device 0").front(),
              "Device 0 \"line\xE2\x90\x8A" "break\xE2\x90\x8D\xE2\x90\x81\xE2\x90\xA1\"");
}

TEST(TamrixVisualize, NumbersDoNotFollowTheUserLocale)
{
    const std::string plain = Shown(BaseContent());
    const std::locale previous;
    try {
        std::locale::global(std::locale("de_DE.UTF-8"));
    } catch (const std::runtime_error&) {
        GTEST_SKIP() << "the de_DE.UTF-8 locale is not installed";
    }
    std::setlocale(LC_ALL, "de_DE.UTF-8");
    const std::string german = Shown(BaseContent());
    std::locale::global(previous);
    std::setlocale(LC_ALL, "C");
    EXPECT_EQ(german, plain);
}
