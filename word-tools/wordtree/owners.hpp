// SPDX-License-Identifier: MIT
// Counting on threads, each the owner of some partitions of the vocabulary.
//
// A thread reads its input (a range of a file, or blocks of a stream handed
// to it) and counts its words in a small cache of its own, where the
// frequent ones stay, so that most words cost one probe of a table in the
// core's cache and are never routed; a word the full cache has no room
// for, and in time the cache's words with their counts, are copied into a
// buffer bound for the word's owner, which may be the thread itself.  A
// full buffer is sent, and a thread counts the buffers sent to it into its
// own table between batches of its own words, then gives each back to its
// sender.
// Nothing is locked per word; a lock is taken per buffer sent or given
// back, and to wait.  A thread waits only where it has nothing to count:
// for a block, for a buffer of its own to fill, or for the others to end.
//
// Where memory runs out in any table, every thread stops where it is, and
// the thread that ends the crew counts what they left (their last words,
// the rest of the items they had begun, their caches, the buffers on their
// way) on its own, as one pass would, so a stream that cannot be read again
// loses nothing; the items not begun go back to their source.
#ifndef SITKO_OWNERS_HPP
#define SITKO_OWNERS_HPP

#include <cstddef>
#include <cstdint>

#include "input.hpp"
#include "vocabulary.hpp"

namespace sitko {

struct crew;

// What the threads read, each item (a part, a block) handed to one of them.
struct itemsource {
	// Makes r read item.
	void (*open)(reader &r, void *item, void *context);
	// item has been read to its end through r, or as far as it could be:
	// false where that was not the whole of it.
	bool (*done)(reader &r, void *item, void *context);
	// The crew has stopped short (may be null).
	void (*stopped)(void *context);
	void *context;
};

// Why a crew stopped before its input ended.
enum class halt : int { no, shortread, nomemory };

// A crew of up to n counting threads for v, fewer where memory is short:
// null where there is not room for two.  Its threads are not yet started.
crew *newcrew(vocabulary &v, std::size_t n, const itemsource &source);
// Worker w's reader, for looking at the input before the crew starts.
reader &crewreader(crew &c, std::size_t w);
// The weight of each partition's words in in's first bytes, as shareout()
// takes them.
void sampleweights(reader &in, std::uint32_t *weight);
// Starts workers first to the last on threads of their own, and returns how
// many workers there are from then on (the workers that would not start are
// let go): at least first.  Then shares v's partitions out to them, by the
// weight given.
std::size_t startcrew(crew &c, std::size_t first, const std::uint32_t *weight);
// Hands item to worker w; null where there is no such worker.
void handitem(crew &c, std::size_t w, void *item);
// Hands item to the worker with fewest items waiting.
void handitem(crew &c, void *item);
// No more items will be handed out.
void closecrew(crew &c);
// Runs worker w on this thread, until the crew has counted every item.
void runworker(crew &c, std::size_t w);
// Whether the crew has stopped short.
halt crewhalted(const crew &c);
// Marks the crew as stopped short: an item could not be read whole.
void haltcrew(crew &c, halt why);
// Waits for the threads, counts on this thread what they left where memory
// ran out (unless told not to: input that can be read again is better
// counted again, on one thread, with all the crew's memory given back), and
// lets the crew go; what it halted for, if anything.  Where it halted, the
// items handed out and not begun were neither counted nor given to done():
// the caller counts them.
halt endcrew(crew *c, bool countleftover = true);

// Where the input may be cut into parts counted apart.
//
// Counting can begin afresh just past any byte that no word holds, as if the
// input began there.  In a run of word bytes with none, it can also begin
// afresh after a digit before any letter, which begins no word, and after a
// word cut by the limit, whose rest comes back as new words: both leave the
// scanner as it is at the start of input.

// Whether a word can hold c.
bool inword(unsigned char c);

// The last place in block, which begins afresh, where counting may begin
// afresh too, for words of at most limit bytes.
std::size_t cutpoint(const unsigned char *block, std::size_t n, std::size_t limit);

} // namespace sitko

#endif
