// SPDX-License-Identifier: MIT
// linecount: count the newlines of standard input.

#include "finish.hpp"
#include "output.hpp"
#include "scan.hpp"

int main()
{
	constexpr sitko::tallyset newline = {{'\n'}, 1};
	long long nl = 0;

	sitko::tallyinput(newline, &nl);
	sitko::print("%lld\n", nl);
	return sitko::finish(0);
}
