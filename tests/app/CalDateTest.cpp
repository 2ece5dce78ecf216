#include "CalDate.h"

#include <QDate>

#include <gtest/gtest.h>

namespace
{

struct CalDateCase
{
    const char* scenario;
    int year;
    int month;
    int day;
    const char* expected;
};

class CalDateFormat : public testing::TestWithParam<CalDateCase>
{
};

TEST_P(CalDateFormat, WritesYearMonthDayWithLeadingZeros)
{
    const CalDateCase& row = GetParam();
    EXPECT_EQ(FormatCalDate(boost::gregorian::date(row.year, row.month, row.day)), row.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Dates, CalDateFormat,
    testing::Values(CalDateCase{"SingleDigitMonthAndDay", 2026, 3, 7, "2026-03-07"},
                    CalDateCase{"LastDayOfYear", 1999, 12, 31, "1999-12-31"},
                    CalDateCase{"LeapDay", 2024, 2, 29, "2024-02-29"},
                    CalDateCase{"EarliestCalendarYear", 1400, 1, 1, "1400-01-01"}),
    [](const testing::TestParamInfo<CalDateCase>& info) { return std::string(info.param.scenario); });

TEST(TodayCalDate, IsTheLocalCalendarDate)
{
    // Read the clock on both sides, so a run across midnight still passes.
    const QString before = QDate::currentDate().toString(Qt::ISODate);
    const QString today = QString::fromStdString(TodayCalDate());
    const QString after = QDate::currentDate().toString(Qt::ISODate);
    EXPECT_TRUE(today == before || today == after) << today.toStdString();
}

} // namespace
