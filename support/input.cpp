// SPDX-License-Identifier: MIT
#include "input.hpp"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include "ready.hpp"

namespace sitko {

inputstate in;

namespace {

alignas(64) unsigned char buffer[INPUT_CAPACITY];
bool ended;
bool failed;
bool frommemory;
// For a range of a regular file read with pread(2): the next offset and the
// end.
bool ranged;
long long rangenext;
long long rangeend;
// For input from memory in pieces: what is left, and the sizes of the
// pieces, used in turn over and over.
const unsigned char *memnext;
std::size_t memleft;
std::span<const std::size_t> piecesizes;
std::size_t nextpiece;

// Empties the buffer for input from somewhere new, not ended.
void newsource()
{
	in.pos = in.end = nullptr;
	in.fills++;
	ended = false;
}

// Copies the next piece into the buffer, as read(2) from a pipe would
// deliver it.
bool refillfrommemory()
{
	if (memleft == 0 || piecesizes.empty())
		return false;
	std::size_t n = piecesizes[nextpiece++ % piecesizes.size()];
	if (n == 0 || n > sizeof buffer)
		n = sizeof buffer;
	if (n > memleft)
		n = memleft;
	memcpy(buffer, memnext, n);
	memnext += n;
	memleft -= n;
	in.pos = buffer;
	in.end = buffer + n;
	in.fills++;
	return true;
}

// Refills the buffer; false once the input has ended.  End of input is
// sticky: after the first end of file or error nothing more is read.
bool refill()
{
	if (ended)
		return false;
	if (frommemory) {
		if (refillfrommemory())
			return true;
		ended = true;
		in.pos = in.end = nullptr;
		in.fills++;
		return false;
	}
	for (;;) {
		ssize_t n;
		if (ranged) {
			long long left = rangeend - rangenext;
			n = left <= 0 ? 0
				      : pread(STDIN_FILENO, buffer,
					      left < static_cast<long long>(sizeof buffer)
						      ? static_cast<std::size_t>(left)
						      : sizeof buffer,
					      static_cast<off_t>(rangenext));
			if (n > 0)
				rangenext += n;
		} else {
			n = read(STDIN_FILENO, buffer, sizeof buffer);
		}
		if (n > 0) {
			in.pos = buffer;
			in.end = buffer + n;
			in.fills++;
			return true;
		}
		if (n < 0 && errno == EINTR)
			continue;
		// A descriptor handed down non-blocking has no input yet; that
		// is not the end of it.
		if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK) &&
		    waitready(STDIN_FILENO, POLLIN))
			continue;
		if (n < 0)
			failed = true;
		ended = true;
		in.pos = in.end = nullptr;
		in.fills++;
		return false;
	}
}

} // namespace

int fillinput()
{
	if (!refill())
		return EOF;
	return *in.pos++;
}

// Hands out everything buffered at once, for the programs whose inner loops
// work on whole blocks; an empty span means end of input.
std::span<const unsigned char> getblock()
{
	if (in.pos == in.end && !refill())
		return {};
	std::span<const unsigned char> block(in.pos, in.end);
	in.pos = in.end;
	return block;
}

std::span<const unsigned char> refillblock()
{
	if (!refill())
		return {};
	return {in.pos, in.end};
}

// Only before the first read: later, some of the rest may sit in the buffer.
bool regularinput(long long &offset, long long &size)
{
	if (frommemory || ranged || ended || in.fills != 0)
		return false;
	struct stat st;
	if (fstat(STDIN_FILENO, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size <= 0)
		return false;
	// A descriptor that cannot be read must fail as reading it would.
	int flags = fcntl(STDIN_FILENO, F_GETFL);
	if (flags < 0 || (flags & O_ACCMODE) == O_WRONLY)
		return false;
	off_t from = lseek(STDIN_FILENO, 0, SEEK_CUR);
	if (from < 0 || from >= st.st_size)
		return false;
	offset = from;
	size = st.st_size;
	return true;
}

long long skipregular()
{
	long long from, size;
	if (!regularinput(from, size))
		return 0;
	off_t to = lseek(STDIN_FILENO, 0, SEEK_END);
	if (to < from) {
		lseek(STDIN_FILENO, static_cast<off_t>(from), SEEK_SET);
		return 0;
	}
	return static_cast<long long>(to) - from;
}

std::size_t readat(long long at, unsigned char *to, std::size_t n)
{
	std::size_t got = 0;
	while (got < n) {
		ssize_t k = pread(STDIN_FILENO, to + got, n - got,
				  static_cast<off_t>(at) + static_cast<off_t>(got));
		if (k < 0 && errno == EINTR)
			continue;
		if (k <= 0)
			break;
		got += static_cast<std::size_t>(k);
	}
	return got;
}

void setrange(long long from, long long to)
{
	newsource();
	ranged = true;
	rangenext = from;
	rangeend = to;
}

void resumeat(long long at)
{
	newsource();
	ranged = false;
	if (lseek(STDIN_FILENO, static_cast<off_t>(at), SEEK_SET) < 0) {
		failed = true;
		ended = true;
	}
}

void failinput()
{
	failed = true;
}

bool inputfailed()
{
	return failed;
}

// Makes the following reads come from memory instead of standard input; the
// tests and fuzzers feed the programs' routines this way.
void setinput(const unsigned char *bytes, std::size_t n)
{
	in.pos = bytes;
	in.end = bytes + n;
	in.fills++;
	ended = false;
	failed = false;
	frommemory = true;
	ranged = false;
	piecesizes = {};
}

// The same input handed out through the buffer in pieces of the given
// sizes, one refill each, used in turn; a size of 0 stands for a whole
// buffer.  sizes must outlive the reading.
void setinput(const unsigned char *bytes, std::size_t n, std::span<const std::size_t> sizes)
{
	newsource();
	failed = false;
	frommemory = true;
	ranged = false;
	memnext = bytes;
	memleft = n;
	piecesizes = sizes;
	nextpiece = 0;
}

} // namespace sitko
