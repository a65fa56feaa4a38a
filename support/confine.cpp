// SPDX-License-Identifier: MIT
// What each family of programs may ask of the kernel once main has begun:
// the tables below, each call with why it is there.  callfilter.hpp turns
// them, while compiling, into the seccomp filter the kernel runs at every
// call.
//
// What a call outside the tables gets is an error, never the end of the
// program.  A filter that kills at an unlisted call makes every library
// loaded into the program part of the rule: fakeroot's, which talks to its
// daemon, an allocator preloaded in place of malloc that looks under /sys
// when a thread first allocates, a tracer's or a loader's helpers.  Each of
// those makes calls of its own on the side and copes when one fails, and a
// kill there would cost the report and the status of a run that did
// nothing wrong.  A failed call costs a program taken over just as much as
// a kill: it still opens no file, socket or process, and changes no
// filter.  So:
// - a call not listed fails with ENOSYS, as on a kernel that lacks it:
//   that is the failure C libraries and the libraries around them are
//   written to meet, by falling back to an older call (which the filter
//   also judges) or doing without;
// - a call listed whose arguments fail its checks fails with EPERM: the
//   call exists, this use of it is not permitted (a write to another
//   descriptor, a process where a thread is allowed, executable memory);
// - opening a file fails with EPERM, as where it may not be read;
// - the kill is kept for a call through another architecture's table (the
//   32-bit or x32 calls of an x86-64 program), which no library of the
//   program's own makes: only code that did not come with it would.
//
// The call numbers are this architecture's own, from the target's
// <sys/syscall.h>; a name the architecture lacks is left out.
#include "confine.hpp"

// A sanitizer's runtime makes calls of its own, at a finding and at exit,
// that no table here lists; the build leaves the filter out of such builds
// (SITKO_CONFINE), and this catches flags it could not see.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define SITKO_SANITIZED
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer) ||                         \
	__has_feature(memory_sanitizer) || __has_feature(hwaddress_sanitizer)
#define SITKO_SANITIZED
#endif
#endif

#if defined(SITKO_CONFINE) && !defined(SITKO_SANITIZED) && defined(__linux__) &&                   \
	((defined(__x86_64__) && !defined(__ILP32__)) || defined(__i386__) ||                      \
	 (defined(__aarch64__) && defined(__AARCH64EL__)) || defined(__s390x__))

#include <cerrno>
#include <cstdint>
#include <fcntl.h>
#include <linux/audit.h>
#include <sched.h>
#include <span>
#include <sys/mman.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <unistd.h>

#include "callfilter.hpp"

