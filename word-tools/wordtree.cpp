// SPDX-License-Identifier: MIT
// wordtree: count the words of standard input and write them in byte order.
#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <span>
#include <sys/wait.h>
#include <unistd.h>

#include "blocks.hpp"
#include "classes.hpp"
#include "finish.hpp"
#include "getword.hpp"
#include "input.hpp"
#include "tree.hpp"

namespace {

using namespace sitko;

// Counts the words of the input, as far as it goes, into root.  Only words
// reach the tree, and getword() would hand them out with every other
// character between them, one call each; takewords() finds the same words
// a buffer at a time and passes over the rest.
tnode *countwords(tnode *root)
{
	wordref batch[256];
	while (std::size_t n = takewords(letterwords, WORD_CAPACITY - 1, batch))
		root = addwords(root, std::span(batch, n));
	return root;
}

// A regular file this large is counted in two parts at once, the second by
// a child process that sends its counts back; on a smaller one the second
// process costs more than it saves.
constexpr long long SPLIT_SIZE = 16LL << 20;
// How far from the middle and the end a byte that ends any word is looked
// for; without one so near, the file is read in one part.
constexpr long long SPLIT_SEARCH = 1LL << 20;
constexpr std::size_t LOOK = 4096;

bool inword(unsigned char c)
{
	return letterwords.rest.member[c];
}

// Just past the first byte from at on, before at + SPLIT_SEARCH and limit,
// that no word holds: where counting can begin afresh as if the input began
// there.  -1 if there is none.
long long boundaryafter(long long at, long long limit)
{
	unsigned char look[LOOK];
	limit = std::min(limit, at + SPLIT_SEARCH);
	while (at < limit) {
		std::size_t n = readat(
			at, look, static_cast<std::size_t>(std::min<long long>(LOOK, limit - at)));
		if (n == 0)
			return -1;
		for (std::size_t i = 0; i < n; i++)
			if (!inword(look[i]))
				return at + static_cast<long long>(i) + 1;
		at += static_cast<long long>(n);
	}
	return -1;
}

// Just past the last byte before at, and after at - SPLIT_SEARCH and limit,
// that no word holds; -1 if there is none.
long long boundarybefore(long long at, long long limit)
{
	unsigned char look[LOOK];
	limit = std::max(limit, at - SPLIT_SEARCH);
	while (at > limit) {
		auto n = static_cast<std::size_t>(std::min<long long>(LOOK, at - limit));
		if (readat(at - static_cast<long long>(n), look, n) != n)
			return -1;
		for (std::size_t i = n; i-- > 0;)
			if (!inword(look[i]))
				return at - static_cast<long long>(n - i) + 1;
		at -= static_cast<long long>(n);
	}
	return -1;
}

// Counts a large regular file, from `from` on, in two parts at once, the
// second in a child process, each ending where a word cannot go on; the
// rest is read as usual; and writes the report.  False, with nothing read,
// where it cannot.
bool twoparts(long long from, long long size)
{
	if (size - from < SPLIT_SIZE)
		return false;
	long long cut = boundaryafter(from + (size - from) / 2, size);
	long long last = boundarybefore(size, cut);
	if (cut < 0 || last < 0 || cut >= last)
		return false;
	int pipefd[2];
	if (pipe(pipefd) != 0)
		return false;
	// A parent may have left SIGCHLD ignored, and the child could then not
	// be waited for: its status would be lost.
	struct sigaction waitable = {};
	waitable.sa_handler = SIG_DFL;
	sigemptyset(&waitable.sa_mask);
	sigaction(SIGCHLD, &waitable, nullptr);
	pid_t child = fork();
	if (child < 0) {
		close(pipefd[0]);
		close(pipefd[1]);
		return false;
	}
	if (child == 0) {
		close(pipefd[0]);
		setrange(cut, last);
		bool sent = sendwords(countwords(nullptr), pipefd[1]);
		_exit(sent && !inputfailed() ? 0 : 1);
	}
	close(pipefd[1]);
	setrange(from, cut);
	tnode *root = countwords(nullptr);
	resumeat(last);
	root = countwords(root);
	bool whole = treeprint(root, pipefd[0]);
	close(pipefd[0]);
	int status;
	while (waitpid(child, &status, 0) < 0)
		if (errno != EINTR) {
			status = -1;
			break;
		}
	// Without all of the second part's counts the report would be short:
	// as when memory runs out, that is said through the status alone, and
	// nothing was written.  Counts that came whole from a part that could
	// not all be read make a report like that of a failed read.
	if (!whole)
		exit(finish(1));
	if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
		failinput();
	return true;
}

} // namespace

int main()
{
	long long from, size;
	if (!regularinput(from, size) || !twoparts(from, size))
		treeprint(countwords(nullptr));
	return finish(0);
}
