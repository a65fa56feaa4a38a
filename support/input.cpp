#include "input.hpp"

#include <cerrno>
#include <unistd.h>

namespace sitko {

inputstate in;

namespace {

alignas(64) unsigned char buffer[INPUT_CAPACITY];
bool ended;
bool failed;
bool frommemory;

// Refills the buffer; false once the input has ended.  End of input is
// sticky: after the first end of file or error nothing more is read.
bool refill()
{
	if (ended)
		return false;
	if (frommemory) {
		ended = true;
		return false;
	}
	for (;;) {
		ssize_t n = read(STDIN_FILENO, buffer, sizeof buffer);
		if (n > 0) {
			in.pos = buffer;
			in.end = buffer + n;
			in.fills++;
			return true;
		}
		if (n < 0 && errno == EINTR)
			continue;
		if (n < 0)
			failed = true;
		ended = true;
		in.pos = in.end = nullptr;
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
}

} // namespace sitko
