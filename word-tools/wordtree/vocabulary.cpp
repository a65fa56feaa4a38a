// SPDX-License-Identifier: MIT
#include "vocabulary.hpp"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <iterator>

namespace sitko {

namespace {

// The root handed out when there is no memory even for a root: it counts
// nothing and is never written to.
vocabulary nomemoryroot;

constexpr std::size_t BATCH = 256;

// Counts the staged words of partition p into it.  Where wait is false and
// another thread holds the partition, nothing is done, and the result is
// false.
bool mergeinto(vocabulary &v, std::size_t p, unsigned char *const *entries, std::size_t n,
	       bool wait)
{
	partition &part = v.parts[p];
	if (!wait && pthread_mutex_trylock(&part.lock) != 0)
		return false;
	if (wait)
		pthread_mutex_lock(&part.lock);
	bool counted = tablemerge(part.words, entries, n, v.key);
	pthread_mutex_unlock(&part.lock);
	if (!counted)
		v.nomemory.store(true, std::memory_order_relaxed);
	return true;
}

// Sends the staged words to their partitions, each partition's together,
// so that it is locked once, and its table is reached for all of them
// while it is in cache.  A partition another thread holds is left for a
// second round, so that a thread seldom waits.
void flushstage(counter &c, vocabulary &v)
{
	if (c.nstaged == 0)
		return;
	if (!outofmemory(&v)) {
		std::size_t start[PARTITIONS + 1];
		start[0] = 0;
		for (std::size_t p = 0; p < PARTITIONS; p++)
			start[p + 1] = start[p] + c.inpartition[p];
		std::size_t at[PARTITIONS];
		std::copy(start, start + PARTITIONS, at);
		for (unsigned char *e = c.stage, *end = c.stage + c.staged; e < end;
		     e += STAGED_HEADER + stagedlength(e))
			c.grouped[at[stagedpartition(e)]++] = e;
		std::size_t busy[PARTITIONS], nbusy = 0;
		for (std::size_t p = 0; p < PARTITIONS && !outofmemory(&v); p++)
			if (start[p + 1] > start[p] &&
			    !mergeinto(v, p, c.grouped + start[p], start[p + 1] - start[p], false))
				busy[nbusy++] = p;
		for (std::size_t i = 0; i < nbusy && !outofmemory(&v); i++)
			mergeinto(v, busy[i], c.grouped + start[busy[i]],
				  start[busy[i] + 1] - start[busy[i]], true);
	}
	c.staged = c.nstaged = 0;
	std::fill(std::begin(c.inpartition), std::end(c.inpartition), 0);
}

void stage(counter &c, vocabulary &v, const unsigned char *w, std::size_t len, std::uint64_t hash,
	   long long count)
{
	if (c.stage == nullptr) {
		c.stage = static_cast<unsigned char *>(malloc(c.stagesize + WORD_SLACK));
		if (c.stage == nullptr) {
			v.nomemory.store(true, std::memory_order_relaxed);
			return;
		}
	}
	if (c.nstaged == STAGE_WORDS || c.staged + STAGED_HEADER + len > c.stagesize)
		flushstage(c, v);
	unsigned char *e = c.stage + c.staged;
	std::size_t p = partitionof(w, len);
	memcpy(e, &hash, 8);
	memcpy(e + 8, &count, 8);
	e[16] = static_cast<unsigned char>(len);
	e[17] = static_cast<unsigned char>(p);
	memcpy(e + STAGED_HEADER, w, len);
	c.staged += STAGED_HEADER + len;
	c.nstaged++;
	c.inpartition[p]++;
}

// Stages the words of the counter's table, and empties it.
void stagetable(counter &c, vocabulary &v)
{
	wordtable &t = c.words;
	if (t.used > 0 && !outofmemory(&v)) {
		sealtable(t);
		for (std::size_t b = 0; b < t.nblocks; b++)
			for (unsigned char *r = firstrecord(t, b); countof(r) != 0;
			     r = nextrecord(r))
				stage(c, v, textof(r), lengthof(r),
				      wordhash(textof(r), lengthof(r), v.key), countof(r));
	}
	cleartable(t);
	c.sincefull = 0;
}

} // namespace

vocabulary *newvocabulary(std::size_t counterwords)
{
	auto *v = static_cast<vocabulary *>(calloc(1, sizeof(vocabulary)));
	if (v == nullptr)
		return &nomemoryroot;
	v->key = randomkey();
	v->counterwords = std::min(counterwords, STAGE_WORDS);
	newcounter(v->own, *v, 1);
	if (counterwords == 0)
		v->own.words.limit = 0;
	for (partition &p : v->parts) {
		pthread_mutex_init(&p.lock, nullptr);
		newtable(p.words, 0);
	}
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
	freesorted(v->ownsorted);
	freecounter(v->own);
	for (partition &p : v->parts) {
		freesorted(p.sorted);
		freetable(p.words);
		free(p.text);
		pthread_mutex_destroy(&p.lock);
	}
	free(v);
}

void newcounter(counter &c, const vocabulary &v, std::size_t threads)
{
	std::size_t words = v.counterwords;
	if (words == 0)
		words = std::clamp(COUNTER_BUDGET / std::max<std::size_t>(threads, 1),
				   LEAST_COUNTER_WORDS, COUNTER_WORDS);
	newtable(c.words, words);
	// Room for the longest word, whatever the table's size.
	c.stagesize = std::max(words * STAGE_BYTES_PER_WORD, STAGED_HEADER + WORD_LIMIT);
	c.sincefull = 0;
	c.stage = nullptr;
	c.staged = c.nstaged = 0;
	std::fill(std::begin(c.inpartition), std::end(c.inpartition), 0);
}

bool partitioned(const vocabulary &v)
{
	for (const partition &p : v.parts)
		if (p.words.used > 0)
			return true;
	return false;
}

void freecounter(counter &c)
{
	freetable(c.words);
	free(c.stage);
	c.stage = nullptr;
}

void countbatch(counter &c, vocabulary &v, std::span<const wordref> words)
{
	missedword missed[BATCH];
	while (!words.empty() && !outofmemory(&v)) {
		auto batch = words.first(std::min(words.size(), BATCH));
		words = words.subspan(batch.size());
		std::size_t nmissed;
		if (tableadd(c.words, batch, v.key, missed, nmissed) < batch.size()) {
			v.nomemory.store(true, std::memory_order_relaxed);
			return;
		}
		for (std::size_t i = 0; i < nmissed; i++)
			stage(c, v, missed[i].word.text, missed[i].word.len, missed[i].hash, 1);
		if (c.words.limit != 0 && c.words.used == c.words.limit) {
			c.sincefull += static_cast<long long>(batch.size());
			if (c.sincefull >= RELEARN)
				stagetable(c, v);
		}
	}
}

void countone(counter &c, vocabulary &v, const unsigned char *w, std::size_t len)
{
	if (outofmemory(&v))
		return;
	std::uint64_t hash = wordhash(w, len, v.key);
	counted done = tablecount(c.words, w, len, hash, 1, v.key);
	if (done == counted::full)
		stage(c, v, w, len, hash, 1);
	else if (done != counted::yes)
		v.nomemory.store(true, std::memory_order_relaxed);
}

void flushcounter(counter &c, vocabulary &v)
{
	stagetable(c, v);
	flushstage(c, v);
}

} // namespace sitko
