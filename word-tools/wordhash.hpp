// SPDX-License-Identifier: MIT
// The hash that indexes wordtree's words, keyed.
//
// With a fixed hash, words can be chosen in advance that all land in the
// same few slots of the index, and every new word then walks all the others:
// time grows with the square of their number.  With a key drawn when the
// program starts, no input chosen in advance collides on every run.  The key
// only decides where words sit in the index; the report never depends on it.
#ifndef SITKO_WORDHASH_HPP
#define SITKO_WORDHASH_HPP

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace sitko {

struct hashkey {
	std::uint64_t k0;
	std::uint64_t k1;
};

// A keyed bijection of 64-bit values: every input bit reaches every output
// bit, so a difference between two words spreads over the whole hash.
inline std::uint64_t keyedmix(std::uint64_t x, std::uint64_t k)
{
	x += k;
	x ^= x >> 30;
	x *= 0xbf58476d1ce4e5b9u;
	x ^= x >> 27;
	x *= 0x94d049bb133111ebu;
	x ^= x >> 31;
	return x;
}

// Eight bytes at a time; the last, short piece is padded with zeros and
// the length is mixed in first, so "a" and "a\0" cannot meet.
inline std::uint64_t wordhash(const char *word, std::size_t len, hashkey key)
{
	std::uint64_t h = key.k0 ^ (len * 0x9e3779b97f4a7c15u);
	std::size_t i = 0;
	for (; i + 8 <= len; i += 8) {
		std::uint64_t v;
		memcpy(&v, word + i, 8);
		h = keyedmix(h ^ v, key.k1);
	}
	std::uint64_t v = 0;
	memcpy(&v, word + i, len - i);
	return keyedmix(h ^ v, key.k1);
}

// A key from the kernel's random source, or, where that fails, from the
// clock and the process: not secret then, but not fixed in advance either.
hashkey randomkey();

} // namespace sitko

#endif
