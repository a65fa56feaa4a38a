// SPDX-License-Identifier: MIT
#ifndef SITKO_BOXNORM_HPP
#define SITKO_BOXNORM_HPP

#include "geometry.hpp"

namespace sitko {

// The same rectangle with p1 the lower-left and p2 the upper-right corner.
rect canonrect(rect r);

} // namespace sitko

#endif
