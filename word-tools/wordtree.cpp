// SPDX-License-Identifier: MIT
// wordtree: count the words of standard input and write them in byte order.
#include <algorithm>
#include <span>
#include <unistd.h>

#include "finish.hpp"
#include "input.hpp"
#include "parts.hpp"
#include "programs.hpp"
#include "tree.hpp"

namespace {

using namespace sitko;

// A part of a regular file is worth a thread of its own from this size on.
constexpr long long PART_SIZE = 8LL << 20;
// The blocks of a stream handed to the threads: large enough that handing
// them out costs little, small enough that the threads finish together.
constexpr std::size_t HANDOFF = 512 << 10;

void openpart(reader &r, long long from, long long to, const void *fd)
{
	openrange(r, *static_cast<const int *>(fd), from, to);
}

// Counts a regular file fd, from offset from on, in parts; -1, with nothing
// read, where it is not worth it.
int fromfile(reader &in, int fd, long long from, long long size, std::size_t cpus)
{
	auto nparts = static_cast<std::size_t>(
		std::min<long long>(static_cast<long long>(cpus), (size - from) / PART_SIZE));
	partcounts counts;
	if (!countranges({openpart, &fd}, from, size, nparts, counts))
		return -1;
	int status = counts.failed ? 1 : 0;
	if (counts.whole) {
		// The rest, normally a few bytes, is read as usual, so the offset
		// ends where one pass would leave it, and a file that grew is read
		// to its end.
		if (lseek(fd, static_cast<off_t>(counts.end), SEEK_SET) >= 0) {
			openinput(in, fd);
			counts.roots[counts.nroots++] = countinput(in, nullptr);
		} else {
			status = 1;
		}
	} else if (!counts.failed) {
		// The file shrank while it was read: one pass would have met its
		// end there.
		lseek(fd, static_cast<off_t>(counts.end), SEEK_SET);
	}
	if (!treeprint(std::span(counts.roots, counts.nroots)))
		return 1;
	return status;
}

} // namespace

int sitko::wordtree(reader &in)
{
	std::size_t cpus = cpusallowed();
	int fd;
	long long from, size;
	if (cpus > 1 && regularinput(in, fd, from, size)) {
		if (int status = fromfile(in, fd, from, size, cpus); status >= 0)
			return status;
	} else if (cpus > 1) {
		partcounts counts;
		countstream(in, cpus, HANDOFF, counts);
		return treeprint(std::span(counts.roots, counts.nroots)) ? 0 : 1;
	}
	return treeprint(countinput(in, nullptr)) ? 0 : 1;
}

#if !defined(SITKO_NO_MAIN)
int main()
{
	sitko::reader &in = sitko::standardinput();
	return sitko::finish(sitko::wordtree(in), in);
}
#endif
