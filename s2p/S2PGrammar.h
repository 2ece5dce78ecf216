#pragma once

// The Touchstone (version 1) two-port grammar, which also reads uncertainty
// files (parameter type U, five numbers per line). Rules are defined in
// S2PGrammarDef.h and instantiated once, for `const char*`, in S2PGrammar.cpp.

#include "DataFormat.h"
#include "FreqUnit.h"
#include "ParamType.h"
#include "S2PDataLines.h"
#include "S2PParsers.h"
#include "TvxErrorHandler.h"

#include <boost/fusion/include/adapt_struct.hpp>
#include <boost/phoenix/function/function.hpp>
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

// The whole file: the option line and a row per data line.
struct s2p_data_t
{
    s2p_option_line_t option_line;
    s2p_table_t table;
};

BOOST_FUSION_ADAPT_STRUCT(s2p_data_t, option_line, table)

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
    rule<s2p_table_t()> data_line_list;
    rule<void()> noise_params;

    // Set by `param_type` and `frequency_unit`, and where the text starts.
    s2p_data_state state;

    // Where the expectation that ended a parse failed.
    mutable const char* failed_at = nullptr;
    boost::phoenix::function<tvx_error_handler_impl> error_handler;

private:
    // Appends a row that data_line read to the table.
    struct append_row_impl
    {
        s2p_data_state* state;
        void operator()(s2p_table_t& table, const char* start, const std::vector<double>& values) const
        {
            AppendRow(table, *state, start, values);
        }
    };

    s2p_text_start_parser m_textStart{state};
    s2p_row_start_parser m_rowStart;
    s2p_data_lines_parser m_dataLines{state};
    boost::phoenix::function<append_row_impl> m_appendRow{append_row_impl{&state}};
    boost::spirit::qi::symbols<char, const CFreqUnit*> m_unitKeywords;
    boost::spirit::qi::symbols<char, const CParamType*> m_typeKeywords;
    boost::spirit::qi::symbols<char, const CDataFormat*> m_formatKeywords;
};
