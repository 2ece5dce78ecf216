#include "S2PNumber.h"

#include <algorithm>
#include <charconv>
#include <limits>
#include <string>
#include <system_error>

namespace s2p_number::detail
{

namespace
{

// Whether the text at `first` starts with `lowerCase` in any mix of cases.
bool StartsWithWord(const char* first, const char* last, const char* lowerCase)
{
    for (; *lowerCase; ++first, ++lowerCase) {
        if (first == last || (*first | 0x20) != *lowerCase)
            return false;
    }
    return true;
}

// The grammar's numbers used to be gathered in a 64-bit integer, at most 17
// integer digits and then fraction digits until the next would overflow it,
// and scaled by a power of ten made up of the exponent, the integer digits
// beyond 17 and those fraction digits; a power above 308 or below -614 made
// the text no number. Files that were refused then stay refused.
bool WithinRange(const Digits& number, bool exponentFollows, bool hasExponent, long long exponent)
{
    const auto excess = static_cast<long long>(number.integerDigits > 17 ? number.integerDigits - 17 : 0);
    if (!hasExponent) {
        // Integer digits beyond 17 were scaled in, unless an "e" without an
        // exponent followed them.
        return exponentFollows || excess <= 308;
    }
    long long gathered = 0;
    if (excess == 0) {
        std::uint64_t accumulator = 0;
        for (std::size_t i = 0; i < number.integerDigits; ++i)
            accumulator = accumulator * 10 + static_cast<unsigned>(number.digits[i] - '0');
        const char* const fraction = number.digits + number.integerDigits + 1;
        for (std::size_t i = 0; i < number.fractionDigits; ++i, ++gathered) {
            const auto digit = static_cast<unsigned>(fraction[i] - '0');
            if (accumulator > (std::numeric_limits<std::uint64_t>::max() - digit) / 10)
                break;
            accumulator = accumulator * 10 + digit;
        }
    }
    const long long power = exponent + excess - gathered;
    return power >= -614 && power <= 308;
}

// The power of ten of the leading digit of digits that are not all zeros.
long long LeadingPower(const Digits& number)
{
    const char* const dot = number.digits + number.integerDigits;
    const char* const leading = std::find_if(number.digits, number.end, [](char c) { return c != '0' && c != '.'; });
    return leading < dot ? dot - leading - 1 : dot - leading;
}

// The correctly rounded double of the digits times 10^`power` (the digits
// read as an integer).
double Scale(const Digits& number, long long power)
{
    double magnitude;
    if (number.integerDigits + number.fractionDigits <= mantissaDigits && number.mantissa <= largestExactInteger &&
        power >= -largestExactPower && power <= largestExactPower) {
        // A product or quotient of two exact doubles is rounded once, correctly.
        const auto m = static_cast<double>(static_cast<long long>(number.mantissa));
        magnitude = power < 0 ? m / exactPowersOfTen[-power] : m * exactPowersOfTen[power];
    } else {
        const long long exponent = power + static_cast<long long>(number.fractionDigits);
        std::string text(number.digits, number.end);
        text += 'e';
        text += std::to_string(exponent);
        const std::from_chars_result result = std::from_chars(text.data(), text.data() + text.size(), magnitude);
        // std::from_chars leaves the value alone where it is no finite double,
        // or zero from digits that are not all zeros; rounded, it is infinity
        // or zero.
        if (result.ec == std::errc::result_out_of_range)
            magnitude = LeadingPower(number) + exponent > 0 ? std::numeric_limits<double>::infinity() : 0.0;
    }
    return number.negative ? -magnitude : magnitude;
}

} // namespace

bool Finish(const Digits& number, const char*& first, const char* last, double& value, int exponentShift,
            double& scaled)
{
    const char* p = number.end;
    bool hasExponent = false;
    long long exponent = 0;
    const bool exponentFollows = p != last && (*p == 'e' || *p == 'E');
    if (exponentFollows) {
        const char* q = p + 1;
        const bool negativeExponent = q != last && *q == '-';
        if (q != last && (negativeExponent || *q == '+'))
            ++q;
        if (q != last && IsDigit(*q)) {
            long long magnitude = 0;
            for (; q != last && IsDigit(*q); ++q) {
                if (magnitude < 10'000'000'000LL)
                    magnitude = magnitude * 10 + (*q - '0');
            }
            // An exponent beyond an int's range is no exponent: the number ends before the "e".
            if (magnitude <= (negativeExponent ? 2147483648LL : 2147483647LL)) {
                hasExponent = true;
                exponent = negativeExponent ? -magnitude : magnitude;
                p = q;
            }
        }
    }
    if (!WithinRange(number, exponentFollows, hasExponent, exponent))
        return false;
    const long long power = exponent - static_cast<long long>(number.fractionDigits);
    value = Scale(number, power);
    scaled = exponentShift == 0 ? value : Scale(number, power + exponentShift);
    first = p;
    return true;
}

bool ReadNamed(const char*& name, const char* last, bool negative, double& value)
{
    const char* p = name;
    double magnitude;
    if (StartsWithWord(p, last, "nan")) {
        p += 3;
        // Anything up to the next ")", line ends included.
        if (p != last && *p == '(') {
            p = std::find(p, last, ')');
            if (p == last)
                return false;
            ++p;
        }
        magnitude = std::numeric_limits<double>::quiet_NaN();
    } else if (StartsWithWord(p, last, "inf")) {
        p += 3;
        if (StartsWithWord(p, last, "inity"))
            p += 5;
        magnitude = std::numeric_limits<double>::infinity();
    } else {
        return false;
    }
    name = p;
    value = negative ? -magnitude : magnitude;
    return true;
}

} // namespace s2p_number::detail
