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

#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace sitko {

struct hashkey {
	std::uint64_t k0;
	std::uint64_t k1;
};

// A keyed bijection of 64-bit values: every input bit reaches every output
// bit.
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

// The full product of a and b, its two halves folded together.
inline std::uint64_t fold(std::uint64_t a, std::uint64_t b)
{
#if defined(__SIZEOF_INT128__)
	__extension__ using wide = unsigned __int128;
	wide p = static_cast<wide>(a) * b;
	return static_cast<std::uint64_t>(p) ^ static_cast<std::uint64_t>(p >> 64);
#else
	std::uint64_t al = a & 0xffffffffu, ah = a >> 32, bl = b & 0xffffffffu, bh = b >> 32;
	std::uint64_t ll = al * bl, lh = al * bh, hl = ah * bl, hh = ah * bh;
	std::uint64_t mid = (ll >> 32) + (lh & 0xffffffffu) + (hl & 0xffffffffu);
	std::uint64_t lo = (ll & 0xffffffffu) | mid << 32;
	std::uint64_t hi = hh + (lh >> 32) + (hl >> 32) + (mid >> 32);
	return lo ^ hi;
#endif
}

inline std::uint64_t load8(const unsigned char *p)
{
	std::uint64_t v;
	memcpy(&v, p, 8);
	return v;
}

// For a piece of n bytes (0 to 16) loaded as two words: the masks that keep
// its bytes of each, in the order memory holds them.
struct piecemasks {
	std::array<std::uint64_t, 17> first;
	std::array<std::uint64_t, 17> second;
};

inline constexpr piecemasks pieces = [] {
	piecemasks m{};
	for (std::size_t n = 0; n <= 16; n++) {
		for (std::size_t b = 0; b < 8; b++) {
			std::size_t shift =
				std::endian::native == std::endian::little ? 8 * b : 56 - 8 * b;
			if (b < n)
				m.first[n] |= std::uint64_t{0xff} << shift;
			if (b + 8 < n)
				m.second[n] |= std::uint64_t{0xff} << shift;
		}
	}
	return m;
}();

// Sixteen bytes a step, the last piece padded with zeros, and the length
// mixed in, so "a" and "a\0" cannot meet.  The word must have sixteen
// readable bytes after it, whatever they hold.
inline std::uint64_t wordhash(const unsigned char *word, std::size_t len, hashkey key)
{
	std::uint64_t h = key.k0 ^ len;
	std::size_t i = 0;
	if (len > 16) [[unlikely]] {
		for (; len - i > 16; i += 16)
			h = fold(load8(word + i) ^ key.k1, load8(word + i + 8) ^ h);
	}
	std::size_t left = len - i;
	std::uint64_t a = load8(word + i) & pieces.first[left];
	std::uint64_t b = load8(word + i + 8) & pieces.second[left];
	return fold(a ^ key.k1, b ^ h ^ 0x9e3779b97f4a7c15u);
}

// A key from the kernel's random source, or, where that fails, from the
// clock and the process: not secret then, but not fixed in advance either.
hashkey randomkey();

} // namespace sitko

#endif
