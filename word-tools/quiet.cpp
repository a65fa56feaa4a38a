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

namespace sitko {

namespace {

// The bytes a stretch may not end after: letters and digits, which could
// be the start of a word that holds the prefix.
constexpr std::array<bool, 256> wordbytes = bytesin(ALPHA | DIGIT);

// Where the next prefix of the block lies, and the start of the run of word
// bytes before it, kept until the reader moves on to another block.
struct prefixplace {
	unsigned long block; // the reader's block described, by its id
	const unsigned char *next;
	const unsigned char *runstart;
} place;

} // namespace

void skipquiet(const prefixset &keys)
{
	if (pushedback())
		return;
	reader &in = getchsource();
	auto block = peekblock(in);
	const unsigned char *from = block.data();
	if (place.block != blockid(in) || from > place.next) {
		place.next = from + findprefix(block, keys);
		place.runstart = place.next;
		while (place.runstart > from && wordbytes[place.runstart[-1]])
			place.runstart--;
		place.block = blockid(in);
	}
	if (place.runstart > from)
		skipinput(in, static_cast<std::size_t>(place.runstart - from));
}

} // namespace sitko
