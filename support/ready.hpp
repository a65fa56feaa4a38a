// SPDX-License-Identifier: MIT
#ifndef SITKO_READY_HPP
#define SITKO_READY_HPP

namespace sitko {

// Waits until fd is ready for events (POLLIN or POLLOUT), for a descriptor
// that said EAGAIN: a non-blocking one that a parent left that way.  False
// when it cannot wait.
bool waitready(int fd, short events);

} // namespace sitko

#endif
