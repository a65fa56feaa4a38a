// wordcount: count lines, words and bytes, written run together.
//
// A word is a run of bytes other than blank, newline and tab; carriage
// return and bytes from 0x80 up belong to words.
#include <cstdio>

#include "finish.hpp"
#include "input.hpp"

namespace {

enum { OUT, IN };

} // namespace

int main()
{
	int c;
	int state = OUT;
	long long nl = 0, nw = 0, nc = 0;

	while ((c = sitko::getbyte()) != EOF) {
		++nc;
		if (c == '\n')
			++nl;
		if (c == ' ' || c == '\n' || c == '\t')
			state = OUT;
		else if (state == OUT) {
			state = IN;
			++nw;
		}
	}
	printf("%lld%lld%lld\n", nl, nw, nc);
	return sitko::finish(0);
}
