// SPDX-License-Identifier: MIT
// Every program confined: the filter is there from the start, and what a
// program taken over would try (played by the preloaded probe) is refused
// or ends the program, at its first read, at its first write, and from
// wordtree's threads.  The other tests, run against the same confined
// programs, show that every report and status is as before.
#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <fstream>
#include <poll.h>
#include <pthread.h>
#include <sstream>
#include <string>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "confine.hpp"
#include "harness.hpp"

extern char **environ;

using sitko::test::subjects;

namespace {

const std::string &input = sitko::test::sampleinput;

// What each attempt comes to under the filter: the error it fails with, or
// 0 where the filter ends the program with SIGSYS.
struct attempt {
	const char *name;
	int error;
};

const attempt attempts[] = {
	{"openat", EPERM},
#if defined(SYS_open)
	{"open", EPERM},
#endif
	{"fork", 0},          {"clone", 0},
	{"clone-vm", 0},      {"clone3", ENOSYS},
	{"execve", 0},        {"socket", 0},
#if defined(SYS_socketcall)
	{"socketcall", 0},
#endif
	{"unix-socket", 0},   {"prctl", 0},
	{"seccomp", 0},       {"ptrace", 0},
	{"kill", 0},          {"stderr", 0},
	{"dup", 0},           {"fcntl", 0},
	{"mmap-exec", EPERM}, {"mprotect-exec", EPERM},
};

// Why the programs run unconfined here, or nullptr where they are confined.
const char *unconfined()
{
	if (!sitko::confines())
		return "this build does not confine the programs (SITKO_CONFINE off, or an "
		       "architecture without a table)";
	if (sitko::test::commandline("x") != sitko::test::program("x"))
		return "the programs run under the emulator, which refuses seccomp";
	std::ifstream status("/proc/self/status");
	std::string line;
	bool seccomp = false;
	while (std::getline(status, line))
		seccomp = seccomp || line.rfind("Seccomp:", 0) == 0;
	if (!seccomp)
		return "the kernel has no seccomp";
	std::ifstream actions("/proc/sys/kernel/seccomp/actions_avail");
	std::string avail;
	std::getline(actions, avail);
	if (avail.find("kill_process") == std::string::npos)
		return "the kernel cannot kill a whole process from a filter";
	return nullptr;
}

#define SKIP_UNLESS_CONFINED()                                                                     \
	if (const char *why = unconfined())                                                        \
	GTEST_SKIP() << why

struct outcome {
	std::string out;
	std::string err;
	int status = -1;
	int signal = 0;
};

struct launch {
	std::string name;
	std::vector<std::string> env; // added to the environment
	std::string input;
	bool pipe = false;  // input through a pipe, else from a file
	rlim_t memory = 0;  // an address space limit, where not 0
	bool stops = false; // stopped and continued while it runs
};

outcome start(const launch &l)
{
	signal(SIGPIPE, SIG_IGN);
	int in[2], out[2], err[2];
	if (l.pipe) {
		if (pipe2(in, O_CLOEXEC) != 0)
			std::abort();
	} else {
		// One memory file for runs on the same input, each opened anew so
		// that none shares another's offset.
		static std::string last;
		static int file = -1;
		if (file < 0 || l.input != last) {
			if (file >= 0)
				close(file);
			file = sitko::test::inputfile(l.input);
			// Kept open across runs, so no program inherits it.
			fcntl(file, F_SETFD, FD_CLOEXEC);
			last = l.input;
		}
		in[0] = open(("/proc/self/fd/" + std::to_string(file)).c_str(),
			     O_RDONLY | O_CLOEXEC);
		in[1] = -1;
	}
	if (pipe2(out, O_CLOEXEC) != 0 || pipe2(err, O_CLOEXEC) != 0)
		std::abort();
	std::string path = sitko::test::program(l.name);
	std::vector<std::string> words(l.env);
	for (char **e = environ; *e != nullptr; e++)
		words.emplace_back(*e);
	std::vector<char *> envp;
	for (auto &w : words)
		envp.push_back(w.data());
	envp.push_back(nullptr);
	char *argv[] = {path.data(), nullptr};

	pid_t pid = fork();
	if (pid == 0) {
		signal(SIGPIPE, SIG_DFL);
		rlimit none = {0, 0};
		setrlimit(RLIMIT_CORE, &none);
		if (l.memory != 0) {
			rlimit most = {l.memory, l.memory};
			setrlimit(RLIMIT_AS, &most);
		}
		dup2(in[0], STDIN_FILENO);
		dup2(out[1], STDOUT_FILENO);
		dup2(err[1], STDERR_FILENO);
		execve(argv[0], argv, envp.data());
		_exit(127);
	}
	close(in[0]);
	close(out[1]);
	close(err[1]);
	std::atomic<bool> fed{false};
	std::thread feeder([&] {
		if (in[1] < 0)
			return;
		for (std::size_t done = 0; done < l.input.size();) {
			std::size_t n = std::min<std::size_t>(l.input.size() - done, 4096);
			ssize_t w = write(in[1], l.input.data() + done, n);
			if (w <= 0)
				break;
			done += static_cast<std::size_t>(w);
		}
		close(in[1]);
		fed = true;
	});
	std::thread stopper([&] {
		for (int i = 0; l.stops && i < 2000 && !fed.load(); i++) {
			kill(pid, SIGSTOP);
			usleep(50);
			kill(pid, SIGCONT);
			usleep(50);
		}
	});

	outcome r;
	int fds[2] = {out[0], err[0]};
	std::string *into[2] = {&r.out, &r.err};
	while (fds[0] >= 0 || fds[1] >= 0) {
		pollfd p[2] = {{fds[0], POLLIN, 0}, {fds[1], POLLIN, 0}};
		if (poll(p, 2, -1) < 0) {
			if (errno == EINTR)
				continue;
			std::abort();
		}
		for (int k = 0; k < 2; k++) {
			if (fds[k] < 0 || p[k].revents == 0)
				continue;
			char chunk[65536];
			ssize_t n = read(fds[k], chunk, sizeof chunk);
			if (n > 0) {
				into[k]->append(chunk, static_cast<std::size_t>(n));
			} else if (n == 0 || errno != EINTR) {
				close(fds[k]);
				fds[k] = -1;
			}
		}
	}
	// The program is not reaped before the stopper is done with it.  A
	// thread let through ptrace(PTRACE_TRACEME) is this process's to reap
	// before the rest of its program can be.
	feeder.join();
	stopper.join();
	int status = 0;
	for (pid_t w; (w = waitpid(-1, &status, __WALL)) != pid;)
		if (w < 0 && errno != EINTR)
			break;
	if (WIFEXITED(status))
		r.status = WEXITSTATUS(status);
	else if (WIFSIGNALED(status))
		r.signal = WTERMSIG(status);
	return r;
}

outcome probed(const launch &plain, const char *attempt, const char *at)
{
	launch l = plain;
	l.env = {std::string("LD_PRELOAD=") + SITKO_PROBE_LIBRARY,
		 std::string("SITKO_PROBE=") + attempt, std::string("SITKO_PROBE_AT=") + at};
	return start(l);
}

const attempt &named(const char *name)
{
	for (const auto &a : attempts)
		if (std::strcmp(a.name, name) == 0)
			return a;
	std::abort();
}

void expectrefused(const outcome &r, const attempt &a)
{
	if (a.error == 0) {
		EXPECT_EQ(r.signal, SIGSYS) << "out: " << r.out;
		EXPECT_EQ(r.out.find("probe:"), std::string::npos) << r.out;
	} else {
		EXPECT_EQ(r.signal, 0);
		EXPECT_EQ(r.status, 3);
		EXPECT_EQ(r.out, std::string("probe: ") + a.name +
					 " failed: " + strerrorname_np(a.error) + "\n");
	}
	EXPECT_EQ(r.err, "");
}

// Words enough for wordtree to count a file of this size in parts, of a
// vocabulary of about this many: a large one grows with the input.
std::string manywords(std::size_t size, unsigned long vocabulary)
{
	std::string s;
	for (unsigned long i = 0; s.size() < size; i++) {
		for (unsigned long n = i * 2654435761u % vocabulary; n > 0; n /= 26)
			s += static_cast<char>('a' + n % 26);
		s += i % 8 == 0 ? '\n' : ' ';
	}
	return s;
}

} // namespace

