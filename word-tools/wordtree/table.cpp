// SPDX-License-Identifier: MIT
// The words are counted in hash indexes and put in order only once, when
// they are written: keeping them ordered all along (a balanced tree) costs
// some twenty string comparisons and as many cache misses for every new
// word, and nothing reads the order before the end.
#include "table.hpp"

#include <algorithm>
#include <cstdlib>
#include <sys/mman.h>
#include <unistd.h>

#include "check.hpp"

namespace sitko {

namespace {

constexpr std::size_t MOST_BLOCKS = std::size_t{1} << (OFFSET_BITS - BLOCK_BITS);
constexpr std::size_t FIRST_SLOTS = 64;
// Words are taken in this many at a time: every step is done for all of
// them before the next step, so what one step fetches has come by the next.
constexpr std::size_t CHUNK = 128;
// Records whose new slots are fetched ahead while a table grows.
constexpr std::size_t AHEAD = 16;

// The slots and records are reached in no order, so with small pages
// nearly every probe of a large index also misses the address cache; the
// large areas ask for huge pages, where the system has them.
constexpr std::size_t HUGE_PAGE = std::size_t{1} << 21;
constexpr std::size_t MAPPED = std::size_t{64} << 10;

static_assert(EMPTY_RECORD >= HEADER + WORD_SLACK);

std::size_t blocksize(const wordtable &t, std::size_t i)
{
	unsigned bits = FIRST_BLOCK_BITS + static_cast<unsigned>(std::min<std::size_t>(i, 32));
	return std::size_t{1} << std::min(bits, t.blockbits);
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
	if (t.nblocks == t.made) {
		t.blocks[t.made] = static_cast<unsigned char *>(largearea(blocksize(t, t.made)));
		if (t.blocks[t.made] == nullptr)
			return false;
		t.made++;
	}
	unsigned char *block = t.blocks[t.nblocks];
	if (t.nblocks > 0) // room was left after the last record
		memset(t.blocks[t.nblocks - 1] + t.filled, 0, HEADER);
	t.nblocks++;
	t.filled = 0;
	if (t.nblocks == 1) {
		memset(block, 0, EMPTY_RECORD);
		t.filled = EMPTY_RECORD;
	}
	return true;
}

// A new record for the word, counted n times; 0, the empty record, when
// there is no room for it.
std::uint64_t newrecord(wordtable &t, const unsigned char *w, std::size_t len, long long n)
{
	if (t.filled + HEADER + len + WORD_SLACK > blocksize(t, t.nblocks - 1) && !newblock(t))
		return 0;
	std::uint64_t offset = (std::uint64_t{t.nblocks - 1} << BLOCK_BITS) | t.filled;
	t.filled += putrecord(record(t, offset), n, w, len);
	return offset;
}

inline bool same(const unsigned char *r, const unsigned char *w, std::size_t len)
{
	if (lengthof(r) != len)
		return false;
	const unsigned char *s = textof(r);
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

bool firstslots(wordtable &t, std::size_t count = FIRST_SLOTS)
{
	if (t.nblocks == 0 && !newblock(t))
		return false;
	t.slots = newslots(count);
	if (t.slots == nullptr)
		return false;
	t.mask = count - 1;
	return true;
}

void place(std::uint64_t *slots, std::size_t mask, std::uint64_t hash, std::uint64_t slot)
{
	std::size_t j = static_cast<std::size_t>(hash) & mask;
	while (slots[j] != 0)
		j = (j + 1) & mask;
	slots[j] = slot;
}

// Whether the table could grow now and take an eighth of its slots more
// words, records and all.  A crew that finds it could not stops while
// what it leaves still fits below the size where one pass grows, and so
// needs no more than one pass: memory the crew holds is given back before
// the table grows.
bool roomtogrow(const wordtable &t)
{
	std::size_t held = t.filled;
	for (std::size_t i = 0; i + 1 < t.nblocks; i++)
		held += blocksize(t, i);
	std::size_t nslots = t.mask + 1;
	std::size_t size = 2 * nslots * sizeof *t.slots + held / t.used * (nslots / 8 + 1);
	void *room = largearea(size);
	freearea(room, size);
	return room != nullptr;
}

// Twice the slots; false, with the table as it was, where there is no
// memory for them.  The records are walked in the order they were made,
// which reads memory in order, and each hash is found again from its
// record's bytes; only the new slots are reached at random, fetched a few
// records ahead.
bool grow(wordtable &t, hashkey key)
{
	std::size_t count = 2 * (t.mask + 1), mask = count - 1;
	std::uint64_t *slots = newslots(count);
	if (slots == nullptr)
		return false;
	std::uint64_t hashes[AHEAD], ahead[AHEAD];
	std::size_t n = 0;
	sealtable(t);
	for (std::size_t b = 0; b < t.nblocks; b++) {
		for (unsigned char *r = firstrecord(t, b); countof(r) != 0; r = nextrecord(r)) {
			std::uint64_t h = wordhash(textof(r), lengthof(r), key);
			std::size_t k = n++ % AHEAD;
			if (n > AHEAD)
				place(slots, mask, hashes[k], ahead[k]);
			__builtin_prefetch(&slots[static_cast<std::size_t>(h) & mask], 1);
			auto offset = static_cast<std::uint64_t>(r - t.blocks[b]);
			hashes[k] = h;
			ahead[k] = makeslot(h, std::uint64_t{b} << BLOCK_BITS | offset);
		}
	}
	for (std::size_t i = n > AHEAD ? n - AHEAD : 0; i < n; i++)
		place(slots, mask, hashes[i % AHEAD], ahead[i % AHEAD]);
	SITKO_ASSERT(n == t.used);
	freeslots(t);
	t.slots = slots;
	t.mask = mask;
	return true;
}

} // namespace

bool tablecount(wordtable &t, const unsigned char *w, std::size_t len, std::uint64_t hash,
		long long n, hashkey key)
{
	if (t.slots == nullptr && !firstslots(t))
		return false;
	std::uint64_t tag = tagof(hash);
	std::size_t i = static_cast<std::size_t>(hash) & t.mask;
	for (std::uint64_t s; (s = t.slots[i]) != 0; i = (i + 1) & t.mask) {
		if (slottag(s) != tag)
			continue;
		unsigned char *r = record(t, s);
		if (same(r, w, len)) {
			setcount(r, countof(r) + n);
			return true;
		}
	}
	// At most eight slots in ten are used, so a probe seldom goes far;
	// where there is no memory for more, up to fifteen in sixteen.
	std::size_t nslots = t.mask + 1;
	if (t.limit != 0 && t.used >= t.limit)
		return false;
	if (t.lookahead && t.lookedat != nslots && 10 * (t.used + nslots / 8) > 8 * nslots) {
		t.lookedat = nslots;
		if (!roomtogrow(t))
			t.growat = (8 * nslots + 9) / 10;
	}
	if (10 * (t.used + 1) > 8 * nslots) {
		bool full = 16 * (t.used + 1) > 15 * nslots;
		if ((full || t.used >= t.growat) && !grow(t, key)) {
			if (full)
				return false;
			// Tried again only some words later: memory that was
			// not there a moment ago seldom is the next.
			t.growat = t.used + nslots / 64;
		}
	}
	std::uint64_t offset = newrecord(t, w, len, n);
	if (offset == 0)
		return false;
	place(t.slots, t.mask, hash, makeslot(hash, offset));
	t.used++;
	return true;
}

namespace {

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

struct sentwords {
	std::span<const unsigned char *const> sent;
	std::uint64_t hash(std::size_t i, hashkey) const
	{
		return senthash(sent[i]);
	}
	const unsigned char *text(std::size_t i) const
	{
		return textof(sentrecord(sent[i]));
	}
	std::size_t length(std::size_t i) const
	{
		return lengthof(sentrecord(sent[i]));
	}
	long long count(std::size_t i) const
	{
		return countof(sentrecord(sent[i]));
	}
};

// A word not found where the counting loop looked: the slow way, out of
// that loop so that its registers stay with the words that are found.
[[gnu::noinline]] bool countmissing(wordtable &t, const unsigned char *w, std::size_t len,
				    std::uint64_t hash, long long times, hashkey key,
				    const missedword *missed, std::size_t i)
{
	return tablecount(t, w, len, hash, times, key) ||
	       (missed != nullptr && missed->take(missed->context, i, hash));
}

// Counts words in three steps, a chunk of them at a time: hash each and
// fetch its first slot; look at its first two slots for its tag and fetch
// the record named there; compare and count.  The table is kept in locals
// here, as writes to a count could be writes to anything; only a new word
// changes it.  Returns how many words were counted: fewer only where memory
// ran out.
template <class Words>
std::size_t addall(wordtable &t, const Words words, std::size_t count, hashkey key,
		   const missedword *missed = nullptr)
{
	if (t.slots == nullptr && !firstslots(t))
		return 0;
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
			// so the second is taken where the first's tag differs,
			// without a branch that could go either way.  Where the
			// word is in neither, the record fetched (another word's,
			// or the empty record for an empty slot) does not match,
			// and the next step goes the slow way.
			std::uint64_t tag = tagof(hash[j]);
			std::size_t i = static_cast<std::size_t>(hash[j]) & mask;
			std::uint64_t s0 = slots[i], s1 = slots[(i + 1) & mask];
			std::uint64_t s = slottag(s0) == tag ? s0 : s1;
			seen[j] = blocks[slotoffset(s) >> BLOCK_BITS] + (s & (BLOCK - 1));
			__builtin_prefetch(seen[j]);
		}
		for (std::size_t j = 0; j < n; j++) {
			const unsigned char *w = words.text(done + j);
			std::size_t len = words.length(done + j);
			SITKO_ASSERT(len <= WORD_LIMIT);
			// The empty word would match the empty record.
			long long times = words.count(done + j);
			if (len != 0 && same(seen[j], w, len)) [[likely]] {
				setcount(seen[j], countof(seen[j]) + times);
				continue;
			}
			if (!countmissing(t, w, len, hash[j], times, key, missed, done + j))
				return done + j;
			slots = t.slots;
			mask = t.mask;
			blocks = t.blocks;
		}
	}
	return count;
}

} // namespace

