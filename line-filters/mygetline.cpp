#include <cstdio>

#include "input.hpp"
#include "lines.hpp"

namespace sitko {

// Reads the next line into s, at most lim - 1 bytes and a terminator, and
// returns the bytes stored, the newline included; 0 at end of input.
int mygetline(char *s, int lim)
{
	int c = 0;
	int i = 0;
	while (i < lim - 1 && (c = getbyte()) != EOF) {
		s[i++] = static_cast<char>(c);
		if (c == '\n')
			break;
	}
	s[i] = '\0';
	return i;
}

} // namespace sitko
