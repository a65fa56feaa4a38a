// SPDX-License-Identifier: MIT
// Which partition of the vocabulary a word belongs to.
//
// The partitions follow byte order: every word of partition p sorts before
// every word of partition p + 1, so the report is the partitions written one
// after another, each sorted on its own, with no merge.  A word's partition
// comes from its first two bytes alone.  Those are shared out so that each
// partition is about as likely as any other, reckoning a lower-case first
// letter three times as likely as an upper-case one, and every letter or
// digit (or the end of the word) as likely as another for the second byte.
#ifndef SITKO_PARTITION_HPP
#define SITKO_PARTITION_HPP

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>

namespace sitko {

inline constexpr std::size_t PARTITIONS = 256;

namespace partitioning {

constexpr unsigned firstweight(unsigned b)
{
	return b >= 'a' && b <= 'z' ? 3 : b >= 'A' && b <= 'Z' ? 1 : 0;
}

constexpr unsigned secondweight(unsigned b)
{
	bool alnum = (b >= 'a' && b <= 'z') || (b >= 'A' && b <= 'Z') || (b >= '0' && b <= '9');
	return b == 0 || alnum ? 1 : 0;
}

// The weight of every pair of first bytes before (b0, b1), in byte order,
// is before[b0] + firstweight(b0) * secondbefore[b1].
struct pairweights {
	std::array<std::uint32_t, 256> before;
	std::array<std::uint32_t, 256> secondbefore;
	std::uint32_t total;
};

inline constexpr pairweights weights = [] {
	pairweights w{};
	std::uint32_t seconds = 0;
	for (unsigned b = 0; b < 256; b++) {
		w.secondbefore[b] = seconds;
		seconds += secondweight(b);
	}
	std::uint32_t firsts = 0;
	for (unsigned b = 0; b < 256; b++) {
		w.before[b] = firsts * seconds;
		firsts += firstweight(b);
	}
	w.total = firsts * seconds;
	return w;
}();

// The partition of a word whose first two bytes are key's (the second 0
// where the word has only one): its running share of the weight, so never
// decreasing.  Past the last pair of weight, every share is the last
// partition.
constexpr std::size_t partitionofkey(unsigned key)
{
	unsigned b0 = key >> 8, b1 = key & 0xff;
	std::uint32_t before = weights.before[b0] + firstweight(b0) * weights.secondbefore[b1];
	return std::min<std::size_t>(std::size_t{before} * PARTITIONS / weights.total,
				     PARTITIONS - 1);
}

} // namespace partitioning

// The partition of every pair of first bytes, looked up once a word.  Built
// row by row over a plain array: few enough steps for any compiler's
// constant evaluation.
struct partitiontable {
	unsigned char of[65536];
	constexpr unsigned char operator[](std::size_t key) const
	{
		return of[key];
	}
};

inline constexpr partitiontable partitionbykey = [] {
	static_assert(PARTITIONS <= 256, "a partition is held in a byte");
	partitiontable t{};
	for (unsigned b0 = 0; b0 < 256; b0++) {
		std::size_t before = partitioning::weights.before[b0];
		std::size_t first = partitioning::firstweight(b0);
		for (unsigned b1 = 0; b1 < 256; b1++) {
			std::size_t p = (before + first * partitioning::weights.secondbefore[b1]) *
					PARTITIONS / partitioning::weights.total;
			t.of[b0 << 8 | b1] =
				static_cast<unsigned char>(p < PARTITIONS ? p : PARTITIONS - 1);
		}
	}
	return t;
}();

// The word has WORD_SLACK readable bytes after it (takewords.hpp), so its
// second byte can be read even where it has only one.
inline std::size_t partitionof(const unsigned char *word, std::size_t len)
{
	unsigned second = len > 1 ? 0xffu : 0u;
	return partitionbykey[unsigned{word[0]} << 8 | (word[1] & second)];
}

} // namespace sitko

#endif
