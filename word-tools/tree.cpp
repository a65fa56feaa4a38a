// SPDX-License-Identifier: MIT
// The words are counted in a hash index and put in order only once, when
// they are written: keeping them ordered all along (a balanced tree) costs
// some twenty string comparisons and as many cache misses for every new
// word, and nothing reads the order before the end.
//
// A slot of the index is eight bytes: where the word's record lies and 24
// further bits of its hash, so most probes that are not the word end in the
// slot and never touch the record.  A record is the count, the length and
// the bytes of the word, packed one after another into large blocks.
#include "tree.hpp"

#include <algorithm>
#include <bit>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <sys/mman.h>
#include <unistd.h>

#include "finish.hpp"
#include "output.hpp"
#include "wordhash.hpp"

namespace sitko {

struct tnode {
	std::uint64_t *slots;
	std::size_t mask; // the number of slots less one
	std::size_t used;
	hashkey key;
	unsigned char **blocks;
	std::size_t nblocks;
	std::size_t blockroom; // room in blocks for block pointers
	std::size_t filled;    // bytes used in the last block
};

namespace {

constexpr unsigned OFFSET_BITS = 40;
constexpr std::uint64_t OFFSET_MASK = (std::uint64_t{1} << OFFSET_BITS) - 1;
constexpr unsigned BLOCK_BITS = 21;
constexpr std::size_t BLOCK = std::size_t{1} << BLOCK_BITS;
constexpr std::size_t MOST_BLOCKS = std::size_t{1} << (OFFSET_BITS - BLOCK_BITS);
// Count, length, and the word, with room after it to be read sixteen bytes
// at a time.
constexpr std::size_t HEADER = 9;
// Words are taken in this many at a time: every step is done for all of
// them before the next step, so what one step fetches has come by the next.
constexpr std::size_t CHUNK = 128;

[[noreturn]] void outofmemory()
{
	// Without room for a word the report would be wrong; say so through
	// the status rather than print short counts.
	exit(finish(1));
}

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

void *largearea(std::size_t size)
{
	void *p = nullptr;
	if (size < HUGE_PAGE)
		p = malloc(size);
	else if (posix_memalign(&p, HUGE_PAGE, size) != 0)
		p = nullptr;
	if (p == nullptr)
		outofmemory();
	hugepages(p, size);
	return p;
}

// The index comes zeroed from the system, which zeroes its pages anyway.
std::uint64_t *newslots(std::size_t count)
{
	std::size_t size = count * sizeof(std::uint64_t);
	void *p = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
	if (p == MAP_FAILED)
		outofmemory();
	hugepages(p, size);
	return static_cast<std::uint64_t *>(p);
}

void freeslots(std::uint64_t *slots, std::size_t count)
{
	if (slots != nullptr)
		munmap(slots, count * sizeof *slots);
}

// Lets go of every word, as at the start.
void dropwords(tnode *root)
{
	tnode &words = *root;
	freeslots(words.slots, words.mask + 1);
	for (std::size_t i = 0; i < words.nblocks; i++)
		free(words.blocks[i]);
	free(words.blocks);
	free(root);
}

unsigned char *record(const tnode &words, std::uint64_t offset)
{
	return words.blocks[offset >> BLOCK_BITS] + (offset & (BLOCK - 1));
}

long long countof(const unsigned char *r)
{
	long long c;
	memcpy(&c, r, sizeof c);
	return c;
}

void setcount(unsigned char *r, long long c)
{
	memcpy(r, &c, sizeof c);
}

// The first block begins with a record no word matches, of length 0, at
// offset 0: the record of an empty slot.
constexpr std::size_t EMPTY_RECORD = 32;

void newblock(tnode &words)
{
	if (words.nblocks == MOST_BLOCKS)
		outofmemory();
	if (words.nblocks == words.blockroom) {
		std::size_t room = words.blockroom == 0 ? 64 : 2 * words.blockroom;
		auto **more = static_cast<unsigned char **>(
			realloc(words.blocks, room * sizeof *words.blocks));
		if (more == nullptr)
			outofmemory();
		words.blocks = more;
		words.blockroom = room;
	}
	auto *block = static_cast<unsigned char *>(largearea(BLOCK));
	words.blocks[words.nblocks++] = block;
	words.filled = 0;
	if (words.nblocks == 1) {
		memset(block, 0, EMPTY_RECORD);
		words.filled = EMPTY_RECORD;
	}
}

// A new record for the word, counted once.
std::uint64_t newrecord(tnode &words, const unsigned char *w, std::size_t len)
{
	if (words.filled + HEADER + len + WORD_SLACK > BLOCK)
		newblock(words);
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

void grow(tnode &words)
{
	std::uint64_t *old = words.slots;
	std::size_t oldcount = old != nullptr ? words.mask + 1 : 0;
	if (old == nullptr) {
		words.key = randomkey();
		if (words.nblocks == 0)
			newblock(words);
	}
	std::size_t count = oldcount == 0 ? 1024 : 2 * oldcount;
	words.slots = newslots(count);
	words.mask = count - 1;
	for (std::size_t i = 0; i < oldcount; i++) {
		if (i + 16 < oldcount && old[i + 16] != 0)
			__builtin_prefetch(record(words, old[i + 16] & OFFSET_MASK));
		if (old[i] == 0)
			continue;
		std::size_t j =
			firstslot(words, hashof(words, record(words, old[i] & OFFSET_MASK)));
		while (words.slots[j] != 0)
			j = (j + 1) & words.mask;
		words.slots[j] = old[i];
	}
	freeslots(old, oldcount);
}

void count(tnode &words, const unsigned char *w, std::size_t len, std::uint64_t hash)
{
	std::uint64_t tag = hash >> OFFSET_BITS;
	std::size_t i = firstslot(words, hash);
	for (std::uint64_t s; (s = words.slots[i]) != 0; i = (i + 1) & words.mask) {
		if (s >> OFFSET_BITS != tag)
			continue;
		unsigned char *r = record(words, s & OFFSET_MASK);
		if (same(r, w, len)) {
			setcount(r, countof(r) + 1);
			return;
		}
	}
	words.slots[i] = tag << OFFSET_BITS | newrecord(words, w, len);
	// At most eight slots in ten are used, so a probe seldom goes far.
	if (10 * ++words.used > 8 * (words.mask + 1))
		grow(words);
}

// For sorting: the first eight bytes of the word, the first the highest,
// padded with zeros, which sort first, as the end of a string does.
struct sortentry {
	std::uint64_t prefix;
	unsigned char *record;
};

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

// "%4lld %s\n", without going through a format for every word, with more
// added to the record's count.
void printword(const unsigned char *r, long long more)
{
	char line[24 + WORD_LIMIT];
	char digits[20];
	std::size_t nd = 0;
	auto c =
		static_cast<unsigned long long>(countof(r)) + static_cast<unsigned long long>(more);
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

} // namespace

tnode *addwords(tnode *root, std::span<const wordref> batch)
{
	if (root == nullptr) {
		root = static_cast<tnode *>(calloc(1, sizeof *root));
		if (root == nullptr)
			outofmemory();
	}
	tnode &words = *root;
	if (words.slots == nullptr)
		grow(words);
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
				count(words, batch[j].text, batch[j].len, hash[j]);
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
	count(*root, padded, 0, wordhash(padded, 0, root->key));
	return root;
}

namespace {

struct ordered {
	sortentry *order;
	std::size_t n;
	bool inplace; // order lies in the index
};

// The words of root in byte order.  Each is sorted by its first eight bytes,
// held beside its record, and compared in full only where those agree.  The
// slots are gathered at the front of the index; where it is at most half
// full the entries then take its place, from the last back, each over slots
// already taken.
ordered sortwords(tnode *root)
{
	if (root == nullptr)
		return {nullptr, 0, true};
	std::uint64_t *slots = root->slots;
	std::size_t count = root->mask + 1, n = 0;
	for (std::size_t i = 0; i < count; i++)
		if (slots[i] != 0)
			slots[n++] = slots[i];
	bool inplace = count * sizeof *slots >= n * sizeof(sortentry);
	auto *order = inplace ? reinterpret_cast<sortentry *>(slots)
			      : static_cast<sortentry *>(largearea(n * sizeof(sortentry) + 1));
	for (std::size_t k = n; k-- > 0;) {
		if (k >= 16)
			__builtin_prefetch(record(*root, slots[k - 16] & OFFSET_MASK));
		unsigned char *r = record(*root, slots[k] & OFFSET_MASK);
		sortentry e = {sortprefix(r), r};
		memcpy(reinterpret_cast<unsigned char *>(order) + k * sizeof e, &e, sizeof e);
	}
	if (!inplace) {
		freeslots(root->slots, count);
		root->slots = nullptr;
	}
	std::sort(order, order + n, [](const sortentry &a, const sortentry &b) {
		if (a.prefix != b.prefix)
			return a.prefix < b.prefix;
		return compare(a.record, b.record) < 0;
	});
	return {order, n, inplace};
}

void dropsorted(tnode *root, ordered words)
{
	if (!words.inplace)
		free(words.order);
	if (root != nullptr)
		dropwords(root);
}

bool writeall(int fd, const unsigned char *p, std::size_t n)
{
	while (n > 0) {
		ssize_t k = write(fd, p, n);
		if (k < 0 && errno == EINTR)
			continue;
		if (k <= 0)
			return false;
		p += k;
		n -= static_cast<std::size_t>(k);
	}
	return true;
}

// The records another process sent, up to the record of count 0 that ends
// them, into a growing area; the area and the records' size, or null if the
// stream broke off before the end.
unsigned char *receive(int fd, std::size_t &size)
{
	std::size_t room = std::size_t{1} << 20, have = 0, parsed = 0;
	auto *bytes = static_cast<unsigned char *>(malloc(room));
	for (;;) {
		if (bytes == nullptr)
			outofmemory();
		while (have - parsed >= HEADER && have - parsed >= HEADER + bytes[parsed + 8]) {
			if (countof(bytes + parsed) == 0) {
				size = parsed;
				return bytes;
			}
			parsed += HEADER + bytes[parsed + 8];
		}
		if (have == room) {
			room *= 2;
			auto *more = static_cast<unsigned char *>(realloc(bytes, room));
			if (more == nullptr)
				free(bytes);
			bytes = more;
			continue;
		}
		ssize_t k = read(fd, bytes + have, room - have);
		if (k < 0 && errno == EINTR)
			continue;
		if (k <= 0) {
			free(bytes);
			return nullptr;
		}
		have += static_cast<std::size_t>(k);
	}
}

// Writes our words and the records from q to end, both in byte order, as
// one order; a word in both is written once, with its counts added.
void writemerged(const ordered &ours, const unsigned char *q, const unsigned char *end)
{
	std::size_t i = 0;
	while (i < ours.n || q < end) {
		if (i + 16 < ours.n)
			__builtin_prefetch(ours.order[i + 16].record);
		int c = i == ours.n ? 1 : q == end ? -1 : compare(ours.order[i].record, q);
		if (c < 0) {
			printword(ours.order[i++].record, 0);
		} else if (c > 0) {
			printword(q, 0);
			q += HEADER + q[8];
		} else {
			printword(ours.order[i++].record, countof(q));
			q += HEADER + q[8];
		}
	}
}

} // namespace

void treeprint(tnode *root)
{
	ordered words = sortwords(root);
	writemerged(words, nullptr, nullptr);
	dropsorted(root, words);
}

// In byte order the records are the stream: count, length and bytes of
// each word, then a record of count 0.
bool sendwords(tnode *root, int fd)
{
	ordered words = sortwords(root);
	unsigned char out[1 << 16];
	std::size_t n = 0;
	bool sent = true;
	for (std::size_t i = 0; i < words.n; i++) {
		if (i + 16 < words.n)
			__builtin_prefetch(words.order[i + 16].record);
		const unsigned char *r = words.order[i].record;
		std::size_t size = HEADER + r[8];
		if (n + size + HEADER > sizeof out) {
			sent = sent && writeall(fd, out, n);
			n = 0;
		}
		memcpy(out + n, r, size);
		n += size;
	}
	memset(out + n, 0, HEADER);
	n += HEADER;
	sent = sent && writeall(fd, out, n);
	dropsorted(root, words);
	return sent;
}

bool treeprint(tnode *root, int fd)
{
	// Ours are put in order while the other process does the same.
	ordered words = sortwords(root);
	std::size_t size;
	unsigned char *theirs = receive(fd, size);
	if (theirs == nullptr) {
		dropsorted(root, words);
		return false;
	}
	writemerged(words, theirs, theirs + size);
	free(theirs);
	dropsorted(root, words);
	return true;
}

} // namespace sitko
