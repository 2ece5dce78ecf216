#include "NumberText.h"

#include "TextConversion.h"

#include <boost/lexical_cast/try_lexical_convert.hpp>

#include <algorithm>
#include <charconv>
#include <iterator>
#include <cmath>
#include <cstdint>
#include <optional>
#include <string>

namespace
{
// Sign, six significant digits of mantissa, "e", sign and digits of the exponent.
constexpr int BufferSize = 40;

QString Compose(bool negative, double mantissa, int exponent)
{
    char buffer[BufferSize];
    char* out = buffer;
    char* const end = buffer + BufferSize;
    if (negative) {
        *out++ = '-';
    }
    // to_chars, not printf or streams: the C library's locale follows the
    // environment and would write a decimal comma.
    out = std::to_chars(out, end, mantissa, std::chars_format::general, 6).ptr;
    if (exponent != 0) {
        *out++ = 'e';
        out = std::to_chars(out, end, exponent).ptr;
    }
    return QString::fromLatin1(buffer, static_cast<qsizetype>(out - buffer));
}

// Rounding to six digits can carry a mantissa just below `step` up to it
// (9.9999999 to "10"); such a mantissa moves one step further and then
// rounds to "1".
void CarryRounding(double& mantissa, int& exponent, double step, int stepExponent)
{
    char buffer[BufferSize];
    const char* const end = std::to_chars(buffer, buffer + BufferSize, mantissa, std::chars_format::general, 6).ptr;
    double rounded = 0;
    std::from_chars(buffer, end, rounded);
    if (rounded >= step) {
        mantissa = mantissa / step;
        exponent += stepExponent;
    }
}

// The texts for the values no scaling loop may see.
std::optional<QString> NonFinite(double value)
{
    if (std::isnan(value)) {
        return QStringLiteral("nan");
    }
    if (std::isinf(value)) {
        return value < 0 ? QStringLiteral("-inf") : QStringLiteral("inf");
    }
    return std::nullopt;
}

// The whole text as one number. Characters the Latin-1 text cannot hold make
// it no number rather than being dropped: "−0.5" with a Unicode minus is not 0.5.
template <typename T> std::optional<T> Parse(const QString& text)
{
    const std::string latin1 = WideToLatin1(text);
    if (latin1.size() != static_cast<std::size_t>(text.size())) {
        return std::nullopt;
    }
    T value{};
    if (!boost::conversion::try_lexical_convert(latin1, value)) {
        return std::nullopt;
    }
    return value;
}

// Whatever from_chars takes whole and in range is read by it: it is correctly
// rounded like the stream parser behind lexical_cast, takes the same texts
// (but a leading "+"), and is about ten times faster. Everything else, and
// every NaN (lexical_cast refuses "nan(chars)"), goes to lexical_cast, which
// then decides.
std::optional<double> ReadWhole(std::string_view text)
{
    double value = 0;
    const char* const end = text.data() + text.size();
    const std::from_chars_result result = std::from_chars(text.data(), end, value);
    if (result.ec != std::errc() || result.ptr != end || std::isnan(value)) {
        return std::nullopt;
    }
    return value;
}

// The shortest decimal digits of a positive finite value, as to_chars finds
// them: value = 0.d1d2d3... x 10^(exponent + 1), the first digit not 0.
struct ShortestDigits
{
    char digits[24];
    int count = 0;
    int exponent = 0;
};

ShortestDigits DigitsOf(double a)
{
    char buffer[BufferSize];
    const char* const end = std::to_chars(buffer, buffer + BufferSize, a, std::chars_format::scientific).ptr;
    ShortestDigits d;
    const char* p = buffer;
    for (; p != end && *p != 'e'; ++p) {
        if (*p != '.') {
            d.digits[d.count++] = *p;
        }
    }
    std::from_chars(p + 1 + (p[1] == '+' ? 1 : 0), end, d.exponent);
    return d;
}

// Writes digits[from, to), with zeros for digits beyond the last.
void AppendDigits(std::string& out, const ShortestDigits& d, int from, int to)
{
    for (int i = from; i < to; ++i) {
        out += i < d.count ? d.digits[i] : '0';
    }
}

void AppendExponent(std::string& out, int exponent)
{
    if (exponent != 0) {
        char buffer[8];
        out += 'e';
        out.append(buffer, std::to_chars(buffer, buffer + sizeof buffer, exponent).ptr);
    }
}

// Zero, infinities and NaN in both notations; false for any other value.
bool AppendSpecial(std::string& out, double value)
{
    if (std::isnan(value)) {
        out += "nan";
    } else if (std::isinf(value)) {
        out += value < 0 ? "-inf" : "inf";
    } else if (value == 0) {
        out += std::signbit(value) ? "-0" : "0";
    } else {
        if (value < 0) {
            out += '-';
        }
        return false;
    }
    return true;
}

// The digits with the point after `whole` of them (whole >= 1).
void AppendMantissa(std::string& out, const ShortestDigits& d, int whole)
{
    AppendDigits(out, d, 0, whole);
    if (d.count > whole) {
        out += '.';
        AppendDigits(out, d, whole, d.count);
    }
}

QString ToQString(const std::string& ascii)
{
    return QString::fromLatin1(ascii.data(), static_cast<qsizetype>(ascii.size()));
}

// A number without prefix or unit, as lexical_cast reads it.
std::optional<double> ReadPlain(std::string_view text)
{
    if (const std::optional<double> value = ReadWhole(text)) {
        return value;
    }
    double value = 0;
    if (!boost::conversion::try_lexical_convert(text.data(), text.size(), value)) {
        return std::nullopt;
    }
    // lexical_cast also takes "nan(chars)"; a number text is plain "nan".
    if (std::isnan(value) && text.find('(') != std::string_view::npos) {
        return std::nullopt;
    }
    return value;
}

bool EndsWith(std::string_view text, std::string_view end)
{
    return text.size() >= end.size() && text.substr(text.size() - end.size()) == end;
}

// The SI prefixes, case-sensitive ("m" milli, "M" mega). Micro is "u", or the
// micro sign as UTF-8 or as its Latin-1 byte; UTF-8 is looked for first, as it
// ends in that byte.
struct Prefix
{
    std::string_view symbol;
    int exponent;
};
constexpr Prefix prefixes[] = {{"T", 12}, {"G", 9},  {"M", 6},           {"k", 3},  {"m", -3}, {"u", -6},
                               {"\xC2\xB5", -6}, {"\xB5", -6}, {"n", -9}, {"p", -12}, {"f", -15}};

// Sign, digits with at most one point (at least one digit), and an optional
// exponent: where the exponent's "e" is (the text's size without one), or
// nothing when the text is no such number. "inf" and "nan" take no prefix.
std::optional<std::size_t> DecimalExponentAt(std::string_view text)
{
    std::size_t at = text.empty() || (text[0] != '+' && text[0] != '-') ? 0 : 1;
    bool digits = false;
    bool point = false;
    for (; at < text.size() && text[at] != 'e' && text[at] != 'E'; ++at) {
        if (text[at] == '.' && !point) {
            point = true;
        } else if (text[at] >= '0' && text[at] <= '9') {
            digits = true;
        } else {
            return std::nullopt;
        }
    }
    if (!digits) {
        return std::nullopt;
    }
    const std::size_t exponentAt = at;
    at += at < text.size() && at + 1 < text.size() && (text[at + 1] == '+' || text[at + 1] == '-') ? 2 : 1;
    if (exponentAt < text.size() && at >= text.size()) {
        return std::nullopt;
    }
    for (; at < text.size(); ++at) {
        if (text[at] < '0' || text[at] > '9') {
            return std::nullopt;
        }
    }
    return exponentAt;
}

// A number with an SI prefix, the unit "Hz" or both, blanks allowed before
// them: "1.5G", "500 MHz", "100Hz". The prefix moves the text's decimal
// exponent, and the one correctly rounded conversion then reads the number the
// text means: "0.1m" is the double nearest to 1e-4, which 0.1 * 1e-3 is not.
std::optional<double> ReadScaled(std::string_view text)
{
    const bool unit = EndsWith(text, "Hz");
    if (unit) {
        text.remove_suffix(2);
    }
    int shift = 0;
    const Prefix* const prefix = std::find_if(std::begin(prefixes), std::end(prefixes),
                                              [text](const Prefix& p) { return EndsWith(text, p.symbol); });
    if (prefix != std::end(prefixes)) {
        text.remove_suffix(prefix->symbol.size());
        shift = prefix->exponent;
    } else if (!unit) {
        return std::nullopt;
    }
    while (!text.empty() && text.back() == ' ') {
        text.remove_suffix(1);
    }
    const std::optional<std::size_t> exponentAt = DecimalExponentAt(text);
    if (!exponentAt) {
        return std::nullopt;
    }
    // The exponent written, held short of overflowing: beyond 100000 every
    // number reads as the same infinity or zero, which the reader refuses or
    // gives as it does for any other such text.
    long exponent = 0;
    std::size_t at = *exponentAt + 1;
    const bool negative = at < text.size() && text[at] == '-';
    at += at < text.size() && (text[at] == '+' || text[at] == '-') ? 1 : 0;
    for (; at < text.size(); ++at) {
        exponent = std::min(exponent * 10 + (text[at] - '0'), 100000L);
    }
    exponent = (negative ? -exponent : exponent) + shift;
    std::string shifted(text.substr(0, *exponentAt));
    char buffer[BufferSize];
    shifted += 'e';
    shifted.append(buffer, std::to_chars(buffer, buffer + BufferSize, exponent).ptr);
    return ReadPlain(shifted);
}

std::optional<double> ParseDouble(const QString& text)
{
    const std::string latin1 = WideToLatin1(text);
    if (latin1.size() != static_cast<std::size_t>(text.size())) {
        return std::nullopt;
    }
    return ReadDouble(latin1);
}
} // namespace

