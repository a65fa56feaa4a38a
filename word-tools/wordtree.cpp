// SPDX-License-Identifier: MIT
// wordtree: count the words of standard input and write them in byte order.
#include <cstdio>

#include "classes.hpp"
#include "finish.hpp"
#include "getword.hpp"
#include "letters.hpp"
#include "tree.hpp"

int main()
{
	using namespace sitko;

	char word[WORD_CAPACITY];
	tnode *root = nullptr;

	// Only words reach the tree, so what lies between them is passed over
	// without a getword() call for each character.
	while (skiptoletter(), getword(word, WORD_CAPACITY) != EOF)
		if (isalphachar(static_cast<unsigned char>(word[0])))
			root = addtree(root, word);
	treeprint(root);
	return finish(0);
}
