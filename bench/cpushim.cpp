// SPDX-License-Identifier: MIT
// Preloaded by bench/run under the program it measures; not installed.
// With SITKO_BENCH_CPUS=N, sched_getaffinity and pthread_getaffinity_np
// report CPUs 0 to N-1, so a program can be made to plan for more CPUs than
// the machine has.  With SITKO_BENCH_TAIL=FILE, the seconds from the end of
// the last thread the program started to its exit are written to FILE at
// exit: how long it ran on one thread at the end (FILE is left empty where
// no thread was started, or none ended).
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <dlfcn.h>
#include <fcntl.h>
#include <pthread.h>
#include <sched.h>
#include <unistd.h>

namespace {

using createfn = int (*)(pthread_t *, const pthread_attr_t *, void *(*)(void *), void *);
using affinityfn = int (*)(pid_t, std::size_t, cpu_set_t *);
using threadaffinityfn = int (*)(pthread_t, std::size_t, cpu_set_t *);

// CLOCK_MONOTONIC nanoseconds at the latest end of a started thread; 0 while
// none has ended.
std::atomic<long long> lastend{0};

long long now()
{
	timespec t;
	clock_gettime(CLOCK_MONOTONIC, &t);
	return t.tv_sec * 1000000000LL + t.tv_nsec;
}

template <typename F>
F next(const char *name)
{
	// The C library's own definition, the one this library stands in front of.
	void *p = dlsym(RTLD_NEXT, name);
	F f;
	static_assert(sizeof f == sizeof p);
	memcpy(&f, &p, sizeof f);
	return f;
}

// The CPUs claimed, or 0 to report what the system does.
std::size_t claimed()
{
	const char *s = getenv("SITKO_BENCH_CPUS");
	if (s == nullptr || *s == '\0')
		return 0;
	char *end;
	unsigned long n = strtoul(s, &end, 10);
	return *end == '\0' ? n : 0;
}

// Fills set with CPUs 0 to n-1, as the system call would; n too large for
// the set is the system's EINVAL.
int claim(std::size_t n, std::size_t size, cpu_set_t *set)
{
	if (n > size * 8)
		return EINVAL;
	CPU_ZERO_S(size, set);
	for (std::size_t i = 0; i < n; i++)
		CPU_SET_S(i, size, set);
	return 0;
}

struct start {
	void *(*routine)(void *);
	void *arg;
};

// Marks the end of its thread however the thread leaves: by returning, or
// by pthread_exit or cancellation, whose unwinding runs this destructor.
struct ending {
	~ending()
	{
		long long t = now(), seen = lastend.load();
		while (seen < t && !lastend.compare_exchange_weak(seen, t)) {
		}
	}
};

void *run(void *p)
{
	start s = *static_cast<start *>(p);
	free(p);
	ending e;
	return s.routine(s.arg);
}

// Writes the tail at exit; a library's destructors run after the program's
// own and its atexit functions.
__attribute__((destructor)) void writetail()
{
	long long leaving = now(), end = lastend.load();
	const char *name = getenv("SITKO_BENCH_TAIL");
	if (name == nullptr || *name == '\0')
		return;
	int fd = open(name, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
	if (fd < 0)
		return;
	char text[32];
	int n = 0;
	if (end > 0)
		n = snprintf(text, sizeof text, "%.6f\n", static_cast<double>(leaving - end) / 1e9);
	if (n > 0 && write(fd, text, static_cast<std::size_t>(n)) != n) {
		// Nothing to be done about it: the file is incomplete.
	}
	close(fd);
}

} // namespace

extern "C" int sched_getaffinity(pid_t pid, std::size_t size, cpu_set_t *set)
{
	const affinityfn real = next<affinityfn>("sched_getaffinity");
	if (std::size_t n = claimed(); n > 0) {
		if (int error = claim(n, size, set); error != 0) {
			errno = error;
			return -1;
		}
		return 0;
	}
	if (real == nullptr) {
		errno = ENOSYS;
		return -1;
	}
	return real(pid, size, set);
}

extern "C" int pthread_getaffinity_np(pthread_t thread, std::size_t size, cpu_set_t *set)
{
	const threadaffinityfn real = next<threadaffinityfn>("pthread_getaffinity_np");
	if (std::size_t n = claimed(); n > 0)
		return claim(n, size, set);
	return real != nullptr ? real(thread, size, set) : ENOSYS;
}

extern "C" int pthread_create(pthread_t *thread, const pthread_attr_t *attr,
			      void *(*routine)(void *), void *arg)
{
	const createfn real = next<createfn>("pthread_create");
	if (real == nullptr)
		return ENOSYS;
	// Freed by the thread as it starts, or here if it does not.
	auto *s = static_cast<start *>(malloc(sizeof(start)));
	if (s == nullptr)
		return EAGAIN;
	*s = {routine, arg};
	int error = real(thread, attr, run, s);
	if (error != 0)
		free(s);
	return error;
}
