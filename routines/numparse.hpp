// SPDX-License-Identifier: MIT
// Decimal text to int.
#ifndef SITKO_NUMPARSE_HPP
#define SITKO_NUMPARSE_HPP

namespace sitko {

// The decimal number at the start of s: leading white space is skipped, one
// sign is taken, and the digits run until the first other byte.  No digits
// give 0.  Values beyond the int range wrap modulo 2^32; nothing reports
// overflow or where the number ended.
int atoi(const char *s);

} // namespace sitko

#endif
