// SPDX-License-Identifier: MIT
#include "count.hpp"

#include <cstring>

#include "classes.hpp"
#include "getword.hpp"

namespace sitko {

static_assert(LIMIT == WORD_CAPACITY - 1);

void countreader(reader &in, wordscan &scan, vocabulary &v)
{
	wordref batch[BATCH];
	while (std::size_t n = takewords(in, scan, letterwords, LIMIT, batch))
		countwords(v, std::span(batch, n));
}

tnode *countinput(reader &in, tnode *root)
{
	if (root == nullptr)
		root = newvocabulary();
	wordscan scan = {};
	countreader(in, scan, *root);
	return root;
}

tnode *addtree(tnode *root, const char *word)
{
	if (root == nullptr)
		root = newvocabulary();
	unsigned char padded[WORD_LIMIT + WORD_SLACK] = {};
	std::size_t len = strnlen(word, WORD_LIMIT);
	memcpy(padded, word, len);
	const wordref w = {padded, len};
	countwords(*root, std::span(&w, 1));
	return root;
}

} // namespace sitko
