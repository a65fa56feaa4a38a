// SPDX-License-Identifier: MIT
// Keyword counts from getword() alone, or with skipquiet() before each call;
// the tests and the fuzz target hold the two to the same counts.
#ifndef SITKO_TEST_KEYWORDCOUNT_HPP
#define SITKO_TEST_KEYWORDCOUNT_HPP

#include <array>
#include <cstddef>
#include <cstring>
#include <span>

#include "getch.hpp"
#include "getword.hpp"
#include "quiet.hpp"

namespace sitko::test {

inline constexpr const char *keywords[] = {"auto",  "break",    "case",    "char",
					   "const", "continue", "default", "unsigned",
					   "void",  "volatile", "while"};
inline constexpr std::size_t KEYWORDS = sizeof keywords / sizeof *keywords;

// With pieces, the input comes through the buffer in pieces of those sizes,
// one refill each, as from a pipe.
inline std::array<long, KEYWORDS> keywordcounts(const unsigned char *data, std::size_t size,
						bool skipping,
						std::span<const std::size_t> pieces = {})
{
	prefixset keys = {{}, 0};
	for (const char *k : keywords)
		memcpy(keys.prefix[keys.n++].data(), k, 4);
	if (pieces.empty())
		setinput(data, size);
	else
		setinput(data, size, pieces);
	pushedback = NOTHING_PUSHED;
	std::array<long, KEYWORDS> counts{};
	char word[WORD_CAPACITY];
	for (;;) {
		if (skipping)
			skipquiet(keys);
		if (getword(word, WORD_CAPACITY) == EOF)
			break;
		for (std::size_t k = 0; k < KEYWORDS; k++)
			if (strcmp(word, keywords[k]) == 0)
				counts[k]++;
	}
	return counts;
}

} // namespace sitko::test

#endif
