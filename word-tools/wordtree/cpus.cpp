// SPDX-License-Identifier: MIT
#include "cpus.hpp"

#include <algorithm>
#include <sched.h>
#include <unistd.h>

#include "threads.hpp"

namespace sitko {

std::size_t cpusallowed()
{
	std::size_t n = 0;
	cpu_set_t set;
	if (sched_getaffinity(0, sizeof set, &set) == 0)
		n = static_cast<std::size_t>(CPU_COUNT(&set));
	else if (long online = sysconf(_SC_NPROCESSORS_ONLN); online > 0)
		n = static_cast<std::size_t>(online);
	return std::clamp<std::size_t>(n, 1, MAX_THREADS);
}

} // namespace sitko
