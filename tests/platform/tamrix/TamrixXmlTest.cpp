// The XML exchange of S-parameter devices: documents are read as laid out or refused whole, streams that fail are reported (the round trip of every
// device and the documented layout run with the renderings), and no number follows the user's locale.

#include "TamrixTestSupport.h"

#include <algorithm>
#include <clocale>
#include <locale>
#include <sstream>

namespace
{
// Every test of the library runs under a user locale that writes numbers with a decimal comma (when it is installed): no number text, read or
// written, may follow it.
struct UserLocale final : ::testing::Environment
{
    void SetUp() override
    {
        if (std::setlocale(LC_ALL, "de_DE.UTF-8"))
            std::locale::global(std::locale("de_DE.UTF-8"));
    }
};
::testing::Environment* const userLocale = ::testing::AddGlobalTestEnvironment(new UserLocale);

TEST(Tamrix, TestsRunUnderALocaleWithADecimalComma)
{
    if (std::use_facet<std::numpunct<char>>(std::locale()).decimal_point() != ',')
        GTEST_SKIP() << "the de_DE.UTF-8 locale is not installed";
}

// `documented` with every `from` replaced by `to` (the row fails when `from` does not occur, so that a stale case cannot pass unnoticed), or a whole
// document; the place the refusal names (nullptr: not looked at).
struct RefusalRow : Row { std::string from, to; std::int32_t code; std::function<std::string()> whole = nullptr; const char* place = nullptr; };
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
    std::string place;
    const auto import = [&] {
        try {
            Import(set, document);
        } catch (const TvxKyyCalcDLLError& error) {
            place = error.context ? error.context : "";
            throw;
        }
    };
    EXPECT_EQ(CodeKeeping(set, import), GetParam().code);
    EXPECT_TRUE(!GetParam().place || place == GetParam().place) << place;
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
    {"DocumentWithoutEnd", "</SParameterDevices>", "", 107}, {"TextAfterTheRoot", "</SParameterDevices>", "</SParameterDevices>trailing", 107},
    {"SecondRoot", "</SParameterDevices>", "</SParameterDevices><SParameterDevices formatVersion=\"1\"/>", 107}, {"OtherRoot", "SParameterDevices", "Devices", 107},
    {"NoFormatVersion", " formatVersion=\"1\"", "", 107}, {"NewerFormatVersion", "formatVersion=\"1\"", "formatVersion=\"2\"", 107},
    {"OlderFormatVersion", "formatVersion=\"1\"", "formatVersion=\"0\"", 107}, {"DeclaredLatin1", "encoding=\"UTF-8\"", "encoding=\"ISO-8859-1\"", 107},
    {"UnknownElementInTheRoot", "<Device>", "<Note/><Device>", 107}, {"MissingMnemonic", "<Mnemonic>Pad 6 dB</Mnemonic>", "", 107},
    {"TwoMnemonics", "<Mnemonic>Pad 6 dB</Mnemonic>", "<Mnemonic>A</Mnemonic><Mnemonic>B</Mnemonic>", 107}, {"ElementInsideTheMnemonic", "Pad 6 dB", "Pad <b>6</b> dB", 107},
    {"ReferenceToCharacter0", "Pad 6 dB", "Pad &#0;6 dB", 107}, {"ReferenceThatWrapsTo0", "Pad 6 dB", "Pad &#4294967296;6 dB", 107},
    {"LimitInMilliwatts", "<UpperPowerLimit unit=\"W\">", "<UpperPowerLimit unit=\"mW\">", 107}, {"NegativeFlags", "<Flags>1</Flags>", "<Flags>-1</Flags>", 107},
    {"FlagsBeyond32Bits", "<Flags>1</Flags>", "<Flags>4294967297</Flags>", 107}, {"UnknownElementInADevice", "<Flags>1</Flags>", "<Flags>1</Flags><Comment>x</Comment>", 107},
    {"UnknownAttribute", "<Point frequency=\"1e+07\">", "<Point frequency=\"1e+07\" unit=\"GHz\">", 107}, {"MissingS22", s22, "", 107}, {"S11Twice", s22, s11, 107},
    {"MissingUncertainty", " uncertainty=\"0.004\"", "", 107}, {"AttributeTwice", "real=\"0.5\"", "real=\"0.5\" real=\"0.6\"", 107},
    {"TextInsideAPoint", "</Point>", "stray</Point>", 107, nullptr, "Device 1, point 1"}, {"ElementInsideAnSParameter", "uncertainty=\"0.003\" />", "uncertainty=\"0.003\"><x/></S11>", 107},
    {"NumberWithTrailingText", "real=\"0.5\"", "real=\"0.5V\"", 107}, {"EmptyNumber", "real=\"0.5\"", "real=\"\"", 107},
    {"HexadecimalNumber", "real=\"0.5\"", "real=\"0x1p-1\"", 107}, {"DecimalComma", "real=\"0.5\"", "real=\"0,5\"", 107},
    {"BrokenNumberInALaterDevice", "", "", 107, [] { return ReadFile(DataFile("xml/broken_later_device.xml")); }, "Device 2, point 1"},
    {"ValueBeyondSinglePrecision", "real=\"0.5\"", "real=\"3.5e38\"", 215, nullptr, "Device 1, point 1"}, {"NegativeValueBeyondSinglePrecision", "imaginary=\"0.1\"", "imaginary=\"-1e39\"", 215},
    {"ValueBeyondDoublePrecision", "real=\"0.5\"", "real=\"1e400\"", 215}, {"FrequencyBeyondDoublePrecision", "frequency=\"1e+07\"", "frequency=\"1e400\"", 104, nullptr, "Device 1, point 1"},
    // What a number may hold is the model's rules.
    {"ValueNotANumber", "real=\"0.5\"", "real=\"nan\"", 104, nullptr, "Device 1, point 1"}, {"MnemonicTooLong", "Pad 6 dB", std::string(256, 'm'), 104, nullptr, "Device 1"},
    {"OneDeviceTooMany", "", "", 104, OneMore(64, 1, "  <Device>", "</Device>\n")}, {"OnePointTooMany", "", "", 104, OneMore(1, 99999, "      <Point ", "</Point>\n"), "Device 1, point 100000"},
};
INSTANTIATE_TEST_SUITE_P(Tamrix, XmlRefusal, ::testing::ValuesIn(refusalRows), RowName);

