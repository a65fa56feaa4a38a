// SPDX-License-Identifier: MIT
#include "ready.hpp"

#include <cerrno>
#include <poll.h>

namespace sitko {

bool waitready(int fd, short events)
{
	pollfd p = {fd, events, 0};
	for (;;) {
		if (poll(&p, 1, -1) >= 0)
			return true;
		if (errno != EINTR)
			return false;
	}
}

} // namespace sitko
