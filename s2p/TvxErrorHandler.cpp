#include "TvxErrorHandler.h"

#include <sstream>

void tvx_error_handler_impl::Report(const boost::spirit::info& expected, const std::string& snippet) const
{
    // The library renders an expectation as "<rule name>", "<eol>", "<eoi>" or
    // a quoted literal; a group as its own tag followed by its members.
    std::ostringstream description;
    description << expected;
    callback("Expecting " + description.str() + " here:\n\"" + snippet + "\"");
}
