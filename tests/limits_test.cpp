// SPDX-License-Identifier: MIT
// The programs under the limits a system sets them: the CPU time their
// cgroup allows, and the pipe quota of their user.
#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sched.h>
#include <string>
#include <string_view>
#include <sys/ioctl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "harness.hpp"
#include "threads.hpp"

using namespace sitko::test;

namespace {

const char *const readers[] = {
	"longline",     "lineorder", "reservedwords", "wordtree",  "census",
	"census-cases", "charcount", "linecount",     "wordcount",
};

std::string readall(int fd)
{
	std::string text;
	char chunk[4096];
	ssize_t n;
	while ((n = read(fd, chunk, sizeof chunk)) > 0 || (n < 0 && errno == EINTR))
		if (n > 0)
			text.append(chunk, static_cast<std::size_t>(n));
	return text;
}

bool writeall(int fd, std::string_view bytes)
{
	while (!bytes.empty()) {
		ssize_t n = write(fd, bytes.data(), bytes.size());
		if (n < 0 && errno == EINTR)
			continue;
		if (n <= 0)
			return false;
		bytes.remove_prefix(static_cast<std::size_t>(n));
	}
	return true;
}

bool writefile(const std::string &path, std::string_view text)
{
	int fd = open(path.c_str(), O_WRONLY | O_CLOEXEC);
	if (fd < 0)
		return false;
	bool done = writeall(fd, text);
	return close(fd) == 0 && done;
}

// A program started on a pipe that the test writes.
struct started {
	pid_t pid;
	int feed; // the pipe's end to write
	int out;  // a file that collects standard output
};

// Starts name on a new pipe.  Before the program starts, the child joins
// the cgroup whose cgroup.procs (or v1 tasks) file is procs, where one is
// given, and keeps to one CPU where onecpu says so.
started start(const char *name, const std::string &procs = "", bool onecpu = false)
{
	signal(SIGPIPE, SIG_IGN);
	started s = {-1, -1, -1};
	int p[2];
	if (pipe2(p, O_CLOEXEC) != 0)
		return s;
	s.out = memfd_create("report", MFD_CLOEXEC);
	std::string command = "exec " + commandline(name);
	s.pid = fork();
	if (s.pid == 0) {
		// Writing 0 moves the process that writes.
		if (!procs.empty() && !writefile(procs, "0"))
			_exit(126);
		if (onecpu) {
			cpu_set_t set;
			if (sched_getaffinity(0, sizeof set, &set) != 0)
				_exit(126);
			int first = 0;
			while (!CPU_ISSET(first, &set))
				first++;
			CPU_ZERO(&set);
			CPU_SET(first, &set);
			if (sched_setaffinity(0, sizeof set, &set) != 0)
				_exit(126);
		}
		dup2(p[0], STDIN_FILENO);
		dup2(s.out, STDOUT_FILENO);
		execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char *>(nullptr));
		_exit(127);
	}
	close(p[0]);
	s.feed = p[1];
	return s;
}

// Closes the pipe and waits for the program: its exit status (or -1 where
// it did not exit), and its report into report where given.
int finish(started &s, std::string *report = nullptr)
{
	if (s.feed >= 0)
		close(s.feed);
	int status = 0;
	while (waitpid(s.pid, &status, 0) < 0 && errno == EINTR)
		;
	if (report != nullptr) {
		lseek(s.out, 0, SEEK_SET);
		*report = readall(s.out);
	}
	close(s.out);
	return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Waits until the program has taken everything written to the pipe and its
// first thread sleeps again, which it does only after it has done with the
// read that took the last byte; false where that does not come.
bool waitreading(const started &s)
{
	std::string stat = "/proc/" + std::to_string(s.pid) + "/stat";
	for (int i = 0; i < 20000; i++) {
		int left = 0;
		if (ioctl(s.feed, FIONREAD, &left) == 0 && left == 0) {
			int fd = open(stat.c_str(), O_RDONLY | O_CLOEXEC);
			if (fd < 0)
				return false;
			std::string now = readall(fd);
			close(fd);
			// PID (NAME) STATE ..., where the name may hold anything.
			std::size_t end = now.rfind(')');
			if (end != std::string::npos && now.compare(end, 4, ") S ") == 0)
				return true;
		}
		usleep(1000);
	}
	return false;
}

std::size_t threads(pid_t pid)
{
	std::string path = "/proc/" + std::to_string(pid) + "/task";
	DIR *d = opendir(path.c_str());
	if (d == nullptr)
		return 0;
	std::size_t n = 0;
	while (dirent *e = readdir(d))
		if (e->d_name[0] != '.')
			n++;
	closedir(d);
	return n;
}

// The threads the program runs once it has counted the bytes written and
// waits for more: the same count many times over.
std::size_t settledthreads(pid_t pid)
{
	std::size_t last = threads(pid), same = 0;
	for (int i = 0; i < 1000 && same < 20; i++) {
		usleep(10000);
		std::size_t now = threads(pid);
		same = now == last ? same + 1 : 0;
		last = now;
	}
	return last;
}

long long pipemaxsize()
{
	long long most = 0;
	if (FILE *f = fopen("/proc/sys/fs/pipe-max-size", "r")) {
		if (fscanf(f, "%lld", &most) != 1)
			most = 0;
		fclose(f);
	}
	return most;
}

// Words enough to be counted in parts on every CPU, then held open.
std::string manywords()
{
	std::string text;
	for (unsigned i = 0; text.size() < (4u << 20); i++)
		text += "word" + std::to_string(i % 50000) + (i % 16 == 15 ? "\n" : " ");
	return text;
}

} // namespace

