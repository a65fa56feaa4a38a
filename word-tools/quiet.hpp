// SPDX-License-Identifier: MIT
// skipquiet: passes over input in which no keyword can begin.
#ifndef SITKO_QUIET_HPP
#define SITKO_QUIET_HPP

#include "scan.hpp"

namespace sitko {

// Moves the input on to the start of the run of letters and digits that
// holds the next place where one of keys begins, or as near the end of the
// buffer as can be told.  Only input no word of which can start with a key is
// passed over, and the input is left where getword() would have been between
// two words, so the words it returns from there are the ones it would have
// returned anyway.  Does nothing while a character is pushed back.
void skipquiet(const prefixset &keys);

} // namespace sitko

#endif
