// SPDX-License-Identifier: MIT
#include "newlines.hpp"

#include <cstring>

#include "scan.hpp"

namespace sitko {

std::size_t findnewline(reader &in, newlines &index)
{
	auto block = peekblock(in);
	const unsigned char *from = block.data();
	std::size_t left = block.size();
	if (left == 0)
		return 0;
	if (index.block != blockid(in) || from < index.start) {
		// A block from memory may be larger than a buffer; it is searched
		// as it comes.
		if (left > INPUT_CAPACITY) {
			const void *p = memchr(from, '\n', left);
			return p != nullptr ? static_cast<std::size_t>(
						      static_cast<const unsigned char *>(p) - from)
					    : left;
		}
		index.block = blockid(in);
		index.start = from;
		index.n = findall(bytes(from, left), '\n', index.at);
		index.next = 0;
	}
	auto offset = static_cast<std::size_t>(from - index.start);
	while (index.next < index.n && index.at[index.next] < offset)
		index.next++;
	return index.next < index.n ? index.at[index.next] - offset : left;
}

} // namespace sitko
