#include "Tamrix.h"

#include "TamrixTestSupport.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <clocale>
#include <cmath>
#include <fstream>
#include <functional>
#include <iterator>
#include <limits>
#include <locale>
#include <sstream>
#include <stdexcept>
#include <streambuf>
#include <string>
#include <vector>

using tamrix_core_test::CodeOf;
using tamrix_core_test::Fingerprint;

namespace
{

std::string Export(const CTamrix& set)
{
    std::ostringstream out;
    set.ExportSPara(out);
    return out.str();
}

void Import(CTamrix& set, const std::string& document)
{
    std::istringstream in(document);
    set.ImportSPara(in);
}

// The content with the device list and default device of `devicesFrom`.
TamrixContent WithDevicesOf(TamrixContent content, const TamrixContent& devicesFrom)
{
    content.devices = devicesFrom.devices;
    content.sParaDefaultDevice = devicesFrom.sParaDefaultDevice;
    return content;
}

// The devices alone, bit for bit.
std::string DevicesOf(const TamrixContent& content)
{
    TamrixContent devices;
    devices.devices = content.devices;
    return Fingerprint(devices);
}

SParaPoint Point(double frequency, float first, float step)
{
    SParaPoint point;
    point.frequency = frequency;
    for (std::size_t i = 0; i < point.values.size(); ++i)
        point.values[i] = first + step * static_cast<float>(i);
    return point;
}

SParaDevice Device(std::string mnemonic, std::size_t points, std::uint32_t flags = 0)
{
    SParaDevice device;
    device.mnemonic = std::move(mnemonic);
    device.minPower = 1e-10f;
    device.maxPower = 0.5f;
    device.flags = flags;
    for (std::size_t p = 0; p < points; ++p)
        device.points.push_back(Point(1e7 + 2.5e8 * static_cast<double>(p), 0.1f * static_cast<float>(p), -0.0371f));
    return device;
}

std::vector<SParaDevice> SeveralDevices()
{
    std::vector<SParaDevice> devices{Device("Pad 3 dB", 5), Device("Pad 10 dB", 7, sParaDevice_writeProtected),
                                     Device("", 1)};
    devices[1].minPower = 3.25e-9f;
    devices[1].maxPower = 2.0f;
    return devices;
}

std::vector<SParaDevice> OddMnemonics()
{
    const char* const mnemonics[] = {
        "<&>\"' markup",
        "J\xC3\xB6rg Wei\xC3\x9F \xE2\x84\xA6",
        "tab\there",
        "cr\rlf\ncrlf\r\n",
        "  leading and trailing  ",
        "   ",
        "\t",
        "\x01\x1F\x7F controls",
        "]]> and <![CDATA[",
        "not UTF-8 \xFF\xFE\xC3",
        "&amp; already escaped &#13;",
    };
    std::vector<SParaDevice> devices;
    for (const char* mnemonic : mnemonics)
        devices.push_back(Device(mnemonic, 1));
    return devices;
}

std::vector<SParaDevice> ExtremeValues()
{
    const float floats[] = {std::numeric_limits<float>::denorm_min(),
                            -std::numeric_limits<float>::denorm_min(),
                            -0.0f,
                            0.0f,
                            FLT_MAX,
                            -FLT_MAX,
                            FLT_MIN,
                            std::nextafter(FLT_MIN, 0.0f),
                            0.1f,
                            1.0f / 3.0f,
                            16777217.0f,
                            std::nextafter(1.0f, 2.0f)};
    const double frequencies[] = {0.0, -0.0, std::numeric_limits<double>::denorm_min(), 0.1 + 0.2, 1e7 + 1e-9 * 1e7,
                                  1.8e10, 123456789.123456789, DBL_MAX};
    SParaDevice device;
    device.mnemonic = "extremes";
    device.minPower = std::numeric_limits<float>::denorm_min();
    device.maxPower = FLT_MAX;
    for (std::size_t p = 0; p < std::size(frequencies); ++p) {
        SParaPoint point;
        point.frequency = frequencies[p];
        for (std::size_t i = 0; i < point.values.size(); ++i)
            point.values[i] = floats[(i + p) % std::size(floats)];
        device.points.push_back(point);
    }
    SParaDevice zeroLimits = Device("zero limits", 1);
    zeroLimits.minPower = -0.0f;
    zeroLimits.maxPower = 0.0f;
    return {device, zeroLimits};
}

std::vector<SParaDevice> LongestMnemonic()
{
    std::string mnemonic;
    for (long i = 0; i < maxMnemonicLength; ++i)
        mnemonic += "\xC3\xA4";
    return {Device(mnemonic, 2)};
}

std::vector<SParaDevice> WithoutPoints()
{
    return {Device("no points yet", 0), Device("one point", 1)};
}

struct RoundTripRow
{
    const char* name;
    std::vector<SParaDevice> devices;
};

// A document in the documented layout, the base of the refusal cases.
const char* const validDocument = R"(<?xml version="1.0" encoding="UTF-8"?>
<SParameterDevices formatVersion="1">
  <Device>
    <Mnemonic>Pad 6 dB</Mnemonic>
    <LowerPowerLimit unit="W">1e-10</LowerPowerLimit>
    <UpperPowerLimit unit="W">0.5</UpperPowerLimit>
    <Flags>1</Flags>
    <Points>
      <Point frequency="1e+07">
        <S11 real="0.01" imaginary="-0.02" uncertainty="0.003" />
        <S21 real="0.5" imaginary="0.1" uncertainty="0.004" />
        <S12 real="0.49" imaginary="0.11" uncertainty="0.005" />
        <S22 real="0.02" imaginary="0.03" uncertainty="0.006" />
      </Point>
      <Point frequency="2.5e+09">
        <S11 real="0.04" imaginary="0.05" uncertainty="0.007" />
        <S21 real="0.3" imaginary="-0.4" uncertainty="0.008" />
        <S12 real="0.31" imaginary="-0.41" uncertainty="0.009" />
        <S22 real="0.06" imaginary="0.07" uncertainty="0.01" />
      </Point>
    </Points>
  </Device>
</SParameterDevices>
)";

