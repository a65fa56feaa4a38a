// SPDX-License-Identifier: MIT
// charcount: count the bytes of standard input.
//
// The count is a double: exact up to 2^53 bytes, far beyond any input.  A
// regular file is counted from its size, where that can be trusted; what is
// left, or all of a pipe, is counted a buffer at a time as the reader hands
// it out.

#include "finish.hpp"
#include "input.hpp"
#include "output.hpp"

int main()
{
	double nc = static_cast<double>(sitko::skipregular());

	for (auto block = sitko::getblock(); !block.empty(); block = sitko::getblock())
		nc += static_cast<double>(block.size());
	sitko::print("%.0f\n", nc);
	return sitko::finish(0);
}
