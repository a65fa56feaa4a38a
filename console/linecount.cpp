// linecount: count the newlines of standard input.
#include <cstdio>

#include "finish.hpp"
#include "input.hpp"

int main()
{
	int c;
	long long nl = 0;

	while ((c = sitko::getbyte()) != EOF)
		if (c == '\n')
			++nl;
	printf("%lld\n", nl);
	return sitko::finish(0);
}