// `validDocument` with every `from` replaced by `to`; empty when `from` does
// not occur, so that a stale case cannot pass unnoticed.
std::string Edited(const std::string& from, const std::string& to)
{
    std::string document = validDocument;
    if (from.empty() || document.find(from) == std::string::npos)
        return {};
    for (std::size_t at = document.find(from); at != std::string::npos; at = document.find(from, at + to.size()))
        document.replace(at, from.size(), to);
    return document;
}

const char* const secondDevice = R"(<Device>
    <Mnemonic>second</Mnemonic>
    <LowerPowerLimit unit="W">0</LowerPowerLimit>
    <UpperPowerLimit unit="W">1</UpperPowerLimit>
    <Flags>0</Flags>
    <Points>
      <Point frequency="1e9">
        <S11 real="0" imaginary="0" uncertainty="0" />
        <S21 real="1" imaginary="0" uncertainty="0" />
        <S12 real="1" imaginary="0" uncertainty="0" />
        <S22 real="0.5x" imaginary="0" uncertainty="0" />
      </Point>
    </Points>
  </Device>
</SParameterDevices>)";

struct RefusalRow
{
    const char* name;
    std::string from; // empty: `to` is the whole document
    std::string to;
    std::int32_t code;
};

// The first `size` bytes pass, then every write fails; flushing fails when
// `failSync` is set.
class LimitedBuffer final : public std::streambuf
{
public:
    LimitedBuffer(std::size_t size, bool failSync) : m_left(size), m_failSync(failSync) {}

protected:
    std::streamsize xsputn(const char*, std::streamsize count) override
    {
        const std::streamsize taken = std::min<std::streamsize>(count, static_cast<std::streamsize>(m_left));
        m_left -= static_cast<std::size_t>(taken);
        return taken;
    }
    int_type overflow(int_type c) override
    {
        if (m_left == 0)
            return traits_type::eof();
        --m_left;
        return traits_type::not_eof(c);
    }
    int sync() override { return m_failSync ? -1 : 0; }

private:
    std::size_t m_left;
    bool m_failSync;
};

