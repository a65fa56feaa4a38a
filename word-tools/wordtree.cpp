// SPDX-License-Identifier: MIT
// wordtree: count the words of standard input and write them in byte order.
#include <span>

#include "blocks.hpp"
#include "classes.hpp"
#include "finish.hpp"
#include "getword.hpp"
#include "tree.hpp"

int main()
{
	using namespace sitko;

	tnode *root = nullptr;
	wordref batch[256];

	// Only words reach the tree, and getword() would hand them out with
	// every other character between them, one call each; takewords()
	// finds the same words a buffer at a time and passes over the rest.
	while (std::size_t n = takewords(letterwords, WORD_CAPACITY - 1, batch))
		root = addwords(root, std::span(batch, n));
	treeprint(root);
	return finish(0);
}
