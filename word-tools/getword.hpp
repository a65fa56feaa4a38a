// SPDX-License-Identifier: MIT
// getword: the next word or other character of standard input.
#ifndef SITKO_GETWORD_HPP
#define SITKO_GETWORD_HPP

namespace sitko {

inline constexpr int WORD_CAPACITY = 100;

// Skips white space, then stores in word either a word (a letter followed by
// letters and digits, at most lim - 1 bytes) or one other character, and
// returns the word's first letter, the character (0 to 255), or EOF.
int getword(char *word, int lim);

} // namespace sitko

#endif
