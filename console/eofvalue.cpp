// SPDX-License-Identifier: MIT
// eofvalue: write the end-of-input value the filters compare against, then 0.
#include <cstdio>

#include "confine.hpp"
#include "finish.hpp"
#include "output.hpp"
#include "programs.hpp"

int sitko::eofvalue()
{
	sitko::print("%d%d", EOF, 0);
	return 0;
}

#if !defined(SITKO_NO_MAIN)
int main()
{
	sitko::confine(sitko::family::writes);
	return sitko::finish(sitko::eofvalue());
}
#endif
