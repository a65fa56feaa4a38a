// SPDX-License-Identifier: MIT
#include "finish.hpp"

#include <cerrno>
#include <unistd.h>

#include "output.hpp"

namespace sitko {

int finish(int status)
{
	bool written = flushoutput();
	// close() reports what the file system could not store after all.  A
	// standard output that was never open is no fault by itself: had a byte
	// been due there, its write would have failed already.  After EINTR the
	// descriptor is gone all the same.
	if (close(STDOUT_FILENO) != 0 && errno != EBADF && errno != EINTR)
		written = false;
	return written ? status : 1;
}

int finish(int status, const reader &in)
{
	status = finish(status);
	return inputfailed(in) ? 1 : status;
}

} // namespace sitko
