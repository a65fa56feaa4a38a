// SPDX-License-Identifier: MIT
// charcount: count the bytes of standard input.
//
// The count is a double: exact up to 2^53 bytes, far beyond any input.  A
// regular file is counted from its size where that can be trusted; what is
// left, or all of a pipe, is counted a block at a time as the reader hands
// it out.

#include <unistd.h>

#include "confine.hpp"
#include "finish.hpp"
#include "input.hpp"
#include "output.hpp"
#include "programs.hpp"

namespace {

using namespace sitko;

// Files under /sys say they hold a page whatever they hold, so a size that
// is a whole number of pages is believed only once the last page before it
// has been read; a file of one page is simply read.

double countrest(reader &in)
{
	double n = 0;
	for (auto block = getblock(in); !block.empty(); block = getblock(in))
		n += static_cast<double>(block.size());
	return n;
}

// The bytes of the regular file fd from offset at, which says it has size
// bytes, passing over as many as can be trusted without reading them; in
// reads the rest.
double countfile(reader &in, int fd, long long at, long long size)
{
	long long page = sysconf(_SC_PAGESIZE);
	long long trusted = -1; // where the count by size ends
	if (page <= 0 || size % page != 0) {
		trusted = lseek(fd, 0, SEEK_END);
	} else if (size - at > page) {
		// Read where it stands, so that the offset is still at if the size
		// turns out to be wrong.
		openrange(in, fd, size - page, size);
		double tail = countrest(in);
		if (inputfailed(in))
			return static_cast<double>(size - page - at) + tail;
		if (tail == static_cast<double>(page))
			trusted = lseek(fd, static_cast<off_t>(size), SEEK_SET);
	}
	reopeninput(in);
	double skipped = trusted > at ? static_cast<double>(trusted - at) : 0;
	return skipped + countrest(in);
}

} // namespace

int sitko::charcount(reader &in)
{
	int fd;
	long long at, size;
	double nc = regularinput(in, fd, at, size) ? countfile(in, fd, at, size) : countrest(in);

	print("%.0f\n", nc);
	return 0;
}

#if !defined(SITKO_NO_MAIN)
int main()
{
	sitko::reader &in = sitko::standardinput();
	sitko::confine(sitko::family::reads);
	return sitko::finish(sitko::charcount(in), in);
}
#endif
