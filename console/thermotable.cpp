// SPDX-License-Identifier: MIT
// thermotable: a Fahrenheit-to-Celsius table from 0 to 300 in steps of 20.

#include "confine.hpp"
#include "finish.hpp"
#include "output.hpp"
#include "programs.hpp"

int sitko::thermotable()
{
	// The double nearest to 5/9; the table's last digits depend on it.
	constexpr double FIVE_NINTHS = 5.0 / 9.0;
	constexpr int LOWER = 0, UPPER = 300, STEP = 20;

	for (int fahr = LOWER; fahr <= UPPER; fahr += STEP)
		sitko::print("%3d%6.1f\n", fahr, FIVE_NINTHS * (fahr - 32));
	return 0;
}

#if !defined(SITKO_NO_MAIN)
int main()
{
	sitko::confine(sitko::family::writes);
	return sitko::finish(sitko::thermotable());
}
#endif
