// The Touchstone reader's numbers against the parser its grammar used before,
// Spirit's double_: the same texts are numbers and end in the same place. The
// value, also scaled by a unit's power of ten (the first byte chooses 10^0,
// 10^3, 10^6 or 10^9), is the nearest double, as the C library's strtod gives it.

#include "FuzzCheck.h"
#include "S2PNumber.h"

#include <boost/spirit/include/qi_numeric.hpp>
#include <boost/spirit/include/qi_parse.hpp>

#include <cerrno>
#include <cmath>
#include <cstring>
#include <locale.h>
#include <string>

namespace
{
// strtod's nearest double of `mantissa` times 10^`exponent`, in the C locale.
double Nearest(const std::string& mantissa, long long exponent)
{
    static const locale_t c = ::newlocale(LC_ALL_MASK, "C", nullptr);
    const std::string text = mantissa + "e" + std::to_string(exponent);
    return ::strtod_l(text.c_str(), nullptr, c);
}

bool Same(double a, double b)
{
    return std::memcmp(&a, &b, sizeof a) == 0 || (std::isnan(a) && std::isnan(b) && std::signbit(a) == std::signbit(b));
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, std::size_t size)
{
    if (size == 0)
        return 0;
    const int shift = 3 * (data[0] % 4);
    const std::string text = Bytes(data + 1, size - 1);
    const char* const first = text.data();
    const char* const last = first + text.size();

    const char* spiritEnd = first;
    double spiritValue;
    const bool spirit = boost::spirit::qi::parse(spiritEnd, last, boost::spirit::qi::double_, spiritValue);
    const char* end = first;
    double value = 0, scaled = 0;
    const bool read = s2p_number::Read(end, last, value, shift, scaled);
    Check(read == spirit && (!read || end == spiritEnd), "a number where Spirit's double_ read one, ending where it ended",
          Printable(text));
    if (!read)
        return 0;

    std::string number(first, end);
    const bool negative = number[0] == '-';
    if (negative || number[0] == '+')
        number.erase(0, 1);
    double expected, expectedScaled;
    if ((number[0] | 0x20) == 'n' || (number[0] | 0x20) == 'i') {
        expected = expectedScaled = (number[0] | 0x20) == 'n' ? NAN : HUGE_VAL;
    } else {
        const std::size_t e = number.find_first_of("eE");
        const long long exponent = e == std::string::npos ? 0 : std::stoll(number.substr(e + 1));
        expected = Nearest(number.substr(0, e), exponent);
        expectedScaled = Nearest(number.substr(0, e), exponent + shift);
    }
    if (negative) {
        expected = -expected;
        expectedScaled = -expectedScaled;
    }
    Check(Same(value, expected) && Same(scaled, expectedScaled), "the nearest double, scaled or not", Printable(number));
    return 0;
}