// The probe itself changes nothing: without an attempt, every report and
// status is that of the program alone.
TEST(confine, probe_alone_changes_nothing)
{
	SKIP_UNLESS_CONFINED();
	for (const auto &s : subjects) {
		SCOPED_TRACE(s.name);
		auto plain = start({s.name, {}, input});
		auto r = probed({s.name, {}, input}, "none", "read");
		EXPECT_EQ(r.out, plain.out);
		EXPECT_EQ(r.status, 0);
		EXPECT_EQ(r.signal, 0);
		EXPECT_EQ(r.err, "");
		EXPECT_EQ(plain.status, 0);
		EXPECT_EQ(plain.err, "");
	}
}

TEST(confine, every_program_refuses_at_first_read_and_write)
{
	SKIP_UNLESS_CONFINED();
	for (const auto &s : subjects)
		for (const char *at : {"read", "write"}) {
			if (!s.readsinput && std::strcmp(at, "read") == 0)
				continue;
			for (const auto &a : attempts) {
				SCOPED_TRACE(std::string(s.name) + " at first " + at + ": " +
					     a.name);
				expectrefused(probed({s.name, {}, input}, a.name, at), a);
			}
		}
}

// wordtree's threads run under the same filter: attempts from a thread
// counting a part of a file, and at the first write after counting a file
// or a pipe on threads.
TEST(confine, wordtree_threads_refuse)
{
	SKIP_UNLESS_CONFINED();
	if (std::thread::hardware_concurrency() < 2)
		GTEST_SKIP() << "one CPU: wordtree starts no thread";
	const std::string file = manywords(17 << 20, 5000), stream = file.substr(0, 600 << 10);
	for (const auto &a : attempts) {
		SCOPED_TRACE(std::string("from a thread: ") + a.name);
		expectrefused(probed({"wordtree", {}, file}, a.name, "thread"), a);
	}
	for (const char *name : {"openat", "fork", "socket", "execve"}) {
		const attempt &a = named(name);
		SCOPED_TRACE(std::string("at first write after a file: ") + a.name);
		expectrefused(probed({"wordtree", {}, file}, a.name, "write"), a);
		SCOPED_TRACE(std::string("at first write after a pipe: ") + a.name);
		launch l = {"wordtree", {}, stream};
		l.pipe = true;
		expectrefused(probed(l, a.name, "write"), a);
	}
}

