#ifndef SITKO_FINISH_HPP
#define SITKO_FINISH_HPP

namespace sitko {

// The one way out of every program: flushes and closes standard output and
// returns the exit status, 1 instead of 0 when a read or a write failed.
int finish(int status);

} // namespace sitko

#endif
