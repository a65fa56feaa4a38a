// SPDX-License-Identifier: MIT
// addtree and treeprint: a balanced tree of words and their counts.
#ifndef SITKO_TREE_HPP
#define SITKO_TREE_HPP

namespace sitko {

struct tnode;

// Counts one occurrence of word, copying it when it is new, and returns the
// root to use from then on; root is null for an empty tree.
tnode *addtree(tnode *root, const char *word);

// Writes every word once, in ascending byte order, as "%4d %s\n" with its
// count.  An empty tree writes nothing.
void treeprint(const tnode *root);

} // namespace sitko

#endif
