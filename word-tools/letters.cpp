// SPDX-License-Identifier: MIT
#include "letters.hpp"

#include "blocks.hpp"
#include "classes.hpp"
#include "getch.hpp"

namespace sitko {

namespace {

constexpr std::array<bool, 256> letters = [] {
	std::array<bool, 256> t{};
	for (int c = 0; c < 256; c++)
		t[static_cast<std::size_t>(c)] =
			(classes[static_cast<std::size_t>(c + 1)] & ALPHA) != 0;
	return t;
}();

} // namespace

void skiptoletter()
{
	if (pushedback == NOTHING_PUSHED)
		skipuntil(letters);
}

} // namespace sitko
