// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <string>

#include <sitko/boxnorm.hpp>
#include <sitko/calword.hpp>
#include <sitko/coordpair.hpp>
#include <sitko/numparse.hpp>
#include <sitko/yearday.hpp>

using namespace sitko;

namespace {

int yearlength(int year)
{
	return day_of_year(year, 12, 31);
}

} // namespace

TEST(yearday, table)
{
	struct {
		int year, month, day, expected;
	} cases[] = {
		{403, 3, 1, 60},         {404, 3, 1, 61},
		{100, 12, 31, 365},      {400, 12, 31, 366},
		{403, 2, 40, 71},        {403, 1, 5, 5},
		{403, 0, 5, 5},          {403, -7, 5, 5},
		{-4, 3, 1, 61},          {-100, 3, 1, 60},
		{-400, 3, 1, 61},        {2023, 13, 1, 366},
		{2024, 13, 0, 366},      {2023, 99, 1, 366},
		{2023, INT_MAX, 0, 365}, {2023, 2, INT_MAX, INT_MIN + 30},
	};
	for (const auto &c : cases) {
		SCOPED_TRACE(std::to_string(c.year) + "-" + std::to_string(c.month) + "-" +
			     std::to_string(c.day));
		EXPECT_EQ(day_of_year(c.year, c.month, c.day), c.expected);
	}
}

TEST(month_day, table)
{
	struct {
		int year, yearday, month, day;
	} cases[] = {
		{404, 60, 2, 29},
		{403, 60, 3, 1},
		{403, 31, 1, 31},
		{403, 32, 2, 1},
		{403, 365, 12, 31},
		{404, 366, 12, 31},
		{403, 0, 1, 0},
		{403, -5, 1, -5},
		{403, 366, 12, 32},
		{403, 400, 12, 66},
		{403, INT_MAX, 12, INT_MAX - 334},
	};
	for (const auto &c : cases) {
		SCOPED_TRACE(std::to_string(c.year) + " day " + std::to_string(c.yearday));
		int month = -1, day = -1;
		month_day(c.year, c.yearday, &month, &day);
		EXPECT_EQ(month, c.month);
		EXPECT_EQ(day, c.day);
	}
}

TEST(yearday, inverses_over_many_years)
{
	for (int year = -2400; year <= 2400; year++) {
		int length = yearlength(year);
		bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
		ASSERT_EQ(length, leap ? 366 : 365) << year;
		for (int yd = 1; yd <= length; yd++) {
			int month, day;
			month_day(year, yd, &month, &day);
			ASSERT_GE(month, 1);
			ASSERT_LE(month, 12);
			ASSERT_GE(day, 1);
			ASSERT_EQ(day_of_year(year, month, day), yd) << year << " " << yd;
		}
	}
}

TEST(month_name, table)
{
	const char *names[] = {"błędny miesiąc", "styczeń",  "luty",        "marzec",
			       "kwiecień",       "maj",      "czerwiec",    "lipiec",
			       "sierpień",       "wrzesień", "październik", "listopad",
			       "grudzień"};
	for (int n = 0; n <= 12; n++)
		EXPECT_STREQ(month_name(n), names[n]);
	for (int n : {13, -5, INT_MIN, INT_MAX})
		EXPECT_STREQ(month_name(n), "błędny miesiąc");
	EXPECT_EQ(strlen(month_name(10)), 12u);
}

TEST(atoi, table)
{
	struct {
		const char *text;
		int expected;
	} cases[] = {
		{"  -42a", -42},
		{"+7", 7},
		{"+-7", 0},
		{"", 0},
		{"abc", 0},
		{"-", 0},
		{"- 5", 0},
		{"\t\n\v\f\r 12", 12},
		{"007", 7},
		{"12 34", 12},
		{"2147483647", INT_MAX},
		{"2147483648", INT_MIN},
		{"-2147483648", INT_MIN},
		{"-2147483649", INT_MAX},
		{"4294967296", 0},
		{"99999999999999999999", 1661992959},
		{"\xc2\xa0"
		 "5",
		 0},
		{"\x85"
		 "5",
		 0},
		{"5\xb9", 5},
		{"\xff", 0},
	};
	for (const auto &c : cases) {
		SCOPED_TRACE(c.text);
		EXPECT_EQ(sitko::atoi(c.text), c.expected);
	}
}

TEST(canonrect, every_ordering_of_corners)
{
	const int xs[2] = {2, 5}, ys[2] = {1, 7};
	for (int a = 0; a < 2; a++)
		for (int b = 0; b < 2; b++) {
			rect r = {makepoint(xs[a], ys[b]), makepoint(xs[1 - a], ys[1 - b])};
			rect c = canonrect(r);
			EXPECT_EQ(c.p1.x, 2);
			EXPECT_EQ(c.p1.y, 1);
			EXPECT_EQ(c.p2.x, 5);
			EXPECT_EQ(c.p2.y, 7);
			EXPECT_EQ(r.p1.x, xs[a]) << "the caller's rectangle is a copy";
		}
}

TEST(canonrect, table)
{
	struct {
		rect in, out;
	} cases[] = {
		{{{-1, -1}, {-3, 4}}, {{-3, -1}, {-1, 4}}},
		{{{3, 3}, {3, 3}}, {{3, 3}, {3, 3}}},
		{{{INT_MAX, INT_MIN}, {INT_MIN, INT_MAX}},
		 {{INT_MIN, INT_MIN}, {INT_MAX, INT_MAX}}},
	};
	for (const auto &c : cases) {
		rect got = canonrect(c.in);
		EXPECT_EQ(memcmp(&got, &c.out, sizeof got), 0);
	}
	point p = makepoint(-3, 8);
	EXPECT_EQ(p.x, -3);
	EXPECT_EQ(p.y, 8);
}
