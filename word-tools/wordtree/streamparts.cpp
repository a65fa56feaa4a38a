// SPDX-License-Identifier: MIT
#include "streamparts.hpp"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <pthread.h>

#include "check.hpp"
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
	unsigned char *bytes; // null once let go
	std::size_t n;
	bool out; // handed to the crew and not given back
};

struct stream {
	pthread_mutex_t lock;
	pthread_cond_t room; // a slot is free, or the crew has stopped
	slot *spare[MAX_SLOTS];
	std::size_t nspare;
	bool letgo; // the crew has stopped: a block given back is let go
	std::size_t nslots;
	std::size_t capacity; // of each slot's bytes
	slot slots[MAX_SLOTS];
};

void openslot(reader &r, void *item, void *)
{
	const auto &b = *static_cast<const slot *>(item);
	openmemory(r, b.bytes, b.n);
}

void freeslot(stream &s, slot &b)
{
	freearea(b.bytes, s.capacity);
	b.bytes = nullptr;
}

bool giveback(reader &, void *item, void *context)
{
	auto &s = *static_cast<stream *>(context);
	auto &b = *static_cast<slot *>(item);
	pthread_mutex_lock(&s.lock);
	b.out = false;
	if (s.letgo)
		freeslot(s, b);
	else
		s.spare[s.nspare++] = &b;
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

void freestream(stream *s, reader *self)
{
	for (std::size_t i = 0; s != nullptr && i < s->nslots; i++)
		freeslot(*s, s->slots[i]);
	freearea(self, sizeof(reader));
	free(s);
}

// What reads a stream and hands its blocks out.
struct handing {
	stream &s;
	vocabulary &v;
	reader &self; // counts what the crew leaves
	crew *c;
	std::size_t nworkers; // to start with the first block, or 0
};

bool handingout(const handing &h)
{
	return h.c != nullptr || h.nworkers > 0;
}

void countblock(handing &h, const unsigned char *bytes, std::size_t n)
{
	wordscan scan = {};
	openmemory(h.self, bytes, n);
	countreader(h.self, scan, h.v);
}

// No block is handed out again: the spare ones are let go, and so is each
// that comes back.
void letgo(stream &s)
{
	pthread_mutex_lock(&s.lock);
	s.letgo = true;
	for (std::size_t i = 0; i < s.nspare; i++)
		freeslot(s, *s.spare[i]);
	s.nspare = 0;
	pthread_mutex_unlock(&s.lock);
}

// Ends the crew.  Where it stopped short, the blocks are let go as soon as
// they are counted, so that what the crew left is counted in the room one
// pass would have: those it was handed and had not begun are counted here,
// after its memory is given back.  held is kept.
void endhanding(handing &h, const slot *held)
{
	stream &s = h.s;
	if (crewhalted(*h.c) != halt::no)
		letgo(s);
	halt why = endcrew(h.c);
	h.c = nullptr;
	h.nworkers = 0;
	if (why == halt::no)
		return;
	letgo(s);
	for (std::size_t i = 0; i < s.nslots; i++) {
		slot &b = s.slots[i];
		if (&b != held && b.out) {
			countblock(h, b.bytes, b.n);
			b.out = false;
		}
		if (&b != held) {
			freeslot(s, b);
			retrygrowth(h.v);
		}
	}
}

// A free slot, once one is given back; null where the crew stops first,
// and then it has been ended.
slot *takespare(handing &h, const slot *held)
{
	stream &s = h.s;
	pthread_mutex_lock(&s.lock);
	while (s.nspare == 0 && crewhalted(*h.c) == halt::no)
		pthread_cond_wait(&s.room, &s.lock);
	slot *b = crewhalted(*h.c) == halt::no ? s.spare[--s.nspare] : nullptr;
	pthread_mutex_unlock(&s.lock);
	if (b == nullptr)
		endhanding(h, held);
	return b;
}

void handout(handing &h, slot *b)
{
	b->out = true;
	handitem(*h.c, b);
}

// Cuts b where the next block may begin, hands out what comes before, and
// returns the next block, which begins with the rest; returns b whole where
// there is no crew to hand it to.  The first block is weighed to share the
// partitions out; a crew that cannot start leaves the counting to this
// thread.
slot *cutandhand(handing &h, slot *b)
{
	if (h.nworkers > 0) {
		std::uint32_t weight[PARTITIONS];
		openmemory(h.self, b->bytes, b->n);
		sampleweights(h.self, weight);
		h.c = newcrew(h.v, h.nworkers, {openslot, giveback, wakereader, &h.s});
		h.nworkers = 0;
		if (h.c != nullptr && startcrew(*h.c, 0, weight) == 0)
			endhanding(h, b);
	}
	slot *next = h.c != nullptr ? takespare(h, b) : nullptr;
	if (next == nullptr)
		return b;
	std::size_t cut = cutpoint(b->bytes, b->n, LONGEST_WORD);
	next->n = b->n - cut;
	memcpy(next->bytes, b->bytes + cut, next->n);
	b->n = cut;
	handout(h, b);
	return next;
}

// Counts b here, where the crew stopped taking blocks before in ended: what
// b holds up to where counting may begin afresh, then the rest with what
// follows it in in, up to where counting may begin afresh again, so that
// the one pass that reads the rest of in can begin there.
void countheld(handing &h, slot &b, reader &in)
{
	std::size_t cut = cutpoint(b.bytes, b.n, LONGEST_WORD);
	countblock(h, b.bytes, cut);
	b.n -= cut;
	memmove(b.bytes, b.bytes + cut, b.n);
	int c = 0;
	while (cutpoint(b.bytes, b.n, LONGEST_WORD) != b.n && (c = getbyte(in)) != EOF) {
		SITKO_ASSERT(b.n < h.s.capacity);
		b.bytes[b.n++] = static_cast<unsigned char>(c);
	}
	countblock(h, b.bytes, b.n);
}

} // namespace

