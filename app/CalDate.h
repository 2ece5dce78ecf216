#pragma once

// The calibration date of a stamp: a calendar date as YYYY-MM-DD (four-digit
// year, month and day with leading zeros).

#include <boost/date_time/gregorian/gregorian_types.hpp>

#include <string>

std::string FormatCalDate(const boost::gregorian::date& date);

// Today's date in the local time zone, formatted.
std::string TodayCalDate();
