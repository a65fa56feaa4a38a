// SPDX-License-Identifier: MIT
// Points and rectangles of the integer plane, passed by value.
#ifndef SITKO_GEOMETRY_HPP
#define SITKO_GEOMETRY_HPP

namespace sitko {

struct point {
	int x;
	int y;
};

// Two opposite corners; canonical when p1 holds the smaller x and y.
struct rect {
	point p1;
	point p2;
};

} // namespace sitko

#endif
