// SPDX-License-Identifier: MIT
// longline: write the longest line of standard input.
//
// A line is the bytes up to and including a newline, or up to end of input;
// its length counts the newline.  Lines longer than LINE_CAPACITY - 1 bytes
// come in pieces.  Of several longest lines the first one read is written.
#include <cstring>

#include "confine.hpp"
#include "finish.hpp"
#include "input.hpp"
#include "newlines.hpp"
#include "output.hpp"
#include "programs.hpp"
#include "scan.hpp"

namespace {

constexpr std::size_t LINE_CAPACITY = 1000;

sitko::reader *source; // the input the program was started on
sitko::newlines found; // where the newlines of the current block lie

std::size_t max;
const unsigned char *line; // the line last read: in the input buffer, or in held
unsigned char held[LINE_CAPACITY];
unsigned char longest[LINE_CAPACITY];

// Takes the bytes of the current line that are buffered, up to room of
// them; ended tells whether the line (or its piece) is complete.
sitko::bytes takeline(std::size_t room, bool &ended)
{
	auto buffered = sitko::peekblock(*source);
	ended = false;
	if (buffered.empty())
		return {};
	std::size_t n = buffered.size() < room ? buffered.size() : room;
	ended = n == room;
	std::size_t newline = sitko::findnewline(*source, found);
	if (newline < n) {
		n = newline + 1;
		ended = true;
	}
	sitko::skipinput(*source, n);
	return buffered.first(n);
}

// Reads up to and including the next newline, but no more than
// LINE_CAPACITY - 1 bytes, and returns the length.  A line that lies whole in
// the input buffer stays there; only one that runs on past the buffer is
// gathered into held.
std::size_t mygetline()
{
	bool ended;
	auto piece = takeline(LINE_CAPACITY - 1, ended);
	if (ended || piece.empty()) {
		line = piece.data();
		return piece.size();
	}
	std::size_t i = 0;
	while (!piece.empty()) {
		memcpy(held + i, piece.data(), piece.size());
		i += piece.size();
		if (ended)
			break;
		piece = takeline(LINE_CAPACITY - 1 - i, ended);
	}
	line = held;
	return i;
}

// Copies max bytes, not up to the first NUL: a NUL inside a line is part of
// it and is written like any other byte.
void copy()
{
	memcpy(longest, line, max);
}

} // namespace

int sitko::longline(reader &in)
{
	std::size_t len;

	source = &in;
	max = 0;
	// A line no longer than the longest so far changes nothing: such
	// lines are passed over a block at a time, only their ends looked at.
	while (skiplines(in, found, max), (len = mygetline()) > 0)
		if (len > max) {
			max = len;
			copy();
		}
	if (max > 0)
		putbytes(longest, max);
	return 0;
}

#if !defined(SITKO_NO_MAIN)
int main()
{
	sitko::reader &in = sitko::standardinput();
	sitko::confine(sitko::family::reads);
	return sitko::finish(sitko::longline(in), in);
}
#endif