// An area of MAPPED bytes or more is mapped on its own, so that letting it
// go gives its address space back to the system at once: in the heap it
// would stay the process's, and a memory limit counts it.  One of a huge
// page or more is aligned to one, and what the alignment took is given
// back at once too.
void *largearea(std::size_t size)
{
	if (size < MAPPED)
		return malloc(size);
	auto page = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
	std::size_t whole = (size + page - 1) / page * page;
	std::size_t align = size < HUGE_PAGE ? page : HUGE_PAGE, mapped = whole + align - page;
	void *p = mmap(nullptr, mapped, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
	if (p == MAP_FAILED && mapped > whole) {
		// No room for the slack that aligns it: unaligned, then, which
		// costs only the huge pages.
		mapped = whole;
		align = page;
		p = mmap(nullptr, whole, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1,
			 0);
	}
	if (p == MAP_FAILED)
		return nullptr;
	auto at = reinterpret_cast<std::uintptr_t>(p);
	std::size_t head = (align - at % align) % align;
	if (head != 0)
		munmap(p, head);
	if (mapped - head > whole)
		munmap(static_cast<unsigned char *>(p) + head + whole, mapped - head - whole);
	p = static_cast<unsigned char *>(p) + head;
#if defined(MADV_HUGEPAGE)
	if (size >= HUGE_PAGE)
		madvise(p, size, MADV_HUGEPAGE);
#endif
	return p;
}

void freearea(void *p, std::size_t size)
{
	if (size < MAPPED)
		free(p);
	else if (p != nullptr)
		munmap(p, size);
}

// Small slot arrays come zeroed from malloc, mapped ones from the system.
std::uint64_t *newslots(std::size_t count)
{
	if (count * sizeof(std::uint64_t) < MAPPED)
		return static_cast<std::uint64_t *>(calloc(count, sizeof(std::uint64_t)));
	return static_cast<std::uint64_t *>(largearea(count * sizeof(std::uint64_t)));
}

void freeslots(wordtable &t)
{
	freearea(t.slots, (t.mask + 1) * sizeof *t.slots);
	t.slots = nullptr;
	t.mask = 0;
}

void newtable(wordtable &t, unsigned blockbits)
{
	t = {};
	t.blockbits = std::clamp(blockbits, FIRST_BLOCK_BITS, BLOCK_BITS);
}

bool reservetable(wordtable &t, std::size_t words)
{
	SITKO_ASSERT(t.slots == nullptr);
	std::size_t count = FIRST_SLOTS;
	while (8 * count < 10 * words)
		count *= 2;
	return firstslots(t, count);
}

std::size_t tableadd(wordtable &t, std::span<const wordref> words, hashkey key)
{
	return addall(t, freshwords{words}, words.size(), key);
}

std::size_t tableadd(wordtable &t, std::span<const wordref> words, hashkey key,
		     const missedword &missed)
{
	return addall(t, freshwords{words}, words.size(), key, &missed);
}

std::size_t tableaddsent(wordtable &t, std::span<const unsigned char *const> sent, hashkey key)
{
	return addall(t, sentwords{sent}, sent.size(), key);
}

void sealtable(wordtable &t)
{
	if (t.nblocks > 0)
		memset(t.blocks[t.nblocks - 1] + t.filled, 0, HEADER);
}

void trimtable(wordtable &t)
{
	sealtable(t);
	if (t.nblocks == 0 || blocksize(t, t.nblocks - 1) < MAPPED)
		return;
	auto page = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
	std::size_t keep = (t.filled + HEADER + WORD_SLACK + page - 1) / page * page;
	if (keep < blocksize(t, t.nblocks - 1))
		munmap(t.blocks[t.nblocks - 1] + keep, blocksize(t, t.nblocks - 1) - keep);
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
	freeslots(t);
	for (std::size_t i = 0; i < t.made; i++)
		freearea(t.blocks[i], blocksize(t, i));
	free(t.blocks);
	newtable(t, t.blockbits);
}

} // namespace sitko
