// SPDX-License-Identifier: MIT
#ifndef SITKO_CPUS_HPP
#define SITKO_CPUS_HPP

#include <cstddef>

namespace sitko {

// The CPUs this process may run on, 1 to MAX_THREADS.
std::size_t cpusallowed();

} // namespace sitko

#endif
