// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <climits>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <map>
#include <poll.h>
#include <random>
#include <sched.h>
#include <string>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>
#include <utility>
#include <vector>

#include "getch.hpp"
#include "getword.hpp"
#include "harness.hpp"
#include "output.hpp"
#include "partition.hpp"
#include "table.hpp"
#include "threads.hpp"
#include "tree.hpp"
#include "wordloops.hpp"
#include "wordparts.hpp"

using sitko::test::run;

namespace {

using token = std::pair<int, std::string>;

// Every getword() result for input, end of input included.
std::vector<token> words(const std::string &input, int lim = sitko::WORD_CAPACITY)
{
	static sitko::reader in;
	sitko::openmemory(in, reinterpret_cast<const unsigned char *>(input.data()), input.size());
	sitko::getchfrom(in);
	std::vector<token> got;
	char word[sitko::WORD_CAPACITY];
	int c;
	do {
		c = sitko::getword(word, lim);
		got.emplace_back(c, word);
	} while (c != EOF && got.size() < 1000);
	return got;
}

struct getwordcase {
	const char *label;
	std::string input;
	std::vector<token> expected;
};

} // namespace

TEST(getword, table)
{
	const std::string a150(150, 'a');
	const getwordcase cases[] = {
		{"empty input", "", {{EOF, ""}}},
		{"words and a sign",
		 "  foo42+bar",
		 {{'f', "foo42"}, {'+', "+"}, {'b', "bar"}, {EOF, ""}}},
		{"digit starts no word", "9lives", {{'9', "9"}, {'l', "lives"}, {EOF, ""}}},
		{"underscore stands alone",
		 "x_while",
		 {{'x', "x"}, {'_', "_"}, {'w', "while"}, {EOF, ""}}},
		{"white space of every kind", "\t\n\v\f\r a \n", {{'a', "a"}, {EOF, ""}}},
		{"high byte after white space", " \xc5", {{197, "\xc5"}, {EOF, ""}}},
		{"high byte after a word keeps its value",
		 "ab\xc5x",
		 {{'a', "ab"}, {197, "\xc5"}, {'x', "x"}, {EOF, ""}}},
		{"0xFF after a word is not end of input",
		 "while\xffwhile",
		 {{'w', "while"}, {255, "\xff"}, {'w', "while"}, {EOF, ""}}},
		{"NUL is a character",
		 std::string("a\0b", 3),
		 {{'a', "a"}, {0, ""}, {'b', "b"}, {EOF, ""}}},
		{"150 letters split at the limit",
		 a150,
		 {{'a', std::string(99, 'a')}, {'a', std::string(51, 'a')}, {EOF, ""}}},
		{"digits after the limit come one by one",
		 std::string(99, 'a') + "12b",
		 {{'a', std::string(99, 'a')}, {'1', "1"}, {'2', "2"}, {'b', "b"}, {EOF, ""}}},
	};
	for (const auto &c : cases) {
		SCOPED_TRACE(c.label);
		EXPECT_EQ(words(c.input), c.expected);
	}
}

TEST(getword, small_limit)
{
	std::vector<token> expected = {{'a', "a"}, {'b', "b"}, {'c', "c"}, {EOF, ""}};
	EXPECT_EQ(words("abc", 2), expected);
}

TEST(reservedwords, table)
{
	struct {
		const char *label;
		std::string input;
		std::string expected;
	} cases[] = {
		{"no keywords", "int main() { return 0; }\n", ""},
		{"table order, no separators", "int main(void) { while (x) break; }",
		 "   1 break   1 void   1 while"},
		{"case matters", "while while\nWhile", "   2 while"},
		{"comments and strings count", "/* auto */ \"char\"", "   1 auto   1 char"},
		{"underscore ends a word", "x_while", "   1 while"},
		{"digits belong to the word", "unsigned2", ""},
		{"words not in the table", "int for if else return", ""},
		{"0xFF after a word ends nothing", "while\xffwhile break", "   1 break   2 while"},
		{"every keyword",
		 "auto break case char const continue default unsigned void volatile while",
		 "   1 auto   1 break   1 case   1 char   1 const   1 continue   1 default"
		 "   1 unsigned   1 void   1 volatile   1 while"},
	};
	for (const auto &c : cases) {
		SCOPED_TRACE(c.label);
		auto r = run("reservedwords", c.input);
		EXPECT_EQ(r.out, c.expected);
		EXPECT_EQ(r.status, 0);
	}
}

