// SPDX-License-Identifier: MIT
// census: count each decimal digit, white space and every other byte.
//
// White space here is blank, newline and tab only.  The thirteen bytes that
// are counted on their own are tallied a block at a time; every other byte
// is "other".  The counts are 64-bit so that inputs past 2 GiB come out right.

#include "confine.hpp"
#include "finish.hpp"
#include "output.hpp"
#include "programs.hpp"
#include "scan.hpp"

int sitko::census(reader &in)
{
	constexpr sitko::tallyset named = {
		{'0', '1', '2', '3', '4', '5', '6', '7', '8', '9', ' ', '\n', '\t'}, 13};
	long long seen[13] = {};
	// Every byte counts as other until its tallied value is classified.
	long long nother = sitko::tallyinput(in, named, seen);
	long long nwhite = 0;
	long long ndigit[10] = {};
	for (std::size_t k = 0; k < named.n; k++) {
		int c = named.value[k];
		if (c >= '0' && c <= '9')
			ndigit[c - '0'] += seen[k];
		else if (c == ' ' || c == '\n' || c == '\t')
			nwhite += seen[k];
		nother -= seen[k];
	}
	sitko::print("cyfry= ");
	for (long long n : ndigit)
		sitko::print("%lld", n);
	sitko::print(",białeznaki= %lld, inne= %lld\n", nwhite, nother);
	return 0;
}

#if !defined(SITKO_NO_MAIN)
int main()
{
	sitko::reader &in = sitko::standardinput();
	sitko::confine(sitko::family::reads);
	return sitko::finish(sitko::census(in), in);
}
#endif
