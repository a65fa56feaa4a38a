// SPDX-License-Identifier: MIT
// charcount: count the bytes of standard input.
//
// The count is a double: exact up to 2^53 bytes, far beyond any input.  The
// bytes are counted a buffer at a time, as the reader hands them out.

#include "finish.hpp"
#include "input.hpp"
#include "output.hpp"

int main()
{
	double nc = 0;

	for (auto block = sitko::getblock(); !block.empty(); block = sitko::getblock())
		nc += static_cast<double>(block.size());
	sitko::print("%.0f\n", nc);
	return sitko::finish(0);
}
