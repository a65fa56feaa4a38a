// SPDX-License-Identifier: MIT
// The two programs' word loops, plain and with their fast paths: keyword
// counts from getword() alone or with skipquiet() before each call, and the
// words wordtree hands to its tree, from getword() alone or from
// takewords().  The tests and the fuzz target hold each
// fast path to its plain twin.
#ifndef SITKO_TEST_WORDLOOPS_HPP
#define SITKO_TEST_WORDLOOPS_HPP

#include <array>
#include <cstddef>
#include <cstring>
#include <span>
#include <string>
#include <vector>

#include "classes.hpp"
#include "getch.hpp"
#include "getword.hpp"
#include "quiet.hpp"
#include "takewords.hpp"

namespace sitko::test {

inline constexpr const char *keywords[] = {"auto",  "break",    "case",    "char",
					   "const", "continue", "default", "unsigned",
					   "void",  "volatile", "while"};
inline constexpr std::size_t KEYWORDS = sizeof keywords / sizeof *keywords;

// With pieces, the input comes through the buffer in pieces of those sizes,
// one refill each, as from a pipe.
inline reader &feed(const unsigned char *data, std::size_t size,
		    std::span<const std::size_t> pieces)
{
	static reader in;
	if (pieces.empty())
		openmemory(in, data, size);
	else
		openmemory(in, data, size, pieces);
	getchfrom(in);
	return in;
}

inline std::array<long, KEYWORDS> keywordcounts(const unsigned char *data, std::size_t size,
						bool skipping,
						std::span<const std::size_t> pieces = {})
{
	prefixset keys = {};
	for (const char *k : keywords)
		addprefix(keys, k);
	feed(data, size, pieces);
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

// With batch, the words come from takewords(), at most batch at a time;
// each must have its promised readable bytes after it.
inline std::vector<std::string> treewords(const unsigned char *data, std::size_t size,
					  std::size_t batch,
					  std::span<const std::size_t> pieces = {})
{
	reader &in = feed(data, size, pieces);
	std::vector<std::string> words;
	if (batch > 0) {
		wordref found[64];
		static wordscan scan;
		scan = {};
		static volatile unsigned char touched;
		while (std::size_t n = takewords(in, scan, letterwords, WORD_CAPACITY - 1,
						 std::span(found, batch < 64 ? batch : 64))) {
			for (std::size_t k = 0; k < n; k++) {
				for (std::size_t i = 0; i < WORD_SLACK; i++)
					touched = found[k].text[found[k].len + i];
				words.emplace_back(reinterpret_cast<const char *>(found[k].text),
						   found[k].len);
			}
		}
		(void)touched;
		return words;
	}
	char word[WORD_CAPACITY];
	while (getword(word, WORD_CAPACITY) != EOF)
		if (isalphachar(static_cast<unsigned char>(word[0])))
			words.emplace_back(word);
	return words;
}

} // namespace sitko::test

#endif
