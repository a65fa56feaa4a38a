// SPDX-License-Identifier: MIT
// Tables of system calls, each with what the kernel does with it, turned
// while compiling into the classic BPF program that seccomp runs at every
// call a process makes.  The program checks the architecture first, as a
// call made through another architecture's table (the 32-bit calls of
// x86-64, or its x32 calls) has other numbers; then it looks the number up
// by halves and checks the call's arguments.  What the tables allow, and
// why, is confine.cpp's; this file only compiles them.
#ifndef SITKO_CALLFILTER_HPP
#define SITKO_CALLFILTER_HPP

#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <linux/filter.h>
#include <linux/seccomp.h>
#include <span>
#include <sys/syscall.h>

namespace sitko::callfilter {

constexpr std::uint32_t ALLOW = SECCOMP_RET_ALLOW;
constexpr std::uint32_t KILL = SECCOMP_RET_KILL_PROCESS;

// The call does not happen, and returns -1 with errno set to error.
constexpr std::uint32_t fails(int error)
{
	return SECCOMP_RET_ERRNO | (static_cast<std::uint32_t>(error) & SECCOMP_RET_DATA);
}

enum class test : unsigned char {
	none,
	oneof,  // the argument is one of values
	nobits, // the argument has none of the bits in values[0]
	flags,  // the argument has all the bits in values[0], and none outside values[1]
};

// A check of one argument, on its low 32 bits, and what happens when it
// fails.
struct check {
	test how;
	unsigned char arg;
	unsigned char nvalues;
	std::array<std::uint32_t, 3> values;
	std::uint32_t otherwise;

	friend constexpr bool operator==(const check &, const check &) = default;
};

constexpr check nocheck = {test::none, 0, 0, {}, 0};

// What happens to a call: its checks, and where they pass, the action.
struct rule {
	std::uint32_t action;
	check first, second;

	friend constexpr bool operator==(const rule &, const rule &) = default;
};

struct call {
	long nr;
	rule what;
};

// What happens to calls the tables do not name.
struct defaults {
	std::uint32_t arch;      // the audit architecture of the process's own calls
	std::uint32_t elsewhere; // a call through another architecture's table
	std::uint32_t unlisted;  // a call of this architecture's table not listed
};

// Where the kernel's record of a call holds the number, the architecture,
// and the low half of argument i.
constexpr std::uint32_t NR = offsetof(seccomp_data, nr);
constexpr std::uint32_t AT_ARCH = offsetof(seccomp_data, arch);
constexpr std::uint32_t AT_IP = offsetof(seccomp_data, instruction_pointer);

constexpr std::uint32_t argument(unsigned i)
{
	auto at = static_cast<std::uint32_t>(offsetof(seccomp_data, args) + 8 * i);
	return std::endian::native == std::endian::big ? at + 4 : at;
}

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
	case test::flags:
		add(c, IFSET, ~k.values[1], 0, 1);
		add(c, RETURN, k.otherwise);
		add(c, AND, k.values[0]);
		add(c, IFEQ, k.values[0], 1, 0);
		add(c, RETURN, k.otherwise);
		break;
	case test::none:
		break;
	}
}

// A family's calls in order of their numbers, and for each the first call
// whose rule is the same, whose checks it shares.
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
		while (cs.all[j].what != cs.all[i].what)
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
constexpr void lookup(code<N> &c, const calls &cs, pending &tests, std::size_t from, std::size_t to,
		      std::uint32_t unlisted)
{
	if (to - from <= LEAF_CALLS) {
		for (std::size_t k = from; k < to; k++) {
			tests[k] = c.n;
			add(c, IFEQ, static_cast<std::uint32_t>(cs.all[k].nr));
		}
		add(c, RETURN, unlisted);
		return;
	}
	std::size_t half = from + (to - from) / 2, at = c.n;
	add(c, IFGE, static_cast<std::uint32_t>(cs.all[half].nr));
	lookup(c, cs, tests, from, half, unlisted);
	jumpto(c, at, c.n);
	lookup(c, cs, tests, half, to, unlisted);
}

template <std::size_t N>
constexpr code<N> compile(std::span<const std::span<const call>> tables, const defaults &d)
{
	code<N> c{};
	// Reading the instruction pointer, which no check needs, keeps the
	// kernel from working out, as it takes the filter, which calls it may
	// let through without running it.  That would be some 12 us of the 40
	// the filter adds to a process's life (measured on x86-64), over 1%
	// of a run on a tiny input; running the filter at a call costs
	// nanoseconds.
	add(c, LOAD, AT_IP);
	add(c, LOAD, AT_ARCH);
	add(c, IFEQ, d.arch, 1, 0);
	add(c, RETURN, d.elsewhere);
	add(c, LOAD, NR);
	calls cs = gather(tables);
	c.broken = c.broken || cs.broken || cs.n == 0;
#if defined(__x86_64__)
	// An x32 call is its number with __X32_SYSCALL_BIT set.
	add(c, IFGE, __X32_SYSCALL_BIT, 0, 1);
	add(c, RETURN, d.elsewhere);
	c.broken = c.broken || (cs.n > 0 && cs.all[cs.n - 1].nr >= __X32_SYSCALL_BIT);
#endif
	pending tests{};
	lookup(c, cs, tests, 0, cs.n, d.unlisted);
	std::array<std::size_t, CALL_CAPACITY> placed{};
	for (std::size_t k = 0; k < cs.n; k++) {
		if (cs.checks[k] == k) {
			placed[k] = c.n;
			emit(c, cs.all[k].what.first);
			emit(c, cs.all[k].what.second);
			add(c, RETURN, cs.all[k].what.action);
		}
		jumpto(c, tests[k], placed[cs.checks[k]]);
	}
	return c;
}

} // namespace sitko::callfilter

#endif
