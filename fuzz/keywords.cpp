// SPDX-License-Identifier: MIT
// The word loops' fast paths against getword() alone: passing over quiet
// stretches (reservedwords) or the words out of whole buffers (wordtree) must
// never change what is counted.
#include <cstdint>
#include <cstdlib>

#include "wordloops.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
	if (sitko::test::keywordcounts(data, size, false) !=
	    sitko::test::keywordcounts(data, size, true))
		abort();
	auto words = sitko::test::treewords(data, size, 0);
	if (sitko::test::treewords(data, size, 64) != words)
		abort();
	// Then in pieces chosen by the input, a few words at a time.
	if (size > 0) {
		const std::size_t pieces[] = {std::size_t{data[0]} % 16 + 1, 1,
					      std::size_t{data[size - 1]} % 200 + 1};
		if (sitko::test::treewords(data, size, data[0] % 5 + 1, pieces) != words)
			abort();
	}
	return 0;
}
