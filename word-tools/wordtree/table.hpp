// SPDX-License-Identifier: MIT
// A hash index of words and their counts: one partition of the vocabulary,
// or a counting thread's small table in front of it.
//
// A slot is eight bytes: where the word's record lies and 24 further bits
// of its hash, so most probes that are not the word end in the slot and
// never touch the record.  A record is the count, the length and the bytes
// of the word, packed one after another into blocks that grow as the words
// do, from a page up to BLOCK.
#ifndef SITKO_TABLE_HPP
#define SITKO_TABLE_HPP

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>

#include "takewords.hpp"
#include "wordhash.hpp"

namespace sitko {

struct wordtable {
	std::uint64_t *slots;
	std::size_t mask; // the number of slots less one
	std::size_t used;
	std::size_t limit; // the most words it takes; 0 for as many as memory allows
	unsigned char **blocks;
	std::size_t nblocks;
	std::size_t kept;      // blocks made, in use or kept for reuse
	std::size_t blockroom; // room in blocks for block pointers
	std::size_t filled;    // bytes used in the last block
	bool nomemory;         // a word could not be counted
};

inline constexpr unsigned OFFSET_BITS = 40;
inline constexpr std::uint64_t OFFSET_MASK = (std::uint64_t{1} << OFFSET_BITS) - 1;
inline constexpr unsigned BLOCK_BITS = 21;
inline constexpr std::size_t BLOCK = std::size_t{1} << BLOCK_BITS;
inline constexpr unsigned FIRST_BLOCK_BITS = 12;
// Count, length, and the word, with WORD_SLACK bytes after it that may be
// read, so it can be compared sixteen bytes at a time.
inline constexpr std::size_t HEADER = 9;
// The first block begins with a record no word matches, of length 0, at
// offset 0: the record of an empty slot.  Each block's records end with a
// record of count 0, written when the next block is begun (for the last, by
// sealtable()).
inline constexpr std::size_t EMPTY_RECORD = 32;

inline std::size_t blocksize(std::size_t i)
{
	return i >= BLOCK_BITS - FIRST_BLOCK_BITS ? BLOCK
						  : std::size_t{1} << (FIRST_BLOCK_BITS + i);
}

inline unsigned char *record(const wordtable &t, std::uint64_t slot)
{
	std::uint64_t offset = slot & OFFSET_MASK;
	return t.blocks[offset >> BLOCK_BITS] + (offset & (BLOCK - 1));
}

inline long long countof(const unsigned char *r)
{
	long long c;
	memcpy(&c, r, sizeof c);
	return c;
}

inline void setcount(unsigned char *r, long long c)
{
	memcpy(r, &c, sizeof c);
}

inline std::size_t lengthof(const unsigned char *r)
{
	return r[8];
}

inline const unsigned char *textof(const unsigned char *r)
{
	return r + HEADER;
}

// A table that takes at most limit words (0 for no limit), empty.
void newtable(wordtable &t, std::size_t limit);

// What tablecount() did with a word.
enum class counted { yes, full, nomemory };

// Adds n to the count of the word, of hash wordhash(w, len, key), which has
// WORD_SLACK readable bytes after it; a new word is copied.  Where memory
// runs out the table remembers it (a word may then have been counted).
counted tablecount(wordtable &t, const unsigned char *w, std::size_t len, std::uint64_t hash,
		   long long n, hashkey key);

// A word that found the table full, with its hash.
struct missedword {
	wordref word;
	std::uint64_t hash;
};

// Counts each of words once, in turn, as tablecount() would; the words that
// find the table full go to missed (room for all of them), nmissed of them.
// Returns how many words it took: fewer only where memory ran out.  The
// words are not empty.
std::size_t tableadd(wordtable &t, std::span<const wordref> words, hashkey key, missedword *missed,
		     std::size_t &nmissed);

// A staged word, on its way to a partition: its hash, count, length and
// partition, then its bytes, with WORD_SLACK readable bytes after them.
inline constexpr std::size_t STAGED_HEADER = 18;

inline std::uint64_t stagedhash(const unsigned char *e)
{
	return load8(e);
}

inline long long stagedcount(const unsigned char *e)
{
	return countof(e + 8);
}

inline std::size_t stagedlength(const unsigned char *e)
{
	return e[16];
}

inline std::size_t stagedpartition(const unsigned char *e)
{
	return e[17];
}

inline const unsigned char *stagedtext(const unsigned char *e)
{
	return e + STAGED_HEADER;
}

// Adds the staged words to t, as tablecount() would; false where memory
// ran out.
bool tablemerge(wordtable &t, unsigned char *const *entries, std::size_t n, hashkey key);

// Ends the last block's records, so that they can be walked in the order
// they were made: firstrecord(), then nextrecord() until a count of 0.
void sealtable(wordtable &t);
unsigned char *firstrecord(const wordtable &t, std::size_t block);
inline unsigned char *nextrecord(unsigned char *r)
{
	return r + HEADER + lengthof(r);
}

// Forgets every word, keeping room for as many again.
void cleartable(wordtable &t);
void freetable(wordtable &t);

// Memory for large areas and for slots, null when there is none.
void *largearea(std::size_t size);
std::uint64_t *newslots(std::size_t count);
void freeslots(std::uint64_t *slots);

} // namespace sitko

#endif