TEST(reservedwords, wide_counts_keep_the_format)
{
	std::string input;
	for (int i = 0; i < 12345; i++)
		input += "case ";
	EXPECT_EQ(run("reservedwords", input).out, "12345 case");
}

TEST(wordtree, table)
{
	struct {
		const char *label;
		std::string input;
		std::string expected;
	} cases[] = {
		{"empty input", "", ""},
		{"counts and byte order", "a1 b2 a1", "   2 a1\n   1 b2\n"},
		{"no letters, no words", "3 + 4", ""},
		{"upper case first", "beta Alpha alpha", "   1 Alpha\n   1 alpha\n   1 beta\n"},
		{"0xFF after a word", "x\xffy x", "   2 x\n   1 y\n"},
		{"Polish letters split words", "zażółć", "   1 za\n"},
	};
	for (const auto &c : cases) {
		SCOPED_TRACE(c.label);
		auto r = run("wordtree", c.input);
		EXPECT_EQ(r.out, c.expected);
		EXPECT_EQ(r.status, 0);
	}
}

// addtree() and treeprint() called as a driver would: the empty word is a
// word like any other, and each root counts on its own.
TEST(wordtree, addtree_as_a_driver_calls_it)
{
	const struct {
		const char *label;
		std::vector<std::vector<const char *>> roots;
		std::string expected;
	} cases[] = {
		{"the empty word", {{"", "b", "", "a"}}, "   2 \n   1 a\n   1 b\n"},
		{"only the empty word", {{""}}, "   1 \n"},
		{"two roots", {{"a", "a"}, {"a", "b"}}, "   2 a\n   1 a\n   1 b\n"},
		{"no words", {{}}, ""},
	};
	for (const auto &c : cases) {
		SCOPED_TRACE(c.label);
		std::vector<sitko::tnode *> roots;
		for (const auto &words : c.roots) {
			sitko::tnode *root = nullptr;
			for (const char *w : words)
				root = sitko::addtree(root, w);
			roots.push_back(root);
		}
		testing::internal::CaptureStdout();
		for (sitko::tnode *root : roots)
			sitko::treeprint(root);
		sitko::flushoutput();
		EXPECT_EQ(testing::internal::GetCapturedStdout(), c.expected);
	}
}

// Words of the lengths where the index changes how it holds and compares
// them (8, 16 and 17 bytes and their neighbours), sharing their first bytes,
// in random order and number, against a plain ordered count.
TEST(wordtree, as_a_plain_count)
{
	std::mt19937 rng(12);
	const std::string stems[] = {"a",
				     "abcdefg",
				     "abcdefgh",
				     "abcdefghi",
				     "Abcdefgh",
				     std::string(15, 'q'),
				     std::string(16, 'q'),
				     std::string(17, 'q'),
				     std::string(40, 'z'),
				     std::string(99, 'x')};
	for (int round = 0; round < 20; round++) {
		std::string input;
		std::map<std::string, long long> counts;
		std::size_t n = round < 10 ? 50 : 30000;
		for (std::size_t i = 0; i < n; i++) {
			std::string w = stems[rng() % std::size(stems)];
			// At most 99 bytes, where getword would cut them.
			if (w.size() < 99 && rng() % 2)
				w += static_cast<char>('a' + rng() % 26);
			if (w.size() < 96 && rng() % 3 == 0)
				w += std::to_string(rng() % 1000);
			counts[w]++;
			input += w + (rng() % 4 ? " " : ",\n");
		}
		std::string expected;
		for (const auto &[w, c] : counts) {
			char line[32];
			snprintf(line, sizeof line, "%4lld ", c);
			expected += line + w + "\n";
		}
		auto r = run("wordtree", input);
		ASSERT_EQ(r.out, expected) << "round " << round;
	}
}

