// SPDX-License-Identifier: MIT
// Runs one program in-process on each fuzzer input.  The program's sources
// are compiled into this file, main renamed, so that what the program keeps
// between calls can be reset here before every run, as a fresh process
// would have it.
#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <span>
#include <string>
#include <sys/mman.h>
#include <unistd.h>

#include "input.hpp"

#define main program_main

#if defined(SITKO_PROGRAM_longline)
#include "../line-filters/longline.cpp"
#elif defined(SITKO_PROGRAM_lineorder)
#include "../line-filters/alloc.cpp"
#include "../line-filters/lineorder.cpp"
#include "../line-filters/mygetline.cpp"
static void reset()
{
	sitko::allocused = 0;
}
#elif defined(SITKO_PROGRAM_reservedwords)
#include "../word-tools/getword.cpp"
#include "../word-tools/quiet.cpp"
#include "../word-tools/reservedwords.cpp"
static void reset()
{
	sitko::pushedback = sitko::NOTHING_PUSHED;
	for (auto &k : sitko::keytab)
		k.count = 0;
}
#elif defined(SITKO_PROGRAM_wordtree)
#include <map>

#include "../word-tools/getword.cpp"
#include "../word-tools/randomkey.cpp"
#include "../word-tools/tree.cpp"
#include "../word-tools/wordtree.cpp"
// treeprint() lets go of every run's words; nothing is left to reset.
static void reset()
{
}
// The report as the plain loop and a plain ordered map would make it.
#define SITKO_REFERENCE
static std::string reference(const std::uint8_t *data, std::size_t size)
{
	sitko::setinput(data, size);
	sitko::pushedback = sitko::NOTHING_PUSHED;
	std::map<std::string, long long> counts;
	char word[sitko::WORD_CAPACITY];
	while (sitko::getword(word, sitko::WORD_CAPACITY) != EOF)
		if (sitko::isalphachar(static_cast<unsigned char>(word[0])))
			counts[word]++;
	std::string out;
	for (const auto &[w, n] : counts) {
		char line[32];
		snprintf(line, sizeof line, "%4lld ", n);
		out += line + w + "\n";
	}
	return out;
}
#elif defined(SITKO_PROGRAM_census)
#include "../console/census.cpp"
#elif defined(SITKO_PROGRAM_census_cases)
#include "../console/census-cases.cpp"
#elif defined(SITKO_PROGRAM_charcount)
#include "../console/charcount.cpp"
#elif defined(SITKO_PROGRAM_linecount)
#include "../console/linecount.cpp"
#elif defined(SITKO_PROGRAM_wordcount)
#include "../console/wordcount.cpp"
#elif defined(SITKO_PROGRAM_thermotable)
#include "../console/thermotable.cpp"
#elif defined(SITKO_PROGRAM_eofvalue)
#include "../console/eofvalue.cpp"
#endif

#undef main

#if !defined(SITKO_PROGRAM_lineorder) && !defined(SITKO_PROGRAM_reservedwords) &&                  \
	!defined(SITKO_PROGRAM_wordtree)
static void reset()
{
}
#endif

namespace {

// The report of one run, read back from the memory file that stands for
// standard output.
std::string report;

int runonce(const std::uint8_t *data, std::size_t size, std::span<const std::size_t> pieces)
{
	reset();
	if (ftruncate(STDOUT_FILENO, 0) != 0 || lseek(STDOUT_FILENO, 0, SEEK_SET) != 0)
		abort();
	if (pieces.empty())
		sitko::setinput(data, size);
	else
		sitko::setinput(data, size, pieces);
	int status = program_main();
	if (status != 0 && status != 1)
		abort();
	off_t n = lseek(STDOUT_FILENO, 0, SEEK_CUR);
	report.resize(static_cast<std::size_t>(n));
	if (n > 0 && pread(STDOUT_FILENO, report.data(), report.size(), 0) != n)
		abort();
	return status;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
	// The reports go to a memory file, where each run's can be read back.
	int fd = memfd_create("report", 0);
	if (fd < 0 || dup2(fd, STDOUT_FILENO) < 0)
		abort();
	close(fd);
	return 0;
}

// The first byte says how many piece sizes follow (0 to 8, none meaning one
// byte a piece); each of those bytes is one size, 1 to 256, and the sizes are
// used in turn for the rest of the input.  The program reads the rest once
// as one block and once in those pieces, each a buffer refill of its own as
// from a pipe, and must write the same report with the same status.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
	std::array<std::size_t, 8> sizes = {1};
	std::size_t nsizes = 1;
	if (size > 0) {
		std::size_t given = data[0] % 9;
		data++;
		size--;
		if (given > size)
			given = size;
		for (std::size_t i = 0; i < given; i++)
			sizes[i] = std::size_t{data[i]} + 1;
		if (given > 0)
			nsizes = given;
		data += given;
		size -= given;
	}
	int whole = runonce(data, size, {});
	std::string onepiece = report;
	int pieced = runonce(data, size, std::span<const std::size_t>(sizes.data(), nsizes));
	if (pieced != whole || report != onepiece)
		abort();
#if defined(SITKO_REFERENCE)
	if (whole == 0 && reference(data, size) != onepiece)
		abort();
#endif
	return 0;
}
