#include "NumberText.h"

#include "QStringPrinting.h"

#include <gtest/gtest.h>

#include <boost/lexical_cast/try_lexical_convert.hpp>

#include <array>
#include <charconv>
#include <clocale>
#include <cmath>
#include <cstring>
#include <random>
#include <vector>

namespace
{
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
    {"Zero", 0, "0", "0"}, {"NegativeZero", -0.0, "0", "0"}, {"Fifty", 50, "50", "50"}, {"Unit", 1.5, "1.5", "1.5"},
    {"Kilo", 1500, "1.5e3", "1500"}, {"Giga", 2.4e9, "2.4e9", "2.4e9"}, {"Rounded", 123456789, "123.457e6", "1.23457e8"},
    {"Milli", 0.001, "1e-3", "0.001"}, {"TenthMicro", 1e-7, "100e-9", "1e-7"}, {"NegHalf", -0.5, "-500e-3", "-0.5"},
    {"RoundedPlain", 12345.678, "12.3457e3", "12345.7"}, {"PlainTop", 100000, "100e3", "100000"},
    {"AbovePlain", 100001, "100.001e3", "1.00001e5"}, {"ScaledSix", 123456, "123.456e3", "1.23456e5"},
    {"PlainBottom", 0.0001, "100e-6", "0.0001"}, {"BelowPlain", 0.00005, "50e-6", "5e-5"},
    {"NegRounded", -0.123456789, "-123.457e-3", "-0.123457"}, {"HalfAbovePlain", 100000.5, "100.001e3", "100000"},
    {"SmallFour", 0.00001234, "12.34e-6", "1.234e-5"}, {"Denormal", 4.9406564584124654e-324, "4.94066e-324", "4.94066e-324"},
    {"NegDenormal", -4.9406564584124654e-324, "-4.94066e-324", "-4.94066e-324"},
    {"SmallestNormal", 2.2250738585072014e-308, "22.2507e-309", "2.22507e-308"},
    {"Largest", 1.7976931348623157e308, "179.769e306", "1.79769e308"}, {"Inf", Inf, "inf", "inf"},
    {"NegInf", -Inf, "-inf", "-inf"}, {"NaN", NaN, "nan", "nan"}, {"NegNaN", -NaN, "nan", "nan"},
    // Rounding that carries the mantissa into the next decade or group of three.
    {"Pico", 1e-12, "1e-12", "1e-12"}, {"NegPico", -1e-12, "-1e-12", "-1e-12"}, {"BelowPico", 9.99999e-13, "999.999e-15", "9.99999e-13"},
    {"Mega", 999999.5, "1e6", "9.99999e5"}, {"NegMega", -999999.5, "-1e6", "-9.99999e5"}, {"NearMega", 999999.9, "1e6", "1e6"},
    {"BelowMega", 999999.4, "999.999e3", "9.99999e5"}, {"Huge", 1e33, "1e33", "1e33"}, {"NegHuge", -1e33, "-1e33", "-1e33"},
    {"BelowHuge", 9.99999e32, "999.999e30", "9.99999e32"}, {"GroupEdge", 999.9999, "1e3", "1000"},
    // Six digits that round onto an end of the plain range show it plainly, as the text reads back.
    {"PlainBottomCarry", 9.9999999e-5, "100e-6", "0.0001"}, {"OntoPlainTop", 100000.00006, "100e3", "100000"},
    {"OntoPlainBottom", 0.0000999999995, "100e-6", "0.0001"}};
INSTANTIATE_TEST_SUITE_P(NumberText, Format, ::testing::ValuesIn(FormatRows), RowName);

std::vector<double> RandomValues()
{
    std::mt19937_64 random(20261207);
    std::vector<double> values;
    for (double value = 0; values.size() < 20000;) {
        const std::uint64_t bits = random();
        std::memcpy(&value, &bits, sizeof value);
        if (std::isfinite(value)) values.push_back(value);
    }
    return values;
}

// Every text reads back to its value within six significant digits (exactly
// when the value has no more), formats to the same text again, and has a
// mantissa of at least 1 and below 10 (value format, when scaled) or 1000.
struct PropertyRow : Row { std::vector<double> (*values)(); bool exact; };
using FormatProperty = ::testing::TestWithParam<PropertyRow>;
TEST_P(FormatProperty, ReadsBackAndFormatsAgain)
{
    for (const double value : GetParam().values()) {
        for (const auto& [format, limit] : {std::pair{&FormatValue, 10.0}, std::pair{&FormatEngineering, 1000.0}}) {
            const QString text = format(value);
            const double read = ReadDouble(text.toStdString()).value_or(No);
            const double tolerance = GetParam().exact ? 0 : 5.000001e-6 * std::fabs(value) + 5e-324;
            EXPECT_LE(std::fabs(read - value), tolerance) << value << " as " << text.toStdString();
            EXPECT_EQ(format(read), text);
            const double mantissa = std::fabs(TextToDouble(text.section(QLatin1Char('e'), 0, 0), No));
            const bool scaled = value != 0 && (limit == 1000 || text.contains(QLatin1Char('e')));
            EXPECT_TRUE(!scaled || (mantissa >= 1 && mantissa < limit)) << value << " as " << text.toStdString();
        }
    }
}
const PropertyRow PropertyRows[] = {
    {"DecadeEdges", [] { std::vector<double> values;
         for (int exponent = -320; exponent <= 305; ++exponent)
             for (const double factor : {1.0, 1 - 1e-7, 1 - 4e-7, 1 - 6e-7, 1 + 1e-7, 999.9999, 99.99999, -1.0, -(1 - 1e-7)})
                 values.push_back(factor * std::pow(10.0, exponent));
         return values; }, false},
    {"RandomBits", RandomValues, false},
    {"SixDigits", [] { return std::vector<double>{1.5, -2.25e-3, 123456, 1.00001e5, 0.3, 50e9, 1.23457e-12, 999.999, -7e-5, 1e300}; },
     true}};
