// SPDX-License-Identifier: MIT
// Counting a regular file in parts, each read with pread(2) on a thread of
// its own, all into one vocabulary.
//
// The file is cut only just past bytes that no word holds (cuts.hpp), so the
// parts together count what one pass counts.  Where any part stops short
// (a read error, or a file that shrank while it was read), or memory runs
// out, what the parts counted is let go and the file is counted again in
// one plain pass from where it began, which meets the fault, or the new
// end, just where one pass meets it.
#ifndef SITKO_FILEPARTS_HPP
#define SITKO_FILEPARTS_HPP

#include <cstddef>

#include "input.hpp"
#include "tree.hpp"

namespace sitko {

// Where a file's bytes are read from.
struct filesource {
	// Makes r read from offset from up to offset to, or fewer where the
	// file has shrunk.
	void (*range)(reader &r, long long from, long long to, const void *context);
	// Makes r read from offset from on, to the end, as one pass would read
	// it, leaving the file where one pass would; false where it cannot.
	bool (*rest)(reader &r, long long from, const void *context);
	const void *context;
};

// Counts the file from offset from, of size bytes, in up to nparts parts,
// and then, through in, the bytes after the last cut, as a file that grows
// is read to its end: the words one pass over in would count, into root.
// Returns -1, with nothing read, where the file cannot be cut in two or more;
// else 1 where the rest could not be read, 0 otherwise.
int countfile(const filesource &f, long long from, long long size, std::size_t nparts, reader &in,
	      vocabulary *&root);

} // namespace sitko

#endif
