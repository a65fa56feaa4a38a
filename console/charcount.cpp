// charcount: count the bytes of standard input.
//
// The count is a double: exact up to 2^53 bytes, far beyond any input.
#include <cstdio>

#include "finish.hpp"
#include "input.hpp"

int main()
{
	double nc;

	for (nc = 0; sitko::getbyte() != EOF; ++nc)
		;
	printf("%.0f\n", nc);
	return sitko::finish(0);
}
