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

// Passes over input up to the next byte marked in stop, refilling the
// buffer as needed, or to the end of input.
void skipuntil(const std::array<bool, 256> &stop);

} // namespace sitko

#endif
