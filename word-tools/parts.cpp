// SPDX-License-Identifier: MIT
#include "parts.hpp"

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <pthread.h>
#include <sched.h>
#include <span>
#include <unistd.h>

#include "classes.hpp"
#include "getword.hpp"
#include "index.hpp"

namespace sitko {

namespace {

constexpr std::size_t LIMIT = WORD_CAPACITY - 1;
constexpr std::size_t BATCH = 256;
// How far from where a file would be cut a byte that ends any word is
// looked for; without one so near, the parts on either side are one.
constexpr long long CUT_SEARCH = 1LL << 20;
constexpr std::size_t LOOK = 4096;
// A block handed to a thread is at least this long, so a cut can always be
// found in it.
constexpr std::size_t LEAST_HANDOFF = 256;
constexpr std::size_t MAX_SLOTS = MAX_PARTS + 2;
constexpr std::size_t NONE = SIZE_MAX;
// A counting thread's own frames are a few pages; the usual stack of
// megabytes would only be address space to map and give back.
constexpr std::size_t THREAD_STACK = 256 << 10;

bool inword(unsigned char c)
{
	return letterwords.rest.member[c];
}

bool startsword(unsigned char c)
{
	return letterwords.first.member[c];
}

struct stream;

// One part of the input: the reader it is counted from, and what it found.
struct part {
	reader in;
	tnode *root;
	std::size_t index;
	long long from, to;
	std::atomic<std::size_t> *firstshort; // the first part that stopped short
	stream *share;
	bool failed, stoppedshort;
	bool started;
	pthread_t thread;
};

part *newpart(std::size_t index)
{
	constexpr std::size_t size =
		(sizeof(part) + alignof(part) - 1) / alignof(part) * alignof(part);
	auto *p = static_cast<part *>(aligned_alloc(alignof(part), size));
	if (p == nullptr)
		return nullptr;
	p->root = nullptr;
	p->index = index;
	p->from = p->to = 0;
	p->firstshort = nullptr;
	p->share = nullptr;
	p->failed = p->stoppedshort = p->started = false;
	return p;
}

// Counts the words of in into root; gives up once stop, where there is one,
// names a part before this one, as this part's words will then not be
// written.
tnode *countwords(reader &in, tnode *root, const std::atomic<std::size_t> *stop, std::size_t index)
{
	wordscan scan = {};
	wordref batch[BATCH];
	while (std::size_t n = takewords(in, scan, letterwords, LIMIT, batch)) {
		root = addwords(root, std::span(batch, n));
		if (stop != nullptr && stop->load(std::memory_order_relaxed) < index)
			break;
	}
	return root;
}

void countpart(part &p)
{
	p.root = countwords(p.in, p.root, p.firstshort, p.index);
}

// Up to n bytes of the source from offset at, read through r; how many
// there were.
std::size_t readat(const rangesource &source, reader &r, long long at, unsigned char *to,
		   std::size_t n)
{
	source.open(r, at, at + static_cast<long long>(n), source.context);
	std::size_t got = 0;
	while (got < n) {
		auto block = getblock(r);
		if (block.empty())
			break;
		std::size_t k = std::min(block.size(), n - got);
		memcpy(to + got, block.data(), k);
		got += k;
	}
	return got;
}

// Just past the first byte from at on, before at + CUT_SEARCH and limit,
// that no word holds; -1 if there is none.
long long boundaryafter(const rangesource &source, reader &r, long long at, long long limit)
{
	unsigned char look[LOOK];
	limit = std::min(limit, at + CUT_SEARCH);
	while (at < limit) {
		std::size_t n =
			readat(source, r, at, look,
			       static_cast<std::size_t>(std::min<long long>(LOOK, limit - at)));
		if (n == 0)
			return -1;
		for (std::size_t i = 0; i < n; i++)
			if (!inword(look[i]))
				return at + static_cast<long long>(i) + 1;
		at += static_cast<long long>(n);
	}
	return -1;
}

// Just past the last byte before at, and after at - CUT_SEARCH and limit,
// that no word holds; -1 if there is none.
long long boundarybefore(const rangesource &source, reader &r, long long at, long long limit)
{
	unsigned char look[LOOK];
	limit = std::max(limit, at - CUT_SEARCH);
	while (at > limit) {
		auto n = static_cast<std::size_t>(std::min<long long>(LOOK, at - limit));
		if (readat(source, r, at - static_cast<long long>(n), look, n) != n)
			return -1;
		for (std::size_t i = n; i-- > 0;)
			if (!inword(look[i]))
				return at - static_cast<long long>(n - i) + 1;
		at -= static_cast<long long>(n);
	}
	return -1;
}

void countrange(part &p)
{
	countpart(p);
	p.failed = inputfailed(p.in);
	p.stoppedshort = p.failed || static_cast<long long>(inputtaken(p.in)) < p.to - p.from;
	std::atomic<std::size_t> &first = *p.firstshort;
	if (p.stoppedshort) {
		std::size_t was = first.load();
		while (p.index < was && !first.compare_exchange_weak(was, p.index)) {
		}
	}
	if (p.index <= first.load())
		sorttree(p.root);
}

bool startthread(pthread_t &thread, void *(*run)(void *), void *arg)
{
	pthread_attr_t attr;
	if (pthread_attr_init(&attr) != 0)
		return false;
	bool started = pthread_attr_setstacksize(&attr, THREAD_STACK) == 0 &&
		       pthread_create(&thread, &attr, run, arg) == 0;
	pthread_attr_destroy(&attr);
	return started;
}

void *rangethread(void *arg)
{
	countrange(*static_cast<part *>(arg));
	return nullptr;
}

// The blocks a stream is handed out in, and the threads' queue of them.
struct slot {
	unsigned char *bytes;
	std::size_t n;
};

struct stream {
	pthread_mutex_t lock;
	pthread_cond_t work; // a block is waiting, or the input is done
	pthread_cond_t room; // a slot is free
	slot *ready[MAX_SLOTS];
	std::size_t head, nready;
	slot *spare[MAX_SLOTS];
	std::size_t nspare;
	bool done;
	std::atomic<bool> nomemory;
	slot slots[MAX_SLOTS];
};

// In a run of word bytes that begins afresh, the last place where counting
// could begin afresh too: after a digit before any letter, or after a word
// cut by the limit.
std::size_t runcut(const unsigned char *run, std::size_t n)
{
	std::size_t p = 0, cut = 0;
	while (p < n) {
		if (!startsword(run[p]))
			cut = ++p;
		else if (n - p >= LIMIT)
			cut = p += LIMIT;
		else
			break;
	}
	return cut;
}

// The last place in a block that begins afresh where the next may begin.
std::size_t cutpoint(const unsigned char *bytes, std::size_t n)
{
	std::size_t run = n;
	while (run > 0 && inword(bytes[run - 1]))
		run--;
	return run + runcut(bytes + run, n - run);
}

void countslot(part &p, const slot &b)
{
	openmemory(p.in, b.bytes, b.n);
	countpart(p);
	if (p.root != nullptr && p.root->nomemory)
		p.share->nomemory.store(true, std::memory_order_relaxed);
}

void *streamthread(void *arg)
{
	part &p = *static_cast<part *>(arg);
	stream &s = *p.share;
	for (;;) {
		pthread_mutex_lock(&s.lock);
		while (s.nready == 0 && !s.done)
			pthread_cond_wait(&s.work, &s.lock);
		if (s.nready == 0) {
			pthread_mutex_unlock(&s.lock);
			break;
		}
		slot *b = s.ready[s.head];
		s.head = (s.head + 1) % MAX_SLOTS;
		s.nready--;
		pthread_mutex_unlock(&s.lock);
		countslot(p, *b);
		pthread_mutex_lock(&s.lock);
		s.spare[s.nspare++] = b;
		pthread_cond_signal(&s.room);
		pthread_mutex_unlock(&s.lock);
	}
	sorttree(p.root);
	return nullptr;
}

// What reads a stream and hands its blocks out.
struct handing {
	stream &s;
	part *self; // counts where no thread could be started
	part *workers[MAX_PARTS];
	std::size_t nworkers, started;
};

slot *takespare(stream &s)
{
	pthread_mutex_lock(&s.lock);
	while (s.nspare == 0)
		pthread_cond_wait(&s.room, &s.lock);
	slot *b = s.spare[--s.nspare];
	pthread_mutex_unlock(&s.lock);
	return b;
}

void startworkers(handing &h)
{
	for (std::size_t i = 0; i < h.nworkers; i++) {
		part *p = newpart(i);
		if (p == nullptr)
			break;
		p->share = &h.s;
		if (!startthread(p->thread, streamthread, p)) {
			free(p);
			break;
		}
		p->started = true;
		h.workers[h.started++] = p;
	}
	h.nworkers = h.started;
}

// Hands b to a thread, or, with none, counts it here.
void handout(handing &h, slot *b)
{
	if (h.started == 0 && h.nworkers > 0)
		startworkers(h);
	stream &s = h.s;
	if (h.started == 0) {
		countslot(*h.self, *b);
		pthread_mutex_lock(&s.lock);
		s.spare[s.nspare++] = b;
		pthread_mutex_unlock(&s.lock);
		return;
	}
	pthread_mutex_lock(&s.lock);
	s.ready[(s.head + s.nready) % MAX_SLOTS] = b;
	s.nready++;
	pthread_cond_signal(&s.work);
	pthread_mutex_unlock(&s.lock);
}

// Cuts b where the next block may begin, hands out what comes before, and
// returns the next block, which begins with the rest.
slot *cutandhand(handing &h, slot *b)
{
	std::size_t cut = cutpoint(b->bytes, b->n);
	slot *next = takespare(h.s);
	next->n = b->n - cut;
	memcpy(next->bytes, b->bytes + cut, next->n);
	b->n = cut;
	handout(h, b);
	return next;
}

} // namespace

std::size_t cpusallowed()
{
	std::size_t n = 0;
	cpu_set_t set;
	if (sched_getaffinity(0, sizeof set, &set) == 0)
		n = static_cast<std::size_t>(CPU_COUNT(&set));
	else if (long online = sysconf(_SC_NPROCESSORS_ONLN); online > 0)
		n = static_cast<std::size_t>(online);
	return std::clamp<std::size_t>(n, 1, MAX_PARTS);
}

tnode *countinput(reader &in, tnode *root)
{
	return countwords(in, root, nullptr, 0);
}

bool countranges(const rangesource &source, long long from, long long to, std::size_t nparts,
		 partcounts &counts)
{
	nparts = std::min(nparts, MAX_PARTS);
	if (nparts < 2 || to - from < static_cast<long long>(nparts))
		return false;
	part *parts[MAX_PARTS] = {};
	parts[0] = newpart(0);
	if (parts[0] == nullptr)
		return false;
	reader &look = parts[0]->in;
	long long cuts[MAX_PARTS + 1];
	std::size_t k = 0;
	cuts[0] = from;
	long long step = (to - from) / static_cast<long long>(nparts);
	for (std::size_t i = 1; i < nparts; i++) {
		long long c =
			boundaryafter(source, look, from + step * static_cast<long long>(i), to);
		if (c > cuts[k] && c < to)
			cuts[++k] = c;
	}
	// The last part ends where no word goes on, so a word that runs on
	// into bytes the file gains is read whole.
	long long last = k > 0 ? boundarybefore(source, look, to, cuts[k]) : -1;
	std::size_t n = k + 1;
	if (last <= cuts[k]) {
		n = k;
		last = cuts[k];
	}
	for (std::size_t i = 1; i < n; i++) {
		parts[i] = newpart(i);
		if (parts[i] == nullptr) {
			n = i;
			last = cuts[i];
		}
	}
	if (n < 2) {
		free(parts[0]);
		return false;
	}
	cuts[n] = last;

	std::atomic<std::size_t> firstshort{NONE};
	for (std::size_t i = 0; i < n; i++) {
		part &p = *parts[i];
		p.from = cuts[i];
		p.to = cuts[i + 1];
		p.firstshort = &firstshort;
		source.open(p.in, p.from, p.to, source.context);
	}
	for (std::size_t i = 1; i < n; i++)
		parts[i]->started = startthread(parts[i]->thread, rangethread, parts[i]);
	countrange(*parts[0]);
	for (std::size_t i = 1; i < n; i++) {
		if (parts[i]->started)
			pthread_join(parts[i]->thread, nullptr);
		else
			countrange(*parts[i]);
	}

	std::size_t stop = firstshort.load();
	counts.nroots = 0;
	counts.whole = stop == NONE;
	counts.failed = false;
	counts.end = last;
	if (!counts.whole) {
		const part &p = *parts[stop];
		counts.failed = p.failed;
		counts.end = p.from + static_cast<long long>(inputtaken(p.in));
	}
	for (std::size_t i = 0; i < n; i++) {
		if (i <= stop)
			counts.roots[counts.nroots++] = parts[i]->root;
		else
			dropwords(parts[i]->root);
		free(parts[i]);
	}
	return true;
}

void countstream(reader &in, std::size_t nworkers, std::size_t handoff, partcounts &counts)
{
	counts.nroots = 0;
	counts.whole = true;
	counts.failed = false;
	counts.end = 0;
	handoff = std::max(handoff, LEAST_HANDOFF);
	nworkers = std::clamp<std::size_t>(nworkers, 1, MAX_PARTS);
	std::size_t capacity = 2 * handoff, nslots = nworkers + 2;
	auto *s = static_cast<stream *>(calloc(1, sizeof(stream)));
	auto *area = static_cast<unsigned char *>(largearea(nslots * capacity));
	part *self = newpart(nworkers);
	if (s == nullptr || area == nullptr || self == nullptr) {
		// Without room to hand blocks out, the one pass counts it all.
		free(s);
		free(area);
		free(self);
		counts.roots[counts.nroots++] = countinput(in, nullptr);
		return;
	}
	pthread_mutex_init(&s->lock, nullptr);
	pthread_cond_init(&s->work, nullptr);
	pthread_cond_init(&s->room, nullptr);
	for (std::size_t i = 0; i < nslots; i++) {
		s->slots[i] = {area + i * capacity, 0};
		s->spare[s->nspare++] = &s->slots[i];
	}
	self->share = s;
	handing h = {*s, self, {}, nworkers, 0};

	slot *b = takespare(*s);
	while (!s->nomemory.load(std::memory_order_relaxed)) {
		auto block = getblock(in);
		if (block.empty())
			break;
		while (!block.empty()) {
			std::size_t k = std::min(block.size(), capacity - b->n);
			memcpy(b->bytes + b->n, block.data(), k);
			b->n += k;
			block = block.subspan(k);
			while (b->n >= handoff)
				b = cutandhand(h, b);
		}
	}
	// The last block is counted here when no thread was needed.
	if (h.started == 0)
		h.nworkers = 0;
	handout(h, b);
	pthread_mutex_lock(&s->lock);
	s->done = true;
	pthread_cond_broadcast(&s->work);
	pthread_mutex_unlock(&s->lock);
	for (std::size_t i = 0; i < h.started; i++) {
		pthread_join(h.workers[i]->thread, nullptr);
		counts.roots[counts.nroots++] = h.workers[i]->root;
		free(h.workers[i]);
	}
	sorttree(self->root);
	counts.roots[counts.nroots++] = self->root;
	counts.failed = inputfailed(in);
	counts.whole = !counts.failed;
	pthread_cond_destroy(&s->room);
	pthread_cond_destroy(&s->work);
	pthread_mutex_destroy(&s->lock);
	free(self);
	free(area);
	free(s);
}

} // namespace sitko
