// SPDX-License-Identifier: MIT
#ifndef SITKO_COORDPAIR_HPP
#define SITKO_COORDPAIR_HPP

#include "geometry.hpp"

namespace sitko {

point makepoint(int x, int y);

} // namespace sitko

#endif