TEST(cpus, quota_of_cgroup_v2)
{
	const struct {
		const char *cpumax;
		std::size_t cpus;
	} cases[] = {
		{"max 100000\n", 0},
		{"max 100000", 0},
		{"100000 100000\n", 1},
		{"200000 100000\n", 2},
		{"150000 100000\n", 2}, // one and a half CPUs' time keeps two busy part of the time
		{"200001 100000\n", 3},
		{"50000 100000\n", 1},
		{"1000 100000\n", 1},
		{"6400000 100000\n", 64},
		{"12800000 100000\n", 128},
		{"300000 50000\n", 6},
		{"18446744073709551615 1\n", SIZE_MAX},
		// Not understood: nothing is taken from them.
		{"", 0},
		{"\n", 0},
		{"max\n", 0},
		{"200000\n", 0},
		{"200000 0\n", 0},
		{"0 100000\n", 0},
		{"-200000 100000\n", 0},
		{" 200000 100000\n", 0},
		{"200000  100000\n", 0},
		{"200000 100000 \n", 0},
		{"200000 100000\n\n", 0},
		{"2e5 100000\n", 0},
		{"18446744073709551616 1\n", 0},
	};
	for (const auto &c : cases) {
		SCOPED_TRACE(c.cpumax);
		EXPECT_EQ(sitko::quotacpus(c.cpumax), c.cpus);
	}
}

TEST(cpus, quota_of_cgroup_v1)
{
	const struct {
		const char *quota, *period;
		std::size_t cpus;
	} cases[] = {
		{"-1\n", "100000\n", 0}, {"100000\n", "100000\n", 1}, {"150000\n", "100000\n", 2},
		{"250000", "100000", 3}, {"20000\n", "100000\n", 1},  {"800000\n", "200000\n", 4},
		{"-1\n", "", 0},         {"100000\n", "", 0},         {"", "100000\n", 0},
		{"100000\n", "0\n", 0},  {"-2\n", "100000\n", 0},     {"1 00000\n", "100000\n", 0},
		{"100000\n", "-1\n", 0}, {"x\n", "100000\n", 0},
	};
	for (const auto &c : cases) {
		SCOPED_TRACE(std::string(c.quota) + "/" + c.period);
		EXPECT_EQ(sitko::quotacpus(c.quota, c.period), c.cpus);
	}
}

