#pragma once

#include <gtest/gtest.h>

#include <ostream>

// A table row names itself by its `scenario` member: the name is the test's parameter name
// (gtest prints the row) and what a failure prints for the row.
namespace rows
{

template <class Row>
auto operator<<(std::ostream& out, const Row& row) -> decltype(out << row.scenario)
{
    return out << row.scenario;
}

using Name = testing::PrintToStringParamName;

} // namespace rows