// A program waiting on its input, or on a full output, is confined already.
TEST(confine, filter_in_place_while_waiting)
{
	SKIP_UNLESS_CONFINED();
	signal(SIGPIPE, SIG_IGN);
	for (const auto &s : subjects) {
		SCOPED_TRACE(s.name);
		int in[2], out[2];
		ASSERT_EQ(pipe2(in, O_CLOEXEC), 0);
		ASSERT_EQ(pipe2(out, O_CLOEXEC), 0);
		// A program that reads nothing waits on a pipe that is full.
		std::size_t filler = 0;
		if (!s.readsinput) {
			fcntl(out[1], F_SETPIPE_SZ, 4096);
			fcntl(out[1], F_SETFL, O_NONBLOCK);
			while (write(out[1], "x", 1) == 1)
				filler++;
			fcntl(out[1], F_SETFL, 0);
		}
		std::string path = sitko::test::program(s.name);
		char *real = realpath(path.c_str(), nullptr);
		ASSERT_NE(real, nullptr);
		std::string exepath = real;
		free(real);
		pid_t pid = fork();
		if (pid == 0) {
			dup2(in[0], STDIN_FILENO);
			dup2(out[1], STDOUT_FILENO);
			execl(path.c_str(), path.c_str(), static_cast<char *>(nullptr));
			_exit(127);
		}
		close(in[0]);
		close(out[1]);
		std::string status, exe;
		for (int i = 0; i < 5000; i++) {
			char link[4096];
			ssize_t n = readlink(("/proc/" + std::to_string(pid) + "/exe").c_str(),
					     link, sizeof link);
			exe.assign(link, n > 0 ? static_cast<std::size_t>(n) : 0);
			std::ifstream f("/proc/" + std::to_string(pid) + "/status");
			std::stringstream all;
			all << f.rdbuf();
			status = all.str();
			if (exe == exepath && status.find("State:\tS") != std::string::npos)
				break;
			usleep(1000);
		}
		EXPECT_EQ(exe, exepath);
		EXPECT_NE(status.find("\nSeccomp:\t2\n"), std::string::npos) << status;
		EXPECT_NE(status.find("\nNoNewPrivs:\t1\n"), std::string::npos) << status;
		close(in[1]);
		std::string got;
		char chunk[4096];
		for (ssize_t n; (n = read(out[0], chunk, sizeof chunk)) > 0;)
			got.append(chunk, static_cast<std::size_t>(n));
		close(out[0]);
		int st = 0;
		waitpid(pid, &st, 0);
		EXPECT_TRUE(WIFEXITED(st) && WEXITSTATUS(st) == 0);
		EXPECT_GE(got.size(), filler);
	}
}

