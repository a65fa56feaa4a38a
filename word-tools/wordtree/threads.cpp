// SPDX-License-Identifier: MIT
#include "threads.hpp"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <fcntl.h>
#include <sched.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <unistd.h>

namespace sitko {

namespace {

// A counting thread's own frames are a few pages; the usual stack of
// megabytes would only be address space to map and give back.
constexpr std::size_t THREAD_STACK = 256 << 10;

} // namespace

bool startthread(runner &t, void *(*run)(void *), void *arg)
{
	auto page = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
	void *p = mmap(nullptr, page + THREAD_STACK, PROT_READ | PROT_WRITE,
		       MAP_PRIVATE | MAP_ANONYMOUS | MAP_STACK, -1, 0);
	if (p == MAP_FAILED)
		return false;
	t.stack = p;
	pthread_attr_t attr;
	// The lowest page is the guard that stops a stack running over.
	bool started = mprotect(p, page, PROT_NONE) == 0 && pthread_attr_init(&attr) == 0;
	if (started) {
		started = pthread_attr_setstack(&attr, static_cast<unsigned char *>(p) + page,
						THREAD_STACK) == 0 &&
			  pthread_create(&t.id, &attr, run, arg) == 0;
		pthread_attr_destroy(&attr);
	}
	if (!started)
		munmap(p, page + THREAD_STACK);
	return started;
}

void jointhread(runner &t)
{
	pthread_join(t.id, nullptr);
	munmap(t.stack, static_cast<std::size_t>(sysconf(_SC_PAGESIZE)) + THREAD_STACK);
}

namespace {

// /proc/self/cgroup has a line of a few dozen bytes for each hierarchy.
constexpr std::size_t CGROUP_TEXT = 8192;
// The address space a limit must leave for each thread, 16 times what a
// thread's reader, stack and buffers take.
constexpr rlim_t ROOM_PER_THREAD = rlim_t{64} << 20;
// A quota file holds a number or two.
constexpr std::size_t QUOTA_TEXT = 64;
constexpr std::size_t PATH_BYTES = 4096;
// Room left at the end of a cgroup's directory for the name of a file in it.
constexpr std::size_t FILE_NAME = 32;

// The whole of the file at path; empty where it cannot be read, or does not
// fit, as part of it might be taken for all.
std::string_view readtext(const char *path, char *buffer, std::size_t capacity)
{
	int fd = open(path, O_RDONLY | O_CLOEXEC | O_NOCTTY);
	if (fd < 0)
		return {};
	std::size_t n = 0;
	bool whole = false;
	while (n < capacity) {
		ssize_t got = read(fd, buffer + n, capacity - n);
		if (got > 0) {
			n += static_cast<std::size_t>(got);
		} else if (got == 0) {
			whole = true;
			break;
		} else if (errno != EINTR) {
			break;
		}
	}
	close(fd);
	return whole ? std::string_view(buffer, n) : std::string_view();
}

// Takes from text what comes before the first c, and c; all of it where
// there is no c.  (No substr(), which may throw.)
std::string_view take(std::string_view &text, char c)
{
	std::string_view part = text;
	std::size_t at = text.find(c);
	if (at == std::string_view::npos) {
		text = {};
		return part;
	}
	part.remove_suffix(part.size() - at);
	text.remove_prefix(at + 1);
	return part;
}

std::string_view withoutnewline(std::string_view text)
{
	if (!text.empty() && text.back() == '\n')
		text.remove_suffix(1);
	return text;
}

// A decimal number of digits only that fits.
bool number(std::string_view text, std::uint64_t &value)
{
	if (text.empty())
		return false;
	value = 0;
	for (char c : text) {
		if (c < '0' || c > '9')
			return false;
		auto digit = static_cast<std::uint64_t>(c - '0');
		if (value > (UINT64_MAX - digit) / 10)
			return false;
		value = value * 10 + digit;
	}
	return true;
}

std::size_t cpusfor(std::string_view quota, std::string_view period)
{
	std::uint64_t q, p;
	if (!number(quota, q) || !number(period, p) || q == 0 || p == 0)
		return 0;
	std::uint64_t cpus = q / p + (q % p != 0 ? 1 : 0);
	return cpus > SIZE_MAX ? SIZE_MAX : static_cast<std::size_t>(cpus);
}

// The smaller of two quotas, where 0 is none.
std::size_t fewer(std::size_t a, std::size_t b)
{
	return a == 0 ? b : b == 0 ? a : std::min(a, b);
}

void putname(char *dir, std::size_t n, const char *file)
{
	std::size_t length = strlen(file);
	memcpy(dir + n, file, length + 1);
}

// The quota of the cgroup whose directory dir holds (n bytes, with room
// for a file's name after them).
std::size_t v2quota(char *dir, std::size_t n)
{
	char text[QUOTA_TEXT];
	putname(dir, n, "/cpu.max");
	return quotacpus(readtext(dir, text, sizeof text));
}

std::size_t v1quota(char *dir, std::size_t n)
{
	char quota[QUOTA_TEXT], period[QUOTA_TEXT];
	putname(dir, n, "/cpu.cfs_quota_us");
	std::string_view q = readtext(dir, quota, sizeof quota);
	if (q.empty())
		return 0;
	putname(dir, n, "/cpu.cfs_period_us");
	return quotacpus(q, readtext(dir, period, sizeof period));
}

// The fewest CPUs that the quotas of the cgroup at path under root, and of
// every cgroup above it, allow: a parent's quota holds its children too.
// The root itself is read last; where the process does not see the whole
// hierarchy (a container's own cgroup mounted as the root) it is the
// process's own.
std::size_t fewestabove(std::string_view root, std::string_view path,
			std::size_t (*quota)(char *dir, std::size_t n))
{
	if (path.empty())
		return 0;
	char dir[PATH_BYTES];
	std::size_t least = 0;
	for (;;) {
		while (!path.empty() && path.back() == '/')
			path.remove_suffix(1);
		std::size_t n = root.size() + path.size();
		if (n + FILE_NAME <= sizeof dir) {
			memcpy(dir, root.data(), root.size());
			memcpy(dir + root.size(), path.data(), path.size());
			least = fewer(least, quota(dir, n));
		}
		if (path.empty())
			return least;
		path.remove_suffix(path.size() - path.rfind('/'));
	}
}

std::size_t cgroupquota()
{
	char text[CGROUP_TEXT];
	std::string_view self = readtext("/proc/self/cgroup", text, sizeof text);
	std::size_t least = fewestabove("/sys/fs/cgroup", cgrouppath(self, ""), v2quota);
	// Where the CPU controller is mounted for cgroup v1, under either name.
	std::string_view v1 = cgrouppath(self, "cpu");
	least = fewer(least, fewestabove("/sys/fs/cgroup/cpu", v1, v1quota));
	return fewer(least, fewestabove("/sys/fs/cgroup/cpu,cpuacct", v1, v1quota));
}

} // namespace

std::size_t quotacpus(std::string_view cpumax)
{
	cpumax = withoutnewline(cpumax);
	std::string_view quota = take(cpumax, ' ');
	return quota == "max" ? 0 : cpusfor(quota, cpumax);
}

std::size_t quotacpus(std::string_view quota, std::string_view period)
{
	quota = withoutnewline(quota);
	if (quota == "-1")
		return 0;
	return cpusfor(quota, withoutnewline(period));
}

std::string_view cgrouppath(std::string_view selfcgroup, std::string_view controller)
{
	while (!selfcgroup.empty()) {
		// HIERARCHY:CONTROLLERS:PATH, where the path may hold colons too.
		std::string_view path = take(selfcgroup, '\n');
		std::string_view hierarchy = take(path, ':');
		std::string_view controllers = take(path, ':');
		if (path.empty() || path.front() != '/')
			continue;
		if (controller.empty()) {
			if (hierarchy == "0" && controllers.empty())
				return path;
			continue;
		}
		if (hierarchy == "0")
			continue;
		while (!controllers.empty())
			if (take(controllers, ',') == controller)
				return path;
	}
	return {};
}

std::size_t cpusallowed()
{
	std::size_t n = 0;
	cpu_set_t set;
	if (sched_getaffinity(0, sizeof set, &set) == 0)
		n = static_cast<std::size_t>(CPU_COUNT(&set));
	else if (long online = sysconf(_SC_NPROCESSORS_ONLN); online > 0)
		n = static_cast<std::size_t>(online);
	std::size_t quota = cgroupquota();
	if (quota != 0 && quota < n)
		n = quota;
	// Under a limit on the address space, threads take no more of it than
	// a small share, so that they never cost a report one thread would
	// write: a thread's reader, stack and buffers are a few MiB.
	rlimit room = {};
	if (getrlimit(RLIMIT_AS, &room) == 0 && room.rlim_cur != RLIM_INFINITY)
		n = std::min<std::size_t>(n, room.rlim_cur / ROOM_PER_THREAD);
	return std::clamp<std::size_t>(n, 1, MAX_THREADS);
}

} // namespace sitko
