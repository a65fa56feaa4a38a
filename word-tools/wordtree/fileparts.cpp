// SPDX-License-Identifier: MIT
#include "fileparts.hpp"

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>

#include "count.hpp"
#include "cuts.hpp"
#include "threads.hpp"
#include "vocabulary.hpp"

namespace sitko {

namespace {

// How far from where a file would be cut a byte that ends any word is
// looked for; without one so near, the parts on either side are one.
constexpr long long CUT_SEARCH = 1LL << 20;
constexpr std::size_t LOOK = 4096;

// One part of the file: the reader it is counted from, and what it found.
struct part {
	reader in;
	counter words;
	vocabulary *v;
	long long from, to;
	std::atomic<bool> *stop; // some part stopped short
	bool started;
	pthread_t thread;
};

part *newpart(vocabulary *v, std::atomic<bool> *stop, std::size_t threads)
{
	constexpr std::size_t size =
		(sizeof(part) + alignof(part) - 1) / alignof(part) * alignof(part);
	auto *p = static_cast<part *>(aligned_alloc(alignof(part), size));
	if (p == nullptr)
		return nullptr;
	newcounter(p->words, *v, threads);
	p->v = v;
	p->from = p->to = 0;
	p->stop = stop;
	p->started = false;
	return p;
}

void freepart(part *p)
{
	if (p != nullptr)
		freecounter(p->words);
	free(p);
}

// Up to n bytes of the file from offset at, read through r; how many there
// were.
std::size_t readat(const filesource &f, reader &r, long long at, unsigned char *to, std::size_t n)
{
	f.range(r, at, at + static_cast<long long>(n), f.context);
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
long long boundaryafter(const filesource &f, reader &r, long long at, long long limit)
{
	unsigned char look[LOOK];
	limit = std::min(limit, at + CUT_SEARCH);
	while (at < limit) {
		std::size_t n =
			readat(f, r, at, look,
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
long long boundarybefore(const filesource &f, reader &r, long long at, long long limit)
{
	unsigned char look[LOOK];
	limit = std::max(limit, at - CUT_SEARCH);
	while (at > limit) {
		auto n = static_cast<std::size_t>(std::min<long long>(LOOK, at - limit));
		if (readat(f, r, at - static_cast<long long>(n), look, n) != n)
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
	countreader(p.in, p.words, *p.v, p.stop);
	flushcounter(p.words, *p.v);
	if (inputfailed(p.in) || static_cast<long long>(inputtaken(p.in)) < p.to - p.from)
		p.stop->store(true);
}

void *rangethread(void *arg)
{
	countrange(*static_cast<part *>(arg));
	return nullptr;
}

// Cuts the file into parts and counts them; the end of the last part, or
// -1 where it could not be cut in two or more.
long long countparts(const filesource &f, long long from, long long to, std::size_t nparts,
		     vocabulary *v, std::atomic<bool> &stop)
{
	nparts = std::min(nparts, MAX_THREADS);
	if (nparts < 2 || to - from < static_cast<long long>(nparts))
		return -1;
	part *parts[MAX_THREADS] = {};
	parts[0] = newpart(v, &stop, nparts);
	if (parts[0] == nullptr)
		return -1;
	reader &look = parts[0]->in;
	long long cuts[MAX_THREADS + 1];
	std::size_t k = 0;
	cuts[0] = from;
	long long step = (to - from) / static_cast<long long>(nparts);
	for (std::size_t i = 1; i < nparts; i++) {
		long long c = boundaryafter(f, look, from + step * static_cast<long long>(i), to);
		if (c > cuts[k] && c < to)
			cuts[++k] = c;
	}
	// The last part ends where no word goes on, so a word that runs on
	// into bytes the file gains is read whole.
	long long last = k > 0 ? boundarybefore(f, look, to, cuts[k]) : -1;
	std::size_t n = k + 1;
	if (last <= cuts[k]) {
		n = k;
		last = cuts[k];
	}
	for (std::size_t i = 1; i < n; i++) {
		parts[i] = newpart(v, &stop, nparts);
		if (parts[i] == nullptr) {
			n = i;
			last = cuts[i];
		}
	}
	if (n < 2) {
		for (part *p : parts)
			freepart(p);
		return -1;
	}
	cuts[n] = last;
	for (std::size_t i = 0; i < n; i++) {
		part &p = *parts[i];
		p.from = cuts[i];
		p.to = cuts[i + 1];
		f.range(p.in, p.from, p.to, f.context);
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
	for (part *p : parts)
		freepart(p);
	return last;
}

} // namespace

int countfile(const filesource &f, long long from, long long size, std::size_t nparts, reader &in,
	      tnode *&root)
{
	if (root == nullptr)
		root = newvocabulary();
	std::atomic<bool> stop{false};
	long long end = countparts(f, from, size, nparts, root, stop);
	if (end < 0)
		return -1;
	if (stop.load() || outofmemory(root)) {
		dropwords(root);
		root = nullptr;
		end = from;
	}
	if (!f.rest(in, end, f.context))
		return 1;
	root = countinput(in, root);
	return 0;
}

} // namespace sitko
