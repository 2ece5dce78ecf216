#include "CalDate.h"

#include <boost/date_time/gregorian/gregorian.hpp>

std::string FormatCalDate(const boost::gregorian::date& date)
{
    return boost::gregorian::to_iso_extended_string(date);
}

std::string TodayCalDate()
{
    return FormatCalDate(boost::gregorian::day_clock::local_day());
}
