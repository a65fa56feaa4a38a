// reservedwords: count eleven keywords among the words of standard input.
//
// Writes "%4d %s" for every keyword seen at least once, in table order, with
// nothing between the entries and no newline after the last.
#include <cctype>
#include <cstdio>
#include <cstring>

#include "finish.hpp"
#include "getword.hpp"

namespace sitko {

namespace {

struct key {
	const char *word;
	long long count;
};

constexpr int KEYWORD_COUNT = 11;

// binsearch needs the table in ascending strcmp order.
key keytab[KEYWORD_COUNT] = {
	{"auto", 0},     {"break", 0},   {"case", 0},     {"char", 0},
	{"const", 0},    {"continue", 0}, {"default", 0}, {"unsigned", 0},
	{"void", 0},     {"volatile", 0}, {"while", 0},
};

key *binsearch(const char *word, key *tab, int n)
{
	key *low = tab;
	key *high = tab + n;

	while (low < high) {
		key *mid = low + (high - low) / 2;
		int cond = strcmp(word, mid->word);
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

} // namespace sitko

int main()
{
	using namespace sitko;

	char word[WORD_CAPACITY];
	key *p;

	while (getword(word, WORD_CAPACITY) != EOF)
		if (isalpha(static_cast<unsigned char>(word[0])))
			if ((p = binsearch(word, keytab, KEYWORD_COUNT)) != nullptr)
				p->count++;
	for (const key &k : keytab)
		if (k.count > 0)
			printf("%4lld %s", k.count, k.word);
	return finish(0);
}
