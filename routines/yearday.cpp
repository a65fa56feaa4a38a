// SPDX-License-Identifier: MIT
#include "yearday.hpp"

#include <cstdint>

namespace sitko {

namespace {

constexpr std::int8_t daytab[2][13] = {
	{0, 31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31},
	{0, 31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31},
};

constexpr int DECEMBER = 12;

constexpr int isleap(int year)
{
	return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

} // namespace

int day_of_year(int year, int month, int day)
{
	int leap = isleap(year);
	// Unsigned, so that a day near the int limit wraps instead of
	// overflowing.
	auto sum = static_cast<unsigned>(day);
	for (int i = 1; i < month && i <= DECEMBER; i++)
		sum += static_cast<unsigned>(daytab[leap][i]);
	return static_cast<int>(sum);
}

void month_day(int year, int yearday, int *pmonth, int *pday)
{
	int leap = isleap(year);
	int i;
	for (i = 1; i < DECEMBER && yearday > daytab[leap][i]; i++)
		yearday -= daytab[leap][i];
	*pmonth = i;
	*pday = yearday;
}

} // namespace sitko
