// SPDX-License-Identifier: MIT
// Words for the hostile-input benchmark, one a line, all of seven letters.
//   collide crafted N    N words whose index hash under the fixed key 0
//                        agrees in its low 17 bits: with a fixed key they
//                        would all probe the same run of slots
//   collide ordinary N   N words taken in order, as they come
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "../word-tools/wordtree/wordhash.hpp"

int main(int argc, char **argv)
{
	if (argc != 3)
		return 2;
	bool crafted = strcmp(argv[1], "crafted") == 0;
	long want = atol(argv[2]);
	const sitko::hashkey fixed = {0, 0};
	const std::uint64_t LOW17 = (1u << 17) - 1;
	// Room after the word, which the hash reads.
	unsigned char word[7 + 16] = "aaaaaaa";
	std::uint64_t target = sitko::wordhash(word, 7, fixed) & LOW17;
	for (long found = 0; found < want;) {
		if (!crafted || (sitko::wordhash(word, 7, fixed) & LOW17) == target) {
			puts(reinterpret_cast<const char *>(word));
			found++;
		}
		// The next word in the order of an odometer, last letter fastest.
		int i = 6;
		while (i >= 0 && word[i] == 'z')
			word[i--] = 'a';
		if (i < 0)
			return 1;
		word[i]++;
	}
	return fflush(stdout) == 0 ? 0 : 1;
}
