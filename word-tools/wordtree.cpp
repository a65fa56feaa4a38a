// SPDX-License-Identifier: MIT
// wordtree: count the words of standard input and write them in byte order.
#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <span>
#include <sys/wait.h>
#include <unistd.h>

#include "classes.hpp"
#include "finish.hpp"
#include "getword.hpp"
#include "input.hpp"
#include "programs.hpp"
#include "takewords.hpp"
#include "tree.hpp"

namespace {

using namespace sitko;

// Counts the words of in, as far as it goes, into root.  Only words reach
// the tree, and getword() would hand them out with every other character
// between them, one call each; takewords() finds the same words a block at
// a time and passes over the rest.
tnode *countinput(reader &in, tnode *root)
{
	wordscan scan = {};
	wordref batch[256];
	while (std::size_t n = takewords(in, scan, letterwords, WORD_CAPACITY - 1, batch))
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

// Up to n bytes from offset at of fd, without moving its offset; how many
// there were.
std::size_t readat(int fd, long long at, unsigned char *to, std::size_t n)
{
	std::size_t got = 0;
	while (got < n) {
		ssize_t k = pread(fd, to + got, n - got,
				  static_cast<off_t>(at) + static_cast<off_t>(got));
		if (k < 0 && errno == EINTR)
			continue;
		if (k <= 0)
			break;
		got += static_cast<std::size_t>(k);
	}
	return got;
}

// Just past the first byte from at on, before at + SPLIT_SEARCH and limit,
// that no word holds: where counting can begin afresh as if the input began
// there.  -1 if there is none.
long long boundaryafter(int fd, long long at, long long limit)
{
	unsigned char look[LOOK];
	limit = std::min(limit, at + SPLIT_SEARCH);
	while (at < limit) {
		std::size_t n =
			readat(fd, at, look,
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

// Just past the last byte before at, and after at - SPLIT_SEARCH and limit,
// that no word holds; -1 if there is none.
long long boundarybefore(int fd, long long at, long long limit)
{
	unsigned char look[LOOK];
	limit = std::max(limit, at - SPLIT_SEARCH);
	while (at > limit) {
		auto n = static_cast<std::size_t>(std::min<long long>(LOOK, at - limit));
		if (readat(fd, at - static_cast<long long>(n), look, n) != n)
			return -1;
		for (std::size_t i = n; i-- > 0;)
			if (!inword(look[i]))
				return at - static_cast<long long>(n - i) + 1;
		at -= static_cast<long long>(n);
	}
	return -1;
}

// Counts a large regular file fd, which in reads, from `from` on, in two
// parts at once, the second in a child process, each ending where a word
// cannot go on; in reads the rest as usual; and writes the report.  False,
// with nothing read, where it cannot; status is 1 where a part could not be
// read whole.
bool twoparts(reader &in, int fd, long long from, long long size, int &status)
{
	if (size - from < SPLIT_SIZE)
		return false;
	long long cut = boundaryafter(fd, from + (size - from) / 2, size);
	long long last = boundarybefore(fd, size, cut);
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
	static reader part;
	pid_t child = fork();
	if (child < 0) {
		close(pipefd[0]);
		close(pipefd[1]);
		return false;
	}
	if (child == 0) {
		close(pipefd[0]);
		openrange(part, fd, cut, last);
		bool sent = sendwords(countinput(part, nullptr), pipefd[1]);
		_exit(sent && !inputfailed(part) ? 0 : 1);
	}
	close(pipefd[1]);
	openrange(part, fd, from, cut);
	tnode *root = countinput(part, nullptr);
	status = inputfailed(part) ? 1 : 0;
	// The rest, normally a few bytes, is read as usual, so the offset ends
	// where one pass would leave it, and a file that grew is read to its end.
	if (lseek(fd, static_cast<off_t>(last), SEEK_SET) >= 0) {
		openinput(in, fd);
		root = countinput(in, root);
	} else {
		status = 1;
	}
	bool whole = treeprint(root, pipefd[0]);
	close(pipefd[0]);
	int childstatus;
	while (waitpid(child, &childstatus, 0) < 0)
		if (errno != EINTR) {
			childstatus = -1;
			break;
		}
	// Without all of the second part's counts the report would be short:
	// as when memory runs out, that is said through the status alone, and
	// nothing was written.  Counts that came whole from a part that could
	// not all be read make a report like that of a failed read.
	if (!whole)
		exit(finish(1));
	if (!WIFEXITED(childstatus) || WEXITSTATUS(childstatus) != 0)
		status = 1;
	return true;
}

} // namespace

int sitko::wordtree(reader &in)
{
	int fd, status = 0;
	long long from, size;
	if (regularinput(in, fd, from, size) && twoparts(in, fd, from, size, status))
		return status;
	treeprint(countinput(in, nullptr));
	return 0;
}

#if !defined(SITKO_NO_MAIN)
int main()
{
	sitko::reader &in = sitko::standardinput();
	return sitko::finish(sitko::wordtree(in), in);
}
#endif
