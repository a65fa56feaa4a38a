// SPDX-License-Identifier: MIT
// Counting the words of a reader's input on this thread alone: the plain
// pass, and what is left to count where threads stop for want of memory.
#ifndef SITKO_COUNT_HPP
#define SITKO_COUNT_HPP

#include "input.hpp"
#include "takewords.hpp"
#include "tree.hpp"
#include "vocabulary.hpp"

namespace sitko {

// The longest word: the rest of a longer one comes back as further words.
inline constexpr std::size_t LIMIT = 99;
// The words taken from a reader at a time.
inline constexpr std::size_t BATCH = 256;

// Counts the words of in into v, each into its partition's table, until
// its input ends; scan is in's, zeroed before its first words.  Once memory
// has run out, the rest of the input is still read, as one pass reads it.
void countreader(reader &in, wordscan &scan, vocabulary &v);

// The words of in, as far as it goes, counted into root: the plain pass.
tnode *countinput(reader &in, tnode *root);

} // namespace sitko

#endif
