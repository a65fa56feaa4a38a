// SPDX-License-Identifier: MIT
#ifndef SITKO_THREADS_HPP
#define SITKO_THREADS_HPP

#include <cstddef>
#include <pthread.h>

namespace sitko {

// The most threads wordtree counts or sorts on at once.
inline constexpr std::size_t MAX_THREADS = 64;

// Starts run(arg) on a thread of its own with a small stack; false where
// the system would not.
bool startthread(pthread_t &thread, void *(*run)(void *), void *arg);

} // namespace sitko

#endif
