// SPDX-License-Identifier: MIT
// The byte reader every program uses for its input.
//
// A reader is a value: the buffer, where the next byte is, and the source
// (a descriptor, a range of a regular file read with pread(2), or memory
// handed out in pieces).  A program holds one; the functions here are the
// only ones that look inside it.
//
// getbyte() behaves like getchar(): the next byte as 0 to 255, or EOF (-1)
// at end of input.  It is inline over one large buffer, so a byte costs a
// compare and an increment instead of a locked stdio call.  A read error
// ends the input like end of file; inputfailed() tells the two apart for the
// exit status.  An interrupted read is retried, and one that finds a
// non-blocking descriptor empty waits for input with poll(2).
#ifndef SITKO_INPUT_HPP
#define SITKO_INPUT_HPP

#include <cstddef>
#include <cstdio>
#include <span>

namespace sitko {

// The largest block a reader hands out: a whole pipe buffer at its limit.
inline constexpr std::size_t INPUT_CAPACITY = 1024 * 1024;
// What one read asks of a file: it stays in the second-level cache while the
// program looks at it.
inline constexpr std::size_t READ_SIZE = 128 * 1024;

// The fields are this module's own: programs and scanners go through the
// functions below.  Trivial, so that a static one needs no guarded
// construction (nor the C++ runtime that brings).
struct reader {
	const unsigned char *pos;
	const unsigned char *end;
	unsigned long generation; // new with every block and at the end, never reused
	int fd;
	bool ended;
	bool failed;
	bool ranged;     // pread(2) from next up to last
	bool frommemory; // memnext and memleft, in pieces of the npieces sizes at pieces
	bool fifo;       // what openinput() found fd to be
	bool regular;
	long long size; // a regular file's size, as openinput() found it
	std::size_t readsize;
	std::size_t pipesize; // a pipe's size until it has been grown, else 0
	long long next;
	long long last;
	const unsigned char *memnext;
	std::size_t memleft;
	const std::size_t *pieces;
	std::size_t npieces;
	std::size_t nextpiece;
	std::size_t failpiece; // the piece whose read fails, or none
	unsigned long long taken;
	alignas(64) unsigned char buffer[INPUT_CAPACITY];
};

// Reads fd from its offset on.  Where it is a pipe, takes as much as the
// pipe holds at each read, and after the first read that finds it full asks
// for the largest pipe buffer the system allows, up to INPUT_CAPACITY, so
// that only a pipe carrying bulk data is grown; a refusal changes nothing
// else.
void openinput(reader &r, int fd);
// Reads r's descriptor again from its offset on, as what openinput() found
// it to be, without asking again (after openrange() on the same descriptor).
void reopeninput(reader &r);
// The reader of standard input that every program's main runs on, opened at
// the first call: each main opens it before it confines itself, as what
// standard input is may only be asked through calls the filter refuses
// (fakeroot answers it through its daemon).
reader &standardinput();
// Reads the bytes of the regular file fd from offset from up to offset to
// with pread(2), leaving its offset alone.
void openrange(reader &r, int fd, long long from, long long to);
// Reads n bytes from memory: all as one block, or through the buffer in
// pieces of the given sizes, one refill each as from a pipe, used in turn (a
// size of 0 stands for a whole buffer).  bytes and sizes must outlive the
// reading.
void openmemory(reader &r, const unsigned char *bytes, std::size_t n);
void openmemory(reader &r, const unsigned char *bytes, std::size_t n,
		std::span<const std::size_t> sizes);

// Makes the read of the given piece of memory input (counted from 0; for
// input all in one block, the read after it) fail as a read error would,
// for testing the ways reading can end.
void failmemory(reader &r, std::size_t piece);

int fillinput(reader &r);
// Hands out everything buffered at once, for the programs whose inner loops
// work on whole blocks; an empty span means end of input.
std::span<const unsigned char> getblock(reader &r);
std::span<const unsigned char> refillblock(reader &r);
bool inputfailed(const reader &r);
// How many bytes r has taken from its source so far.
unsigned long long inputtaken(const reader &r);
// Where r reads a regular file, readable, that said it was not empty when it
// was opened, and nothing has been taken from r yet: the descriptor, its
// offset and the size the system gave.  Some files give a size that is not true (as /proc and
// /sys do), so what is taken from it must be checked.
bool regularinput(const reader &r, int &fd, long long &offset, long long &size);

inline int getbyte(reader &r)
{
	return r.pos != r.end ? *r.pos++ : fillinput(r);
}

// Shows what is buffered without taking it; empty at end of input.
inline std::span<const unsigned char> peekblock(reader &r)
{
	return r.pos != r.end ? std::span<const unsigned char>(r.pos, r.end) : refillblock(r);
}

// Takes n bytes of what peekblock() showed.
inline void skipinput(reader &r, std::size_t n)
{
	r.pos += n;
}

// Tells one block from any other, of this reader or another: a scanner that
// keeps what it found in the block peekblock() shows keys it on this.
inline unsigned long blockid(const reader &r)
{
	return r.generation;
}

} // namespace sitko

#endif
