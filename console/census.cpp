// census: count each decimal digit, white space and every other byte.
//
// White space here is blank, newline and tab only.  The counts are 64-bit so
// that inputs past 2 GiB are counted right.
#include <cstdio>

#include "finish.hpp"
#include "input.hpp"

int main()
{
	int c;
	long long nwhite = 0, nother = 0;
	long long ndigit[10] = {};

	while ((c = sitko::getbyte()) != EOF)
		if (c >= '0' && c <= '9')
			++ndigit[c - '0'];
		else if (c == ' ' || c == '\n' || c == '\t')
			++nwhite;
		else
			++nother;
	printf("cyfry= ");
	for (long long n : ndigit)
		printf("%lld", n);
	printf(",białeznaki= %lld, inne= %lld\n", nwhite, nother);
	return sitko::finish(0);
}
