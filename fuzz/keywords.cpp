// SPDX-License-Identifier: MIT
// Keyword counts with skipquiet() against getword() alone: passing over
// quiet stretches must never change what is counted.
#include <cstdint>
#include <cstdlib>

#include "keywordcount.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
	if (sitko::test::keywordcounts(data, size, false) !=
	    sitko::test::keywordcounts(data, size, true))
		abort();
	return 0;
}
