// SPDX-License-Identifier: MIT
// addtree and treeprint: the words of the input and their counts.
#ifndef SITKO_TREE_HPP
#define SITKO_TREE_HPP

#include <cstddef>
#include <span>

#include "takewords.hpp"

namespace sitko {

// The root stands for all the words counted so far, null before the first:
// a vocabulary (vocabulary.hpp), which the driver only holds and passes on.
struct vocabulary;
using tnode = vocabulary;

// Counts one occurrence of word (at most WORD_LIMIT bytes), copying it when
// it is new, and returns the root to use from then on.  Where memory runs
// out, the root remembers it and counts nothing more.
tnode *addtree(tnode *root, const char *word);

// Writes every word once, in ascending byte order, as "%4lld %s\n" with its
// count, and lets go of them all: the next word begins a new root.  A null
// root writes nothing.  Where memory ran out, nothing is written, and the
// result is false.  The words are put in order, and their lines made, on up
// to threads threads; they are written on this one.
bool treeprint(tnode *root);
bool treeprint(tnode *root, std::size_t threads);

// The line treeprint() writes for a word's record (layout.hpp), made in
// line, which has room for 22 + WORD_LIMIT bytes; its length.
std::size_t formatline(char *line, const unsigned char *record);

} // namespace sitko

#endif
