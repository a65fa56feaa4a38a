#include "scan.hpp"

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

} // namespace scalar

#if defined(__x86_64__)

namespace {

bool hasavx2()
{
	static const bool has = __builtin_cpu_supports("avx2") && __builtin_cpu_supports("popcnt");
	return has;
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

#endif

} // namespace sitko
