// SPDX-License-Identifier: MIT
// Runs one program in-process on each fuzzer input, through its entry point:
// SITKO_ENTRY names it, and SITKO_READS says whether it takes a reader.
#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <span>
#include <string>
#include <sys/mman.h>
#include <unistd.h>

#include "input.hpp"
#include "output.hpp"
#include "programs.hpp"

#if defined(SITKO_PROGRAM_longline)
// The longest line as the byte-at-a-time loop finds it: pieces of at most
// 999 bytes, each ending at a newline or where the room ends; the first of
// the longest.
#define SITKO_REFERENCE
static std::string reference(const std::uint8_t *data, std::size_t size)
{
	std::string longest, piece;
	for (std::size_t i = 0; i <= size; i++) {
		bool end = i == size;
		if (!end)
			piece += static_cast<char>(data[i]);
		if (end || data[i] == '\n' || piece.size() == 999) {
			if (piece.size() > longest.size())
				longest = piece;
			piece.clear();
		}
	}
	return longest;
}
#elif defined(SITKO_PROGRAM_wordtree)
#include <map>

#include "classes.hpp"
#include "getch.hpp"
#include "getword.hpp"
#include "wordparts.hpp"
// The report as the plain loop and a plain ordered map would make it.
#define SITKO_REFERENCE
static std::string reference(const std::uint8_t *data, std::size_t size)
{
	static sitko::reader in;
	sitko::openmemory(in, data, size);
	sitko::getchfrom(in);
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
#endif

namespace {

// The report of one run, read back from the memory file that stands for
// standard output.
std::string report;

int runonce(const std::uint8_t *data, std::size_t size, std::span<const std::size_t> pieces)
{
	static sitko::reader in;
	if (ftruncate(STDOUT_FILENO, 0) != 0 || lseek(STDOUT_FILENO, 0, SEEK_SET) != 0)
		abort();
	if (pieces.empty())
		sitko::openmemory(in, data, size);
	else
		sitko::openmemory(in, data, size, pieces);
#if SITKO_READS
	int status = sitko::SITKO_ENTRY(in);
#else
	int status = sitko::SITKO_ENTRY();
#endif
	// As finish() decides, but standard output stays open for the next run.
	if (!sitko::flushoutput() || sitko::inputfailed(in))
		status = 1;
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
#if defined(SITKO_PROGRAM_wordtree)
	// Counted in parts, cut where the sizes say, as from a file that may
	// shrink or fail at a byte and from a stream that may fail at a piece,
	// the report and status are those of one pass.
	constexpr long long NEVER = 1LL << 62;
	auto n = static_cast<long long>(size);
	auto at = [&](std::size_t i) {
		return n * static_cast<long long>(sizes[i % nsizes]) / 256;
	};
	std::size_t nparts = 2 + sizes[0] % 5, choice = sizes[1 % nsizes] % 3;
	// Buffers of a few words now and then, so that words are sent between
	// threads even in a short input, and tables that fill, so that the
	// threads stop and leave the rest to one.
	sitko::test::tightness tight = {sizes[8 % nsizes] % 2 ? 0 : 1 + sizes[9 % nsizes] % 8,
					sizes[10 % nsizes] % 3 ? 0 : 1 + sizes[11 % nsizes] % 64};
	if (!sitko::test::rangesasplain(data, n, nparts, choice == 1 ? at(2) : NEVER,
					choice == 2 ? at(3) : NEVER, tight))
		abort();
	std::size_t workers = 1 + sizes[4 % nsizes] % 3, handoff = sizes[5 % nsizes];
	std::size_t failpiece = sizes[6 % nsizes] % 2 ? sizes[7 % nsizes] : SIZE_MAX;
	if (!sitko::test::streamasplain(data, size, std::span(sizes.data(), nsizes), failpiece,
					workers, handoff, tight))
		abort();
#endif
	return 0;
}
