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

#include "blocks.hpp"
#include "classes.hpp"
#include "getch.hpp"

namespace sitko {

namespace {

// The bytes a stretch may not end after: letters and digits, which could
// be the start of a word that holds the prefix.
constexpr std::array<bool, 256> wordbytes = bytesin(ALPHA | DIGIT);

} // namespace

void skipquiet(const prefixset &keys)
{
	if (pushedback != NOTHING_PUSHED)
		return;
	skiptoprefix(keys, wordbytes);
}

} // namespace sitko
