// SPDX-License-Identifier: MIT
#include "count.hpp"

#include <cstring>

#include "classes.hpp"
#include "getword.hpp"

namespace sitko {

namespace {

static_assert(LIMIT == WORD_CAPACITY - 1);

constexpr std::size_t BATCH = 256;

} // namespace

void countreader(reader &in, counter &c, vocabulary &v, const std::atomic<bool> *stop)
{
	wordscan scan = {};
	wordref batch[BATCH];
	while (std::size_t n = takewords(in, scan, letterwords, LIMIT, batch)) {
		countbatch(c, v, std::span(batch, n));
		if (stop != nullptr && stop->load(std::memory_order_relaxed))
			break;
	}
}

tnode *countinput(reader &in, tnode *root)
{
	if (root == nullptr)
		root = newvocabulary();
	countreader(in, root->own, *root, nullptr);
	return root;
}

tnode *addwords(tnode *root, std::span<const wordref> words)
{
	if (root == nullptr)
		root = newvocabulary();
	countbatch(root->own, *root, words);
	return root;
}

tnode *addtree(tnode *root, const char *word)
{
	if (root == nullptr)
		root = newvocabulary();
	unsigned char padded[WORD_LIMIT + WORD_SLACK] = {};
	std::size_t len = strnlen(word, WORD_LIMIT);
	memcpy(padded, word, len);
	countone(root->own, *root, padded, len);
	return root;
}

} // namespace sitko