// The report is the partitions written one after another, so a word's
// partition may never be less than that of a word before it in byte order:
// across every pair of first bytes, and for words of any length.
TEST(wordtree, partitions_keep_byte_order)
{
	std::mt19937 rng(3);
	std::vector<std::string> words = {"",     "A",  "Z",    "a",    "a0",      "a9",
					  "aA",   "aa", "az",   "z",    "zz",      "zzzz",
					  "\x01", "_",  "\x80", "\xff", "\xff\xff"};
	for (int i = 0; i < 20000; i++) {
		std::string w(rng() % 4, '\0');
		for (char &c : w)
			c = static_cast<char>(rng() % 2 ? 'A' + rng() % 58 : 1 + rng() % 255);
		words.push_back(w);
	}
	std::sort(words.begin(), words.end(), [](const std::string &a, const std::string &b) {
		return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(),
						    [](char x, char y) {
							    return static_cast<unsigned char>(x) <
								   static_cast<unsigned char>(y);
						    });
	});
	std::size_t last = 0;
	for (const auto &w : words) {
		std::size_t p = sitko::partitionof(
			reinterpret_cast<const unsigned char *>(w.data()), w.size());
		ASSERT_LT(p, sitko::PARTITIONS);
		ASSERT_GE(p, last) << w;
		last = p;
	}
	EXPECT_GT(last, sitko::PARTITIONS / 2) << "the partitions are not shared out";
}

TEST(wordtree, large_sorted_input)
{
	// Ascending input is the worst case for an unbalanced tree.
	std::string input, expected;
	char word[16];
	for (int i = 0; i < 200000; i++) {
		snprintf(word, sizeof word, "w%07d", i);
		input += word;
		input += '\n';
		expected += "   1 ";
		expected += word;
		expected += '\n';
	}
	auto r = run("wordtree", input);
	EXPECT_EQ(r.status, 0);
	EXPECT_TRUE(r.out == expected);
}

namespace {

// Short words, digits, a Polish letter and separators, at random.
std::string wordsoup(std::mt19937 &random, std::size_t size)
{
	static const char *const pieces[] = {"ab", "ba", "x", "q9", "7", "\xc4\x85", "zz"};
	std::string words;
	while (words.size() < size) {
		for (int k = 1 + static_cast<int>(random() % 3); k > 0; k--)
			words += pieces[random() % 7];
		words += " \n,.\t"[random() % 5];
	}
	words.resize(size);
	return words;
}

} // namespace

// A large regular file is counted in parts at once, cut where no word
// goes on; the report is that of the same bytes through a pipe, read in one
// part, and the offset ends at the end.  Each input puts something awkward
// where the middle or the end falls.
TEST(wordtree, large_file_in_two_parts)
{
	constexpr std::size_t SIZE = 20 << 20;
	std::mt19937 random(7);
	const std::string words = wordsoup(random, SIZE);
	const std::size_t mid = SIZE / 2, tail = SIZE - 100;
	auto with = [&](std::size_t at, const std::string &bytes) {
		std::string s = words;
		s.replace(at, bytes.size(), bytes);
		return s;
	};
	const struct {
		const char *label;
		std::string input;
	} cases[] = {
		{"plain", words},
		{"a run of 3000 letters over the middle", with(mid - 1500, std::string(3000, 'k'))},
		{"digits before letters over the middle", with(mid - 3, "123456abcdef")},
		{"no word ends near the middle", with(mid - (3 << 19), std::string(3 << 20, 'm'))},
		{"no word ends near the end", with(SIZE - (3 << 19), std::string(3 << 19, 'e'))},
		{"ends in a word", with(tail, std::string(100, 'w'))},
		{"ends in a run of digits", with(tail, " " + std::string(99, '5'))},
	};
	char path[] = "/tmp/wordtree.XXXXXX";
	int fd = mkstemp(path);
	ASSERT_GE(fd, 0);
	close(fd);
	for (const auto &c : cases) {
		SCOPED_TRACE(c.label);
		FILE *f = fopen(path, "wb");
		ASSERT_NE(f, nullptr);
		ASSERT_EQ(fwrite(c.input.data(), 1, c.input.size(), f), c.input.size());
		ASSERT_EQ(fclose(f), 0);
		auto whole = sitko::test::shell("wordtree", path, "cat $F | $P");
		auto after = sitko::test::shell("wordtree", path, "tail -c +101 $F | $P");
		ASSERT_EQ(whole.status, 0);
		ASSERT_GT(whole.out.size(), 1000u);
		EXPECT_TRUE(sitko::test::shell("wordtree", path, "$P < $F").out == whole.out);
		EXPECT_TRUE(
			sitko::test::shell("wordtree", path, "{ head -c 100 >/dev/null; $P; } < $F")
				.out == after.out);
		auto rest = sitko::test::shell("wordtree", path, "{ $P >/dev/null; wc -c; } < $F");
		EXPECT_EQ(rest.out, "0\n");
		EXPECT_EQ(rest.status, 0);
		// Whatever the parent left of SIGCHLD.
		auto r = run("wordtree", c.input, sitko::test::source::ignoredchild);
		EXPECT_EQ(r.status, 0);
		EXPECT_TRUE(r.out == whole.out);
	}

	unlink(path);
}