// Hands out the first `room` bytes of `documented` and then throws, as a vanished device would (at the end of the document it ends); takes `room`
// bytes and then fails; flushing fails when `failSync` is set.
struct Faulty final : std::streambuf
{
    Faulty(std::size_t room, bool failSync) : text(documented), left(room), failSync(failSync)
    {
        setg(text.data(), text.data(), text.data() + std::min(room, text.size()));
    }
    int_type underflow() override { return left < text.size() ? throw std::runtime_error("read error") : traits_type::eof(); }
    int_type overflow(int_type c) override { return left == 0 ? traits_type::eof() : (--left, traits_type::not_eof(c)); }
    int sync() override { return failSync ? -1 : 0; }
    std::string text;
    std::size_t left;
    bool failSync;
};

// Import from streams that fail (code 1, the set unchanged) or throw at the end of the data (read whole); export to streams that fail (code 2), with
// room for all but the last byte of the export when `room` is 0.
struct StreamRow : Row { bool import; std::size_t room; bool failSync; std::ios_base::iostate failed, exceptions; std::int32_t code; };
using XmlStream = ::testing::TestWithParam<StreamRow>;
TEST_P(XmlStream, FailsWithItsCodeOrReadsTheWholeDocument)
{
    const StreamRow& row = GetParam();
    CTamrix set = Rich();
    Faulty buffer(row.room ? row.room : Export(set).size() - 1, row.failSync);
    std::iostream stream(&buffer);
    stream.setstate(row.failed);
    stream.exceptions(row.exceptions);
    EXPECT_EQ(CodeKeeping(set, [&] { row.import ? set.ImportSPara(stream) : set.ExportSPara(stream); }), row.code);
    EXPECT_TRUE(row.code != 0 || set.GetSParaFreqNumber(0) == 2) << "the document not read whole";
}
const StreamRow streamRows[] = {
    {"ImportFromAFailedStream", true, 1000000, false, std::ios_base::failbit, {}, 1}, {"ImportFromASourceThatBreaks", true, 100, false, {}, {}, 1},
    {"ImportFromASourceThatBreaksIntoAThrowingStream", true, 100, false, {}, std::ios_base::badbit, 1},
    {"ImportFromAStreamThatThrowsAtTheEndOfItsData", true, 1000000, false, {}, std::ios_base::eofbit | std::ios_base::failbit | std::ios_base::badbit, 0},
    {"ExportToAFailedStream", false, 1000000, false, std::ios_base::failbit, {}, 2}, {"ExportFailsWhileWriting", false, 100, false, {}, {}, 2},
    {"ExportFailsAfterTheLastByte", false, 0, false, {}, {}, 2}, {"ExportFailsOnFlush", false, 1000000, true, {}, {}, 2},
    {"ExportToAStreamThatThrowsWhenItFails", false, 100, false, {}, std::ios_base::badbit | std::ios_base::failbit, 2},
};
INSTANTIATE_TEST_SUITE_P(Tamrix, XmlStream, ::testing::ValuesIn(streamRows), RowName);
} // namespace
