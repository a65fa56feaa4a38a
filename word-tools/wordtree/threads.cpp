// SPDX-License-Identifier: MIT
#include "threads.hpp"

namespace sitko {

namespace {

// A counting thread's own frames are a few pages; the usual stack of
// megabytes would only be address space to map and give back.
constexpr std::size_t THREAD_STACK = 256 << 10;

} // namespace

bool startthread(pthread_t &thread, void *(*run)(void *), void *arg)
{
	pthread_attr_t attr;
	if (pthread_attr_init(&attr) != 0)
		return false;
	bool started = pthread_attr_setstacksize(&attr, THREAD_STACK) == 0 &&
		       pthread_create(&thread, &attr, run, arg) == 0;
	pthread_attr_destroy(&attr);
	return started;
}

} // namespace sitko
