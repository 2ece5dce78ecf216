#include "NumberText.h"

#include "QStringPrinting.h"

#include <gtest/gtest.h>

#include <boost/lexical_cast/try_lexical_convert.hpp>

#include <charconv>
#include <clocale>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <random>
#include <string>

namespace
{
constexpr double Inf = std::numeric_limits<double>::infinity();
constexpr double NaN = std::numeric_limits<double>::quiet_NaN();
constexpr double Fallback = -777.25;

struct FormatRow
{
    double value;
    const char* engineering;
    const char* plain;
};

const FormatRow FormatRows[] = {
    {0, "0", "0"},
    {-0.0, "0", "0"},
    {50, "50", "50"},
    {1.5, "1.5", "1.5"},
    {1500, "1.5e3", "1500"},
    {2.4e9, "2.4e9", "2.4e9"},
    {123456789, "123.457e6", "1.23457e8"},
    {0.001, "1e-3", "0.001"},
    {1e-7, "100e-9", "1e-7"},
    {-0.5, "-500e-3", "-0.5"},
    {999999.9, "1000e3", "10e5"},
    {12345.678, "12.3457e3", "12345.7"},
    {100000, "100e3", "100000"},
    {100001, "100.001e3", "1.00001e5"},
    {123456, "123.456e3", "1.23456e5"},
    {0.0001, "100e-6", "0.0001"},
    {0.00005, "50e-6", "5e-5"},
    {-0.123456789, "-123.457e-3", "-0.123457"},
    {100000.5, "100.001e3", "1e5"},
    {0.00001234, "12.34e-6", "1.234e-5"},
    {4.9406564584124654e-324, "4.94066e-324", "4.94066e-324"},
    {-4.9406564584124654e-324, "-4.94066e-324", "-4.94066e-324"},
    {2.2250738585072014e-308, "22.2507e-309", "2.22507e-308"},
    {1.7976931348623157e308, "179.769e306", "1.79769e308"},
    {Inf, "inf", "inf"},
    {-Inf, "-inf", "-inf"},
    {NaN, "nan", "nan"},
    {-NaN, "nan", "nan"},
};

struct DoubleRow
{
    const char* name;
    std::u16string text;
    double expected; // Fallback when the text is refused
};

const DoubleRow DoubleRows[] = {
    {"plain", u"1.5", 1.5},
    {"negative with exponent", u"-2.5e-3", -2.5e-3},
    {"leading point", u".5", 0.5},
    {"trailing point", u"5.", 5},
    {"exponent with plus", u"1e+5", 1e5},
    {"capital exponent", u"1E-5", 1e-5},
    {"plus sign", u"+7", 7},
    {"negative zero", u"-0", -0.0},
    {"smallest denormal", u"4.9406564584124654e-324", 4.9406564584124654e-324},
    {"smallest normal", u"2.2250738585072014e-308", 2.2250738585072014e-308},
    {"underflow to zero", u"1e-400", 0},
    {"largest", u"1.7976931348623157e308", 1.7976931348623157e308},
    {"inf", u"inf", Inf},
    {"signed infinity any case", u"-Infinity", -Inf},
    {"capital INF", u"INF", Inf},
    {"NaN", u"NaN", NaN},
    {"nan with payload", u"nan(123)", Fallback},
    {"overflow", u"1e400", Fallback},
    {"negative overflow", u"-1e400", Fallback},
    {"exponent without digits", u"1e", Fallback},
    {"exponent sign without digits", u"1e+", Fallback},
    {"plus alone", u"+", Fallback},
    {"minus alone", u"-", Fallback},
    {"point alone", u".", Fallback},
    {"empty", u"", Fallback},
    {"leading space", u" 1", Fallback},
    {"trailing space", u"1 ", Fallback},
    {"hexadecimal", u"0x10", Fallback},
    {"decimal comma", u"1,5", Fallback},
    {"double sign", u"++1", Fallback},
    {"two points", u"1.2.3", Fallback},
    {"trailing letters", u"1.5GHz", Fallback},
    {"embedded NUL", std::u16string(u"1.5\0", 4), Fallback},
    {"no-break space", u"1.5\u00A0", Fallback},
    {"unicode minus", u"\u22120.5", Fallback},
    {"fullwidth digit", u"\uFF11", Fallback},
    {"digit after a character above FF", u"1\u20AC5", Fallback},
};

struct IntRow
{
    const char* name;
    std::u16string text;
    int expected; // -777 when the text is refused
};

const IntRow IntRows[] = {
    {"largest", u"2147483647", 2147483647},
    {"smallest", u"-2147483648", std::numeric_limits<int>::min()},
    {"plus sign", u"+5", 5},
    {"negative zero", u"-0", 0},
    {"leading zeros", u"007", 7},
    {"just above the range", u"2147483648", -777},
    {"just below the range", u"-2147483649", -777},
    {"trailing space", u"5 ", -777},
    {"leading space", u" 5", -777},
    {"letters", u"abc", -777},
    {"empty", u"", -777},
    {"sign alone", u"+", -777},
    {"exponent", u"1e3", -777},
    {"fraction", u"1.0", -777},
    {"unicode minus", u"\u22125", -777},
};

struct NormalizeRow
{
    const char* name;
    std::u16string text;
    bool engineering;
    bool ok;
    const char16_t* expected;
};

const NormalizeRow NormalizeRows[] = {
    {"spaces around engineering", u" 1.5e3 ", true, true, u"1.5e3"},
    {"scaled to engineering", u"1500", true, true, u"1.5e3"},
    {"plain value", u"1500", false, true, u"1500"},
    {"small value", u"0.00001234", false, true, u"1.234e-5"},
    {"tab and newline", u"\t-1e-7\n", true, true, u"-100e-9"},
    {"no-break spaces", u"\u00A01.5\u00A0", false, true, u"1.5"},
    {"negative zero", u"-0", false, true, u"0"},
    {"infinity", u"-Infinity", true, true, u"-inf"},
    {"nan", u"NaN", false, true, u"nan"},
    {"letters", u"abc", false, false, u"abc"},
    {"letters in spaces", u"  x  ", true, false, u"x"},
    {"unicode minus", u" \u22120.5 ", false, false, u"\u22120.5"},
    {"decimal comma", u"1,5", true, false, u"1,5"},
    {"overflow", u"1e400", false, false, u"1e400"},
    {"empty", u"   ", true, false, u""},
};

bool SameDouble(double a, double b)
{
    return (std::isnan(a) && std::isnan(b)) || (a == b && std::signbit(a) == std::signbit(b));
}

void CheckFormats()
{
    for (const FormatRow& row : FormatRows) {
        SCOPED_TRACE(row.value);
        EXPECT_EQ(FormatEngineering(row.value), QString::fromLatin1(row.engineering));
        EXPECT_EQ(FormatValue(row.value), QString::fromLatin1(row.plain));
    }
}

void CheckTextToDouble()
{
    for (const DoubleRow& row : DoubleRows) {
        SCOPED_TRACE(row.name);
        const double read = TextToDouble(Units(row.text), Fallback);
        EXPECT_TRUE(SameDouble(read, row.expected)) << "read " << read;
    }
}

void CheckTextToInt()
{
    for (const IntRow& row : IntRows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(TextToInt(Units(row.text), -777), row.expected);
    }
}

void CheckNormalize()
{
    for (const NormalizeRow& row : NormalizeRows) {
        SCOPED_TRACE(row.name);
        QString text = Units(row.text);
        EXPECT_EQ(NormalizeNumber(text, row.engineering), row.ok);
        EXPECT_EQ(text, QString::fromUtf16(row.expected));
    }
}

// Sets the C library's locale for one scope, as Qt does from the environment.
class CLocaleScope
{
public:
    explicit CLocaleScope(const char* name) : m_previous(std::setlocale(LC_ALL, nullptr))
    {
        m_active = std::setlocale(LC_ALL, name) != nullptr;
    }
    ~CLocaleScope() { std::setlocale(LC_ALL, m_previous.c_str()); }
    CLocaleScope(const CLocaleScope&) = delete;
    CLocaleScope& operator=(const CLocaleScope&) = delete;

