// SPDX-License-Identifier: MIT
// The words are counted in a hash index and put in order only once, when
// they are written: keeping them ordered all along (a balanced tree) costs
// some twenty string comparisons and as many cache misses for every new
// word, and nothing reads the order before the end.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <sys/mman.h>

#include "index.hpp"

namespace sitko {

namespace {

constexpr std::size_t MOST_BLOCKS = std::size_t{1} << (OFFSET_BITS - BLOCK_BITS);
// Words are taken in this many at a time: every step is done for all of
// them before the next step, so what one step fetches has come by the next.
constexpr std::size_t CHUNK = 128;

// The root handed out when there is no memory even for a root: it counts
// nothing and is never written to.
constinit tnode nomemoryroot = [] {
	tnode root{};
	root.nomemory = true;
	return root;
}();

// The slots and records are reached in no order, so with small pages
// nearly every probe of a large index also misses the address cache; the
// large areas ask for huge pages, where the system has them.
constexpr std::size_t HUGE_PAGE = std::size_t{1} << 21;

void hugepages(void *p, std::size_t size)
{
#if defined(MADV_HUGEPAGE)
	if (size >= HUGE_PAGE)
		madvise(p, size, MADV_HUGEPAGE);
#else
	(void)p;
	(void)size;
#endif
}

void setcount(unsigned char *r, long long c)
{
	memcpy(r, &c, sizeof c);
}

bool newblock(tnode &words)
{
	if (words.nblocks == MOST_BLOCKS)
		return false;
	if (words.nblocks > 0) // room was left after the last record
		memset(words.blocks[words.nblocks - 1] + words.filled, 0, HEADER);
	if (words.nblocks == words.blockroom) {
		std::size_t room = words.blockroom == 0 ? 64 : 2 * words.blockroom;
		auto **more = static_cast<unsigned char **>(
			realloc(words.blocks, room * sizeof *words.blocks));
		if (more == nullptr)
			return false;
		words.blocks = more;
		words.blockroom = room;
	}
	auto *block = static_cast<unsigned char *>(largearea(BLOCK));
	if (block == nullptr)
		return false;
	words.blocks[words.nblocks++] = block;
	words.filled = 0;
	if (words.nblocks == 1) {
		memset(block, 0, EMPTY_RECORD);
		words.filled = EMPTY_RECORD;
	}
	return true;
}

// A new record for the word, counted once; 0, the empty record, when there
// is no room for it.
std::uint64_t newrecord(tnode &words, const unsigned char *w, std::size_t len)
{
	if (words.filled + HEADER + len + WORD_SLACK > BLOCK && !newblock(words))
		return 0;
	std::uint64_t offset = (std::uint64_t{words.nblocks - 1} << BLOCK_BITS) | words.filled;
	unsigned char *r = record(words, offset);
	setcount(r, 1);
	r[8] = static_cast<unsigned char>(len);
	memcpy(r + HEADER, w, len);
	words.filled += HEADER + len;
	return offset;
}

inline bool same(const unsigned char *r, const unsigned char *w, std::size_t len)
{
	if (r[8] != len)
		return false;
	const unsigned char *t = r + HEADER;
	std::size_t i = 0;
	if (len > 16) [[unlikely]] {
		for (; len - i > 16; i += 16)
			if ((load8(t + i) ^ load8(w + i)) | (load8(t + i + 8) ^ load8(w + i + 8)))
				return false;
	}
	std::size_t left = len - i;
	return (((load8(t + i) ^ load8(w + i)) & pieces.first[left]) |
		((load8(t + i + 8) ^ load8(w + i + 8)) & pieces.second[left])) == 0;
}

std::uint64_t hashof(const tnode &words, const unsigned char *r)
{
	return wordhash(r + HEADER, r[8], words.key);
}

std::size_t firstslot(const tnode &words, std::uint64_t hash)
{
	return static_cast<std::size_t>(hash) & words.mask;
}

// Twice the slots; false, with the index as it was, where there is no
// memory for them.
bool grow(tnode &words)
{
	std::uint64_t *old = words.slots;
	std::size_t oldcount = old != nullptr ? words.mask + 1 : 0;
	if (old == nullptr) {
		words.key = randomkey();
		if (words.nblocks == 0 && !newblock(words))
			return false;
	}
	std::size_t count = oldcount == 0 ? 1024 : 2 * oldcount;
	std::uint64_t *slots = newslots(count);
	if (slots == nullptr)
		return false;
	words.slots = slots;
	words.mask = count - 1;
	for (std::size_t i = 0; i < oldcount; i++) {
		if (i + 16 < oldcount && old[i + 16] != 0)
			__builtin_prefetch(record(words, old[i + 16]));
		if (old[i] == 0)
			continue;
		std::size_t j = firstslot(words, hashof(words, record(words, old[i])));
		while (words.slots[j] != 0)
			j = (j + 1) & words.mask;
		words.slots[j] = old[i];
	}
	freeslots(old, oldcount);
	return true;
}

// Counts the word the slow way; false where memory ran out.
bool count(tnode &words, const unsigned char *w, std::size_t len, std::uint64_t hash)
{
	std::uint64_t tag = hash >> OFFSET_BITS;
	std::size_t i = firstslot(words, hash);
	for (std::uint64_t s; (s = words.slots[i]) != 0; i = (i + 1) & words.mask) {
		if (s >> OFFSET_BITS != tag)
			continue;
		unsigned char *r = record(words, s);
		if (same(r, w, len)) {
			setcount(r, countof(r) + 1);
			return true;
		}
	}
	std::uint64_t offset = newrecord(words, w, len);
	if (offset == 0)
		return false;
	words.slots[i] = tag << OFFSET_BITS | offset;
	// At most eight slots in ten are used, so a probe seldom goes far.
	if (10 * ++words.used > 8 * (words.mask + 1))
		return grow(words);
	return true;
}

tnode *outofmemory(tnode *root)
{
	root->nomemory = true;
	return root;
}

} // namespace

void *largearea(std::size_t size)
{
	void *p = nullptr;
	if (size < HUGE_PAGE)
		p = malloc(size);
	else if (posix_memalign(&p, HUGE_PAGE, size) != 0)
		p = nullptr;
	if (p != nullptr)
		hugepages(p, size);
	return p;
}

// The index comes zeroed from the system, which zeroes its pages anyway.
std::uint64_t *newslots(std::size_t count)
{
	std::size_t size = count * sizeof(std::uint64_t);
	void *p = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
	if (p == MAP_FAILED)
		return nullptr;
	hugepages(p, size);
	return static_cast<std::uint64_t *>(p);
}

void freeslots(std::uint64_t *slots, std::size_t count)
{
	if (slots != nullptr)
		munmap(slots, count * sizeof *slots);
}

void dropwords(tnode *root)
{
	if (root == nullptr || root == &nomemoryroot)
		return;
	if (!root->orderinslots)
		free(root->order);
	freeslots(root->slots, root->mask + 1);
	for (std::size_t i = 0; i < root->nblocks; i++)
		free(root->blocks[i]);
	free(root->blocks);
	free(root);
}

tnode *addwords(tnode *root, std::span<const wordref> batch)
{
	if (root == nullptr) {
		root = static_cast<tnode *>(calloc(1, sizeof *root));
		if (root == nullptr)
			return &nomemoryroot;
	}
	tnode &words = *root;
	if (words.nomemory)
		return root;
	if (words.slots == nullptr && !grow(words))
		return outofmemory(root);
	// Three steps for the words of a chunk: hash each and fetch its first
	// slot; look along the slots for its tag and fetch the record named
	// there; count it.
	// The index is kept in locals here, as writes to a count could be
	// writes to anything; only a new word changes it.
	std::uint64_t *slots = words.slots;
	std::size_t mask = words.mask;
	unsigned char **blocks = words.blocks;
	const hashkey key = words.key;
	while (!batch.empty()) {
		std::size_t n = std::min(batch.size(), CHUNK);
		std::uint64_t hash[CHUNK];
		unsigned char *seen[CHUNK];
		for (std::size_t k = 0; k < n; k++) {
			hash[k] = wordhash(batch[k].text, batch[k].len, key);
			__builtin_prefetch(&slots[static_cast<std::size_t>(hash[k]) & mask]);
		}
		for (std::size_t j = 0; j < n; j++) {
			// The word is nearly always in one of its first two slots,
			// so both are looked at and one chosen, without a branch
			// that could go either way; an empty slot or a word further
			// on gets the empty record, and the slow way in the next step.
			std::uint64_t tag = hash[j] >> OFFSET_BITS;
			std::size_t i = static_cast<std::size_t>(hash[j]) & mask;
			std::uint64_t s0 = slots[i], s1 = slots[(i + 1) & mask];
			bool first = s0 != 0 && s0 >> OFFSET_BITS == tag;
			bool second = s1 != 0 && s1 >> OFFSET_BITS == tag;
			std::uint64_t s = first ? s0 : second ? s1 : 0;
			seen[j] = blocks[(s & OFFSET_MASK) >> BLOCK_BITS] + (s & (BLOCK - 1));
			__builtin_prefetch(seen[j]);
		}
		for (std::size_t j = 0; j < n; j++) {
			if (same(seen[j], batch[j].text, batch[j].len)) {
				setcount(seen[j], countof(seen[j]) + 1);
			} else {
				if (!count(words, batch[j].text, batch[j].len, hash[j]))
					return outofmemory(root);
				slots = words.slots;
				mask = words.mask;
				blocks = words.blocks;
			}
		}
		batch = batch.subspan(n);
	}
	return root;
}

tnode *addtree(tnode *root, const char *word)
{
	unsigned char padded[WORD_LIMIT + WORD_SLACK] = {};
	std::size_t len = strnlen(word, WORD_LIMIT);
	memcpy(padded, word, len);
	wordref w = {padded, len};
	if (len != 0)
		return addwords(root, {&w, 1});
	// addwords() would take the empty word for the empty record, which
	// stands for no word at all; it goes the slow way.
	root = addwords(root, {});
	if (!root->nomemory && !count(*root, padded, 0, wordhash(padded, 0, root->key)))
		return outofmemory(root);
	return root;
}

} // namespace sitko
