// longline: write the longest line of standard input.
//
// A line is the bytes up to and including a newline, or up to end of input;
// its length counts the newline.  Lines longer than LINE_CAPACITY - 1 bytes
// come in pieces.  Of several longest lines the first one read is written.
#include <cstdio>

#include "finish.hpp"
#include "input.hpp"

namespace {

constexpr int LINE_CAPACITY = 1000;

int max;
char line[LINE_CAPACITY];
char longest[LINE_CAPACITY];

int mygetline()
{
	int c = 0;
	int i = 0;
	while (i < LINE_CAPACITY - 1) {
		c = sitko::getbyte();
		if (c == EOF || c == '\n')
			break;
		line[i++] = static_cast<char>(c);
	}
	if (c == '\n')
		line[i++] = '\n';
	line[i] = '\0';
	return i;
}

// Copies max bytes, not up to the first NUL: a NUL inside a line is part of
// it and is written like any other byte.
void copy()
{
	for (int i = 0; i < max; i++)
		longest[i] = line[i];
}

} // namespace

int main()
{
	int len;

	max = 0;
	while ((len = mygetline()) > 0)
		if (len > max) {
			max = len;
			copy();
		}
	if (max > 0)
		fwrite(longest, 1, static_cast<size_t>(max), stdout);
	return sitko::finish(0);
}
