// SPDX-License-Identifier: MIT
// linecount: count the newlines of standard input.

#include "confine.hpp"
#include "finish.hpp"
#include "output.hpp"
#include "programs.hpp"
#include "scan.hpp"

int sitko::linecount(reader &in)
{
	constexpr sitko::tallyset newline = {{'\n'}, 1};
	long long nl = 0;

	sitko::tallyinput(in, newline, &nl);
	sitko::print("%lld\n", nl);
	return 0;
}

#if !defined(SITKO_NO_MAIN)
int main()
{
	sitko::reader &in = sitko::standardinput();
	sitko::confine(sitko::family::reads);
	return sitko::finish(sitko::linecount(in), in);
}
#endif
