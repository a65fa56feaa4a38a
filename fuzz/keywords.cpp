// SPDX-License-Identifier: MIT
// The word loops' fast paths against getword() alone: passing over quiet
// stretches (reservedwords) or over what lies between words (wordtree) must
// never change what is counted.
#include <cstdint>
#include <cstdlib>

#include "wordloops.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
	if (sitko::test::keywordcounts(data, size, false) !=
	    sitko::test::keywordcounts(data, size, true))
		abort();
	if (sitko::test::treewords(data, size, false) != sitko::test::treewords(data, size, true))
		abort();
	return 0;
}
