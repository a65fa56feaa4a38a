// SPDX-License-Identifier: MIT
// Day-of-year arithmetic in the Gregorian calendar.
#ifndef SITKO_YEARDAY_HPP
#define SITKO_YEARDAY_HPP

namespace sitko {

// The day of the year of the given month (1 to 12) and day.  The day is not
// checked against the month's length: the lengths of the months before it
// are added to it.  A month of 1 or less adds nothing; a month beyond 12
// adds the whole year.  Sums beyond the int range wrap modulo 2^32.
int day_of_year(int year, int month, int day);

// The month and day of the month of a day of the year.  A day of 0 or less
// gives month 1 with the day unchanged; a day beyond the year's length stops
// at December and leaves the rest in the day (400 gives December 66 in a
// common year).
void month_day(int year, int yearday, int *pmonth, int *pday);

} // namespace sitko

#endif
