// SPDX-License-Identifier: MIT
// wordtree's ways of counting in parts, each held to the plain pass over
// the bytes one pass would have read: from a file (here memory that can
// shrink or fail at a given byte) cut into parts, and from a stream (memory
// in pieces that can fail at a given piece) handed out in blocks.  For the
// tests and the fuzz target.
#ifndef SITKO_TEST_WORDPARTS_HPP
#define SITKO_TEST_WORDPARTS_HPP

#include <algorithm>
#include <cstddef>
#include <span>
#include <string>
#include <sys/mman.h>
#include <unistd.h>

#include "fileparts.hpp"
#include "input.hpp"
#include "output.hpp"
#include "streamparts.hpp"
#include "tree.hpp"
#include "vocabulary.hpp"

namespace sitko::test {

// What fn() writes through the report writer.
template <class F>
std::string written(F fn)
{
	flushoutput();
	int saved = dup(STDOUT_FILENO);
	int fd = memfd_create("report", 0);
	if (saved < 0 || fd < 0 || dup2(fd, STDOUT_FILENO) < 0)
		return "(no memory file)";
	close(fd);
	fn();
	flushoutput();
	off_t n = lseek(STDOUT_FILENO, 0, SEEK_CUR);
	std::string s(n > 0 ? static_cast<std::size_t>(n) : 0, '\0');
	if (n > 0 && pread(STDOUT_FILENO, s.data(), s.size(), 0) != n)
		s = "(unreadable)";
	dup2(saved, STDOUT_FILENO);
	close(saved);
	return s;
}

// One pass over the first n bytes.
inline std::string plainreport(const unsigned char *bytes, std::size_t n)
{
	return written([&] {
		static reader in;
		openmemory(in, bytes, n);
		vocabulary *root = nullptr;
		countinput(in, root);
		treeprint(root);
	});
}

// A file in memory of size bytes, cut to its first `shrunk` bytes while it
// was read: after any part beyond that had read it whole, and before the
// part that reaches the cut.  Reading the byte at failat fails (none where
// failat is past the end).
struct memoryfile {
	const unsigned char *bytes;
	long long size;
	long long shrunk;
	long long failat;
};

inline void openslice(reader &r, long long from, long long to, const void *context)
{
	const auto &f = *static_cast<const memoryfile *>(context);
	long long end = from <= f.shrunk ? std::min(to, f.shrunk) : to;
	bool fails = f.failat >= from && f.failat < end;
	if (fails)
		end = f.failat;
	openmemory(r, f.bytes + from, static_cast<std::size_t>(std::max(end - from, 0LL)));
	if (fails)
		failmemory(r, 0);
}

inline bool openrest(reader &r, long long from, const void *context)
{
	openslice(r, from, static_cast<const memoryfile *>(context)->size, context);
	return true;
}

// How tight the threads are held, so that small inputs meet every step of
// counting: buffers of sendsize bytes between threads (0 for the usual), and
// tables that take tablelimit words (0 for no limit) before the threads stop
// as if memory ran out, and leave the rest to one.
struct tightness {
	std::size_t sendsize, tablelimit;
};

inline tnode *tightvocabulary(tightness t)
{
	return t.sendsize == 0 && t.tablelimit == 0 ? nullptr
						    : newvocabulary(t.sendsize, t.tablelimit);
}

// Counting a file of size bytes in nparts parts, and the rest as wordtree
// reads it, gives the report and status of one pass.
inline bool rangesasplain(const unsigned char *bytes, long long size, std::size_t nparts,
			  long long shrunk, long long failat, tightness tight = {})
{
	memoryfile file = {bytes, size, shrunk, failat};
	long long stop = std::min({size, shrunk, failat});
	bool failed = failat < std::min(size, shrunk);
	bool restfailed = false;
	int status = -1;
	std::string report = written([&] {
		static reader rest;
		tnode *root = tightvocabulary(tight);
		status = countfile({openslice, openrest, &file}, 0, size, nparts, rest, root);
		restfailed = inputfailed(rest);
		treeprint(root, nparts);
	});
	if (status < 0)
		return report.empty(); // nothing read, and the plain pass goes on
	return status == 0 && restfailed == failed &&
	       report == plainreport(bytes, static_cast<std::size_t>(stop));
}

// Counting n bytes that come in pieces of the given sizes (0 standing for a
// whole buffer), the read of piece failpiece failing, with the words handed
// out to nworkers threads in blocks of about handoff bytes, gives the
// report and status of one pass.
inline bool streamasplain(const unsigned char *bytes, std::size_t n,
			  std::span<const std::size_t> pieces, std::size_t failpiece,
			  std::size_t nworkers, std::size_t handoff, tightness tight = {})
{
	std::size_t delivered = 0, i = 0;
	for (; i < failpiece && delivered < n; i++) {
		std::size_t k = pieces[i % pieces.size()];
		delivered += k == 0 || k > INPUT_CAPACITY ? INPUT_CAPACITY : k;
	}
	// The next read is of piece i, which fails even where it would find
	// the end.
	bool failed = i == failpiece;
	delivered = std::min(delivered, n);
	bool streamfailed = false;
	std::string report = written([&] {
		static reader in;
		openmemory(in, bytes, n, pieces);
		failmemory(in, failpiece);
		vocabulary *root = tightvocabulary(tight);
		countstream(in, nworkers, handoff, root);
		streamfailed = inputfailed(in);
		treeprint(root, nworkers);
	});
	return streamfailed == failed && report == plainreport(bytes, delivered);
}

} // namespace sitko::test

#endif
