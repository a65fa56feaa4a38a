// SPDX-License-Identifier: MIT
// A library for the tests only, preloaded into a program to play a fault
// that has taken the program over.  At the program's first read(2) of
// standard input, its first write(2) to standard output, or the first such
// read by a thread other than the first (SITKO_PROBE_AT: read, write or
// thread), it makes one attempt (SITKO_PROBE) at something no program of
// the suite needs, writes on standard output what came of it and ends the
// program: status 3 where the call failed, 4 where it did what was asked.
// A filter that kills for the call (as for another architecture's calls)
// ends the program with SIGSYS before that.  Without SITKO_PROBE, or with SITKO_PROBE=none, the program runs as
// usual.
//
// Built with SITKO_PROBE_STATIC, it goes into a statically linked program
// instead, linked with -Wl,--wrap= for read, write, pread and pread64 (as
// .ci/kernels does, for kernels that run no dynamic loader of ours).
//
// The attempts go straight to the kernel where the C library would make
// other calls of its own first, so that what the probe asks is what the
// filter sees.  The program's own calls go on to the C library's functions,
// looked up before main.
// The hooks stand in for the C library's read and write, which its
// fortified headers define inline.
#undef _FORTIFY_SOURCE

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <fcntl.h>
#include <linux/filter.h>
#include <linux/sched.h>
#include <linux/seccomp.h>
#include <pthread.h>
#include <sys/mman.h>
#include <sys/prctl.h>
#include <sys/ptrace.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <unistd.h>

#if defined(SITKO_PROBE_STATIC)
// The linker sends the program's calls to __wrap_<call> and leaves the C
// library's own at __real_<call>.
#define SITKO_HOOK(call) __wrap_##call
extern "C" {
ssize_t __real_read(int, void *, size_t);
ssize_t __real_write(int, const void *, size_t);
ssize_t __real_pread(int, void *, size_t, off_t);
ssize_t __real_pread64(int, void *, size_t, off64_t);
}
#else
#define SITKO_HOOK(call) call
#endif

