// SPDX-License-Identifier: MIT
// The report: the tables sorted on every thread at once, then the
// partitions' lines made on every thread and written in partition order,
// which is byte order, on this one.
#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <pthread.h>

#include "check.hpp"
#include "output.hpp"
#include "threads.hpp"
#include "vocabulary.hpp"

namespace sitko {

// "%4lld %s\n", without going through a format for every word.
std::size_t formatline(char *line, const unsigned char *r)
{
	char digits[20];
	std::size_t nd = 0;
	auto c = static_cast<unsigned long long>(countof(r));
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
	memcpy(line + n, textof(r), lengthof(r));
	n += lengthof(r);
	line[n++] = '\n';
	return n;
}

namespace {

// A thread of its own is worth it for about this many words.
constexpr std::size_t WORDS_PER_THREAD = 1 << 15;

std::size_t digitsof(unsigned long long c)
{
	std::size_t n = 1;
	while (c >= 10) {
		c /= 10;
		n++;
	}
	return n;
}

std::size_t linesize(const unsigned char *r)
{
	return std::max<std::size_t>(digitsof(static_cast<unsigned long long>(countof(r))), 4) +
	       lengthof(r) + 2;
}

// Makes the lines of a sorted partition, where there is room for them.
void format(partition &p)
{
	std::size_t size = 0;
	for (std::size_t i = 0; i < p.nordered; i++)
		size += linesize(p.ordered[i].record);
	if (size == 0)
		return;
	auto *text = static_cast<char *>(malloc(size));
	if (text == nullptr)
		return; // written straight from the words instead
	std::size_t n = 0;
	for (std::size_t i = 0; i < p.nordered; i++) {
		if (i + 16 < p.nordered)
			__builtin_prefetch(p.ordered[i + 16].record);
		n += formatline(text + n, p.ordered[i].record);
	}
	p.text = text;
	p.textsize = n;
}

void write(partition &p)
{
	if (p.text != nullptr) {
		putbytes(p.text, p.textsize);
		free(p.text);
		p.text = nullptr;
		return;
	}
	char line[24 + WORD_LIMIT];
	for (std::size_t i = 0; i < p.nordered; i++) {
		if (i + 16 < p.nordered)
			__builtin_prefetch(p.ordered[i + 16].record);
		putbytes(line, formatline(line, p.ordered[i].record));
	}
}

struct finishing {
	vocabulary &v;
	std::size_t window; // how far the lines may be made ahead of the writing
	std::atomic<std::size_t> nextsort;
	pthread_mutex_t lock;
	pthread_cond_t changed;
	std::size_t threads = 1; // threads at work
	std::size_t sorted = 0;  // threads done with sorting
	std::size_t nextformat = 0;
	std::size_t written = 0;
	bool formatted[PARTITIONS] = {};
	bool retry[MAX_THREADS] = {}; // tables to sort again, alone
};

// Sorts the words of table k, and points each partition it holds at its
// own, which lie together: partitions follow byte order.
void sorttable(finishing &f, std::size_t k)
{
	vocabulary &v = f.v;
	sortedwords &s = v.sorted[k];
	if (!gatherwords(v.tables[k], s)) {
		f.retry[k] = true;
		return;
	}
	sortentries(s.entries, s.n);
	for (std::size_t i = 0; i < s.n;) {
		std::size_t
			key = partitionbykey[static_cast<std::size_t>(s.entries[i].prefix >> 48)],
			j = i + 1;
		while (j < s.n &&
		       partitionbykey[static_cast<std::size_t>(s.entries[j].prefix >> 48)] == key)
			j++;
		SITKO_ASSERT(v.parts[key].nordered == 0 && v.owner[key] == k);
		v.parts[key].ordered = s.entries + i;
		v.parts[key].nordered = j - i;
		i = j;
	}
}

// Sorts the tables on every thread until none is left, then waits for every
// thread to be done.  Sorting many tables at once takes more memory than
// one: false where some table found none, to be sorted again alone.
bool sortall(finishing &f)
{
	for (std::size_t k; (k = f.nextsort.fetch_add(1)) < f.v.ntables;)
		sorttable(f, k);
	pthread_mutex_lock(&f.lock);
	f.sorted++;
	pthread_cond_broadcast(&f.changed);
	while (f.sorted < f.threads)
		pthread_cond_wait(&f.changed, &f.lock);
	pthread_mutex_unlock(&f.lock);
	return std::find(f.retry, f.retry + MAX_THREADS, true) == f.retry + MAX_THREADS;
}

// The tables whose sort found no memory beside the others', sorted one by
// one on this thread once the others have ended, whose stacks a memory
// limit counts too; false where memory runs out even so.
bool sortleft(finishing &f)
{
	for (std::size_t k = 0; k < f.v.ntables; k++)
		if (f.retry[k]) {
			f.retry[k] = false;
			sorttable(f, k);
			if (f.retry[k])
				return false;
		}
	return true;
}

// With the lock held: takes the next partition to format, if there is one
// within the window; PARTITIONS if not.
std::size_t takeformat(finishing &f)
{
	if (f.nextformat >= PARTITIONS || f.nextformat >= f.written + f.window)
		return PARTITIONS;
	return f.nextformat++;
}

// With the lock held: formats partition p, and says so.
void formatheld(finishing &f, std::size_t p)
{
	pthread_mutex_unlock(&f.lock);
	format(f.v.parts[p]);
	pthread_mutex_lock(&f.lock);
	f.formatted[p] = true;
	pthread_cond_broadcast(&f.changed);
}

// With the lock held: formats the next partition within the window, or,
// with none to take, waits for another thread to get on.
void formatorwait(finishing &f)
{
	std::size_t p = takeformat(f);
	if (p < PARTITIONS)
		formatheld(f, p);
	else
		pthread_cond_wait(&f.changed, &f.lock);
}

void *finisher(void *arg)
{
	auto &f = *static_cast<finishing *>(arg);
	if (!sortall(f))
		return nullptr;
	pthread_mutex_lock(&f.lock);
	while (f.nextformat < PARTITIONS)
		formatorwait(f);
	pthread_mutex_unlock(&f.lock);
	return nullptr;
}

} // namespace

bool treeprint(tnode *root, std::size_t threads)
{
	if (root == nullptr)
		return true;
	vocabulary &v = *root;
	std::size_t words = 0;
	for (std::size_t k = 0; k < v.ntables; k++)
		words += v.tables[k].used;
	threads = std::clamp<std::size_t>(threads, 1, 1 + words / WORDS_PER_THREAD);
	if (outofmemory(&v)) {
		dropwords(root);
		return false;
	}
	for (std::size_t k = 0; k < v.ntables; k++)
		trimtable(v.tables[k]);

	finishing f = {.v = v,
		       .window = threads + 2,
		       .nextsort = {0},
		       .lock = PTHREAD_MUTEX_INITIALIZER,
		       .changed = PTHREAD_COND_INITIALIZER};
	runner crew[MAX_THREADS];
	std::size_t started = 0;
	for (std::size_t i = 1; i < threads && i < MAX_THREADS; i++) {
		pthread_mutex_lock(&f.lock);
		f.threads++;
		pthread_mutex_unlock(&f.lock);
		if (!startthread(crew[started], finisher, &f)) {
			pthread_mutex_lock(&f.lock);
			f.threads--;
			pthread_cond_broadcast(&f.changed);
			pthread_mutex_unlock(&f.lock);
			break;
		}
		started++;
	}
	bool whole = sortall(f);
	if (!whole) {
		for (std::size_t i = 0; i < started; i++)
			jointhread(crew[i]);
		started = 0;
		whole = sortleft(f);
	}
	if (whole && started == 0) {
		for (partition &p : v.parts)
			write(p);
	} else if (whole) {
		for (std::size_t next = 0; next < PARTITIONS; next++) {
			pthread_mutex_lock(&f.lock);
			while (!f.formatted[next])
				formatorwait(f);
			pthread_mutex_unlock(&f.lock);
			write(v.parts[next]);
			pthread_mutex_lock(&f.lock);
			f.written = next + 1;
			pthread_cond_broadcast(&f.changed);
			pthread_mutex_unlock(&f.lock);
		}
	}
	for (std::size_t i = 0; i < started; i++)
		jointhread(crew[i]);
	pthread_cond_destroy(&f.changed);
	pthread_mutex_destroy(&f.lock);
	dropwords(root);
	return whole;
}

bool treeprint(tnode *root)
{
	return treeprint(root, 1);
}

} // namespace sitko