// Counting in parts, from a file or from a stream, gives the report and
// status of one pass that stopped where the first part stopped short: parts
// of every number, a file that shrank, a read failing in each part, and
// blocks of many sizes handed to one thread up to more than there are CPUs.
// Under the thread sanitizer this is also the stress of the hand-off.
TEST(wordtree, parts_as_one_pass)
{
	std::mt19937 random(11);
	std::string input = wordsoup(random, 60000);
	// Runs no part may be cut inside: letters past the limit, and digits
	// before letters.
	input.replace(20000, 700, std::string(700, 'k'));
	input.replace(40000, 300, std::string(150, '4') + std::string(150, 'd'));
	auto bytes = reinterpret_cast<const unsigned char *>(input.data());
	const auto size = static_cast<long long>(input.size());
	constexpr long long NEVER = LLONG_MAX;

	const std::size_t nparts[] = {2, 3, 5, 16, sitko::MAX_THREADS};
	const struct {
		const char *label;
		long long shrunk;
		long long failat;
	} files[] = {
		{"whole", NEVER, NEVER},
		{"shrunk to nothing", 0, NEVER},
		{"shrunk into a run of letters", 20350, NEVER},
		{"shrunk to a third", size / 3, NEVER},
		{"shrunk by a byte", size - 1, NEVER},
		{"failing at once", NEVER, 0},
		{"failing in a run of digits", NEVER, 40100},
		{"failing at the middle", NEVER, size / 2},
		{"failing near the end", NEVER, size - 3},
		{"shrunk, then failing past its end", size / 2, size / 2 + 10},
	};
	// Buffers of a few words are sent all the time, those of the usual
	// size seldom; tables that fill stop the threads at once, or late, and
	// leave the rest to this one.
	const sitko::test::tightness tight[] = {{0, 0}, {1, 0}, {0, 1}, {1, 700}};
	for (std::size_t n : nparts)
		for (const auto &f : files)
			for (auto t : tight)
				EXPECT_TRUE(sitko::test::rangesasplain(bytes, size, n, f.shrunk,
								       f.failat, t))
					<< f.label << ", " << n << " parts, buffers of "
					<< t.sendsize << ", tables of " << t.tablelimit;

	const std::size_t whole[] = {0}, uneven[] = {3, 1, 700, 2, 4096};
	const std::span<const std::size_t> piecings[] = {whole, uneven};
	const std::size_t failpieces[] = {SIZE_MAX, 0, 4, 60};
	const std::size_t handoffs[] = {1, 300, 5000};
	const std::size_t crews[] = {1, 2, 3, 16, sitko::MAX_THREADS};
	std::size_t round = 0;
	for (std::size_t workers : crews)
		for (auto pieces : piecings)
			for (std::size_t fail : failpieces)
				for (std::size_t handoff : handoffs)
					EXPECT_TRUE(sitko::test::streamasplain(
						bytes, input.size(), pieces, fail, workers, handoff,
						tight[round++ % 4]))
						<< workers << " threads, " << pieces.size()
						<< " piece sizes, failing at " << fail
						<< ", blocks of " << handoff;
	// Pieces of every size from one byte, each a read of its own.
	for (std::size_t piece = 1; piece <= 64; piece++)
		EXPECT_TRUE(sitko::test::streamasplain(bytes, 16384, {&piece, 1}, SIZE_MAX,
						       sitko::cpusallowed(), 256))
			<< "pieces of " << piece;
}

