// SPDX-License-Identifier: MIT
// The byte reader every program uses for standard input.
//
// getbyte() behaves like getchar(): the next byte as 0 to 255, or EOF (-1)
// at end of input.  It is inline over one large buffer filled by read(2), so
// a byte costs a compare and an increment instead of a locked stdio call.
// A read error ends the input like end of file; inputfailed() tells the two
// apart for the exit status.  An interrupted read is retried, and one that
// finds a non-blocking descriptor empty waits for input with poll(2).
#ifndef SITKO_INPUT_HPP
#define SITKO_INPUT_HPP

#include <cstddef>
#include <cstdio>
#include <span>

namespace sitko {

inline constexpr std::size_t INPUT_CAPACITY = 128 * 1024;

struct inputstate {
	const unsigned char *pos;
	const unsigned char *end;
	unsigned long
		fills; // counts every change of the buffer (refill, end), so a reader can tell them apart
};

extern inputstate in;

int fillinput();
std::span<const unsigned char> getblock();
std::span<const unsigned char> refillblock();
bool inputfailed();
// Where standard input is a regular file whose size can be trusted, moves
// its offset to the end without reading and returns how many bytes that
// passed over; the bytes count as read.  0 where it cannot tell: a pipe, a
// terminal, a file whose size says 0 (as /proc files do), or input already
// begun.  Reading goes on as usual afterwards, so bytes beyond the size
// (a file that grows) are read and counted as well.
long long skipregular();
// Where standard input is a regular file, readable, whose size can be
// trusted, and nothing has been read yet: its offset and size.
bool regularinput(long long &offset, long long &size);
// Up to n bytes from offset at of standard input, without moving its offset
// or taking input; how many there were.
std::size_t readat(long long at, unsigned char *to, std::size_t n);
// Makes the following reads take the bytes from offset from up to offset to
// of standard input, a regular file, leaving its offset alone, so that a
// process may read a part of it while another reads the rest.
void setrange(long long from, long long to);
// Makes the following reads come from standard input again, from offset at.
void resumeat(long long at);
// Counts the input as failed, for a part of it read elsewhere.
void failinput();
void setinput(const unsigned char *bytes, std::size_t n);
void setinput(const unsigned char *bytes, std::size_t n, std::span<const std::size_t> sizes);

inline int getbyte()
{
	return in.pos != in.end ? *in.pos++ : fillinput();
}

// Shows what is buffered without taking it; empty at end of input.
inline std::span<const unsigned char> peekblock()
{
	return in.pos != in.end ? std::span<const unsigned char>(in.pos, in.end) : refillblock();
}

// Takes n bytes of what peekblock() showed.
inline void skipinput(std::size_t n)
{
	in.pos += n;
}

} // namespace sitko

#endif
