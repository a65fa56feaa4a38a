// SPDX-License-Identifier: MIT
// Threads: how many this process can keep busy, and starting one.
//
// A container may leave every CPU of the machine in the affinity mask and
// yet give its processes the time of two: threads beyond that only wait
// their turn, each with memory of its own.  The quota is read from the
// cgroup files once, at start, before anything confines the process; a file
// that cannot be read or understood changes nothing.  Nothing is allocated.
#ifndef SITKO_THREADS_HPP
#define SITKO_THREADS_HPP

#include <cstddef>
#include <pthread.h>
#include <string_view>

namespace sitko {

// The most threads wordtree counts or sorts on at once.
inline constexpr std::size_t MAX_THREADS = 64;

// A thread, and the stack it runs on.
struct runner {
	pthread_t id;
	void *stack;
};

// Starts run(arg) on a thread of its own with a small stack; false where
// the system would not.
bool startthread(runner &t, void *(*run)(void *), void *arg);
// Waits for t to end, and gives its stack back to the system.  The stack
// is the program's own, not the thread library's: that library keeps the
// stacks of ended threads for new ones, in the address space that a limit
// counts, where one pass would have the room.
void jointhread(runner &t);

// The CPUs this process may use, 1 to MAX_THREADS: the CPUs of its affinity
// mask (or those online, where the mask cannot be had), but no more than
// the CPU quota of its cgroup, or of any cgroup above it, allows, nor than
// its limit on address space leaves ample room for.
std::size_t cpusallowed();

// The CPUs a quota of cgroup v2's cpu.max ("QUOTA PERIOD", microseconds)
// gives the time of, rounded up; 0 where there is no quota ("max") or the
// text is not understood.
std::size_t quotacpus(std::string_view cpumax);
// The same from cgroup v1's cpu.cfs_quota_us and cpu.cfs_period_us, where a
// quota of -1 is none.
std::size_t quotacpus(std::string_view quota, std::string_view period);
// The process's cgroup in the text of /proc/self/cgroup: in the v2
// hierarchy (the line "0::PATH") where controller is empty, else in the v1
// hierarchy that has that controller.  Empty where there is none.
std::string_view cgrouppath(std::string_view selfcgroup, std::string_view controller);

} // namespace sitko

#endif
