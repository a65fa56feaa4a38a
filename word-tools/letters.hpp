// SPDX-License-Identifier: MIT
// skiptoletter: passes over input that holds no word.
#ifndef SITKO_LETTERS_HPP
#define SITKO_LETTERS_HPP

namespace sitko {

// Moves the input on to the next letter.  Between two tokens, the next word
// getword() returns begins at the next letter: the white space, digits and
// other bytes before it come back from getword() as nothing or as one
// character each, which is no word.  Does nothing while a character is
// pushed back, so a call between two getword() calls never changes which
// words come back.
void skiptoletter();

} // namespace sitko

#endif
