// SPDX-License-Identifier: MIT
#include "output.hpp"

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <poll.h>
#include <unistd.h>

#include "ready.hpp"

namespace sitko {

namespace {

char buffer[OUTPUT_CAPACITY];
std::size_t used;
bool failed;

void writeall(const char *p, std::size_t n)
{
	while (n > 0) {
		ssize_t w = write(STDOUT_FILENO, p, n);
		if (w > 0) {
			p += w;
			n -= static_cast<std::size_t>(w);
		} else if (w < 0 && errno == EINTR) {
			continue;
		} else if (w < 0 && (errno == EAGAIN || errno == EWOULDBLOCK) &&
			   waitready(STDOUT_FILENO, POLLOUT)) {
			continue;
		} else {
			failed = true;
			return;
		}
	}
}

void drain()
{
	writeall(buffer, used);
	used = 0;
}

} // namespace

void print(const char *format, ...)
{
	for (;;) {
		va_list args;
		va_start(args, format);
		int n = vsnprintf(buffer + used, sizeof buffer - used, format, args);
		va_end(args);
		if (n < 0)
			break;
		if (static_cast<std::size_t>(n) < sizeof buffer - used) {
			used += static_cast<std::size_t>(n);
			return;
		}
		if (used == 0)
			break;
		drain();
	}
	// Not formatted, or longer than the whole buffer: that part of the
	// report is lost, and the status says so.
	failed = true;
}

void putbytes(const void *p, std::size_t n)
{
	if (n == 0)
		return;
	if (n > sizeof buffer - used)
		drain();
	if (n >= sizeof buffer) {
		writeall(static_cast<const char *>(p), n);
		return;
	}
	memcpy(buffer + used, p, n);
	used += n;
}

void putline(const char *s)
{
	putbytes(s, strlen(s));
	putbytes("\n", 1);
}

bool flushoutput()
{
	drain();
	return !failed;
}

} // namespace sitko
