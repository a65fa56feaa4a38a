// SPDX-License-Identifier: MIT
// Where the next newline lies in what the reader shows.  Looking for each
// newline on its own costs more than everything else a line filter does, so
// all of a block's newlines are found at once, when it is first asked about,
// and kept until the reader moves on to another block.
#ifndef SITKO_NEWLINES_HPP
#define SITKO_NEWLINES_HPP

#include <cstddef>
#include <cstdint>

#include "input.hpp"

namespace sitko {

struct newlines {
	unsigned long block; // the reader's block described, by its id
	const unsigned char *start;
	std::size_t n, next;
	std::uint32_t at[INPUT_CAPACITY];
};

// The offset, in what peekblock(in) shows, of the next newline; the size of
// that block when there is none in it.
std::size_t findnewline(reader &in, newlines &index);

// Passes over the lines, and what is left of a line, that lie whole in what
// peekblock(in) shows, one after another from where it stands, as long as
// each is at most most bytes, its newline included.
void skiplines(reader &in, newlines &index, std::size_t most);

} // namespace sitko

#endif