// Hands out `prefix`, then fails as a vanished device would.
class BrokenSourceBuffer final : public std::streambuf
{
public:
    explicit BrokenSourceBuffer(std::string prefix) : m_prefix(std::move(prefix))
    {
        setg(m_prefix.data(), m_prefix.data(), m_prefix.data() + m_prefix.size());
    }

protected:
    int_type underflow() override { throw std::runtime_error("read error"); }

private:
    std::string m_prefix;
};

// Sets the process locale the way Qt does from the environment, and back.
class ScopedLocale
{
public:
    explicit ScopedLocale(const char* name) : m_previous(std::locale())
    {
        try {
            std::locale::global(std::locale(name));
            m_active = true;
        } catch (const std::runtime_error&) {
            m_active = false;
        }
    }
    ~ScopedLocale()
    {
        std::locale::global(m_previous);
        std::setlocale(LC_ALL, "C");
    }
    ScopedLocale(const ScopedLocale&) = delete;
    ScopedLocale& operator=(const ScopedLocale&) = delete;

    bool Active() const { return m_active; }

private:
    std::locale m_previous;
    bool m_active = false;
};

std::string MaxCountDocument(std::size_t devices, std::size_t points)
{
    std::string document = "<SParameterDevices formatVersion=\"1\">";
    for (std::size_t d = 0; d < devices; ++d) {
        document += "<Device><Mnemonic>d</Mnemonic><LowerPowerLimit unit=\"W\">0</LowerPowerLimit>"
                    "<UpperPowerLimit unit=\"W\">1</UpperPowerLimit><Flags>0</Flags><Points>";
        for (std::size_t p = 0; p < points; ++p) {
            document += "<Point frequency=\"" + std::to_string(p)
                        + "\"><S11 real=\"0\" imaginary=\"0\" uncertainty=\"0\"/><S21 real=\"1\" imaginary=\"0\" "
                          "uncertainty=\"0\"/><S12 real=\"1\" imaginary=\"0\" uncertainty=\"0\"/><S22 real=\"0\" "
                          "imaginary=\"0\" uncertainty=\"0\"/></Point>";
        }
        document += "</Points></Device>";
    }
    return document + "</SParameterDevices>";
}

} // namespace

TEST(TamrixXml, ExportThenImportGivesBackEveryDeviceBitForBit)
{
    const RoundTripRow rows[] = {
        {"several devices with flags", SeveralDevices()},
        {"mnemonics that need escaping or are not UTF-8", OddMnemonics()},
        {"extreme values", ExtremeValues()},
        {"longest mnemonic", LongestMnemonic()},
        {"devices without points", WithoutPoints()},
        {"no devices", {}},
    };
    for (const RoundTripRow& row : rows) {
        SCOPED_TRACE(row.name);
        TamrixContent content = tamrix_core_test::RichContent('3');
        content.devices = row.devices;
        content.sParaDefaultDevice = -1;
        CTamrix source;
        source.ReplaceContent(content);

        CTamrix target = tamrix_core_test::RichSet('3');
        const TamrixContent before = target.Content();
        target.SetSParaDefaultDevice(row.devices.empty() ? -1 : 0);
        Import(target, Export(source));

        TamrixContent expected = WithDevicesOf(before, content);
        expected.sParaDefaultDevice = row.devices.empty() ? -1 : 0;
        EXPECT_EQ(Fingerprint(target.Content()), Fingerprint(expected));
    }
}

