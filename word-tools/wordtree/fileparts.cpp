// SPDX-License-Identifier: MIT
#include "fileparts.hpp"

#include <algorithm>
#include <cstring>

#include "owners.hpp"
#include "takewords.hpp"
#include "vocabulary.hpp"

namespace sitko {

namespace {

// How far from where a file would be cut a byte that ends any word is
// looked for; without one so near, the parts on either side are one.
constexpr long long CUT_SEARCH = 1LL << 20;
constexpr std::size_t LOOK = 4096;

// The bytes of the file that the partitions' words were weighed in.
constexpr long long SAMPLE = 4LL << 20;

struct part {
	long long from, to;
};

struct parts {
	const filesource *f;
	part at[MAX_THREADS];
};

void openpart(reader &r, void *item, void *context)
{
	const auto &p = *static_cast<const part *>(item);
	const filesource &f = *static_cast<const parts *>(context)->f;
	f.range(r, p.from, p.to, f.context);
}

bool readwhole(reader &r, void *item, void *)
{
	const auto &p = *static_cast<const part *>(item);
	return !inputfailed(r) && static_cast<long long>(inputtaken(r)) >= p.to - p.from;
}

// Up to n bytes of the file from offset at, read through r; how many there
// were.
std::size_t readat(const filesource &f, reader &r, long long at, unsigned char *to, std::size_t n)
{
	f.range(r, at, at + static_cast<long long>(n), f.context);
	std::size_t got = 0;
	while (got < n) {
		auto block = getblock(r);
		if (block.empty())
			break;
		std::size_t k = std::min(block.size(), n - got);
		memcpy(to + got, block.data(), k);
		got += k;
	}
	return got;
}

// Just past the first byte from at on, before at + CUT_SEARCH and limit,
// that no word holds; -1 if there is none.
long long boundaryafter(const filesource &f, reader &r, long long at, long long limit)
{
	unsigned char look[LOOK];
	limit = std::min(limit, at + CUT_SEARCH);
	while (at < limit) {
		std::size_t n =
			readat(f, r, at, look,
			       static_cast<std::size_t>(std::min<long long>(LOOK, limit - at)));
		if (n == 0)
			return -1;
		for (std::size_t i = 0; i < n; i++)
			if (!inword(look[i]))
				return at + static_cast<long long>(i) + 1;
		at += static_cast<long long>(n);
	}
	return -1;
}

// Just past the last byte before at, and after at - CUT_SEARCH and limit,
// that no word holds; -1 if there is none.
long long boundarybefore(const filesource &f, reader &r, long long at, long long limit)
{
	unsigned char look[LOOK];
	limit = std::max(limit, at - CUT_SEARCH);
	while (at > limit) {
		auto n = static_cast<std::size_t>(std::min<long long>(LOOK, at - limit));
		if (readat(f, r, at - static_cast<long long>(n), look, n) != n)
			return -1;
		for (std::size_t i = n; i-- > 0;)
			if (!inword(look[i]))
				return at - static_cast<long long>(n - i) + 1;
		at -= static_cast<long long>(n);
	}
	return -1;
}

// Cuts the file into parts and counts them; the end of the last part, or
// -1 where it could not be cut in two or more.
long long countparts(const filesource &f, long long from, long long to, std::size_t nparts,
		     vocabulary &v, halt &why)
{
	if (nparts < 2 || to - from < static_cast<long long>(nparts))
		return -1;
	parts ps = {&f, {}};
	crew *c = newcrew(v, nparts, {openpart, readwhole, nullptr, &ps});
	if (c == nullptr)
		return -1;
	reader &look = crewreader(*c, 0);
	std::uint32_t weight[PARTITIONS];
	f.range(look, from, std::min(to, from + SAMPLE), f.context);
	sampleweights(look, weight);
	nparts = startcrew(*c, 1, weight);
	long long cuts[MAX_THREADS + 1];
	std::size_t k = 0;
	cuts[0] = from;
	long long step = (to - from) / static_cast<long long>(nparts);
	for (std::size_t i = 1; i < nparts; i++) {
		long long cut = boundaryafter(f, look, from + step * static_cast<long long>(i), to);
		if (cut > cuts[k] && cut < to)
			cuts[++k] = cut;
	}
	// The last part ends where no word goes on, so a word that runs on
	// into bytes the file gains is read whole.
	long long last = k > 0 ? boundarybefore(f, look, to, cuts[k]) : -1;
	std::size_t n = k + 1;
	if (last <= cuts[k]) {
		n = k;
		last = cuts[k];
	}
	if (n < 2) {
		closecrew(*c);
		runworker(*c, 0);
		endcrew(c);
		shareout(v, 1, weight);
		return -1;
	}
	cuts[n] = last;
	for (std::size_t i = 0; i < n; i++) {
		ps.at[i] = {cuts[i], cuts[i + 1]};
		handitem(*c, i, &ps.at[i]);
	}
	closecrew(*c);
	runworker(*c, 0);
	why = endcrew(c, false);
	return last;
}

} // namespace

int countfile(const filesource &f, long long from, long long size, std::size_t nparts, reader &in,
	      vocabulary *&root)
{
	if (root == nullptr)
		root = newvocabulary();
	halt why = halt::no;
	long long end = outofmemory(root) ? -1 : countparts(f, from, size, nparts, *root, why);
	if (end < 0)
		return -1;
	// A part not read whole, or words the threads had no memory for: the
	// file is counted again in one pass, which needs no memory but the
	// words'.
	if (why != halt::no) {
		dropwords(root);
		trimheap();
		root = nullptr;
		end = from;
	}
	if (!f.rest(in, end, f.context))
		return 1;
	return countinput(in, root);
}

} // namespace sitko
