// SPDX-License-Identifier: MIT
// eofvalue: write the end-of-input value the filters compare against, then 0.
#include <cstdio>

#include "finish.hpp"
#include "output.hpp"

int main()
{
	sitko::print("%d%d", EOF, 0);
	return sitko::finish(0);
}