TEST(TamrixXml, ImportKeepsTheDefaultDeviceOnlyWhileItNamesADevice)
{
    struct Row
    {
        const char* name;
        std::int32_t defaultBefore;
        std::size_t devicesInFile;
        std::int32_t expected;
    };
    const Row rows[] = {
        {"inside the new list", 1, 4, 1},
        {"last device of the new list", 1, 2, 1},
        {"beyond the new list", 3, 2, -1},
        {"empty new list", 0, 0, -1},
        {"none stays none", -1, 3, -1},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        TamrixContent content = tamrix_core_test::RichContent('3');
        content.devices.assign(4, Device("old", 2));
        content.sParaDefaultDevice = row.defaultBefore;
        CTamrix set;
        set.ReplaceContent(content);
        CTamrix source;
        source.SetSParaDeviceNumber(static_cast<long>(row.devicesInFile));

        Import(set, Export(source));

        EXPECT_EQ(set.GetSParaDefaultDevice(), row.expected);
        EXPECT_EQ(set.GetSParaDeviceNumber(), static_cast<long>(row.devicesInFile));
    }
}

TEST(TamrixXml, ReadsTheDocumentedLayout)
{
    CTamrix set;
    set.EnableUtf8Support(true);
    Import(set, validDocument);

    ASSERT_EQ(set.GetSParaDeviceNumber(), 1);
    EXPECT_EQ(set.GetSPDMnemonic(0), "Pad 6 dB");
    EXPECT_EQ(set.GetSParaMinPower(0), static_cast<double>(1e-10f));
    EXPECT_EQ(set.GetSParaMaxPower(0), static_cast<double>(0.5f));
    EXPECT_EQ(set.GetSParaDeviceFlags(0), sParaDevice_writeProtected);
    ASSERT_EQ(set.GetSParaFreqNumber(0), 2);
    EXPECT_EQ(set.GetSParaFreq(0, 1), 2.5e9);
    const auto value = [&](const SParaType<1>& which) { return set.GetSParaValue(0, 1, &which); };
    const auto triple = [](float re, float im, float unc) {
        return SParaValue(static_cast<double>(re), static_cast<double>(im), static_cast<double>(unc));
    };
    EXPECT_EQ(value(SParaType<1>::S11), triple(0.04f, 0.05f, 0.007f));
    EXPECT_EQ(value(SParaType<1>::S21), triple(0.3f, -0.4f, 0.008f));
    EXPECT_EQ(value(SParaType<1>::S12), triple(0.31f, -0.41f, 0.009f));
    EXPECT_EQ(value(SParaType<1>::S22), triple(0.06f, 0.07f, 0.01f));
}

TEST(TamrixXml, ReadsAHandWrittenDocument)
{
    // Byte order mark, CRLF lines, comments, CDATA, other element and
    // attribute orders, single quotes, spaces around numbers, other number
    // notations, a value below single precision, an empty point list.
    std::ifstream file(OSTREL_TEST_DATA_DIR "/xml/hand_written.xml", std::ios::binary);
    ASSERT_TRUE(file);
    CTamrix set;
    set.EnableUtf8Support(true);
    set.ImportSPara(file);

    ASSERT_EQ(set.GetSParaDeviceNumber(), 2);
    EXPECT_EQ(set.GetSPDMnemonic(0), "Coupler <20 dB> & J\xC3\xB6rg's \xE2\x84\xA6");
    EXPECT_EQ(set.GetSParaMinPower(0), static_cast<double>(2e-9f));
    EXPECT_EQ(set.GetSParaMaxPower(0), 20.0);
    EXPECT_EQ(set.GetSParaDeviceFlags(0), 0u);
    ASSERT_EQ(set.GetSParaFreqNumber(0), 2);
    EXPECT_EQ(set.GetSParaFreq(0, 0), 1e7);
    EXPECT_EQ(set.GetSParaFreq(0, 1), 18e9);
    EXPECT_EQ(set.GetSParaValue(0, 0, &SParaType<1>::S11),
              SParaValue(static_cast<double>(0.02f), 0.0, static_cast<double>(0.005f)));
    EXPECT_EQ(set.GetSParaValue(0, 0, &SParaType<1>::S21),
              SParaValue(static_cast<double>(0.1f), static_cast<double>(-0.002f), static_cast<double>(0.005f)));
    EXPECT_EQ(set.GetSParaValue(0, 1, &SParaType<1>::S22),
              SParaValue(static_cast<double>(0.045f), 0.0, static_cast<double>(0.01f)));
    EXPECT_EQ(set.GetSPDMnemonic(1), " ");
    EXPECT_EQ(set.GetSParaDeviceFlags(1), sParaDevice_writeProtected);
    EXPECT_EQ(set.GetSParaFreqNumber(1), 0);
}