    bool active() const { return m_active; }

private:
    std::string m_previous;
    bool m_active = false;
};
} // namespace

TEST(NumberText, Format)
{
    CheckFormats();
}

TEST(NumberText, TextToDouble)
{
    CheckTextToDouble();
}

TEST(NumberText, TextToInt)
{
    CheckTextToInt();
}

TEST(NumberText, NormalizeNumber)
{
    CheckNormalize();
}

// The quick path for plain decimal texts must read every text exactly as
// lexical_cast does: texts of random doubles in every notation, with the
// shapes a user types (leading point, trailing point, exponent signs).
TEST(NumberText, ReadDoubleAgreesWithLexicalCast)
{
    std::mt19937_64 random(20261206);
    std::uniform_int_distribution<std::uint64_t> bits;
    const char* const shapes[] = {"%s", ".%s", "%s.", "-%s", "%se-7", "%sE+3", "%se400", "%se-400", "%s-", "%se"};
    for (int i = 0; i < 10000; ++i) {
        double value = 0;
        const std::uint64_t pattern = bits(random);
        std::memcpy(&value, &pattern, sizeof value);
        if (!std::isfinite(value)) {
            continue;
        }
        char digits[400];
        const auto format = i % 3 == 0 ? std::chars_format::scientific
                            : i % 3 == 1 ? std::chars_format::general : std::chars_format::fixed;
        const char* const end = std::to_chars(digits, digits + sizeof digits, std::fabs(value), format).ptr;
        const std::string number(digits, static_cast<std::size_t>(end - digits));
        for (const char* shape : shapes) {
            char text[500];
            std::snprintf(text, sizeof text, shape, number.c_str());
            double expected = 0;
            const bool parsed = boost::conversion::try_lexical_convert(std::string(text), expected);
            const std::optional<double> actual = ReadDouble(text);
            ASSERT_EQ(actual.has_value(), parsed) << text;
            if (parsed) {
                ASSERT_EQ(std::memcmp(&*actual, &expected, sizeof expected), 0) << text;
            }
        }
    }
}

