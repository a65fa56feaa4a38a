// SPDX-License-Identifier: MIT
// Counting the words of the input in parts, each on a thread of its own.
//
// Counting can begin afresh just past any byte that no word holds, as if
// the input began there, so the input is cut only at such bytes (or, in a
// run of word bytes with none, where a word is cut by the limit, which
// leaves the same state).  Each part counts into a root of its own, and the
// report merges them.  Whatever happens to a part, the words counted are
// those of one pass that stopped where the first part stopped short.
#ifndef SITKO_PARTS_HPP
#define SITKO_PARTS_HPP

#include <cstddef>

#include "input.hpp"
#include "tree.hpp"

namespace sitko {

// The most parts the input is counted in at once.
inline constexpr std::size_t MAX_PARTS = MAX_ROOTS - 1;

// The CPUs this process may run on, 1 to MAX_PARTS.
std::size_t cpusallowed();

// The words of in, as far as it goes, counted into root: the plain pass.
tnode *countinput(reader &in, tnode *root);

// Where the parts of a file are read from: open() makes r read its bytes
// from offset from up to offset to, or fewer where it has shrunk.
struct rangesource {
	void (*open)(reader &r, long long from, long long to, const void *context);
	const void *context;
};

// What counting in parts found.  The roots hold the words of the parts up
// to and including the first that stopped short.
struct partcounts {
	tnode *roots[MAX_ROOTS];
	std::size_t nroots;
	bool whole;    // every part was read to its end
	bool failed;   // else: the part could not be read on (else the input ended there)
	long long end; // where the parts ended, or where that part stopped
};

// Counts the file from offset from up to about offset to in at most nparts
// parts, one to a thread.  The last few bytes, from counts.end on, are left
// for the caller to read as usual, as a file that grows is read to its end.
// False, with nothing read, where the file cannot be cut into two or more.
bool countranges(const rangesource &source, long long from, long long to, std::size_t nparts,
		 partcounts &counts);

// Counts the words of in with up to nworkers threads, which take in turn
// blocks of about handoff bytes read by this one, each ending where no word
// goes on; on input shorter than that, no thread is started.
void countstream(reader &in, std::size_t nworkers, std::size_t handoff, partcounts &counts);

} // namespace sitko

#endif
