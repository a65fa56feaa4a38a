// SPDX-License-Identifier: MIT
#include "letters.hpp"

#include "blocks.hpp"
#include "classes.hpp"
#include "getch.hpp"

namespace sitko {

namespace {

// Built once, when compiled: skiptoletter() runs before every word.
constexpr std::array<bool, 256> letters = bytesin(ALPHA);

} // namespace

void skiptoletter()
{
	if (pushedback == NOTHING_PUSHED)
		skipuntil(letters);
}

} // namespace sitko
