// SPDX-License-Identifier: MIT
// The vocabulary: every word counted so far, with its count.
//
// The words fall into PARTITIONS partitions in byte order (partition.hpp),
// and each partition belongs to one table.  One pass has a single table that
// holds them all.  Counting on threads, each thread owns some partitions and
// alone writes the table that holds them: it counts the words it reads in
// a small cache of its own first, and sends those the cache cannot hold to
// their owners (owners.hpp).  No table is locked, and the tables together
// hold one vocabulary.
#ifndef SITKO_VOCABULARY_HPP
#define SITKO_VOCABULARY_HPP

#include <atomic>
#include <cstddef>
#include <span>

#include "input.hpp"
#include "partition.hpp"
#include "sortwords.hpp"
#include "table.hpp"
#include "takewords.hpp"
#include "threads.hpp"
#include "tree.hpp"
#include "wordhash.hpp"

namespace sitko {

static_assert(MAX_THREADS <= 256, "a partition's owner is held in a byte");

// A partition, once its table's words are sorted: its words in order, then
// its lines.
struct partition {
	sortentry *ordered;
	std::size_t nordered;
	char *text; // its lines; null before, or where there was no room
	std::size_t textsize;
};

struct vocabulary {
	hashkey key;
	std::size_t ntables;
	std::size_t sendsize;       // for the tests: the bytes of a send buffer, or 0
	std::size_t tablelimit;     // for the tests: the words a thread's table takes, or 0
	std::atomic<bool> nomemory; // some word could not be counted: no report may be made
	unsigned char owner[PARTITIONS];
	wordtable tables[MAX_THREADS];
	sortedwords sorted[MAX_THREADS];
	partition parts[PARTITIONS];
};

// A new vocabulary, empty, of one table; where there is no memory for one,
// a root that counts nothing and is out of memory.  For the tests: sendsize
// makes the buffers that carry words between threads that small, so that
// they are sent all the time, and tablelimit makes a thread's table take no
// more words than that, as if memory ran out there, so that the threads
// stop and leave the rest to one.
vocabulary *newvocabulary(std::size_t sendsize = 0, std::size_t tablelimit = 0);
bool outofmemory(const vocabulary *v);
// Lets go of every word.
void dropwords(vocabulary *v);
// Memory has been given back: a table that could not grow tries again at
// its next new word, before it holds more words than it would have had it
// grown when it first tried.
void retrygrowth(vocabulary &v);
// Gives back the free heap that threads keep (wordtree.cpp), as one pass,
// which keeps none, would have it.
void trimheap();

// Shares the partitions out to ntables tables, before any word is counted,
// so that each table gets about as much of weight, the work a partition's
// words were seen to cost.
void shareout(vocabulary &v, std::size_t ntables, std::span<const std::uint32_t> weight);

// Counts each of words into the table of its partition; they have the
// readable bytes after them that takewords() promises.
// Nothing more is counted once memory has run out.
void addwords(vocabulary &v, std::span<const wordref> words);
// The same for sent words (layout.hpp).
void addsent(vocabulary &v, std::span<const unsigned char *const> sent);

// The longest word: the rest of a longer one comes back as further words.
inline constexpr std::size_t LONGEST_WORD = 99;
// The words taken from a reader at a time.
inline constexpr std::size_t BATCH = 256;

// Counts the words of in into v, each into its partition's table, until
// its input ends; scan is in's, zeroed before its first words.  Once memory
// has run out, the rest of the input is still read, as one pass reads it.
void countreader(reader &in, wordscan &scan, vocabulary &v);

// The ways of counting a reader's words into root (null before the first
// word) take it by reference and return a status: -1 where they counted
// nothing and left it to another way, 1 where the input's rest could not
// be read, and 0 otherwise.  This one is the plain pass: the words of in, as
// far as it goes.
int countinput(reader &in, vocabulary *&root);

} // namespace sitko

#endif
