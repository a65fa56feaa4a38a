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

// The partition of every pair of first bytes, the second 0 where the word
// has one byte: a running share of the weight, so never decreasing.
inline constexpr std::array<std::uint8_t, 65536> table = [] {
	std::array<std::uint8_t, 65536> t{};
	unsigned long total = 0;
	for (unsigned b = 0; b < 256; b++)
		total += firstweight(b);
	unsigned long seconds = 0;
	for (unsigned b = 0; b < 256; b++)
		seconds += secondweight(b);
	total *= seconds;
	unsigned long before = 0;
	for (unsigned key = 0; key < 65536; key++) {
		t[key] = static_cast<std::uint8_t>(before * PARTITIONS / total);
		before += firstweight(key >> 8) * secondweight(key & 0xff);
	}
	return t;
}();

} // namespace partitioning

inline std::size_t partitionof(const unsigned char *word, std::size_t len)
{
	unsigned key = len == 0   ? 0
		       : len == 1 ? unsigned{word[0]} << 8
				  : unsigned{word[0]} << 8 | word[1];
	return partitioning::table[key];
}

} // namespace sitko

#endif
