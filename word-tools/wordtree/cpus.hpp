// SPDX-License-Identifier: MIT
// How many CPUs this process can keep busy: those it may run on, and no more
// than its cgroup's CPU quota gives it the time of.
//
// A container may leave every CPU of the machine in the affinity mask and
// yet give its processes the time of two: threads beyond that only wait
// their turn, each with memory of its own.  The quota is read from the
// cgroup files once, at start, before anything confines the process; a file
// that cannot be read or understood changes nothing.  Nothing is allocated.
#ifndef SITKO_CPUS_HPP
#define SITKO_CPUS_HPP

#include <cstddef>
#include <string_view>

#include "threads.hpp"

namespace sitko {

// The most CPUs a process is counted as having: as many as it has threads.
inline constexpr std::size_t MAX_CPUS = MAX_THREADS;

// The CPUs this process may use, 1 to MAX_CPUS: the CPUs of its affinity
// mask (or those online, where the mask cannot be had), but no more than
// the CPU quota of its cgroup, or of any cgroup above it, allows.
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