// Out of memory is status 1, as unconfined, never SIGSYS: what malloc and
// the threads ask for when there is no room is all allowed.
TEST(confine, out_of_memory_is_status_1)
{
	SKIP_UNLESS_CONFINED();
	const std::string words = manywords(24 << 20, 308915776);
	for (bool pipe : {false, true}) {
		SCOPED_TRACE(pipe ? "pipe" : "file");
		launch l = {"wordtree", {}, words};
		l.pipe = pipe;
		l.memory = 40 << 20;
		auto r = start(l);
		EXPECT_EQ(r.signal, 0);
		EXPECT_EQ(r.status, 1);
		EXPECT_EQ(r.err, "");
	}
}

// Stopped and continued many times while it reads a pipe and, for
// wordtree, while its threads wait on each other: the calls cut short are
// resumed, the report is the same.
TEST(confine, stopped_and_continued)
{
	SKIP_UNLESS_CONFINED();
	const std::string words = manywords(3 << 20, 5000);
	for (const char *name : {"wordtree", "wordcount", "lineorder", "longline"}) {
		SCOPED_TRACE(name);
		launch l = {name, {}, words};
		auto plain = start(l);
		l.pipe = true;
		l.stops = true;
		auto r = start(l);
		EXPECT_EQ(r.signal, 0);
		EXPECT_EQ(r.status, plain.status);
		EXPECT_TRUE(r.out == plain.out);
		EXPECT_EQ(r.err, "");
	}
}

// The loader's trace, asked for in the environment, goes on after main has
// begun: what it writes then is lost, never the report or the status.
TEST(confine, loader_trace_costs_nothing)
{
	SKIP_UNLESS_CONFINED();
	const std::string words = manywords(20 << 20, 5000);
	for (const auto &s : subjects) {
		SCOPED_TRACE(s.name);
		launch l = {s.name, {}, s.name == std::string("wordtree") ? words : input};
		auto plain = start(l);
		for (const char *what : {"LD_DEBUG=files", "LD_DEBUG=all"}) {
			SCOPED_TRACE(what);
			l.env = {what};
			auto r = start(l);
			EXPECT_EQ(r.signal, 0);
			EXPECT_EQ(r.status, plain.status);
			EXPECT_TRUE(r.out == plain.out);
		}
	}
}

namespace {

// Runs what in a child confined to family (or not confined at all), and
// returns the signal that ended it, or 0 where it exited.
int inchild(sitko::family f, void (*what)(), bool confined = true)
{
	pid_t pid = fork();
	if (pid == 0) {
		rlimit none = {0, 0};
		setrlimit(RLIMIT_CORE, &none);
		if (confined)
			sitko::confine(f);
		what();
		_exit(0);
	}
	int status = 0;
	waitpid(pid, &status, 0);
	return WIFSIGNALED(status) ? WTERMSIG(status) : 0;
}

void *nothing(void *)
{
	return nullptr;
}

} // namespace

// The filter itself, in a child of the test: threads are let through, a
// call outside the family is not.
TEST(confine, threads_only_for_the_threads_family)
{
	SKIP_UNLESS_CONFINED();
	auto startone = [] {
		pthread_t t;
		if (pthread_create(&t, nullptr, nothing, nullptr) != 0 ||
		    pthread_join(t, nullptr) != 0)
			_exit(1);
	};
	EXPECT_EQ(inchild(sitko::family::threads, startone), 0);
	EXPECT_EQ(inchild(sitko::family::reads, startone), SIGSYS);
	auto clock = [] {
		timespec now;
		syscall(SYS_clock_gettime, CLOCK_MONOTONIC, &now);
	};
	EXPECT_EQ(inchild(sitko::family::threads, clock), 0);
	EXPECT_EQ(inchild(sitko::family::reads, clock), SIGSYS);
	EXPECT_EQ(inchild(sitko::family::writes, [] { syscall(SYS_read, 0, nullptr, 0); }), SIGSYS);
}

#if defined(__x86_64__)
// The same call made through the 32-bit table, or as an x32 call, has
// another number and is refused, though the family allows the call.  A
// kernel without the 32-bit table (ia32_emulation=0) faults that call with
// SIGSEGV before any filter sees it, confined or not.
TEST(confine, other_call_tables_refused)
{
	SKIP_UNLESS_CONFINED();
	auto getpid32 = [] {
		long r = 20; // getpid in the 32-bit table
		asm volatile("int $0x80" : "+a"(r) : : "memory");
	};
	if (inchild(sitko::family::threads, getpid32, false) == 0)
		EXPECT_EQ(inchild(sitko::family::threads, getpid32), SIGSYS);
	else
		EXPECT_EQ(inchild(sitko::family::threads, getpid32), SIGSEGV);
	EXPECT_EQ(inchild(sitko::family::threads, [] { syscall(__X32_SYSCALL_BIT | SYS_getpid); }),
		  SIGSYS);
}
#endif
