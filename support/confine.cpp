// SPDX-License-Identifier: MIT
// The filters are classic BPF programs, built while compiling from the
// tables below: the kernel runs the family's program at every call the
// process makes.  It checks the architecture first, as a call made through
// another architecture's table (the 32-bit calls of x86-64) has other
// numbers; then it looks the call up and checks its arguments.
//
// What is not in the tables ends the whole process with SIGSYS.  A few
// calls fail instead, where a library asks for them on a path that copes
// with a refusal, so that the refusal cannot cost a report: opening a file
// fails with EPERM, executable memory fails with EPERM, and clone3 fails
// with ENOSYS.
//
// The call numbers are this architecture's own, from the target's
// <sys/syscall.h>; a name the architecture lacks is left out.
#include "confine.hpp"

#if defined(SITKO_CONFINE) && defined(__linux__) &&                                                \
	((defined(__x86_64__) && !defined(__ILP32__)) || defined(__i386__) ||                      \
	 (defined(__aarch64__) && defined(__AARCH64EL__)) || defined(__s390x__))

#include <array>
#include <bit>
#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <fcntl.h>
#include <linux/audit.h>
#include <linux/filter.h>
#include <linux/seccomp.h>
#include <sched.h>
#include <span>
#include <sys/mman.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace sitko {

