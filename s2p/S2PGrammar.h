#pragma once

// The Touchstone (version 1) two-port grammar, which also reads uncertainty
// files (parameter type U, five numbers per line). Rules are defined in
// S2PGrammarDef.h and instantiated once, for `const char*`, in S2PGrammar.cpp.

#include "DataFormat.h"
#include "FreqUnit.h"
#include "ParamType.h"
#include "TvxErrorHandler.h"

#include <boost/fusion/include/adapt_struct.hpp>
#include <boost/phoenix/function/function.hpp>
#include <boost/spirit/home/qi/parser.hpp>
#include <boost/spirit/include/qi_grammar.hpp>
#include <boost/spirit/include/qi_rule.hpp>
#include <boost/spirit/include/qi_symbols.hpp>

#include <vector>

// The settings of the option line. The reader writes the defaults before
// parsing; each token that is present overwrites its field.
struct s2p_option_line_t
{
    bool option_line_missing = true; // until the "#" has been read
    const CFreqUnit* frequency_unit = &CFreqUnit::GHz;
    const CParamType* param_type = &CParamType::SParameter;
    const CDataFormat* data_format = &CDataFormat::MA;
    double impedance = 50.0; // stored, never used: values are not renormalised
};

// The whole file: the option line and one row per data line, each row the
// line's numbers in file order (column 0 is the frequency in file units).
struct s2p_data_t
{
    s2p_option_line_t option_line;
    std::vector<std::vector<double>> data;
};

BOOST_FUSION_ADAPT_STRUCT(s2p_data_t, option_line, data)

// The skip grammar: blanks (space, tab) and comments, a comment being "!" and
// every following byte up to, not including, the line end. Line ends are
// tokens and are never skipped. It runs before every token, so it is a plain
// loop over the bytes rather than a rule behind a function call.
struct s2p_skipper : boost::spirit::qi::primitive_parser<s2p_skipper>
{
    template <typename Context, typename Iterator>
    struct attribute
    {
        using type = boost::spirit::unused_type;
    };

    template <typename Iterator, typename Context, typename Skipper, typename Attribute>
    bool parse(Iterator& first, const Iterator& last, Context&, const Skipper&, Attribute&) const
    {
        Iterator it = first;
        while (it != last) {
            if (*it == ' ' || *it == '\t') {
                ++it;
            } else if (*it == '!') {
                while (it != last && *it != '\r' && *it != '\n')
                    ++it;
            } else {
                break;
            }
        }
        if (it == first)
            return false;
        first = it;
        return true;
    }

    template <typename Context>
    boost::spirit::info what(Context&) const
    {
        return boost::spirit::info("s2p_skipper");
    }
};

template <typename Iterator>
struct s2p_grammar : boost::spirit::qi::grammar<Iterator, s2p_data_t(), s2p_skipper>
{
    using Skipper = s2p_skipper;
    template <typename Signature>
    using rule = boost::spirit::qi::rule<Iterator, Signature, Skipper>;

    // `onParserError` may be empty.
    explicit s2p_grammar(const tvx_error_handler_impl::Callback& onParserError);

    rule<s2p_data_t()> input;
    rule<s2p_option_line_t()> option_line;
    rule<void()> ignored_option_line;
    rule<const CFreqUnit*()> frequency_unit;
    rule<const CParamType*()> param_type;
    rule<const CDataFormat*()> data_format;
    rule<double()> impedance;
    rule<std::vector<double>()> data_line;
    rule<std::vector<std::vector<double>>()> data_line_list;
    rule<void()> noise_params;

    // 9 for S, Z, Y, H and G files, 5 for U files; set by `param_type`.
    unsigned values_per_line = 9;

    boost::phoenix::function<tvx_error_handler_impl> error_handler;

private:
    boost::spirit::qi::symbols<char, const CFreqUnit*> m_unitKeywords;
    boost::spirit::qi::symbols<char, const CParamType*> m_typeKeywords;
    boost::spirit::qi::symbols<char, const CDataFormat*> m_formatKeywords;
};
