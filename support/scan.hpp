// SPDX-License-Identifier: MIT
// Block kernels: each looks at a whole block of input as the byte reader
// hands it out, so the programs keep their one-pass shape while the inner
// loops run many bytes at a time.
//
// Each kernel has a plain scalar version, the reference the tests hold the
// fast ones to, and on x86-64 an AVX2 version chosen at run time when the
// processor has it.
#ifndef SITKO_SCAN_HPP
#define SITKO_SCAN_HPP

#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <span>

#include "input.hpp"

namespace sitko {

using bytes = std::span<const unsigned char>;

// Values 0 to 255 the tally counts; at most TALLY_CAPACITY of them.
inline constexpr std::size_t TALLY_CAPACITY = 16;

struct tallyset {
	std::array<unsigned char, TALLY_CAPACITY> value;
	std::size_t n;
};

// Adds to counts[k] the occurrences of set.value[k] in block.
void tally(bytes block, const tallyset &set, long long *counts);

// Tallies the whole of in, a block at a time, and returns the number of
// bytes read.
long long tallyinput(reader &in, const tallyset &set, long long *counts);

// The word count's machine over a block: separators are blank, newline and
// tab; inword carries the state from one block to the next.  Adds the words
// begun and the newlines seen.
struct wordcounts {
	long long lines;
	long long words;
	bool inword;
};
void countwords(bytes block, wordcounts &wc);

// Stores the offsets in block of every byte equal to c, in order, and
// returns how many there are; at has room for block.size() offsets.
std::size_t findall(bytes block, unsigned char c, std::uint32_t *at);

// Four-byte strings to look for; at most PREFIX_CAPACITY of them.
inline constexpr std::size_t PREFIX_CAPACITY = 16;

struct prefixset {
	std::array<std::array<unsigned char, 4>, PREFIX_CAPACITY> prefix;
	std::size_t n;
	// The prefixes grouped by first byte, for the vector kernel: a place
	// may hold a prefix of group k only where bit k is set in lo[] & hi[]
	// of its first, second and fourth byte (lo and hi being the byte's two
	// nibbles).  The first bytes are told exactly, the others roughly.
	std::array<unsigned char, 8> initial;
	std::size_t groups; // past 8 the tables cannot hold them
	std::array<unsigned char, 16> firstlo, firsthi, secondlo, secondhi, fourthlo, fourthhi;
	// The prefixes as 32-bit words, as memory holds them, and past n the
	// first again: the vector kernel compares a place with all at once.
	// They are kept here rather than gathered at each search, which would
	// stall on loading the vectors just stored a word at a time.
	std::array<std::uint32_t, PREFIX_CAPACITY> words;
};

// Adds the first four bytes of word to set, which has room for them.
inline void addprefix(prefixset &set, const char *word)
{
	auto &p = set.prefix[set.n++];
	for (std::size_t i = 0; i < 4; i++)
		p[i] = static_cast<unsigned char>(word[i]);
	for (std::size_t k = set.n == 1 ? 0 : set.n - 1; k < set.words.size(); k++)
		set.words[k] = std::bit_cast<std::uint32_t>(p);
	std::size_t g = 0;
	while (g < set.groups && g < set.initial.size() && set.initial[g] != p[0])
		g++;
	if (g == set.groups && set.groups++ < set.initial.size())
		set.initial[g] = p[0];
	if (g >= set.initial.size())
		return;
	auto bit = static_cast<unsigned char>(1u << g);
	set.firstlo[p[0] & 15] |= bit;
	set.firsthi[p[0] >> 4] |= bit;
	set.secondlo[p[1] & 15] |= bit;
	set.secondhi[p[1] >> 4] |= bit;
	set.fourthlo[p[3] & 15] |= bit;
	set.fourthhi[p[3] >> 4] |= bit;
}

// The offset of the first place in block where one of the prefixes begins;
// when there is none, the offset of the first place that had too few bytes
// left to tell (block.size() - 3, or 0 for a shorter block).
std::size_t findprefix(bytes block, const prefixset &set);

// A set of byte values, with the same set in the form the vector kernels
// look it up in: c is in the set when lo[c & 15] & hi[c >> 4] is not 0.
// That form holds any set whose sixteen rows (bytes sharing the high four
// bits) take at most eight different shapes; letters and digits take three.
struct byteclass {
	std::array<bool, 256> member;
	std::array<unsigned char, 16> lo, hi;
	bool nibbles; // false when the set has no such form
};

constexpr byteclass makeclass(const std::array<bool, 256> &member)
{
	byteclass c{member, {}, {}, true};
	std::array<unsigned, 8> shapes{};
	std::size_t nshapes = 0;
	for (std::size_t h = 0; h < 16; h++) {
		unsigned shape = 0;
		for (std::size_t l = 0; l < 16; l++)
			shape |= member[h * 16 + l] ? 1u << l : 0;
		if (shape == 0)
			continue;
		std::size_t k = 0;
		while (k < nshapes && shapes[k] != shape)
			k++;
		if (k == nshapes) {
			if (nshapes == shapes.size()) {
				c.nibbles = false;
				return c;
			}
			shapes[nshapes++] = shape;
		}
		c.hi[h] = static_cast<unsigned char>(c.hi[h] | 1u << k);
		for (std::size_t l = 0; l < 16; l++)
			if (shape & 1u << l)
				c.lo[l] = static_cast<unsigned char>(c.lo[l] | 1u << k);
	}
	return c;
}

// The bytes that may begin a word and those that may go on with one.
struct wordclasses {
	byteclass first;
	byteclass rest;
};

// Marks each byte of block that is in classes.first in the bit i % 64 of
// first[i / 64], and each one in classes.rest the same way in rest; the bits
// past the end of block are 0.  Each array has room for (size + 63) / 64.
void classify(bytes block, const wordclasses &classes, std::uint64_t *first, std::uint64_t *rest);

namespace scalar {
void tally(bytes block, const tallyset &set, long long *counts);
void countwords(bytes block, wordcounts &wc);
std::size_t findall(bytes block, unsigned char c, std::uint32_t *at);
std::size_t findprefix(bytes block, const prefixset &set);
void classify(bytes block, const wordclasses &classes, std::uint64_t *first, std::uint64_t *rest);
} // namespace scalar

#if defined(__x86_64__)
namespace avx2 {
bool usable();
void tally(bytes block, const tallyset &set, long long *counts);
void countwords(bytes block, wordcounts &wc);
std::size_t findall(bytes block, unsigned char c, std::uint32_t *at);
std::size_t findprefix(bytes block, const prefixset &set);
void classify(bytes block, const wordclasses &classes, std::uint64_t *first, std::uint64_t *rest);
} // namespace avx2
#endif

} // namespace sitko

#endif
