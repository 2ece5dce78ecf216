#pragma once

// The parsers of the Touchstone grammar that are written by hand rather than
// composed of rules: the skip grammar, the number, and those that reach the
// data lines' state (see S2PDataLines.h). They read contiguous text.

#include "S2PDataLines.h"
#include "S2PNumber.h"

#include <boost/fusion/include/at_c.hpp>
#include <boost/spirit/home/qi/detail/assign_to.hpp>
#include <boost/spirit/home/qi/parser.hpp>
#include <boost/spirit/home/qi/skip_over.hpp>
#include <boost/spirit/home/support/terminal.hpp>

#include <type_traits>

// A parser named `Derived::name` in the grammar's reports, whose attribute is `Attribute`.
template <typename Derived, typename Attribute = boost::spirit::unused_type>
struct s2p_primitive : boost::spirit::qi::primitive_parser<Derived>
{
    template <typename Context, typename Iterator>
    struct attribute
    {
        static_assert(std::is_same_v<Iterator, const char*>, "the grammar reads contiguous text");
        using type = Attribute;
    };

    template <typename Context>
    boost::spirit::info what(Context&) const
    {
        return boost::spirit::info(Derived::name);
    }
};

// The skip grammar: blanks (space, tab) and comments, a comment being "!" and
// every following byte up to, not including, the line end. Line ends are
// tokens and are never skipped. It runs before every token, so it is a plain
// loop over the bytes rather than a rule behind a function call.
struct s2p_skipper : s2p_primitive<s2p_skipper>
{
    static constexpr const char* name = "s2p_skipper";

    template <typename Context, typename Skipper, typename Attribute>
    bool parse(const char*& first, const char* last, Context&, const Skipper&, Attribute&) const
    {
        const char* const end = s2p_skip_blanks(first, last);
        if (end == first)
            return false;
        first = end;
        return true;
    }
};

// A number, where and as S2PNumber.h reads it: the grammar's `number`.
struct s2p_number_parser : s2p_primitive<s2p_number_parser, double>
{
    static constexpr const char* name = "real";

    template <typename Context, typename Skipper, typename Attribute>
    bool parse(const char*& first, const char* last, Context&, const Skipper& skipper, Attribute& attr) const
    {
        boost::spirit::qi::skip_over(first, last, skipper);
        double value;
        if (!s2p_number::Read(first, last, value))
            return false;
        boost::spirit::traits::assign_to(value, attr);
        return true;
    }
};

namespace s2p_detail
{
BOOST_SPIRIT_TERMINAL(number)
}

namespace boost::spirit
{
template <>
struct use_terminal<qi::domain, s2p_detail::tag::number> : mpl::true_
{
};

namespace qi
{
template <typename Modifiers>
struct make_primitive<s2p_detail::tag::number, Modifiers>
{
    using result_type = s2p_number_parser;
    result_type operator()(unused_type, unused_type) const { return result_type(); }
};
} // namespace qi
} // namespace boost::spirit

// The start of the text: resets the data lines' state.
struct s2p_text_start_parser : s2p_primitive<s2p_text_start_parser>
{
    static constexpr const char* name = "text_start";

    explicit s2p_text_start_parser(s2p_data_state& dataState) : state(&dataState) {}

    template <typename Context, typename Skipper, typename Attribute>
    bool parse(const char*& first, const char* last, Context&, const Skipper&, Attribute&) const
    {
        state->Start(first, last);
        return true;
    }

    s2p_data_state* state;
};

// Where a row starts, after blanks and a comment: its attribute.
struct s2p_row_start_parser : s2p_primitive<s2p_row_start_parser, const char*>
{
    static constexpr const char* name = "row_start";

    template <typename Context, typename Skipper, typename Attribute>
    bool parse(const char*& first, const char* last, Context&, const Skipper& skipper, Attribute& attr) const
    {
        boost::spirit::qi::skip_over(first, last, skipper);
        boost::spirit::traits::assign_to(first, attr);
        return true;
    }
};

// A run of whole data lines, read in bulk (ReadDataLines) into the table of
// the rule it stands in; fails, reading nothing, where no such line follows.
struct s2p_data_lines_parser : s2p_primitive<s2p_data_lines_parser>
{
    static constexpr const char* name = "data_lines";

    explicit s2p_data_lines_parser(s2p_data_state& dataState) : state(&dataState) {}

    template <typename Context, typename Skipper, typename Attribute>
    bool parse(const char*& first, const char* last, Context& context, const Skipper&, Attribute&) const
    {
        // The enclosing rule's own attribute, its _val.
        s2p_table_t& table = boost::fusion::at_c<0>(context.attributes);
        return ReadDataLines(first, last, *state, table) > 0;
    }

    s2p_data_state* state;
};
