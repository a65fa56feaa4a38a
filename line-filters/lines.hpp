// SPDX-License-Identifier: MIT
// Capacities and companion routines of the line sorter.
#ifndef SITKO_LINES_HPP
#define SITKO_LINES_HPP

#include "input.hpp"

namespace sitko {

inline constexpr int LINE_CAPACITY = 1000;
inline constexpr int MAX_LINES = 5000;

char *alloc(int n);
// Takes back everything alloc() handed out, for a program that starts over.
void freeall();
int mygetline(char *s, int lim);
// The input mygetline() reads.
void mygetlinefrom(reader &in);

} // namespace sitko

#endif
