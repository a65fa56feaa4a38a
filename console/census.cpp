// census: count each decimal digit, white space and every other byte.
//
// White space here is blank, newline and tab only.  The thirteen bytes that
// are counted on their own are tallied a block at a time; every other byte
// is "other".  The counts are 64-bit so that inputs past 2 GiB come out right.
#include <cstdio>

#include "finish.hpp"
#include "input.hpp"
#include "scan.hpp"

int main()
{
	constexpr sitko::tallyset named = {
		{'0', '1', '2', '3', '4', '5', '6', '7', '8', '9', ' ', '\n', '\t'}, 13};
	long long seen[13] = {};
	long long total = 0;

	for (auto block = sitko::getblock(); !block.empty(); block = sitko::getblock()) {
		sitko::tally(block, named, seen);
		total += static_cast<long long>(block.size());
	}

	long long nwhite = 0, nother = total;
	long long ndigit[10] = {};
	for (std::size_t k = 0; k < named.n; k++) {
		int c = named.value[k];
		if (c >= '0' && c <= '9')
			ndigit[c - '0'] += seen[k];
		else if (c == ' ' || c == '\n' || c == '\t')
			nwhite += seen[k];
		nother -= seen[k];
	}
	printf("cyfry= ");
	for (long long n : ndigit)
		printf("%lld", n);
	printf(",białeznaki= %lld, inne= %lld\n", nwhite, nother);
	return sitko::finish(0);
}
