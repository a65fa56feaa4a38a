// SPDX-License-Identifier: MIT
#include "boxnorm.hpp"

namespace sitko {

namespace {

constexpr int min(int a, int b)
{
	return a < b ? a : b;
}

constexpr int max(int a, int b)
{
	return a > b ? a : b;
}

} // namespace

rect canonrect(rect r)
{
	rect temp;

	temp.p1.x = min(r.p1.x, r.p2.x);
	temp.p1.y = min(r.p1.y, r.p2.y);
	temp.p2.x = max(r.p1.x, r.p2.x);
	temp.p2.y = max(r.p1.y, r.p2.y);
	return temp;
}

} // namespace sitko