INSTANTIATE_TEST_SUITE_P(NumberText, FormatProperty, ::testing::ValuesIn(PropertyRows), RowName);

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
    {"Plain", u"1.5", 1.5}, {"NegExponent", u"-2.5e-3", -2.5e-3}, {"LeadingPoint", u".5", 0.5}, {"TrailingPoint", u"5.", 5},
    {"PlusExponent", u"1e+5", 1e5}, {"CapitalExponent", u"1E-5", 1e-5}, {"Plus", u"+7", 7, 7}, {"NegZero", u"-0", -0.0, 0},
    {"LeadingZeros", u"007", 7, 7}, {"Denormal", u"4.9406564584124654e-324", 4.9406564584124654e-324},
    {"SmallestNormal", u"2.2250738585072014e-308", 2.2250738585072014e-308}, {"Underflow", u"1e-400", 0},
    {"Largest", u"1.7976931348623157e308", 1.7976931348623157e308}, {"IntMax", u"2147483647", 2147483647, 2147483647},
    {"IntMin", u"-2147483648", -2147483648.0, INT32_MIN}, {"AboveInt", u"2147483648", 2147483648.0},
    {"BelowInt", u"-2147483649", -2147483649.0}, {"Inf", u"inf", Inf}, {"NegInfinity", u"-Infinity", -Inf},
    {"CapitalInf", u"INF", Inf}, {"NaN", u"NaN", NaN}, {"NanPayload", u"nan(123)", No}, {"Overflow", u"1e400", No},
    {"NegOverflow", u"-1e400", No}, {"BareExponent", u"1e", No}, {"BareExponentSign", u"1e+", No}, {"PlusAlone", u"+", No},
    {"MinusAlone", u"-", No}, {"PointAlone", u".", No}, {"Empty", u"", No}, {"LeadingSpace", u" 1", No},
    {"TrailingSpace", u"1 ", No}, {"Hex", u"0x10", No}, {"DecimalComma", u"1,5", No}, {"DoubleSign", u"++1", No},
    {"TwoPoints", u"1.2.3", No}, {"Letters", u"abc", No}, {"Unit", u"1.5GHz", No}, {"Nul", std::u16string(u"1\0", 2), No},
    {"NoBreakSpace", u"1.5\u00A0", No}, {"UnicodeMinus", u"\u22125", No}, {"Fullwidth", u"\uFF11", No}, {"Euro", u"1\u20AC5", No}};
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
    {"ToValue", u"1500", false, true, u"1500"}, {"Small", u"0.00001234", false, true, u"1.234e-5"},
    {"TabNewline", u"\t-1e-7\n", true, true, u"-100e-9"}, {"NoBreakSpaces", u"\u00A01.5\u00A0", false, true, u"1.5"},
    {"NegZero", u"-0", false, true, u"0"}, {"Infinity", u"-Infinity", true, true, u"-inf"}, {"NaN", u"NaN", false, true, u"nan"},
    {"Letters", u"abc", false, false, u"abc"}, {"LettersInSpaces", u"  x  ", true, false, u"x"},
    {"UnicodeMinus", u" \u22120.5 ", false, false, u"\u22120.5"}, {"DecimalComma", u"1,5", true, false, u"1,5"},
    {"Overflow", u"1e400", false, false, u"1e400"}, {"Blank", u"   ", true, false, u""}};
INSTANTIATE_TEST_SUITE_P(NumberText, Normalize, ::testing::ValuesIn(NormalizeRows), RowName);

// The quick path for plain decimal texts reads every text exactly as
// lexical_cast does, in every notation and the shapes a user types.
TEST(NumberText, ReadDoubleAgreesWithLexicalCast)
{
    int i = 0;
    for (const double value : RandomValues()) {
        char digits[400];
        const auto format = std::array{std::chars_format::scientific, std::chars_format::general, std::chars_format::fixed}[++i % 3];
        const std::string number(digits, std::to_chars(digits, digits + sizeof digits, std::fabs(value), format).ptr);
        for (const std::string& text : {number, "." + number, number + ".", "-" + number, number + "e-7", number + "E+3",
                                        number + "e400", number + "e-400", number + "-", number + "e"}) {
            double expected = 0;
            const bool parsed = boost::conversion::try_lexical_convert(text, expected);
            const std::optional<double> actual = ReadDouble(text);
            ASSERT_EQ(actual.has_value(), parsed) << text;
            ASSERT_TRUE(!parsed || std::memcmp(&*actual, &expected, sizeof expected) == 0) << text;
        }
    }
}
} // namespace
