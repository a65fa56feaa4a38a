// SPDX-License-Identifier: MIT
// The report: each part's words put in byte order, then the parts merged as
// they are written, a word in several parts written once with its counts
// added.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "index.hpp"
#include "output.hpp"

namespace sitko {

namespace {

std::uint64_t sortprefix(const unsigned char *r)
{
	std::uint64_t first = 0;
	for (std::size_t i = 0; i < 8; i++)
		first = first << 8 | (i < r[8] ? r[HEADER + i] : 0);
	return first;
}

int compare(const unsigned char *r, const unsigned char *t)
{
	std::size_t n = std::min(r[8], t[8]);
	int c = memcmp(r + HEADER, t + HEADER, n);
	return c != 0 ? c : r[8] - t[8];
}

bool before(const sortentry &a, const sortentry &b)
{
	if (a.prefix != b.prefix)
		return a.prefix < b.prefix;
	return compare(a.record, b.record) < 0;
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

// "%4lld %s\n", without going through a format for every word.
void printword(const unsigned char *r, long long count)
{
	char line[24 + WORD_LIMIT];
	char digits[20];
	std::size_t nd = 0;
	auto c = static_cast<unsigned long long>(count);
	do {
		digits[nd++] = static_cast<char>('0' + c % 10);
		c /= 10;
	} while (c != 0);
	std::size_t n = 0;
	for (std::size_t pad = nd; pad < 4; pad++)
		line[n++] = ' ';
	while (nd > 0)
		line[n++] = digits[--nd];
	line[n++] = ' ';
	memcpy(line + n, r + HEADER, r[8]);
	n += r[8];
	line[n++] = '\n';
	putbytes(line, n);
}

// Where one part's merge has got to.
struct cursor {
	const sortentry *at;
	const sortentry *end;
};

// A heap of the parts by their next word, least first.
void siftdown(cursor *heap, std::size_t n, std::size_t i)
{
	cursor c = heap[i];
	for (;;) {
		std::size_t child = 2 * i + 1;
		if (child >= n)
			break;
		if (child + 1 < n && before(*heap[child + 1].at, *heap[child].at))
			child++;
		if (!before(*heap[child].at, *c.at))
			break;
		heap[i] = heap[child];
		i = child;
	}
	heap[i] = c;
}

// Takes the least word, from the heap's first part; the heap is one smaller
// when that part is done.
void advance(cursor *heap, std::size_t &n)
{
	cursor &top = heap[0];
	if (++top.at == top.end)
		top = heap[--n];
	else if (top.end - top.at > 16)
		__builtin_prefetch(top.at[16].record);
	if (n > 0)
		siftdown(heap, n, 0);
}

} // namespace

// Each word is sorted by its first eight bytes, held beside its record, and
// compared in full only where those agree.  The records are taken block by
// block, in the order they were made, which reads memory in order, not as
// the index scatters them; where the index is at most half full the entries
// take its place.
void sorttree(tnode *root)
{
	if (root == nullptr || root->nomemory || root->sorted)
		return;
	std::size_t n = root->used, nslots = root->mask + 1;
	bool inslots = nslots * sizeof *root->slots >= n * sizeof(sortentry);
	auto *order = inslots ? reinterpret_cast<sortentry *>(root->slots)
			      : static_cast<sortentry *>(largearea(n * sizeof(sortentry)));
	if (order == nullptr) {
		root->nomemory = true;
		return;
	}
	memset(root->blocks[root->nblocks - 1] + root->filled, 0, HEADER);
	std::size_t k = 0;
	for (std::size_t b = 0; b < root->nblocks; b++) {
		unsigned char *r = root->blocks[b] + (b == 0 ? EMPTY_RECORD : 0);
		for (; countof(r) != 0 && k < n; r += HEADER + r[8]) {
			sortentry e = {sortprefix(r), r};
			memcpy(reinterpret_cast<unsigned char *>(order) + k++ * sizeof e, &e,
			       sizeof e);
		}
	}
	if (!inslots) {
		freeslots(root->slots, nslots);
		root->slots = nullptr;
	}
	radixsort(order, k, 56);
	root->order = order;
	root->nordered = k;
	root->orderinslots = inslots;
	root->sorted = true;
}

bool treeprint(std::span<tnode *const> roots)
{
	bool whole = roots.size() <= MAX_ROOTS;
	for (tnode *root : roots) {
		sorttree(root);
		if (root != nullptr && root->nomemory)
			whole = false;
	}
	cursor heap[MAX_ROOTS];
	std::size_t n = 0;
	for (tnode *root : roots)
		if (whole && root != nullptr && root->nordered > 0)
			heap[n++] = {root->order, root->order + root->nordered};
	for (std::size_t i = n / 2; i-- > 0;)
		siftdown(heap, n, i);
	while (n > 0) {
		const sortentry first = *heap[0].at;
		const unsigned char *word = first.record;
		long long total = countof(word);
		advance(heap, n);
		// No part holds a word twice; most words are in one part, and
		// their neighbours differ in the first eight bytes.
		while (n > 0 && heap[0].at->prefix == first.prefix &&
		       compare(heap[0].at->record, word) == 0) {
			total += countof(heap[0].at->record);
			advance(heap, n);
		}
		printword(word, total);
	}
	for (tnode *root : roots)
		dropwords(root);
	return whole;
}

bool treeprint(tnode *root)
{
	return treeprint(std::span<tnode *const>(&root, 1));
}

} // namespace sitko
