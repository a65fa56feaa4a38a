// SPDX-License-Identifier: MIT
#include "streamparts.hpp"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "count.hpp"
#include "cuts.hpp"
#include "threads.hpp"
#include "vocabulary.hpp"

namespace sitko {

namespace {

// A block handed to a thread is at least this long, so a cut can always be
// found in it.
constexpr std::size_t LEAST_HANDOFF = 256;
constexpr std::size_t MAX_SLOTS = MAX_THREADS + 2;

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
	vocabulary *v;
	slot slots[MAX_SLOTS];
};

// A counting thread: its reader of the blocks it takes, and its counter.
struct worker {
	reader in;
	counter words;
	stream *s;
	pthread_t thread;
};

void countslot(reader &in, counter &c, vocabulary &v, const slot &b)
{
	openmemory(in, b.bytes, b.n);
	countreader(in, c, v, nullptr);
}

void giveback(stream &s, slot *b)
{
	pthread_mutex_lock(&s.lock);
	s.spare[s.nspare++] = b;
	pthread_cond_signal(&s.room);
	pthread_mutex_unlock(&s.lock);
}

void *streamthread(void *arg)
{
	worker &w = *static_cast<worker *>(arg);
	stream &s = *w.s;
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
		countslot(w.in, w.words, *s.v, *b);
		giveback(s, b);
	}
	flushcounter(w.words, *s.v);
	return nullptr;
}

// What reads a stream and hands its blocks out.
struct handing {
	stream &s;
	reader *self; // counts where no thread could be started
	worker *workers[MAX_THREADS];
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
		constexpr std::size_t size =
			(sizeof(worker) + alignof(worker) - 1) / alignof(worker) * alignof(worker);
		auto *w = static_cast<worker *>(aligned_alloc(alignof(worker), size));
		if (w == nullptr)
			break;
		newcounter(w->words, *h.s.v, h.nworkers);
		w->s = &h.s;
		if (!startthread(w->thread, streamthread, w)) {
			free(w);
			break;
		}
		h.workers[h.started++] = w;
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
		countslot(*h.self, s.v->own, *s.v, *b);
		giveback(s, b);
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
	std::size_t cut = cutpoint(b->bytes, b->n, LIMIT);
	slot *next = takespare(h.s);
	next->n = b->n - cut;
	memcpy(next->bytes, b->bytes + cut, next->n);
	b->n = cut;
	handout(h, b);
	return next;
}

} // namespace

tnode *countstream(reader &in, std::size_t nworkers, std::size_t handoff, tnode *root)
{
	if (root == nullptr)
		root = newvocabulary();
	handoff = std::max(handoff, LEAST_HANDOFF);
	nworkers = std::clamp<std::size_t>(nworkers, 1, MAX_THREADS);
	std::size_t capacity = 2 * handoff, nslots = nworkers + 2;
	auto *s = static_cast<stream *>(calloc(1, sizeof(stream)));
	// Not asked for in huge pages: a short stream touches a page or two of
	// the first block, and no more of it is made.
	auto *area = static_cast<unsigned char *>(malloc(nslots * capacity));
	static_assert(sizeof(reader) % alignof(reader) == 0);
	auto *self = static_cast<reader *>(aligned_alloc(alignof(reader), sizeof(reader)));
	if (s == nullptr || area == nullptr || self == nullptr || outofmemory(root)) {
		// Without room to hand blocks out, the one pass counts it all.
		free(s);
		free(area);
		free(self);
		return countinput(in, root);
	}
	pthread_mutex_init(&s->lock, nullptr);
	pthread_cond_init(&s->work, nullptr);
	pthread_cond_init(&s->room, nullptr);
	for (std::size_t i = 0; i < nslots; i++) {
		s->slots[i] = {area + i * capacity, 0};
		s->spare[s->nspare++] = &s->slots[i];
	}
	s->v = root;
	handing h = {*s, self, {}, nworkers, 0};

	slot *b = takespare(*s);
	for (;;) {
		auto block = getblock(in);
		if (block.empty())
			break;
		// Once memory has run out nothing more is counted, but the
		// input is read to its end, as one pass reads it.
		if (outofmemory(root))
			continue;
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
		freecounter(h.workers[i]->words);
		free(h.workers[i]);
	}
	pthread_cond_destroy(&s->room);
	pthread_cond_destroy(&s->work);
	pthread_mutex_destroy(&s->lock);
	free(self);
	free(area);
	free(s);
	return root;
}

} // namespace sitko
