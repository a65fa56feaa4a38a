// SPDX-License-Identifier: MIT
// The exit path for in-process runs: standard output must stay open for the
// next input, so the report is written out, not closed.
#include "finish.hpp"
#include "input.hpp"
#include "output.hpp"

namespace sitko {

int finish(int status)
{
	if (!flushoutput() || inputfailed())
		return 1;
	return status;
}

} // namespace sitko
