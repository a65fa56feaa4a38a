// SPDX-License-Identifier: MIT
// One module alone, linked with its own pkg-config file.
#include <cstdio>

#include <sitko/yearday.hpp>

static_assert(__cplusplus == SITKO_EXPECT_CPLUSPLUS, "compiled in another language standard");

int main()
{
	int month, day;
	sitko::month_day(2024, 366, &month, &day);
	std::printf("%d %d %d\n", sitko::day_of_year(2023, 12, 31), month, day);
	return 0;
}
