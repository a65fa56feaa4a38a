// SPDX-License-Identifier: MIT
#include "lines.hpp"

namespace sitko {

namespace {

// Room for MAX_LINES pieces of the longest size, so any input within the
// line limit fits and only the line count can make the sorter give up.
constexpr int ALLOC_CAPACITY = MAX_LINES * LINE_CAPACITY;

char allocbuf[ALLOC_CAPACITY];
int allocused;

} // namespace

// Hands out n bytes that stay valid until exit, or null when the pool is
// exhausted.  Storage is never given back.
char *alloc(int n)
{
	if (n < 0 || n > ALLOC_CAPACITY - allocused)
		return nullptr;
	char *p = allocbuf + allocused;
	allocused += n;
	return p;
}

void freeall()
{
	allocused = 0;
}

} // namespace sitko
