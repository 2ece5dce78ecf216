#pragma once

// The numbers of a Touchstone file. A number is read where the grammar has
// always read one and ends where it always ended:
//   [+|-] digits [. [digits]] [exponent]  or  [+|-] . digits [exponent]
//   [+|-] nan [( everything up to the next ")" )]  or  [+|-] inf [inity]
// with "nan", "inf" and "inity" in any case and the exponent [e|E] [+|-] digits,
// which belongs to the number only while its value fits an int (otherwise the
// number ends before the "e"). A number whose digits and exponent lie far
// outside the range of a double may be refused (WithinRange in S2PNumber.cpp
// says where). The value is the correctly rounded double of the text, the one
// std::from_chars gives; beyond the range of a double it is an infinity or zero.

#include <cstddef>
#include <cstdint>
#include <cstring>

// The reader's loops want numbers read in line.
#if defined(__GNUC__)
#define S2P_ALWAYS_INLINE inline __attribute__((always_inline))
#else
#define S2P_ALWAYS_INLINE inline
#endif

namespace s2p_number
{
namespace detail
{

inline bool IsDigit(char c)
{
    return static_cast<unsigned char>(c - '0') < 10;
}

// Every power of ten that a double holds exactly.
constexpr double exactPowersOfTen[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                                       1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
constexpr long long largestExactPower = 22;
constexpr std::uint64_t largestExactInteger = std::uint64_t{1} << 53;
// The most digits that a 64-bit mantissa takes.
constexpr std::size_t mantissaDigits = 19;

constexpr std::uint64_t integerPowersOfTen[] = {1, 10, 100, 1000, 10000, 100000, 1000000, 10000000, 100000000};

// The number that eight digit values make, the first in the lowest byte.
S2P_ALWAYS_INLINE std::uint64_t EightDigits(std::uint64_t values)
{
    values = values * 10 + (values >> 8);
    return (((values & 0x000000FF000000FF) * (100 + (1000000ULL << 32))) +
            (((values >> 16) & 0x000000FF000000FF) * (1 + (10000ULL << 32)))) >>
           32;
}

// Adds the digits at `p` to `mantissa` while it has room; `count` counts them all.
S2P_ALWAYS_INLINE const char* ReadDigits(const char* p, const char* last, std::uint64_t& mantissa, std::size_t& count)
{
    // Up to eight digits at a time without a branch per digit: numbers of 7 to
    // 10 digits are the bulk of a file.
    while (last - p >= 8) {
        std::uint64_t chunk;
        std::memcpy(&chunk, p, 8);
        const std::uint64_t values = chunk ^ 0x3030303030303030; // a digit's byte is its value
        const std::uint64_t others = (((values & 0x7F7F7F7F7F7F7F7F) + 0x7676767676767676) | values) &
                                     0x8080808080808080; // the high bit of each byte that is no digit
        const unsigned digits = others == 0 ? 8 : static_cast<unsigned>(__builtin_ctzll(others)) / 8;
        if (digits == 0 || count + digits > mantissaDigits)
            break;
        mantissa = mantissa * integerPowersOfTen[digits] + EightDigits(values << (64 - 8 * digits));
        count += digits;
        p += digits;
        if (digits < 8)
            return p;
    }
    for (; p != last && IsDigit(*p); ++p, ++count) {
        if (count < mantissaDigits)
            mantissa = mantissa * 10 + static_cast<unsigned>(*p - '0');
    }
    return p;
}

// The digits of a number up to an exponent: `integerDigits` digits from
// `digits` on, a dot if there are fraction digits, then those.
struct Digits
{
    const char* digits;
    const char* end;
    std::uint64_t mantissa; // the first 19 digits
    std::size_t integerDigits;
    std::size_t fractionDigits;
    bool negative;
};

// Reads the rest of a number from the end of its digits on (an exponent, if
// there is one) and works out its value, in every case that Read leaves.
bool Finish(const Digits& number, const char*& first, const char* last, double& value, int exponentShift,
            double& scaled);

// NaN or infinity at `name`, the text after the sign; on success moves `name`
// behind it.
bool ReadNamed(const char*& name, const char* last, bool negative, double& value);

} // namespace detail

// Reads the number at `first` (no blanks are skipped); on success moves `first`
// behind it, sets `value`, and `scaled` to the correctly rounded double of the
// number times 10^`exponentShift` (the value itself for NaN and infinity). On
// failure leaves everything as it was. NaN and infinity are refused unless
// `named` is set.
S2P_ALWAYS_INLINE bool Read(const char*& first, const char* last, double& value, int exponentShift, double& scaled,
                            bool named = true)
{
    using namespace detail;
    const char* p = first;
    if (p == last)
        return false;
    const bool negative = *p == '-';
    p += negative || *p == '+';
    const char* const digits = p;
    std::uint64_t mantissa = 0;
    std::size_t count = 0;
    p = ReadDigits(p, last, mantissa, count);
    const std::size_t integerDigits = count;
    if (p != last && *p == '.') {
        p = ReadDigits(p + 1, last, mantissa, count);
        if (count == 0)
            return false;
    } else if (count == 0) {
        double namedValue;
        if (!named || !ReadNamed(p, last, negative, namedValue))
            return false;
        first = p;
        value = scaled = namedValue;
        return true;
    }
    const std::size_t fractionDigits = count - integerDigits;

    // Without an exponent a number of up to 19 digits is a product or quotient
    // of two exact doubles, which is rounded once, correctly.
    const long long shifted = exponentShift - static_cast<long long>(fractionDigits);
    if ((p == last || (*p != 'e' && *p != 'E')) && count <= mantissaDigits && mantissa <= largestExactInteger &&
        shifted >= -largestExactPower && shifted <= largestExactPower) {
        // The sign as an exact factor, which gives zero its sign too (and is
        // quicker here than flipping the bit).
        const double m = static_cast<double>(static_cast<long long>(mantissa)) * (negative ? -1.0 : 1.0);
        const double result = m / exactPowersOfTen[fractionDigits];
        value = result;
        scaled = exponentShift == 0 ? result
                 : shifted < 0      ? m / exactPowersOfTen[-shifted]
                                    : m * exactPowersOfTen[shifted];
        first = p;
        return true;
    }
    return Finish({digits, p, mantissa, integerDigits, fractionDigits, negative}, first, last, value, exponentShift,
                  scaled);
}

// The same without a scaled value.
inline bool Read(const char*& first, const char* last, double& value)
{
    double unused;
    return Read(first, last, value, 0, unused);
}

} // namespace s2p_number
