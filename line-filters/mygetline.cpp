// SPDX-License-Identifier: MIT
#include <cstring>

#include "input.hpp"
#include "lines.hpp"

namespace sitko {

namespace {

reader *source;

} // namespace

void mygetlinefrom(reader &in)
{
	source = &in;
}

// Reads the next line into s, at most lim - 1 bytes and a terminator, and
// returns the bytes stored, the newline included; 0 at end of input.  The
// newline is looked for a buffer at a time rather than a byte at a time.
int mygetline(char *s, int lim)
{
	std::size_t i = 0;
	std::size_t most = lim > 1 ? static_cast<std::size_t>(lim - 1) : 0;
	while (i < most) {
		auto buffered = peekblock(*source);
		if (buffered.empty())
			break;
		std::size_t n = buffered.size() < most - i ? buffered.size() : most - i;
		const void *newline = memchr(buffered.data(), '\n', n);
		if (newline != nullptr)
			n = static_cast<std::size_t>(static_cast<const unsigned char *>(newline) -
						     buffered.data()) +
			    1;
		memcpy(s + i, buffered.data(), n);
		skipinput(*source, n);
		i += n;
		if (newline != nullptr)
			break;
	}
	s[i] = '\0';
	return static_cast<int>(i);
}

} // namespace sitko
