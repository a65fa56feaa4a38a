// SPDX-License-Identifier: MIT
// takewords: the words of a reader's input, a block at a time, for wordtree.
// Only words reach its tree, and getword() would hand them out with every
// other character between them, one call each; takewords() finds the same
// words a block at a time and passes over the rest.
#ifndef SITKO_TAKEWORDS_HPP
#define SITKO_TAKEWORDS_HPP

#include <cstddef>
#include <cstdint>
#include <span>

#include "input.hpp"
#include "scan.hpp"

namespace sitko {

// A word of input, where takewords() keeps it.
struct wordref {
	const unsigned char *text;
	std::size_t len;
};

// Every word handed out has at least this many bytes after it that may be
// read, whatever they hold, so it can be taken sixteen bytes at a time.
inline constexpr std::size_t WORD_SLACK = 16;

// The longest word takewords() can be asked for.
inline constexpr std::size_t WORD_LIMIT = 255;

// Where the words begin and end is found a strip at a time, as they are
// taken, so the marks stay in the first-level cache.
inline constexpr std::size_t STRIP = 4096;
inline constexpr std::size_t STRIP_WORDS = STRIP / 64;

struct wordstrip {
	unsigned long block; // the reader's block described, by its id
	const wordclasses *classes;
	const unsigned char *base;         // the strip's first byte
	const unsigned char *stop;         // just past its last
	std::uint64_t inword;              // 1 when the byte before the next strip is in a word
	std::uint64_t starts[STRIP_WORDS]; // first bytes of words
	std::uint64_t ends[STRIP_WORDS];   // first bytes after them
};

// Words too near the end of a block to be read past, and a word cut by the
// end of one, are copied here, with room after them.  At most WORD_SLACK / 2
// words end in the last WORD_SLACK bytes of a block.
inline constexpr std::size_t COPIES = WORD_SLACK / 2 + 2;

struct wordstate {
	std::size_t ncopies;
	unsigned char copy[COPIES][WORD_LIMIT + WORD_SLACK];
	unsigned char carry[WORD_LIMIT + WORD_SLACK];
	std::size_t carried;
	bool carrying;                // a word goes on from the last block, in carry
	bool inrun;                   // within a run of rest bytes, between words
	const unsigned char *pending; // the start of a word the marks have not ended
};

// What takewords() knows of one reader's input between calls: zeroed before
// the first, and used with that reader only.
struct wordscan {
	wordstrip strip;
	wordstate words;
};

// Words as a reader that skips everything else finds them: a byte of
// classes.first, then bytes of classes.rest, at most limit bytes; a word cut
// by the limit goes on as input from the next byte, so what follows it begins
// a word only if it is in classes.first.  Stores the next words of in in out,
// as many as fit, and returns how many; 0 only at end of input.  The words
// stay where they are until the next call.  limit is 1 to WORD_LIMIT, out is
// not empty, and while a word is cut by the end of a block nothing else may
// take input from in.
std::size_t takewords(reader &in, wordscan &scan, const wordclasses &classes, std::size_t limit,
		      std::span<wordref> out);

} // namespace sitko

#endif
