#pragma once

#include <boost/spirit/home/support/info.hpp>

#include <cstddef>
#include <functional>
#include <string>
#include <utility>

// Reports a failed expectation of the Touchstone grammar to the caller:
// "Expecting <description> here:\n\"<up to 32 bytes from the position>\"".
struct tvx_error_handler_impl
{
    using Callback = std::function<void(const std::string& message)>;

    explicit tvx_error_handler_impl(Callback onParserError) : callback(std::move(onParserError)) {}

    // Called by the parser when an expectation fails at `position`.
    template <typename Iterator>
    void operator()(const boost::spirit::info& expected, Iterator position, Iterator end) const
    {
        if (!callback)
            return;
        std::string snippet;
        for (std::size_t n = 0; n < snippetLength && position != end; ++n, ++position)
            snippet += *position;
        Report(expected, snippet);
    }

    static constexpr std::size_t snippetLength = 32;

    Callback callback; // may be empty

private:
    void Report(const boost::spirit::info& expected, const std::string& snippet) const;
};
