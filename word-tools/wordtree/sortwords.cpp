// SPDX-License-Identifier: MIT
#include "sortwords.hpp"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "check.hpp"

namespace sitko {

namespace {

std::uint64_t sortprefix(const unsigned char *r)
{
	std::uint64_t first = 0;
	for (std::size_t i = 0; i < 8; i++)
		first = first << 8 | (i < lengthof(r) ? textof(r)[i] : 0);
	return first;
}

bool before(const sortentry &a, const sortentry &b)
{
	if (a.prefix != b.prefix)
		return a.prefix < b.prefix;
	return comparewords(a.record, b.record) < 0;
}

// Sorts by the first eight bytes a byte at a time, most significant first,
// in place: each byte's buckets are found by counting and filled by swapping
// entries into them.  Small buckets, and words that agree in all eight
// bytes, are left to comparison.  It beats comparison on the prefix alone,
// whose branches are as random as the words.
void radixsort(sortentry *a, std::size_t n, int shift)
{
	if (n < 64 || shift < 0) {
		std::sort(a, a + n, before);
		return;
	}
	auto digit = [shift](const sortentry &e) {
		return static_cast<std::size_t>(e.prefix >> shift) & 0xff;
	};
	std::size_t next[256] = {}, end[256];
	for (std::size_t i = 0; i < n; i++)
		next[digit(a[i])]++;
	std::size_t at = 0;
	for (std::size_t b = 0; b < 256; b++) {
		std::size_t k = next[b];
		if (k == n) { // one bucket: on to the next byte
			radixsort(a, n, shift - 8);
			return;
		}
		next[b] = at;
		at += k;
		end[b] = at;
	}
	for (std::size_t b = 0; b < 256; b++) {
		while (next[b] < end[b]) {
			sortentry e = a[next[b]];
			for (std::size_t d = digit(e); d != b; d = digit(e))
				std::swap(e, a[next[d]++]);
			a[next[b]++] = e;
		}
	}
	std::size_t from = 0;
	for (std::size_t b = 0; b < 256; b++) {
		radixsort(a + from, end[b] - from, shift - 8);
		from = end[b];
	}
}

} // namespace

int comparewords(const unsigned char *r, const unsigned char *t)
{
	std::size_t n = std::min(lengthof(r), lengthof(t));
	int c = memcmp(textof(r), textof(t), n);
	return c != 0 ? c : static_cast<int>(lengthof(r)) - static_cast<int>(lengthof(t));
}

// Each word is sorted by its first eight bytes, held beside its record, and
// compared in full only where those agree.  The records are taken block by
// block, in the order they were made, which reads memory in order, not as
// the index scatters them; where the index is at most half full the entries
// take its place.
bool gatherwords(wordtable &t, sortedwords &s)
{
	s = {};
	std::size_t n = t.used, nslots = t.mask + 1;
	if (n == 0)
		return true;
	bool inslots = nslots * sizeof *t.slots >= n * sizeof(sortentry);
	// The index is let go before the entries are made, so the two never
	// take memory at once: an index that could not grow, for want of it,
	// would otherwise need more here than one that could.
	if (!inslots)
		freeslots(t);
	auto *entries = inslots ? reinterpret_cast<sortentry *>(t.slots)
				: static_cast<sortentry *>(largearea(n * sizeof(sortentry)));
	if (entries == nullptr)
		return false;
	sealtable(t);
	std::size_t k = 0;
	for (std::size_t b = 0; b < t.nblocks; b++) {
		for (unsigned char *r = firstrecord(t, b); countof(r) != 0 && k < n;
		     r = nextrecord(r)) {
			sortentry e = {sortprefix(r), r};
			memcpy(reinterpret_cast<unsigned char *>(entries) + k++ * sizeof e, &e,
			       sizeof e);
		}
	}
	SITKO_ASSERT(k == n);
	s = {entries, k, inslots};
	return true;
}

void sortentries(sortentry *entries, std::size_t n)
{
	radixsort(entries, n, 56);
}

bool sortwords(wordtable &t, sortedwords &s)
{
	if (!gatherwords(t, s))
		return false;
	sortentries(s.entries, s.n);
	return true;
}

void freesorted(sortedwords &s)
{
	if (!s.inslots)
		freearea(s.entries, s.n * sizeof *s.entries);
	s = {};
}

} // namespace sitko