QString FormatEngineering(double value)
{
    if (const std::optional<QString> text = NonFinite(value)) {
        return *text;
    }
    double a = std::fabs(value);
    int e = 0;
    if (a >= 1) {
        while (a >= 1000) {
            a = a / 1000;
            e += 3;
        }
    } else if (a > 0) {
        while (a < 1) {
            a = a * 1000;
            e -= 3;
        }
    }
    CarryRounding(a, e, 1000, 3);
    return Compose(value < 0, a, e);
}

QString FormatValue(double value)
{
    if (const std::optional<QString> text = NonFinite(value)) {
        return *text;
    }
    double a = std::fabs(value);
    int e = 0;
    if (a > 100000) {
        while (a >= 10) {
            a = a / 10;
            e += 1;
        }
    } else if (a > 0 && a < 0.0001) {
        while (a < 1) {
            a = a * 10;
            e -= 1;
        }
    }
    if (e != 0) {
        CarryRounding(a, e, 10, 1);
        // Six digits can round a value just outside the plain range onto its
        // edge (100000.00006 to "1e5", 0.0000999999995 to "1e-4"); that text
        // reads back as a value shown plainly, so it is shown plainly now.
        const std::optional<double> shown = ReadWhole(Compose(false, a, e).toStdString());
        if (shown && *shown <= 100000 && *shown >= 0.0001) {
            return Compose(value < 0, std::fabs(value), 0);
        }
    }
    return Compose(value < 0, a, e);
}

