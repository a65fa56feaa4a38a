// SPDX-License-Identifier: MIT
// The floor under wordtree on one file: each step no word counter can skip,
// timed alone on this thread, in seconds.
//   floor [-c] FILE      -c: CPU time, not wall time, for a busy machine
//   read    read the file and find its words
//   probe   one probe per word into a table already of its final size
//   sort    put the distinct words in byte order
//   format  make the "%4lld %s\n" lines, into a buffer, written nowhere
//   total   the four together
// The table's size is learnt from a first count, not timed.  The probes are
// timed as a second pass that reads and counts, less the read's own time:
// the words are probed where wordtree probes them, in the block just read,
// and the total is that pass's time, with nothing subtracted.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <unistd.h>

#include "classes.hpp"
#include "input.hpp"
#include "sortwords.hpp"
#include "table.hpp"
#include "takewords.hpp"
#include "vocabulary.hpp"

namespace {

using namespace sitko;

// The lines are made into a buffer of the output's size, started again
// whenever it is full.
constexpr std::size_t LINES = std::size_t{1} << 20;
constexpr std::size_t LONGEST_LINE = 24 + WORD_LIMIT;

reader in;
char lines[LINES];
clockid_t timer = CLOCK_MONOTONIC;

double now()
{
	timespec t = {};
	clock_gettime(timer, &t);
	return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

bool reopen(int fd)
{
	if (lseek(fd, 0, SEEK_SET) != 0)
		return false;
	openinput(in, fd);
	return true;
}

// Reads the file and finds its words; returns their bytes, so that the
// finding is not left out.
unsigned long long readwords(int fd, unsigned long long &words)
{
	static wordscan scan;
	scan = {};
	wordref batch[BATCH];
	unsigned long long bytes = 0;
	words = 0;
	if (!reopen(fd))
		return 0;
	while (std::size_t n = takewords(in, scan, letterwords, LONGEST_WORD, batch)) {
		for (std::size_t i = 0; i < n; i++)
			bytes += batch[i].len;
		words += n;
	}
	return bytes;
}

// Reads the file and counts its words into t; false where memory ran out.
bool counttable(int fd, wordtable &t, hashkey key)
{
	static wordscan scan;
	scan = {};
	wordref batch[BATCH];
	if (!reopen(fd))
		return false;
	while (std::size_t n = takewords(in, scan, letterwords, LONGEST_WORD, batch))
		if (tableadd(t, std::span(batch, n), key) != n)
			return false;
	return !inputfailed(in);
}

// Makes every line; returns their bytes.
unsigned long long formatall(const sortedwords &s)
{
	unsigned long long bytes = 0;
	std::size_t n = 0;
	for (std::size_t i = 0; i < s.n; i++) {
		if (i + 16 < s.n)
			__builtin_prefetch(s.entries[i + 16].record);
		if (n + LONGEST_LINE > LINES) {
			bytes += n;
			n = 0;
		}
		n += formatline(lines + n, s.entries[i].record);
	}
	return bytes + n;
}

int fail(const char *what)
{
	fprintf(stderr, "floor: %s\n", what);
	return 1;
}

} // namespace

int main(int argc, char **argv)
{
	if (argc == 3 && strcmp(argv[1], "-c") == 0) {
		timer = CLOCK_PROCESS_CPUTIME_ID;
		argv++;
		argc--;
	}
	if (argc != 2)
		return fail("usage: floor [-c] FILE");
	int fd = open(argv[1], O_RDONLY);
	if (fd < 0)
		return fail("cannot open the file");
	hashkey key = randomkey();

	wordtable first;
	newtable(first);
	if (!counttable(fd, first, key))
		return fail("the first count failed");
	std::size_t distinct = first.used;
	freetable(first);

	double start = now();
	unsigned long long words = 0, wordbytes = readwords(fd, words);
	double read = now() - start;
	if (inputfailed(in))
		return fail("cannot read the file");

	wordtable t;
	newtable(t);
	start = now();
	if (!reservetable(t, distinct))
		return fail("no memory for the table");
	double reserve = now() - start;
	start = now();
	if (!counttable(fd, t, key) || t.used != distinct)
		return fail("the second count failed");
	double pass = now() - start;

	sortedwords s;
	start = now();
	if (!gatherwords(t, s))
		return fail("no memory for sorting");
	sortentries(s.entries, s.n);
	double sort = now() - start;

	start = now();
	unsigned long long linebytes = formatall(s);
	double format = now() - start;

	printf("words    %llu\n", words);
	printf("distinct %zu\n", distinct);
	printf("read     %.4f\n", read);
	printf("probe    %.4f\n", pass - read);
	printf("sort     %.4f\n", sort);
	printf("format   %.4f\n", format);
	printf("total    %.4f\n", pass + sort + format);
	// Not in the total: the table is made before the words come.
	printf("reserve  %.4f\n", reserve);
	// What was found and made, so that neither is left out.
	printf("bytes    %llu %llu\n", wordbytes, linebytes);
	freesorted(s);
	freetable(t);
	return fflush(stdout) == 0 ? 0 : 1;
}
