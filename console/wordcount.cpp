// SPDX-License-Identifier: MIT
// wordcount: count lines, words and bytes, written run together.
//
// A word is a run of bytes other than blank, newline and tab; carriage
// return and bytes from 0x80 up belong to words.  The two-state machine
// (inside a word or not) runs in countwords(), a block at a time, and
// carries its state across blocks.

#include "confine.hpp"
#include "finish.hpp"
#include "input.hpp"
#include "output.hpp"
#include "programs.hpp"
#include "scan.hpp"

int sitko::wordcount(reader &in)
{
	sitko::wordcounts wc = {0, 0, false};
	long long nc = 0;

	for (auto block = sitko::getblock(in); !block.empty(); block = sitko::getblock(in)) {
		sitko::countwords(block, wc);
		nc += static_cast<long long>(block.size());
	}
	sitko::print("%lld%lld%lld\n", wc.lines, wc.words, nc);
	return 0;
}

#if !defined(SITKO_NO_MAIN)
int main()
{
	sitko::reader &in = sitko::standardinput();
	sitko::confine(sitko::family::reads);
	return sitko::finish(sitko::wordcount(in), in);
}
#endif
