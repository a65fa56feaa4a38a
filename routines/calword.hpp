// SPDX-License-Identifier: MIT
// Polish month names.
#ifndef SITKO_CALWORD_HPP
#define SITKO_CALWORD_HPP

namespace sitko {

// The lower-case Polish name of month n (1 to 12), in UTF-8, or
// "błędny miesiąc" for any other n.  The text is static and constant.
const char *month_name(int n);

} // namespace sitko

#endif
