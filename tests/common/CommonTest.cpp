// The shared helpers: text conversions, library error texts and number texts.

#include "LibraryError.h"
#include "LibraryErrorTable.h"
#include "NumberText.h"
#include "TamrixError.h"
#include "TextConversion.h"

#include <QString>

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <cstring>
#include <random>
#include <string_view>
#include <utility>

// GoogleTest shows a QString in failure messages as its UTF-8 text.
inline void PrintTo(const QString& text, std::ostream* out) { *out << '"' << text.toStdString() << '"'; }

namespace
{
// A QString holding exactly these UTF-16 code units, unpaired surrogates included.
QString Units(std::u16string_view units) { return QString(reinterpret_cast<const QChar*>(units.data()), static_cast<qsizetype>(units.size())); }

// A table's row, named after its case: the test's name and what a failure shows.
struct Row { const char* name; };
std::ostream& operator<<(std::ostream& out, const Row& row) { return out << row.name; }
constexpr auto RowName = [](const auto& info) { return std::string(info.param.name); };

const std::string X1000(1000, 'x'), AllBytes = [] { std::string b; for (int i = 0; i < 256; ++i) b += char(i); return b; }();
const std::u16string U1000(1000, u'x'), AllUnits = [] { std::u16string u; for (int i = 0; i < 256; ++i) u += char16_t(i); return u; }();

// Utf8 and Latin1 rows convert both ways (and Utf8 bytes are valid UTF-8, and
// are the path of that name); the others only one way, dropping what the
// target cannot hold.
enum Kind { Utf8, Utf8Read, Utf8Write, Latin1, Latin1Write };
struct ConversionRow : Row { Kind kind; std::string bytes; std::u16string text; };
using Conversion = ::testing::TestWithParam<ConversionRow>;
TEST_P(Conversion, DropsExactlyWhatTheTargetCannotHold)
{
    const auto& [kind, bytes, text] = std::tie(GetParam().kind, GetParam().bytes, GetParam().text);
    if (kind == Utf8 || kind == Utf8Read) { EXPECT_EQ(Utf8ToWide(bytes), Units(text)); }
    if (kind == Utf8 || kind == Utf8Read) { EXPECT_EQ(IsValidUtf8(bytes), kind == Utf8); }
    if (kind == Utf8 || kind == Utf8Write) { EXPECT_EQ(WideToUtf8(Units(text)), bytes); }
    if (kind == Utf8) { EXPECT_EQ(std::pair(WideToPath(Units(text)), PathToWide(bytes)), std::pair(bytes, Units(text))); }
    if (kind == Latin1) { EXPECT_EQ(Latin1ToWide(bytes), Units(text)); }
    if (kind == Latin1 || kind == Latin1Write) { EXPECT_EQ(WideToLatin1(Units(text)), bytes); }
}
const ConversionRow ConversionRows[] = {
    {"Ascii", Utf8, "S21 [dB]", u"S21 [dB]"}, {"FirstAfterAscii", Utf8, "\x7F\xC2\x80", u"\u007F\u0080"},
    {"OhmMicroEuro", Utf8, "\xCE\xA9 \xC2\xB5W\xE2\x82\xAC", u"\u03A9 \u00B5W\u20AC"}, {"Special", Utf8, "\xEF\xBF\xBD\xEF\xBB\xBF", u"\uFFFD\uFEFF"},
    {"OutsideTheBmp", Utf8, "a\xF0\x9F\x93\xA1z\xF4\x8F\xBF\xBF", u"a\U0001F4E1z\U0010FFFF"},
    {"LongThenUmlaut", Utf8, X1000 + "\xC3\xA4", U1000 + u"\u00E4"}, {"Nul", Utf8, std::string("a\0\xC3\xA4", 4), std::u16string(u"a\0\u00E4", 3)},
    {"LoneContinuation", Utf8Read, "a\x80" "b", u"ab"}, {"TruncatedThree", Utf8Read, "\xE2\x82" "A", u"A"},
    {"TruncatedAtEnd", Utf8Read, "A\xE2\x82", u"A"}, {"OverlongSlash", Utf8Read, "\xC0\xAF" "B", u"B"},
    {"EncodedSurrogate", Utf8Read, "\xED\xA0\x80" "C", u"C"}, {"AboveUnicode", Utf8Read, "\xF4\x90\x80\x80" "D", u"D"},
    {"Latin1Text", Utf8Read, "Stra\xDF" "e", u"Strae"}, {"HighAtEnd", Utf8Write, "A", u"A\xD83D"},
    {"ReversedPair", Utf8Write, "AB", u"A\xDE00\xD83D" u"B"}, {"HighsThenPair", Utf8Write, "\xF0\x9F\x98\x80", u"\xD800\xD83D\xDE00"},
    {"EveryByte", Latin1, AllBytes, AllUnits}, {"Number", Latin1, "-1.5e-3", u"-1.5e-3"},
    {"LongLatin1", Latin1, X1000 + "\xE4", U1000 + u"\u00E4"}, {"Euro", Latin1Write, "5", u"5\u20AC"},
    {"PairToLatin1", Latin1Write, "az", u"a\U0001F4E1z"}, {"LoneToLatin1", Latin1Write, "az", u"a\xD800z"}};
INSTANTIATE_TEST_SUITE_P(TextConversion, Conversion, ::testing::ValuesIn(ConversionRows), RowName);

struct ErrorRow : Row { TvxKyyCalcDLLError error; std::u16string expected; };
using Message = ::testing::TestWithParam<ErrorRow>;
TEST_P(Message, QuotesTheContextBeforeTheCodesText)
{
    EXPECT_EQ(FormatLibraryError(GetParam().error), Units(GetParam().expected));
}
const ErrorRow ErrorRows[] = {
    {"NoError", TvxKyyCalcDLLError(0), u"No error occurred."}, {"Unknown", TvxKyyCalcDLLError(3), u"An unknown error occured!"},
    {"AboveEveryCode", TvxKyyCalcDLLError(INT32_MAX), u"An unknown error occured!"},
    {"NullContext", TvxKyyCalcDLLError(208, static_cast<const char*>(nullptr)), u"Calibration data set checksum test failed!"},
    {"EmptyContext", TvxKyyCalcDLLError(1, ""), u"\"\": File read access failed!"},
    {"Utf8Path", TvxKyyCalcDLLError(204, "/m\xC3\xBC/\xCE\xA9.cal"), u"\"/m\u00FC/\u03A9.cal\": Calibration data set has wrong signature!"},
    {"Latin1Bytes", TvxKyyCalcDLLError(2, "M\xFCller\xB5"), u"\"M\u00FCller\u00B5\": File write access failed!"}};
INSTANTIATE_TEST_SUITE_P(LibraryError, Message, ::testing::ValuesIn(ErrorRows), RowName);

// Every code the data set library raises has a text of its own.
TEST(LibraryError, EveryRaisedCodeHasItsText)
{
    namespace c = TamrixErrorCode;
    for (const std::int32_t raised : {c::FileRead, c::FileWrite, c::WrongArgument, c::InvalidTableAccess, c::XmlError,
                                      c::FrequenciesNotAscending, c::NotParsable, c::TooLarge, c::Invalid, c::WrongSignature,
                                      c::UnsupportedVersion, c::UnsupportedRevision, c::InconsistentLength, c::ChecksumFailed,
                                      c::NoSParaDevice, c::IncompatibleVersion, c::SinglePrecisionOverflow})
        EXPECT_STRNE(LibraryErrorText(raised), UnknownLibraryErrorMessage) << raised;
}

constexpr double Inf = HUGE_VAL, NaN = NAN, No = -777.25; // No: what a refused text reads as (-777 whole)

// Each check runs as the program starts and again under a German C library
// locale, as Qt sets it from the environment: no number text may follow it.
template <typename Check> void InEveryLocale(Check check)
{
    check();
    const std::string previous = std::setlocale(LC_ALL, nullptr);
    ASSERT_TRUE(std::setlocale(LC_ALL, "de_DE.UTF-8")) << "scripts/test generates de_DE.UTF-8";
    EXPECT_EQ(std::to_string(1.5), "1,500000");
    check();
    std::setlocale(LC_ALL, previous.c_str());
}

struct FormatRow : Row { double value; const char* engineering; const char* plain; };
using Format = ::testing::TestWithParam<FormatRow>;
TEST_P(Format, ShowsSixDigitsScaled)
{
    InEveryLocale([] {
        EXPECT_EQ(FormatEngineering(GetParam().value), QString::fromLatin1(GetParam().engineering));
        EXPECT_EQ(FormatValue(GetParam().value), QString::fromLatin1(GetParam().plain));
    });
}
const FormatRow FormatRows[] = {
    {"Zero", 0, "0", "0"}, {"NegativeZero", -0.0, "0", "0"}, {"Unit", 1.5, "1.5", "1.5"}, {"Kilo", 1500, "1.5e3", "1500"},
    {"Rounded", 123456789, "123.457e6", "1.23457e8"}, {"Milli", 0.001, "1e-3", "0.001"},
    {"TenthMicro", 1e-7, "100e-9", "1e-7"}, {"NegHalf", -0.5, "-500e-3", "-0.5"},
    {"RoundedPlain", 12345.678, "12.3457e3", "12345.7"}, {"PlainTop", 100000, "100e3", "100000"},
    {"AbovePlain", 100001, "100.001e3", "1.00001e5"}, {"PlainBottom", 0.0001, "100e-6", "0.0001"},
    {"BelowPlain", 0.00005, "50e-6", "5e-5"}, {"Denormal", 4.9406564584124654e-324, "4.94066e-324", "4.94066e-324"},
    {"Largest", 1.7976931348623157e308, "179.769e306", "1.79769e308"}, {"Inf", Inf, "inf", "inf"},
    {"NegInf", -Inf, "-inf", "-inf"}, {"NaN", NaN, "nan", "nan"},
    // Rounding that carries the mantissa into the next decade or group of three, and just not.
    {"Pico", 1e-12, "1e-12", "1e-12"}, {"Mega", 999999.5, "1e6", "9.99999e5"}, {"NearMega", 999999.9, "1e6", "1e6"},
    {"BelowMega", 999999.4, "999.999e3", "9.99999e5"},
    // Six digits that round onto an end of the plain range show it plainly, as the text reads back.
    {"PlainBottomCarry", 9.9999999e-5, "100e-6", "0.0001"}, {"OntoPlainTop", 100000.00006, "100e3", "100000"}};
INSTANTIATE_TEST_SUITE_P(NumberText, Format, ::testing::ValuesIn(FormatRows), RowName);

// Texts that leave the program: the same notation, as many digits as reading back takes.
using ExactFormat = ::testing::TestWithParam<FormatRow>;
TEST_P(ExactFormat, ReadsBackBitForBit)
{
    InEveryLocale([] {
        const double value = GetParam().value;
        for (const auto& [format, expected] : {std::pair{&FormatEngineeringExact, GetParam().engineering}, std::pair{&FormatValueExact, GetParam().plain}}) {
            const QString text = format(value);
            EXPECT_EQ(text, QString::fromLatin1(expected));
            const std::optional<double> read = ReadDouble(text.toStdString());
            ASSERT_TRUE(read.has_value());
            EXPECT_TRUE(std::memcmp(&*read, &value, sizeof value) == 0 || std::isnan(value)) << text.toStdString();
        }
    });
}
const FormatRow ExactFormatRows[] = {
    {"VnaFrequency", 176258471.25, "176.25847125e6", "1.7625847125e8"}, {"Typed", 50.1234567e6, "50.1234567e6", "5.01234567e7"},
    {"SinglePrecisionText", 0.008337396, "8.337396e-3", "0.008337396"}, {"LongFraction", -0.1234567890123, "-123.4567890123e-3", "-0.1234567890123"},
    {"NotQuiteMega", 999999.9, "999.9999e3", "9.999999e5"}, {"JustAbovePlain", 100000.00006, "100.00000006e3", "1.0000000006e5"},
    {"JustBelowPlain", 9.9999999e-5, "99.999999e-6", "9.9999999e-5"}, {"SmallPlain", 0.00012345678, "123.45678e-6", "0.00012345678"},
    {"Seventeen", 0.1 + 0.2, "300.00000000000004e-3", "0.30000000000000004"}, {"NegZero", -0.0, "-0", "-0"},
    // Six digits suffice: the texts of today.
    {"Kilo", 1500, "1.5e3", "1500"}, {"Rounded", 123456, "123.456e3", "1.23456e5"}, {"Milli", 0.001, "1e-3", "0.001"},
    {"Tenth", 0.1, "100e-3", "0.1"}, {"Large", 1e21, "1e21", "1e21"}, {"Inf", -Inf, "-inf", "-inf"}, {"NaN", NaN, "nan", "nan"}};
INSTANTIATE_TEST_SUITE_P(NumberText, ExactFormat, ::testing::ValuesIn(ExactFormatRows), RowName);

// Wherever six digits hold a value exactly, the exact texts are today's texts; everywhere they read back.
TEST(NumberText, ExactTextsAreTodaysWhereSixDigitsSuffice)
{
    std::mt19937_64 random(27);
    for (int i = 0; i < 200000; ++i) {
        const int exponent = static_cast<int>(random() % 600) - 300;
        const double six = std::stod(std::to_string(100000 + random() % 900000) + "e" + std::to_string(exponent));
        const double any = std::ldexp(static_cast<double>(random() >> 11), exponent) * (i % 2 ? -1 : 1);
        EXPECT_EQ(FormatEngineeringExact(six), FormatEngineering(six)) << six;
        EXPECT_EQ(FormatValueExact(six), FormatValue(six)) << six;
        for (const QString& text : {FormatEngineeringExact(any), FormatValueExact(any)})
            ASSERT_EQ(ReadDouble(text.toStdString()), any) << text.toStdString();
    }
}

// A value kept in single precision is the number its shortest text means.
TEST(NumberText, SinglePrecisionValuesAreTheirDecimals)
{
    EXPECT_EQ(DecimalOfSingle(0.1f), 0.1);
    EXPECT_EQ(DecimalOfSingle(0.008337396f), 0.008337396);
    std::mt19937 random(27);
    for (int i = 0; i < 200000; ++i) {
        std::uint32_t bits = static_cast<std::uint32_t>(random()) & 0x7F7FFFFFu;
        float single;
        std::memcpy(&single, &bits, sizeof single);
        ASSERT_EQ(static_cast<float>(DecimalOfSingle(single)), single) << bits;
    }
}

// The whole text as one number, for doubles and whole numbers alike.
struct ReadRow : Row { std::u16string text; double real; int whole = -777; };
using Read = ::testing::TestWithParam<ReadRow>;
TEST_P(Read, TakesTheWholeTextOrNothing)
{
    InEveryLocale([] {
        const double real = TextToDouble(Units(GetParam().text), No), expected = GetParam().real;
        EXPECT_TRUE((std::isnan(real) && std::isnan(expected)) || (real == expected && std::signbit(real) == std::signbit(expected)))
            << "read " << real;
        EXPECT_EQ(TextToInt(Units(GetParam().text), -777), GetParam().whole);
    });
}
const ReadRow ReadRows[] = {
    {"Plain", u"1.5", 1.5}, {"CapitalPlusExponent", u"1E+5", 1e5}, {"Plus", u"+7", 7, 7}, {"NegZero", u"-0", -0.0, 0},
    {"Denormal", u"4.9406564584124654e-324", 4.9406564584124654e-324}, {"Underflow", u"1e-400", 0},
    {"Largest", u"1.7976931348623157e308", 1.7976931348623157e308}, {"IntMax", u"2147483647", 2147483647, 2147483647},
    {"IntMin", u"-2147483648", -2147483648.0, INT32_MIN}, {"AboveInt", u"2147483648", 2147483648.0},
    {"BelowInt", u"-2147483649", -2147483649.0}, {"Inf", u"inf", Inf}, {"NaN", u"NaN", NaN},
    {"NanPayload", u"nan(123)", No}, {"Overflow", u"1e400", No}, {"BareExponent", u"1e", No}, {"PointAlone", u".", No},
    {"Empty", u"", No}, {"LeadingSpace", u" 1", No}, {"TrailingSpace", u"1 ", No}, {"DecimalComma", u"1,5", No},
    {"TwoPoints", u"1.2.3", No}, {"Nul", std::u16string(u"1\0", 2), No},
    {"NoBreakSpace", u"1.5\u00A0", No}, {"UnicodeMinus", u"\u22125", No},
    // SI prefixes and the unit Hz: each value is the literal's, the double nearest to the decimal the text
    // means; the texts marked so read otherwise when the number is multiplied or divided by the prefix's power.
    {"Tera", u"4.35T", 4.35e12 /* multiplied */}, {"Giga", u"1.5G", 1.5e9}, {"GigaHertz", u"1.025GHz", 1.025e9 /* multiplied */},
    {"BlankMegaHertz", u"500 MHz", 500e6}, {"Blanks", u"2  k", 2e3}, {"Kilo", u"1k", 1e3}, {"Hertz", u"100Hz", 100},
    {"Milli", u"9.81m", 9.81e-3 /* both */}, {"Micro", u"1.9u", 1.9e-6 /* both */}, {"MicroSign", u"2.2\u00B5", 2.2e-6},
    {"MicroSignUtf8Bytes", u"1.9\u00C2\u00B5", 1.9e-6}, {"Nano", u"1.1n", 1.1e-9 /* both */}, {"Pico", u"0.7p", 0.7e-12 /* both */},
    {"Femto", u"2.2f", 2.2e-15 /* both */}, {"ExponentAndPrefix", u"-1.5E-3k", -1.5}, {"PlusPoint", u"+.5M", 5e5},
    {"UnderflowPrefix", u"1e-99999999999999999999k", 0}, {"OverflowPrefix", u"1e99999999999999999999f", No},
    {"MegaNotMilli", u"1M", 1e6}, {"CapitalKilo", u"1K", No}, {"SmallGiga", u"1g", No}, {"SmallHertz", u"1khz", No},
    {"TwoPrefixes", u"1.5GG", No}, {"PrefixAlone", u"k", No}, {"HertzAlone", u"Hz", No}, {"UnknownSuffix", u"1.5 x", No},
    {"BlankBeforeUnit", u"1 M Hz", No}, {"UnitBeforePrefix", u"1HzM", No}, {"TrailingBlank", u"1k ", No},
    {"LeadingBlank", u" 1k", No}, {"InfPrefix", u"infk", No}, {"BareExponentPrefix", u"1ek", No}, {"GreekMu", u"1\u03BC", No}};
INSTANTIATE_TEST_SUITE_P(NumberText, Read, ::testing::ValuesIn(ReadRows), RowName);

struct NormalizeRow : Row { std::u16string text; bool engineering, ok; std::u16string expected; };
using Normalize = ::testing::TestWithParam<NormalizeRow>;
TEST_P(Normalize, TrimsAndFormatsANumber)
{
    InEveryLocale([] {
        QString text = Units(GetParam().text);
        EXPECT_EQ(NormalizeNumber(text, GetParam().engineering), GetParam().ok);
        EXPECT_EQ(text, Units(GetParam().expected));
    });
}
const NormalizeRow NormalizeRows[] = {
    {"Spaces", u" 1.5e3 ", true, true, u"1.5e3"}, {"ToEngineering", u"1500", true, true, u"1.5e3"},
    {"KeepsEveryDigit", u"50.1234567e6", true, true, u"50.1234567e6"}, {"KeepsEveryDigitPlain", u"0.0083373961", false, true, u"0.0083373961"},
    {"ToValue", u"1500", false, true, u"1500"}, {"TabNewline", u"\t-1e-7\n", true, true, u"-100e-9"},
    {"NoBreakSpaces", u"\u00A01.5\u00A0", false, true, u"1.5"}, {"LettersInSpaces", u"  x  ", true, false, u"x"},
    {"UnicodeMinus", u" \u22120.5 ", false, false, u"\u22120.5"}, {"Blank", u"   ", true, false, u""}};
INSTANTIATE_TEST_SUITE_P(NumberText, Normalize, ::testing::ValuesIn(NormalizeRows), RowName);

} // namespace
