// SPDX-License-Identifier: MIT
// addtree and treeprint: the words of the input and their counts.
#ifndef SITKO_TREE_HPP
#define SITKO_TREE_HPP

#include <span>

#include "takewords.hpp"

namespace sitko {

// The root stands for all the words counted so far; null before the first.
struct tnode;

// Counts one occurrence of word (at most WORD_LIMIT bytes), copying it when
// it is new, and returns the root to use from then on.
tnode *addtree(tnode *root, const char *word);

// Counts each of words as addtree() would, in turn; they are not empty and
// have the readable bytes after them that takewords() promises.
tnode *addwords(tnode *root, std::span<const wordref> words);

// Writes every word once, in ascending byte order, as "%4lld %s\n" with its
// count, and lets go of them all: the next word begins a new root.  A null
// root writes nothing.
void treeprint(tnode *root);

// For counting parts of the input in other processes: sendwords() writes
// every word of root with its count to fd, in byte order, and a mark of the
// end, and lets go of them; false if a write failed.  treeprint(root, fd)
// is treeprint(root) with the words so written, read from fd, counted in:
// a word in both is written once, with its counts added.  It writes
// nothing, and returns false, if the stream broke off before the mark.
bool sendwords(tnode *root, int fd);
bool treeprint(tnode *root, int fd);

} // namespace sitko

#endif
