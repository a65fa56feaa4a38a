// SPDX-License-Identifier: MIT
#include "scan.hpp"

#include <atomic>
#include <cstring>

#include "input.hpp"

namespace sitko {

namespace scalar {

void tally(bytes block, const tallyset &set, long long *counts)
{
	// One table lookup per byte instead of set.n compares.
	long long seen[256] = {};
	for (unsigned char c : block)
		seen[c]++;
	for (std::size_t k = 0; k < set.n; k++)
		counts[k] += seen[set.value[k]];
}

void countwords(bytes block, wordcounts &wc)
{
	for (unsigned char c : block) {
		if (c == '\n')
			wc.lines++;
		if (c == ' ' || c == '\n' || c == '\t') {
			wc.inword = false;
		} else if (!wc.inword) {
			wc.inword = true;
			wc.words++;
		}
	}
}

std::size_t findall(bytes block, unsigned char c, std::uint32_t *at)
{
	std::size_t n = 0;
	for (std::size_t i = 0; i < block.size(); i++)
		if (block[i] == c)
			at[n++] = static_cast<std::uint32_t>(i);
	return n;
}

std::size_t findprefix(bytes block, const prefixset &set)
{
	if (block.size() < 4)
		return 0;
	std::size_t last = block.size() - 3;
	for (std::size_t i = 0; i < last; i++)
		for (std::size_t k = 0; k < set.n; k++)
			if (memcmp(block.data() + i, set.prefix[k].data(), 4) == 0)
				return i;
	return last;
}

void classify(bytes block, const wordclasses &classes, std::uint64_t *first, std::uint64_t *rest)
{
	std::size_t words = (block.size() + 63) / 64;
	for (std::size_t w = 0; w < words; w++)
		first[w] = rest[w] = 0;
	for (std::size_t i = 0; i < block.size(); i++) {
		std::uint64_t bit = std::uint64_t{1} << (i % 64);
		if (classes.first.member[block[i]])
			first[i / 64] |= bit;
		if (classes.rest.member[block[i]])
			rest[i / 64] |= bit;
	}
}

} // namespace scalar

long long tallyinput(reader &in, const tallyset &set, long long *counts)
{
	long long total = 0;
	for (auto block = getblock(in); !block.empty(); block = getblock(in)) {
		tally(block, set, counts);
		total += static_cast<long long>(block.size());
	}
	return total;
}

#if defined(__x86_64__)

namespace {

// Asked once, on first use: the processor's answer is slow to get under a
// hypervisor, and a guarded local would bring in the C++ runtime, whose
// loading costs more than a small input.  Any caller may ask first.
std::atomic<signed char> avx2here{-1};

bool hasavx2()
{
	signed char known = avx2here.load(std::memory_order_relaxed);
	if (known < 0) {
		known = __builtin_cpu_supports("avx2") && __builtin_cpu_supports("popcnt");
		avx2here.store(known, std::memory_order_relaxed);
	}
	return known != 0;
}

} // namespace

void tally(bytes block, const tallyset &set, long long *counts)
{
	if (hasavx2())
		avx2::tally(block, set, counts);
	else
		scalar::tally(block, set, counts);
}

void countwords(bytes block, wordcounts &wc)
{
	if (hasavx2())
		avx2::countwords(block, wc);
	else
		scalar::countwords(block, wc);
}

std::size_t findall(bytes block, unsigned char c, std::uint32_t *at)
{
	return hasavx2() ? avx2::findall(block, c, at) : scalar::findall(block, c, at);
}

std::size_t findprefix(bytes block, const prefixset &set)
{
	return hasavx2() ? avx2::findprefix(block, set) : scalar::findprefix(block, set);
}

void classify(bytes block, const wordclasses &classes, std::uint64_t *first, std::uint64_t *rest)
{
	if (hasavx2() && classes.first.nibbles && classes.rest.nibbles)
		avx2::classify(block, classes, first, rest);
	else
		scalar::classify(block, classes, first, rest);
}

bool avx2::usable()
{
	return hasavx2();
}

#else

void tally(bytes block, const tallyset &set, long long *counts)
{
	scalar::tally(block, set, counts);
}

void countwords(bytes block, wordcounts &wc)
{
	scalar::countwords(block, wc);
}

std::size_t findall(bytes block, unsigned char c, std::uint32_t *at)
{
	return scalar::findall(block, c, at);
}

std::size_t findprefix(bytes block, const prefixset &set)
{
	return scalar::findprefix(block, set);
}

void classify(bytes block, const wordclasses &classes, std::uint64_t *first, std::uint64_t *rest)
{
	scalar::classify(block, classes, first, rest);
}

#endif

} // namespace sitko