TEST(TamrixXml, RefusedDocumentsChangeNothing)
{
    const std::string s22 = R"(<S22 real="0.02" imaginary="0.03" uncertainty="0.006" />)";
    const std::string s11 = R"(<S11 real="0.01" imaginary="-0.02" uncertainty="0.003" />)";
    const RefusalRow rows[] = {
        {"empty text", "", "", 107},
        {"plain text", "", "just text", 107},
        {"document without end", "</SParameterDevices>", "", 107},
        {"mismatched end tag", "</Points>", "</Point>", 107},
        {"text after the root", "</SParameterDevices>", "</SParameterDevices>trailing", 107},
        {"second root", "</SParameterDevices>", "</SParameterDevices><SParameterDevices formatVersion=\"1\"/>", 107},
        {"other root", "SParameterDevices", "Devices", 107},
        {"no format version", " formatVersion=\"1\"", "", 107},
        {"newer format version", "formatVersion=\"1\"", "formatVersion=\"2\"", 107},
        {"format version not a number", "formatVersion=\"1\"", "formatVersion=\"1.0\"", 107},
        {"declared Latin-1", "encoding=\"UTF-8\"", "encoding=\"ISO-8859-1\"", 107},
        {"unknown element in the root", "<Device>", "<Note/><Device>", 107},
        {"missing mnemonic", "<Mnemonic>Pad 6 dB</Mnemonic>", "", 107},
        {"two mnemonics", "<Mnemonic>Pad 6 dB</Mnemonic>", "<Mnemonic>A</Mnemonic><Mnemonic>B</Mnemonic>", 107},
        {"element inside the mnemonic", "Pad 6 dB", "Pad <b>6</b> dB", 107},
        {"reference to character 0", "Pad 6 dB", "Pad &#0;6 dB", 107},
        {"hex reference to character 0", "Pad 6 dB", "Pad &#x000;6 dB", 107},
        {"reference that wraps to 0", "Pad 6 dB", "Pad &#4294967296;6 dB", 107},
        {"missing upper limit", "<UpperPowerLimit unit=\"W\">0.5</UpperPowerLimit>", "", 107},
        {"limit without unit", "<UpperPowerLimit unit=\"W\">", "<UpperPowerLimit>", 107},
        {"limit in milliwatts", "<UpperPowerLimit unit=\"W\">", "<UpperPowerLimit unit=\"mW\">", 107},
        {"missing flags", "<Flags>1</Flags>", "", 107},
        {"negative flags", "<Flags>1</Flags>", "<Flags>-1</Flags>", 107},
        {"flags beyond 32 bits", "<Flags>1</Flags>", "<Flags>4294967297</Flags>", 107},
        {"flags as a fraction", "<Flags>1</Flags>", "<Flags>1.0</Flags>", 107},
        {"missing point list", "Points>", "PointList>", 107},
        {"unknown element in a device", "<Flags>1</Flags>", "<Flags>1</Flags><Comment>x</Comment>", 107},
        {"missing frequency", "<Point frequency=\"1e+07\">", "<Point>", 107},
        {"unknown attribute", "<Point frequency=\"1e+07\">", "<Point frequency=\"1e+07\" unit=\"GHz\">", 107},
        {"missing S22", s22, "", 107},
        {"S11 twice", s22, s11, 107},
        {"missing uncertainty", " uncertainty=\"0.004\"", "", 107},
        {"attribute twice", "real=\"0.5\"", "real=\"0.5\" real=\"0.6\"", 107},
        {"text inside a point", "</Point>", "stray</Point>", 107},
        {"element inside an S-parameter", "uncertainty=\"0.003\" />", "uncertainty=\"0.003\"><x/></S11>", 107},
        {"number with trailing text", "real=\"0.5\"", "real=\"0.5V\"", 107},
        {"empty number", "real=\"0.5\"", "real=\"\"", 107},
        {"blank number", "real=\"0.5\"", "real=\"  \"", 107},
        {"hexadecimal number", "real=\"0.5\"", "real=\"0x1p-1\"", 107},
        {"decimal comma", "real=\"0.5\"", "real=\"0,5\"", 107},
        {"two numbers", "real=\"0.5\"", "real=\"0.5 0.6\"", 107},
        {"frequency with trailing text", "frequency=\"1e+07\"", "frequency=\"1e+07Hz\"", 107},
        {"broken number in a later device", "</SParameterDevices>", secondDevice, 107},
        {"value beyond single precision", "real=\"0.5\"", "real=\"3.5e38\"", 215},
        {"negative value beyond single precision", "imaginary=\"0.1\"", "imaginary=\"-1e39\"", 215},
        {"value beyond double precision", "real=\"0.5\"", "real=\"1e400\"", 215},
        {"limit beyond single precision", ">0.5</UpperPowerLimit>", ">1e39</UpperPowerLimit>", 215},
        {"value not a number", "real=\"0.5\"", "real=\"nan\"", 104},
        {"infinite frequency", "frequency=\"1e+07\"", "frequency=\"inf\"", 104},
        {"frequency beyond double precision", "frequency=\"1e+07\"", "frequency=\"1e400\"", 104},
        {"negative frequency", "frequency=\"1e+07\"", "frequency=\"-1e+07\"", 104},
        {"negative lower limit", ">1e-10</LowerPowerLimit>", ">-1e-10</LowerPowerLimit>", 104},
        {"unknown device flag", "<Flags>1</Flags>", "<Flags>2</Flags>", 104},
        {"mnemonic too long", "Pad 6 dB", std::string(static_cast<std::size_t>(maxMnemonicLength) + 1, 'm'), 104},
    };
    for (const RefusalRow& row : rows) {
        SCOPED_TRACE(row.name);
        const std::string document = row.from.empty() ? row.to : Edited(row.from, row.to);
        ASSERT_TRUE(row.from.empty() || !document.empty()) << "the case no longer fits the document";
        CTamrix set = tamrix_core_test::RichSet('3');
        const std::string before = Fingerprint(set.Content());

        EXPECT_EQ(CodeOf([&] { Import(set, document); }), row.code);
        EXPECT_EQ(Fingerprint(set.Content()), before);
    }
}

