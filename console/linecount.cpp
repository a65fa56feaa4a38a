// linecount: count the newlines of standard input.
#include <cstdio>

#include "finish.hpp"
#include "scan.hpp"

int main()
{
	constexpr sitko::tallyset newline = {{'\n'}, 1};
	long long nl = 0;

	sitko::tallyinput(newline, &nl);
	printf("%lld\n", nl);
	return sitko::finish(0);
}
