// SPDX-License-Identifier: MIT
// The vocabulary: every word counted so far, with its count, shared by all
// the threads that count.
//
// The words are held in PARTITIONS partitions, each a table of its own
// behind a lock of its own, and each word in the partition its first bytes
// choose (partition.hpp), so the partitions can be sorted at once on as
// many threads and written one after another.  A counting thread counts
// into a small table of its own first, its counter, which stays in the
// core's cache and holds the frequent words; the words it has no room for
// are staged, and go into the partitions together, each partition's under
// one lock.
#ifndef SITKO_VOCABULARY_HPP
#define SITKO_VOCABULARY_HPP

#include <atomic>
#include <cstddef>
#include <pthread.h>
#include <span>

#include "partition.hpp"
#include "sortwords.hpp"
#include "table.hpp"
#include "takewords.hpp"
#include "tree.hpp"
#include "wordhash.hpp"

namespace sitko {

// The words a thread's counter holds in its table: few enough that it stays
// in a core's second-level cache, and, where there are many threads, that
// all of theirs together stay near COUNTER_BUDGET words.
inline constexpr std::size_t COUNTER_WORDS = 32768;
inline constexpr std::size_t COUNTER_BUDGET = 65536;
inline constexpr std::size_t LEAST_COUNTER_WORDS = 2048;
// Once the table is full, the words it does not hold are staged, and go to
// the partitions together: STAGE_BYTES_PER_WORD bytes of staging for each
// word of the table, STAGE_WORDS words at most.  After RELEARN words more,
// the table's words go too, and it fills again with the words of the input
// as it is by then.
inline constexpr std::size_t STAGE_BYTES_PER_WORD = 12;
inline constexpr std::size_t STAGE_WORDS = 16384;
inline constexpr long long RELEARN = 1 << 20;

struct counter {
	wordtable words;
	long long sincefull; // words counted since the table filled
	unsigned char *stage;
	std::size_t stagesize;
	std::size_t staged; // bytes used in stage
	std::size_t nstaged;
	std::size_t inpartition[PARTITIONS]; // staged words of each partition
	unsigned char *grouped[STAGE_WORDS]; // the staged words, by partition
};

struct partition {
	pthread_mutex_t lock;
	wordtable words;
	sortedwords sorted; // the words of its table, in order
	sortentry *ordered; // the words to write: those, or a share of own's
	std::size_t nordered;
	char *text; // its lines, once formatted; null before, or where there was no room
	std::size_t textsize;
};

struct vocabulary {
	hashkey key;
	std::size_t counterwords;   // the most words every counter holds, or 0
	sortedwords ownsorted;      // the words of own, where they are the only ones
	std::atomic<bool> nomemory; // some word could not be counted: no report may be made
	counter own;                // the counter of addtree() and the plain pass: without a limit
	partition parts[PARTITIONS];
};

// A new vocabulary, empty; where there is no memory for one, a root that
// counts nothing and is out of memory.  Its own counter holds as many words
// as come: one thread alone counts the whole vocabulary in one table, and
// has it put in partitions only when it is sorted.  With counterwords, every
// counter holds that many (for the tests: they then empty into the
// partitions often).
vocabulary *newvocabulary(std::size_t counterwords = 0);
bool outofmemory(const vocabulary *v);
// Lets go of every word.
void dropwords(vocabulary *v);

// A counter for v, empty, for one of threads threads that count into it.
void newcounter(counter &c, const vocabulary &v, std::size_t threads);
// Whether any thread's counter has emptied into the partitions.
bool partitioned(const vocabulary &v);
// Counts each of words once; they are not empty and have the readable
// bytes after them that takewords() promises.  Nothing is counted once
// memory has run out.
void countbatch(counter &c, vocabulary &v, std::span<const wordref> words);
// Counts one word, which may be empty, and has WORD_SLACK readable bytes
// after it.
void countone(counter &c, vocabulary &v, const unsigned char *w, std::size_t len);
// Moves the counter's words into the partitions, leaving it empty.
void flushcounter(counter &c, vocabulary &v);
void freecounter(counter &c);

} // namespace sitko

#endif
