// SPDX-License-Identifier: MIT
#include "input.hpp"

#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <type_traits>
#include <unistd.h>

#include "ready.hpp"

namespace sitko {

static_assert(std::is_trivially_default_constructible_v<reader>);

namespace {

// One count for every reader, so no two blocks anywhere share an id.
std::atomic<unsigned long> generations{1};

void newblock(reader &r, const unsigned char *from, std::size_t n)
{
	r.pos = from;
	r.end = from + n;
	r.generation = generations.fetch_add(1, std::memory_order_relaxed);
	r.taken += n;
}

// Empties the buffer for input from somewhere new, not ended.
void newsource(reader &r)
{
	newblock(r, nullptr, 0);
	r.ended = false;
	r.failed = false;
	r.ranged = false;
	r.frommemory = false;
	r.readsize = READ_SIZE;
	r.pipesize = 0;
	r.npieces = 0;
	r.nextpiece = 0;
	r.failpiece = SIZE_MAX;
	r.taken = 0;
}

// The pipe's writer blocks each time the pipe is full, and each read takes
// at most what it holds: a larger pipe means fewer of both.  But a larger
// pipe is charged to its user's pipe quota for as long as it is open, and
// once that is spent every new pipe of the user starts small; so a pipe is
// grown only once a read has found it full, which an idle or slow pipeline
// never does.  The largest size the system allows is found by asking,
// halving on each refusal; it is asked for once, granted or not.
void growpipe(reader &r)
{
#if defined(F_SETPIPE_SZ) && defined(F_GETPIPE_SZ)
	std::size_t have = r.pipesize;
	r.pipesize = 0;
	for (std::size_t want = INPUT_CAPACITY; want > have; want /= 2) {
		int got = fcntl(r.fd, F_SETPIPE_SZ, static_cast<int>(want));
		if (got > 0) {
			have = static_cast<std::size_t>(got);
			break;
		}
	}
	if (have > r.readsize)
		r.readsize = have > INPUT_CAPACITY ? INPUT_CAPACITY : have;
#else
	(void)r;
#endif
}

// Where fd is a pipe, reads take as much as it holds, and it is grown after
// the first read that finds it full.
void openpipe(reader &r)
{
#if defined(F_SETPIPE_SZ) && defined(F_GETPIPE_SZ)
	int have = fcntl(r.fd, F_GETPIPE_SZ);
	if (have <= 0)
		return;
	auto size = static_cast<std::size_t>(have);
	r.readsize = size < READ_SIZE ? READ_SIZE : size > INPUT_CAPACITY ? INPUT_CAPACITY : size;
	if (size < INPUT_CAPACITY)
		r.pipesize = size;
#else
	(void)r;
#endif
}

// Copies the next piece into the buffer, as read(2) from a pipe would
// deliver it.
bool refillfrommemory(reader &r)
{
	if (r.nextpiece == r.failpiece) {
		r.failed = true;
		return false;
	}
	if (r.memleft == 0 || r.npieces == 0)
		return false;
	std::size_t n = r.pieces[r.nextpiece++ % r.npieces];
	if (n == 0 || n > sizeof r.buffer)
		n = sizeof r.buffer;
	if (n > r.memleft)
		n = r.memleft;
	memcpy(r.buffer, r.memnext, n);
	r.memnext += n;
	r.memleft -= n;
	newblock(r, r.buffer, n);
	return true;
}

ssize_t readsome(reader &r)
{
	if (!r.ranged)
		return read(r.fd, r.buffer, r.readsize);
	long long left = r.last - r.next;
	if (left <= 0)
		return 0;
	std::size_t n = left < static_cast<long long>(r.readsize) ? static_cast<std::size_t>(left)
								  : r.readsize;
	ssize_t got = pread(r.fd, r.buffer, n, static_cast<off_t>(r.next));
	if (got > 0)
		r.next += got;
	return got;
}

// Refills the buffer; false once the input has ended.  End of input is
// sticky: after the first end of file or error nothing more is read.
bool refill(reader &r)
{
	if (r.ended)
		return false;
	if (r.frommemory) {
		if (refillfrommemory(r))
			return true;
	} else {
		for (;;) {
			ssize_t n = readsome(r);
			if (n > 0) {
				if (r.pipesize != 0 && static_cast<std::size_t>(n) >= r.pipesize)
					growpipe(r);
				newblock(r, r.buffer, static_cast<std::size_t>(n));
				return true;
			}
			if (n < 0 && errno == EINTR)
				continue;
			// A descriptor handed down non-blocking has no input yet;
			// that is not the end of it.
			if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK) &&
			    waitready(r.fd, POLLIN))
				continue;
			if (n < 0)
				r.failed = true;
			break;
		}
	}
	r.ended = true;
	newblock(r, nullptr, 0);
	return false;
}

} // namespace

void openinput(reader &r, int fd)
{
	struct stat st;
	bool known = fstat(fd, &st) == 0;
	r.fifo = known && S_ISFIFO(st.st_mode);
	r.regular = known && S_ISREG(st.st_mode);
	r.size = r.regular ? static_cast<long long>(st.st_size) : 0;
	r.fd = fd;
	reopeninput(r);
}

void reopeninput(reader &r)
{
	newsource(r);
	if (r.fifo)
		openpipe(r);
}

reader &standardinput()
{
	static reader in;
	static bool opened;
	if (!opened) {
		openinput(in, STDIN_FILENO);
		opened = true;
	}
	return in;
}

void openrange(reader &r, int fd, long long from, long long to)
{
	newsource(r);
	r.fd = fd;
	r.fifo = false;
	r.ranged = true;
	r.next = from;
	r.last = to;
}

void openmemory(reader &r, const unsigned char *bytes, std::size_t n)
{
	newsource(r);
	r.fd = -1;
	r.fifo = false;
	r.regular = false;
	r.frommemory = true;
	newblock(r, bytes, n);
}

void openmemory(reader &r, const unsigned char *bytes, std::size_t n,
		std::span<const std::size_t> sizes)
{
	newsource(r);
	r.fd = -1;
	r.fifo = false;
	r.regular = false;
	r.frommemory = true;
	r.memnext = bytes;
	r.memleft = n;
	r.pieces = sizes.data();
	r.npieces = sizes.size();
	r.nextpiece = 0;
}

void failmemory(reader &r, std::size_t piece)
{
	r.failpiece = piece;
}

int fillinput(reader &r)
{
	if (!refill(r))
		return EOF;
	return *r.pos++;
}

std::span<const unsigned char> getblock(reader &r)
{
	if (r.pos == r.end && !refill(r))
		return {};
	std::span<const unsigned char> block(r.pos, r.end);
	r.pos = r.end;
	return block;
}

std::span<const unsigned char> refillblock(reader &r)
{
	if (!refill(r))
		return {};
	return {r.pos, r.end};
}

bool inputfailed(const reader &r)
{
	return r.failed;
}

unsigned long long inputtaken(const reader &r)
{
	return r.taken;
}

bool regularinput(const reader &r, int &fd, long long &offset, long long &size)
{
	if (r.frommemory || r.ranged || r.ended || r.pos != nullptr)
		return false;
	if (!r.regular || r.size <= 0)
		return false;
	// A descriptor that cannot be read must fail as reading it would.
	int flags = fcntl(r.fd, F_GETFL);
	if (flags < 0 || (flags & O_ACCMODE) == O_WRONLY)
		return false;
	off_t from = lseek(r.fd, 0, SEEK_CUR);
	if (from < 0 || from >= r.size)
		return false;
	fd = r.fd;
	offset = from;
	size = r.size;
	return true;
}

} // namespace sitko
