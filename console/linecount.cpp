// linecount: count the newlines of standard input.
#include <cstdio>

#include "finish.hpp"
#include "input.hpp"
#include "scan.hpp"

int main()
{
	constexpr sitko::tallyset newline = {{'\n'}, 1};
	long long nl = 0;

	for (auto block = sitko::getblock(); !block.empty(); block = sitko::getblock())
		sitko::tally(block, newline, &nl);
	printf("%lld\n", nl);
	return sitko::finish(0);
}