namespace {

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

constexpr std::uint32_t ALLOW = SECCOMP_RET_ALLOW;
constexpr std::uint32_t KILL = SECCOMP_RET_KILL_PROCESS;

constexpr std::uint32_t fails(int error)
{
	return SECCOMP_RET_ERRNO | (static_cast<std::uint32_t>(error) & SECCOMP_RET_DATA);
}

// A new thread shares everything with its process: memory, descriptors,
// the file system's view, signal handlers.  These flags must all be there,
// and none but the allowed ones may be.
constexpr std::uint32_t THREAD_NEEDS =
	CLONE_VM | CLONE_FS | CLONE_FILES | CLONE_SIGHAND | CLONE_THREAD;
constexpr std::uint32_t THREAD_MAY = THREAD_NEEDS | CLONE_SYSVSEM | CLONE_SETTLS |
				     CLONE_PARENT_SETTID | CLONE_CHILD_CLEARTID | CLONE_DETACHED;

enum class test : unsigned char {
	none,
	oneof,  // the argument is one of values
	nobits, // the argument has none of the bits in values[0]
	thread, // the argument is clone flags that make a thread
};

// A check of one argument, and what happens when it fails.
struct check {
	test how;
	unsigned char arg;
	unsigned char nvalues;
	std::array<std::uint32_t, 3> values;
	std::uint32_t otherwise;
};

struct call {
	long nr;
	std::uint32_t action; // where the checks pass
	check first, second;
};

constexpr check nocheck = {test::none, 0, 0, {}, KILL};

constexpr call allow(long nr)
{
	return {nr, ALLOW, nocheck, nocheck};
}

constexpr call refuse(long nr, int error)
{
	return {nr, fails(error), nocheck, nocheck};
}

// Allowed on the descriptor fd, the first argument, only.
constexpr call onfd(long nr, int fd)
{
	return {nr, ALLOW, {test::oneof, 0, 1, {static_cast<std::uint32_t>(fd)}, KILL}, nocheck};
}

// Allowed on fd, for the commands given only (fcntl).
constexpr call onfd(long nr, int fd, std::uint32_t a, std::uint32_t b, std::uint32_t c)
{
	return {nr, ALLOW, onfd(nr, fd).first, {test::oneof, 1, 3, {a, b, c}, KILL}};
}

// Memory may be made, but not executable: that fails, as where the system
// has no room.
constexpr call noexec(long nr, unsigned char prot)
{
	return {nr, ALLOW, {test::nobits, prot, 1, {PROT_EXEC}, fails(EPERM)}, nocheck};
}

constexpr call thread(long nr)
{
	return {nr, ALLOW, {test::thread, CLONE_FLAGS, 0, {}, KILL}, nocheck};
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
	// binding it makes late and at the way out, headed by the process ID,
	// and does not look at what its write came to: the line is lost, the
	// report is not.
	allow(SYS_getpid),
	refuse(SYS_writev, EPERM),
	// A call that a stop and continue interrupted is resumed through
	// restart_syscall; a signal handler returns through sigreturn.
	allow(SYS_restart_syscall),
	allow(SYS_rt_sigreturn),
#if defined(SYS_sigreturn)
	allow(SYS_sigreturn),
#endif
	// Nothing is opened once main has begun; glibc's malloc may look up
	// the CPU count under /sys when threads need more arenas, and copes
	// with a refusal.
	refuse(SYS_openat, EPERM),
#if defined(SYS_open)
	refuse(SYS_open, EPERM),
#endif
#if defined(SYS_openat2)
	refuse(SYS_openat2, EPERM),
#endif
#if defined(SYS_clone3)
	// Its flags are behind a pointer, out of the filter's sight: glibc
	// falls back to clone, whose flags the filter can check.
	refuse(SYS_clone3, ENOSYS),
#endif
};

// The programs that read standard input.
constexpr call readcalls[] = {
	// The input, and only standard input.
	onfd(SYS_read, STDIN_FILENO),
	// A range of a regular file, leaving its offset alone: charcount's
	// last page, and the part each of wordtree's threads counts.
	onfd(SYS_pread64, STDIN_FILENO),
	// What standard input is: a pipe, or a regular file and its size.
	// Some of these name a path too, which the filter cannot see: at worst
	// a path's kind and size, never its bytes.
	onfd(SYS_fstat, STDIN_FILENO),
#if defined(SYS_newfstatat)
	onfd(SYS_newfstatat, STDIN_FILENO),
#endif
#if defined(SYS_fstatat64)
	onfd(SYS_fstatat64, STDIN_FILENO),
#endif
#if defined(SYS_statx)
	onfd(SYS_statx, STDIN_FILENO),
#endif
#if defined(SYS_fstat64)
	onfd(SYS_fstat64, STDIN_FILENO),
#endif
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
	// New threads, never a new process.
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

// Where the kernel's record of a call holds the number, the architecture,
// and the low half of argument i (descriptors, commands, protections and
// clone flags are all read from that half).
constexpr std::uint32_t NR = offsetof(seccomp_data, nr);
constexpr std::uint32_t AT_ARCH = offsetof(seccomp_data, arch);

constexpr std::uint32_t argument(unsigned i)
{
	auto at = static_cast<std::uint32_t>(offsetof(seccomp_data, args) + 8 * i);
	return std::endian::native == std::endian::big ? at + 4 : at;
}

constexpr std::size_t FILTER_CAPACITY = 256;
constexpr std::size_t CALL_CAPACITY = 96;
constexpr std::size_t LEAF_CALLS = 4;

template <std::size_t N>
struct code {
	std::array<sock_filter, N> insns;
	std::size_t n;
	bool broken; // too long, a jump too far, or a call listed twice
};

// Appends an instruction; yes and no are how many to skip where a jump's
// test holds and where it does not.
template <std::size_t N>
constexpr void add(code<N> &c, std::uint16_t op, std::uint32_t k, std::uint8_t yes = 0,
		   std::uint8_t no = 0)
{
	if (c.n == N)
		c.broken = true;
	else
		c.insns[c.n++] = {op, yes, no, k};
}

constexpr std::uint16_t LOAD = BPF_LD | BPF_W | BPF_ABS;
constexpr std::uint16_t IFEQ = BPF_JMP | BPF_JEQ | BPF_K;
constexpr std::uint16_t IFGE = BPF_JMP | BPF_JGE | BPF_K;
constexpr std::uint16_t IFSET = BPF_JMP | BPF_JSET | BPF_K;
constexpr std::uint16_t AND = BPF_ALU | BPF_AND | BPF_K;
constexpr std::uint16_t RETURN = BPF_RET | BPF_K;

// Each check either falls through to the next or returns.
template <std::size_t N>
constexpr void emit(code<N> &c, const check &k)
{
	if (k.how == test::none)
		return;
	add(c, LOAD, argument(k.arg));
	switch (k.how) {
	case test::oneof:
		for (unsigned i = 0; i < k.nvalues; i++)
			add(c, IFEQ, k.values[i], static_cast<std::uint8_t>(k.nvalues - i));
		add(c, RETURN, k.otherwise);
		break;
	case test::nobits:
		add(c, IFSET, k.values[0], 0, 1);
		add(c, RETURN, k.otherwise);
		break;
	case test::thread:
		add(c, IFSET, ~THREAD_MAY, 0, 1);
		add(c, RETURN, k.otherwise);
		add(c, AND, THREAD_NEEDS);
		add(c, IFEQ, THREAD_NEEDS, 1, 0);
		add(c, RETURN, k.otherwise);
		break;
	case test::none:
		break;
	}
}

constexpr bool same(const check &a, const check &b)
{
	return a.how == b.how && a.arg == b.arg && a.nvalues == b.nvalues && a.values == b.values &&
	       a.otherwise == b.otherwise;
}

// Whether two calls are let through (or not) alike, whatever their numbers.
constexpr bool alike(const call &a, const call &b)
{
	return a.action == b.action && same(a.first, b.first) && same(a.second, b.second);
}

// A family's calls in order of their numbers, and for each the first call
// of the family that is let through alike, whose checks it shares.
struct calls {
	std::array<call, CALL_CAPACITY> all;
	std::array<std::size_t, CALL_CAPACITY> checks;
	std::size_t n;
	bool broken; // too many, or one listed twice
};

constexpr calls gather(std::span<const std::span<const call>> tables)
{
	calls cs{};
	for (auto table : tables)
		for (const call &k : table) {
			if (cs.n == CALL_CAPACITY) {
				cs.broken = true;
				return cs;
			}
			std::size_t i = cs.n++;
			for (; i > 0 && cs.all[i - 1].nr > k.nr; i--)
				cs.all[i] = cs.all[i - 1];
			cs.all[i] = k;
			cs.broken = cs.broken || (i > 0 && cs.all[i - 1].nr == k.nr);
		}
	for (std::size_t i = 0; i < cs.n; i++) {
		std::size_t j = 0;
		while (!alike(cs.all[j], cs.all[i]))
			j++;
		cs.checks[i] = j;
	}
	return cs;
}

// Where each call's test is, to be pointed at its checks once they are
// placed.
using pending = std::array<std::size_t, CALL_CAPACITY>;

// Points the jump at from to the instruction at to, where its test holds.
template <std::size_t N>
constexpr void jumpto(code<N> &c, std::size_t from, std::size_t to)
{
	if (from < c.n && to > from && to - from - 1 <= 255)
		c.insns[from].jt = static_cast<std::uint8_t>(to - from - 1);
	else
		c.broken = true;
}

// Looks the number up by halves down to a few calls, then in turn.  A
// call found jumps ahead to its checks, which end in a return, so the
// number stays loaded for the next test wherever a call is not the one
// tested.
template <std::size_t N>
constexpr void lookup(code<N> &c, const calls &cs, pending &tests, std::size_t from, std::size_t to)
{
	if (to - from <= LEAF_CALLS) {
		for (std::size_t k = from; k < to; k++) {
			tests[k] = c.n;
			add(c, IFEQ, static_cast<std::uint32_t>(cs.all[k].nr));
		}
		add(c, RETURN, KILL);
		return;
	}
	std::size_t half = from + (to - from) / 2, at = c.n;
	add(c, IFGE, static_cast<std::uint32_t>(cs.all[half].nr));
	lookup(c, cs, tests, from, half);
	jumpto(c, at, c.n);
	lookup(c, cs, tests, half, to);
}

template <std::size_t N>
constexpr code<N> compile(std::span<const std::span<const call>> tables)
{
	code<N> c{};
	// Reading the instruction pointer, which no check needs, keeps the
	// kernel from working out, as it takes the filter, which calls it may
	// let through without running it.  That would be some 12 us of the 40
	// the filter adds to a process's life (measured on x86-64), over 1%
	// of a run on a tiny input; running the filter at a call costs
	// nanoseconds.
	add(c, LOAD, static_cast<std::uint32_t>(offsetof(seccomp_data, instruction_pointer)));
	add(c, LOAD, AT_ARCH);
	add(c, IFEQ, ARCH, 1, 0);
	add(c, RETURN, KILL);
	add(c, LOAD, NR);
	calls cs = gather(tables);
	c.broken = c.broken || cs.broken;
#if defined(__x86_64__)
	// An x32 call is its number with __X32_SYSCALL_BIT set: it matches
	// nothing here, and is killed with every other call not listed.
	c.broken = c.broken || cs.all[cs.n - 1].nr >= __X32_SYSCALL_BIT;
#endif
	pending tests{};
	lookup(c, cs, tests, 0, cs.n);
	std::array<std::size_t, CALL_CAPACITY> placed{};
	for (std::size_t k = 0; k < cs.n; k++) {
		if (cs.checks[k] == k) {
			placed[k] = c.n;
			emit(c, cs.all[k].first);
			emit(c, cs.all[k].second);
			add(c, RETURN, cs.all[k].action);
		}
		jumpto(c, tests[k], placed[cs.checks[k]]);
	}
	return c;
}

constexpr auto writefilter = compile<FILTER_CAPACITY>(writing);
constexpr auto readfilter = compile<FILTER_CAPACITY>(reading);
constexpr auto threadfilter = compile<FILTER_CAPACITY>(threading);
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
