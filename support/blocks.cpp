// SPDX-License-Identifier: MIT
#include "blocks.hpp"

#include <cstdint>
#include <cstring>

#include "input.hpp"

namespace sitko {

namespace {

// Looking for each newline on its own costs more than everything else a
// line filter does, so all of a buffer's bytes equal to c are found at once.
struct byteindex {
	unsigned long fill; // the buffer described, by the reader's count
	const unsigned char *start;
	unsigned char c;
	bool valid;
	std::size_t n, next;
	std::uint32_t at[INPUT_CAPACITY];
} found;

// Where the next prefix of the buffer lies, and the start of the run
// before it.
struct prefixplace {
	unsigned long fill;
	bool valid;
	const unsigned char *next;
	const unsigned char *runstart;
} prefix;

} // namespace

std::size_t findnext(unsigned char c)
{
	const unsigned char *from = in.pos;
	std::size_t left = static_cast<std::size_t>(in.end - in.pos);
	if (left == 0)
		return 0;
	if (!found.valid || found.fill != in.fills || found.c != c || from < found.start) {
		// A block from memory may be larger than a buffer; it is searched
		// as it comes.
		if (left > INPUT_CAPACITY) {
			const void *p = memchr(from, c, left);
			return p != nullptr ? static_cast<std::size_t>(
						      static_cast<const unsigned char *>(p) - from)
					    : left;
		}
		found.fill = in.fills;
		found.start = from;
		found.c = c;
		found.valid = true;
		found.n = findall(bytes(from, left), c, found.at);
		found.next = 0;
	}
	auto offset = static_cast<std::size_t>(from - found.start);
	while (found.next < found.n && found.at[found.next] < offset)
		found.next++;
	return found.next < found.n ? found.at[found.next] - offset : left;
}

void skiptoprefix(const prefixset &set, const std::array<bool, 256> &back)
{
	const unsigned char *from = in.pos;
	if (!prefix.valid || prefix.fill != in.fills || from > prefix.next) {
		bytes rest(from, in.end);
		prefix.next = from + findprefix(rest, set);
		prefix.runstart = prefix.next;
		while (prefix.runstart > from && back[prefix.runstart[-1]])
			prefix.runstart--;
		prefix.fill = in.fills;
		prefix.valid = true;
	}
	if (prefix.runstart > from)
		skipinput(static_cast<std::size_t>(prefix.runstart - from));
}

void skipuntil(const std::array<bool, 256> &stop)
{
	for (auto block = peekblock(); !block.empty(); block = peekblock()) {
		std::size_t k = 0;
		while (k < block.size() && !stop[block[k]])
			k++;
		skipinput(k);
		if (k < block.size())
			return;
	}
}

} // namespace sitko
