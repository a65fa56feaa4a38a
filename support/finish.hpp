// SPDX-License-Identifier: MIT
#ifndef SITKO_FINISH_HPP
#define SITKO_FINISH_HPP

#include "input.hpp"

namespace sitko {

// The one way out of every program: writes out the rest of the report,
// closes standard output and returns the exit status: 1 when reading in
// failed or some byte of the report could not be written, else the
// program's own.  Without a reader, for the programs that read nothing and
// for the way out when memory runs out.
int finish(int status, const reader &in);
int finish(int status);

} // namespace sitko

#endif
