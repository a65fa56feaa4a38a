// SPDX-License-Identifier: MIT
// Scanning the buffered input for what a program looks for, a whole buffer
// at a time.  Each buffer is searched once, when first asked about; the
// results are kept here, beside the reader, and are dropped with the
// buffer they describe.  The programs ask and take input; they never look
// at the reader's state themselves.
#ifndef SITKO_BLOCKS_HPP
#define SITKO_BLOCKS_HPP

#include <array>
#include <cstddef>
#include <span>

#include "scan.hpp"

namespace sitko {

// The offset, in what peekblock() shows, of the next byte equal to c; the
// size of that block when there is none in it.
std::size_t findnext(unsigned char c);

// Passes over buffered input up to the first place where one of the
// prefixes begins, moved back over the bytes just before it that are marked
// in back; or up to as near the end of the buffer as can be told, moved back
// the same way.
void skiptoprefix(const prefixset &set, const std::array<bool, 256> &back);

// A word of input, where takewords() keeps it.
struct wordref {
	const unsigned char *text;
	std::size_t len;
};

// Every word handed out has at least this many bytes after it that may be
// read, whatever they hold, so it can be taken sixteen bytes at a time.
inline constexpr std::size_t WORD_SLACK = 16;

// The longest word takewords() can be asked for.
inline constexpr std::size_t WORD_LIMIT = 255;

// Words as a reader that skips everything else finds them: a byte of
// classes.first, then bytes of classes.rest, at most limit bytes; a word cut
// by the limit goes on as input from the next byte, so what follows it begins
// a word only if it is in classes.first.  Stores the next words in out, as
// many as fit, and returns how many; 0 only at end of input.  The words stay
// where they are until the next call.  limit is 1 to WORD_LIMIT, out is not
// empty, and while a word is cut by the end of a buffer nothing else may
// take input.
std::size_t takewords(const wordclasses &classes, std::size_t limit, std::span<wordref> out);

} // namespace sitko

#endif
