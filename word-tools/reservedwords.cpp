// SPDX-License-Identifier: MIT
// reservedwords: count eleven keywords among the words of standard input.
//
// Writes "%4d %s" for every keyword seen at least once, in table order, with
// nothing between the entries and no newline after the last.
#include <cstdio>
#include <cstring>

#include "classes.hpp"
#include "confine.hpp"
#include "finish.hpp"
#include "getch.hpp"
#include "getword.hpp"
#include "output.hpp"
#include "programs.hpp"
#include "quiet.hpp"

namespace sitko {

namespace {

struct key {
	const char *word;
	long long count;
};

constexpr int KEYWORD_COUNT = 11;

// binsearch needs the table in ascending strcmp order; skipquiet() needs
// every keyword to be at least four bytes long.
key keytab[KEYWORD_COUNT] = {
	{"auto", 0},  {"break", 0},    {"case", 0},    {"char", 0},
	{"const", 0}, {"continue", 0}, {"default", 0}, {"unsigned", 0},
	{"void", 0},  {"volatile", 0}, {"while", 0},
};

// The order of strcmp, bytes compared as unsigned, inline: a call per probe
// would cost more than the comparison itself.
int compare(const char *s, const char *t)
{
	for (; *s == *t; s++, t++)
		if (*s == '\0')
			return 0;
	return static_cast<unsigned char>(*s) - static_cast<unsigned char>(*t);
}

key *binsearch(const char *word, key *tab, int n)
{
	key *low = tab;
	key *high = tab + n;

	while (low < high) {
		key *mid = low + (high - low) / 2;
		int cond = compare(word, mid->word);
		if (cond < 0)
			high = mid;
		else if (cond > 0)
			low = mid + 1;
		else
			return mid;
	}
	return nullptr;
}

} // namespace

int reservedwords(reader &in)
{
	char word[WORD_CAPACITY];
	key *p;

	// Most words begin with a letter that begins no keyword; turning those
	// away before the search saves its hard-to-predict branches.  Most
	// stretches of text hold no keyword at all, and skipquiet() passes over
	// them without splitting them into words.
	bool initial[256] = {};
	prefixset keys = {};
	for (key &k : keytab) {
		k.count = 0;
		initial[static_cast<unsigned char>(k.word[0])] = true;
		addprefix(keys, k.word);
	}

	getchfrom(in);
	while (skipquiet(keys), getword(word, WORD_CAPACITY) != EOF)
		if (isalphachar(static_cast<unsigned char>(word[0])))
			if (initial[static_cast<unsigned char>(word[0])])
				if ((p = binsearch(word, keytab, KEYWORD_COUNT)) != nullptr)
					p->count++;
	for (const key &k : keytab)
		if (k.count > 0)
			print("%4lld %s", k.count, k.word);
	return 0;
}

} // namespace sitko

#if !defined(SITKO_NO_MAIN)
int main()
{
	sitko::reader &in = sitko::standardinput();
	sitko::confine(sitko::family::reads);
	return sitko::finish(sitko::reservedwords(in), in);
}
#endif
