#include "finish.hpp"

#include <cstdio>

#include "input.hpp"

namespace sitko {

int finish(int status)
{
	bool writefailed = fflush(stdout) != 0 || ferror(stdout) != 0;
	if (fclose(stdout) != 0)
		writefailed = true;
	if (writefailed || inputfailed())
		return 1;
	return status;
}

} // namespace sitko
