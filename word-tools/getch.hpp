// SPDX-License-Identifier: MIT
// getch and ungetch: the byte reader with room for one pushed-back value.
#ifndef SITKO_GETCH_HPP
#define SITKO_GETCH_HPP

#include "input.hpp"

namespace sitko {

namespace getchstate {

inline constexpr int NOTHING_PUSHED = -2;

inline reader *source;
// The value ungetch() handed back and getch() has not yet returned, EOF
// included; NOTHING_PUSHED when there is none.
inline int pushed = NOTHING_PUSHED;

} // namespace getchstate

// Makes getch() read in from here on, with nothing pushed back.
inline void getchfrom(reader &in)
{
	getchstate::source = &in;
	getchstate::pushed = getchstate::NOTHING_PUSHED;
}

// The reader getch() reads, for the callers that take its bytes a block at
// a time while nothing is pushed back.
inline reader &getchsource()
{
	return *getchstate::source;
}

inline bool pushedback()
{
	return getchstate::pushed != getchstate::NOTHING_PUSHED;
}

inline int getch()
{
	if (pushedback()) {
		int c = getchstate::pushed;
		getchstate::pushed = getchstate::NOTHING_PUSHED;
		return c;
	}
	return getbyte(*getchstate::source);
}

// A second value pushed back before getch() took the first replaces it;
// getword never pushes back more than one.
inline void ungetch(int c)
{
	getchstate::pushed = c;
}

} // namespace sitko

#endif