// A stream whose threads stop, at its first block, its last or any
// between, gives the report of one pass: the blocks not begun, the one the
// reader holds and the rest of the stream are each counted once.  Inputs
// put a long word, a run of digits or no separator at all where a block or
// the hand-over ends, and reads fail just after the threads stop.
TEST(wordtree, stream_that_stops_as_one_pass)
{
	std::mt19937 random(23);
	auto repeated = [](const std::string &unit, std::size_t size) {
		std::string s;
		while (s.size() < size)
			s += unit;
		s.resize(size);
		return s;
	};
	const std::string soup = wordsoup(random, 9000);
	const std::string inputs[] = {
		"",
		"word",
		repeated("ab ", 256),
		repeated("ab cd ", 512),
		repeated("abc ", 1024) + "tail",
		std::string(3000, 'k'),
		std::string(2000, '7') + std::string(300, 'd'),
		"d" + std::string(2500, '7'),
		repeated(std::string(150, 'w') + " ", 4000),
		repeated(std::string(99, 'n') + " ", 4000),
		repeated(std::string(99, 'm'), 4000),
		repeated(std::string(98, 'p') + "7 ", 4000) + std::string(400, 'e'),
		soup,
		soup.substr(0, 4096),
		soup + std::string(1000, 'z'),
	};
	const std::size_t whole[] = {0}, bytes1[] = {1}, uneven[] = {3, 1, 700, 2, 97};
	const std::span<const std::size_t> piecings[] = {whole, bytes1, uneven};
	const std::size_t failpieces[] = {SIZE_MAX, 3, 40};
	const std::size_t handoffs[] = {256, 300, 1024};
	const std::size_t crews[] = {1, 2, 5};
	const sitko::test::tightness tight[] = {{0, 1}, {1, 1}, {0, 4}, {1, 30}, {0, 200}};
	// Every tightness, block size and input, with each way of reading and
	// each crew in turn.
	std::size_t round = 0;
	for (const auto &input : inputs) {
		auto bytes = reinterpret_cast<const unsigned char *>(input.data());
		for (std::size_t handoff : handoffs)
			for (auto t : tight) {
				auto pieces = piecings[round % std::size(piecings)];
				std::size_t fail = failpieces[round / 3 % std::size(failpieces)];
				std::size_t workers = crews[round / 9 % std::size(crews)];
				round++;
				EXPECT_TRUE(sitko::test::streamasplain(bytes, input.size(), pieces,
								       fail, workers, handoff, t))
					<< input.size() << " bytes beginning " << input.substr(0, 8)
					<< ", " << workers << " threads, " << pieces.size()
					<< " piece sizes, failing at " << fail << ", blocks of "
					<< handoff << ", tables of " << t.tablelimit
					<< ", buffers of " << t.sendsize;
			}
	}
}

// Under any limit on its address space, wordtree counting in parts writes
// the whole report one pass writes, or nothing with status 1: never a report
// with counts missing.  From a file and from a pipe it succeeds wherever one
// pass on one CPU succeeds under the same limit, and once it succeeds a
// higher limit does not make it fail.  It reads a pipe to its end even when memory runs out,
// so the pipe's writer is never killed by SIGPIPE.
namespace {

// The address space the process has mapped, in KiB.
long mappedkib()
{
	char text[4096] = "";
	int fd = open("/proc/self/status", O_RDONLY);
	if (fd < 0)
		return -1;
	ssize_t n = read(fd, text, sizeof text - 1);
	close(fd);
	const char *at = n > 0 ? strstr(text, "VmSize:") : nullptr;
	return at != nullptr ? strtol(at + 7, nullptr, 10) : -1;
}

} // namespace

// A large area costs the address space of its size and no more, aligned
// for huge pages or not, and gives it all back: a memory limit counts it.
TEST(wordtree, large_areas_take_their_size)
{
	if (sitko::test::commandline("wordtree") != sitko::test::program("wordtree"))
		GTEST_SKIP() << "under an emulator the address space counted is the emulator's";
	if (mappedkib() < 0)
		GTEST_SKIP() << "no /proc/self/status";
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
	GTEST_SKIP() << "the sanitizers map memory of their own beside each mapping";
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
	GTEST_SKIP() << "the sanitizers map memory of their own beside each mapping";
#endif
#endif
	const std::size_t page = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
	for (std::size_t size : {std::size_t{2} << 20, (std::size_t{2} << 20) + 1,
				 std::size_t{3} << 20, std::size_t{64} << 20}) {
		SCOPED_TRACE(size);
		long before = mappedkib();
		void *p = sitko::largearea(size);
		ASSERT_NE(p, nullptr);
		long during = mappedkib();
		EXPECT_EQ(reinterpret_cast<std::uintptr_t>(p) % (std::size_t{2} << 20), 0u);
		EXPECT_EQ(static_cast<std::size_t>(during - before) * 1024,
			  (size + page - 1) / page * page);
		memset(p, 1, size);
		sitko::freearea(p, size);
		EXPECT_EQ(mappedkib(), before);
	}
}