TEST(cpus, cgroup_of_the_process)
{
	const char *hybrid = "12:cpuset:/\n"
			     "11:cpu,cpuacct:/docker/abc\n"
			     "10:cpuacct:/elsewhere\n"
			     "1:name=systemd:/system.slice/x.service\n"
			     "0::/system.slice/x.service\n";
	const struct {
		const char *text, *controller, *path;
	} cases[] = {
		{"0::/\n", "", "/"},
		{"0::/user.slice/user-0.slice/session-1.scope\n", "",
		 "/user.slice/user-0.slice/session-1.scope"},
		{"0::/a/b", "", "/a/b"},
		{"0::/a:b\n", "", "/a:b"},
		{hybrid, "", "/system.slice/x.service"},
		{hybrid, "cpu", "/docker/abc"},
		{hybrid, "cpuacct", "/docker/abc"},
		{hybrid, "cpuset", "/"},
		{hybrid, "memory", ""},
		{"4:cpuacct,cpu:/k/pod\n", "cpu", "/k/pod"},
		{"4:cpuacct:/k/pod\n3:cpu:/j\n", "cpu", "/j"},
		{"1:cpu:/\n", "cpu", "/"},
		{"1:cpu:/\n", "", ""},
		{"0::/x\n", "cpu", ""},
		{"0:cpu:/x\n", "cpu", ""},
		{"1::/x\n", "", ""},
		{"0::\n", "", ""},
		{"0::x\n", "", ""},
		{"0:/x\n", "", ""},
		{"", "", ""},
		{"\n\n", "", ""},
	};
	for (const auto &c : cases) {
		SCOPED_TRACE(std::string(c.text) + "[" + c.controller + "]");
		EXPECT_EQ(sitko::cgrouppath(c.text, c.controller), c.path);
	}
}

TEST(cpus, no_more_than_the_mask)
{
	cpu_set_t set;
	ASSERT_EQ(sched_getaffinity(0, sizeof set, &set), 0);
	std::size_t mask = static_cast<std::size_t>(CPU_COUNT(&set));
	std::size_t n = sitko::cpusallowed();
	EXPECT_GE(n, 1u);
	EXPECT_LE(n, std::min(mask, sitko::MAX_THREADS));
}

namespace {

// A cgroup of this test's own with the CPU controller: how its quota is
// written, and where a process joins it.
struct cgroup {
	std::string dir;
	bool v2 = false;
	std::string why; // where none could be made
};

cgroup makecgroup()
{
	cgroup g;
	std::string name = "/sitko-limits-" + std::to_string(getpid());
	struct stat st;
	if (stat("/sys/fs/cgroup/cgroup.controllers", &st) == 0) {
		std::string dir = "/sys/fs/cgroup" + name;
		if (mkdir(dir.c_str(), 0755) == 0) {
			// The CPU controller is handed down from the root where it
			// is not yet.
			if (access((dir + "/cpu.max").c_str(), W_OK) != 0)
				writefile("/sys/fs/cgroup/cgroup.subtree_control", "+cpu");
			if (access((dir + "/cpu.max").c_str(), W_OK) == 0) {
				g.dir = dir;
				g.v2 = true;
				return g;
			}
			rmdir(dir.c_str());
			g.why = "cgroup v2 gives no CPU controller to a new cgroup here; ";
		} else {
			g.why = "no cgroup can be made under /sys/fs/cgroup (" +
				std::string(strerror(errno)) + "); ";
		}
	}
	if (stat("/sys/fs/cgroup/cpu/cpu.cfs_quota_us", &st) == 0) {
		std::string dir = "/sys/fs/cgroup/cpu" + name;
		if (mkdir(dir.c_str(), 0755) == 0) {
			g.dir = dir;
			return g;
		}
		g.why += "no cgroup can be made under /sys/fs/cgroup/cpu (" +
			 std::string(strerror(errno)) + ")";
	} else {
		g.why += "no cgroup v1 CPU controller at /sys/fs/cgroup/cpu";
	}
	return g;
}

// Gives the cgroup the time of quota microseconds in every 100 ms.
bool setquota(const cgroup &g, long quota)
{
	if (g.v2)
		return writefile(g.dir + "/cpu.max", std::to_string(quota) + " 100000");
	return writefile(g.dir + "/cpu.cfs_period_us", "100000") &&
	       writefile(g.dir + "/cpu.cfs_quota_us", std::to_string(quota));
}

struct counted {
	std::size_t threads = 0;
	int status = -1;
	std::string report;
};

counted countwords(const std::string &input, const std::string &procs, bool onecpu)
{
	counted c;
	started s = start("wordtree", procs, onecpu);
	if (s.pid < 0)
		return c;
	if (writeall(s.feed, input) && waitreading(s))
		c.threads = settledthreads(s.pid);
	c.status = finish(s, &c.report);
	return c;
}

} // namespace

