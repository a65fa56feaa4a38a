// SPDX-License-Identifier: MIT
// Counting keywords needs only the few words that could be keywords, yet
// getword() hands out every word and every other character, one call each,
// which costs far more than reading the input.  Any keyword's first four
// bytes stand in the input as they are, so a stretch without any of those
// four-byte prefixes holds no keyword and can be passed over whole.
//
// The stretch ends where getword() would be between two tokens: just after a
// byte that is neither letter nor digit.  Such a byte always ends whatever
// came before it, so the words from there on are the same whether or not
// the stretch was read.
#include "quiet.hpp"

#include "classes.hpp"
#include "getch.hpp"
#include "input.hpp"

namespace sitko {

namespace {

// The next prefix found, and the start of its run, for the buffer fill
// that fill names; searched again only once the input has passed it.
unsigned long fill;
const unsigned char *next;
const unsigned char *runstart;

} // namespace

void skipquiet(const prefixset &keys)
{
	if (pushedback != NOTHING_PUSHED)
		return;
	const unsigned char *from = in.pos;
	if (fill != in.fills || next == nullptr || from > next) {
		bytes rest(from, in.end);
		next = from + findprefix(rest, keys);
		runstart = next;
		while (runstart > from && isalnumchar(runstart[-1]))
			runstart--;
		fill = in.fills;
	}
	if (runstart > from)
		in.pos = runstart;
}

} // namespace sitko