namespace {

const char *attempt;
const char *when;
pthread_t first;
std::atomic<bool> done;
ssize_t (*realread)(int, void *, size_t);
ssize_t (*realwrite)(int, const void *, size_t);
ssize_t (*realpread)(int, void *, size_t, off_t);
ssize_t (*realpread64)(int, void *, size_t, off64_t);

template <typename F>
void find(F &f, const char *name)
{
	f = reinterpret_cast<F>(dlsym(RTLD_NEXT, name));
}

void say(const char *what, long result, int error)
{
	char line[160];
	int n = error != 0 ? snprintf(line, sizeof line, "probe: %s failed: %s\n", attempt,
				      strerrorname_np(error))
			   : snprintf(line, sizeof line, "probe: %s did it: %ld%s\n", attempt,
				      result, what);
	if (n > 0)
		syscall(SYS_write, STDOUT_FILENO, line, static_cast<std::size_t>(n));
	syscall(SYS_exit_group, error != 0 ? 3 : 4);
}

// A child that was let through leaves at once.
void leaveifchild(long r)
{
	if (r == 0)
		syscall(SYS_exit, 0);
}

long attemptone(const char *what)
{
	static char *const argv[] = {const_cast<char *>("true"), nullptr};
	sock_filter everything[] = {{BPF_RET | BPF_K, 0, 0, SECCOMP_RET_ALLOW}};
	sock_fprog program = {1, everything};
	if (strcmp(what, "openat") == 0)
		return syscall(SYS_openat, AT_FDCWD, "/etc/passwd", O_RDONLY | O_CLOEXEC);
#if defined(SYS_open)
	if (strcmp(what, "open") == 0)
		return syscall(SYS_open, "/etc/passwd", O_RDONLY | O_CLOEXEC);
#endif
	if (strcmp(what, "fork") == 0) {
		long r = fork();
		leaveifchild(r);
		return r;
	}
	if (strcmp(what, "clone") == 0 || strcmp(what, "clone-vm") == 0) {
		unsigned long flags = SIGCHLD;
		if (strcmp(what, "clone-vm") == 0)
			flags |= CLONE_VM | CLONE_VFORK;
#if defined(__s390x__)
		long r = syscall(SYS_clone, 0, flags, 0, 0, 0);
#else
		long r = syscall(SYS_clone, flags, 0, 0, 0, 0);
#endif
		leaveifchild(r);
		return r;
	}
	if (strcmp(what, "clone3") == 0) {
		clone_args args = {};
		args.exit_signal = SIGCHLD;
		long r = syscall(SYS_clone3, &args, sizeof args);
		leaveifchild(r);
		return r;
	}
	if (strcmp(what, "execve") == 0)
		return syscall(SYS_execve, "/bin/true", argv, environ);
	if (strcmp(what, "socket") == 0)
		return socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
#if defined(SYS_socketcall)
	if (strcmp(what, "socketcall") == 0) {
		unsigned long args[] = {AF_INET, SOCK_STREAM, 0};
		return syscall(SYS_socketcall, 1, args); // SYS_SOCKET
	}
#endif
	if (strcmp(what, "unix-socket") == 0)
		return socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
	if (strcmp(what, "prctl") == 0)
		return syscall(SYS_prctl, PR_SET_SECCOMP, SECCOMP_MODE_FILTER, &program, 0, 0);
	if (strcmp(what, "seccomp") == 0)
		return syscall(SYS_seccomp, SECCOMP_SET_MODE_FILTER, 0, &program);
	if (strcmp(what, "ptrace") == 0)
		return syscall(SYS_ptrace, PTRACE_TRACEME, 0, 0, 0);
	if (strcmp(what, "kill") == 0)
		return syscall(SYS_kill, 1, 0);
	if (strcmp(what, "stderr") == 0)
		return syscall(SYS_write, STDERR_FILENO, "!", 1);
	if (strcmp(what, "dup") == 0)
		return syscall(SYS_dup, STDIN_FILENO);
	if (strcmp(what, "fcntl") == 0)
		return syscall(SYS_fcntl, STDIN_FILENO, F_SETFL, O_NONBLOCK);
	if (strcmp(what, "mmap-exec") == 0)
		return reinterpret_cast<long>(mmap(nullptr, 4096, PROT_READ | PROT_EXEC,
						   MAP_PRIVATE | MAP_ANONYMOUS, -1, 0));
	if (strcmp(what, "mprotect-exec") == 0) {
		void *p = mmap(nullptr, 4096, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS,
			       -1, 0);
		if (p == MAP_FAILED)
			return -1;
		return syscall(SYS_mprotect, p, 4096, PROT_READ | PROT_EXEC);
	}
	errno = 0;
	return -2;
}

void probe(const char *point)
{
	if (attempt == nullptr || done.load())
		return;
	if (strcmp(when, "thread") == 0 ? pthread_equal(pthread_self(), first) != 0
					: strcmp(when, point) != 0)
		return;
	if (done.exchange(true))
		return;
	errno = 0;
	long r = attemptone(attempt);
	if (r == -2 && errno == 0) {
		say(" (no such attempt)", r, 0);
		return;
	}
	bool failed = r == -1 || (strncmp(attempt, "mmap", 4) == 0 &&
				  reinterpret_cast<void *>(r) == MAP_FAILED);
	say("", r, failed ? errno : 0);
}

__attribute__((constructor)) void setup()
{
	first = pthread_self();
	attempt = getenv("SITKO_PROBE");
	when = getenv("SITKO_PROBE_AT");
	if (attempt != nullptr && strcmp(attempt, "none") == 0)
		attempt = nullptr;
	if (when == nullptr)
		when = "read";
#if defined(SITKO_PROBE_STATIC)
	realread = __real_read;
	realwrite = __real_write;
	realpread = __real_pread;
	realpread64 = __real_pread64;
#else
	find(realread, "read");
	find(realwrite, "write");
	find(realpread, "pread");
	find(realpread64, "pread64");
#endif
}

} // namespace

extern "C" {

ssize_t SITKO_HOOK(read)(int fd, void *buf, size_t n)
{
	if (fd == STDIN_FILENO)
		probe("read");
	return realread(fd, buf, n);
}

ssize_t SITKO_HOOK(write)(int fd, const void *buf, size_t n)
{
	if (fd == STDOUT_FILENO)
		probe("write");
	return realwrite(fd, buf, n);
}

#if !defined(__USE_FILE_OFFSET64)
ssize_t SITKO_HOOK(pread)(int fd, void *buf, size_t n, off_t at)
{
	if (fd == STDIN_FILENO)
		probe("read");
	return realpread(fd, buf, n, at);
}
#endif

ssize_t SITKO_HOOK(pread64)(int fd, void *buf, size_t n, off64_t at)
{
	if (fd == STDIN_FILENO)
		probe("read");
	return realpread64(fd, buf, n, at);
}
}