namespace {

// Why wordtree cannot be run under limits on its address space here, or
// empty; the first CPU it may use, to hold one pass to.
std::string nolimits(int &first)
{
	if (sitko::test::commandline("wordtree") != sitko::test::program("wordtree"))
		return "under an emulator the limit would be the emulator's";
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
	return "the sanitizers' shadow memory needs more address space than any limit";
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
	return "the sanitizers' shadow memory needs more address space than any limit";
#endif
#endif
	cpu_set_t set;
	if (sched_getaffinity(0, sizeof set, &set) != 0 || CPU_COUNT(&set) < 2)
		return "one CPU: wordtree counts in one pass anyway";
	if (sitko::test::shell("wordtree", "", "command -v taskset >/dev/null; echo $?").out !=
	    "0\n")
		return "no taskset (Debian package util-linux) to hold one pass to one CPU";
	first = 0;
	while (!CPU_ISSET(first, &set))
		first++;
	return "";
}

// What wordtree writes, and its status, under a limit of limit KiB: from
// the file, from the file held to one CPU, or through a pipe.
enum class feed { file, onecpu, pipe };
std::string limited(const std::string &file, long limit, feed how, int first)
{
	std::string cap = "ulimit -v " + std::to_string(limit) + "; exec ";
	std::string command = how == feed::file     ? "(" + cap + "$P < $F)"
			      : how == feed::onecpu ? "(" + cap + "taskset -c " +
							      std::to_string(first) + " $P < $F)"
						    : "cat $F | (" + cap + "$P)";
	return sitko::test::shell("wordtree", file, command + " 2>/dev/null; echo $?").out;
}

} // namespace

TEST(wordtree, memory_limits_as_one_pass)
{
	int first = 0;
	if (std::string why = nolimits(first); !why.empty())
		GTEST_SKIP() << why;

	// 18 MiB, enough for two parts, of some 400 thousand distinct words,
	// so that the words take more memory than the program's start.
	std::mt19937 random(7);
	std::string input;
	input.reserve(18 << 20);
	while (input.size() < (18u << 20)) {
		auto w = static_cast<unsigned>(random() % 400000);
		input += static_cast<char>('a' + w % 26);
		for (w /= 26; w != 0; w /= 26)
			input += static_cast<char>('a' + w % 26);
		input += random() % 8 ? ' ' : '\n';
	}
	char path[] = "/tmp/sitko-limits-XXXXXX";
	int fd = mkstemp(path);
	ASSERT_GE(fd, 0);
	ASSERT_EQ(write(fd, input.data(), input.size()), static_cast<ssize_t>(input.size()));
	close(fd);
	const std::string file = path, writer = file + ".writer";

	// From about the least the loader needs to start the program up.
	const long limits[] = {4500, 8000, 16000, 20000, 24000, 28000, 40000, 1000000};
	const std::string whole = sitko::test::shell("wordtree", file, "$P < $F; echo $?").out;
	ASSERT_EQ(whole.substr(whole.size() - 2), "0\n");
	bool filedid = false, pipedid = false;
	for (long limit : limits) {
		SCOPED_TRACE("ulimit -v " + std::to_string(limit));
		std::string one = limited(file, limit, feed::onecpu, first),
			    parted = limited(file, limit, feed::file, first),
			    piped = sitko::test::shell(
					    "wordtree", file,
					    "{ cat $F; echo $? > $F.writer; } | (ulimit -v " +
						    std::to_string(limit) +
						    "; exec $P) 2>/dev/null; echo $?")
					    .out;
		// Below what the loader needs, the program does not start (a
		// build that links more libraries needs more).
		if (one == "127\n")
			continue;
		for (const auto *r : {&one, &parted, &piped})
			EXPECT_TRUE(*r == whole || *r == "1\n") << r->substr(0, 200);
		if (one == whole) {
			EXPECT_TRUE(parted == whole) << "from a file, where one pass succeeds";
			EXPECT_TRUE(piped == whole) << "from a pipe, where one pass succeeds";
		}
		EXPECT_TRUE(!filedid || parted == whole)
			<< "from a file, above a limit that succeeded";
		EXPECT_TRUE(!pipedid || piped == whole)
			<< "from a pipe, above a limit that succeeded";
		filedid = parted == whole;
		pipedid = piped == whole;
		std::string status;
		FILE *w = fopen(writer.c_str(), "r");
		if (w != nullptr) {
			char line[16] = "";
			if (fgets(line, sizeof line, w) != nullptr)
				status = line;
			fclose(w);
		}
		EXPECT_EQ(status, "0\n") << "the pipe's writer";
	}
	EXPECT_TRUE(filedid && pipedid) << "no limit let it succeed";
	unlink(path);
	unlink(writer.c_str());
}

