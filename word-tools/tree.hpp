// SPDX-License-Identifier: MIT
// addtree and treeprint: the words of the input and their counts.
#ifndef SITKO_TREE_HPP
#define SITKO_TREE_HPP

#include <cstddef>
#include <span>

#include "takewords.hpp"

namespace sitko {

// The root stands for all the words counted so far; null before the first.
struct tnode;

// Counts one occurrence of word (at most WORD_LIMIT bytes), copying it when
// it is new, and returns the root to use from then on.  Where memory runs
// out, the root remembers it and counts nothing more.
tnode *addtree(tnode *root, const char *word);

// Counts each of words as addtree() would, in turn; they are not empty and
// have the readable bytes after them that takewords() promises.
tnode *addwords(tnode *root, std::span<const wordref> words);

// Puts the words of root in byte order, as treeprint() will, so that each
// part of the input counted on a thread of its own is also sorted there.
void sorttree(tnode *root);

// The most roots one report merges.
inline constexpr std::size_t MAX_ROOTS = 65;

// Writes every word once, in ascending byte order, as "%4lld %s\n" with its
// count, and lets go of them all: the next word begins a new root.  A null
// root writes nothing.  Given several roots, a word in more than one is
// written once with its counts added.  Where memory ran out for any root,
// nothing is written, and the result is false.
bool treeprint(tnode *root);
bool treeprint(std::span<tnode *const> roots);

} // namespace sitko

#endif