TEST(NumberText, FormattedValueReadsBackExactly)
{
    const double values[] = {1.5, -2.25e-3, 123456, 1.00001e5, 0.3, 50e9, 1.23457e-12, 999.999, -7e-5, 1e300};
    for (const double value : values) {
        SCOPED_TRACE(value);
        EXPECT_EQ(TextToDouble(FormatValue(value), Fallback), value);
        EXPECT_EQ(TextToDouble(FormatEngineering(value), Fallback), value);
    }
}

TEST(NumberText, IgnoresTheCLibraryLocale)
{
    const CLocaleScope german("de_DE.UTF-8");
    if (!german.active()) {
        GTEST_SKIP() << "locale de_DE.UTF-8 is not installed (scripts/test generates it)";
    }
    char written[16];
    std::snprintf(written, sizeof written, "%.1f", 1.5);
    ASSERT_STREQ(written, "1,5") << "the German locale is not in effect";

    EXPECT_EQ(TextToDouble(QStringLiteral("1.5"), Fallback), 1.5);
    EXPECT_EQ(TextToDouble(QStringLiteral("1,5"), Fallback), Fallback);
    EXPECT_EQ(FormatValue(1.5), QStringLiteral("1.5"));
    EXPECT_EQ(FormatEngineering(1.5e-3), QStringLiteral("1.5e-3"));
    CheckFormats();
    CheckTextToDouble();
    CheckTextToInt();
    CheckNormalize();
}
