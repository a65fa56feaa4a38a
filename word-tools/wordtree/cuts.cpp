// SPDX-License-Identifier: MIT
#include "cuts.hpp"

namespace sitko {

namespace {

// In a run of word bytes that begins afresh, the last place where counting
// could begin afresh too.
std::size_t runcut(const unsigned char *run, std::size_t n, std::size_t limit)
{
	std::size_t p = 0, cut = 0;
	while (p < n) {
		if (!letterwords.first.member[run[p]])
			cut = ++p;
		else if (n - p >= limit)
			cut = p += limit;
		else
			break;
	}
	return cut;
}

} // namespace

std::size_t cutpoint(const unsigned char *block, std::size_t n, std::size_t limit)
{
	std::size_t run = n;
	while (run > 0 && inword(block[run - 1]))
		run--;
	return run + runcut(block + run, n - run, limit);
}

} // namespace sitko
