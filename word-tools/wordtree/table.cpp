// SPDX-License-Identifier: MIT
// The words are counted in hash indexes and put in order only once, when
// they are written: keeping them ordered all along (a balanced tree) costs
// some twenty string comparisons and as many cache misses for every new
// word, and nothing reads the order before the end.
#include "table.hpp"

#include <algorithm>
#include <cstdlib>
#include <sys/mman.h>

namespace sitko {

namespace {

constexpr std::size_t MOST_BLOCKS = std::size_t{1} << (OFFSET_BITS - BLOCK_BITS);
constexpr std::size_t FIRST_SLOTS = 64;
// Words are taken in this many at a time: every step is done for all of
// them before the next step, so what one step fetches has come by the next.
constexpr std::size_t CHUNK = 128;

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

bool newblock(wordtable &t)
{
	if (t.nblocks == MOST_BLOCKS)
		return false;
	if (t.nblocks == t.blockroom) {
		std::size_t room = t.blockroom == 0 ? 16 : 2 * t.blockroom;
		auto **more =
			static_cast<unsigned char **>(realloc(t.blocks, room * sizeof *t.blocks));
		if (more == nullptr)
			return false;
		t.blocks = more;
		t.blockroom = room;
	}
	// A table emptied to be filled again (a thread's counter) keeps its
	// blocks, which are warm in the cache, rather than ask for new ones.
	unsigned char *block =
		t.nblocks < t.kept ? t.blocks[t.nblocks]
				   : static_cast<unsigned char *>(largearea(blocksize(t.nblocks)));
	if (block == nullptr)
		return false;
	t.kept = std::max(t.kept, t.nblocks + 1);
	if (t.nblocks > 0) // room was left after the last record
		memset(t.blocks[t.nblocks - 1] + t.filled, 0, HEADER);
	t.blocks[t.nblocks++] = block;
	t.filled = 0;
	if (t.nblocks == 1) {
		memset(block, 0, EMPTY_RECORD);
		t.filled = EMPTY_RECORD;
	}
	return true;
}

// A new record for the word, with count n; 0, the empty record, when there
// is no room for it.
std::uint64_t newrecord(wordtable &t, const unsigned char *w, std::size_t len, long long n)
{
	if (t.filled + HEADER + len + WORD_SLACK > blocksize(t.nblocks - 1) && !newblock(t))
		return 0;
	std::uint64_t offset = (std::uint64_t{t.nblocks - 1} << BLOCK_BITS) | t.filled;
	unsigned char *r = record(t, offset);
	setcount(r, n);
	r[8] = static_cast<unsigned char>(len);
	memcpy(r + HEADER, w, len);
	t.filled += HEADER + len;
	return offset;
}

inline bool same(const unsigned char *r, const unsigned char *w, std::size_t len)
{
	if (r[8] != len)
		return false;
	const unsigned char *s = r + HEADER;
	std::size_t i = 0;
	if (len > 16) [[unlikely]] {
		for (; len - i > 16; i += 16)
			if ((load8(s + i) ^ load8(w + i)) | (load8(s + i + 8) ^ load8(w + i + 8)))
				return false;
	}
	std::size_t left = len - i;
	return (((load8(s + i) ^ load8(w + i)) & pieces.first[left]) |
		((load8(s + i + 8) ^ load8(w + i + 8)) & pieces.second[left])) == 0;
}

// The slots, where there are none yet: enough for the limit at most half
// full, so a table with a limit never grows.
bool firstslots(wordtable &t)
{
	if (t.nblocks == 0 && !newblock(t))
		return false;
	std::size_t count = FIRST_SLOTS;
	while (t.limit != 0 && count < 2 * t.limit)
		count *= 2;
	t.slots = newslots(count);
	if (t.slots == nullptr)
		return false;
	t.mask = count - 1;
	return true;
}

// Twice the slots; false, with the table as it was, where there is no
// memory for them.  Hashes are not kept: each is found again from its record.
bool grow(wordtable &t, hashkey key)
{
	std::uint64_t *old = t.slots;
	std::size_t oldcount = t.mask + 1;
	std::size_t count = 2 * oldcount;
	std::uint64_t *slots = newslots(count);
	if (slots == nullptr)
		return false;
	t.slots = slots;
	t.mask = count - 1;
	for (std::size_t i = 0; i < oldcount; i++) {
		if (i + 16 < oldcount && old[i + 16] != 0)
			__builtin_prefetch(record(t, old[i + 16]));
		if (old[i] == 0)
			continue;
		const unsigned char *r = record(t, old[i]);
		std::size_t j =
			static_cast<std::size_t>(wordhash(textof(r), lengthof(r), key)) & t.mask;
		while (t.slots[j] != 0)
			j = (j + 1) & t.mask;
		t.slots[j] = old[i];
	}
	freeslots(old);
	return true;
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

// Small slot arrays come zeroed from malloc; large ones are asked for in
// huge pages.
std::uint64_t *newslots(std::size_t count)
{
	std::size_t size = count * sizeof(std::uint64_t);
	if (size < HUGE_PAGE)
		return static_cast<std::uint64_t *>(calloc(count, sizeof(std::uint64_t)));
	void *p = largearea(size);
	if (p != nullptr)
		memset(p, 0, size);
	return static_cast<std::uint64_t *>(p);
}

void freeslots(std::uint64_t *slots)
{
	free(slots);
}

void newtable(wordtable &t, std::size_t limit)
{
	t = {};
	t.limit = limit;
}

counted tablecount(wordtable &t, const unsigned char *w, std::size_t len, std::uint64_t hash,
		   long long n, hashkey key)
{
	if (t.slots == nullptr && !firstslots(t)) {
		t.nomemory = true;
		return counted::nomemory;
	}
	std::uint64_t tag = hash >> OFFSET_BITS;
	std::size_t i = static_cast<std::size_t>(hash) & t.mask;
	for (std::uint64_t s; (s = t.slots[i]) != 0; i = (i + 1) & t.mask) {
		if (s >> OFFSET_BITS != tag)
			continue;
		unsigned char *r = record(t, s);
		if (same(r, w, len)) {
			setcount(r, countof(r) + n);
			return counted::yes;
		}
	}
	if (t.limit != 0 && t.used == t.limit)
		return counted::full;
	std::uint64_t offset = newrecord(t, w, len, n);
	if (offset == 0) {
		t.nomemory = true;
		return counted::nomemory;
	}
	t.slots[i] = tag << OFFSET_BITS | offset;
	// At most eight slots in ten are used, so a probe seldom goes far.
	if (10 * ++t.used > 8 * (t.mask + 1) && !grow(t, key)) {
		t.nomemory = true;
		return counted::nomemory;
	}
	return counted::yes;
}

namespace {

// Counts words in three steps, a chunk of them at a time: hash each and
// fetch its first slot; look along the slots for its tag and fetch the
// record named there; count it.  The table is kept in locals here, as writes
// to a count could be writes to anything; only a new word changes it.  A
// word that finds the table full goes to missed.  Returns how many of the
// words were counted or missed: fewer only where memory ran out.
template <class Words, class Missed>
std::size_t addall(wordtable &t, const Words &words, std::size_t count, hashkey key, Missed missed)
{
	if (t.slots == nullptr && !firstslots(t)) {
		t.nomemory = true;
		return 0;
	}
	std::uint64_t *slots = t.slots;
	std::size_t mask = t.mask;
	unsigned char **blocks = t.blocks;
	for (std::size_t done = 0; done < count; done += CHUNK) {
		std::size_t n = std::min(count - done, CHUNK);
		std::uint64_t hash[CHUNK];
		unsigned char *seen[CHUNK];
		for (std::size_t k = 0; k < n; k++) {
			hash[k] = words.hash(done + k, key);
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
			const unsigned char *w = words.text(done + j);
			std::size_t len = words.length(done + j);
			long long c = words.count(done + j);
			// The empty word would match the empty record.
			if (len != 0 && same(seen[j], w, len)) {
				setcount(seen[j], countof(seen[j]) + c);
				continue;
			}
			counted r = tablecount(t, w, len, hash[j], c, key);
			if (r == counted::nomemory)
				return done + j;
			if (r == counted::full)
				missed(done + j, hash[j]);
			slots = t.slots;
			mask = t.mask;
			blocks = t.blocks;
		}
	}
	return count;
}

struct freshwords {
	std::span<const wordref> words;
	std::uint64_t hash(std::size_t i, hashkey key) const
	{
		return wordhash(words[i].text, words[i].len, key);
	}
	const unsigned char *text(std::size_t i) const
	{
		return words[i].text;
	}
	std::size_t length(std::size_t i) const
	{
		return words[i].len;
	}
	long long count(std::size_t) const
	{
		return 1;
	}
};

struct stagedwords {
	unsigned char *const *entries;
	std::uint64_t hash(std::size_t i, hashkey) const
	{
		return stagedhash(entries[i]);
	}
	const unsigned char *text(std::size_t i) const
	{
		return stagedtext(entries[i]);
	}
	std::size_t length(std::size_t i) const
	{
		return stagedlength(entries[i]);
	}
	long long count(std::size_t i) const
	{
		return stagedcount(entries[i]);
	}
};

} // namespace

std::size_t tableadd(wordtable &t, std::span<const wordref> words, hashkey key, missedword *missed,
		     std::size_t &nmissed)
{
	nmissed = 0;
	return addall(t, freshwords{words}, words.size(), key,
		      [&](std::size_t i, std::uint64_t hash) {
			      missed[nmissed++] = {words[i], hash};
		      });
}

bool tablemerge(wordtable &t, unsigned char *const *entries, std::size_t n, hashkey key)
{
	addall(t, stagedwords{entries}, n, key, [](std::size_t, std::uint64_t) {});
	return !t.nomemory;
}

void sealtable(wordtable &t)
{
	if (t.nblocks > 0)
		memset(t.blocks[t.nblocks - 1] + t.filled, 0, HEADER);
}

unsigned char *firstrecord(const wordtable &t, std::size_t block)
{
	return t.blocks[block] + (block == 0 ? EMPTY_RECORD : 0);
}

void cleartable(wordtable &t)
{
	if (t.slots != nullptr)
		memset(t.slots, 0, (t.mask + 1) * sizeof *t.slots);
	t.nblocks = std::min<std::size_t>(t.nblocks, 1);
	t.filled = EMPTY_RECORD;
	t.used = 0;
}

void freetable(wordtable &t)
{
	freeslots(t.slots);
	for (std::size_t i = 0; i < t.kept; i++)
		free(t.blocks[i]);
	free(t.blocks);
	newtable(t, t.limit);
}

} // namespace sitko
