// SPDX-License-Identifier: MIT
#include "owners.hpp"

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <pthread.h>

#include "check.hpp"
#include "classes.hpp"
#include "threads.hpp"
#include "vocabulary.hpp"

namespace sitko {

namespace {

// A send buffer holds at most SEND_BYTES: enough that sending costs little
// a word, and few enough that a thread's buffers, two for each thread,
// stay near SEND_BUDGET bytes in all.
constexpr std::size_t SEND_BYTES = 64 << 10;
constexpr std::size_t LEAST_SEND_BYTES = 4 << 10;
constexpr std::size_t SEND_BUDGET = 1 << 20;
// A thread counts the words it reads in a small table of its own first,
// its cache, which stays in the core's cache and holds the frequent ones:
// CACHE_BUDGET words for all threads together, from LEAST_CACHE to
// CACHE_WORDS each.  A word it has no room for is sent as it
// is.  After RELEARN words more, its words are sent too, with their counts,
// and it fills again with the words of the input as it is by then.
constexpr std::size_t CACHE_WORDS = 32768;
constexpr std::size_t CACHE_BUDGET = 65536;
constexpr std::size_t LEAST_CACHE = 2048;
constexpr std::size_t TIGHT_CACHE = 3;
constexpr long long RELEARN = 1 << 20;
// A stream has at most this many blocks out at once.
constexpr std::size_t MAX_ITEMS = MAX_THREADS + 2;
// A new word costs about this many times a word already counted.
constexpr std::uint32_t NEW_WORD_WEIGHT = 3;
constexpr std::size_t SEEN_BITS = 1 << 16;

struct buffer {
	buffer *next;
	std::size_t from;  // the worker it belongs to
	std::size_t used;  // bytes of sent words
	std::size_t taken; // bytes of them counted
	unsigned char *bytes()
	{
		return reinterpret_cast<unsigned char *>(this + 1);
	}
};

struct worker {
	crew *c;
	std::size_t id;
	runner thread;
	bool started;
	pthread_mutex_t lock;
	pthread_cond_t wake;
	// Under the lock: the buffers sent to it, its own buffers free to fill,
	// and the items handed to it, each taken in any order.
	buffer *inbox;
	buffer *spare;
	void *items[MAX_ITEMS];
	std::size_t nitems;
	std::atomic<std::size_t> mail;   // buffers in the inbox, looked at without the lock
	std::atomic<std::size_t> queued; // items waiting, looked at without the lock
	// Its own: the item it reads, the buffers it fills, and where it
	// stopped, the words of its last batch it had not counted or sent and
	// the buffers it had not counted.
	void *item;
	buffer *left;
	wordtable cache;
	long long sincefull; // words read since the cache filled
	wordscan scan;
	buffer *out[MAX_THREADS];
	wordref pending[BATCH];
	std::size_t npending;
	reader in;
};

} // namespace

struct crew {
	vocabulary *v;
	itemsource source;
	std::size_t n;
	std::size_t sendsize;
	std::size_t cachewords;
	std::atomic<int> halted; // bits of halt
	std::atomic<std::size_t> producing;
	std::atomic<bool> closed;
	unsigned char *area; // every send buffer
	std::size_t areasize;
	worker *workers[MAX_THREADS];
};

namespace {

int bit(halt why)
{
	return why == halt::shortread ? 1 : why == halt::nomemory ? 2 : 0;
}

bool stopped(const crew &c)
{
	return c.halted.load(std::memory_order_relaxed) != 0;
}

void poke(worker &w)
{
	pthread_mutex_lock(&w.lock);
	pthread_cond_broadcast(&w.wake);
	pthread_mutex_unlock(&w.lock);
}

void pokeall(crew &c)
{
	for (std::size_t i = 0; i < c.n; i++)
		if (c.workers[i] != nullptr)
			poke(*c.workers[i]);
}

// Sends b to worker o.
void post(crew &c, std::size_t o, buffer *b)
{
	worker &w = *c.workers[o];
	pthread_mutex_lock(&w.lock);
	b->next = w.inbox;
	w.inbox = b;
	w.mail.fetch_add(1);
	pthread_cond_signal(&w.wake);
	pthread_mutex_unlock(&w.lock);
}

void giveback(crew &c, buffer *b)
{
	worker &w = *c.workers[b->from];
	pthread_mutex_lock(&w.lock);
	b->next = w.spare;
	w.spare = b;
	pthread_cond_signal(&w.wake);
	pthread_mutex_unlock(&w.lock);
}

// Counts b's sent words from where it was left, through count, a batch at
// a time; false, with b left at the first word not counted, where count
// took fewer than it was given.
template <class Count>
bool countbuffer(buffer *b, Count count)
{
	while (b->taken < b->used) {
		const unsigned char *sent[BATCH];
		std::size_t n = 0, at = b->taken;
		for (; n < BATCH && at < b->used; n++) {
			sent[n] = b->bytes() + at;
			at += sentsize(sent[n]);
		}
		std::size_t k = count(std::span<const unsigned char *const>(sent, n));
		for (std::size_t i = 0; i < k; i++)
			b->taken += sentsize(sent[i]);
		if (k < n)
			return false;
	}
	return true;
}

// Counts the buffers sent to w into its table and gives them back; false
// where memory ran out, with what was not counted left.
bool serve(worker &w)
{
	crew &c = *w.c;
	vocabulary &v = *c.v;
	pthread_mutex_lock(&w.lock);
	buffer *list = w.inbox;
	w.inbox = nullptr;
	w.mail.store(0);
	pthread_mutex_unlock(&w.lock);
	for (buffer *b; (b = list) != nullptr; giveback(c, b)) {
		if (!countbuffer(b, [&](std::span<const unsigned char *const> sent) {
			    return tableaddsent(v.tables[w.id], sent, v.key);
		    })) {
			w.left = list;
			haltcrew(c, halt::nomemory);
			return false;
		}
		list = b->next;
	}
	// A table that could not grow still has room, for now: the crew stops
	// while what it holds can be counted without the crew's memory, which
	// is then given back for the table to grow into.
	if (v.tables[w.id].growat != 0) {
		haltcrew(c, halt::nomemory);
		return false;
	}
	return true;
}

// One of w's buffers, empty, to fill: waits for one to come back, counting
// what is sent to w meanwhile; null where the crew stops first.
buffer *takespare(worker &w)
{
	crew &c = *w.c;
	for (;;) {
		pthread_mutex_lock(&w.lock);
		buffer *b = w.spare;
		if (b != nullptr)
			w.spare = b->next;
		else if (!stopped(c) && w.mail.load() == 0)
			pthread_cond_wait(&w.wake, &w.lock);
		pthread_mutex_unlock(&w.lock);
		if (b != nullptr) {
			b->used = b->taken = 0;
			return b;
		}
		if (stopped(c) || (w.mail.load() != 0 && !serve(w)))
			return nullptr;
	}
}

bool send(worker &w, std::size_t o, const unsigned char *text, std::size_t len, std::uint64_t hash,
	  long long count)
{
	crew &c = *w.c;
	buffer *&b = w.out[o];
	if (b != nullptr && b->used + SENT_HEADER + len > c.sendsize) {
		post(c, o, b);
		b = nullptr;
	}
	if (b == nullptr && (b = takespare(w)) == nullptr)
		return false;
	b->used += putsent(b->bytes() + b->used, hash, count, text, len);
	return true;
}

// Sends the words of w's cache with their counts, and empties it; false
// where the crew stopped first, with the words sent so far marked so.
bool flushcache(worker &w)
{
	vocabulary &v = *w.c->v;
	wordtable &t = w.cache;
	sealtable(t);
	for (std::size_t b = 0; b < t.nblocks; b++) {
		for (unsigned char *r = firstrecord(t, b); countof(r) != 0; r = nextrecord(r)) {
			const unsigned char *text = textof(r);
			std::size_t len = lengthof(r);
			if (countof(r) < 0)
				continue;
			if (!send(w, v.owner[partitionof(text, len)], text, len,
				  wordhash(text, len, v.key), countof(r)))
				return false;
			setcount(r, -1);
		}
	}
	cleartable(t);
	w.sincefull = 0;
	return true;
}

void keep(worker &w, const wordref *words, std::size_t n)
{
	SITKO_ASSERT(w.npending + n <= BATCH);
	std::copy(words, words + n, w.pending + w.npending);
	w.npending += n;
}

// The words of a batch being counted in a worker's cache.
struct batchof {
	worker &w;
	const wordref *words;
};

bool sendmissed(void *context, std::size_t i, std::uint64_t hash)
{
	auto &b = *static_cast<batchof *>(context);
	const wordref &word = b.words[i];
	std::size_t owner = b.w.c->v->owner[partitionof(word.text, word.len)];
	return send(b.w, owner, word.text, word.len, hash, 1);
}

// Counts a batch in w's cache, and sends each word the full cache has no
// room for to its owner, w included; false where the crew stopped, with the
// words not yet counted or sent kept.
bool route(worker &w, const wordref *batch, std::size_t n)
{
	batchof b = {w, batch};
	std::size_t taken = tableadd(w.cache, std::span(batch, n), w.c->v->key, {sendmissed, &b});
	if (taken < n) {
		keep(w, batch + taken, n - taken);
		return false;
	}
	if (w.cache.used == w.c->cachewords)
		w.sincefull += static_cast<long long>(n);
	return w.sincefull < RELEARN || flushcache(w);
}

void finishitem(worker &w)
{
	crew &c = *w.c;
	if (!c.source.done(w.in, w.item, c.source.context))
		haltcrew(c, halt::shortread);
	w.item = nullptr;
}

// Takes w's next item, or waits for one, or for something else to do;
// false where there will be no more.
bool nextitem(worker &w)
{
	crew &c = *w.c;
	pthread_mutex_lock(&w.lock);
	if (w.nitems == 0 && !c.closed.load() && !stopped(c) && w.mail.load() == 0)
		pthread_cond_wait(&w.wake, &w.lock);
	if (w.nitems > 0) {
		w.item = w.items[--w.nitems];
		w.queued.fetch_sub(1);
	}
	bool over = w.item == nullptr && c.closed.load();
	pthread_mutex_unlock(&w.lock);
	if (w.item != nullptr) {
		w.scan = {};
		c.source.open(w.in, w.item, c.source.context);
	}
	return !over;
}

// Reads and counts w's items until there are no more; false where the crew
// stopped.
bool produce(worker &w)
{
	crew &c = *w.c;
	wordref batch[BATCH];
	for (;;) {
		if (stopped(c) || (w.mail.load(std::memory_order_relaxed) != 0 && !serve(w)))
			return false;
		std::size_t n = 0;
		if (w.item == nullptr) {
			if (!nextitem(w))
				return true;
		} else if ((n = takewords(w.in, w.scan, letterwords, LONGEST_WORD, batch)) == 0) {
			finishitem(w);
		} else if (!route(w, batch, n)) {
			return false;
		}
	}
}

// Counts what is sent to w until every worker has sent all it will.
void drain(worker &w)
{
	crew &c = *w.c;
	for (;;) {
		if (w.mail.load() != 0 && !serve(w))
			return;
		pthread_mutex_lock(&w.lock);
		while (w.mail.load() == 0 && c.producing.load() != 0 && !stopped(c))
			pthread_cond_wait(&w.wake, &w.lock);
		bool over = stopped(c) || (c.producing.load() == 0 && w.mail.load() == 0);
		pthread_mutex_unlock(&w.lock);
		if (over)
			return;
	}
}

void *workerthread(void *arg)
{
	auto &w = *static_cast<worker *>(arg);
	runworker(*w.c, w.id);
	return nullptr;
}

// Counts, on this thread and into every table, what a worker that stopped
// left: its last words, the rest of the item it had begun, and the buffers
// it had filled or been sent.  The items it had not begun are its
// source's to count, with the crew's memory given back.
void countleft(crew &c, worker &w)
{
	vocabulary &v = *c.v;
	addwords(v, std::span(w.pending, w.npending));
	w.npending = 0;
	if (w.item != nullptr) {
		countreader(w.in, w.scan, v);
		finishitem(w);
	}
	auto count = [&v](std::span<const unsigned char *const> sent) {
		addsent(v, sent);
		return sent.size();
	};
	for (buffer *list : {w.left, w.inbox})
		for (buffer *b = list; b != nullptr; b = b->next)
			countbuffer(b, count);
	wordtable &t = w.cache;
	sealtable(t);
	for (std::size_t b = 0; b < t.nblocks; b++)
		for (unsigned char *r = firstrecord(t, b); countof(r) != 0; r = nextrecord(r))
			if (countof(r) > 0 && !outofmemory(&v) &&
			    !tablecount(v.tables[v.owner[partitionof(textof(r), lengthof(r))]],
					textof(r), lengthof(r),
					wordhash(textof(r), lengthof(r), v.key), countof(r), v.key))
				v.nomemory.store(true);
	for (std::size_t o = 0; o < c.n; o++)
		if (w.out[o] != nullptr)
			countbuffer(w.out[o], count);
}

void freeworker(worker *w)
{
	freetable(w->cache);
	pthread_cond_destroy(&w->wake);
	pthread_mutex_destroy(&w->lock);
	freearea(w, sizeof(worker));
}

// The crew and what it holds are let go.
void freecrew(crew *c)
{
	for (std::size_t i = 0; i < c->n; i++)
		if (c->workers[i] != nullptr)
			freeworker(c->workers[i]);
	freearea(c->area, c->areasize);
	free(c);
}

} // namespace

crew *newcrew(vocabulary &v, std::size_t n, const itemsource &source)
{
	n = std::min(n, MAX_THREADS);
	auto *c = static_cast<crew *>(calloc(1, sizeof(crew)));
	if (c == nullptr || n < 2) {
		free(c);
		return nullptr;
	}
	c->v = &v;
	c->source = source;
	std::size_t nbuffers = 2 * n;
	c->sendsize = v.sendsize != 0
			      ? std::max(v.sendsize, SENT_HEADER + WORD_LIMIT)
			      : std::clamp(SEND_BUDGET / nbuffers, LEAST_SEND_BYTES, SEND_BYTES);
	c->cachewords = v.sendsize != 0 ? TIGHT_CACHE
					: std::clamp(CACHE_BUDGET / n, LEAST_CACHE, CACHE_WORDS);
	std::size_t size = sizeof(buffer) + c->sendsize + WORD_SLACK;
	size = (size + alignof(buffer) - 1) / alignof(buffer) * alignof(buffer);
	// The crew's memory is mapped, not taken from the heap, so that all of
	// it goes back to the system when the crew ends: what is counted after
	// it is counted under a limit on address space as one pass would be.
	c->areasize = n * nbuffers * size;
	c->area = static_cast<unsigned char *>(largearea(c->areasize));
	for (; c->area != nullptr && c->n < n; c->n++) {
		static_assert(alignof(worker) <= 4096 && sizeof(worker) > (1 << 20));
		auto *w = static_cast<worker *>(largearea(sizeof(worker)));
		if (w == nullptr)
			break;
		memset(static_cast<void *>(w), 0,
		       static_cast<std::size_t>(reinterpret_cast<unsigned char *>(&w->in) -
						reinterpret_cast<unsigned char *>(w)));
		w->c = c;
		w->id = c->n;
		newtable(w->cache, FIRST_BLOCK_BITS + 8);
		reservetable(w->cache, c->cachewords);
		w->cache.limit = c->cachewords;
		pthread_mutex_init(&w->lock, nullptr);
		pthread_cond_init(&w->wake, nullptr);
		for (std::size_t i = 0; i < nbuffers; i++) {
			auto *b =
				reinterpret_cast<buffer *>(c->area + (c->n * nbuffers + i) * size);
			*b = {w->spare, c->n, 0, 0};
			w->spare = b;
		}
		c->workers[c->n] = w;
	}
	if (c->n < 2) {
		freecrew(c);
		return nullptr;
	}
	return c;
}

reader &crewreader(crew &c, std::size_t w)
{
	return c.workers[w]->in;
}

void sampleweights(reader &in, std::uint32_t *weight)
{
	std::fill(weight, weight + PARTITIONS, 0);
	static_assert(SEEN_BITS % 64 == 0);
	std::uint64_t seen[SEEN_BITS / 64] = {};
	wordscan scan = {};
	wordref batch[BATCH];
	hashkey key = {0x9e3779b97f4a7c15u, 0xbf58476d1ce4e5b9u};
	while (std::size_t n = takewords(in, scan, letterwords, LONGEST_WORD, batch)) {
		for (std::size_t i = 0; i < n; i++) {
			std::size_t p = partitionof(batch[i].text, batch[i].len);
			auto h = static_cast<std::size_t>(
					 wordhash(batch[i].text, batch[i].len, key)) %
				 SEEN_BITS;
			std::uint64_t mask = std::uint64_t{1} << (h % 64);
			weight[p] += (seen[h / 64] & mask) != 0 ? 1 : NEW_WORD_WEIGHT;
			seen[h / 64] |= mask;
		}
	}
}

std::size_t startcrew(crew &c, std::size_t first, const std::uint32_t *weight)
{
	for (std::size_t i = first; i < c.n; i++) {
		worker &w = *c.workers[i];
		w.started = startthread(w.thread, workerthread, &w);
		if (!w.started) {
			for (std::size_t k = i; k < c.n; k++)
				freeworker(c.workers[k]);
			c.n = i;
			break;
		}
	}
	c.producing.store(c.n);
	vocabulary &v = *c.v;
	shareout(v, std::max<std::size_t>(c.n, 1), std::span(weight, PARTITIONS));
	for (std::size_t k = 0; k < v.ntables; k++) {
		v.tables[k].limit = v.tablelimit;
		v.tables[k].lookahead = true;
	}
	return c.n;
}

void handitem(crew &c, std::size_t i, void *item)
{
	worker &w = *c.workers[i];
	pthread_mutex_lock(&w.lock);
	SITKO_ASSERT(w.nitems < MAX_ITEMS);
	w.items[w.nitems++] = item;
	w.queued.fetch_add(1);
	pthread_cond_signal(&w.wake);
	pthread_mutex_unlock(&w.lock);
}

void handitem(crew &c, void *item)
{
	std::size_t best = 0;
	for (std::size_t i = 1; i < c.n; i++)
		if (c.workers[i]->queued.load() < c.workers[best]->queued.load())
			best = i;
	handitem(c, best, item);
}

void closecrew(crew &c)
{
	c.closed.store(true);
	pokeall(c);
}

void runworker(crew &c, std::size_t i)
{
	worker &w = *c.workers[i];
	if (!produce(w) || !flushcache(w))
		return;
	for (std::size_t o = 0; o < c.n; o++) {
		if (w.out[o] != nullptr)
			post(c, o, w.out[o]);
		w.out[o] = nullptr;
	}
	if (c.producing.fetch_sub(1) == 1)
		pokeall(c);
	drain(w);
}

halt crewhalted(const crew &c)
{
	int h = c.halted.load();
	return (h & bit(halt::shortread)) != 0 ? halt::shortread
	       : h != 0                        ? halt::nomemory
					       : halt::no;
}

void haltcrew(crew &c, halt why)
{
	if ((c.halted.fetch_or(bit(why)) & bit(why)) != 0)
		return;
	pokeall(c);
	if (c.source.stopped != nullptr)
		c.source.stopped(c.source.context);
}

halt endcrew(crew *c, bool countleftover)
{
	if (c == nullptr)
		return halt::no;
	for (std::size_t i = 0; i < c->n; i++)
		if (c->workers[i]->started)
			jointhread(c->workers[i]->thread);
	for (std::size_t k = 0; k < c->v->ntables; k++) {
		c->v->tables[k].limit = 0;
		c->v->tables[k].lookahead = false;
	}
	// Each worker is let go as soon as what it left is counted: what it
	// left is its own, but for the buffers, which stay till the last.
	if (crewhalted(*c) == halt::nomemory && countleftover)
		for (std::size_t i = 0; i < c->n; i++) {
			countleft(*c, *c->workers[i]);
			freeworker(c->workers[i]);
			c->workers[i] = nullptr;
			retrygrowth(*c->v);
		}
	halt why = crewhalted(*c);
	vocabulary &v = *c->v;
	freecrew(c);
	if (why != halt::no)
		trimheap();
	retrygrowth(v);
	return why;
}

namespace {

// In a run of word bytes that begins afresh, the last place where counting
// could begin afresh too.
std::size_t runcut(const unsigned char *run, std::size_t n, std::size_t limit)
{
	std::size_t p = 0, cut = 0;
	while (p < n) {
		if (!letterwords.first.member[run[p]])
			cut = ++p;
		else if (n - p >= limit)
			cut = p += limit;
		else
			break;
	}
	return cut;
}

} // namespace

std::size_t cutpoint(const unsigned char *block, std::size_t n, std::size_t limit)
{
	std::size_t run = n;
	while (run > 0 && inword(block[run - 1]))
		run--;
	return run + runcut(block + run, n - run, limit);
}

bool inword(unsigned char c)
{
	return letterwords.rest.member[c];
}

} // namespace sitko
