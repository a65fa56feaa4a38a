// SPDX-License-Identifier: MIT
#include "newlines.hpp"

#include <cstring>

#include "scan.hpp"

namespace sitko {

namespace {

// Makes index describe block, what peekblock(in) shows; false for a block
// from memory larger than a buffer, which is searched as it comes instead.
bool describe(reader &in, newlines &index, std::span<const unsigned char> block)
{
	if (index.block == blockid(in) && block.data() >= index.start)
		return true;
	if (block.size() > INPUT_CAPACITY)
		return false;
	index.block = blockid(in);
	index.start = block.data();
	index.n = findall(bytes(block.data(), block.size()), '\n', index.at);
	index.next = 0;
	return true;
}

// The first newline of the index at or after offset.
std::size_t nextindexed(newlines &index, std::size_t offset)
{
	while (index.next < index.n && index.at[index.next] < offset)
		index.next++;
	return index.next;
}

} // namespace

std::size_t findnewline(reader &in, newlines &index)
{
	auto block = peekblock(in);
	if (block.empty())
		return 0;
	if (!describe(in, index, block)) {
		const void *p = memchr(block.data(), '\n', block.size());
		return p != nullptr ? static_cast<std::size_t>(
					      static_cast<const unsigned char *>(p) - block.data())
				    : block.size();
	}
	auto offset = static_cast<std::size_t>(block.data() - index.start);
	std::size_t k = nextindexed(index, offset);
	return k < index.n ? index.at[k] - offset : block.size();
}

void skiplines(reader &in, newlines &index, std::size_t most)
{
	auto block = peekblock(in);
	if (block.empty() || !describe(in, index, block))
		return;
	auto offset = static_cast<std::size_t>(block.data() - index.start);
	std::size_t k = nextindexed(index, offset), to = offset;
	while (k < index.n && index.at[k] + 1 - to <= most)
		to = index.at[k++] + 1;
	index.next = k;
	skipinput(in, to - offset);
}

} // namespace sitko