int countstream(reader &in, std::size_t nworkers, std::size_t handoff, vocabulary *&root)
{
	if (root == nullptr)
		root = newvocabulary();
	handoff = std::max(handoff, LEAST_HANDOFF);
	nworkers = std::clamp<std::size_t>(nworkers, 1, MAX_THREADS);
	auto *s = static_cast<stream *>(calloc(1, sizeof(stream)));
	static_assert(alignof(reader) <= 4096 && sizeof(reader) > (1 << 20));
	auto *self = static_cast<reader *>(largearea(sizeof(reader)));
	bool room = s != nullptr && self != nullptr;
	// Mapped, as the crew's memory is (owners.cpp), each block on its own
	// and smaller than a huge page: a short stream touches a page or two of
	// the first, and no more of it is made, and a crew that stops gives
	// every block back as soon as it is counted.
	for (std::size_t i = 0; room && i < nworkers + 2; i++) {
		// A block is cut once it holds handoff bytes, and what follows
		// the cut is shorter than a word.
		s->capacity = handoff + LONGEST_WORD;
		s->nslots = i + 1;
		s->slots[i] = {static_cast<unsigned char *>(largearea(s->capacity)), 0, false};
		s->spare[s->nspare++] = &s->slots[i];
		room = s->slots[i].bytes != nullptr;
	}
	if (!room || outofmemory(root)) {
		// Without room to hand blocks out, the one pass counts it all.
		freestream(s, self);
		return countinput(in, root);
	}
	pthread_mutex_init(&s->lock, nullptr);
	pthread_cond_init(&s->room, nullptr);
	handing h = {*s, *root, *self, nullptr, nworkers};

	slot *b = s->spare[--s->nspare];
	while (handingout(h) && !outofmemory(root)) {
		auto block = peekblock(in);
		if (block.empty())
			break;
		std::size_t k = std::min(block.size(), s->capacity - b->n);
		memcpy(b->bytes + b->n, block.data(), k);
		b->n += k;
		skipinput(in, k);
		while (b->n >= handoff && handingout(h))
			b = cutandhand(h, b);
	}
	if (h.c != nullptr) {
		// The last block goes to the crew too: what a crew that stops
		// leaves of it is counted here.
		handout(h, b);
		closecrew(*h.c);
		endhanding(h, nullptr);
		b = nullptr;
	}
	if (b != nullptr && !outofmemory(root))
		countheld(h, *b, in);
	pthread_cond_destroy(&s->room);
	pthread_mutex_destroy(&s->lock);
	freestream(s, self);
	retrygrowth(*root);
	// What is left of in, if anything, is counted in one pass, and read to
	// its end once memory has run out.
	return countinput(in, root);
}

} // namespace sitko
