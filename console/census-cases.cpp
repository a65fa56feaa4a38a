// census-cases: the character census classified by one switch.
#include <cstdio>

#include "finish.hpp"
#include "input.hpp"

int main()
{
	int c;
	long long nwhite = 0, nother = 0;
	long long ndigit[10] = {};

	while ((c = sitko::getbyte()) != EOF) {
		switch (c) {
		case '0': case '1': case '2': case '3': case '4':
		case '5': case '6': case '7': case '8': case '9':
			ndigit[c - '0']++;
			break;
		case ' ':
		case '\n':
		case '\t':
			nwhite++;
			break;
		default:
			nother++;
			break;
		}
	}
	printf("cyfry= ");
	for (long long n : ndigit)
		printf("%lld", n);
	printf(", białe znaki= %lld, inne= %lld\n", nwhite, nother);
	return sitko::finish(0);
}
