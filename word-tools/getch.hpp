// SPDX-License-Identifier: MIT
// getch and ungetch: the byte reader with room for one pushed-back value.
#ifndef SITKO_GETCH_HPP
#define SITKO_GETCH_HPP

#include "input.hpp"

namespace sitko {

inline constexpr int NOTHING_PUSHED = -2;

// The value ungetch() handed back and getch() has not yet returned, EOF
// included; NOTHING_PUSHED when there is none.
inline int pushedback = NOTHING_PUSHED;

inline int getch()
{
	if (pushedback != NOTHING_PUSHED) {
		int c = pushedback;
		pushedback = NOTHING_PUSHED;
		return c;
	}
	return getbyte();
}

// A second value pushed back before getch() took the first replaces it;
// getword never pushes back more than one.
inline void ungetch(int c)
{
	pushedback = c;
}

} // namespace sitko

#endif
