// SPDX-License-Identifier: MIT
// Putting the words of one table in byte order.
#ifndef SITKO_SORTWORDS_HPP
#define SITKO_SORTWORDS_HPP

#include <cstddef>
#include <cstdint>

#include "partition.hpp"
#include "table.hpp"

namespace sitko {

// For sorting: the first eight bytes of the word, the first the highest,
// padded with zeros, which sort first, as the end of a string does.
struct sortentry {
	std::uint64_t prefix;
	unsigned char *record;
};

struct sortedwords {
	sortentry *entries;
	std::size_t n;
	bool inslots; // the entries lie where the table's slots were
};

// Takes the words of t for sorting, after which t is no longer an index:
// only its records, and the entries, are read.  False where there is no
// memory for the entries; t is no index then either, and may be gathered
// again.
bool gatherwords(wordtable &t, sortedwords &s);
// Puts n entries in byte order.
void sortentries(sortentry *entries, std::size_t n);
// gatherwords(), then sortentries().
bool sortwords(wordtable &t, sortedwords &s);
void freesorted(sortedwords &s);

// How two records' words compare in byte order, as memcmp() says, a word
// coming before any longer word it begins.
int comparewords(const unsigned char *r, const unsigned char *t);

} // namespace sitko

#endif