// Just above the least limit one pass needs, threads need no more, from a
// file or through a pipe: the crew's memory, a stack the thread library
// keeps, an index that could not grow while the crew ran and needs more to
// be sorted, or the blocks of a pipe read ahead and held while what the
// crew left is counted, or the unused end of each table's last block,
// would each open a narrow window of limits where one pass succeeds and
// threads fail.  Millions of distinct words, so that one pass needs more
// than the 128 MiB below which no second thread is started.  All of one
// partition, one table holds them, as one pass's does: five million leave
// the table's last growth halfway through; a few more than fifteen in
// sixteen of 2^23 make it grow near the end, where one pass grows it at
// once and threads that stopped for it hold the words counted since.  Over
// two partitions, two tables hold what one pass's one table holds.
TEST(wordtree, memory_limits_just_above_one_pass)
{
	if (std::getenv("SITKO_SLOW_TESTS") == nullptr)
		GTEST_SKIP() << "some sixty runs on 40 to 70 MB take a few minutes: set "
				"SITKO_SLOW_TESTS=1 (ctest --preset slow does)";
	int first = 0;
	if (std::string why = nolimits(first); !why.empty())
		GTEST_SKIP() << why;
	struct words {
		const char *prefix;
		unsigned n;
	};
	// After "q" the second letter spreads the words over two partitions,
	// so two tables hold what one pass holds in one.
	for (auto [prefix, nwords] :
	     {words{"qq", 5000000u}, words{"qq", 7900000u}, words{"q", 6800000u}}) {
		SCOPED_TRACE(std::to_string(nwords) + " distinct words after " + prefix);
		std::string input;
		for (unsigned i = 0; i < nwords; i++) {
			input += prefix;
			for (unsigned w = i; w != 0 || input.back() == 'q'; w /= 26)
				input += static_cast<char>('a' + w % 26);
			input += i % 8 ? ' ' : '\n';
		}
		char path[] = "/tmp/sitko-window-XXXXXX";
		int fd = mkstemp(path);
		ASSERT_GE(fd, 0);
		ASSERT_EQ(write(fd, input.data(), input.size()),
			  static_cast<ssize_t>(input.size()));
		close(fd);
		const std::string file = path;
		const std::string whole =
			sitko::test::shell("wordtree", file, "$P < $F; echo $?").out;
		ASSERT_EQ(whole.substr(whole.size() - 2), "0\n");

		long fails = 100 << 10, works = 600 << 10; // KiB
		ASSERT_TRUE(limited(file, works, feed::onecpu, first) == whole);
		while (works - fails > 256) {
			long mid = (fails + works) / 2;
			(limited(file, mid, feed::onecpu, first) == whole ? works : fails) = mid;
		}
		ASSERT_GE(works, 128 << 10) << "one pass needs too little for a second thread";
		for (long above : {0, 256, 1024, 4096}) {
			SCOPED_TRACE("ulimit -v " + std::to_string(works + above) +
				     ", one pass's least " + std::to_string(works));
			EXPECT_TRUE(limited(file, works + above, feed::file, first) == whole)
				<< "from a file";
			EXPECT_TRUE(limited(file, works + above, feed::pipe, first) == whole)
				<< "from a pipe";
		}
		unlink(path);
	}
}

