#pragma once

#include <boost/spirit/home/support/info.hpp>

#include <cstddef>
#include <functional>
#include <string>
#include <type_traits>
#include <utility>

// Reports a failed expectation of the Touchstone grammar to the caller:
// "Expecting <description> here:\n\"<up to 32 bytes from the position>\"".
struct tvx_error_handler_impl
{
    using Callback = std::function<void(const std::string& message)>;

    // `failedAt`, when given, learns where the expectation failed.
    explicit tvx_error_handler_impl(Callback onParserError, const char** failedAt = nullptr)
        : callback(std::move(onParserError)), failed_at(failedAt)
    {
    }

    // Called by the parser when an expectation fails at `position`.
    template <typename Iterator>
    void operator()(const boost::spirit::info& expected, Iterator position, Iterator end) const
    {
        if constexpr (std::is_convertible_v<Iterator, const char*>)
            if (failed_at)
                *failed_at = position;
        if (!callback)
            return;
        std::string snippet;
        for (std::size_t n = 0; n < snippetLength && position != end; ++n, ++position)
            snippet += *position;
        Report(expected, snippet);
    }

    static constexpr std::size_t snippetLength = 32;

    Callback callback; // may be empty
    const char** failed_at = nullptr;

private:
    void Report(const boost::spirit::info& expected, const std::string& snippet) const;
};
