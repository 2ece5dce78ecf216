// The number readers and formatters. Every finite value formats to a
// normalised text (engineering: mantissa 1 <= m < 1000 and an exponent that is
// a multiple of 3; value: mantissa 1 <= m < 10 whenever there is an exponent)
// that reads back to the value within the six printed digits and formats to
// the same text again. A text reads the same as an 8-bit and as a window text,
// and normalising a text twice changes nothing the second time. A text made of
// digits, point, sign and exponent reads exactly as lexical_cast reads it.
// Before the first input, every value at and around each decade's edge is
// checked once.

#include "FuzzCheck.h"
#include "NumberText.h"
#include "TextConversion.h"

#include <boost/lexical_cast/try_lexical_convert.hpp>

#include <cmath>
#include <cstring>
#include <limits>

namespace
{
std::string Latin1(const QString& text)
{
    return text.toLatin1().toStdString();
}

bool SameNumber(double a, double b)
{
    return a == b || (std::isnan(a) && std::isnan(b));
}

// Mantissa and exponent of a formatted text ("-1.5e3": 1.5 and 3).
bool Split(const std::string& text, double& mantissa, int& exponent, bool& hasExponent)
{
    const std::size_t e = text.find('e');
    hasExponent = e != std::string::npos;
    const std::optional<double> m = ReadDouble(text.substr(0, e));
    if (!m)
        return false;
    mantissa = std::fabs(*m);
    exponent = 0;
    if (hasExponent) {
        const std::string digits = text.substr(e + 1);
        const std::optional<double> x = ReadDouble(digits);
        if (!x || digits.find('.') != std::string::npos)
            return false;
        exponent = static_cast<int>(*x);
    }
    return true;
}

void CheckFormatted(double value, bool engineering)
{
    const std::string text = Latin1(engineering ? FormatEngineering(value) : FormatValue(value));
    const char* const kind = engineering ? "engineering" : "value";
    const std::optional<double> read = ReadDouble(text);
    Check(read.has_value(), "a formatted number reads back", text);
    if (!std::isfinite(value)) {
        Check(SameNumber(*read, value), "a non-finite number reads back as itself", text);
        return;
    }
    double mantissa = 0;
    int exponent = 0;
    bool hasExponent = false;
    Check(Split(text, mantissa, exponent, hasExponent), "a formatted number is mantissa and exponent", text);
    if (value != 0 && (engineering || hasExponent)) {
        Check(mantissa >= 1 && mantissa < (engineering ? 1000 : 10), "a formatted mantissa is normalised",
              std::string(kind) + ": " + text);
    }
    Check(!engineering || exponent % 3 == 0, "an engineering exponent is a multiple of 3", text);

    // Six significant digits: half a unit of the sixth digit, relative to the value.
    const double tolerance = 5.000001e-6 * std::fabs(value) + std::numeric_limits<double>::denorm_min();
    Check(std::fabs(*read - value) <= tolerance, "a formatted number reads back within its printed precision",
          std::string(kind) + ": " + text);
    const std::string again = Latin1(engineering ? FormatEngineering(*read) : FormatValue(*read));
    Check(again == text, "a number read from its text formats to the same text", text + " -> " + again);
}

void CheckText(const std::string& text)
{
    const std::optional<double> read = ReadDouble(text);
    const QString wide = Latin1ToWide(text);
    const double fallback = -1234.5;
    const double viaWindow = TextToDouble(wide, fallback);
    Check(read ? SameNumber(viaWindow, *read) : viaWindow == fallback, "an 8-bit and a window text read alike",
          Printable(text));
    TextToInt(wide, 0);
    if (!text.empty() && text.find_first_not_of("0123456789.eE+-") == std::string::npos) {
        double cast = 0;
        const bool parsed = boost::conversion::try_lexical_convert(text, cast);
        Check(read.has_value() == parsed && (!parsed || std::memcmp(&*read, &cast, sizeof cast) == 0),
              "a decimal text reads as lexical_cast reads it", text);
    }
    if (read)
        CheckFormatted(*read, true), CheckFormatted(*read, false);

    for (const bool engineering : {true, false}) {
        QString once = wide;
        const bool number = NormalizeNumber(once, engineering);
        QString twice = once;
        Check(NormalizeNumber(twice, engineering) == number && twice == once, "normalising is idempotent",
              Printable(text));
    }
}
} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    for (int exponent = -320; exponent <= 305; ++exponent) {
        const double decade = std::pow(10.0, exponent);
        for (const double factor : {1.0, 1 - 1e-7, 1 - 4e-7, 1 - 6e-7, 1 + 1e-7, 999.9999, 99.99999, -1.0, -(1 - 1e-7)}) {
            CheckFormatted(factor * decade, true);
            CheckFormatted(factor * decade, false);
        }
    }
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, std::size_t size)
{
    if (size >= sizeof(double)) {
        double value = 0;
        std::memcpy(&value, data, sizeof value);
        CheckFormatted(value, true);
        CheckFormatted(value, false);
    }
    CheckText(Bytes(data, size));
    return 0;
}
