// SPDX-License-Identifier: MIT
// Counting the words of a reader's input: the plain pass, and the loop each
// part of the input runs on its own thread.
#ifndef SITKO_COUNT_HPP
#define SITKO_COUNT_HPP

#include <atomic>

#include "input.hpp"
#include "tree.hpp"
#include "vocabulary.hpp"

namespace sitko {

// The longest word: the rest of a longer one comes back as further words.
inline constexpr std::size_t LIMIT = 99;

// Counts the words of in through c into v, until its input ends, or, where
// there is a stop and it is set, sooner.  Once memory has run out, the rest
// of the input is still read, as the plain pass reads it all.
void countreader(reader &in, counter &c, vocabulary &v, const std::atomic<bool> *stop);

// The words of in, as far as it goes, counted into root: the plain pass.
tnode *countinput(reader &in, tnode *root);

} // namespace sitko

#endif
