// SPDX-License-Identifier: MIT
// The index that counts the words of one part of the input, as the files
// that order and write them see it.
//
// A slot of the index is eight bytes: where the word's record lies and 24
// further bits of its hash, so most probes that are not the word end in the
// slot and never touch the record.  A record is the count, the length and
// the bytes of the word, packed one after another into large blocks.
#ifndef SITKO_INDEX_HPP
#define SITKO_INDEX_HPP

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "tree.hpp"
#include "wordhash.hpp"

namespace sitko {

// For sorting: the first eight bytes of the word, the first the highest,
// padded with zeros, which sort first, as the end of a string does.
struct sortentry {
	std::uint64_t prefix;
	unsigned char *record;
};

struct tnode {
	std::uint64_t *slots;
	std::size_t mask; // the number of slots less one
	std::size_t used;
	hashkey key;
	unsigned char **blocks;
	std::size_t nblocks;
	std::size_t blockroom; // room in blocks for block pointers
	std::size_t filled;    // bytes used in the last block
	bool nomemory;         // some word could not be counted: no report may be made
	bool sorted;           // order holds the words in byte order
	bool orderinslots;     // order lies where the slots were
	sortentry *order;
	std::size_t nordered;
};

inline constexpr unsigned OFFSET_BITS = 40;
inline constexpr std::uint64_t OFFSET_MASK = (std::uint64_t{1} << OFFSET_BITS) - 1;
inline constexpr unsigned BLOCK_BITS = 21;
inline constexpr std::size_t BLOCK = std::size_t{1} << BLOCK_BITS;
// Count, length, and the word, with room after it to be read sixteen bytes
// at a time.
inline constexpr std::size_t HEADER = 9;

// The first block begins with a record no word matches, of length 0, at
// offset 0: the record of an empty slot.  Each block's records end with a
// record of count 0, written when the next block is begun (for the last, when
// the words are put in order).
inline constexpr std::size_t EMPTY_RECORD = 32;

inline unsigned char *record(const tnode &words, std::uint64_t slot)
{
	std::uint64_t offset = slot & OFFSET_MASK;
	return words.blocks[offset >> BLOCK_BITS] + (offset & (BLOCK - 1));
}

inline long long countof(const unsigned char *r)
{
	long long c;
	memcpy(&c, r, sizeof c);
	return c;
}

// Memory for the large areas, and for the slots; null when there is none.
void *largearea(std::size_t size);
std::uint64_t *newslots(std::size_t count);
void freeslots(std::uint64_t *slots, std::size_t count);

// Lets go of every word, and of their order.
void dropwords(tnode *root);

} // namespace sitko

#endif
