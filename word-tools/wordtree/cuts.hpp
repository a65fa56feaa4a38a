// SPDX-License-Identifier: MIT
// Where the input may be cut into parts counted apart.
//
// Counting can begin afresh just past any byte that no word holds, as if the
// input began there.  In a run of word bytes with none, it can also begin
// afresh after a digit before any letter, which begins no word, and after a
// word cut by the limit, whose rest comes back as new words: both leave the
// scanner as it is at the start of input.
#ifndef SITKO_CUTS_HPP
#define SITKO_CUTS_HPP

#include <cstddef>

#include "classes.hpp"

namespace sitko {

// Whether a word can hold c.
inline bool inword(unsigned char c)
{
	return letterwords.rest.member[c];
}

// The last place in block, which begins afresh, where counting may begin
// afresh too, for words of at most limit bytes.
std::size_t cutpoint(const unsigned char *block, std::size_t n, std::size_t limit);

} // namespace sitko

#endif
