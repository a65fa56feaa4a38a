// SPDX-License-Identifier: MIT
#include "streamparts.hpp"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <pthread.h>

#include "owners.hpp"
#include "takewords.hpp"
#include "vocabulary.hpp"

namespace sitko {

namespace {

// A block handed to a thread is at least this long, so a cut can always be
// found in it.
constexpr std::size_t LEAST_HANDOFF = 256;
constexpr std::size_t MAX_SLOTS = MAX_THREADS + 2;

// The blocks a stream is handed out in.
struct slot {
	unsigned char *bytes;
	std::size_t n;
};

struct stream {
	pthread_mutex_t lock;
	pthread_cond_t room; // a slot is free, or the crew has stopped
	slot *spare[MAX_SLOTS];
	std::size_t nspare;
	slot slots[MAX_SLOTS];
};

void openslot(reader &r, void *item, void *)
{
	const auto &b = *static_cast<const slot *>(item);
	openmemory(r, b.bytes, b.n);
}

bool giveback(reader &, void *item, void *context)
{
	auto &s = *static_cast<stream *>(context);
	pthread_mutex_lock(&s.lock);
	s.spare[s.nspare++] = static_cast<slot *>(item);
	pthread_cond_signal(&s.room);
	pthread_mutex_unlock(&s.lock);
	return true;
}

void wakereader(void *context)
{
	auto &s = *static_cast<stream *>(context);
	pthread_mutex_lock(&s.lock);
	pthread_cond_broadcast(&s.room);
	pthread_mutex_unlock(&s.lock);
}

void freestream(stream *s, reader *self, std::size_t capacity)
{
	for (std::size_t i = 0; s != nullptr && i < MAX_SLOTS; i++)
		freearea(s->slots[i].bytes, capacity);
	freearea(self, sizeof(reader));
	free(s);
}

// What reads a stream and hands its blocks out.
struct handing {
	stream &s;
	vocabulary &v;
	reader &self; // counts the blocks where there is no crew
	crew *c;
	std::size_t nworkers;
};

bool crewstopped(const handing &h)
{
	return h.c != nullptr && crewhalted(*h.c) != halt::no;
}

// A crew that stopped for want of memory is ended, and what it left is
// counted here; the blocks from then on are counted here too.
void endstopped(handing &h)
{
	if (crewstopped(h)) {
		endcrew(h.c);
		h.c = nullptr;
	}
}

slot *takespare(handing &h)
{
	stream &s = h.s;
	for (;;) {
		pthread_mutex_lock(&s.lock);
		while (s.nspare == 0 && !crewstopped(h))
			pthread_cond_wait(&s.room, &s.lock);
		slot *b = s.nspare > 0 ? s.spare[--s.nspare] : nullptr;
		pthread_mutex_unlock(&s.lock);
		if (b != nullptr)
			return b;
		endstopped(h);
	}
}

// The first block is weighed to share the partitions out; a crew that
// cannot start leaves the counting to this thread.
void startworkers(handing &h, const slot &first)
{
	std::uint32_t weight[PARTITIONS];
	openmemory(h.self, first.bytes, first.n);
	sampleweights(h.self, weight);
	h.c = newcrew(h.v, h.nworkers, {openslot, giveback, wakereader, &h.s});
	if (h.c != nullptr && startcrew(*h.c, 0, weight) == 0) {
		endcrew(h.c);
		h.c = nullptr;
	}
	h.nworkers = 0;
}

// Hands b to a thread, or, with none, counts it here.
void handout(handing &h, slot *b)
{
	if (h.nworkers > 0)
		startworkers(h, *b);
	endstopped(h);
	if (h.c != nullptr) {
		handitem(*h.c, b);
		return;
	}
	wordscan scan = {};
	openmemory(h.self, b->bytes, b->n);
	countreader(h.self, scan, h.v);
	giveback(h.self, b, &h.s);
}

// Cuts b where the next block may begin, hands out what comes before, and
// returns the next block, which begins with the rest.
slot *cutandhand(handing &h, slot *b)
{
	std::size_t cut = cutpoint(b->bytes, b->n, LONGEST_WORD);
	slot *next = takespare(h);
	next->n = b->n - cut;
	memcpy(next->bytes, b->bytes + cut, next->n);
	b->n = cut;
	handout(h, b);
	return next;
}

} // namespace

int countstream(reader &in, std::size_t nworkers, std::size_t handoff, vocabulary *&root)
{
	if (root == nullptr)
		root = newvocabulary();
	handoff = std::max(handoff, LEAST_HANDOFF);
	nworkers = std::clamp<std::size_t>(nworkers, 1, MAX_THREADS);
	std::size_t capacity = 2 * handoff, nslots = nworkers + 2;
	auto *s = static_cast<stream *>(calloc(1, sizeof(stream)));
	static_assert(alignof(reader) <= 4096 && sizeof(reader) > (1 << 20));
	auto *self = static_cast<reader *>(largearea(sizeof(reader)));
	bool room = s != nullptr && self != nullptr;
	// Mapped, as the crew's memory is (owners.cpp), each block on its own
	// and smaller than a huge page: a short stream touches a page or two of
	// the first, and no more of it is made.
	for (std::size_t i = 0; room && i < nslots; i++) {
		s->slots[i] = {static_cast<unsigned char *>(largearea(capacity)), 0};
		s->spare[s->nspare++] = &s->slots[i];
		room = s->slots[i].bytes != nullptr;
	}
	if (!room || outofmemory(root)) {
		// Without room to hand blocks out, the one pass counts it all.
		freestream(s, self, capacity);
		return countinput(in, root);
	}
	pthread_mutex_init(&s->lock, nullptr);
	pthread_cond_init(&s->room, nullptr);
	handing h = {*s, *root, *self, nullptr, nworkers};

	slot *b = takespare(h);
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
	h.nworkers = 0;
	handout(h, b);
	if (h.c != nullptr) {
		closecrew(*h.c);
		endcrew(h.c);
	}
	pthread_cond_destroy(&s->room);
	pthread_mutex_destroy(&s->lock);
	freestream(s, self, capacity);
	return 0;
}

} // namespace sitko
