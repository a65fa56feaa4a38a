// Keyword counts with skipquiet() against getword() alone: passing over
// quiet stretches must never change what is counted.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "getch.hpp"
#include "getword.hpp"
#include "quiet.hpp"

namespace {

const char *const keywords[] = {"auto",  "break",   "case",     "char", "const",   "continue",
                                "default", "unsigned", "void", "volatile", "while"};
constexpr std::size_t KEYWORDS = sizeof keywords / sizeof *keywords;

void count(const std::uint8_t *data, std::size_t size, bool skipping, long *counts)
{
	sitko::prefixset keys = {{}, 0};
	for (const char *k : keywords)
		memcpy(keys.prefix[keys.n++].data(), k, 4);
	sitko::setinput(data, size);
	sitko::pushedback = sitko::NOTHING_PUSHED;
	char word[sitko::WORD_CAPACITY];
	for (;;) {
		if (skipping)
			sitko::skipquiet(keys);
		if (sitko::getword(word, sitko::WORD_CAPACITY) == EOF)
			break;
		for (std::size_t k = 0; k < KEYWORDS; k++)
			if (strcmp(word, keywords[k]) == 0)
				counts[k]++;
	}
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
	long plain[KEYWORDS] = {}, skipped[KEYWORDS] = {};
	count(data, size, false, plain);
	count(data, size, true, skipped);
	if (memcmp(plain, skipped, sizeof plain) != 0)
		abort();
	return 0;
}
