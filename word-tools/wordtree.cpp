// SPDX-License-Identifier: MIT
// wordtree: count the words of standard input and write them in byte order.
#include <algorithm>
#include <malloc.h>
#include <unistd.h>

#include "confine.hpp"
#include "fileparts.hpp"
#include "finish.hpp"
#include "input.hpp"
#include "programs.hpp"
#include "streamparts.hpp"
#include "threads.hpp"
#include "tree.hpp"
#include "vocabulary.hpp"

namespace {

using namespace sitko;

// A part of a regular file is worth a thread of its own from this size on.
constexpr long long PART_SIZE = 8LL << 20;
// The blocks of a stream handed to the threads: large enough that handing
// them out costs little, small enough that the threads finish together.
constexpr std::size_t HANDOFF = 512 << 10;
constexpr int HEAP_KEPT = 4 << 20;

void openpart(reader &r, long long from, long long to, const void *fd)
{
	openrange(r, *static_cast<const int *>(fd), from, to);
}

bool openrest(reader &r, long long from, const void *fd)
{
	int d = *static_cast<const int *>(fd);
	if (lseek(d, static_cast<off_t>(from), SEEK_SET) < 0)
		return false;
	reopeninput(r);
	return true;
}

} // namespace

int sitko::wordtree(reader &in)
{
	return wordtree(in, cpusallowed());
}

int sitko::wordtree(reader &in, std::size_t cpus)
{
#if defined(M_ARENA_MAX)
	// The threads allocate little, and seldom: one arena is enough, where
	// one each would reserve address space that a memory limit counts.
	if (cpus > 1)
		mallopt(M_ARENA_MAX, 1);
	// The lines of each partition are made in a buffer of their own and
	// let go once written, and record blocks come and go with the tables:
	// kept in the heap up to a few MiB, their pages are used again rather
	// than given back and cleared anew.
	if (cpus > 1) {
		mallopt(M_MMAP_THRESHOLD, HEAP_KEPT);
		mallopt(M_TRIM_THRESHOLD, 2 * HEAP_KEPT);
	}
#endif
	tnode *root = nullptr;
	int status = -1, fd;
	long long from, size;
	if (cpus > 1 && regularinput(in, fd, from, size)) {
		auto nparts = static_cast<std::size_t>(std::min<long long>(
			static_cast<long long>(cpus), (size - from) / PART_SIZE));
		status = countfile({openpart, openrest, &fd}, from, size, nparts, in, root);
	} else if (cpus > 1) {
		status = countstream(in, cpus, HANDOFF, root);
	}
	if (status < 0)
		status = countinput(in, root);
	if (!treeprint(root, cpus))
		return 1;
	return status;
}

#if !defined(SITKO_NO_MAIN)
int main()
{
	// The CPU quota is read from files, which the filter then forbids.
	std::size_t cpus = sitko::cpusallowed();
	sitko::reader &in = sitko::standardinput();
	sitko::confine(sitko::family::threads);
	return sitko::finish(sitko::wordtree(in, cpus), in);
}
#endif