namespace sitko {

namespace {

using namespace callfilter;

#if defined(__x86_64__)
constexpr std::uint32_t ARCH = AUDIT_ARCH_X86_64;
#elif defined(__i386__)
constexpr std::uint32_t ARCH = AUDIT_ARCH_I386;
#elif defined(__aarch64__)
constexpr std::uint32_t ARCH = AUDIT_ARCH_AARCH64;
#elif defined(__s390x__)
constexpr std::uint32_t ARCH = AUDIT_ARCH_S390X;
#endif

// s390x takes the stack before the flags.
#if defined(__s390x__)
constexpr unsigned char CLONE_FLAGS = 1;
#else
constexpr unsigned char CLONE_FLAGS = 0;
#endif

// A call outside the tables, and one that fails its checks (see above).
constexpr std::uint32_t UNLISTED = fails(ENOSYS);
constexpr std::uint32_t REFUSED = fails(EPERM);

// A new thread shares everything with its process: memory, descriptors,
// the file system's view, signal handlers.  These flags must all be there,
// and none but the allowed ones may be.
constexpr std::uint32_t THREAD_NEEDS =
	CLONE_VM | CLONE_FS | CLONE_FILES | CLONE_SIGHAND | CLONE_THREAD;
constexpr std::uint32_t THREAD_MAY = THREAD_NEEDS | CLONE_SYSVSEM | CLONE_SETTLS |
				     CLONE_PARENT_SETTID | CLONE_CHILD_CLEARTID | CLONE_DETACHED;

constexpr call allow(long nr)
{
	return {nr, {ALLOW, nocheck, nocheck}};
}

constexpr call refuse(long nr, int error)
{
	return {nr, {fails(error), nocheck, nocheck}};
}

constexpr check fdis(int fd)
{
	return {test::oneof, 0, 1, {static_cast<std::uint32_t>(fd)}, REFUSED};
}

// Allowed on the descriptor fd, the first argument, only.
constexpr call onfd(long nr, int fd)
{
	return {nr, {ALLOW, fdis(fd), nocheck}};
}

// Allowed on fd, for the commands given only (fcntl).
constexpr call onfd(long nr, int fd, std::uint32_t a, std::uint32_t b, std::uint32_t c)
{
	return {nr, {ALLOW, fdis(fd), {test::oneof, 1, 3, {a, b, c}, REFUSED}}};
}

// Memory may be made, but not executable.
constexpr call noexec(long nr, unsigned char prot)
{
	return {nr, {ALLOW, {test::nobits, prot, 1, {PROT_EXEC}, REFUSED}, nocheck}};
}

constexpr call thread(long nr)
{
	return {nr,
		{ALLOW,
		 {test::flags, CLONE_FLAGS, 0, {THREAD_NEEDS, THREAD_MAY}, REFUSED},
		 nocheck}};
}

// Every program: its report, its memory, and its way out.
constexpr call writecalls[] = {
	// The report, and only standard output.
	onfd(SYS_write, STDOUT_FILENO),
	// A non-blocking standard output that is full is waited for
	// (ready.cpp); glibc's poll() is ppoll where the architecture lacks
	// poll.
	allow(SYS_ppoll),
#if defined(SYS_poll)
	allow(SYS_poll),
#endif
#if defined(SYS_ppoll_time64)
	allow(SYS_ppoll_time64),
#endif
	// malloc and the large areas: the heap, mappings, giving pages back,
	// huge pages, guard pages of thread stacks, realloc of a mapping.
	allow(SYS_brk),
#if defined(__s390x__)
	// The arguments are in memory, out of the filter's sight.
	allow(SYS_mmap),
#elif defined(SYS_mmap2)
	noexec(SYS_mmap2, 2),
#else
	noexec(SYS_mmap, 2),
#endif
	allow(SYS_munmap),
	allow(SYS_mremap),
	allow(SYS_madvise),
	noexec(SYS_mprotect, 2),
	// glibc's malloc draws its tcache key at the first allocation, which
	// may come after main has begun.
	allow(SYS_getrandom),
	// finish() closes standard output, to hear what the file system could
	// not store.  Closing a descriptor gives nothing.
	allow(SYS_close),
	allow(SYS_exit_group),
	// The loader, asked by LD_DEBUG for a trace, writes a line at each
	// binding it makes late and at the way out, headed by the process ID;
	// its writev is not listed, so the line is lost, the report is not.
	allow(SYS_getpid),
	// A call that a stop and continue interrupted is resumed through
	// restart_syscall; a signal handler returns through sigreturn.
	allow(SYS_restart_syscall),
	allow(SYS_rt_sigreturn),
#if defined(SYS_sigreturn)
	allow(SYS_sigreturn),
#endif
	// Nothing is opened once main has begun; glibc's malloc may look up
	// the CPU count under /sys when threads need more arenas, a preloaded
	// allocator the memory nodes, and each copes with a refusal.
	refuse(SYS_openat, EPERM),
#if defined(SYS_open)
	refuse(SYS_open, EPERM),
#endif
#if defined(SYS_openat2)
	refuse(SYS_openat2, EPERM),
#endif
};

// The programs that read standard input.  What it is, a pipe or a regular
// file and its size, is asked before the filter goes on (standardinput()):
// under fakeroot that question goes to its daemon, through calls no
// program needs.
constexpr call readcalls[] = {
	// The input, and only standard input.
	onfd(SYS_read, STDIN_FILENO),
	// A range of a regular file, leaving its offset alone: charcount's
	// last page, and the part each of wordtree's threads counts.
	onfd(SYS_pread64, STDIN_FILENO),
	// Whether standard input may be read, and the pipe buffer grown
	// (input.cpp); nothing else of its state is touched.
	onfd(SYS_fcntl, STDIN_FILENO, F_GETFL, F_GETPIPE_SZ, F_SETPIPE_SZ),
#if defined(SYS_fcntl64)
	onfd(SYS_fcntl64, STDIN_FILENO, F_GETFL, F_GETPIPE_SZ, F_SETPIPE_SZ),
#endif
	// Where a regular file's offset stands, and leaving it where one pass
	// would have.
	onfd(SYS_lseek, STDIN_FILENO),
#if defined(SYS__llseek)
	onfd(SYS__llseek, STDIN_FILENO),
#endif
};

// wordtree: threads that count parts of the input.
constexpr call threadcalls[] = {
	// Locks, condition variables, and waiting for a thread to end.
	allow(SYS_futex),
#if defined(SYS_futex_time64)
	allow(SYS_futex_time64),
#endif
	// New threads, never a new process.  clone3 is not listed: its flags
	// are behind a pointer, out of the filter's sight, and glibc falls
	// back to clone, whose flags it sees, when clone3 fails with ENOSYS.
	thread(SYS_clone),
	// pthread_create blocks signals around clone, and the new thread
	// takes back the mask; the first one installs glibc's handler for the
	// signal that carries set*id calls to every thread.
	allow(SYS_rt_sigprocmask),
	allow(SYS_rt_sigaction),
	// A new thread registers its robust mutex list and its restartable
	// sequences area, and ends with exit.
	allow(SYS_set_robust_list),
#if defined(SYS_rseq)
	allow(SYS_rseq),
#endif
	allow(SYS_exit),
	// glibc's malloc bounds its arenas by the CPUs the process may use.
	allow(SYS_sched_getaffinity),
	// The hash key, where getrandom gives none, comes from the clock and
	// the process ID (randomkey.cpp).
	allow(SYS_clock_gettime),
#if defined(SYS_clock_gettime64)
	allow(SYS_clock_gettime64),
#endif
};

constexpr std::span<const call> writing[] = {writecalls};
constexpr std::span<const call> reading[] = {readcalls, writecalls};
constexpr std::span<const call> threading[] = {readcalls, threadcalls, writecalls};

constexpr defaults own = {ARCH, KILL, UNLISTED};
constexpr std::size_t FILTER_CAPACITY = 256;
constexpr auto writefilter = compile<FILTER_CAPACITY>(writing, own);
constexpr auto readfilter = compile<FILTER_CAPACITY>(reading, own);
constexpr auto threadfilter = compile<FILTER_CAPACITY>(threading, own);
static_assert(!writefilter.broken && !readfilter.broken && !threadfilter.broken);

void install(const code<FILTER_CAPACITY> &filter)
{
	// Without no_new_privs the kernel takes a filter only from a
	// privileged process.
	if (prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) != 0)
		return;
	sock_fprog program = {static_cast<unsigned short>(filter.n),
			      const_cast<sock_filter *>(filter.insns.data())};
	// seccomp(2), not prctl(2): valgrind refuses the call it does not
	// know, where it would pass the prctl on and have its own calls
	// filtered.  A refusal leaves the program as it was.
	syscall(SYS_seccomp, SECCOMP_SET_MODE_FILTER, 0, &program);
}

} // namespace

void confine(family f)
{
	switch (f) {
	case family::writes:
		install(writefilter);
		break;
	case family::reads:
		install(readfilter);
		break;
	case family::threads:
		install(threadfilter);
		break;
	}
}

bool confines()
{
	return true;
}

} // namespace sitko

#else

namespace sitko {

void confine(family)
{
}

bool confines()
{
	return false;
}

} // namespace sitko

#endif
