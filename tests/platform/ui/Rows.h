#pragma once

#include <gtest/gtest.h>

#include <ostream>
#include <string>

// A table row names itself by its `scenario` member: the name is the test's parameter name
// and what a failure prints for the row.
namespace rows
{

template <class Row>
auto operator<<(std::ostream& out, const Row& row) -> decltype(out << row.scenario)
{
    return out << row.scenario;
}

struct Name
{
    template <class Row>
    std::string operator()(const testing::TestParamInfo<Row>& info) const
    {
        return info.param.scenario;
    }
};

} // namespace rows
