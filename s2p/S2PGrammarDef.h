#pragma once

// The rule definitions of s2p_grammar; included only by S2PGrammar.cpp,
// which instantiates them.

#include "S2PGrammar.h"

#include <boost/phoenix/bind/bind_member_variable.hpp>
#include <boost/phoenix/core.hpp>
#include <boost/phoenix/operator.hpp>
#include <boost/phoenix/stl/container.hpp>
#include <boost/spirit/include/qi.hpp>
#include <boost/spirit/repository/home/qi/directive/distinct.hpp>

#include <cstddef>
#include <string>

namespace s2p_detail
{

// A keyword of the option line, written in lower case; the file may use
// either case.
template <typename Value>
struct Keyword
{
    const char* text;
    const Value* value;
};

const Keyword<CFreqUnit> unitKeywords[] = {
    {"hz", &CFreqUnit::Hz}, {"khz", &CFreqUnit::kHz}, {"mhz", &CFreqUnit::MHz}, {"ghz", &CFreqUnit::GHz}};

const Keyword<CParamType> typeKeywords[] = {
    {"s", &CParamType::SParameter}, {"u", &CParamType::Uncertainty}, {"z", &CParamType::Other},
    {"y", &CParamType::Other},      {"h", &CParamType::Other},       {"g", &CParamType::Other}};

const Keyword<CDataFormat> formatKeywords[] = {
    {"ma", &CDataFormat::MA}, {"db", &CDataFormat::DB}, {"ri", &CDataFormat::RI}};

// Adds every keyword in every spelling of upper and lower case letters, so
// that a lookup compares bytes only and never classifies a byte above 0x7F.
template <typename Symbols, typename Value, std::size_t Count>
void AddKeywords(Symbols& symbols, const Keyword<Value> (&keywords)[Count])
{
    for (const Keyword<Value>& keyword : keywords) {
        const std::string lower = keyword.text;
        for (std::size_t mask = 0; mask < (std::size_t{1} << lower.size()); ++mask) {
            std::string spelling = lower;
            for (std::size_t i = 0; i < lower.size(); ++i) {
                if ((mask >> i) & 1u)
                    spelling[i] = static_cast<char>(lower[i] - 'a' + 'A');
            }
            symbols.add(spelling, keyword.value);
        }
    }
}

} // namespace s2p_detail

template <typename Iterator>
s2p_grammar<Iterator>::s2p_grammar(const tvx_error_handler_impl::Callback& onParserError)
    : s2p_grammar::base_type(input, "s2p_grammar"), error_handler(tvx_error_handler_impl(onParserError, &failed_at))
{
    namespace qi = boost::spirit::qi;
    namespace phx = boost::phoenix;
    using boost::spirit::repository::qi::distinct;
    using qi::_1;
    using qi::_2;
    using qi::_val;
    using qi::eoi;
    using qi::eol;
    using qi::eps;
    using qi::lexeme;
    using qi::lit;
    using qi::omit;
    using qi::repeat;
    using s2p_detail::number;
    using qi::standard::char_;

    s2p_detail::AddKeywords(m_unitKeywords, s2p_detail::unitKeywords);
    s2p_detail::AddKeywords(m_typeKeywords, s2p_detail::typeKeywords);
    s2p_detail::AddKeywords(m_formatKeywords, s2p_detail::formatKeywords);

    // A keyword is a whole word: a printable non-blank ASCII character after
    // it (a letter, a comma, a "!") makes it another word.
    const auto wordTail = qi::copy(char_('\x21', '\x7e'));
    const auto blank = qi::copy(lit(' ') | lit('\t'));
    const auto sevenBit = qi::copy(char_('\x00', '\x7f'));

    // After the leading blank and comment lines every element is an
    // expectation point: a failure is reported and ends the parse.
    input = (m_textStart >> *eol) > option_line > *ignored_option_line > data_line_list > noise_params > eoi;

    option_line = lit('#')[phx::bind(&s2p_option_line_t::option_line_missing, _val) = false] >
                  (+eol | ((frequency_unit[phx::bind(&s2p_option_line_t::frequency_unit, _val) = _1] ^
                            param_type[phx::bind(&s2p_option_line_t::param_type, _val) = _1] ^
                            data_format[phx::bind(&s2p_option_line_t::data_format, _val) = _1] ^
                            impedance[phx::bind(&s2p_option_line_t::impedance, _val) = _1]) > +eol));

    // A later "#" line is read without being examined, as long as it is 7-bit
    // text: a byte above 0x7F ends the run and the line end then fails. The
    // skip grammar still takes a comment at its end, whatever its bytes.
    ignored_option_line = (lit('#') >> *(sevenBit - lit('\r') - lit('\n'))) > +eol;

    frequency_unit = distinct(wordTail)[m_unitKeywords][_val = _1, phx::ref(state.frequency_unit) = _1];

    param_type = distinct(wordTail)[m_typeKeywords]
        [_val = _1, phx::ref(state.values_per_line) = phx::if_else(_1 == &CParamType::Uncertainty, 5u, 9u)];

    data_format = distinct(wordTail)[m_formatKeywords];

    // "R", at least one blank, then the number: nothing is skipped inside.
    impedance = lexeme[distinct(wordTail)[lit('r') | lit('R')] >> +blank >> number];

    // A line that ends before the count is complete is not a data line (in a
    // two-port file it may be the first noise line); anything after the
    // count is an error.
    data_line = (eps[phx::reserve(_val, phx::ref(state.values_per_line))] >>
                 repeat(phx::ref(state.values_per_line))[number[phx::push_back(_val, _1)]]) > +eol;

    // Runs of data lines are read in bulk (m_dataLines reads what data_line
    // would, row for row); data_line takes the lines it leaves and reports a
    // line that fails.
    data_line_list = +omit[m_dataLines | (m_rowStart >> data_line)[m_appendRow(_val, _1, _2)]];

    // Frequency, minimum noise figure, reflection coefficient magnitude and
    // angle, effective noise resistance: read and dropped.
    noise_params = *(repeat(5)[number] > +eol);

    input.name("input");
    option_line.name("option_line");
    ignored_option_line.name("ignored_option_line");
    frequency_unit.name("frequency_unit");
    param_type.name("param_type");
    data_format.name("data_format");
    impedance.name("impedance");
    data_line.name("data_line");
    data_line_list.name("data_line_list");
    noise_params.name("noise_params");

    qi::on_error<qi::fail>(input, error_handler(qi::_4, qi::_3, qi::_2));
}
