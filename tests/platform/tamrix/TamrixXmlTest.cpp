// The XML exchange of S-parameter devices: export -> import gives back every device bit for bit, documents are read as laid out or refused whole.

#include "TamrixTestSupport.h"

#include <cfloat>
#include <clocale>
#include <cmath>
#include <locale>
#include <sstream>

namespace
{
CTamrix WithDevices(std::vector<SParaDevice> devices)
{
    TamrixContent content;
    content.devices = std::move(devices);
    CTamrix set;
    set.ReplaceContent(std::move(content));
    return set;
}
// A new device named `mnemonic` with `points` points at 0 Hz, all values 0 but the first point's.
SParaDevice Device(std::string mnemonic, std::size_t points = 1)
{
    SParaDevice device = CTamrix::NewSParaDevice();
    device.mnemonic = std::move(mnemonic), device.points.resize(points);
    return device;
}

// Every value a device holds at once, in single and double precision.
std::vector<SParaDevice> ExtremeValues()
{
    const float floats[] = {FLT_TRUE_MIN, -FLT_TRUE_MIN, -0.0f, 0.0f, FLT_MAX, -FLT_MAX, FLT_MIN,
                            std::nextafter(FLT_MIN, 0.0f), 0.1f, 1.0f / 3.0f, 16777216.0f, std::nextafter(1.0f, 2.0f)};
    const double frequencies[] = {0.0, -0.0, DBL_TRUE_MIN, 0.1 + 0.2, 1e7 + 1e-2, 1.8e10, 123456789.123456789, DBL_MAX};
    SParaDevice device = Device("extremes", std::size(frequencies));
    device.minPower = FLT_TRUE_MIN, device.maxPower = FLT_MAX;
    for (std::size_t p = 0; p < std::size(frequencies); ++p) {
        device.points[p].frequency = frequencies[p];
        for (std::size_t i = 0; i < 12; ++i)
            device.points[p].values[i] = floats[(i + p) % std::size(floats)];
    }
    SParaDevice zeroLimits = Device("zero limits");
    zeroLimits.minPower = -0.0f, zeroLimits.maxPower = 0.0f, zeroLimits.flags = 1;
    return {device, zeroLimits};
}

// Exported from `source`, imported into rich_v3 (without a default device): the device list is the source's, bit for bit, and nothing else changes.
struct RoundTripRow : Row { std::function<CTamrix()> source; };
using XmlRoundTrip = ::testing::TestWithParam<RoundTripRow>;
TEST_P(XmlRoundTrip, GivesBackEveryDeviceBitForBit)
{
    const CTamrix source = GetParam().source();
    CTamrix target = Rich();
    target.SetSParaDefaultDevice(-1);
    TamrixContent expected = target.Content();
    expected.devices = source.Content().devices;
    Import(target, Export(source));
    EXPECT_EQ(Bytes(target.Content()), Bytes(expected));
}
std::vector<RoundTripRow> RoundTripRows()
{
    std::vector<RoundTripRow> rows;
    for (const SampleRow& sample : sampleRows)
        rows.push_back({sample.name, [path = sample.path] { return Loaded(path); }});
    std::vector<SParaDevice> oddDevices;
    for (const char* mnemonic : {"<&>\"' markup", "tab\there", "cr\rlf\ncrlf\r\n", "  leading and trailing  ", "   ", "\t", "\x01\x1F\x7F controls",
                                 "]]> and <![CDATA[", "not UTF-8 \xFF\xFE\xC3", "&amp; already escaped &#13;", "J\xC3\xB6rg Wei\xC3\x9F \xE2\x84\xA6"})
        oddDevices.push_back(Device(mnemonic));
    rows.push_back({"MnemonicsThatNeedEscapingOrAreNotUtf8", [=] { return WithDevices(oddDevices); }});
    rows.push_back({"ExtremeValues", [] { return WithDevices(ExtremeValues()); }});
    rows.push_back({"DevicesWithoutPoints", [] { return WithDevices({Device("no points yet", 0), Device("one")}); }});
    rows.push_back({"NoDevices", [] { return CTamrix(); }});
    rows.push_back({"MostDevices", [] { return WithDevices(std::vector<SParaDevice>(64, Device("d"))); }});
    rows.push_back({"MostPoints", [] { return WithDevices({Device("d", 100000)}); }});
    return rows;
}
INSTANTIATE_TEST_SUITE_P(Tamrix, XmlRoundTrip, ::testing::ValuesIn(RoundTripRows()), RowName);

// A document in the documented layout, the base of the refusal cases (read as kept in visualize/xml_documented.txt).
const std::string documented = ReadFile(DataFile("xml/documented.xml"));

// The documented layout is what export writes, to the byte.
TEST(Tamrix, ExportWritesTheDocumentedLayout)
{
    CTamrix set;
    Import(set, documented);
    EXPECT_EQ(Export(set), documented);
}

// `documented` with every `from` replaced by `to` (the row fails when `from` does not occur, so that a stale case cannot pass unnoticed), or a whole
// document.
struct RefusalRow : Row { std::string from, to; std::int32_t code; std::function<std::string()> whole = nullptr; };
using XmlRefusal = ::testing::TestWithParam<RefusalRow>;
TEST_P(XmlRefusal, ChangeNothing)
{
    std::string document = GetParam().whole ? GetParam().whole() : documented;
    if (!GetParam().whole) {
        ASSERT_NE(document.find(GetParam().from), std::string::npos) << "the case no longer fits the document";
        for (std::size_t at = document.find(GetParam().from); at != std::string::npos;
             at = document.find(GetParam().from, at + GetParam().to.size()))
            document.replace(at, GetParam().from.size(), GetParam().to);
    }
    CTamrix set = Rich();
    const std::string before = Bytes(set.Content());
    EXPECT_EQ(CodeOf([&] { Import(set, document); }), GetParam().code);
    EXPECT_EQ(Bytes(set.Content()), before);
}
// The export of `devices` devices of `points` points with the first device or point once more.
std::function<std::string()> OneMore(std::size_t devices, std::size_t points, const char* open, const char* close)
{
    return [=] {
        std::string document = Export(WithDevices(std::vector<SParaDevice>(devices, Device("d", points))));
        const std::size_t begin = document.find(open), end = document.find(close, begin) + std::strlen(close);
        return document.insert(begin, document.substr(begin, end - begin));
    };
}
const std::string s22 = R"(<S22 real="0.02" imaginary="0.03" uncertainty="0.006" />)";
const std::string s11 = R"(<S11 real="0.01" imaginary="-0.02" uncertainty="0.003" />)";
const RefusalRow refusalRows[] = {
    {"EmptyText", "", "", 107, [] { return std::string(); }}, {"PlainText", "", "", 107, [] { return std::string("just text"); }},
    {"DocumentWithoutEnd", "</SParameterDevices>", "", 107}, {"MismatchedEndTag", "</Points>", "</Point>", 107},
    {"TextAfterTheRoot", "</SParameterDevices>", "</SParameterDevices>trailing", 107},
    {"SecondRoot", "</SParameterDevices>", "</SParameterDevices><SParameterDevices formatVersion=\"1\"/>", 107}, {"OtherRoot", "SParameterDevices", "Devices", 107},
    {"NoFormatVersion", " formatVersion=\"1\"", "", 107}, {"NewerFormatVersion", "formatVersion=\"1\"", "formatVersion=\"2\"", 107},
    {"FormatVersionNotANumber", "formatVersion=\"1\"", "formatVersion=\"1.0\"", 107}, {"DeclaredLatin1", "encoding=\"UTF-8\"", "encoding=\"ISO-8859-1\"", 107},
    {"UnknownElementInTheRoot", "<Device>", "<Note/><Device>", 107}, {"MissingMnemonic", "<Mnemonic>Pad 6 dB</Mnemonic>", "", 107},
    {"TwoMnemonics", "<Mnemonic>Pad 6 dB</Mnemonic>", "<Mnemonic>A</Mnemonic><Mnemonic>B</Mnemonic>", 107}, {"ElementInsideTheMnemonic", "Pad 6 dB", "Pad <b>6</b> dB", 107},
    {"ReferenceToCharacter0", "Pad 6 dB", "Pad &#0;6 dB", 107}, {"HexReferenceToCharacter0", "Pad 6 dB", "Pad &#x000;6 dB", 107},
    {"ReferenceThatWrapsTo0", "Pad 6 dB", "Pad &#4294967296;6 dB", 107}, {"MissingUpperLimit", "<UpperPowerLimit unit=\"W\">0.5</UpperPowerLimit>", "", 107},
    {"LimitWithoutUnit", "<UpperPowerLimit unit=\"W\">", "<UpperPowerLimit>", 107},
    {"LimitInMilliwatts", "<UpperPowerLimit unit=\"W\">", "<UpperPowerLimit unit=\"mW\">", 107}, {"MissingFlags", "<Flags>1</Flags>", "", 107},
    {"NegativeFlags", "<Flags>1</Flags>", "<Flags>-1</Flags>", 107}, {"FlagsBeyond32Bits", "<Flags>1</Flags>", "<Flags>4294967297</Flags>", 107},
    {"FlagsAsAFraction", "<Flags>1</Flags>", "<Flags>1.0</Flags>", 107}, {"MissingPointList", "Points>", "PointList>", 107},
    {"UnknownElementInADevice", "<Flags>1</Flags>", "<Flags>1</Flags><Comment>x</Comment>", 107}, {"MissingFrequency", "<Point frequency=\"1e+07\">", "<Point>", 107},
    {"UnknownAttribute", "<Point frequency=\"1e+07\">", "<Point frequency=\"1e+07\" unit=\"GHz\">", 107}, {"MissingS22", s22, "", 107}, {"S11Twice", s22, s11, 107},
    {"MissingUncertainty", " uncertainty=\"0.004\"", "", 107}, {"AttributeTwice", "real=\"0.5\"", "real=\"0.5\" real=\"0.6\"", 107},
    {"TextInsideAPoint", "</Point>", "stray</Point>", 107}, {"ElementInsideAnSParameter", "uncertainty=\"0.003\" />", "uncertainty=\"0.003\"><x/></S11>", 107},
    {"NumberWithTrailingText", "real=\"0.5\"", "real=\"0.5V\"", 107}, {"EmptyNumber", "real=\"0.5\"", "real=\"\"", 107}, {"BlankNumber", "real=\"0.5\"", "real=\"  \"", 107},
    {"HexadecimalNumber", "real=\"0.5\"", "real=\"0x1p-1\"", 107}, {"DecimalComma", "real=\"0.5\"", "real=\"0,5\"", 107},
    {"TwoNumbers", "real=\"0.5\"", "real=\"0.5 0.6\"", 107}, {"FrequencyWithTrailingText", "frequency=\"1e+07\"", "frequency=\"1e+07Hz\"", 107},
    {"BrokenNumberInALaterDevice", "", "", 107, [] { return ReadFile(DataFile("xml/broken_later_device.xml")); }},
    {"ValueBeyondSinglePrecision", "real=\"0.5\"", "real=\"3.5e38\"", 215}, {"NegativeValueBeyondSinglePrecision", "imaginary=\"0.1\"", "imaginary=\"-1e39\"", 215},
    {"ValueBeyondDoublePrecision", "real=\"0.5\"", "real=\"1e400\"", 215}, {"LimitBeyondSinglePrecision", ">0.5</UpperPowerLimit>", ">1e39</UpperPowerLimit>", 215},
    {"ValueNotANumber", "real=\"0.5\"", "real=\"nan\"", 104}, {"InfiniteFrequency", "frequency=\"1e+07\"", "frequency=\"inf\"", 104},
    {"FrequencyBeyondDoublePrecision", "frequency=\"1e+07\"", "frequency=\"1e400\"", 104}, {"NegativeFrequency", "frequency=\"1e+07\"", "frequency=\"-1e+07\"", 104},
    {"NegativeLowerLimit", ">1e-10</LowerPowerLimit>", ">-1e-10</LowerPowerLimit>", 104}, {"UnknownDeviceFlag", "<Flags>1</Flags>", "<Flags>2</Flags>", 104},
    {"MnemonicTooLong", "Pad 6 dB", std::string(256, 'm'), 104}, {"OneDeviceTooMany", "", "", 104, OneMore(64, 1, "  <Device>", "</Device>\n")},
    {"OnePointTooMany", "", "", 104, OneMore(1, 100000, "      <Point ", "</Point>\n")},
};
INSTANTIATE_TEST_SUITE_P(Tamrix, XmlRefusal, ::testing::ValuesIn(refusalRows), RowName);

// Hands out `prefix`, then fails as a vanished device would.
struct BrokenSource final : std::streambuf
{
    explicit BrokenSource(std::string prefix) : text(std::move(prefix)) { setg(text.data(), text.data(), text.data() + text.size()); }
    int_type underflow() override { throw std::runtime_error("read error"); }
    std::string text;
};

// Import from streams that fail (code 1, the set unchanged) or throw at the end of the data (read whole).
struct StreamRow : Row { bool broken; std::ios_base::iostate failed, exceptions; std::int32_t code; };
using XmlImportStream = ::testing::TestWithParam<StreamRow>;
TEST_P(XmlImportStream, FailsWithCode1OrReadsTheWholeDocument)
{
    BrokenSource broken(documented.substr(0, 100));
    std::stringbuf whole(documented);
    std::istream in(GetParam().broken ? static_cast<std::streambuf*>(&broken) : &whole);
    in.setstate(GetParam().failed);
    in.exceptions(GetParam().exceptions);
    CTamrix set = Rich();
    const std::string before = Bytes(set.Content());
    EXPECT_EQ(CodeOf([&] { set.ImportSPara(in); }), GetParam().code);
    EXPECT_EQ(GetParam().code ? Bytes(set.Content()) : std::to_string(set.GetSParaFreqNumber(0)), GetParam().code ? before : "2");
}
const auto all = std::ios_base::eofbit | std::ios_base::failbit | std::ios_base::badbit;
const StreamRow streamRows[] = {{"AlreadyFailed", false, std::ios_base::failbit, {}, 1}, {"SourceBreaksWhileReading", true, {}, {}, 1},
                                {"SourceBreaksStreamThrows", true, {}, std::ios_base::badbit, 1}, {"StreamThrowsAtTheEndOfItsData", false, {}, all, 0}};
INSTANTIATE_TEST_SUITE_P(Tamrix, XmlImportStream, ::testing::ValuesIn(streamRows), RowName);

// The first `room` bytes pass (all but the last when 0), then every write fails; flushing fails when `failSync` is set.
struct Limited final : std::streambuf
{
    Limited(std::size_t room, bool failSync) : left(room), failSync(failSync) {}
    std::streamsize xsputn(const char*, std::streamsize count) override
    {
        const std::streamsize taken = std::min<std::streamsize>(count, static_cast<std::streamsize>(left));
        return left -= static_cast<std::size_t>(taken), taken;
    }
    int_type overflow(int_type c) override { return left == 0 ? traits_type::eof() : (--left, traits_type::not_eof(c)); }
    int sync() override { return failSync ? -1 : 0; }
    std::size_t left;
    bool failSync;
};

struct ExportRow : Row { std::size_t room; bool failSync; std::ios_base::iostate failed, exceptions; };
using XmlExportStream = ::testing::TestWithParam<ExportRow>;
TEST_P(XmlExportStream, FailsWithCode2)
{
    const CTamrix set = Rich();
    Limited buffer(GetParam().room ? GetParam().room : Export(set).size() - 1, GetParam().failSync);
    std::ostream out(&buffer);
    out.setstate(GetParam().failed);
    out.exceptions(GetParam().exceptions);
    EXPECT_EQ(CodeOf([&] { set.ExportSPara(out); }), 2);
}
const ExportRow exportRows[] = {{"AlreadyFailed", 1000000, false, std::ios_base::failbit, {}}, {"FailsWhileWriting", 100, false, {}, {}},
                                {"FailsAfterTheLastByte", 0, false, {}, {}}, {"FailsOnFlush", 1000000, true, {}, {}},
                                {"ThrowsWhenItFails", 100, false, {}, std::ios_base::badbit | std::ios_base::failbit}};
INSTANTIATE_TEST_SUITE_P(Tamrix, XmlExportStream, ::testing::ValuesIn(exportRows), RowName);

TEST(Tamrix, NumbersDoNotFollowTheUserLocale)
{
    const CTamrix set = Rich();
    const std::string plain = Export(set), shown = set.Visualize();
    const std::locale previous;
    try {
        std::locale::global(std::locale("de_DE.UTF-8"));
    } catch (const std::runtime_error&) {
        GTEST_SKIP() << "the de_DE.UTF-8 locale is not installed";
    }
    std::setlocale(LC_ALL, "de_DE.UTF-8");
    std::ostringstream out;
    out.imbue(std::locale());
    set.ExportSPara(out);
    CTamrix target;
    std::istringstream in(plain);
    in.imbue(std::locale());
    target.ImportSPara(in);
    const std::string german = set.Visualize();
    std::locale::global(previous);
    std::setlocale(LC_ALL, "C");
    EXPECT_EQ(out.str(), plain);
    EXPECT_EQ(Bytes(target.Content()), Bytes(WithDevices(set.Content().devices).Content()));
    EXPECT_EQ(german, shown);
}
} // namespace