// Shortest digits placed in a notation give the same text as six digits
// rounded and placed by the formats above whenever six digits hold the value
// exactly; with more digits only this text reads back to the value.
void AppendEngineeringExact(std::string& out, double value)
{
    if (AppendSpecial(out, value)) {
        return;
    }
    const ShortestDigits d = DigitsOf(std::fabs(value));
    // The exponent of the first digit, rounded down to a multiple of 3.
    const int exponent = d.exponent >= 0 ? d.exponent / 3 * 3 : -((2 - d.exponent) / 3 * 3);
    AppendMantissa(out, d, d.exponent - exponent + 1);
    AppendExponent(out, exponent);
}

void AppendValueExact(std::string& out, double value)
{
    if (AppendSpecial(out, value)) {
        return;
    }
    const double a = std::fabs(value);
    const ShortestDigits d = DigitsOf(a);
    if (a > 100000 || a < 0.0001) {
        AppendMantissa(out, d, 1);
        AppendExponent(out, d.exponent);
    } else if (d.exponent >= 0) {
        AppendMantissa(out, d, d.exponent + 1);
    } else {
        out += "0.";
        out.append(static_cast<std::size_t>(-d.exponent - 1), '0');
        AppendDigits(out, d, 0, d.count);
    }
}

QString FormatEngineeringExact(double value)
{
    std::string text;
    AppendEngineeringExact(text, value);
    return ToQString(text);
}