TEST(TamrixXml, ImportTakesCountsUpToTheLibraryLimits)
{
    struct Row
    {
        const char* name;
        std::size_t devices;
        std::size_t points;
        std::int32_t code;
    };
    const Row rows[] = {
        {"most devices", static_cast<std::size_t>(maxSParaDeviceNumber), 1, 0},
        {"one device too many", static_cast<std::size_t>(maxSParaDeviceNumber) + 1, 1, 104},
        {"most points", 1, static_cast<std::size_t>(maxSParaFreqNumber), 0},
        {"one point too many", 1, static_cast<std::size_t>(maxSParaFreqNumber) + 1, 104},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        CTamrix set = tamrix_core_test::SmallSet();
        const std::string before = Fingerprint(set.Content());

        EXPECT_EQ(CodeOf([&] { Import(set, MaxCountDocument(row.devices, row.points)); }), row.code);
        if (row.code == 0) {
            EXPECT_EQ(set.GetSParaDeviceNumber(), static_cast<long>(row.devices));
            EXPECT_EQ(set.GetSParaFreqNumber(0), static_cast<long>(row.points));
        } else {
            EXPECT_EQ(Fingerprint(set.Content()), before);
        }
    }
}

TEST(TamrixXml, ImportFromABadStreamFailsWithCode1AndChangesNothing)
{
    struct Row
    {
        const char* name;
        std::function<std::int32_t(CTamrix&)> import;
    };
    const Row rows[] = {
        {"stream already failed",
         [](CTamrix& set) {
             std::istringstream in(validDocument);
             in.setstate(std::ios_base::failbit);
             return CodeOf([&] { set.ImportSPara(in); });
         }},
        {"source breaks while reading",
         [](CTamrix& set) {
             BrokenSourceBuffer buffer(std::string(validDocument).substr(0, 100));
             std::istream in(&buffer);
             return CodeOf([&] { set.ImportSPara(in); });
         }},
        {"source breaks, stream throws",
         [](CTamrix& set) {
             BrokenSourceBuffer buffer(std::string(validDocument).substr(0, 100));
             std::istream in(&buffer);
             in.exceptions(std::ios_base::badbit);
             return CodeOf([&] { set.ImportSPara(in); });
         }},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        CTamrix set = tamrix_core_test::RichSet('3');
        const std::string before = Fingerprint(set.Content());
        EXPECT_EQ(row.import(set), TamrixErrorCode::FileRead);
        EXPECT_EQ(Fingerprint(set.Content()), before);
    }
}

