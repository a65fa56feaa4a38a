// SPDX-License-Identifier: MIT
// Capacities and companion routines of the line sorter.
#ifndef SITKO_LINES_HPP
#define SITKO_LINES_HPP

namespace sitko {

inline constexpr int LINE_CAPACITY = 1000;
inline constexpr int MAX_LINES = 5000;

char *alloc(int n);
int mygetline(char *s, int lim);

} // namespace sitko

#endif
