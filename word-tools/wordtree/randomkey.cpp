// SPDX-License-Identifier: MIT
#include <ctime>
#include <sys/random.h>
#include <unistd.h>

#include "wordhash.hpp"

namespace sitko {

hashkey randomkey()
{
	hashkey key;
	if (getrandom(&key, sizeof key, GRND_NONBLOCK) == static_cast<ssize_t>(sizeof key))
		return key;
	timespec now = {};
	clock_gettime(CLOCK_MONOTONIC, &now);
	auto here = reinterpret_cast<std::uintptr_t>(&key);
	key.k0 = keyedmix(static_cast<std::uint64_t>(now.tv_nsec) ^ here, 1);
	key.k1 = keyedmix(static_cast<std::uint64_t>(now.tv_sec) ^
				  static_cast<std::uint64_t>(getpid()),
			  key.k0);
	return key;
}

} // namespace sitko