TEST(TamrixXml, ReadsAStreamThatThrowsAtTheEndOfItsData)
{
    std::istringstream in(validDocument);
    in.exceptions(std::ios_base::eofbit | std::ios_base::failbit | std::ios_base::badbit);
    CTamrix set;
    set.ImportSPara(in);
    EXPECT_EQ(set.GetSParaFreqNumber(0), 2);
}

TEST(TamrixXml, ExportToABadStreamFailsWithCode2)
{
    struct Row
    {
        const char* name;
        std::size_t room;
        bool failSync;
        bool alreadyFailed;
        bool throwing;
    };
    const Row rows[] = {
        {"stream already failed", 1000000, false, true, false},
        {"stream fails while writing", 100, false, false, false},
        {"stream fails after the last byte", 0, false, false, false},
        {"stream fails on flush", 1000000, true, false, false},
        {"stream throws when it fails", 100, false, false, true},
    };
    const CTamrix set = tamrix_core_test::RichSet('3');
    const std::size_t size = Export(set).size();
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        LimitedBuffer buffer(row.room == 0 ? size - 1 : row.room, row.failSync);
        std::ostream out(&buffer);
        if (row.alreadyFailed)
            out.setstate(std::ios_base::failbit);
        if (row.throwing)
            out.exceptions(std::ios_base::badbit | std::ios_base::failbit);
        EXPECT_EQ(CodeOf([&] { set.ExportSPara(out); }), TamrixErrorCode::FileWrite);
    }
}

TEST(TamrixXml, NumbersDoNotFollowTheUserLocale)
{
    const CTamrix set = tamrix_core_test::RichSet('3');
    const std::string plain = Export(set);
    ScopedLocale german("de_DE.UTF-8");
    if (!german.Active())
        GTEST_SKIP() << "the de_DE.UTF-8 locale is not installed";
    std::setlocale(LC_ALL, "de_DE.UTF-8");

    std::ostringstream out;
    out.imbue(std::locale());
    set.ExportSPara(out);
    EXPECT_EQ(out.str(), plain);

    CTamrix target;
    std::istringstream in(plain);
    in.imbue(std::locale());
    target.ImportSPara(in);
    EXPECT_EQ(DevicesOf(target.Content()), DevicesOf(set.Content()));
}