QString FormatValueExact(double value)
{
    std::string text;
    AppendValueExact(text, value);
    return ToQString(text);
}

double DecimalOfSingle(float value)
{
    char buffer[BufferSize];
    const char* const end = std::to_chars(buffer, buffer + BufferSize, value, std::chars_format::scientific).ptr;
    // At most nine digits: as a whole number they are exact in a double, and so
    // are the powers of ten up to 1e22, so one division or multiplication gives
    // the double nearest to the text; other exponents go to from_chars.
    std::uint64_t digits = 0;
    int count = 0;
    const char* p = buffer + (buffer[0] == '-' ? 1 : 0);
    for (; p != end && *p != 'e'; ++p) {
        if (*p != '.') {
            digits = digits * 10 + static_cast<std::uint64_t>(*p - '0');
            ++count;
        }
    }
    // to_chars writes the exponent as "e", a sign and two or three digits.
    int exponent = 0;
    for (const char* e = p + 2; e < end; ++e) {
        exponent = exponent * 10 + (*e - '0');
    }
    exponent = p + 1 < end && p[1] == '-' ? -exponent : exponent;
    double decimal = 0;
    if (p + 2 < end) {
        static constexpr double powers[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                                            1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
        const int scale = exponent - (count - 1);
        if (scale >= -22 && scale <= 22) {
            const double whole = static_cast<double>(digits);
            decimal = scale >= 0 ? whole * powers[scale] : whole / powers[-scale];
            decimal = buffer[0] == '-' ? -decimal : decimal;
        } else if (std::from_chars(buffer, end, decimal).ec != std::errc()) {
            return static_cast<double>(value);
        }
    } else {
        return static_cast<double>(value);
    }
    // A text at the very edge of the value's rounding interval can read as the
    // double halfway between two floats, which rounds to the other one.
    if (static_cast<float>(decimal) != value || std::isnan(value)) {
        return static_cast<double>(value);
    }
    return decimal;
}

bool NormalizeNumber(QString& text, bool engineering)
{
    text = text.trimmed();
    const std::optional<double> value = ParseDouble(text);
    if (!value) {
        return false;
    }
    text = engineering ? FormatEngineeringExact(*value) : FormatValueExact(*value);
    return true;
}

std::optional<double> ReadDouble(std::string_view text)
{
    if (const std::optional<double> value = ReadPlain(text)) {
        return value;
    }
    return ReadScaled(text);
}

std::optional<double> TextToNumber(const QString& text)
{
    return ParseDouble(text);
}

double TextToDouble(const QString& text, double fallback)
{
    return ParseDouble(text).value_or(fallback);
}

int TextToInt(const QString& text, int fallback)
{
    return Parse<int>(text).value_or(fallback);
}
