// SPDX-License-Identifier: MIT
#ifndef SITKO_FINISH_HPP
#define SITKO_FINISH_HPP

namespace sitko {

// The one way out of every program: writes out the rest of the report,
// closes standard output and returns the exit status: 1 when reading failed
// or some byte of the report could not be written, else the program's own.
int finish(int status);

} // namespace sitko

#endif
