// SPDX-License-Identifier: MIT
// The report: the partitions sorted on every thread at once, then their
// lines made on every thread and written in partition order, which is byte
// order, on this one.
#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <pthread.h>

#include "output.hpp"
#include "threads.hpp"
#include "vocabulary.hpp"

namespace sitko {

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

void letgo(partition &p)
{
	freesorted(p.sorted);
	freetable(p.words);
	p.ordered = nullptr;
	p.nordered = 0;
}

// Makes the lines of a sorted partition, where there is room for them, and
// lets go of its words.
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
	letgo(p);
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
	for (std::size_t i = 0; i < p.nordered; i++)
		putbytes(line, formatline(line, p.ordered[i].record));
	letgo(p);
}

struct finishing {
	vocabulary &v;
	bool shares;        // the partitions' words are shares of own's
	std::size_t window; // how far the lines may be made ahead of the writing
	std::atomic<std::size_t> nextsort;
	std::atomic<bool> failed;
	pthread_mutex_t lock;
	pthread_cond_t changed;
	std::size_t sorting; // threads still sorting
	std::size_t nextformat;
	std::size_t written;
	bool formatted[PARTITIONS];
};

void sortpartition(finishing &f, partition &p)
{
	if (f.shares) {
		sortentries(p.ordered, p.nordered);
	} else if (sortwords(p.words, p.sorted)) {
		p.ordered = p.sorted.entries;
		p.nordered = p.sorted.n;
	} else {
		f.failed.store(true);
	}
}

// Sorts partitions until none is left, then waits for every thread to be
// done with sorting; false where memory ran out for any of them.
bool sortall(finishing &f)
{
	for (std::size_t p; (p = f.nextsort.fetch_add(1)) < PARTITIONS;)
		sortpartition(f, f.v.parts[p]);
	pthread_mutex_lock(&f.lock);
	if (--f.sorting == 0)
		pthread_cond_broadcast(&f.changed);
	while (f.sorting > 0)
		pthread_cond_wait(&f.changed, &f.lock);
	pthread_mutex_unlock(&f.lock);
	return !f.failed.load();
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

// Where one thread counted every word, they are all in its counter's table:
// they are shared out to the partitions by the partitions' own rule.
bool shareout(vocabulary &v)
{
	sortedwords &s = v.ownsorted;
	if (!gatherwords(v.own.words, s))
		return false;
	std::size_t start[PARTITIONS + 1];
	bucketwords(s.entries, s.n, start);
	for (std::size_t p = 0; p < PARTITIONS; p++) {
		v.parts[p].ordered = s.entries + start[p];
		v.parts[p].nordered = start[p + 1] - start[p];
	}
	return true;
}

// One thread, one table: its words sorted whole and written straight.
bool writeall(vocabulary &v)
{
	sortedwords &s = v.ownsorted;
	bool sorted = gatherwords(v.own.words, s);
	if (sorted) {
		sortentries(s.entries, s.n);
		char line[24 + WORD_LIMIT];
		for (std::size_t i = 0; i < s.n; i++) {
			if (i + 16 < s.n)
				__builtin_prefetch(s.entries[i + 16].record);
			putbytes(line, formatline(line, s.entries[i].record));
		}
	}
	dropwords(&v);
	return sorted;
}

} // namespace

bool treeprint(tnode *root, std::size_t threads)
{
	if (root == nullptr)
		return true;
	vocabulary &v = *root;
	if (!outofmemory(&v) && (v.own.nstaged > 0 || partitioned(v)))
		flushcounter(v.own, v);
	std::size_t words = v.own.words.used;
	for (const partition &p : v.parts)
		words += p.words.used;
	threads = std::clamp<std::size_t>(threads, 1, 1 + words / WORDS_PER_THREAD);
	// Where one table holds every word: on one thread they are sorted
	// whole, and on more, shared out to the partitions.
	bool shares = !partitioned(v);
	if (!outofmemory(&v) && shares && threads == 1)
		return writeall(v);
	if (!outofmemory(&v) && shares && v.own.words.used > 0 && !shareout(v))
		v.nomemory.store(true);
	if (outofmemory(&v)) {
		dropwords(root);
		return false;
	}

	finishing f = {v,
		       shares,
		       threads + 2,
		       {0},
		       {false},
		       PTHREAD_MUTEX_INITIALIZER,
		       PTHREAD_COND_INITIALIZER,
		       1,
		       0,
		       0,
		       {}};
	pthread_t crew[MAX_THREADS];
	std::size_t started = 0;
	for (std::size_t i = 1; i < threads && i < MAX_THREADS; i++) {
		pthread_mutex_lock(&f.lock);
		f.sorting++;
		pthread_mutex_unlock(&f.lock);
		if (!startthread(crew[started], finisher, &f)) {
			pthread_mutex_lock(&f.lock);
			f.sorting--;
			pthread_mutex_unlock(&f.lock);
			break;
		}
		started++;
	}
	bool whole = sortall(f);
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
		pthread_join(crew[i], nullptr);
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