// Killed while it counts a large file in parts, wordtree leaves nothing
// running that holds its standard output: the reader downstream sees the
// end of it once the program is gone.
TEST(wordtree, killed_leaves_nothing_behind)
{
	// A memory file's holes read as zeros, which end every word: a large
	// file at no cost, read fast, and never written to disk.
	int in = memfd_create("sparse", 0);
	ASSERT_GE(in, 0);
	ASSERT_EQ(ftruncate64(in, off64_t{16} << 30), 0);
	int out[2];
	ASSERT_EQ(pipe(out), 0);
	pid_t pid = fork();
	ASSERT_GE(pid, 0);
	if (pid == 0) {
		dup2(in, STDIN_FILENO);
		dup2(out[1], STDOUT_FILENO);
		close(out[0]);
		close(out[1]);
		std::string command = "exec " + sitko::test::commandline("wordtree");
		execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char *>(nullptr));
		_exit(127);
	}
	close(in);
	close(out[1]);
	usleep(200000);
	kill(pid, SIGTERM);
	int status;
	ASSERT_EQ(waitpid(pid, &status, 0), pid);
	EXPECT_TRUE(WIFSIGNALED(status)) << "it ended before it was killed";
	pollfd ready = {out[0], POLLIN, 0};
	ASSERT_EQ(poll(&ready, 1, 0), 1) << "a process still holds the output";
	char byte;
	EXPECT_EQ(read(out[0], &byte, 1), 0);
	close(out[0]);
}

namespace {

std::array<long, sitko::test::KEYWORDS> keywordcounts(const std::string &input, bool skipping,
						      std::span<const std::size_t> pieces = {})
{
	return sitko::test::keywordcounts(reinterpret_cast<const unsigned char *>(input.data()),
					  input.size(), skipping, pieces);
}

// Piece sizes for input that comes through the buffer as from a pipe.
const std::size_t onebyte[] = {1};
const std::size_t uneven[] = {3, 1, 7, 2};

} // namespace

// Both programs' fast paths against their plain loops, on input made of
// keyword pieces, cut words, digits, high bytes and separators.
TEST(wordloops, fast_paths_as_without_them)
{
	const char *const pieces[] = {"while", "whil",     "hile", "case",     "cas",  "9",
				      "x",     "_",        " ",    "\n",       "+",    "\xc5",
				      "\xff",  "unsigned", "void", "volatile", "auto", "a",
				      "12",    "char",     "co",   "nst"};
	std::mt19937 rng(5);
	for (int round = 0; round < 2000; round++) {
		std::string input;
		// Now and then long enough to cross the word scanner's strips.
		std::size_t n = round % 100 == 0 ? 3000 : rng() % 60;
		for (std::size_t i = 0; i < n; i++) {
			if (rng() % 50 == 0)
				input +=
					std::string(90 + rng() % 20, 'q'); // words cut at the limit
			input += pieces[rng() % (sizeof pieces / sizeof *pieces)];
		}
		auto plain = keywordcounts(input, false);
		ASSERT_EQ(keywordcounts(input, true), plain) << input;
		// Each run right after one over the whole block: what skipquiet
		// remembers of a buffer must not outlive it.
		ASSERT_EQ(keywordcounts(input, true, onebyte), plain) << input;
		ASSERT_EQ(keywordcounts(input, true, uneven), plain) << input;
		auto data = reinterpret_cast<const unsigned char *>(input.data());
		auto words = sitko::test::treewords(data, input.size(), 0);
		ASSERT_EQ(sitko::test::treewords(data, input.size(), 64), words) << input;
		ASSERT_EQ(sitko::test::treewords(data, input.size(), 3, onebyte), words) << input;
		ASSERT_EQ(sitko::test::treewords(data, input.size(), 1, uneven), words) << input;
		ASSERT_EQ(sitko::test::treewords(data, input.size(), 64, uneven), words) << input;
	}
}

TEST(skipquiet, cut_words_and_digit_runs)
{
	const std::string cases[] = {
		std::string(99, 'a') + "while",
		std::string(98, 'a') + "while",
		"123while",
		"x_while while_x",
		std::string(99, 'a') + "1while",
		std::string(300, 'w') + "hile",
		"whilewhile while",
		"9999999999999999while",
	};
	for (const auto &input : cases)
		EXPECT_EQ(keywordcounts(input, true), keywordcounts(input, false)) << input;
}
