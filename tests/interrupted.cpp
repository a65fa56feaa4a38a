// SPDX-License-Identifier: MIT
// A stand-in program for the tests: copies standard input to standard output
// through the shared reader and writer while a timer keeps interrupting it.
// The handler is installed without SA_RESTART, so a read or write that is
// blocked when the timer fires returns EINTR or a short count.  It is
// confined as the programs are, so the retries are shown to work under the
// filter; the timer runs on to the end, as nothing else is allowed.
#include <csignal>
#include <sys/time.h>

#include "confine.hpp"
#include "finish.hpp"
#include "input.hpp"
#include "output.hpp"

namespace {

volatile sig_atomic_t ticks;

void tick(int)
{
	ticks = 1;
}

} // namespace

int main()
{
	struct sigaction action = {};
	action.sa_handler = tick;
	sigemptyset(&action.sa_mask);
	sigaction(SIGALRM, &action, nullptr);
	itimerval every = {{0, 100}, {0, 100}};
	setitimer(ITIMER_REAL, &every, nullptr);
	sitko::reader &in = sitko::standardinput();
	sitko::confine(sitko::family::reads);
	for (auto block = sitko::getblock(in); !block.empty(); block = sitko::getblock(in))
		sitko::putbytes(block.data(), block.size());
	// 2 says the timer never fired, so the run proved nothing.
	return sitko::finish(ticks ? 0 : 2, in);
}
