// SPDX-License-Identifier: MIT
// Every module, through the headers and libraries libsitko-dev installs.
#include <cstdio>

#include <sitko/boxnorm.hpp>
#include <sitko/calword.hpp>
#include <sitko/coordpair.hpp>
#include <sitko/numparse.hpp>
#include <sitko/yearday.hpp>

static_assert(__cplusplus == SITKO_EXPECT_CPLUSPLUS, "compiled in another language standard");

int main()
{
	int month, day;
	sitko::month_day(2024, sitko::day_of_year(2024, 3, 1), &month, &day);
	sitko::rect r = sitko::canonrect({sitko::makepoint(5, 7), sitko::makepoint(2, 1)});
	std::printf("%d %s %d %d,%d\n", sitko::atoi(" -42x"), sitko::month_name(month), day, r.p1.x,
		    r.p2.y);
	return 0;
}
