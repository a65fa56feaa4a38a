// SPDX-License-Identifier: MIT
#include "vocabulary.hpp"

#include <algorithm>
#include <bit>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <malloc.h>
#include <sys/random.h>
#include <unistd.h>

#include "check.hpp"
#include "classes.hpp"
#include "getword.hpp"

namespace sitko {

namespace {

// The root handed out when there is no memory even for a root: it counts
// nothing and is never written to.
vocabulary nomemoryroot;

// The smallest largest block of a table that is one of many.
constexpr unsigned LEAST_BLOCK_BITS = 16;
constexpr unsigned FEW_TABLES_BITS = 2;

// The words, grouped by the table they go to: those of table k from
// start[k] on.
template <class Word, class Partition>
void group(const vocabulary &v, std::span<const Word> words, Word *grouped, std::size_t *start,
	   Partition partitionof_)
{
	std::size_t at[MAX_THREADS + 1] = {};
	unsigned char to[BATCH];
	for (std::size_t i = 0; i < words.size(); i++) {
		to[i] = v.owner[partitionof_(words[i])];
		at[to[i] + 1]++;
	}
	for (std::size_t k = 0; k < v.ntables; k++)
		at[k + 1] += at[k];
	std::copy(at, at + v.ntables + 1, start);
	for (std::size_t i = 0; i < words.size(); i++)
		grouped[at[to[i]]++] = words[i];
}

template <class Word, class Add, class Partition>
void countgrouped(vocabulary &v, std::span<const Word> words, Add add, Partition partitionof_)
{
	while (!words.empty() && !outofmemory(&v)) {
		auto batch = words.first(std::min(words.size(), BATCH));
		words = words.subspan(batch.size());
		if (v.ntables == 1) {
			if (add(v.tables[0], batch) < batch.size())
				v.nomemory.store(true, std::memory_order_relaxed);
			continue;
		}
		Word grouped[BATCH];
		std::size_t start[MAX_THREADS + 1];
		group(v, batch, grouped, start, partitionof_);
		for (std::size_t k = 0; k < v.ntables; k++) {
			std::span<const Word> g(grouped + start[k], start[k + 1] - start[k]);
			if (!g.empty() && add(v.tables[k], g) < g.size())
				v.nomemory.store(true, std::memory_order_relaxed);
		}
	}
}

} // namespace

vocabulary *newvocabulary(std::size_t sendsize, std::size_t tablelimit)
{
	auto *v = static_cast<vocabulary *>(calloc(1, sizeof(vocabulary)));
	if (v == nullptr)
		return &nomemoryroot;
	v->key = randomkey();
	v->ntables = 1;
	v->sendsize = sendsize;
	v->tablelimit = tablelimit;
	for (wordtable &t : v->tables)
		newtable(t);
	return v;
}

bool outofmemory(const vocabulary *v)
{
	return v == &nomemoryroot || v->nomemory.load(std::memory_order_relaxed);
}

void dropwords(vocabulary *v)
{
	if (v == nullptr || v == &nomemoryroot)
		return;
	for (std::size_t k = 0; k < MAX_THREADS; k++) {
		freesorted(v->sorted[k]);
		freetable(v->tables[k]);
	}
	for (partition &p : v->parts)
		free(p.text);
	free(v);
}

// The heaviest partitions first, each to the table with least so far.
void shareout(vocabulary &v, std::size_t ntables, std::span<const std::uint32_t> weight)
{
	SITKO_ASSERT(ntables >= 1 && ntables <= MAX_THREADS && weight.size() == PARTITIONS);
	SITKO_ASSERT(v.tables[0].used == 0);
	v.ntables = ntables;
	// A few tables keep blocks of huge pages; more share out the room that
	// their last blocks leave unused.
	auto bits = static_cast<unsigned>(std::bit_width(ntables - 1));
	unsigned blockbits =
		bits <= FEW_TABLES_BITS ? BLOCK_BITS : BLOCK_BITS + FEW_TABLES_BITS - bits;
	for (std::size_t k = 0; k < ntables; k++)
		newtable(v.tables[k], std::max(blockbits, LEAST_BLOCK_BITS));
	unsigned char order[PARTITIONS];
	for (std::size_t p = 0; p < PARTITIONS; p++)
		order[p] = static_cast<unsigned char>(p);
	std::sort(order, order + PARTITIONS, [&](unsigned char a, unsigned char b) {
		return weight[a] != weight[b] ? weight[a] > weight[b] : a < b;
	});
	unsigned long long load[MAX_THREADS] = {};
	for (unsigned char p : order) {
		std::size_t least =
			static_cast<std::size_t>(std::min_element(load, load + ntables) - load);
		v.owner[p] = static_cast<unsigned char>(least);
		load[least] += weight[p] + 1;
	}
}

void addwords(vocabulary &v, std::span<const wordref> words)
{
	countgrouped(
		v, words,
		[&v](wordtable &t, std::span<const wordref> g) { return tableadd(t, g, v.key); },
		[](const wordref &w) { return partitionof(w.text, w.len); });
}

void addsent(vocabulary &v, std::span<const unsigned char *const> sent)
{
	countgrouped(
		v, sent,
		[&v](wordtable &t, std::span<const unsigned char *const> g) {
			return tableaddsent(t, g, v.key);
		},
		[](const unsigned char *e) {
			return partitionof(textof(sentrecord(e)), lengthof(sentrecord(e)));
		});
}

hashkey randomkey()
{
	hashkey key;
	if (getrandom(&key, sizeof key, GRND_NONBLOCK) == static_cast<ssize_t>(sizeof key))
		return key;
	timespec now = {};
	clock_gettime(CLOCK_MONOTONIC, &now);
	auto here = reinterpret_cast<std::uintptr_t>(&key);
	key.k0 = keyedmix(static_cast<std::uint64_t>(now.tv_nsec) ^ here, 1);
	key.k1 = keyedmix(static_cast<std::uint64_t>(now.tv_sec) ^
				  static_cast<std::uint64_t>(getpid()),
			  key.k0);
	return key;
}

static_assert(LONGEST_WORD == WORD_CAPACITY - 1);

void countreader(reader &in, wordscan &scan, vocabulary &v)
{
	wordref batch[BATCH];
	while (std::size_t n = takewords(in, scan, letterwords, LONGEST_WORD, batch))
		addwords(v, std::span(batch, n));
}

void retrygrowth(vocabulary &v)
{
	for (std::size_t k = 0; k < v.ntables; k++)
		if (v.tables[k].growat != 0)
			v.tables[k].growat = v.tables[k].used;
}

void trimheap()
{
#if defined(M_TRIM_THRESHOLD)
	malloc_trim(0);
#endif
}

int countinput(reader &in, vocabulary *&root)
{
	if (root == nullptr)
		root = newvocabulary();
	wordscan scan = {};
	countreader(in, scan, *root);
	return 0;
}

tnode *addtree(tnode *root, const char *word)
{
	if (root == nullptr)
		root = newvocabulary();
	unsigned char padded[WORD_LIMIT + WORD_SLACK] = {};
	std::size_t len = strnlen(word, WORD_LIMIT);
	memcpy(padded, word, len);
	const wordref w = {padded, len};
	addwords(*root, std::span(&w, 1));
	return root;
}

} // namespace sitko