// With a CPU quota, wordtree starts the threads it starts on as many CPUs
// as the quota gives the time of, rounded up: a quota of one CPU is one
// CPU, whatever the mask holds.
TEST(limits, threads_follow_the_cpu_quota)
{
	cpu_set_t set;
	ASSERT_EQ(sched_getaffinity(0, sizeof set, &set), 0);
	if (CPU_COUNT(&set) < 2)
		GTEST_SKIP() << "one CPU only: there is no quota below the mask to claim";
	std::string input = manywords();
	counted unconfined = countwords(input, "", false);
	counted one = countwords(input, "", true);
	ASSERT_EQ(unconfined.status, 0);
	ASSERT_EQ(one.status, 0);
	ASSERT_EQ(one.report, unconfined.report);
	ASSERT_GE(one.threads, 1u);
	if (unconfined.threads <= one.threads)
		GTEST_SKIP() << "wordtree starts no more threads on " << CPU_COUNT(&set)
			     << " CPUs than on one: the quota cannot show";

	cgroup g = makecgroup();
	if (g.dir.empty())
		GTEST_SKIP() << g.why;
	std::string procs = g.dir + (g.v2 ? "/cgroup.procs" : "/tasks");
	counted quotaone, quotamore;
	bool set1 = setquota(g, 100000);
	if (set1)
		quotaone = countwords(input, procs, false);
	// One and a half CPUs' time, in a mask of two or more.
	bool set2 = setquota(g, 150000);
	if (set2)
		quotamore = countwords(input, procs, false);
	rmdir(g.dir.c_str());

	ASSERT_TRUE(set1 && set2) << "the quota of " << g.dir << " cannot be written";
	ASSERT_NE(quotaone.status, 126) << "the child cannot join " << g.dir;
	EXPECT_EQ(quotaone.status, 0);
	EXPECT_EQ(quotaone.report, unconfined.report);
	EXPECT_EQ(quotaone.threads, one.threads) << "a quota of one CPU, in " << g.dir;
	EXPECT_EQ(quotamore.status, 0);
	EXPECT_EQ(quotamore.report, unconfined.report);
	if (CPU_COUNT(&set) == 2)
		EXPECT_EQ(quotamore.threads, unconfined.threads)
			<< "a quota of 1.5 CPUs, in " << g.dir;
	else
		EXPECT_GT(quotamore.threads, one.threads) << "a quota of 1.5 CPUs, in " << g.dir;
}

// A program on a pipe that carries little leaves it the size it was made
// with: a grown pipe is charged to its user's pipe quota for as long as it
// is open, and once that is spent every new pipe of the user starts small.
TEST(pipes, idle_pipe_keeps_its_size)
{
	for (const char *name : readers) {
		SCOPED_TRACE(name);
		started s = start(name);
		ASSERT_GE(s.pid, 0);
		int made = fcntl(s.feed, F_GETPIPE_SZ);
		ASSERT_TRUE(writeall(s.feed, "x\n"));
		EXPECT_TRUE(waitreading(s)) << "the program did not read";
		EXPECT_EQ(fcntl(s.feed, F_GETPIPE_SZ), made);
		ASSERT_TRUE(writeall(s.feed, "a few more words\n"));
		EXPECT_TRUE(waitreading(s)) << "the program did not read";
		EXPECT_EQ(fcntl(s.feed, F_GETPIPE_SZ), made);
		EXPECT_EQ(finish(s), 0);
	}
}

// A pipe that carries bulk data is grown, once a read has found it full, to
// the largest size the system allows, up to a MiB; the writer sees it from
// then on.
TEST(pipes, bulk_pipe_grown_to_the_limit)
{
	if (pipemaxsize() < (1 << 20))
		GTEST_SKIP() << "pipe-max-size is below 1 MiB here, or cannot be read";
	// Two MiB, many times what a pipe holds at first, in lines of 999
	// bytes that differ in their first: fewer than lineorder can hold, and
	// quick to sort.
	std::string bulk;
	for (unsigned i = 0; bulk.size() < (2u << 20); i++) {
		std::string number = std::to_string(1000000 + i * 7919 % 1000003);
		bulk += number + std::string(998 - number.size(), 'x') + "\n";
	}
	for (const char *name : readers) {
		SCOPED_TRACE(name);
		started s = start(name);
		ASSERT_GE(s.pid, 0);
		ASSERT_TRUE(writeall(s.feed, bulk));
		EXPECT_TRUE(waitreading(s)) << "the program did not read";
		EXPECT_EQ(fcntl(s.feed, F_GETPIPE_SZ), 1 << 20);
		EXPECT_EQ(finish(s), 0);
	}
}
