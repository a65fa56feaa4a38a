// SPDX-License-Identifier: MIT
// A hash index of words and their counts: the words of the partitions one
// thread owns, or every word where one thread counts them all.
//
// A slot (layout.hpp) names where the word's record lies and holds 24
// further bits of its hash, so most probes that are not the word end in the
// slot and never touch the record.  Records are packed one after another
// into blocks that grow as the words do, from a page up to the table's
// largest block, so nothing large is made before the vocabulary needs it.
#ifndef SITKO_TABLE_HPP
#define SITKO_TABLE_HPP

#include <cstddef>
#include <cstdint>
#include <span>

#include "layout.hpp"
#include "takewords.hpp"
#include "wordhash.hpp"

namespace sitko {

struct wordtable {
	std::uint64_t *slots;
	std::size_t mask; // the number of slots less one
	std::size_t used;
	unsigned char **blocks;
	std::size_t nblocks;   // in use
	std::size_t made;      // kept, those in use and those a cleared table left
	std::size_t blockroom; // room in blocks for block pointers
	std::size_t filled;    // bytes used in the last block
	unsigned blockbits;    // its largest block: 2 to this power of bytes
	std::size_t limit;     // for the tests: no new word past this many, as if memory ran out
	std::size_t growat;    // 0, or since growing once failed, the words to try again at
	// While a crew counts: whether there is room to grow is looked at an
	// eighth of the slots early (lookedat: at which size it was).
	bool lookahead;
	std::size_t lookedat;
};

inline constexpr unsigned BLOCK_BITS = 21;
inline constexpr std::size_t BLOCK = std::size_t{1} << BLOCK_BITS;
inline constexpr unsigned FIRST_BLOCK_BITS = 12;
// The first block begins with a record no word matches, of length 0, at
// offset 0: the record of an empty slot.  Each block's records end with a
// record of count 0, written when the next block is begun (for the last, by
// sealtable()).
inline constexpr std::size_t EMPTY_RECORD = 32;

inline unsigned char *record(const wordtable &t, std::uint64_t slot)
{
	std::uint64_t offset = slotoffset(slot);
	return t.blocks[offset >> BLOCK_BITS] + (offset & (BLOCK - 1));
}

// A table, empty, whose blocks grow up to 2 to the power blockbits bytes
// (FIRST_BLOCK_BITS to BLOCK_BITS): many tables at once keep their blocks
// small, so that the room made and not yet used stays small in all.
void newtable(wordtable &t, unsigned blockbits = BLOCK_BITS);
// Makes an empty table's slots room enough for words words, so that it need
// not grow (for the benchmark's floor); false where there is no memory.
bool reservetable(wordtable &t, std::size_t words);

// Counts each of words once, in turn; a new word is copied.  Returns how
// many it counted: fewer only where memory ran out, and then the next word
// was not counted.  The words have WORD_SLACK readable bytes after them.
std::size_t tableadd(wordtable &t, std::span<const wordref> words, hashkey key);
// What is done with a word the table has no room for: take(context, i,
// hash) is given its index among the words and its hash, and says whether
// the words after it may be counted.
struct missedword {
	bool (*take)(void *context, std::size_t i, std::uint64_t hash);
	void *context;
};
// The same, each word the table has no room for given to missed, and
// counting going on after it where missed says so.
std::size_t tableadd(wordtable &t, std::span<const wordref> words, hashkey key,
		     const missedword &missed);
// The same for sent words (layout.hpp), each with its hash and count.
std::size_t tableaddsent(wordtable &t, std::span<const unsigned char *const> sent, hashkey key);
// Adds n to the count of one word, of the hash given; false, with nothing
// counted, where memory ran out or the table is at its limit.
bool tablecount(wordtable &t, const unsigned char *w, std::size_t len, std::uint64_t hash,
		long long n, hashkey key);
// Forgets every word, keeping its slots and blocks.
void cleartable(wordtable &t);

// Ends the last block's records, so that they can be walked in the order
// they were made: firstrecord(), then nextrecord() until a count of 0.
void sealtable(wordtable &t);
// Once no word will be added: seals the table, and gives back the pages
// its last block has not used, so that many tables hold no more than one.
void trimtable(wordtable &t);
unsigned char *firstrecord(const wordtable &t, std::size_t block);
inline unsigned char *nextrecord(unsigned char *r)
{
	return r + recordsize(r);
}

void freetable(wordtable &t);

// Memory for large areas, and zeroed slots; null where there is none.  Not
// `new`, which would bring in the C++ runtime library for nothing else.  An
// area is let go with its size, slots with their table.
void *largearea(std::size_t size);
void freearea(void *p, std::size_t size);
std::uint64_t *newslots(std::size_t count);
void freeslots(wordtable &t);

} // namespace sitko

#endif
