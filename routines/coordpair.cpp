// SPDX-License-Identifier: MIT
#include "coordpair.hpp"

namespace sitko {

point makepoint(int x, int y)
{
	point temp;

	temp.x = x;
	temp.y = y;
	return temp;
}

} // namespace sitko
