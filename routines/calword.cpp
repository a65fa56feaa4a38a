// SPDX-License-Identifier: MIT
#include "calword.hpp"

namespace sitko {

const char *month_name(int n)
{
	static constexpr const char *name[] = {
		"błędny miesiąc", "styczeń", "luty",     "marzec",   "kwiecień",    "maj",
		"czerwiec",       "lipiec",  "sierpień", "wrzesień", "październik", "listopad",
		"grudzień",
	};

	return n < 1 || n > 12 ? name[0] : name[n];
}

} // namespace sitko
